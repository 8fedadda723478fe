#pragma once

// Download groups: named sets of positions that the rights of a document can be granted to at
// once. The group fields are checked and stored here; every write is one transaction.

#include "db/DbError.h"
#include "db/NamedStatement.h"
#include "permissions/PermissionTypes.h"

#include <QPair>
#include <QString>
#include <QVector>

#include <optional>

namespace quarvel {

struct DownloadGroup {
    QString code;         // 组ID
    QString name;         // 组名称
    QString description;  // 备注, "" when null

    // The entry of the group list: code, one blank, name.
    QString listText() const { return code + QStringLiteral(" ") + name; }
};

// The window edits the shown group or creates a new one.
enum class GroupEditMode { Edit, Create };

// The group fields as typed.
struct GroupFields {
    QString code;         // Text1
    QString name;         // Text2
    QString description;  // Text3
};

// What became of an action; the window turns it into its message.
enum class GroupOutcome {
    Changed,          // "修改成功"
    Created,          // the group was added (no message)
    NothingToDo,      // nothing happens and nothing is said
    NoGroupToChange,  // "请选择需要修改的范围!"
    EmptyCode,        // "编号不能为空!"
    CodeTooLong,      // "类别编号不能超过10个字符"
    EmptyName,        // "名称不能为空!"
    CodeExists,       // "编号已存在,不能重复！"
    NameExists,       // "名称已存在,不能重复！"
    GroupMissing,     // the group to change is no longer stored
    CreatingGroup,    // the action is refused while a group is being created
    NoGroupToDelete,  // "请选择要删除的组!"
    NoGroupChosen,    // "请选择要设置下载的组!"
    Done,             // a member was added or removed, a group deleted
    Failed            // error holds the failure
};

struct GroupResult {
    GroupOutcome outcome = GroupOutcome::NothingToDo;
    DbError error;
};

// The group that member actions work on: the code shown and whether it was chosen from the
// list (the code box is then disabled).
struct ShownGroup {
    GroupEditMode mode = GroupEditMode::Edit;
    QString code;
    bool chosen = false;
};

class DownloadGroups {
public:
    // Longest group code, counted before trimming.
    static constexpr int kCodeLimit = 10;
    // Longest name (trimmed) and description; longer ones are refused as failures that say so.
    static constexpr int kNameLimit = 50;
    static constexpr int kDescriptionLimit = 200;

    // Every group, in the order the database returns them.
    static DbResult<QVector<DownloadGroup>> groups();
    // The group with exactly this code; no value when there is none.
    static DbResult<std::optional<DownloadGroup>> find(const QString& code);
    // The members of the group that still have a position and a department row, in the order
    // of adding.
    static DbResult<QVector<ListedPosition>> members(const QString& groupCode);

    // "确定", checked in this order: in edit mode a group is shown; the trimmed code is not
    // empty; the code is at most kCodeLimit characters before trimming; the name is not blank;
    // the trimmed name and the description fit kNameLimit and kDescriptionLimit (else Failed,
    // the error saying which).
    // Edit mode changes name, description and author of the shown group (another group's name
    // is allowed); create mode refuses a code or a name that exists and adds the group. Code
    // and name are stored trimmed, the description as typed. One transaction.
    static GroupResult save(GroupEditMode mode, const GroupFields& fields, const ChangeAuthor& author);

    // "删除" before its question: refused while creating or without a shown code.
    static GroupResult checkRemoval(GroupEditMode mode, const QString& code);
    // Deletes the group and its members in one transaction (the code trimmed).
    static DbStatus remove(const QString& code);

    // A double click on a node of the position tree: refused while creating or without a chosen
    // group; a position node that is not a member yet is added (also a vacant position);
    // anything else does nothing.
    static GroupResult addMember(const ShownGroup& group, const PositionNode& node, const QString& employeeNo);
    // A double click on a member: refused while creating or without a chosen group; removes the
    // member whose list key is `memberKey` ("G" + 岗位代号). An empty code does nothing.
    static GroupResult removeMember(const ShownGroup& group, const QString& memberKey);

    static const QString& groupsStatement();
    static const QString& findStatement();
    static const QString& nameExistsStatement();
    static const QString& insertStatement();
    static const QString& updateStatement();
    static const QString& deleteStatement();
    static const QString& deleteMembersStatement();
    static const QString& membersStatement();
    static const QString& addMemberStatement();
    static const QString& removeMemberStatement();

    // Every statement in T-SQL form (name, text).
    static QVector<NamedStatement> statements();
};

}  // namespace quarvel
