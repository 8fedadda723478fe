#include "reports/ReadingCoverage.h"

#include "db/Query.h"
#include "reports/CodeKey.h"

#include <QHash>

namespace quarvel {
namespace {

// The rights of the document that grant reading or downloading, one row per position however
// many rows the table holds for it.
QString grantedPositions(bool scoped)
{
    return QStringLiteral("select 资料下载权限.岗位代号, max(资料下载权限.岗位名称) as 岗位名称,"
                          " max(资料下载权限.部门编号) as 部门编号, max(资料下载权限.部门名称) as 部门名称,"
                          " max(case when 资料下载权限.查阅 = 1 then 1 else 0 end) as 可查阅,"
                          " max(case when 资料下载权限.下载 = 1 then 1 else 0 end) as 可下载"
                          " from 资料下载权限 where 资料下载权限.文件编号 = ?"
                          " and (资料下载权限.查阅 = 1 or 资料下载权限.下载 = 1)")
           + (scoped ? QStringLiteral(" and 资料下载权限.部门编号 = ?") : QString())
           + QStringLiteral(" group by 资料下载权限.岗位代号");
}

qint64 countOf(const Query& q, QStringView column) { return q.isNull(column) ? 0 : q.value(column).toLongLong(); }

}  // namespace

QString ReadingCoverage::positionsStatement(bool scoped)
{
    return QStringLiteral("select 授权.岗位代号, 授权.岗位名称, 授权.部门编号, 授权.部门名称, 授权.可查阅, 授权.可下载,"
                          " 访问.浏览次数, 访问.下载次数, 访问.首次访问, 访问.最近访问 from (")
           + grantedPositions(scoped)
           + QStringLiteral(") 授权 left join (select 资料下载记录.岗位,"
                            " sum(case when 资料下载记录.阅读 = 1 then 1 else 0 end) as 浏览次数,"
                            " sum(case when 资料下载记录.下载 = 1 then 1 else 0 end) as 下载次数,"
                            " min(资料下载记录.操作时间) as 首次访问, max(资料下载记录.操作时间) as 最近访问"
                            " from 资料下载记录 where 资料下载记录.文件编号 = ? group by 资料下载记录.岗位) 访问"
                            " on 访问.岗位 = 授权.岗位代号"
                            " order by case when 访问.岗位 is null then 0 else 1 end, 授权.部门编号, 授权.岗位代号");
}

QString ReadingCoverage::holdersStatement(bool scoped)
{
    return QStringLiteral("select 岗位员工new.岗位代号, 员工档案.工号, 员工档案.姓名 from 岗位员工new"
                          " inner join 员工档案 on 员工档案.工号 = 岗位员工new.员工代号"
                          " where 岗位员工new.离岗日期 is null and 员工档案.离职日期 is null"
                          " and 岗位员工new.岗位代号 in (select 资料下载权限.岗位代号 from 资料下载权限"
                          " where 资料下载权限.文件编号 = ? and (资料下载权限.查阅 = 1 or 资料下载权限.下载 = 1)")
           + (scoped ? QStringLiteral(" and 资料下载权限.部门编号 = ?") : QString())
           + QStringLiteral(") order by 岗位员工new.岗位代号, 员工档案.工号");
}

QVector<NamedStatement> ReadingCoverage::statements()
{
    return {
        {QStringLiteral("positions granted a document with their accesses"), positionsStatement(false)},
        {QStringLiteral("positions of one department granted a document with their accesses"),
         positionsStatement(true)},
        {QStringLiteral("holders of the positions granted a document"), holdersStatement(false)},
        {QStringLiteral("holders of one department's positions granted a document"), holdersStatement(true)},
    };
}

QString ReadingCoverage::timeText(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy/MM/dd HH:mm")) : QString();
}

DbResult<QVector<CoverageRow>> ReadingCoverage::run(const QString& documentNumber) const
{
    using Result = DbResult<QVector<CoverageRow>>;
    const QString number = documentNumber.isNull() ? QStringLiteral("") : documentNumber;
    const bool scoped = m_scope.has_value();
    const QString scope = scoped && m_scope->isNull() ? QStringLiteral("") : m_scope.value_or(QString());

    QVector<CoverageRow> rows;
    QHash<QString, int> rowOf;  // position code as compared by the database → row
    {
        Query q(positionsStatement(scoped));
        q.bind(number);
        if (scoped)
            q.bind(scope);
        q.bind(number);
        if (!q.exec())
            return Result::failure(q.error());
        while (q.next()) {
            CoverageRow r;
            r.positionCode = q.text(u"岗位代号");
            r.positionName = q.text(u"岗位名称");
            r.departmentCode = q.text(u"部门编号");
            r.departmentName = q.text(u"部门名称");
            r.mayRead = q.integer(u"可查阅") != 0;
            r.mayDownload = q.integer(u"可下载") != 0;
            r.reads = countOf(q, u"浏览次数");
            r.downloads = countOf(q, u"下载次数");
            r.firstAccess = q.dateTime(u"首次访问");
            r.lastAccess = q.dateTime(u"最近访问");
            rowOf.insert(codeKey(r.positionCode), int(rows.size()));
            rows.append(std::move(r));
        }
        if (q.error().isSet())
            return {std::move(rows), q.error()};
    }
    Query q(holdersStatement(scoped));
    q.bind(number);
    if (scoped)
        q.bind(scope);
    if (!q.exec())
        return {std::move(rows), q.error()};
    while (q.next()) {
        const auto found = rowOf.constFind(codeKey(q.text(u"岗位代号")));
        if (found != rowOf.constEnd())
            rows[*found].holders << q.text(u"工号") + u' ' + q.text(u"姓名");
    }
    return {std::move(rows), q.error()};
}

CoverageSummary ReadingCoverage::summary(const QVector<CoverageRow>& rows)
{
    CoverageSummary s;
    for (const CoverageRow& r : rows) {
        ++s.positions;
        if (r.opened())
            ++s.opened;
    }
    return s;
}

}  // namespace quarvel
