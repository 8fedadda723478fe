#pragma once

// Which positions may upload into which document types. A position's permissions are always
// handled as a whole set: a change deletes every pair of the position and inserts the chosen
// types, in one transaction, so that a failure leaves the previous set in place.

#include "db/DbError.h"
#include "db/NamedStatement.h"
#include "permissions/PermissionTypes.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

namespace quarvel {

// A node of the type tree as the choice of types reads it.
struct TypeNodeState {
    QString text;  // code as stored, one blank, name
    int picture = 0;
    bool checked = false;
};

// What became of an add or change; the window turns it into its message.
enum class PermissionOutcome {
    Stored,            // the set was written
    NothingToDo,       // nothing happens and nothing is said
    NoPositionChosen,  // "请选择要设置的人员！"
    VacantPosition,    // "空岗位不可以添加！"
    NoTypesChosen,     // "请选择要设置的文件类别！"
    NoEmployeeChosen,  // "请选择要设置的员工!"
    Failed             // error holds the failure
};

struct PermissionResult {
    PermissionOutcome outcome = PermissionOutcome::NothingToDo;
    DbError error;
};

// "添加": the selected node of the department tree, the chosen types and whether the list
// already shows the node's position.
struct AddRequest {
    PositionNode position;
    QStringList types;
    bool listed = false;
};

// "修改": whether the type tree has a selected node, the selected list item's key ("" when the
// list is empty or nothing is selected), its "岗位名称" column and the chosen types.
struct ChangeRequest {
    bool typeNodeSelected = false;
    QString listedKey;
    QString positionName;
    QStringList types;
};

class UploadPermissions {
public:
    // Picture of a leaf type that is not voided: the only kind of type ever written.
    static constexpr int kWritablePicture = 2;
    // Rows per insert statement (4 values each, far below SQL Server's 2,100 parameters); the
    // whole batches of one change share one prepared statement.
    static constexpr int kRowsPerInsert = 100;

    // The positions that have upload permissions and still have a position and a department
    // row, by department code ascending and, within a department, by position code
    // descending. A position listed twice (two employee rows of its holder) is given once.
    static DbResult<QVector<ListedPosition>> positions();

    // The type codes that the position may upload to (as stored, each once).
    static DbResult<QStringList> typesOf(const QString& positionCode);

    // The chosen types: the codes (text before the first blank, trimmed) of the ticked nodes
    // with the writable picture, in tree order, each once. Ticked parents and voided types are
    // ignored.
    static QStringList chosenTypes(const QVector<TypeNodeState>& nodes);

    // "添加", checked in this order: a position node is selected, it has a holder, types are
    // chosen, the position is not listed yet (else nothing happens); then the position's set is
    // replaced (the code taken from the key, trimmed).
    static PermissionResult add(const AddRequest& request, const ChangeAuthor& author);

    // "修改": nothing happens without a selected type node or listed position; an empty
    // position name asks for an employee; types must be chosen; then the listed position's set
    // is replaced (the code taken from the key as it stands).
    static PermissionResult change(const ChangeRequest& request, const ChangeAuthor& author);

    // Deletes every pair of the position and inserts one pair per type, in one transaction.
    static DbStatus replace(const QString& positionCode, const QStringList& types, const ChangeAuthor& author);

    // Deletes every pair of the position.
    static DbStatus remove(const QString& positionCode);

    static const QString& positionsStatement();
    static const QString& typesOfStatement();
    static const QString& deleteStatement();
    // The insert of `rows` pairs in one statement.
    static QString insertStatement(int rows);

    // Every statement in T-SQL form (name, text).
    static QVector<NamedStatement> statements();
};

}  // namespace quarvel
