#pragma once

#include "widgets/grid/GridFormat.h"
#include "widgets/grid/GridModel.h"

#include <QHash>
#include <QList>
#include <QRect>
#include <QSet>
#include <QWidget>

#include <memory>

class QTableView;
class QModelIndex;

namespace quarvel {

class GridTableView;

// The grid of the windows' lists: a table of texts addressed by (row, column) as the windows
// describe them. Row 0 is the header row and is shown as the view's column header, so it stays
// at the top while the rows scroll; data rows start at 1. Further fixed rows and the fixed
// columns are shown shaded in the table. Widths and heights are in twips.
//
// The texts and formats live in a GridModel (model()); the widget adds the column widths, the
// current cell and selection, merged cells and the mouse signals. Fill large grids between
// beginBulk() and endBulk() (or with setRedraw(false) ... setRedraw(true)): the view then sees
// one reset instead of one signal per cell.
//
// A new grid has 2 rows, 2 columns, 1 fixed row and 1 fixed column, whole-row selection, no
// merging, and the current cell (1, 1).
class FlexGrid : public QWidget {
    Q_OBJECT

public:
    enum class SelectionMode { Free = 0, ByRow = 1, ByColumn = 2 };
    enum class MergeMode { Never = 0, Free = 1, RestrictRows = 2, RestrictColumns = 3, FixedOnly = 4 };

    static constexpr int DefaultColWidthTwips = 960;
    static constexpr int CellPaddingPixels = 4;  // on each side of a header text

    explicit FlexGrid(QWidget* parent = nullptr);
    ~FlexGrid() override;

    GridModel* model() const { return m_model; }
    QTableView* view() const;

    // Format string: "|" separates the columns; "<", "^" or ">" in front of a header aligns its
    // column left, centred or right (none: general). Sets the column count, the header texts
    // (row 0, blanks kept), the alignments of the columns and of their header cells, and each
    // width from the header text (formatWidthTwips). Rows are kept (at least the header row).
    void setFormatString(const QString& format);
    QString formatString() const { return m_formatString; }
    // Initial width of a column whose header is `header`: the header's display length in
    // character cells (wide characters count two, blanks count) times the average character
    // width of the grid's font, plus CellPaddingPixels on each side, in twips. Longer headers
    // give proportionally wider columns.
    int formatWidthTwips(const QString& header) const;

    // Shape.
    int rows() const { return m_model->rows(); }
    void setRows(int rows) { m_model->setRows(rows); }
    int cols() const { return m_model->cols(); }
    void setCols(int cols) { m_model->setCols(cols); }
    int fixedRows() const { return m_model->fixedRows(); }
    void setFixedRows(int rows);
    int fixedCols() const { return m_model->fixedCols(); }
    void setFixedCols(int cols) { m_model->setFixedCols(cols); }

    // Texts.
    QString textMatrix(int row, int col) const { return m_model->textMatrix(row, col); }
    void setTextMatrix(int row, int col, const QString& text) { m_model->setTextMatrix(row, col, text); }
    QString text() const;  // of the current cell
    void setText(const QString& text);
    // Adds a row whose cells are the tab-separated parts of `text`, at the end or before row
    // `before`; returns its number.
    int addItem(const QString& text, int before = -1);
    int appendRow(const QStringList& texts = {}) { return m_model->appendRow(texts); }
    void setRowTexts(int row, const QStringList& texts) { m_model->setRowTexts(row, texts); }
    void removeItem(int row);
    // Empties every cell (texts and formats); rows, columns, widths and alignments stay.
    void clear() { m_model->clear(); }

    // Column widths and row heights in twips. Width 0 hides a column; height 0 hides a row.
    // Row 0 is the header's height.
    //
    // With a stretching column (setStretchCol) the widths set here are the columns' nominal
    // widths and the grid fits the shown columns to its view: every other column is as wide as
    // its header and its texts need, up to its nominal width or a fifth of the view, whichever
    // is more; the stretching column takes the width that is left. Columns that together are
    // wider than the view give way in proportion to what they have beyond their headers, so
    // that the last column always ends inside the view. A column the user drags keeps his
    // width. The fit follows the texts once control returns to the event loop, and the view's
    // width at once.
    int colWidth(int col) const;
    void setColWidth(int col, int twips);
    int rowHeight(int row) const;
    void setRowHeight(int row, int twips);
    // The stretching column, -1 for none (the default: every column keeps its set width).
    int stretchCol() const { return m_stretchCol; }
    void setStretchCol(int col);
    // Fits the columns now (see above); nothing without a stretching column.
    void fitColumns();

    // Alignment codes (GridAlign, 0 to 9) of a column's cells and of its fixed cells.
    int colAlignment(int col) const { return m_model->colAlignment(col); }
    void setColAlignment(int col, int code) { m_model->setColAlignment(col, code); }
    int fixedAlignment(int col) const { return m_model->fixedAlignment(col); }
    void setFixedAlignment(int col, int code) { m_model->setFixedAlignment(col, code); }

    // Current cell. Setting the row or the column also resets rowSel/colSel to it. Setting
    // them does not scroll (see ensureRowVisible()).
    int row() const { return m_row; }
    void setRow(int row);
    int col() const { return m_col; }
    void setCol(int col);
    void setCurrentCell(int row, int col);
    // The other corner of the selected block.
    int rowSel() const { return m_rowSel; }
    void setRowSel(int row);
    int colSel() const { return m_colSel; }
    void setColSel(int col);
    // Makes (row, 0) the current cell and selects the row up to the last column.
    void selectWholeRow(int row);
    SelectionMode selectionMode() const { return m_selectionMode; }
    void setSelectionMode(SelectionMode mode);

    // Cell formats (see GridModel).
    void setCellForeColor(int row, int col, const QColor& color) { m_model->setCellForeColor(row, col, color); }
    QColor cellForeColor(int row, int col) const { return m_model->cellForeColor(row, col); }
    void setCellBackColor(int row, int col, const QColor& color) { m_model->setCellBackColor(row, col, color); }
    QColor cellBackColor(int row, int col) const { return m_model->cellBackColor(row, col); }
    void setCellFontSize(int row, int col, qreal points) { m_model->setCellFontSize(row, col, points); }
    qreal cellFontSize(int row, int col) const { return m_model->cellFontSize(row, col); }
    void setCellFontBold(int row, int col, bool bold) { m_model->setCellFontBold(row, col, bold); }
    bool cellFontBold(int row, int col) const { return m_model->cellFontBold(row, col); }
    void setRowBackColor(int row, const QColor& color) { m_model->setRowBackColor(row, color); }

    // Merged cells: equal, non-empty neighbours in a column marked with setMergeCol() are
    // shown as one cell (vertically), and in a row marked with setMergeRow() (horizontally).
    // RestrictColumns joins two rows in a column only where the marked column to its left
    // joins them too; RestrictRows joins two columns in a row only where the marked row above
    // joins them too; FixedOnly merges fixed cells only. The header row is never merged.
    // Merges follow the texts after each change once control returns to the event loop, or at
    // once with updateMerges().
    MergeMode mergeCells() const { return m_mergeMode; }
    void setMergeCells(MergeMode mode);
    bool mergeCol(int col) const { return m_mergeCols.contains(col); }
    void setMergeCol(int col, bool merge);
    bool mergeRow(int row) const { return m_mergeRows.contains(row); }
    void setMergeRow(int row, bool merge);
    void updateMerges();
    // Rows and columns covered by the merged cell at (row, col); 1 x 1 when not merged.
    int rowSpan(int row, int col) const;
    int columnSpan(int row, int col) const;

    // Scrolling: the first visible scrolling row; making a row visible.
    int topRow() const;
    void setTopRow(int row);
    void ensureRowVisible(int row);
    // The cell's rectangle in this widget's coordinates (empty when not shown); for row 0 the
    // header section.
    QRect cellRect(int row, int col) const;

    // Look-ups; a list that arrives in steps is completed first.
    int findRowById(int idColumn, qint64 id) const
    {
        m_model->fetchAll();
        return m_model->findRowById(idColumn, id);
    }
    int findRow(int col, const QString& text, int from = 1) const
    {
        m_model->fetchAll();
        return m_model->findRow(col, text, from);
    }

    // Long lists in steps (see GridModel::setRowSource): the grid shows the first rows at once
    // and takes the rest as the user scrolls and while the window is idle. Work that needs
    // every row (an export, a total, a look-up) calls fetchAll() first.
    void setRowSource(GridModel::RowSource source, int expectedRows = -1, int firstStepRows = GridModel::kFirstStepRows)
    {
        m_model->setRowSource(std::move(source), expectedRows, firstStepRows);
    }
    // A list from a reader in steps (`read(count, add)` returns whether more remain; `error()`,
    // `total()`, `atEnd()`): each row goes to `add`. A failure of the first step is the caller's
    // to show once the grid is filled; a later step that fails ends the list and hands its error
    // to `fail` after the step.
    template <typename Reader, typename Add, typename Fail>
    void setRowSource(const std::shared_ptr<Reader>& reader, Add add, Fail fail,
                      int firstStepRows = GridModel::kFirstStepRows)
    {
        if (reader->atEnd())
            return;
        const auto later = std::make_shared<bool>(false);
        setRowSource(
            [this, reader, later, add = std::move(add), fail = std::move(fail)](int count) {
                if (reader->read(count, add))
                    return true;
                if (reader->error().isSet() && *later)
                    QMetaObject::invokeMethod(
                        this, [fail, error = reader->error()] { fail(error); }, Qt::QueuedConnection);
                return false;
            },
            reader->total(), firstStepRows);
        *later = true;
    }
    bool loading() const { return m_model->loading(); }
    void fetchAll() { m_model->fetchAll(); }
    // "已显示 loaded / 共 expected 条": how much of a list in steps is in.
    static QString loadedText(int loaded, int expected)
    {
        return QStringLiteral("已显示 %1 / 共 %2 条").arg(loaded).arg(expected);
    }
    QString loadedText() const { return loadedText(loadedRows(), expectedRows()); }
    int loadedRows() const { return m_model->loadedRows(); }
    int expectedRows() const { return m_model->expectedRows(); }

    // Bulk changes.
    void beginBulk() { m_model->beginBulk(); }
    void endBulk() { m_model->endBulk(); }
    bool redraw() const { return !m_redrawOff; }
    void setRedraw(bool redraw);

signals:
    // A mouse click on a cell (after the current cell moved there); a double click sends
    // clicked for its first click and doubleClicked for its second, nothing else.
    void clicked(int row, int col);
    void doubleClicked(int row, int col);
    // The current cell changed, by the user or by a setter.
    void currentCellChanged(int row, int col);
    // A click on the column header (row 0).
    void headerClicked(int col);
    // A list in steps took a step: the data rows held and those expected in all.
    void loadProgress(int loaded, int expected);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveCurrent(int row, int col, bool syncView);
    void clampCurrent();
    void syncCurrentToView();
    void applyHeaderRow();
    void applyColWidth(int col);
    void applyAllSizes();
    void scheduleMerges();
    void scheduleFit();
    void contentChanged();
    int headerTextWidth(int col) const;
    bool mergingActive() const;
    void onModelReset();
    void onRowsInserted(int first, int last);
    void onRowsRemoved(int first, int last);
    void onColumnsInserted(int first, int last);
    void onColumnsRemoved(int first, int last);
    void onViewCurrentChanged(const QModelIndex& current);
    int visibleColumnFor(int col) const;

    GridModel* m_model = nullptr;
    GridTableView* m_view = nullptr;
    QString m_formatString;
    QList<int> m_colTwips;
    QHash<int, int> m_rowTwips;  // rows with a height of their own
    int m_row = 1;
    int m_col = 1;
    int m_rowSel = 1;
    int m_colSel = 1;
    SelectionMode m_selectionMode = SelectionMode::ByRow;
    MergeMode m_mergeMode = MergeMode::Never;
    QSet<int> m_mergeCols;
    QSet<int> m_mergeRows;
    bool m_mergePending = false;
    bool m_hasSpans = false;
    bool m_syncing = false;
    bool m_structureChanging = false;
    bool m_applyingSizes = false;
    bool m_redrawOff = false;
    int m_stretchCol = -1;
    QSet<int> m_userSized;  // columns the user dragged while the grid fits them
    bool m_fitPending = false;
    QList<int> m_contentWidths;  // what each column's texts need, -1 not measured yet
};

}  // namespace quarvel
