#pragma once

#include "directory/DepartmentDirectory.h"

#include <QIcon>
#include <QList>

class QWidget;

namespace quarvel {

class KeyedTree;
class MessageBoxes;

// Fills `departments` from the department statement and adds every department node to the
// tree in one update (the tree is not cleared first). A failed statement comes back as an
// error; the departments read and the nodes added before the failure stay. A department listed
// twice is shown once and the rest of the tree is still built; one error (35602) naming the
// repeated departments comes back for the window to report.
DbError LoadDepartmentTree(KeyedTree& tree, QVector<DepartmentEntry>& departments);

// Clears the tree, loads it and selects node 1 if the tree is not empty. A failure of the load
// is returned for the window's own load to handle, and nothing is selected then.
DbError InitDepartmentTree(KeyedTree& tree, QVector<DepartmentEntry>& departments);

// The same for a window that reports a failure of the load itself (reportDirectoryFailure)
// and then still selects node 1 of what was built.
void InitDepartmentTree(KeyedTree& tree, QVector<DepartmentEntry>& departments, MessageBoxes& messages,
                        QWidget* parent);

// Adds the positions of the department keyed deptKey as its children and tags the department
// "OK" (loaded), also when it has no open positions.
//
// Standard: a failed statement or a refused position node (a position listed twice) comes
// back as an error; the positions added before it stay and the department stays not loaded.
// Upload: once the statement is open, a refused position is skipped (a position listed twice
// is shown once, its tag taking the English name of the later row); a failure to open or read
// the statement comes back as an error, leaving the department not loaded.
DbError 添加岗位信息(KeyedTree& tree, const QString& deptKey, PositionVariant variant);

// True for a department node whose positions are not loaded yet: empty tag, picture 1.
bool positionsPending(const KeyedTree& tree, const QString& key);

// The node click of the position trees: runs 添加岗位信息 when the node is a department whose
// positions are not loaded yet. The value tells whether it ran; the error is its failure.
DbResult<bool> loadPositionsOnFirstClick(KeyedTree& tree, const QString& key, PositionVariant variant);

// Shows a failure of the department or position load as the permission and group windows do:
// the description, the information icon, the program's name as title.
void reportDirectoryFailure(MessageBoxes& messages, QWidget* parent, const DbError& error);

// The icons of the department trees: picture 1 a department, picture 2 a position.
QList<QIcon> directoryTreeIcons();

}  // namespace quarvel
