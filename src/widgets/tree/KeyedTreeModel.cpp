#include "widgets/tree/KeyedTreeModel.h"

namespace quarvel {

namespace {

// Below this many nodes load() sends one insertion per node, which keeps the view's scroll
// position and expanded branches; above it the whole model is reset once.
constexpr int kResetThreshold = 256;

}  // namespace

// TreeError ------------------------------------------------------------------------------------

QString TreeError::describe(TreeErrorCode code)
{
    switch (code) {
    case TreeErrorCode::None: return QString();
    case TreeErrorCode::ElementNotFound: return QStringLiteral("找不到元素");
    case TreeErrorCode::KeyNotUnique: return QStringLiteral("关键字在集合中不唯一");
    case TreeErrorCode::InvalidKey: return QStringLiteral("无效的关键字");
    }
    return QString();
}

TreeError TreeError::make(TreeErrorCode code, const QString& key)
{
    return TreeError{static_cast<int>(code), describe(code), key};
}

// Building -------------------------------------------------------------------------------------

KeyedTreeModel::KeyedTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

KeyedTreeModel::~KeyedTreeModel() = default;

TreeError KeyedTreeModel::elementNotFound(const QString& key)
{
    return TreeError::make(TreeErrorCode::ElementNotFound, key);
}

TreeAddResult KeyedTreeModel::addNode(const QString& parentKey, const QString& key, const QString& text, int picture)
{
    return add(parentKey, key, text, picture, QString(), false, false);
}

TreeAddResult KeyedTreeModel::add(const QString& parentKey, const QString& key, const QString& text, int picture,
                                  const QString& tag, bool checked, bool expanded)
{
    TreeAddResult result;
    if (key.isEmpty()) {
        result.error = TreeError::make(TreeErrorCode::InvalidKey, key);
        return result;
    }
    int parentPos = -1;
    if (!parentKey.isEmpty()) {
        parentPos = lastParent_ >= 0 && nodes_[lastParent_].key == parentKey ? lastParent_ : find(parentKey);
        if (parentPos < 0) {
            result.error = TreeError::make(TreeErrorCode::ElementNotFound, parentKey);
            return result;
        }
    }
    // One lookup both finds a key already present and takes the new one.
    const qsizetype known = byKey_.size();
    int& slot = byKey_[key];
    if (byKey_.size() == known) {
        result.error = TreeError::make(TreeErrorCode::KeyNotUnique, key);
        return result;
    }
    const int pos = count();
    slot = pos;
    lastParent_ = parentPos;

    const int row = static_cast<int>(parentPos < 0 ? topLevel_.size() : nodes_[parentPos].children.size());
    const bool signal = !isUpdating();
    if (signal)
        beginInsertRows(modelIndex(parentPos), row, row);

    Node node;
    node.key = key;
    node.text = text;
    node.tag = tag;
    node.parent = parentPos;
    node.row = row;
    node.picture = picture;
    node.checked = checked;
    node.expanded = expanded;
    nodes_.append(std::move(node));
    (parentPos < 0 ? topLevel_ : nodes_[parentPos].children).append(pos);

    if (signal) {
        endInsertRows();
        if (expanded)
            emit nodeExpandedChanged(key, true);
    }
    result.index = pos + 1;
    return result;
}

TreeLoadResult KeyedTreeModel::load(const QVector<TreeNodeSpec>& nodes)
{
    const bool bulk = !isUpdating() && nodes.size() > kResetThreshold;
    if (bulk) {
        beginUpdate();
        nodes_.reserve(nodes_.size() + nodes.size());
        byKey_.reserve(byKey_.size() + nodes.size());
    }
    TreeLoadResult result;
    for (const TreeNodeSpec& node : nodes) {
        const TreeAddResult added = add(node.parentKey, node.key, node.text, node.picture, node.tag, node.checked,
                                        node.expanded);
        if (!added.ok()) {
            result.error = added.error;
            break;
        }
        ++result.added;
    }
    if (bulk)
        endUpdate();
    return result;
}

void KeyedTreeModel::clear()
{
    const bool signal = !isUpdating();
    if (signal)
        beginResetModel();
    nodes_.clear();
    byKey_.clear();
    topLevel_.clear();
    lastParent_ = -1;
    const bool hadSelection = selected_ >= 0;
    selected_ = -1;
    if (signal)
        endResetModel();
    if (hadSelection)
        emit selectedNodeChanged(QString());
}

void KeyedTreeModel::reserve(int nodes)
{
    nodes_.reserve(nodes);
    byKey_.reserve(nodes);
}

void KeyedTreeModel::beginUpdate()
{
    if (updateDepth_++ == 0)
        beginResetModel();
}

void KeyedTreeModel::endUpdate()
{
    Q_ASSERT(updateDepth_ > 0);
    if (updateDepth_ > 0 && --updateDepth_ == 0)
        endResetModel();
}

// Lookup ---------------------------------------------------------------------------------------

int KeyedTreeModel::indexOf(const QString& key) const { return find(key) + 1; }

QString KeyedTreeModel::keyAt(int index) const
{
    if (index < 1 || index > count())
        return QString();
    return nodes_[index - 1].key;
}

QStringList KeyedTreeModel::keys() const
{
    QStringList result;
    result.reserve(count());
    for (const Node& node : nodes_)
        result.append(node.key);
    return result;
}

const QString& KeyedTreeModel::keyRef(int index) const
{
    static const QString none;
    return index < 1 || index > count() ? none : nodes_[index - 1].key;
}

const QString& KeyedTreeModel::textRef(int index) const
{
    static const QString none;
    return index < 1 || index > count() ? none : nodes_[index - 1].text;
}

TreeNodeInfo KeyedTreeModel::info(int pos) const
{
    const Node& node = nodes_[pos];
    TreeNodeInfo result;
    result.index = pos + 1;
    result.key = node.key;
    result.text = node.text;
    result.parentKey = node.parent < 0 ? QString() : nodes_[node.parent].key;
    result.tag = node.tag;
    result.picture = node.picture;
    result.checked = node.checked;
    result.expanded = node.expanded;
    result.selected = pos == selected_;
    result.childCount = static_cast<int>(node.children.size());
    return result;
}

std::optional<TreeNodeInfo> KeyedTreeModel::nodeByKey(const QString& key) const
{
    const int pos = find(key);
    if (pos < 0)
        return std::nullopt;
    return info(pos);
}

std::optional<TreeNodeInfo> KeyedTreeModel::nodeByIndex(int index) const
{
    if (index < 1 || index > count())
        return std::nullopt;
    return info(index - 1);
}

QString KeyedTreeModel::parentKey(const QString& key) const
{
    const int pos = find(key);
    if (pos < 0 || nodes_[pos].parent < 0)
        return QString();
    return nodes_[nodes_[pos].parent].key;
}

QStringList KeyedTreeModel::childKeys(const QString& key) const
{
    const QVector<int>* list = &topLevel_;
    if (!key.isEmpty()) {
        const int pos = find(key);
        if (pos < 0)
            return {};
        list = &nodes_[pos].children;
    }
    QStringList result;
    result.reserve(list->size());
    for (int child : *list)
        result.append(nodes_[child].key);
    return result;
}

int KeyedTreeModel::childCount(const QString& key) const
{
    if (key.isEmpty())
        return static_cast<int>(topLevel_.size());
    const int pos = find(key);
    return pos < 0 ? 0 : static_cast<int>(nodes_[pos].children.size());
}

int KeyedTreeModel::childCountAt(int index) const
{
    return index < 1 || index > count() ? 0 : static_cast<int>(nodes_[index - 1].children.size());
}

QStringList KeyedTreeModel::descendants(const QString& key) const
{
    QStringList result;
    const int pos = find(key);
    if (pos < 0)
        return result;
    // Explicit stack (children pushed in reverse) so that deep trees cannot exhaust the call
    // stack; each node is visited once.
    QVector<int> stack;
    const QVector<int>& first = nodes_[pos].children;
    for (auto it = first.crbegin(); it != first.crend(); ++it)
        stack.append(*it);
    while (!stack.isEmpty()) {
        const int current = stack.takeLast();
        result.append(nodes_[current].key);
        const QVector<int>& children = nodes_[current].children;
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            stack.append(*it);
    }
    return result;
}

// Node properties ------------------------------------------------------------------------------

QString KeyedTreeModel::text(const QString& key) const
{
    const int pos = find(key);
    return pos < 0 ? QString() : nodes_[pos].text;
}

bool KeyedTreeModel::setText(const QString& key, const QString& text)
{
    const int pos = find(key);
    if (pos < 0)
        return false;
    if (nodes_[pos].text != text) {
        nodes_[pos].text = text;
        notifyChanged(pos, {Qt::DisplayRole});
    }
    return true;
}

int KeyedTreeModel::picture(const QString& key) const
{
    const int pos = find(key);
    return pos < 0 ? 0 : nodes_[pos].picture;
}

bool KeyedTreeModel::setPicture(const QString& key, int picture)
{
    const int pos = find(key);
    if (pos < 0)
        return false;
    if (nodes_[pos].picture != picture) {
        nodes_[pos].picture = picture;
        notifyChanged(pos, {Qt::DecorationRole, PictureRole});
    }
    return true;
}

bool KeyedTreeModel::setPictureAt(int index, int picture)
{
    if (index < 1 || index > count())
        return false;
    Node& node = nodes_[index - 1];
    if (node.picture != picture) {
        node.picture = picture;
        notifyChanged(index - 1, {Qt::DecorationRole, PictureRole});
    }
    return true;
}

void KeyedTreeModel::setAllPictures(int picture)
{
    for (Node& node : nodes_)
        node.picture = picture;
    notifyAllChanged({Qt::DecorationRole, PictureRole});
}

QString KeyedTreeModel::tag(const QString& key) const
{
    const int pos = find(key);
    return pos < 0 ? QString() : nodes_[pos].tag;
}

bool KeyedTreeModel::setTag(const QString& key, const QString& tag)
{
    const int pos = find(key);
    if (pos < 0)
        return false;
    if (nodes_[pos].tag != tag) {
        nodes_[pos].tag = tag;
        notifyChanged(pos, {TagRole});
    }
    return true;
}

bool KeyedTreeModel::checked(const QString& key) const
{
    const int pos = find(key);
    return pos >= 0 && nodes_[pos].checked;
}

bool KeyedTreeModel::setChecked(const QString& key, bool checked)
{
    const int pos = find(key);
    if (pos < 0)
        return false;
    if (nodes_[pos].checked != checked) {
        nodes_[pos].checked = checked;
        notifyChanged(pos, {Qt::CheckStateRole});
    }
    return true;
}

void KeyedTreeModel::setAllChecked(bool checked)
{
    for (Node& node : nodes_)
        node.checked = checked;
    notifyAllChanged({Qt::CheckStateRole});
}

bool KeyedTreeModel::setDescendantsChecked(const QString& key, bool checked)
{
    const int pos = find(key);
    if (pos < 0)
        return false;
    QVector<int> stack{pos};
    while (!stack.isEmpty()) {
        const int parent = stack.takeLast();
        int first = -1;
        int last = -1;
        for (int child : std::as_const(nodes_[parent].children)) {
            Node& node = nodes_[child];
            if (node.checked != checked) {
                node.checked = checked;
                if (first < 0)
                    first = node.row;
                last = node.row;
            }
            if (!node.children.isEmpty())
                stack.append(child);
        }
        if (first >= 0 && !isUpdating()) {
            const QModelIndex parentIndex = modelIndex(parent);
            emit dataChanged(index(first, 0, parentIndex), index(last, 0, parentIndex), {Qt::CheckStateRole});
        }
    }
    return true;
}

QStringList KeyedTreeModel::checkedKeys() const
{
    QStringList result;
    for (const Node& node : nodes_) {
        if (node.checked)
            result.append(node.key);
    }
    return result;
}

bool KeyedTreeModel::expanded(const QString& key) const
{
    const int pos = find(key);
    return pos >= 0 && nodes_[pos].expanded;
}

bool KeyedTreeModel::setExpanded(const QString& key, bool expanded)
{
    const int pos = find(key);
    if (pos < 0)
        return false;
    setExpandedAt(pos, expanded);
    return true;
}

void KeyedTreeModel::setExpandedAt(int pos, bool expanded)
{
    if (nodes_[pos].expanded == expanded)
        return;
    nodes_[pos].expanded = expanded;
    if (!isUpdating())
        emit nodeExpandedChanged(nodes_[pos].key, expanded);
}

void KeyedTreeModel::setAllExpanded(bool expanded)
{
    // One reset instead of one signal per node: a view re-reads the expanded branches at once.
    UpdateGuard guard(*this);
    for (Node& node : nodes_)
        node.expanded = expanded;
}

bool KeyedTreeModel::allParentsExpanded() const
{
    bool any = false;
    for (const Node& node : nodes_) {
        if (node.children.isEmpty())
            continue;
        if (!node.expanded)
            return false;
        any = true;
    }
    return any;
}

// Selection ------------------------------------------------------------------------------------

QString KeyedTreeModel::selectedKey() const { return selected_ < 0 ? QString() : nodes_[selected_].key; }

bool KeyedTreeModel::isSelected(const QString& key) const { return selected_ >= 0 && nodes_[selected_].key == key; }

bool KeyedTreeModel::setSelected(const QString& key)
{
    if (key.isEmpty()) {
        clearSelection();
        return true;
    }
    const int pos = find(key);
    if (pos < 0)
        return false;
    for (int up = nodes_[pos].parent; up >= 0; up = nodes_[up].parent)
        setExpandedAt(up, true);
    if (selected_ != pos) {
        selected_ = pos;
        emit selectedNodeChanged(key);
    }
    return true;
}

void KeyedTreeModel::clearSelection()
{
    if (selected_ < 0)
        return;
    selected_ = -1;
    emit selectedNodeChanged(QString());
}

// Display --------------------------------------------------------------------------------------

void KeyedTreeModel::setImageList(const QList<QIcon>& images)
{
    images_ = images;
    notifyAllChanged({Qt::DecorationRole});
}

void KeyedTreeModel::setCheckBoxes(bool on)
{
    if (checkBoxes_ == on)
        return;
    // The flags change with the check boxes; a layout change makes views re-read both.
    if (!isUpdating())
        emit layoutAboutToBeChanged();
    checkBoxes_ = on;
    if (!isUpdating())
        emit layoutChanged();
}

void KeyedTreeModel::notifyChanged(int pos, std::initializer_list<int> roles)
{
    if (isUpdating())
        return;
    const QModelIndex index = modelIndex(pos);
    emit dataChanged(index, index, QList<int>(roles));
}

void KeyedTreeModel::notifyRange(const QModelIndex& parent, int rows, const QList<int>& roles)
{
    if (rows > 0)
        emit dataChanged(index(0, 0, parent), index(rows - 1, 0, parent), roles);
}

void KeyedTreeModel::notifyAllChanged(std::initializer_list<int> roles)
{
    if (isUpdating())
        return;
    const QList<int> list(roles);
    notifyRange(QModelIndex(), static_cast<int>(topLevel_.size()), list);
    for (int pos = 0; pos < count(); ++pos)
        notifyRange(modelIndex(pos), static_cast<int>(nodes_[pos].children.size()), list);
}

// Model indexes --------------------------------------------------------------------------------

QModelIndex KeyedTreeModel::modelIndex(int pos) const
{
    if (pos < 0)
        return QModelIndex();
    return createIndex(nodes_[pos].row, 0, static_cast<quintptr>(pos));
}

QModelIndex KeyedTreeModel::indexForKey(const QString& key) const { return modelIndex(find(key)); }

QString KeyedTreeModel::keyForIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return QString();
    return nodes_[static_cast<int>(index.internalId())].key;
}

QVector<QModelIndex> KeyedTreeModel::expandedModelIndexes() const
{
    QVector<QModelIndex> result;
    for (int pos = 0; pos < count(); ++pos) {
        if (nodes_[pos].expanded)
            result.append(modelIndex(pos));
    }
    return result;
}

QModelIndex KeyedTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    const QVector<int>& list = parent.isValid() ? nodes_[static_cast<int>(parent.internalId())].children : topLevel_;
    return createIndex(row, column, static_cast<quintptr>(list[row]));
}

QModelIndex KeyedTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return QModelIndex();
    return modelIndex(nodes_[static_cast<int>(child.internalId())].parent);
}

int KeyedTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return static_cast<int>(topLevel_.size());
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(nodes_[static_cast<int>(parent.internalId())].children.size());
}

int KeyedTreeModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() && parent.column() != 0 ? 0 : 1;
}

bool KeyedTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant KeyedTreeModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    const int pos = static_cast<int>(index.internalId());
    const Node& node = nodes_[pos];
    switch (role) {
    case Qt::DisplayRole: return node.text;
    case Qt::DecorationRole:
        if (node.picture >= 1 && node.picture <= images_.size())
            return images_[node.picture - 1];
        return QVariant();
    case Qt::CheckStateRole:
        if (!checkBoxes_)
            return QVariant();
        return node.checked ? Qt::Checked : Qt::Unchecked;
    case KeyRole: return node.key;
    case TagRole: return node.tag;
    case PictureRole: return node.picture;
    case NodeIndexRole: return pos + 1;
    default: return QVariant();
    }
}

bool KeyedTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !checkBoxes_ || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const int pos = static_cast<int>(index.internalId());
    const bool checked = value.toInt() == Qt::Checked;
    if (nodes_[pos].checked != checked) {
        nodes_[pos].checked = checked;
        notifyChanged(pos, {Qt::CheckStateRole});
    }
    // The key is copied: a handler may clear or reload the tree.
    const QString key = nodes_[pos].key;
    emit nodeCheckToggled(key, checked);
    return true;
}

Qt::ItemFlags KeyedTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (checkBoxes_)
        result |= Qt::ItemIsUserCheckable;
    // A view expanding everything at once then passes over the leaves instead of recording each
    // as expanded (most nodes of a large tree are leaves). A node that gains children loses it.
    if (nodes_[static_cast<int>(index.internalId())].children.isEmpty())
        result |= Qt::ItemNeverHasChildren;
    return result;
}

QHash<int, QByteArray> KeyedTreeModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
    names.insert(KeyRole, "key");
    names.insert(TagRole, "tag");
    names.insert(PictureRole, "picture");
    names.insert(NodeIndexRole, "nodeIndex");
    return names;
}

}  // namespace quarvel
