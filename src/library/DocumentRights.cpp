#include "library/DocumentRights.h"

#include "db/Query.h"
#include "library/UploadDocuments.h"

namespace quarvel {

const QString& DocumentRights::loadStatement()
{
    static const QString sql = QStringLiteral(
        "SELECT 资料下载权限.ID, 文件编号, 部门编号, 部门名称, 岗位代号, 岗位名称, 员工档案.姓名, 下载,查阅"
        " From 资料下载权限 left join 员工档案 on 资料下载权限.岗位代号 = 员工档案.岗位编号"
        " Where 文件编号 = ? Order By 资料下载权限.ID");
    return sql;
}

const QString& DocumentRights::insertStatement()
{
    static const QString sql = QStringLiteral(
        "Insert Into 资料下载权限(文件编号, 部门编号, 部门名称, 岗位代号, 岗位名称, 下载, 查阅, updatedate, CzyID)"
        " Values (?, ?, ?, ?, ?, 1, 1, ?, ?)");
    return sql;
}

const QString& DocumentRights::moveStatement()
{
    static const QString sql =
        QStringLiteral("Update 资料下载权限 Set 部门编号 = ?, 部门名称 = ?, 岗位代号 = ?, 岗位名称 = ? Where ID = ?");
    return sql;
}

const QString& DocumentRights::membersStatement()
{
    static const QString sql = QStringLiteral(
        "select 资料下载组详细.岗位代号,岗位信息new.岗位名称,员工档案.姓名,岗位信息new.职能部门代号 ,职能部门New.职能部门名称 "
        " from  资料下载组详细 left join 岗位信息new on 岗位信息new.岗位代号=资料下载组详细.岗位代号"
        " left join 员工档案 on 员工档案.岗位编号=资料下载组详细.岗位代号 "
        "  Inner Join 职能部门New On 岗位信息New.职能部门代号 = 职能部门New.职能部门编号"
        " where 资料下载组详细.组id = ?");
    return sql;
}

const QString& DocumentRights::existingStatement()
{
    static const QString sql = QStringLiteral("select ID from 资料下载权限 where 文件编号 = ? And 岗位代号 = ?");
    return sql;
}

const QString& DocumentRights::deleteStatement()
{
    static const QString sql = QStringLiteral("Delete From 资料下载权限 Where ID = ?");
    return sql;
}

const QString& DocumentRights::readStatement()
{
    static const QString sql = QStringLiteral("Update 资料下载权限 Set  查阅 = ? Where ID = ?");
    return sql;
}

const QString& DocumentRights::downloadOffStatement()
{
    static const QString sql = QStringLiteral("Update 资料下载权限 Set  下载=0 Where ID = ?");
    return sql;
}

const QString& DocumentRights::downloadOnStatement()
{
    static const QString sql = QStringLiteral("Update 资料下载权限 Set  下载=1,查阅=1 Where ID = ?");
    return sql;
}

DbResult<QVector<DocumentRightRow>> DocumentRights::load(const QString& documentNumber)
{
    Query q(loadStatement());
    q.bind(documentNumberOf(documentNumber));
    QVector<DocumentRightRow> rows;
    if (!q.exec())
        return DbResult<QVector<DocumentRightRow>>::failure(q.error());
    while (q.next()) {
        DocumentRightRow r;
        r.id = q.longInteger(u"ID");
        r.documentNumber = q.text(u"文件编号");
        r.deptCode = q.text(u"部门编号");
        r.deptName = q.text(u"部门名称");
        r.positionCode = q.text(u"岗位代号");
        r.positionName = q.text(u"岗位名称");
        r.holderName = q.text(u"姓名");
        r.download = q.flag(u"下载");
        r.read = q.flag(u"查阅");
        rows.append(r);
    }
    return {rows, q.error()};
}

DbStatus DocumentRights::grant(const QString& documentNumber, const QString& deptCode, const QString& deptName,
                               const QString& positionCode, const QString& positionName, const QDateTime& now,
                               const QString& operatorNo)
{
    return execute(insertStatement(),
                   {documentNumberOf(documentNumber), deptCode, deptName, positionCode, positionName, now, operatorNo});
}

DbStatus DocumentRights::move(qint64 id, const QString& deptCode, const QString& deptName, const QString& positionCode,
                              const QString& positionName)
{
    return execute(moveStatement(), {deptCode, deptName, positionCode, positionName, id});
}

const QString& DocumentRights::otherRightStatement()
{
    static const QString sql =
        QStringLiteral("select ID from 资料下载权限 where 文件编号 = ? And 岗位代号 = ? And ID <> ?");
    return sql;
}

QVector<NamedStatement> DocumentRights::statements()
{
    return {
        {QStringLiteral("rights of a document"), loadStatement()},
        {QStringLiteral("grant a right"), insertStatement()},
        {QStringLiteral("move a right"), moveStatement()},
        {QStringLiteral("members of a download group"), membersStatement()},
        {QStringLiteral("right of a position"), existingStatement()},
        {QStringLiteral("another right of a position"), otherRightStatement()},
        {QStringLiteral("remove a right"), deleteStatement()},
        {QStringLiteral("switch reading"), readStatement()},
        {QStringLiteral("switch download off"), downloadOffStatement()},
        {QStringLiteral("switch download on"), downloadOnStatement()},
    };
}

QString codePart(const QString& text)
{
    const qsizetype blank = text.indexOf(u' ');
    return blank < 0 ? text : text.left(blank);
}

std::optional<QString> namePart(const QString& text)
{
    const QStringList parts = text.split(u' ');
    if (parts.size() < 2)
        return std::nullopt;
    return parts.at(1);
}

ChosenPosition ChosenPosition::parse(const QString& departmentText, const QString& nodeText)
{
    ChosenPosition c;
    // The holder's "[" follows the code, which holds no blank but may hold a "[" of its own.
    const qsizetype blank = nodeText.indexOf(u' ');
    const qsizetype open = nodeText.indexOf(u'[', blank < 0 ? 0 : blank);
    const qsizetype close = open < 0 ? -1 : nodeText.indexOf(u']', open + 1);
    c.department = departmentText;
    c.position = open < 0 ? nodeText : nodeText.left(open);
    c.holder = open < 0 ? QString() : nodeText.mid(open + 1, (close < 0 ? nodeText.size() : close) - open - 1);
    c.deptCode = codePart(c.department);
    c.positionCode = codePart(c.position);
    const std::optional<QString> deptName = namePart(c.department);
    const std::optional<QString> positionName = namePart(c.position);
    c.complete = deptName && positionName;
    c.deptName = deptName.value_or(QString());
    c.positionName = positionName.value_or(QString());
    return c;
}

PlaceOutcome DocumentRights::place(const QString& documentNumber, std::optional<qint64> rightId,
                                   const ChosenPosition& chosen, const QDateTime& now, const QString& operatorNo)
{
    const QString number = documentNumberOf(documentNumber);
    Transaction transaction;
    if (!transaction.begun())
        return {PlaceOutcome::Failed, transaction.error()};
    {
        Query other(otherRightStatement());
        other.bind({number, chosen.positionCode, rightId.value_or(-1)});
        if (!other.exec())
            return {PlaceOutcome::Failed, other.error()};
        const bool listed = other.next();
        if (other.error().isSet())
            return {PlaceOutcome::Failed, other.error()};
        if (listed)
            return {PlaceOutcome::AlreadyListed, {}};
    }
    if (!chosen.complete)
        return {PlaceOutcome::MissingPart, {}};
    if (!rightId && number.isEmpty())
        return {PlaceOutcome::NoDocument, {}};
    const DbStatus written = rightId ? move(*rightId, chosen.deptCode, chosen.deptName, chosen.positionCode,
                                            chosen.positionName)
                                     : grant(number, chosen.deptCode, chosen.deptName, chosen.positionCode,
                                             chosen.positionName, now, operatorNo);
    if (!written.ok())
        return {PlaceOutcome::Failed, written.error};
    if (!transaction.commit())
        return {PlaceOutcome::Failed, transaction.error()};
    return {rightId ? PlaceOutcome::Moved : PlaceOutcome::Granted, {}};
}

DbResult<QVector<GroupMember>> DocumentRights::members(const QString& groupId)
{
    Query q(membersStatement());
    q.bind(groupId);
    if (!q.exec())
        return DbResult<QVector<GroupMember>>::failure(q.error());
    QVector<GroupMember> out;
    while (q.next())
        out.append({q.text(u"岗位代号"), q.text(u"岗位名称"), q.text(u"姓名"), q.text(u"职能部门代号"),
                    q.text(u"职能部门名称")});
    return {out, q.error()};
}

DbResult<int> DocumentRights::grantGroup(const QString& documentNumber, const QString& groupId, const QDateTime& now,
                                         const QString& operatorNo)
{
    const QString number = documentNumberOf(documentNumber);
    const DbResult<QVector<GroupMember>> found = members(groupId);
    if (!found.ok())
        return DbResult<int>::failure(found.error);
    Transaction transaction;
    if (!transaction.begun())
        return DbResult<int>::failure(transaction.error());
    int added = 0;
    for (const GroupMember& m : found.value) {
        bool has = false;
        {
            // Finished before the insert: SQL Server allows one open result per connection.
            Query existing(existingStatement());
            existing.bind({number, m.positionCode});
            if (!existing.exec())
                return DbResult<int>::failure(existing.error());
            has = existing.next();
            if (existing.error().isSet())
                return DbResult<int>::failure(existing.error());
        }
        if (has)
            continue;
        const DbStatus inserted = grant(number, m.deptCode, m.deptName, m.positionCode, m.positionName, now,
                                        operatorNo);
        if (!inserted.ok())
            return DbResult<int>::failure(inserted.error);
        ++added;
    }
    if (!transaction.commit())
        return DbResult<int>::failure(transaction.error());
    return {added, {}};
}

DbStatus DocumentRights::remove(qint64 id) { return execute(deleteStatement(), {id}); }

DbStatus DocumentRights::setRead(qint64 id, bool allowed) { return execute(readStatement(), {allowed ? 1 : 0, id}); }

DbStatus DocumentRights::setDownload(qint64 id, bool allowed)
{
    return execute(allowed ? downloadOnStatement() : downloadOffStatement(), {id});
}

}  // namespace quarvel
