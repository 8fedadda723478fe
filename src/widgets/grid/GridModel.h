#pragma once

#include "widgets/grid/GridFormat.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QList>
#include <QStringList>

#include <vector>

namespace quarvel {

// The cells of a grid: rows x cols texts, each with an optional fore and back colour, font
// size and bold flag, and an alignment code per column.
//
// Row and column numbers are those of the grid: row 0 is the header row, data rows start at
// 1, and model index (r, c) is grid cell (r, c). The first fixedRows() rows and fixedCols()
// columns are fixed cells: they take the fixed alignment of their column and are shaded.
//
// Storage is one flat vector, row after row. Single changes send the fine-grained signals;
// between beginBulk() and endBulk() (or during a BatchUpdate) nothing is signalled and the
// outermost endBulk() ends one model reset: fill large grids that way.
//
// Out-of-range cells read as empty and ignore writes.
class GridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Extra roles for item delegates and tests.
    enum Role {
        AlignmentCodeRole = Qt::UserRole + 1,  // int, the code that applies to the cell
        FixedCellRole,                         // bool
    };

    explicit GridModel(QObject* parent = nullptr);

    // Shape. Growing adds empty cells; shrinking drops the last rows or columns.
    int rows() const { return m_rows; }
    void setRows(int rows);
    int cols() const { return m_cols; }
    void setCols(int cols);
    int fixedRows() const { return m_fixedRows; }
    void setFixedRows(int rows);
    int fixedCols() const { return m_fixedCols; }
    void setFixedCols(int cols);

    // Texts.
    QString textMatrix(int row, int col) const;
    bool setTextMatrix(int row, int col, const QString& text);
    QStringList rowTexts(int row) const;
    // Writes texts from column 0 on; texts beyond the last column are ignored, the remaining
    // cells keep their text.
    void setRowTexts(int row, const QStringList& texts);
    // Adds a row at the end (or before `before` when it is a valid row) and returns its number.
    int appendRow(const QStringList& texts = {});
    int insertRowAt(int before, const QStringList& texts = {});
    bool removeRowAt(int row);
    // Empties every cell, texts and formats; the shape and the column alignments stay.
    void clear();

    // Alignment codes (GridAlign) of the non-fixed cells of a column and of its fixed cells.
    int colAlignment(int col) const;
    void setColAlignment(int col, int code);
    int fixedAlignment(int col) const;
    void setFixedAlignment(int col, int code);

    // Cell formats. An invalid colour, a size <= 0 or clearCellFormat() restore the default.
    QColor cellForeColor(int row, int col) const;
    void setCellForeColor(int row, int col, const QColor& color);
    QColor cellBackColor(int row, int col) const;
    void setCellBackColor(int row, int col, const QColor& color);
    qreal cellFontSize(int row, int col) const;  // 0 when not set
    void setCellFontSize(int row, int col, qreal pointSize);
    bool cellFontBold(int row, int col) const;
    void setCellFontBold(int row, int col, bool bold);
    void clearCellFormat(int row, int col);
    // Back colour of every cell of a row (for example a totals row).
    void setRowBackColor(int row, const QColor& color);
    void setRowForeColor(int row, const QColor& color);

    // Shading of fixed cells, and the font that cell font sizes and bold modify.
    QColor fixedBackColor() const { return m_fixedBackColor; }
    void setFixedBackColor(const QColor& color);
    QFont baseFont() const { return m_baseFont; }
    void setBaseFont(const QFont& font);

    bool isFixedCell(int row, int col) const { return row < m_fixedRows || col < m_fixedCols; }

    // First row from `from` on whose cell in `col` equals `text`; -1 when none.
    int findRow(int col, const QString& text, int from = 1) const;
    // First data row whose cell in `idColumn` holds the number `id` (blanks ignored); -1 when
    // none. One pass over the rows.
    int findRowById(int idColumn, qint64 id) const;

    // Bulk changes: nestable; the outermost pair is one model reset.
    void beginBulk();
    void endBulk();
    bool inBulk() const { return m_bulkDepth > 0; }

    class BatchUpdate {
    public:
        explicit BatchUpdate(GridModel& model) : m_model(model) { m_model.beginBulk(); }
        ~BatchUpdate() { m_model.endBulk(); }
        BatchUpdate(const BatchUpdate&) = delete;
        BatchUpdate& operator=(const BatchUpdate&) = delete;

    private:
        GridModel& m_model;
    };

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    enum CellFlag : quint8 {
        HasFore = 0x01,
        HasBack = 0x02,
        HasSize = 0x04,
        HasBold = 0x08,
        Bold = 0x10,
    };
    struct Cell {
        QString text;
        QRgb fore = 0;
        QRgb back = 0;
        float fontSize = 0;
        quint8 flags = 0;
    };

    bool inRange(int row, int col) const { return row >= 0 && row < m_rows && col >= 0 && col < m_cols; }
    Cell& cell(int row, int col) { return m_cells[static_cast<size_t>(row) * m_cols + col]; }
    const Cell& cell(int row, int col) const { return m_cells[static_cast<size_t>(row) * m_cols + col]; }
    void cellChanged(int row, int col, const QList<int>& roles);
    // A cell's fore or back colour: the colour member and the flag that marks it set.
    QColor cellColor(int row, int col, QRgb Cell::*color, CellFlag flag) const;
    void setCellColor(int row, int col, const QColor& value, QRgb Cell::*color, CellFlag flag, int role);
    void rangeChanged(int firstRow, int lastRow, int firstCol, int lastCol, const QList<int>& roles);
    void fixedLayoutChanged(int oldFixedRows, int oldFixedCols);
    void resizeStorage(int rows, int cols);

    std::vector<Cell> m_cells;
    QList<int> m_colAlignment;
    QList<int> m_fixedAlignment;
    int m_rows = 0;
    int m_cols = 0;
    int m_fixedRows = 1;
    int m_fixedCols = 1;
    int m_bulkDepth = 0;
    QColor m_fixedBackColor;
    QFont m_baseFont;
};

}  // namespace quarvel
