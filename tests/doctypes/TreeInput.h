#pragma once

#include "widgets/tree/KeyedTree.h"

#include <QTest>
#include <QTreeView>

namespace quarvel::test {

// A mouse click on the row of the node, as the user clicks it (the tree must be shown).
inline void mouseClickNode(KeyedTree& tree, const QString& key, Qt::KeyboardModifiers modifiers = {})
{
    QTreeView* view = tree.view();
    const QModelIndex index = tree.model()->indexForKey(key);
    QVERIFY2(index.isValid(), qPrintable(key));
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
}

}  // namespace quarvel::test
