#include "widgets/grid/GridModel.h"

#include "widgets/grid/MarkedText.h"

#include <QBrush>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScopedValueRollback>

#include <algorithm>
#include <cstring>
#include <limits>

namespace quarvel {

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent)
{
    m_fixedBackColor = qGuiApp ? QGuiApplication::palette().color(QPalette::Button) : QColor(240, 240, 240);
}

// ---- storage ----

QStringView GridModel::textView(int row, int col) const
{
    const ColumnStore& column = m_columns[static_cast<size_t>(col)];
    const TextSpan span = column.spans[static_cast<size_t>(row)];
    if (span.length == 0)
        return {};
    return QStringView(column.pool.data() + span.offset, static_cast<qsizetype>(span.length));
}

GridModel::TextSpan GridModel::appendText(ColumnStore& column, QStringView text)
{
    if (text.isEmpty())
        return {};
    const auto length = static_cast<quint32>(text.size());
    for (const TextSpan& known : column.recent) {
        if (known.length == length
            && std::memcmp(column.pool.data() + known.offset, text.utf16(), length * sizeof(char16_t)) == 0)
            return known;
    }
    const TextSpan span{static_cast<quint32>(column.pool.size()), length};
    column.pool.insert(column.pool.end(), text.utf16(), text.utf16() + length);
    column.recent[column.nextRecent] = span;
    column.nextRecent = static_cast<quint8>((column.nextRecent + 1) % column.recent.size());
    return span;
}

// Copies the texts that cells still read into a fresh pool.
void GridModel::compact(ColumnStore& column)
{
    ColumnStore fresh;
    fresh.pool.reserve(column.pool.size() - std::min<size_t>(column.pool.size(), size_t(column.garbage)));
    for (TextSpan& span : column.spans) {
        if (span.length == 0)
            continue;
        span = appendText(fresh, QStringView(column.pool.data() + span.offset, qsizetype(span.length)));
    }
    column.pool = std::move(fresh.pool);
    column.pool.shrink_to_fit();
    column.recent = fresh.recent;
    column.nextRecent = fresh.nextRecent;
    column.garbage = 0;
}

void GridModel::storeText(int row, int col, QStringView text)
{
    ColumnStore& column = m_columns[static_cast<size_t>(col)];
    TextSpan& span = column.spans[static_cast<size_t>(row)];
    column.garbage += span.length;
    span = appendText(column, text);
    // Rewritten texts leave their old units behind; once they are half the pool it is copied.
    if (column.garbage > 4096 && column.garbage * 2 > qsizetype(column.pool.size()))
        compact(column);
}

const GridModel::CellFormat* GridModel::formatAt(int row, int col) const
{
    const ColumnStore& column = m_columns[static_cast<size_t>(col)];
    return column.formats ? &(*column.formats)[static_cast<size_t>(row)] : nullptr;
}

GridModel::CellFormat& GridModel::formatFor(int row, int col)
{
    ColumnStore& column = m_columns[static_cast<size_t>(col)];
    if (!column.formats)
        column.formats = std::make_unique<std::vector<CellFormat>>(column.spans.size());
    return (*column.formats)[static_cast<size_t>(row)];
}

void GridModel::insertStoredRows(int before, int count)
{
    for (ColumnStore& column : m_columns) {
        column.spans.insert(column.spans.begin() + before, static_cast<size_t>(count), TextSpan());
        if (column.formats)
            column.formats->insert(column.formats->begin() + before, static_cast<size_t>(count), CellFormat());
    }
    m_stored += count;
}

// ---- shape ----

void GridModel::resizeStorage(int rows, int cols)
{
    if (cols != m_cols) {
        m_columns.resize(static_cast<size_t>(cols));
        m_colAlignment.resize(cols, GridAlign::General);
        m_fixedAlignment.resize(cols, GridAlign::General);
    }
    for (ColumnStore& column : m_columns) {
        for (size_t r = static_cast<size_t>(rows); r < column.spans.size(); ++r)
            column.garbage += column.spans[r].length;
        column.spans.resize(static_cast<size_t>(rows));
        if (column.formats)
            column.formats->resize(static_cast<size_t>(rows));
        // A list refilled with few rows gives back what a long one took.
        if (column.spans.capacity() > 4096 && column.spans.size() < column.spans.capacity() / 4) {
            column.spans.shrink_to_fit();
            if (column.formats)
                column.formats->shrink_to_fit();
        }
        if (column.garbage > 0 && column.garbage * 2 > qsizetype(column.pool.size()))
            compact(column);
    }
    m_stored = rows;
    if (!m_staging)
        m_rows = rows;
    m_cols = cols;
}

void GridModel::setRows(int rows)
{
    dropSource();
    rows = std::max(rows, 0);
    if (rows == m_stored)
        return;
    if (inBulk()) {
        resizeStorage(rows, m_cols);
        return;
    }
    const int oldRows = m_stored;
    if (rows > oldRows) {
        beginInsertRows(QModelIndex(), oldRows, rows - 1);
        resizeStorage(rows, m_cols);
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), rows, oldRows - 1);
        resizeStorage(rows, m_cols);
        endRemoveRows();
    }
    if ((oldRows == 0 || rows == 0) && m_cols > 0)
        emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
}

void GridModel::setCols(int cols)
{
    dropSource();
    cols = std::max(cols, 0);
    if (cols == m_cols)
        return;
    if (inBulk()) {
        resizeStorage(m_stored, cols);
        return;
    }
    if (cols > m_cols) {
        beginInsertColumns(QModelIndex(), m_cols, cols - 1);
        resizeStorage(m_stored, cols);
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), cols, m_cols - 1);
        resizeStorage(m_stored, cols);
        endRemoveColumns();
    }
}

void GridModel::setFixedRows(int rows)
{
    rows = std::max(rows, 0);
    if (rows == m_fixedRows)
        return;
    const int old = m_fixedRows;
    m_fixedRows = rows;
    fixedLayoutChanged(old, m_fixedCols);
}

void GridModel::setFixedCols(int cols)
{
    cols = std::max(cols, 0);
    if (cols == m_fixedCols)
        return;
    const int old = m_fixedCols;
    m_fixedCols = cols;
    fixedLayoutChanged(m_fixedRows, old);
}

void GridModel::fixedLayoutChanged(int oldFixedRows, int oldFixedCols)
{
    if (inBulk() || m_rows == 0 || m_cols == 0)
        return;
    const QList<int> roles{Qt::BackgroundRole, Qt::TextAlignmentRole, AlignmentCodeRole, FixedCellRole};
    if (oldFixedRows != m_fixedRows) {
        const int last = std::min(std::max(oldFixedRows, m_fixedRows), m_rows) - 1;
        if (last >= 0)
            rangeChanged(0, last, 0, m_cols - 1, roles);
    }
    if (oldFixedCols != m_fixedCols) {
        const int last = std::min(std::max(oldFixedCols, m_fixedCols), m_cols) - 1;
        if (last >= 0)
            rangeChanged(0, m_rows - 1, 0, last, roles);
    }
}

// ---- texts ----

QString GridModel::textMatrix(int row, int col) const
{
    return inRange(row, col) ? textView(row, col).toString() : QString();
}

bool GridModel::setTextMatrix(int row, int col, const QString& text)
{
    if (!inRange(row, col))
        return false;
    if (textView(row, col) == text)
        return true;
    storeText(row, col, text);
    cellChanged(row, col, {Qt::DisplayRole, Qt::EditRole, Qt::TextAlignmentRole});
    return true;
}

QStringList GridModel::rowTexts(int row) const
{
    QStringList texts;
    if (row < 0 || row >= m_stored)
        return texts;
    texts.reserve(m_cols);
    for (int c = 0; c < m_cols; ++c)
        texts.append(textView(row, c).toString());
    return texts;
}

void GridModel::setRowTexts(int row, const QStringList& texts)
{
    if (row < 0 || row >= m_stored)
        return;
    const int count = std::min<int>(static_cast<int>(texts.size()), m_cols);
    for (int c = 0; c < count; ++c)
        storeText(row, c, texts.at(c));
    if (count > 0) {
        rangeChanged(row, row, 0, count - 1, {Qt::DisplayRole, Qt::EditRole, Qt::TextAlignmentRole});
    }
}

int GridModel::appendRow(const QStringList& texts) { return insertRowAt(m_stored, texts); }

int GridModel::insertRowAt(int before, const QStringList& texts)
{
    // A step appends below the rows the views know of.
    if (before < 0 || before > m_stored || m_staging)
        before = m_stored;
    const bool signal = !quiet();
    if (signal)
        beginInsertRows(QModelIndex(), before, before);
    insertStoredRows(before, 1);
    if (!m_staging)
        m_rows = m_stored;
    const int count = std::min<int>(static_cast<int>(texts.size()), m_cols);
    for (int c = 0; c < count; ++c)
        storeText(before, c, texts.at(c));
    if (signal) {
        endInsertRows();
        if (before == 0 && m_cols > 0)
            emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
    }
    return before;
}

bool GridModel::removeRowAt(int row)
{
    if (row < 0 || row >= m_stored || m_staging)
        return false;
    const bool signal = !quiet();
    if (signal)
        beginRemoveRows(QModelIndex(), row, row);
    for (ColumnStore& column : m_columns) {
        column.garbage += column.spans[static_cast<size_t>(row)].length;
        column.spans.erase(column.spans.begin() + row);
        if (column.formats)
            column.formats->erase(column.formats->begin() + row);
    }
    --m_stored;
    m_rows = m_stored;
    if (signal) {
        endRemoveRows();
        if (row == 0 && m_cols > 0)
            emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
    }
    return true;
}

void GridModel::clear()
{
    dropSource();
    for (ColumnStore& column : m_columns) {
        column.pool.clear();
        column.pool.shrink_to_fit();
        std::fill(column.spans.begin(), column.spans.end(), TextSpan());
        column.formats.reset();
        column.garbage = 0;
        column.recent = {};
        column.nextRecent = 0;
    }
    if (!quiet() && m_rows > 0 && m_cols > 0) {
        emit dataChanged(index(0, 0), index(m_rows - 1, m_cols - 1));
        emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
    }
}

// ---- alignment ----

int GridModel::colAlignment(int col) const
{
    return col >= 0 && col < m_cols ? m_colAlignment.at(col) : GridAlign::General;
}

void GridModel::setColAlignment(int col, int code)
{
    if (col < 0 || col >= m_cols || !isValidAlignmentCode(code) || m_colAlignment.at(col) == code)
        return;
    m_colAlignment[col] = code;
    if (m_rows > 0)
        rangeChanged(0, m_rows - 1, col, col, {Qt::TextAlignmentRole, AlignmentCodeRole});
}

int GridModel::fixedAlignment(int col) const
{
    return col >= 0 && col < m_cols ? m_fixedAlignment.at(col) : GridAlign::General;
}

void GridModel::setFixedAlignment(int col, int code)
{
    if (col < 0 || col >= m_cols || !isValidAlignmentCode(code) || m_fixedAlignment.at(col) == code)
        return;
    m_fixedAlignment[col] = code;
    if (m_rows > 0)
        rangeChanged(0, m_rows - 1, col, col, {Qt::TextAlignmentRole, AlignmentCodeRole});
}

// ---- cell formats ----

QColor GridModel::cellColor(int row, int col, QRgb CellFormat::*color, CellFlag flag) const
{
    const CellFormat* format = inRange(row, col) ? formatAt(row, col) : nullptr;
    if (!format || !(format->flags & flag))
        return QColor();
    return QColor::fromRgb(format->*color);
}

void GridModel::setCellColor(int row, int col, const QColor& value, QRgb CellFormat::*color, CellFlag flag, int role)
{
    if (!inRange(row, col))
        return;
    if (value.isValid()) {
        CellFormat& target = formatFor(row, col);
        target.*color = value.rgb();
        target.flags |= flag;
    } else if (formatAt(row, col)) {
        formatFor(row, col).flags &= ~flag;
    }
    cellChanged(row, col, {role});
}

QColor GridModel::cellForeColor(int row, int col) const { return cellColor(row, col, &CellFormat::fore, HasFore); }

void GridModel::setCellForeColor(int row, int col, const QColor& color)
{
    setCellColor(row, col, color, &CellFormat::fore, HasFore, Qt::ForegroundRole);
}

QColor GridModel::cellBackColor(int row, int col) const { return cellColor(row, col, &CellFormat::back, HasBack); }

void GridModel::setCellBackColor(int row, int col, const QColor& color)
{
    setCellColor(row, col, color, &CellFormat::back, HasBack, Qt::BackgroundRole);
}

qreal GridModel::cellFontSize(int row, int col) const
{
    const CellFormat* format = inRange(row, col) ? formatAt(row, col) : nullptr;
    if (!format || !(format->flags & HasSize))
        return 0;
    return format->fontSize;
}

void GridModel::setCellFontSize(int row, int col, qreal pointSize)
{
    if (!inRange(row, col))
        return;
    if (pointSize > 0) {
        CellFormat& target = formatFor(row, col);
        target.fontSize = static_cast<float>(pointSize);
        target.flags |= HasSize;
    } else if (formatAt(row, col)) {
        formatFor(row, col).flags &= ~HasSize;
    }
    cellChanged(row, col, {Qt::FontRole, Qt::SizeHintRole});
}

bool GridModel::cellFontBold(int row, int col) const
{
    if (!inRange(row, col))
        return false;
    const CellFormat* format = formatAt(row, col);
    if (format && (format->flags & HasBold))
        return (format->flags & Bold) != 0;
    return m_baseFont.bold();
}

void GridModel::setCellFontBold(int row, int col, bool bold)
{
    if (!inRange(row, col))
        return;
    CellFormat& target = formatFor(row, col);
    target.flags |= HasBold;
    if (bold)
        target.flags |= Bold;
    else
        target.flags &= ~Bold;
    cellChanged(row, col, {Qt::FontRole, Qt::SizeHintRole});
}

void GridModel::clearCellFormat(int row, int col)
{
    if (!inRange(row, col))
        return;
    if (formatAt(row, col))
        formatFor(row, col).flags = 0;
    cellChanged(row, col, {Qt::ForegroundRole, Qt::BackgroundRole, Qt::FontRole, Qt::SizeHintRole});
}

void GridModel::setRowBackColor(int row, const QColor& color)
{
    if (row < 0 || row >= m_stored || m_cols == 0)
        return;
    for (int c = 0; c < m_cols; ++c) {
        if (!color.isValid() && !formatAt(row, c))
            continue;
        CellFormat& target = formatFor(row, c);
        target.back = color.rgb();
        if (color.isValid())
            target.flags |= HasBack;
        else
            target.flags &= ~HasBack;
    }
    rangeChanged(row, row, 0, m_cols - 1, {Qt::BackgroundRole});
}

void GridModel::setRowForeColor(int row, const QColor& color)
{
    if (row < 0 || row >= m_stored || m_cols == 0)
        return;
    for (int c = 0; c < m_cols; ++c) {
        if (!color.isValid() && !formatAt(row, c))
            continue;
        CellFormat& target = formatFor(row, c);
        target.fore = color.rgb();
        if (color.isValid())
            target.flags |= HasFore;
        else
            target.flags &= ~HasFore;
    }
    rangeChanged(row, row, 0, m_cols - 1, {Qt::ForegroundRole});
}

void GridModel::setFixedBackColor(const QColor& color)
{
    m_fixedBackColor = color;
    if (m_rows > 0 && m_cols > 0)
        rangeChanged(0, m_rows - 1, 0, m_cols - 1, {Qt::BackgroundRole});
}

void GridModel::setBaseFont(const QFont& font)
{
    if (font == m_baseFont)
        return;
    m_baseFont = font;
    if (m_rows > 0 && m_cols > 0)
        rangeChanged(0, m_rows - 1, 0, m_cols - 1, {Qt::FontRole, Qt::SizeHintRole});
}

// ---- look-ups ----

int GridModel::findRow(int col, const QString& text, int from) const
{
    if (col < 0 || col >= m_cols)
        return -1;
    for (int r = std::max(from, 0); r < m_stored; ++r) {
        if (textView(r, col) == text)
            return r;
    }
    return -1;
}

int GridModel::findRowById(int idColumn, qint64 id) const
{
    if (idColumn < 0 || idColumn >= m_cols)
        return -1;
    const QString idText = QString::number(id);
    for (int r = std::min(m_fixedRows, m_stored); r < m_stored; ++r) {
        const QStringView text = textView(r, idColumn);
        if (text == idText)
            return r;
        if (text.isEmpty())
            continue;
        bool ok = false;
        const qint64 value = text.trimmed().toLongLong(&ok);
        if (ok && value == id)
            return r;
    }
    return -1;
}

// ---- rows in steps ----

void GridModel::setRowSource(RowSource source, int expectedRows, int firstStepRows)
{
    dropSource();
    if (!source)
        return;
    m_source = std::move(source);
    m_expectedRows = expectedRows;
    const int heldBefore = loadedRows();
    fetchStep(std::max(firstStepRows, 1));
    // Room for the announced rows at once, the texts as long as those of the first step: a long
    // list does not pass through ever larger copies of itself.
    const int first = loadedRows() - heldBefore;
    if (m_source && first > 0 && expectedRows > loadedRows()) {
        const size_t rows = static_cast<size_t>(m_stored) + static_cast<size_t>(expectedRows - loadedRows());
        for (ColumnStore& column : m_columns) {
            column.spans.reserve(rows);
            if (column.formats)
                column.formats->reserve(rows);
            column.pool.reserve(column.pool.size() * (rows / static_cast<size_t>(m_stored) + 1));
        }
    }
    if (m_source)
        scheduleIdleStep();
}

int GridModel::expectedRows() const { return m_source ? std::max(m_expectedRows, loadedRows()) : loadedRows(); }

void GridModel::dropSource()
{
    if (!m_source)
        return;
    m_source = {};
    m_expectedRows = -1;
    emit loadingFinished();
}

bool GridModel::fetchStep(int maxRows) { return takeStep(maxRows, -1); }

bool GridModel::takeStep(int maxRows, int budgetMs)
{
    // A view that asks for more while it hears of a step waits for the next.
    if (!m_source || m_inStep)
        return false;
    bool more = true;
    {
        const QScopedValueRollback inStep(m_inStep, true);
        // The source may drop itself (a window refilling the grid); it stays alive for this call.
        const RowSource source = m_source;
        QElapsedTimer spent;
        spent.start();
        m_staging = true;
        const int before = m_rows;
        // In parts, so that a step given a time ends soon after it.
        constexpr int kPart = 256;
        for (int taken = 0; more && taken < maxRows;) {
            const int part = std::min(kPart, maxRows - taken);
            const int held = m_stored;
            more = source(part);
            taken += std::max(m_stored - held, 1);
            if (budgetMs >= 0 && spent.elapsed() >= budgetMs)
                break;
        }
        m_staging = false;
        if (m_stored > before) {
            if (inBulk()) {
                m_rows = m_stored;
            } else {
                // The rows are held already; the views learn of them in one insertion.
                beginInsertRows(QModelIndex(), before, m_stored - 1);
                m_rows = m_stored;
                endInsertRows();
            }
        }
    }
    if (!more) {
        m_source = {};
        m_expectedRows = -1;
    }
    emit loadProgress(loadedRows(), expectedRows());
    if (!more)
        emit loadingFinished();
    return static_cast<bool>(m_source);
}

void GridModel::fetchAll()
{
    while (takeStep(std::numeric_limits<int>::max(), -1)) {
    }
}

// The next idle step waits behind the window's pending repaints (posted at low priority too),
// so that the rows a step brought are painted before the next is taken.
static const QEvent::Type kIdleStepEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

void GridModel::scheduleIdleStep()
{
    if (m_idleStepPending)
        return;
    m_idleStepPending = true;
    QCoreApplication::postEvent(this, new QEvent(kIdleStepEvent), Qt::LowEventPriority);
}

bool GridModel::event(QEvent* event)
{
    if (event->type() != kIdleStepEvent)
        return QAbstractTableModel::event(event);
    m_idleStepPending = false;
    if (takeStep(std::numeric_limits<int>::max(), kIdleStepMs))
        scheduleIdleStep();
    return true;
}

bool GridModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && m_source; }

void GridModel::fetchMore(const QModelIndex& parent)
{
    if (!parent.isValid())
        fetchStep(kStepRows);
}

// ---- bulk changes and signals ----

void GridModel::beginBulk()
{
    if (m_bulkDepth++ == 0)
        beginResetModel();
}

void GridModel::endBulk()
{
    if (m_bulkDepth == 0)
        return;
    if (--m_bulkDepth == 0)
        endResetModel();
}

void GridModel::cellChanged(int row, int col, const QList<int>& roles) { rangeChanged(row, row, col, col, roles); }

void GridModel::rangeChanged(int firstRow, int lastRow, int firstCol, int lastCol, const QList<int>& roles)
{
    // Rows a step is appending are announced with the step.
    if (inBulk())
        return;
    lastRow = std::min(lastRow, m_rows - 1);
    if (firstRow > lastRow)
        return;
    emit dataChanged(index(firstRow, firstCol), index(lastRow, lastCol), roles);
    if (firstRow == 0)
        emit headerDataChanged(Qt::Horizontal, firstCol, lastCol);
}

// ---- QAbstractTableModel ----

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_cols; }

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !inRange(index.row(), index.column()))
        return QVariant();
    const int row = index.row();
    const int col = index.column();
    const CellFormat* format = formatAt(row, col);
    const quint8 flags = format ? format->flags : 0;
    const bool fixed = isFixedCell(row, col);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const QStringView text = textView(row, col);
        return hasTextMarks(text) ? withoutTextMarks(text) : text.toString();
    }
    case MarkedTextRole: return textView(row, col).toString();
    case Qt::TextAlignmentRole: {
        const int code = fixed ? m_fixedAlignment.at(col) : m_colAlignment.at(col);
        return static_cast<int>(alignmentFlags(code, textView(row, col).toString()));
    }
    case Qt::ForegroundRole:
        if (flags & HasFore)
            return QBrush(QColor::fromRgb(format->fore));
        return QVariant();
    case Qt::BackgroundRole:
        if (flags & HasBack)
            return QBrush(QColor::fromRgb(format->back));
        if (fixed && m_fixedBackColor.isValid())
            return QBrush(m_fixedBackColor);
        return QVariant();
    case Qt::FontRole:
        if (flags & (HasSize | HasBold)) {
            QFont font = m_baseFont;
            if (flags & HasSize)
                font.setPointSizeF(format->fontSize);
            if (flags & HasBold)
                font.setBold((flags & Bold) != 0);
            return font;
        }
        return QVariant();
    case AlignmentCodeRole: return fixed ? m_fixedAlignment.at(col) : m_colAlignment.at(col);
    case FixedCellRole: return fixed;
    default: return QVariant();
    }
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    return setTextMatrix(index.row(), index.column(), value.toString());
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole && section >= 0 && section < m_rows)
            return section;
        return QVariant();
    }
    if (section < 0 || section >= m_cols)
        return QVariant();
    // The horizontal header shows row 0.
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(alignmentFlags(m_fixedAlignment.at(section), textMatrix(0, section)));
    if (m_stored == 0)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    switch (role) {
    case Qt::DisplayRole:
        // The blanks of a header give its column's width; the header shows the words alone,
        // so that a centred header stays centred in a column narrower than its blanks.
        return textMatrix(0, section).trimmed();
    case Qt::ForegroundRole:
    case Qt::FontRole: return data(index(0, section), role);
    case Qt::BackgroundRole: {
        // The header keeps the style's shading unless a colour was set for the cell.
        const CellFormat* format = formatAt(0, section);
        if (format && (format->flags & HasBack))
            return QBrush(QColor::fromRgb(format->back));
        return QVariant();
    }
    default: return QVariant();
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace quarvel
