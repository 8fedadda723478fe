#include "login/LoginService.h"

#include "db/Query.h"

namespace quarvel {

QString PositionChoice::listText() const
{
    return values[3] + u' ' + values[5] + u'(' + (mainPosition ? QStringLiteral("主要") : QStringLiteral("兼职"))
           + u')';
}

const QString& LoginService::employeeCheckStatement()
{
    static const QString sql = QStringLiteral("Select * From 员工档案 Where 工号 = ? and 帐号密码 = ?");
    return sql;
}

const QString& LoginService::positionStatement()
{
    static const QString sql = QStringLiteral(
        "Select 员工档案.姓名,职能部门类别.部门类别代号,职能部门类别.部门类别名称,岗位类别.岗位类别编号,岗位类别名称,"
        " 职能部门new.职能部门编号 , 职能部门new.职能部门名称, 岗位信息new.岗位代号, 岗位信息new.岗位名称,"
        " 岗位员工new.主要岗位 From 岗位员工new"
        " Inner joIn 岗位信息new on 岗位员工new.岗位代号 = 岗位信息new.岗位代号"
        " Inner joIn 职能部门new on 岗位信息new.职能部门代号 = 职能部门new.职能部门编号"
        " Inner joIn 岗位类别 on 岗位信息new.岗位类别代号 = 岗位类别.岗位类别编号"
        " Inner joIn 职能部门类别 on 职能部门new.职能部门类别代号 = 职能部门类别.部门类别代号"
        " Inner joIn 员工档案 on 岗位员工new.员工代号 = 员工档案.工号"
        " Where 岗位员工new.员工代号 = ? and 员工档案.离职日期 is null AND (岗位员工new.离岗日期 IS NULL)");
    return sql;
}

bool LoginService::isSuperUserLogin(const QString& userName, const QString& password)
{
    return userName == QLatin1String("sysOp") && password == QLatin1String("lantor");
}

DbResult<bool> LoginService::checkEmployee(const QString& userName, const QString& password)
{
    Query q(employeeCheckStatement());
    q.bind({userName, password.trimmed()});
    if (!q.exec())
        return DbResult<bool>::failure(q.error());
    const bool found = q.next();
    if (q.error().isSet())
        return DbResult<bool>::failure(q.error());
    return {found, {}};
}

DbResult<QVector<PositionChoice>> LoginService::positions(const QString& userName)
{
    Query q(positionStatement());
    q.bind(userName);
    if (!q.exec())
        return DbResult<QVector<PositionChoice>>::failure(q.error());
    QVector<PositionChoice> result;
    while (q.next()) {
        PositionChoice c;
        c.values = {userName,
                    q.text(u"姓名"),
                    q.text(u"职能部门编号"),
                    q.text(u"职能部门名称"),
                    q.text(u"岗位代号"),
                    q.text(u"岗位名称"),
                    q.text(u"部门类别代号"),
                    q.text(u"部门类别名称"),
                    q.text(u"岗位类别编号"),
                    q.text(u"岗位类别名称")};
        c.mainPosition = q.flag(u"主要岗位");
        result.append(c);
    }
    if (q.error().isSet())
        return DbResult<QVector<PositionChoice>>::failure(q.error());
    return {result, {}};
}

}  // namespace quarvel
