#pragma once

// Drives the permission windows' position lists as a user does; the rest through InputDriving.

#include "InputDriving.h"
#include "permissions/PositionList.h"

#include <QTest>

namespace quarvel::test {

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

}  // namespace quarvel::test
