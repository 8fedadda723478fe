#pragma once

#include "doctypes/TextArray.h"
#include "doctypes/TypeTree.h"

#include <QIcon>
#include <QList>

#include <functional>

class QWidget;

namespace quarvel {

class KeyedTree;
class MessageBoxes;

// Clears the tree and fills it with the variant's type nodes in one update. The descriptions
// (settings window) are returned through `descriptions`. A failed statement or a refused row
// comes back as an error; the nodes added before it stay.
DbError LoadTypeTree(KeyedTree& tree, TypeTreeVariant variant, TextArray* descriptions = nullptr);

// Loads the tree as LoadTypeTree does, then runs the window's marking pass `mark` on what was
// loaded: also when the load stopped at a refused row (the nodes before it stay, and without the
// marking the upload window could not offer any of them), but not when the statement failed.
// Returns the load's failure if there was one, otherwise the marking's.
DbError LoadAndMarkTypeTree(KeyedTree& tree, TypeTreeVariant variant, const std::function<DbError()>& mark,
                            TextArray* descriptions = nullptr);

// The marking pass of the type settings window: every node expanded with picture 1; types with
// upload permissions picture 2; voided types picture 3 (the root is skipped).
void markTypeSettings(KeyedTree& tree, const TypeMarks& marks);

// The marking pass of the upload window: every node expanded with picture 2; types the position
// may upload to picture 1; voided types picture 3.
void markUploadTypes(KeyedTree& tree, const TypeMarks& marks);

// The upload permission window: every node expanded, leaves picture 2 (others keep 3), voided
// types picture 4.
void markLeavesAndVoided(KeyedTree& tree, const QStringList& voidedCodes);

// Copies the check mark of the node to every descendant, at every depth; parents never change.
void 子节点联动(KeyedTree& tree, const QString& key);

// Shows a tree failure as the browse, upload, permission and statistics windows do: the
// description, information icon, the program's name as title.
void reportTreeFailure(MessageBoxes& messages, QWidget* parent, const DbError& error);

// The icons of the type trees, by picture number.
QList<QIcon> typeTreeIcons(TypeTreeVariant variant);

}  // namespace quarvel
