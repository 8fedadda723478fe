#pragma once

#include "widgets/grid/GridFormat.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QList>
#include <QStringList>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace quarvel {

// The cells of a grid: rows x cols texts, each with an optional fore and back colour, font
// size and bold flag, and an alignment code per column.
//
// Row and column numbers are those of the grid: row 0 is the header row, data rows start at
// 1, and model index (r, c) is grid cell (r, c). The first fixedRows() rows and fixedCols()
// columns are fixed cells: they take the fixed alignment of their column and are shaded.
//
// Storage is by column, compact for long lists: the texts of a column lie in one pool of UTF-16
// units and each cell holds where its text starts and how long it is (a text repeated in the
// column, as "查阅" row after row, is kept once); formats take room only in the columns that
// have them. Single changes send the fine-grained signals; between beginBulk() and endBulk()
// (or during a BatchUpdate) nothing is signalled and the outermost endBulk() ends one model
// reset: fill large grids that way.
//
// Long lists may also arrive in steps (setRowSource): the model shows the rows it has, takes
// the next step when the view scrolls to its end (canFetchMore/fetchMore) and the rest in
// steps of a few milliseconds while the event loop is idle, so that the window never stops
// answering. fetchAll() completes the list at once, for work that needs every row.
//
// A text may hold marked runs (MarkedText.h): textMatrix() and MarkedTextRole give it with its
// marks, the display and edit roles without them.
//
// Out-of-range cells read as empty and ignore writes.
class GridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Extra roles for item delegates and tests.
    enum Role {
        AlignmentCodeRole = Qt::UserRole + 1,  // int, the code that applies to the cell
        FixedCellRole,                         // bool
        MarkedTextRole,                        // QString, the text with its marks (MarkedText.h)
    };

    explicit GridModel(QObject* parent = nullptr);

    // Shape. Growing adds empty cells; shrinking drops the last rows or columns.
    int rows() const { return m_stored; }
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
    // none. One pass over the rows held (FlexGrid's look-ups complete a list in steps first).
    int findRowById(int idColumn, qint64 id) const;

    // Rows in steps. `source(n)` appends up to n rows (appendRow and the format setters, as a
    // fill does; nothing is signalled meanwhile) and returns whether more remain. The first
    // step is taken at once; `expectedRows` is how many data rows the source announces (-1
    // when unknown); `firstStepRows` how many the first step takes (rows that cost more to make
    // than a list row take fewer). setRows(), setCols(), clear() and a new source drop the source.
    using RowSource = std::function<bool(int maxRows)>;
    void setRowSource(RowSource source, int expectedRows = -1, int firstStepRows = kFirstStepRows);
    bool loading() const { return static_cast<bool>(m_source); }
    // Data rows the list will hold: the source's announcement while loading, then the rows.
    int expectedRows() const;
    // Data rows held (those below the fixed rows).
    int loadedRows() const { return std::max(m_stored - m_fixedRows, 0); }
    // Takes every remaining step now.
    void fetchAll();
    // Takes one step of up to `maxRows` rows; false when no source is left.
    bool fetchStep(int maxRows);
    // Rows of the first step and of a step the view asks for; time of an idle step.
    static constexpr int kFirstStepRows = 200;
    static constexpr int kStepRows = 1000;
    static constexpr int kIdleStepMs = 15;

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
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

protected:
    bool event(QEvent* event) override;

signals:
    // After each step and when the source is set: the data rows held and expectedRows().
    void loadProgress(int loaded, int expected);
    // The last step was taken (or the source dropped): every row is there.
    void loadingFinished();

private:
    enum CellFlag : quint8 {
        HasFore = 0x01,
        HasBack = 0x02,
        HasSize = 0x04,
        HasBold = 0x08,
        Bold = 0x10,
    };
    // Formats of one cell.
    struct CellFormat {
        QRgb fore = 0;
        QRgb back = 0;
        float fontSize = 0;
        quint8 flags = 0;
    };
    // Where a cell's text lies in its column's pool.
    struct TextSpan {
        quint32 offset = 0;
        quint32 length = 0;
    };
    // One column's cells.
    struct ColumnStore {
        std::vector<char16_t> pool;
        std::vector<TextSpan> spans;                       // one per stored row
        std::unique_ptr<std::vector<CellFormat>> formats;  // none until a cell has one
        qsizetype garbage = 0;                             // pool units no cell may read
        // Texts written last, so that a text repeated in the column is stored once.
        std::array<TextSpan, 8> recent{};
        quint8 nextRecent = 0;
    };

    bool inRange(int row, int col) const { return row >= 0 && row < m_stored && col >= 0 && col < m_cols; }
    bool quiet() const { return m_bulkDepth > 0 || m_staging; }
    QStringView textView(int row, int col) const;
    void storeText(int row, int col, QStringView text);
    static TextSpan appendText(ColumnStore& column, QStringView text);
    static void compact(ColumnStore& column);
    const CellFormat* formatAt(int row, int col) const;
    CellFormat& formatFor(int row, int col);
    void cellChanged(int row, int col, const QList<int>& roles);
    // A cell's fore or back colour: the colour member and the flag that marks it set.
    QColor cellColor(int row, int col, QRgb CellFormat::*color, CellFlag flag) const;
    void setCellColor(int row, int col, const QColor& value, QRgb CellFormat::*color, CellFlag flag, int role);
    void rangeChanged(int firstRow, int lastRow, int firstCol, int lastCol, const QList<int>& roles);
    void fixedLayoutChanged(int oldFixedRows, int oldFixedCols);
    void resizeStorage(int rows, int cols);
    void insertStoredRows(int before, int count);
    void dropSource();
    bool takeStep(int maxRows, int budgetMs);
    void scheduleIdleStep();

    std::vector<ColumnStore> m_columns;
    QList<int> m_colAlignment;
    QList<int> m_fixedAlignment;
    int m_rows = 0;    // rows the views know of
    int m_stored = 0;  // rows held: more than m_rows only while a step appends
    int m_cols = 0;
    int m_fixedRows = 1;
    int m_fixedCols = 1;
    int m_bulkDepth = 0;
    QColor m_fixedBackColor;
    QFont m_baseFont;
    RowSource m_source;
    int m_expectedRows = -1;
    bool m_staging = false;  // a step appends
    bool m_inStep = false;   // a step appends or announces its rows
    bool m_idleStepPending = false;
};

}  // namespace quarvel
