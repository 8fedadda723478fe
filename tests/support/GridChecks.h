#pragma once

// Checks of how a grid shows its columns at the size its window has.

#include "widgets/grid/FlexGrid.h"

#include <QHeaderView>
#include <QStringList>
#include <QStyle>
#include <QTableView>

namespace quarvel::test {

// The headers of the shown columns whose right edge lies beyond the grid's view.
inline QStringList columnsBeyondView(const FlexGrid& grid)
{
    const QTableView* view = grid.view();
    const QHeaderView* header = view->horizontalHeader();
    QStringList beyond;
    for (int c = 0; c < grid.cols(); ++c) {
        if (!view->isColumnHidden(c)
            && header->sectionViewportPosition(c) + header->sectionSize(c) > view->viewport()->width())
            beyond << grid.textMatrix(0, c).trimmed();
    }
    return beyond;
}

// Whether a column shows its header text and every text of its cells whole, nothing elided.
inline bool showsWhole(const FlexGrid& grid, int col)
{
    const QTableView* view = grid.view();
    const QHeaderView* header = view->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int headerText = header->fontMetrics().horizontalAdvance(grid.textMatrix(0, col).trimmed()) + 2 * margin;
    if (header->sectionSize(col) < headerText)
        return false;
    // A cell's text stands between the focus frame's margins.
    const int cellMargin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    for (int r = 1; r < grid.rows(); ++r) {
        if (view->fontMetrics().horizontalAdvance(grid.textMatrix(r, col)) + cellMargin > view->columnWidth(col))
            return false;
    }
    return true;
}

}  // namespace quarvel::test
