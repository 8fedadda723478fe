#pragma once

#include <QSet>
#include <QString>
#include <QVector>

#include <functional>

namespace quarvel {

// A block of cells shown as one.
struct CellSpan {
    int row = 0;
    int col = 0;
    int rowCount = 1;
    int colCount = 1;
    friend bool operator==(const CellSpan&, const CellSpan&) = default;
};

// How neighbouring cells with the same text merge: freely, a row only where the row above
// merged the same cells, a column only where the column before merged the same cells, or fixed
// cells only.
enum class MergeRule { Free, RestrictRows, RestrictColumns, FixedOnly };

// What the merge of a grid depends on. Row 0 is the header and never merges.
struct MergeLayout {
    int rows = 0;
    int cols = 0;
    MergeRule rule = MergeRule::Free;
    QSet<int> mergeCols;  // columns whose equal neighbours merge vertically
    QSet<int> mergeRows;  // rows whose equal neighbours merge horizontally
    std::function<QString(int row, int col)> text;
    std::function<bool(int row, int col)> isFixed;
};

// The spans of a grid: vertical merges first, then horizontal ones over the cells that no
// vertical merge took. Empty texts never merge.
QVector<CellSpan> mergeSpans(const MergeLayout& layout);

}  // namespace quarvel
