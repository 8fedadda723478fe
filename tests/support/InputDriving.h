#pragma once

// Drives windows as a user does: mouse clicks and double clicks on buttons, grid cells, tree
// nodes, check boxes and list items, and typing key by key. Every window suite uses these, so a
// window is reached through the same events a user's hand would send.

#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"
#include "widgets/tree/KeyedTreeModel.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>
#include <QTreeView>

namespace quarvel::test {

// The control of that object name, or the test ends saying which is missing.
template <class T>
T* control(const QWidget& window, const QString& name)
{
    T* found = window.findChild<T*>(name);
    if (!found)
        qFatal("no control %s in %s", qPrintable(name), qPrintable(window.objectName()));
    return found;
}

inline void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

inline void clickButton(const QWidget& window, const QString& name) { click(control<QAbstractButton>(window, name)); }

// Typed key by key; a character without a key of its own comes as an input method sends it, as
// the key event's text.
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The field's text replaced by `text`, typed.
inline void typeInto(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    typeText(field, text);
}

inline QPoint cellCentre(FlexGrid& grid, int row, int col)
{
    grid.ensureRowVisible(row);
    return grid.view()->viewport()->mapFrom(&grid, grid.cellRect(row, col).center());
}

inline void clickCell(FlexGrid& grid, int row, int col = 1)
{
    QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, col));
}

// A double click as the window system delivers it: a click, then the double-click event and
// its release.
inline void doubleClickCell(FlexGrid& grid, int row, int col = 1)
{
    const QPoint at = cellCentre(grid, row, col);
    QWidget* viewport = grid.view()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

inline QPoint nodeCentre(KeyedTree& tree, const QString& key)
{
    const QModelIndex index = tree.model()->indexForKey(key);
    if (!index.isValid())
        qWarning("no node %s", qPrintable(key));
    tree.view()->scrollTo(index);
    return tree.view()->visualRect(index).center();
}

inline void clickNode(KeyedTree& tree, const QString& key)
{
    QTest::mouseClick(tree.view()->viewport(), Qt::LeftButton, {}, nodeCentre(tree, key));
}

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

inline void clickListItem(QListWidget& list, int row)
{
    list.scrollToItem(list.item(row));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(row)).center());
}

}  // namespace quarvel::test
