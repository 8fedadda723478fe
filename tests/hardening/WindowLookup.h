#pragma once

// Finds the controls of a window by their names and drives them as a user does, so the tests do
// not depend on how a window keeps its members.

#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"
#include "widgets/tree/KeyedTreeModel.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

namespace quarvel::test {

template <class T>
T* control(const QWidget& window, const QString& name)
{
    T* found = window.findChild<T*>(name);
    if (!found)
        qFatal("no control %s in %s", qPrintable(name), qPrintable(window.objectName()));
    return found;
}

inline void clickButton(const QWidget& window, const QString& name)
{
    QTest::mouseClick(control<QAbstractButton>(window, name), Qt::LeftButton);
}

// Typed key by key; characters without a key of their own come as an input method sends them.
inline void typeInto(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            QTest::keyClick(field, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

inline QPoint cellCentre(FlexGrid& grid, int row, int col)
{
    grid.ensureRowVisible(row);
    return grid.view()->viewport()->mapFrom(&grid, grid.cellRect(row, col).center());
}

inline void clickCell(FlexGrid& grid, int row, int col)
{
    QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, col));
}

inline void doubleClickCell(FlexGrid& grid, int row, int col)
{
    const QPoint at = cellCentre(grid, row, col);
    QWidget* viewport = grid.view()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

inline void clickTreeNode(KeyedTree& tree, const QString& key)
{
    const QModelIndex index = tree.model()->indexForKey(key);
    tree.view()->scrollTo(index);
    QTest::mouseClick(tree.view()->viewport(), Qt::LeftButton, {}, tree.view()->visualRect(index).center());
}

inline void clickListItem(QListWidget& list, int row)
{
    list.scrollToItem(list.item(row));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(row)).center());
}

}  // namespace quarvel::test
