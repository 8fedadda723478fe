#pragma once

// Drives the permission windows as a user does: mouse clicks on tree nodes, check boxes, list
// items and buttons.

#include "permissions/PositionList.h"
#include "widgets/tree/KeyedTree.h"

#include <QAbstractButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>

namespace quarvel::test {

inline QPoint nodeCentre(KeyedTree& tree, const QString& key)
{
    const QModelIndex index = tree.model()->indexForKey(key);
    tree.view()->scrollTo(index);
    return tree.view()->visualRect(index).center();
}

inline void clickNode(KeyedTree& tree, const QString& key)
{
    QTest::mouseClick(tree.view()->viewport(), Qt::LeftButton, {}, nodeCentre(tree, key));
}

// A double click as the window system delivers it: a click, then the double-click event.
inline void doubleClickNode(KeyedTree& tree, const QString& key)
{
    const QPoint at = nodeCentre(tree, key);
    QTest::mouseClick(tree.view()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree.view()->viewport(), Qt::LeftButton, {}, at);
}

// A click on the node's check box.
inline void clickCheckBox(KeyedTree& tree, const QString& key)
{
    QTreeView* view = tree.view();
    const QModelIndex index = tree.model()->indexForKey(key);
    view->scrollTo(index);
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
}

inline void clickRow(PositionList& list, int row)
{
    list.view()->scrollTo(list.model()->index(row, 0));
    QTest::mouseClick(list.view()->viewport(), Qt::LeftButton, {}, list.itemRect(row).center());
}

inline void doubleClickRow(PositionList& list, int row)
{
    list.view()->scrollTo(list.model()->index(row, 0));
    const QPoint at = list.itemRect(row).center();
    QTest::mouseClick(list.view()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.view()->viewport(), Qt::LeftButton, {}, at);
}

// Types the text key by key, Chinese characters included.
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

inline void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

}  // namespace quarvel::test
