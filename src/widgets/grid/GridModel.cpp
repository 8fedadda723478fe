#include "widgets/grid/GridModel.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace quarvel {

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent)
{
    m_fixedBackColor = qGuiApp ? QGuiApplication::palette().color(QPalette::Button) : QColor(240, 240, 240);
}

// ---- shape ----

void GridModel::resizeStorage(int rows, int cols)
{
    if (cols == m_cols) {
        m_cells.resize(static_cast<size_t>(rows) * cols);
    } else {
        std::vector<Cell> cells(static_cast<size_t>(rows) * cols);
        const int keepRows = std::min(rows, m_rows);
        const int keepCols = std::min(cols, m_cols);
        for (int r = 0; r < keepRows; ++r)
            for (int c = 0; c < keepCols; ++c)
                cells[static_cast<size_t>(r) * cols + c] = std::move(cell(r, c));
        m_cells = std::move(cells);
        m_colAlignment.resize(cols, GridAlign::General);
        m_fixedAlignment.resize(cols, GridAlign::General);
    }
    m_rows = rows;
    m_cols = cols;
}

void GridModel::setRows(int rows)
{
    rows = std::max(rows, 0);
    if (rows == m_rows)
        return;
    if (inBulk()) {
        resizeStorage(rows, m_cols);
        return;
    }
    const int oldRows = m_rows;
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
    cols = std::max(cols, 0);
    if (cols == m_cols)
        return;
    if (inBulk()) {
        resizeStorage(m_rows, cols);
        return;
    }
    if (cols > m_cols) {
        beginInsertColumns(QModelIndex(), m_cols, cols - 1);
        resizeStorage(m_rows, cols);
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), cols, m_cols - 1);
        resizeStorage(m_rows, cols);
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

QString GridModel::textMatrix(int row, int col) const { return inRange(row, col) ? cell(row, col).text : QString(); }

bool GridModel::setTextMatrix(int row, int col, const QString& text)
{
    if (!inRange(row, col))
        return false;
    Cell& target = cell(row, col);
    if (target.text == text)
        return true;
    target.text = text;
    cellChanged(row, col, {Qt::DisplayRole, Qt::EditRole, Qt::TextAlignmentRole});
    return true;
}

QStringList GridModel::rowTexts(int row) const
{
    QStringList texts;
    if (row < 0 || row >= m_rows)
        return texts;
    texts.reserve(m_cols);
    for (int c = 0; c < m_cols; ++c)
        texts.append(cell(row, c).text);
    return texts;
}

void GridModel::setRowTexts(int row, const QStringList& texts)
{
    if (row < 0 || row >= m_rows)
        return;
    const int count = std::min<int>(static_cast<int>(texts.size()), m_cols);
    for (int c = 0; c < count; ++c)
        cell(row, c).text = texts.at(c);
    if (count > 0) {
        rangeChanged(row, row, 0, count - 1, {Qt::DisplayRole, Qt::EditRole, Qt::TextAlignmentRole});
    }
}

int GridModel::appendRow(const QStringList& texts) { return insertRowAt(m_rows, texts); }

int GridModel::insertRowAt(int before, const QStringList& texts)
{
    if (before < 0 || before > m_rows)
        before = m_rows;
    const bool signal = !inBulk();
    if (signal)
        beginInsertRows(QModelIndex(), before, before);
    const auto at = m_cells.begin() + static_cast<std::ptrdiff_t>(before) * m_cols;
    auto first = m_cells.insert(at, static_cast<size_t>(m_cols), Cell());
    const int count = std::min<int>(static_cast<int>(texts.size()), m_cols);
    for (int c = 0; c < count; ++c)
        (first + c)->text = texts.at(c);
    ++m_rows;
    if (signal) {
        endInsertRows();
        if (before == 0 && m_cols > 0)
            emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
    }
    return before;
}

bool GridModel::removeRowAt(int row)
{
    if (row < 0 || row >= m_rows)
        return false;
    const bool signal = !inBulk();
    if (signal)
        beginRemoveRows(QModelIndex(), row, row);
    const auto first = m_cells.begin() + static_cast<std::ptrdiff_t>(row) * m_cols;
    m_cells.erase(first, first + m_cols);
    --m_rows;
    if (signal) {
        endRemoveRows();
        if (row == 0 && m_cols > 0)
            emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
    }
    return true;
}

void GridModel::clear()
{
    for (Cell& c : m_cells)
        c = Cell();
    if (!inBulk() && m_rows > 0 && m_cols > 0) {
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

QColor GridModel::cellColor(int row, int col, QRgb Cell::*color, CellFlag flag) const
{
    if (!inRange(row, col) || !(cell(row, col).flags & flag))
        return QColor();
    return QColor::fromRgb(cell(row, col).*color);
}

void GridModel::setCellColor(int row, int col, const QColor& value, QRgb Cell::*color, CellFlag flag, int role)
{
    if (!inRange(row, col))
        return;
    Cell& target = cell(row, col);
    if (value.isValid()) {
        target.*color = value.rgb();
        target.flags |= flag;
    } else {
        target.flags &= ~flag;
    }
    cellChanged(row, col, {role});
}

QColor GridModel::cellForeColor(int row, int col) const { return cellColor(row, col, &Cell::fore, HasFore); }

void GridModel::setCellForeColor(int row, int col, const QColor& color)
{
    setCellColor(row, col, color, &Cell::fore, HasFore, Qt::ForegroundRole);
}

QColor GridModel::cellBackColor(int row, int col) const { return cellColor(row, col, &Cell::back, HasBack); }

void GridModel::setCellBackColor(int row, int col, const QColor& color)
{
    setCellColor(row, col, color, &Cell::back, HasBack, Qt::BackgroundRole);
}

qreal GridModel::cellFontSize(int row, int col) const
{
    if (!inRange(row, col) || !(cell(row, col).flags & HasSize))
        return 0;
    return cell(row, col).fontSize;
}

void GridModel::setCellFontSize(int row, int col, qreal pointSize)
{
    if (!inRange(row, col))
        return;
    Cell& target = cell(row, col);
    if (pointSize > 0) {
        target.fontSize = static_cast<float>(pointSize);
        target.flags |= HasSize;
    } else {
        target.flags &= ~HasSize;
    }
    cellChanged(row, col, {Qt::FontRole, Qt::SizeHintRole});
}

bool GridModel::cellFontBold(int row, int col) const
{
    if (!inRange(row, col))
        return false;
    const Cell& source = cell(row, col);
    return (source.flags & HasBold) ? (source.flags & Bold) != 0 : m_baseFont.bold();
}

void GridModel::setCellFontBold(int row, int col, bool bold)
{
    if (!inRange(row, col))
        return;
    Cell& target = cell(row, col);
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
    Cell& target = cell(row, col);
    target.flags = 0;
    cellChanged(row, col, {Qt::ForegroundRole, Qt::BackgroundRole, Qt::FontRole, Qt::SizeHintRole});
}

void GridModel::setRowBackColor(int row, const QColor& color)
{
    if (row < 0 || row >= m_rows || m_cols == 0)
        return;
    for (int c = 0; c < m_cols; ++c) {
        Cell& target = cell(row, c);
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
    if (row < 0 || row >= m_rows || m_cols == 0)
        return;
    for (int c = 0; c < m_cols; ++c) {
        Cell& target = cell(row, c);
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
    for (int r = std::max(from, 0); r < m_rows; ++r) {
        if (cell(r, col).text == text)
            return r;
    }
    return -1;
}

int GridModel::findRowById(int idColumn, qint64 id) const
{
    if (idColumn < 0 || idColumn >= m_cols)
        return -1;
    const QString idText = QString::number(id);
    for (int r = std::min(m_fixedRows, m_rows); r < m_rows; ++r) {
        const QString& text = cell(r, idColumn).text;
        if (text == idText)
            return r;
        if (text.isEmpty())
            continue;
        bool ok = false;
        const qint64 value = QStringView(text).trimmed().toLongLong(&ok);
        if (ok && value == id)
            return r;
    }
    return -1;
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
    if (inBulk())
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
    const Cell& source = cell(row, col);
    const bool fixed = isFixedCell(row, col);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return source.text;
    case Qt::TextAlignmentRole: {
        const int code = fixed ? m_fixedAlignment.at(col) : m_colAlignment.at(col);
        return static_cast<int>(alignmentFlags(code, source.text));
    }
    case Qt::ForegroundRole:
        if (source.flags & HasFore)
            return QBrush(QColor::fromRgb(source.fore));
        return QVariant();
    case Qt::BackgroundRole:
        if (source.flags & HasBack)
            return QBrush(QColor::fromRgb(source.back));
        if (fixed && m_fixedBackColor.isValid())
            return QBrush(m_fixedBackColor);
        return QVariant();
    case Qt::FontRole:
        if (source.flags & (HasSize | HasBold)) {
            QFont font = m_baseFont;
            if (source.flags & HasSize)
                font.setPointSizeF(source.fontSize);
            if (source.flags & HasBold)
                font.setBold((source.flags & Bold) != 0);
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
    if (m_rows == 0)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    switch (role) {
    case Qt::DisplayRole:
        // The blanks of a header give its column's width; the header shows the words alone,
        // so that a centred header stays centred in a column narrower than its blanks.
        return textMatrix(0, section).trimmed();
    case Qt::ForegroundRole:
    case Qt::FontRole: return data(index(0, section), role);
    case Qt::BackgroundRole:
        // The header keeps the style's shading unless a colour was set for the cell.
        if (cell(0, section).flags & HasBack)
            return QBrush(QColor::fromRgb(cell(0, section).back));
        return QVariant();
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
