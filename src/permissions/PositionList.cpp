#include "permissions/PositionList.h"

#include "widgets/grid/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QSet>
#include <QTreeView>
#include <QVBoxLayout>

namespace quarvel {
namespace {

struct ColumnSpec {
    const char* key;
    const char16_t* header;
    int twips;
};

constexpr ColumnSpec kColumns[] = {
    {"xh", u"序", 400},
    {"bm", u"部门名称", 2200},
    {"gw", u"岗位名称", 1800},
    {"gh", u"姓名", 1500},
};

const ColumnSpec& columnOf(PositionColumn column) { return kColumns[static_cast<int>(column)]; }

}  // namespace

QString PositionListModel::columnKey(PositionColumn column) { return QString::fromLatin1(columnOf(column).key); }

QString PositionListModel::header(PositionColumn column) { return QString::fromUtf16(columnOf(column).header); }

int PositionListModel::widthTwips(PositionColumn column) { return columnOf(column).twips; }

void PositionListModel::setPositions(const QVector<ListedPosition>& positions)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(positions.size());
    QSet<QString> keys;
    for (const ListedPosition& p : positions) {
        const QString key = p.key();
        if (keys.contains(key))
            continue;
        keys.insert(key);
        Row row;
        row.key = key;
        row.cells[static_cast<int>(PositionColumn::Number)] = QString::number(m_rows.size() + 1);
        row.cells[static_cast<int>(PositionColumn::Department)] = p.deptName;
        row.cells[static_cast<int>(PositionColumn::Position)] = p.positionName;
        row.cells[static_cast<int>(PositionColumn::Holder)] = p.holderName;
        m_rows.append(row);
    }
    endResetModel();
}

void PositionListModel::clear() { setPositions({}); }

QString PositionListModel::key(int row) const { return row >= 0 && row < m_rows.size() ? m_rows[row].key : QString(); }

QString PositionListModel::text(int row, PositionColumn column) const
{
    if (row < 0 || row >= m_rows.size() || column == PositionColumn::Count)
        return {};
    return m_rows[row].cells[static_cast<int>(column)];
}

int PositionListModel::findKey(const QString& key) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].key == key)
            return i;
    }
    return -1;
}

int PositionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PositionListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(PositionColumn::Count);
}

QVariant PositionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return text(index.row(), static_cast<PositionColumn>(index.column()));
    return {};
}

QVariant PositionListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= static_cast<int>(PositionColumn::Count))
        return {};
    return header(static_cast<PositionColumn>(section));
}

PositionList::PositionList(QWidget* parent)
    : QWidget(parent), m_model(new PositionListModel(this)), m_view(new QTreeView(this))
{
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setItemsExpandable(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->header()->setStretchLastSection(false);
    for (int c = 0; c < static_cast<int>(PositionColumn::Count); ++c)
        m_view->setColumnWidth(c, twipsToPixels(PositionListModel::widthTwips(static_cast<PositionColumn>(c)), this));
    // The selection stays visible when the list loses the focus.
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_view->setPalette(palette);
    setFocusProxy(m_view);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    connect(m_view, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit itemClicked(key(index.row()));
    });
    connect(m_view, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit itemDoubleClicked(key(index.row()));
    });
    // Moving with the keyboard chooses the item too; mouse presses are told by clicked.
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_programmatic && current.isValid() && QApplication::mouseButtons() == Qt::NoButton)
                    emit itemClicked(key(current.row()));
            });
}

void PositionList::setPositions(const QVector<ListedPosition>& positions)
{
    m_programmatic = true;
    m_model->setPositions(positions);
    m_programmatic = false;
}

void PositionList::clear() { setPositions({}); }

int PositionList::selectedRow() const
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

QString PositionList::selectedKey() const { return key(selectedRow()); }

void PositionList::select(int row)
{
    if (row < 0 || row >= count())
        return;
    m_programmatic = true;
    const QModelIndex index = m_model->index(row, 0);
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_view->scrollTo(index);
    m_programmatic = false;
}

QRect PositionList::itemRect(int row) const { return m_view->visualRect(m_model->index(row, 1)); }

}  // namespace quarvel
