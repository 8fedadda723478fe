#include "widgets/grid/FlexGrid.h"

#include "widgets/grid/GridMerges.h"
#include "widgets/grid/Twips.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace quarvel {

// The table inside the grid. It tells a click that ends a double click from a plain one, so
// that a double click gives exactly one clicked and one doubleClicked.
class GridTableView : public QTableView {
public:
    explicit GridTableView(QWidget* parent) : QTableView(parent)
    {
        connect(this, &QAbstractItemView::doubleClicked, this, [this] { m_doubleClicked = true; });
    }

    bool releasingDoubleClick() const { return m_releasing && m_doubleClicked; }
    // The width the texts of a column need (its shown rows, up to the header's precision).
    int contentWidth(int col) const { return sizeHintForColumn(col); }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        m_doubleClicked = false;
        QTableView::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        m_releasing = true;
        QTableView::mouseReleaseEvent(event);
        m_releasing = false;
        m_doubleClicked = false;
    }

private:
    bool m_doubleClicked = false;
    bool m_releasing = false;
};

FlexGrid::FlexGrid(QWidget* parent) : QWidget(parent), m_model(new GridModel(this)), m_view(new GridTableView(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);

    m_model->setBaseFont(font());
    m_model->setRows(2);
    m_model->setCols(2);
    m_colTwips = QList<int>(2, DefaultColWidthTwips);

    // While rows or columns come and go the view moves its current index by itself; the grid
    // keeps its own current cell and shows it again afterwards. These connections are made
    // before the view's, so that the flag is up before the view reacts.
    const auto structureChanging = [this] { m_structureChanging = true; };
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, structureChanging);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, structureChanging);
    connect(m_model, &QAbstractItemModel::columnsAboutToBeInserted, this, structureChanging);
    connect(m_model, &QAbstractItemModel::columnsAboutToBeRemoved, this, structureChanging);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, structureChanging);

    m_view->setObjectName(QStringLiteral("gridView"));
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSortingEnabled(false);
    m_view->setWordWrap(false);
    m_view->setCornerButtonEnabled(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setMinimumSectionSize(1);
    QHeaderView* header = m_view->horizontalHeader();
    header->setMinimumSectionSize(1);
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionMode(SelectionMode::ByRow);

    connect(m_model, &QAbstractItemModel::modelReset, this, &FlexGrid::onModelReset);
    connect(m_model, &GridModel::loadProgress, this, &FlexGrid::loadProgress);
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { onRowsInserted(first, last); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { onRowsRemoved(first, last); });
    connect(m_model, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex&, int first, int last) { onColumnsInserted(first, last); });
    connect(m_model, &QAbstractItemModel::columnsRemoved, this,
            [this](const QModelIndex&, int first, int last) { onColumnsRemoved(first, last); });
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) {
                    scheduleMerges();
                    contentChanged();
                } else if (roles.contains(Qt::FontRole)) {
                    contentChanged();
                }
            });

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { onViewCurrentChanged(current); });
    connect(m_view, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (!m_view->releasingDoubleClick())
            emit clicked(index.row(), index.column());
    });
    connect(m_view, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit doubleClicked(index.row(), index.column()); });
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) { emit headerClicked(section); });
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int newSize) {
        // Widths the user drags; widths set here are already stored.
        if (m_applyingSizes || m_model->inBulk() || section < 0 || section >= m_colTwips.size() || newSize <= 0)
            return;
        m_colTwips[section] = pixelsToTwips(newSize, this);
        if (m_stretchCol >= 0 && QGuiApplication::mouseButtons() != Qt::NoButton) {
            m_userSized.insert(section);
            scheduleFit();
        }
    });
    m_view->viewport()->installEventFilter(this);
    connect(this, &QObject::objectNameChanged, this, [this](const QString& name) { m_view->setAccessibleName(name); });

    applyAllSizes();
    applyHeaderRow();
    syncCurrentToView();
}

FlexGrid::~FlexGrid() = default;

QTableView* FlexGrid::view() const { return m_view; }

// ---- format string ----

int FlexGrid::formatWidthTwips(const QString& header) const
{
    const QFontMetrics metrics(m_view->font());
    const int pixels = displayColumns(header) * metrics.averageCharWidth() + 2 * CellPaddingPixels;
    return pixelsToTwips(pixels, this);
}

void FlexGrid::setFormatString(const QString& format)
{
    m_formatString = format;
    m_userSized.clear();
    const QList<FormatColumn> columns = parseFormatString(format);
    if (m_model->rows() < 1)
        m_model->setRows(1);
    m_model->setCols(static_cast<int>(columns.size()));
    for (int c = 0; c < columns.size(); ++c) {
        const FormatColumn& column = columns.at(c);
        m_model->setTextMatrix(0, c, column.header);
        m_model->setColAlignment(c, column.alignment);
        m_model->setFixedAlignment(c, column.alignment);
        setColWidth(c, formatWidthTwips(column.header));
    }
}

// ---- shape and texts ----

void FlexGrid::setFixedRows(int rows)
{
    m_model->setFixedRows(rows);
    applyHeaderRow();
}

QString FlexGrid::text() const { return m_model->textMatrix(m_row, m_col); }

void FlexGrid::setText(const QString& text) { m_model->setTextMatrix(m_row, m_col, text); }

int FlexGrid::addItem(const QString& text, int before)
{
    const QStringList parts = text.split(QLatin1Char('\t'));
    if (before < 0 || before > m_model->rows())
        return m_model->appendRow(parts);
    return m_model->insertRowAt(before, parts);
}

void FlexGrid::removeItem(int row) { m_model->removeRowAt(row); }

// ---- sizes ----

int FlexGrid::colWidth(int col) const { return col >= 0 && col < m_colTwips.size() ? m_colTwips.at(col) : 0; }

void FlexGrid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= m_colTwips.size())
        return;
    m_colTwips[col] = std::max(twips, 0);
    applyColWidth(col);
}

void FlexGrid::applyColWidth(int col)
{
    if (m_model->inBulk() || col >= m_model->cols())
        return;
    m_applyingSizes = true;
    const int twips = m_colTwips.at(col);
    if (twips <= 0) {
        m_view->setColumnHidden(col, true);
    } else {
        m_view->setColumnHidden(col, false);
        int pixels = std::max(twipsToPixels(twips, this), 1);
        // The row-number column grows to show its largest number whole, the number of the last
        // row still to arrive included.
        const int rows = m_model->rows();
        if (rows > 1 && m_model->textMatrix(0, col).trimmed() == QStringLiteral("序")) {
            QString largest = m_model->textMatrix(rows - 1, col);
            if (m_model->loading())
                largest = QString(QString::number(std::max(m_model->expectedRows(), 1)).size(), u'0');
            const int needed = m_view->fontMetrics().horizontalAdvance(largest)
                               + 2 * m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 8;
            pixels = std::max(pixels, needed);
        }
        m_view->setColumnWidth(col, pixels);
    }
    m_applyingSizes = false;
    scheduleFit();
}

int FlexGrid::rowHeight(int row) const
{
    if (row < 0 || row >= m_model->rows())
        return 0;
    const auto it = m_rowTwips.constFind(row);
    if (it != m_rowTwips.constEnd())
        return it.value();
    const int pixels = row == 0 ? m_view->horizontalHeader()->sizeHint().height()
                                : m_view->verticalHeader()->defaultSectionSize();
    return pixelsToTwips(pixels, this, Qt::Vertical);
}

void FlexGrid::setRowHeight(int row, int twips)
{
    if (row < 0 || row >= m_model->rows())
        return;
    m_rowTwips.insert(row, std::max(twips, 0));
    applyAllSizes();
}

void FlexGrid::applyAllSizes()
{
    if (m_model->inBulk())
        return;
    for (int c = 0; c < m_colTwips.size(); ++c)
        applyColWidth(c);
    m_applyingSizes = true;
    QHeaderView* header = m_view->horizontalHeader();
    const auto headerHeight = m_rowTwips.constFind(0);
    if (headerHeight != m_rowTwips.constEnd())
        header->setFixedHeight(twipsToPixels(headerHeight.value(), this, Qt::Vertical));
    for (auto it = m_rowTwips.constBegin(); it != m_rowTwips.constEnd(); ++it) {
        const int r = it.key();
        if (r == 0 || r >= m_model->rows())
            continue;
        if (it.value() <= 0) {
            m_view->setRowHidden(r, true);
        } else {
            m_view->setRowHidden(r, false);
            m_view->setRowHeight(r, twipsToPixels(it.value(), this, Qt::Vertical));
        }
    }
    m_applyingSizes = false;
}

// ---- fitting the columns to the view ----

void FlexGrid::setStretchCol(int col)
{
    m_stretchCol = col;
    m_userSized.clear();
    if (col < 0)
        applyAllSizes();
    else
        fitColumns();
}

void FlexGrid::contentChanged()
{
    m_contentWidths.clear();
    scheduleFit();
}

void FlexGrid::scheduleFit()
{
    if (m_fitPending || m_stretchCol < 0)
        return;
    m_fitPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_fitPending)
                fitColumns();
        },
        Qt::QueuedConnection);
}

int FlexGrid::headerTextWidth(int col) const
{
    const QHeaderView* header = m_view->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    return header->fontMetrics().horizontalAdvance(m_model->textMatrix(0, col).trimmed()) + 2 * margin
           + 2 * CellPaddingPixels;
}

namespace {

struct ColumnFit {
    int col;
    int least;  // what it keeps when the columns give way: its header
    int width;
    bool cut;  // its texts are wider than it is anyway
};

// Takes `over` pixels off the columns that `takes` chooses, each in proportion to what it has
// beyond its header; returns what could not be taken.
template <typename Takes>
int giveWay(std::vector<ColumnFit>& fits, int over, Takes takes)
{
    long long slack = 0;
    for (const ColumnFit& f : fits)
        slack += takes(f) ? f.width - f.least : 0;
    const long long taken = std::min<long long>(over, slack);
    if (taken <= 0)
        return over;
    long long given = 0;
    for (ColumnFit& f : fits) {
        if (!takes(f))
            continue;
        const long long share = (f.width - f.least) * taken / slack;
        f.width -= static_cast<int>(share);
        given += share;
    }
    // What the rounding left goes off the column with the most to give.
    for (ColumnFit& f : fits) {
        if (given >= taken)
            break;
        const long long more = std::min<long long>(taken - given, takes(f) ? f.width - f.least : 0);
        f.width -= static_cast<int>(more);
        given += more;
    }
    return over - static_cast<int>(given);
}

}  // namespace

void FlexGrid::fitColumns()
{
    m_fitPending = false;
    const int available = m_view->viewport()->width();
    if (m_stretchCol < 0 || m_model->inBulk() || available <= 0)
        return;
    std::vector<ColumnFit> fits;
    int total = 0;
    int stretch = -1;  // its place in fits
    for (int c = 0; c < m_model->cols() && c < m_colTwips.size(); ++c) {
        if (m_colTwips.at(c) <= 0)
            continue;  // hidden
        const int nominal = std::max(twipsToPixels(m_colTwips.at(c), this), 1);
        if (m_userSized.contains(c)) {
            fits.push_back({c, nominal, nominal, false});
        } else {
            const int header = headerTextWidth(c);
            // What the texts need is measured once per change of the texts, not at every
            // change of the view's width.
            if (m_contentWidths.size() != m_model->cols())
                m_contentWidths = QList<int>(m_model->cols(), -1);
            if (m_contentWidths.at(c) < 0)
                m_contentWidths[c] = m_view->contentWidth(c);
            const int content = std::max(m_contentWidths.at(c), header);
            // The stretching column wants its texts whole (up to half the view), the others up
            // to their nominal width or a fifth of the view.
            const int limit = c == m_stretchCol ? available / 2 : std::max(nominal, available / 5);
            const int width = std::max(header, std::min(content, limit));
            fits.push_back({c, header, width, content > width});
            if (c == m_stretchCol)
                stretch = static_cast<int>(fits.size()) - 1;
        }
        total += fits.back().width;
    }
    if (total < available && stretch >= 0) {
        fits[static_cast<size_t>(stretch)].width += available - total;
    } else if (total > available) {
        // Columns that show their texts cut anyway give way first, then every column.
        const int over = giveWay(fits, total - available, [](const ColumnFit& f) { return f.cut; });
        giveWay(fits, over, [](const ColumnFit&) { return true; });
    }
    m_applyingSizes = true;
    for (const ColumnFit& f : fits)
        m_view->setColumnWidth(f.col, std::max(f.width, 1));
    m_applyingSizes = false;
}

bool FlexGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Resize && m_stretchCol >= 0)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}

// Row 0 is the view's column header while the grid has a fixed row; without fixed rows it is
// an ordinary row and the header is hidden.
void FlexGrid::applyHeaderRow()
{
    if (m_model->inBulk())
        return;
    const bool asHeader = m_model->fixedRows() > 0;
    if (m_model->rows() > 0)
        m_view->setRowHidden(0, asHeader);
    m_view->horizontalHeader()->setVisible(asHeader);
}

// ---- current cell and selection ----

void FlexGrid::setRow(int row) { setCurrentCell(row, m_col); }

void FlexGrid::setCol(int col) { setCurrentCell(m_row, col); }

void FlexGrid::setCurrentCell(int row, int col) { moveCurrent(row, col, true); }

void FlexGrid::moveCurrent(int row, int col, bool syncView)
{
    row = std::clamp(row, 0, std::max(m_model->rows() - 1, 0));
    col = std::clamp(col, 0, std::max(m_model->cols() - 1, 0));
    const bool changed = row != m_row || col != m_col;
    m_row = row;
    m_col = col;
    m_rowSel = row;
    m_colSel = col;
    if (syncView)
        syncCurrentToView();
    if (changed)
        emit currentCellChanged(m_row, m_col);
}

void FlexGrid::clampCurrent()
{
    moveCurrent(m_row, m_col, false);
    m_rowSel = std::clamp(m_rowSel, 0, std::max(m_model->rows() - 1, 0));
    m_colSel = std::clamp(m_colSel, 0, std::max(m_model->cols() - 1, 0));
}

void FlexGrid::setRowSel(int row)
{
    m_rowSel = std::clamp(row, 0, std::max(m_model->rows() - 1, 0));
    syncCurrentToView();
}

void FlexGrid::setColSel(int col)
{
    m_colSel = std::clamp(col, 0, std::max(m_model->cols() - 1, 0));
    syncCurrentToView();
}

void FlexGrid::selectWholeRow(int row)
{
    moveCurrent(row, 0, false);
    m_colSel = std::max(m_model->cols() - 1, 0);
    syncCurrentToView();
}

void FlexGrid::setSelectionMode(SelectionMode mode)
{
    m_selectionMode = mode;
    switch (mode) {
    case SelectionMode::Free:
        m_view->setSelectionBehavior(QAbstractItemView::SelectItems);
        m_view->setSelectionMode(QAbstractItemView::ContiguousSelection);
        break;
    case SelectionMode::ByRow:
        m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_view->setSelectionMode(QAbstractItemView::SingleSelection);
        break;
    case SelectionMode::ByColumn:
        m_view->setSelectionBehavior(QAbstractItemView::SelectColumns);
        m_view->setSelectionMode(QAbstractItemView::SingleSelection);
        break;
    }
    syncCurrentToView();
}

// Shows the current cell and the block from it to (rowSel, colSel) in the view, without
// scrolling.
void FlexGrid::syncCurrentToView()
{
    if (m_model->inBulk() || m_model->rows() == 0 || m_model->cols() == 0)
        return;
    QItemSelectionModel* selection = m_view->selectionModel();
    const QModelIndex current = m_model->index(m_row, m_col);
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (m_selectionMode == SelectionMode::ByRow)
        flags |= QItemSelectionModel::Rows;
    else if (m_selectionMode == SelectionMode::ByColumn)
        flags |= QItemSelectionModel::Columns;
    m_syncing = true;
    const bool autoScroll = m_view->hasAutoScroll();
    m_view->setAutoScroll(false);
    selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    const QModelIndex corner = m_model->index(m_rowSel, m_colSel);
    selection->select(QItemSelection(current, corner), flags);
    m_view->setAutoScroll(autoScroll);
    m_syncing = false;
}

void FlexGrid::onViewCurrentChanged(const QModelIndex& current)
{
    if (m_syncing || m_structureChanging || !current.isValid() || m_model->inBulk())
        return;
    moveCurrent(current.row(), current.column(), false);
}

// ---- merged cells ----

void FlexGrid::setMergeCells(MergeMode mode)
{
    m_mergeMode = mode;
    scheduleMerges();
}

void FlexGrid::setMergeCol(int col, bool merge)
{
    if (merge)
        m_mergeCols.insert(col);
    else
        m_mergeCols.remove(col);
    scheduleMerges();
}

void FlexGrid::setMergeRow(int row, bool merge)
{
    if (merge)
        m_mergeRows.insert(row);
    else
        m_mergeRows.remove(row);
    scheduleMerges();
}

bool FlexGrid::mergingActive() const
{
    return m_mergeMode != MergeMode::Never && (!m_mergeCols.isEmpty() || !m_mergeRows.isEmpty());
}

void FlexGrid::scheduleMerges()
{
    if (m_mergePending || (!mergingActive() && !m_hasSpans))
        return;
    m_mergePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_mergePending)
                updateMerges();
        },
        Qt::QueuedConnection);
}

void FlexGrid::updateMerges()
{
    m_mergePending = false;
    if (m_model->inBulk())
        return;
    if (m_hasSpans) {
        m_view->clearSpans();
        m_hasSpans = false;
    }
    if (!mergingActive())
        return;
    MergeLayout layout;
    layout.rows = m_model->rows();
    layout.cols = m_model->cols();
    switch (m_mergeMode) {
    case MergeMode::RestrictRows: layout.rule = MergeRule::RestrictRows; break;
    case MergeMode::RestrictColumns: layout.rule = MergeRule::RestrictColumns; break;
    case MergeMode::FixedOnly: layout.rule = MergeRule::FixedOnly; break;
    default: layout.rule = MergeRule::Free; break;
    }
    layout.mergeCols = m_mergeCols;
    layout.mergeRows = m_mergeRows;
    layout.text = [this](int r, int c) { return m_model->textMatrix(r, c); };
    layout.isFixed = [this](int r, int c) { return m_model->isFixedCell(r, c); };
    for (const CellSpan& span : mergeSpans(layout)) {
        m_view->setSpan(span.row, span.col, span.rowCount, span.colCount);
        m_hasSpans = true;
    }
}

int FlexGrid::rowSpan(int row, int col) const { return m_view->rowSpan(row, col); }

int FlexGrid::columnSpan(int row, int col) const { return m_view->columnSpan(row, col); }

// ---- scrolling and geometry ----

int FlexGrid::visibleColumnFor(int col) const
{
    if (col >= 0 && col < m_model->cols() && !m_view->isColumnHidden(col))
        return col;
    for (int c = 0; c < m_model->cols(); ++c)
        if (!m_view->isColumnHidden(c))
            return c;
    return 0;
}

int FlexGrid::topRow() const
{
    const int row = m_view->rowAt(0);
    if (row >= 0)
        return row;
    return std::min(m_model->fixedRows(), std::max(m_model->rows() - 1, 0));
}

void FlexGrid::setTopRow(int row)
{
    if (m_model->inBulk() || row < 0 || row >= m_model->rows() || m_model->cols() == 0)
        return;
    m_view->scrollTo(m_model->index(row, visibleColumnFor(m_col)), QAbstractItemView::PositionAtTop);
}

void FlexGrid::ensureRowVisible(int row)
{
    if (m_model->inBulk() || row < 0 || row >= m_model->rows() || m_model->cols() == 0)
        return;
    m_view->scrollTo(m_model->index(row, visibleColumnFor(m_col)), QAbstractItemView::EnsureVisible);
}

QRect FlexGrid::cellRect(int row, int col) const
{
    if (m_model->inBulk() || row < 0 || row >= m_model->rows() || col < 0 || col >= m_model->cols())
        return QRect();
    if (row == 0 && m_model->fixedRows() > 0) {
        const QHeaderView* header = m_view->horizontalHeader();
        if (header->isHidden())
            return QRect();
        const QRect section(header->sectionViewportPosition(col), 0, header->sectionSize(col), header->height());
        return section.translated(header->viewport()->mapTo(this, QPoint(0, 0)));
    }
    const QRect rect = m_view->visualRect(m_model->index(row, col));
    if (!rect.isValid())
        return QRect();
    return rect.translated(m_view->viewport()->mapTo(this, QPoint(0, 0)));
}

// ---- bulk changes ----

void FlexGrid::setRedraw(bool redraw)
{
    if (redraw == !m_redrawOff)
        return;
    m_redrawOff = !redraw;
    if (m_redrawOff)
        m_model->beginBulk();
    else
        m_model->endBulk();
}

// ---- model signals ----

void FlexGrid::onModelReset()
{
    m_structureChanging = false;
    const int cols = m_model->cols();
    if (m_colTwips.size() != cols)
        m_colTwips.resize(cols, DefaultColWidthTwips);
    for (auto it = m_rowTwips.begin(); it != m_rowTwips.end();) {
        if (it.key() >= m_model->rows())
            it = m_rowTwips.erase(it);
        else
            ++it;
    }
    m_hasSpans = false;  // the view dropped them with the reset
    applyAllSizes();
    applyHeaderRow();
    clampCurrent();
    syncCurrentToView();
    scheduleMerges();
    contentChanged();
}

void FlexGrid::onRowsInserted(int first, int last)
{
    m_structureChanging = false;
    if (first == 0)
        applyHeaderRow();
    if (!m_rowTwips.isEmpty()) {
        // Heights of their own move with their rows.
        QHash<int, int> moved;
        const int count = last - first + 1;
        for (auto it = m_rowTwips.constBegin(); it != m_rowTwips.constEnd(); ++it)
            moved.insert(it.key() >= first && it.key() != 0 ? it.key() + count : it.key(), it.value());
        m_rowTwips = moved;
    }
    if (first <= m_row)
        syncCurrentToView();
    scheduleMerges();
    // The texts' widths are measured on the rows about the shown ones (the view's precision);
    // rows a long list appends far below them leave the widths as they are.
    const int shownLast = m_view->rowAt(m_view->viewport()->height());
    if (shownLast < 0 || first <= shownLast + m_view->verticalHeader()->resizeContentsPrecision())
        contentChanged();
}

void FlexGrid::onRowsRemoved(int first, int last)
{
    m_structureChanging = false;
    if (!m_rowTwips.isEmpty()) {
        QHash<int, int> kept;
        const int count = last - first + 1;
        for (auto it = m_rowTwips.constBegin(); it != m_rowTwips.constEnd(); ++it) {
            if (it.key() < first || it.key() == 0)
                kept.insert(it.key(), it.value());
            else if (it.key() > last)
                kept.insert(it.key() - count, it.value());
        }
        m_rowTwips = kept;
    }
    if (first == 0)
        applyHeaderRow();
    clampCurrent();
    if (first <= m_row)
        syncCurrentToView();
    scheduleMerges();
    contentChanged();
}

void FlexGrid::onColumnsInserted(int first, int last)
{
    m_structureChanging = false;
    for (int c = first; c <= last; ++c)
        m_colTwips.insert(c, DefaultColWidthTwips);
    for (int c = first; c < m_colTwips.size(); ++c)
        applyColWidth(c);
    scheduleMerges();
}

void FlexGrid::onColumnsRemoved(int first, int last)
{
    m_structureChanging = false;
    m_colTwips.remove(first, last - first + 1);
    m_userSized.clear();
    clampCurrent();
    syncCurrentToView();
    scheduleMerges();
}

void FlexGrid::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        m_model->setBaseFont(font());
        contentChanged();
    }
    QWidget::changeEvent(event);
}

}  // namespace quarvel
