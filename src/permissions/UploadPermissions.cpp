#include "permissions/UploadPermissions.h"

#include "db/Query.h"

#include <QSet>

namespace quarvel {
namespace {

// The joins that keep only positions with a position row and a department row.
const QString& positionJoins()
{
    static const QString sql = QStringLiteral(
        " FROM 资料上传权限 INNER JOIN 岗位信息new ON 资料上传权限.岗位代号 = 岗位信息new.岗位代号"
        " Inner Join 职能部门New On 岗位信息new.职能部门代号 = 职能部门new.职能部门编号"
        " left join 员工档案 on 岗位信息new.工号 = 员工档案.工号");
    return sql;
}

QString codeOfText(const QString& text)
{
    const qsizetype blank = text.indexOf(u' ');
    return (blank < 0 ? text : text.left(blank)).trimmed();
}

// Codes go in as texts even when unset, so that an empty code matches ''.
QVariant textValue(const QString& text) { return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text); }

// Runs the insert with the rows' values; a batch after the first runs on the statement already
// prepared.
DbError insertRows(Query& q, bool first, const QStringList& types, const QString& positionCode,
                   const ChangeAuthor& author)
{
    if (!first)
        q.clearBindings();
    for (const QString& type : types)
        q.bind({textValue(type), textValue(positionCode), textValue(author.employeeNo), author.now});
    q.exec();
    return q.error();
}

PermissionResult result(PermissionOutcome outcome) { return {outcome, {}}; }

PermissionResult stored(const DbStatus& status)
{
    if (!status.ok())
        return {PermissionOutcome::Failed, status.error};
    return result(PermissionOutcome::Stored);
}

}  // namespace

const QString& UploadPermissions::positionsStatement()
{
    static const QString sql =
        QStringLiteral("SELECT distinct 资料上传权限.岗位代号, 岗位信息new.岗位名称, 职能部门new.职能部门编号,"
                       " 职能部门new.职能部门名称, 员工档案.姓名")
        + positionJoins() + QStringLiteral(" ORDER BY 职能部门new.职能部门编号, 资料上传权限.岗位代号 DESC");
    return sql;
}

const QString& UploadPermissions::typesOfStatement()
{
    static const QString sql = QStringLiteral("SELECT distinct 资料上传权限.文件编号") + positionJoins()
                               + QStringLiteral(" where 资料上传权限.岗位代号 = ?");
    return sql;
}

const QString& UploadPermissions::deleteStatement()
{
    static const QString sql = QStringLiteral("Delete FROM 资料上传权限 WHERE 岗位代号 = ?");
    return sql;
}

QString UploadPermissions::insertStatement(int rows)
{
    QString sql = QStringLiteral("insert into 资料上传权限 (文件编号, 岗位代号, CzyID, updatedate) values ");
    for (int i = 0; i < rows; ++i) {
        if (i > 0)
            sql += QStringLiteral(", ");
        sql += QStringLiteral("(?, ?, ?, ?)");
    }
    return sql;
}

DbResult<QVector<ListedPosition>> UploadPermissions::positions()
{
    using Result = DbResult<QVector<ListedPosition>>;
    Query q(positionsStatement());
    if (!q.exec())
        return Result::failure(q.error());
    QVector<ListedPosition> rows;
    QSet<QString> seen;
    while (q.next()) {
        ListedPosition p;
        p.positionCode = q.text(u"岗位代号");
        if (seen.contains(p.positionCode))
            continue;
        seen.insert(p.positionCode);
        p.positionName = q.text(u"岗位名称");
        p.deptCode = q.text(u"职能部门编号");
        p.deptName = q.text(u"职能部门名称");
        p.holderName = q.text(u"姓名");
        rows.append(p);
    }
    return {std::move(rows), q.error()};
}

DbResult<QStringList> UploadPermissions::typesOf(const QString& positionCode)
{
    Query q(typesOfStatement());
    q.bind(textValue(positionCode));
    if (!q.exec())
        return DbResult<QStringList>::failure(q.error());
    QStringList codes;
    while (q.next())
        codes.append(q.text(u"文件编号"));
    return {std::move(codes), q.error()};
}

QStringList UploadPermissions::chosenTypes(const QVector<TypeNodeState>& nodes)
{
    QStringList codes;
    QSet<QString> seen;
    for (const TypeNodeState& node : nodes) {
        if (!node.checked || node.picture != kWritablePicture)
            continue;
        const QString code = codeOfText(node.text);
        if (!seen.contains(code)) {
            seen.insert(code);
            codes.append(code);
        }
    }
    return codes;
}

PermissionResult UploadPermissions::add(const AddRequest& request, const ChangeAuthor& author)
{
    if (!request.position.isPosition())
        return result(PermissionOutcome::NoPositionChosen);
    if (request.position.holderName().isEmpty())
        return result(PermissionOutcome::VacantPosition);
    if (request.types.isEmpty())
        return result(PermissionOutcome::NoTypesChosen);
    if (request.listed)
        return result(PermissionOutcome::NothingToDo);
    return stored(replace(request.position.code().trimmed(), request.types, author));
}

PermissionResult UploadPermissions::change(const ChangeRequest& request, const ChangeAuthor& author)
{
    const QString code = request.listedKey.mid(1);
    if (!request.typeNodeSelected || code.isEmpty())
        return result(PermissionOutcome::NothingToDo);
    if (request.positionName.isEmpty())
        return result(PermissionOutcome::NoEmployeeChosen);
    if (request.types.isEmpty())
        return result(PermissionOutcome::NoTypesChosen);
    return stored(replace(code, request.types, author));
}

DbStatus UploadPermissions::replace(const QString& positionCode, const QStringList& types, const ChangeAuthor& author)
{
    Transaction transaction;
    if (!transaction.begun())
        return {transaction.error()};
    DbStatus s = execute(deleteStatement(), {textValue(positionCode)});
    if (!s.ok())
        return s;
    // Whole batches share one prepared statement; the rest goes in a shorter one.
    const qsizetype whole = types.size() / kRowsPerInsert * kRowsPerInsert;
    if (whole > 0) {
        Query batch(insertStatement(kRowsPerInsert));
        for (qsizetype from = 0; from < whole; from += kRowsPerInsert) {
            const DbError failed = insertRows(batch, from == 0, types.mid(from, kRowsPerInsert), positionCode, author);
            if (failed.isSet())
                return {failed};
        }
    }
    if (whole < types.size()) {
        const QStringList rest = types.mid(whole);
        Query last(insertStatement(static_cast<int>(rest.size())));
        const DbError failed = insertRows(last, true, rest, positionCode, author);
        if (failed.isSet())
            return {failed};
    }
    if (!transaction.commit())
        return {transaction.error()};
    return {};
}

DbStatus UploadPermissions::remove(const QString& positionCode)
{
    return execute(deleteStatement(), {textValue(positionCode)});
}

QVector<NamedStatement> UploadPermissions::statements()
{
    return {
        {QStringLiteral("positions with upload permissions"), positionsStatement()},
        {QStringLiteral("upload permissions of a position"), typesOfStatement()},
        {QStringLiteral("delete the upload permissions of a position"), deleteStatement()},
        {QStringLiteral("add an upload permission"), insertStatement(1)},
        {QStringLiteral("add upload permissions"), insertStatement(3)},
    };
}

}  // namespace quarvel
