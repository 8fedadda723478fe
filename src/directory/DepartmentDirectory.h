#pragma once

#include "common/TreeNodes.h"
#include "db/DbError.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace quarvel {

// One open department as the department statement lists it; texts as stored (not trimmed),
// parentCode "" when the department has no parent history or a null parent.
struct DepartmentEntry {
    QString code;
    QString name;
    QString parentCode;

    friend bool operator==(const DepartmentEntry&, const DepartmentEntry&) = default;
};

// The position nodes differ between the windows: the permission and group windows show
// name and holder; the upload window shows code, name and holder in brackets and keeps the
// holder's English name in the node's tag.
enum class PositionVariant { Standard, Upload };

// Picture numbers of the department and position trees.
inline constexpr int kDepartmentPicture = 1;
inline constexpr int kPositionPicture = 2;

// Tag of a department node whose positions have been loaded.
inline const QString& positionsLoadedTag()
{
    static const QString tag = QStringLiteral("OK");
    return tag;
}

// The statements and node lists of the department and position tree. No widgets here: the
// node lists are handed to a KeyedTree by the functions of DepartmentTree.h.
class DepartmentDirectory {
public:
    // Open departments with their current parent (the parent row with the latest 起始日期),
    // ordered by the length of the code, then the code.
    static const QString& departmentStatement();
    // Open positions of one department that have a department and a position category,
    // ordered by 岗位代号; one "?" for the department code.
    static const QString& positionStatement(PositionVariant variant);

    // The rows of the department statement in statement order. When reading fails half-way the
    // rows read so far come back together with the error.
    static DbResult<QVector<DepartmentEntry>> loadDepartments();

    // The department nodes in the order in which they are added to the tree: every top-level
    // department (empty parentCode) in list order, each followed depth-first by its
    // descendants, siblings in list order. A department whose parent is closed, missing or
    // part of a cycle is never reached. Runs in time linear in the number of departments.
    //
    // A department listed twice (two parent rows with the same latest date) is shown once, where
    // it is first reached; its later listings are left out together with what lies below them
    // (already shown under the first) and the rest of the tree follows. The codes of the
    // departments left out this way go to *repeated (each once, in the order met).
    static QVector<TreeNodeSpec> departmentNodes(const QVector<DepartmentEntry>& departments,
                                                 QStringList* repeated = nullptr);

    // The position nodes of a department, children of the node departmentKey(deptCode), in
    // order of 岗位代号. When reading fails half-way the nodes read so far come back together
    // with the error.
    static DbResult<QVector<TreeNodeSpec>> positionNodes(const QString& deptCode, PositionVariant variant);

    // One department node: key "$" + code, text code + " " + name, picture 1, empty tag.
    static TreeNodeSpec departmentNode(const DepartmentEntry& entry, const QString& parentKey);

    static QString departmentKey(const QString& code) { return QLatin1Char('$') + code; }
    static QString positionKey(const QString& code) { return QLatin1Char('G') + code; }
    // The code of a department or position node: the key without its first character.
    static QString codeFromKey(const QString& key) { return key.mid(1); }
};

}  // namespace quarvel
