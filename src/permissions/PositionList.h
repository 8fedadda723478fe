#pragma once

#include "permissions/PermissionTypes.h"

#include <QAbstractTableModel>
#include <QVector>
#include <QWidget>

class QTreeView;

namespace quarvel {

// The columns of the position lists, in order: key, header and width in twips.
enum class PositionColumn : int {
    Number = 0,  // "xh" "序": running number from 1
    Department,  // "bm" "部门名称"
    Position,    // "gw" "岗位名称"
    Holder,      // "gh" "姓名"
    Count
};

// The rows of a position list: one per position, keyed "G" + 岗位代号.
class PositionListModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    static QString columnKey(PositionColumn column);
    static QString header(PositionColumn column);
    static int widthTwips(PositionColumn column);

    // Replaces the rows; a key already present is skipped.
    void setPositions(const QVector<ListedPosition>& positions);
    void clear();
    QString key(int row) const;
    QString text(int row, PositionColumn column) const;
    int findKey(const QString& key) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        QString key;
        QString cells[static_cast<int>(PositionColumn::Count)];
    };
    QVector<Row> m_rows;
};

// A list of positions in report view: whole-row selection of one item, texts not editable, the
// selection kept visible when the list loses the focus.
//
// itemClicked: the user chose an item, with the mouse or by moving with the keyboard;
// itemDoubleClicked: the user double-clicked an item (not the empty space below the items).
class PositionList : public QWidget {
    Q_OBJECT

public:
    explicit PositionList(QWidget* parent = nullptr);

    QTreeView* view() const { return m_view; }
    PositionListModel* model() const { return m_model; }

    void setPositions(const QVector<ListedPosition>& positions);
    void clear();
    int count() const { return m_model->rowCount(); }
    QString key(int row) const { return m_model->key(row); }
    QString text(int row, PositionColumn column) const { return m_model->text(row, column); }
    int findKey(const QString& key) const { return m_model->findKey(key); }

    // The selected row, -1 when none.
    int selectedRow() const;
    QString selectedKey() const;
    // Selects the row and scrolls it into view (no itemClicked).
    void select(int row);
    // The row's rectangle in the view's viewport (for clicks).
    QRect itemRect(int row) const;

signals:
    void itemClicked(const QString& key);
    void itemDoubleClicked(const QString& key);

private:
    PositionListModel* m_model;
    QTreeView* m_view;
    bool m_programmatic = false;
};

}  // namespace quarvel
