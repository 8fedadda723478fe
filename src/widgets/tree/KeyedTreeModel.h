#pragma once

#include "widgets/tree/TreeTypes.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QStringList>
#include <QVector>

#include <initializer_list>

#include <optional>

namespace quarvel {

// The nodes of a keyed tree, usable with or without a view.
//
// Every node has a unique, case-sensitive key, a text, a picture number (1-based into the
// image list, 0 for none), a free text tag, a check mark and an expanded state; at most one
// node is selected. Nodes are numbered 1, 2, ... in the order they were added; the numbers
// stay as they are until clear(). A node is always added as the last child of its parent.
//
// Storage is flat (one vector of nodes, a hash from key to position, a child list per node),
// so lookups by key or number are constant time. Between beginUpdate() and endUpdate() the
// model sends no per-node signals and ends with one reset: load large trees that way.
//
// Functions taking a key do nothing (and return false, 0 or an empty value) for a key that is
// not in the tree; elementNotFound() gives the error to report in that case.
class KeyedTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Role {
        KeyRole = Qt::UserRole + 1,  // QString
        TagRole,                     // QString
        PictureRole,                 // int
        NodeIndexRole,               // int, 1-based
    };

    explicit KeyedTreeModel(QObject* parent = nullptr);
    ~KeyedTreeModel() override;

    // Building --------------------------------------------------------------------------------

    // Adds a node as the last child of the node keyed parentKey, or at the top level when
    // parentKey is empty. Refuses an empty key (InvalidKey), a key already present
    // (KeyNotUnique) and a parent key that is not present (ElementNotFound); a refused node
    // leaves the tree unchanged.
    TreeAddResult addNode(const QString& parentKey, const QString& key, const QString& text, int picture = 0);

    // Adds the nodes in list order (with their tag, check mark and expanded state) and stops at
    // the first one that is refused; the nodes added before it stay.
    TreeLoadResult load(const QVector<TreeNodeSpec>& nodes);

    // Removes every node; numbering starts again at 1.
    void clear();
    // Makes room for `nodes` nodes in all, for a load whose size is known or guessed.
    void reserve(int nodes);

    // Bulk changes: nested calls are allowed; the outermost endUpdate() resets the model once.
    void beginUpdate();
    void endUpdate();
    bool isUpdating() const { return updateDepth_ > 0; }

    class UpdateGuard {
    public:
        explicit UpdateGuard(KeyedTreeModel& model) : model_(model) { model_.beginUpdate(); }
        ~UpdateGuard() { model_.endUpdate(); }
        UpdateGuard(const UpdateGuard&) = delete;
        UpdateGuard& operator=(const UpdateGuard&) = delete;

    private:
        KeyedTreeModel& model_;
    };

    static TreeError elementNotFound(const QString& key = QString());

    // Lookup -----------------------------------------------------------------------------------

    int count() const { return static_cast<int>(nodes_.size()); }
    bool contains(const QString& key) const { return byKey_.contains(key); }
    int indexOf(const QString& key) const;  // 1-based; 0 when not present
    QString keyAt(int index) const;         // empty when out of range
    QStringList keys() const;               // all keys in index order
    // The key and text of node `index` without a copy, valid until the tree next changes; an
    // empty text when out of range. For passes over every node of a large tree.
    const QString& keyRef(int index) const;
    const QString& textRef(int index) const;
    std::optional<TreeNodeInfo> nodeByKey(const QString& key) const;
    std::optional<TreeNodeInfo> nodeByIndex(int index) const;

    QString parentKey(const QString& key) const;        // empty for a top-level node
    QStringList childKeys(const QString& key) const;    // in order; empty key: the top-level nodes
    int childCount(const QString& key) const;           // empty key: number of top-level nodes
    int childCountAt(int index) const;                  // 0 when out of range
    QStringList descendants(const QString& key) const;  // depth first, without the node itself

    // Node properties --------------------------------------------------------------------------

    QString text(const QString& key) const;
    bool setText(const QString& key, const QString& text);
    int picture(const QString& key) const;
    bool setPicture(const QString& key, int picture);
    bool setPictureAt(int index, int picture);  // false when out of range
    void setAllPictures(int picture);
    QString tag(const QString& key) const;
    bool setTag(const QString& key, const QString& tag);

    // Check marks set here are changes by the program: they send no nodeCheckToggled().
    bool checked(const QString& key) const;
    bool setChecked(const QString& key, bool checked);
    void setAllChecked(bool checked);
    // Sets the mark of every node below `key` (not the node itself). Views hear of the changed
    // nodes only, so the cost follows the size of the branch, not of the tree. False for a key
    // that is not in the tree.
    bool setDescendantsChecked(const QString& key, bool checked);
    QStringList checkedKeys() const;  // in index order

    bool expanded(const QString& key) const;
    bool setExpanded(const QString& key, bool expanded);
    void setAllExpanded(bool expanded);
    // True when every node that has children is expanded (and there is one), as after
    // setAllExpanded(true): a view can then expand everything in one pass.
    bool allParentsExpanded() const;

    // Selection: at most one node. Selecting a node expands its ancestors so that it can be
    // seen; an empty key clears the selection.
    QString selectedKey() const;
    bool isSelected(const QString& key) const;
    bool setSelected(const QString& key);
    void clearSelection();

    // Display ----------------------------------------------------------------------------------

    void setImageList(const QList<QIcon>& images);
    QList<QIcon> imageList() const { return images_; }
    void setCheckBoxes(bool on);
    bool checkBoxes() const { return checkBoxes_; }

    // Model indexes ----------------------------------------------------------------------------

    QModelIndex indexForKey(const QString& key) const;
    QString keyForIndex(const QModelIndex& index) const;
    QVector<QModelIndex> expandedModelIndexes() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Qt::CheckStateRole is the user's toggle of a check box: it sends nodeCheckToggled().
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;

    using QObject::parent;

signals:
    // The user ticked or unticked a node's check box (through setData with Qt::CheckStateRole).
    void nodeCheckToggled(const QString& key, bool checked);
    // The selected node changed, by the program or the user; empty key: no node is selected.
    void selectedNodeChanged(const QString& key);
    // A node was expanded or collapsed outside an update.
    void nodeExpandedChanged(const QString& key, bool expanded);

private:
    struct Node {
        QString key;
        QString text;
        QString tag;
        int parent = -1;  // position in nodes_, -1 at the top level
        int row = 0;      // position among its siblings
        int picture = 0;
        bool checked = false;
        bool expanded = false;
        QVector<int> children;
    };

    int find(const QString& key) const { return byKey_.value(key, -1); }
    TreeNodeInfo info(int pos) const;
    QModelIndex modelIndex(int pos) const;
    // The roles are made a list only when a signal goes out: between beginUpdate() and
    // endUpdate() a change costs nothing but the change.
    void notifyChanged(int pos, std::initializer_list<int> roles);
    void notifyAllChanged(std::initializer_list<int> roles);
    void notifyRange(const QModelIndex& parent, int rows, const QList<int>& roles);
    TreeAddResult add(const QString& parentKey, const QString& key, const QString& text, int picture,
                      const QString& tag, bool checked, bool expanded);
    void setExpandedAt(int pos, bool expanded);

    QVector<Node> nodes_;
    QHash<QString, int> byKey_;
    QVector<int> topLevel_;
    int selected_ = -1;
    int lastParent_ = -1;  // the parent of the node added last: siblings usually come together
    QList<QIcon> images_;
    bool checkBoxes_ = false;
    int updateDepth_ = 0;
};

}  // namespace quarvel
