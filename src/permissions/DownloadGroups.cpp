#include "permissions/DownloadGroups.h"

#include "db/Query.h"

namespace quarvel {
namespace {

QVariant textValue(const QString& text) { return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text); }

GroupResult outcome(GroupOutcome o) { return {o, {}}; }
GroupResult failed(const DbError& e) { return {GroupOutcome::Failed, e}; }

// True when the statement with one bound value returns a row.
DbResult<bool> exists(const QString& sql, const QString& value)
{
    Query q(sql);
    q.bind(textValue(value));
    if (!q.exec())
        return DbResult<bool>::failure(q.error());
    const bool found = q.next();
    if (q.error().isSet())
        return DbResult<bool>::failure(q.error());
    return {found, {}};
}

GroupResult change(const GroupFields& fields, const ChangeAuthor& author)
{
    const QString code = fields.code.trimmed();
    Transaction transaction;
    if (!transaction.begun())
        return failed(transaction.error());
    Query q(DownloadGroups::updateStatement());
    q.bind({textValue(fields.name.trimmed()), textValue(author.employeeNo), textValue(fields.description), author.now,
            textValue(code)});
    if (!q.exec())
        return failed(q.error());
    if (q.numRowsAffected() == 0)
        return outcome(GroupOutcome::GroupMissing);
    if (!transaction.commit())
        return failed(transaction.error());
    return outcome(GroupOutcome::Changed);
}

GroupResult create(const GroupFields& fields, const ChangeAuthor& author)
{
    const QString code = fields.code.trimmed();
    const QString name = fields.name.trimmed();
    Transaction transaction;
    if (!transaction.begun())
        return failed(transaction.error());
    const DbResult<bool> codeTaken = exists(DownloadGroups::findStatement(), code);
    if (!codeTaken.ok())
        return failed(codeTaken.error);
    if (codeTaken.value)
        return outcome(GroupOutcome::CodeExists);
    const DbResult<bool> nameTaken = exists(DownloadGroups::nameExistsStatement(), name);
    if (!nameTaken.ok())
        return failed(nameTaken.error);
    if (nameTaken.value)
        return outcome(GroupOutcome::NameExists);
    const DbStatus added = execute(
        DownloadGroups::insertStatement(),
        {textValue(code), textValue(name), textValue(author.employeeNo), textValue(fields.description), author.now});
    if (!added.ok())
        return failed(added.error);
    if (!transaction.commit())
        return failed(transaction.error());
    return outcome(GroupOutcome::Created);
}

// The refusals shared by the member actions.
std::optional<GroupResult> memberRefusal(const ShownGroup& group)
{
    if (group.mode == GroupEditMode::Create)
        return outcome(GroupOutcome::CreatingGroup);
    if (group.code.trimmed().isEmpty() || !group.chosen)
        return outcome(GroupOutcome::NoGroupChosen);
    return std::nullopt;
}

}  // namespace

const QString& DownloadGroups::groupsStatement()
{
    static const QString sql = QStringLiteral("select 组ID, 组名称, 备注 from 资料下载组");
    return sql;
}

const QString& DownloadGroups::findStatement()
{
    static const QString sql = QStringLiteral("select 组ID, 组名称, 备注 from 资料下载组 where 组ID = ?");
    return sql;
}

const QString& DownloadGroups::nameExistsStatement()
{
    static const QString sql = QStringLiteral("select 组ID from 资料下载组 where 组名称 = ?");
    return sql;
}

const QString& DownloadGroups::insertStatement()
{
    static const QString sql =
        QStringLiteral("insert into 资料下载组 (组ID, 组名称, CzyID, 备注, updatedate) values (?, ?, ?, ?, ?)");
    return sql;
}

const QString& DownloadGroups::updateStatement()
{
    static const QString sql =
        QStringLiteral("update 资料下载组 set 组名称 = ?, CzyID = ?, 备注 = ?, updatedate = ? where 组ID = ?");
    return sql;
}

const QString& DownloadGroups::deleteStatement()
{
    static const QString sql = QStringLiteral("DELETE FROM 资料下载组 WHERE 组ID = ?");
    return sql;
}

const QString& DownloadGroups::deleteMembersStatement()
{
    static const QString sql = QStringLiteral("DELETE FROM 资料下载组详细 WHERE 组id = ?");
    return sql;
}

const QString& DownloadGroups::membersStatement()
{
    static const QString sql = QStringLiteral(
        "SELECT 资料下载组详细.ID, 资料下载组详细.组id, 资料下载组详细.岗位代号, 岗位信息new.岗位名称,"
        " 职能部门new.职能部门编号, 职能部门new.职能部门名称, 员工档案.姓名"
        " FROM 资料下载组详细 INNER JOIN 岗位信息new ON 资料下载组详细.岗位代号 = 岗位信息new.岗位代号"
        " Inner Join 职能部门New On 岗位信息new.职能部门代号 = 职能部门new.职能部门编号"
        " left join 员工档案 on 岗位信息new.工号 = 员工档案.工号"
        " Where 资料下载组详细.组id = ? order by 资料下载组详细.ID asc");
    return sql;
}

// A position already in the group is not added a second time.
const QString& DownloadGroups::addMemberStatement()
{
    static const QString sql = QStringLiteral(
        "Insert Into 资料下载组详细 (组id, 岗位代号, Czyid) select ?, ?, ?"
        " where not exists (select 1 from 资料下载组详细 where 组id = ? and 岗位代号 = ?)");
    return sql;
}

const QString& DownloadGroups::removeMemberStatement()
{
    static const QString sql = QStringLiteral("Delete FROM 资料下载组详细 WHERE 岗位代号 = ? and 组id = ?");
    return sql;
}

DbResult<QVector<DownloadGroup>> DownloadGroups::groups()
{
    Query q(groupsStatement());
    if (!q.exec())
        return DbResult<QVector<DownloadGroup>>::failure(q.error());
    QVector<DownloadGroup> rows;
    while (q.next())
        rows.append({q.text(u"组ID"), q.text(u"组名称"), q.text(u"备注")});
    return {std::move(rows), q.error()};
}

DbResult<std::optional<DownloadGroup>> DownloadGroups::find(const QString& code)
{
    using Result = DbResult<std::optional<DownloadGroup>>;
    Query q(findStatement());
    q.bind(textValue(code));
    if (!q.exec())
        return Result::failure(q.error());
    if (!q.next()) {
        if (q.error().isSet())
            return Result::failure(q.error());
        return {std::nullopt, {}};
    }
    return {DownloadGroup{q.text(u"组ID"), q.text(u"组名称"), q.text(u"备注")}, {}};
}

DbResult<QVector<ListedPosition>> DownloadGroups::members(const QString& groupCode)
{
    Query q(membersStatement());
    q.bind(textValue(groupCode.trimmed()));
    if (!q.exec())
        return DbResult<QVector<ListedPosition>>::failure(q.error());
    QVector<ListedPosition> rows;
    while (q.next())
        rows.append({q.text(u"岗位代号"), q.text(u"岗位名称"), q.text(u"职能部门编号"), q.text(u"职能部门名称"),
                     q.text(u"姓名")});
    return {std::move(rows), q.error()};
}

GroupResult DownloadGroups::save(GroupEditMode mode, const GroupFields& fields, const ChangeAuthor& author)
{
    const bool blankCode = fields.code.trimmed().isEmpty();
    if (mode == GroupEditMode::Edit && blankCode)
        return outcome(GroupOutcome::NoGroupToChange);
    if (blankCode)
        return outcome(GroupOutcome::EmptyCode);
    if (fields.code.size() > kCodeLimit)
        return outcome(GroupOutcome::CodeTooLong);
    if (fields.name.trimmed().isEmpty())
        return outcome(GroupOutcome::EmptyName);
    // Longer than its column: the server would refuse the statement, so the user is told.
    if (fields.name.trimmed().size() > kNameLimit)
        return {GroupOutcome::Failed, DbError::make(-1, QStringLiteral("组名称不能超过%1个字符").arg(kNameLimit))};
    if (fields.description.size() > kDescriptionLimit)
        return {GroupOutcome::Failed, DbError::make(-1, QStringLiteral("备注不能超过%1个字符").arg(kDescriptionLimit))};
    return mode == GroupEditMode::Edit ? change(fields, author) : create(fields, author);
}

GroupResult DownloadGroups::checkRemoval(GroupEditMode mode, const QString& code)
{
    if (mode == GroupEditMode::Create)
        return outcome(GroupOutcome::CreatingGroup);
    if (code.trimmed().isEmpty())
        return outcome(GroupOutcome::NoGroupToDelete);
    return outcome(GroupOutcome::Done);
}

DbStatus DownloadGroups::remove(const QString& code)
{
    const QString trimmed = code.trimmed();
    Transaction transaction;
    if (!transaction.begun())
        return {transaction.error()};
    DbStatus s = execute(deleteStatement(), {textValue(trimmed)});
    if (!s.ok())
        return s;
    s = execute(deleteMembersStatement(), {textValue(trimmed)});
    if (!s.ok())
        return s;
    if (!transaction.commit())
        return {transaction.error()};
    return {};
}

GroupResult DownloadGroups::addMember(const ShownGroup& group, const PositionNode& node, const QString& employeeNo)
{
    if (const auto refused = memberRefusal(group))
        return *refused;
    if (!node.isPosition())
        return outcome(GroupOutcome::NothingToDo);
    const QString code = group.code.trimmed();
    Query q(addMemberStatement());
    q.bind({textValue(code), textValue(node.code()), textValue(employeeNo), textValue(code), textValue(node.code())});
    if (!q.exec())
        return failed(q.error());
    return outcome(q.numRowsAffected() > 0 ? GroupOutcome::Done : GroupOutcome::NothingToDo);
}

GroupResult DownloadGroups::removeMember(const ShownGroup& group, const QString& memberKey)
{
    const QString position = memberKey.mid(1);
    if (position.isEmpty())
        return outcome(GroupOutcome::NothingToDo);
    if (const auto refused = memberRefusal(group))
        return *refused;
    const DbStatus s = execute(removeMemberStatement(), {textValue(position), textValue(group.code.trimmed())});
    if (!s.ok())
        return failed(s.error);
    return outcome(GroupOutcome::Done);
}

QVector<NamedStatement> DownloadGroups::statements()
{
    return {
        {QStringLiteral("download groups with descriptions"), groupsStatement()},
        {QStringLiteral("find a download group"), findStatement()},
        {QStringLiteral("download group of a name"), nameExistsStatement()},
        {QStringLiteral("add a download group"), insertStatement()},
        {QStringLiteral("change a download group"), updateStatement()},
        {QStringLiteral("delete a download group"), deleteStatement()},
        {QStringLiteral("delete the members of a download group"), deleteMembersStatement()},
        {QStringLiteral("members of a download group with departments"), membersStatement()},
        {QStringLiteral("add a member to a download group"), addMemberStatement()},
        {QStringLiteral("remove a member from a download group"), removeMemberStatement()},
    };
}

}  // namespace quarvel
