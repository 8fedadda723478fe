#include "widgets/tree/KeyedTree.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace quarvel {

namespace {

// Sets a flag for the life of a scope and restores its previous value.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = old_; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
    bool old_;
};

}  // namespace

KeyedTree::KeyedTree(QWidget* parent) : QWidget(parent), model_(new KeyedTreeModel(this)), view_(new QTreeView(this))
{
    view_->setObjectName(QStringLiteral("view"));
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(true);
    view_->setRootIsDecorated(true);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->header()->setStretchLastSection(true);
    view_->setModel(model_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusProxy(view_);

    // User actions in the view. A click on a check box toggles the mark on release, just
    // before the view reports the click; such a click is not a node click.
    connect(view_, &QTreeView::pressed, this, [this] { toggledSincePress_ = false; });
    connect(view_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        if (toggledSincePress_)
            return;
        const QString key = model_->keyForIndex(index);
        if (!key.isEmpty())
            emit nodeClicked(key);
    });
    connect(view_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        const QString key = model_->keyForIndex(index);
        if (!key.isEmpty())
            emit nodeDoubleClicked(key);
    });
    connect(view_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (syncing_)
            return;
        FlagGuard guard(syncing_);
        model_->setExpanded(model_->keyForIndex(index), true);
    });
    connect(view_, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (syncing_)
            return;
        FlagGuard guard(syncing_);
        model_->setExpanded(model_->keyForIndex(index), false);
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { takeViewSelection(); });

    // Changes of the model, by the program or by the view.
    connect(model_, &KeyedTreeModel::nodeCheckToggled, this, [this](const QString& key, bool checked) {
        toggledSincePress_ = true;
        emit nodeChecked(key, checked);
    });
    connect(model_, &KeyedTreeModel::selectedNodeChanged, this, [this](const QString& key) {
        if (!syncing_ && !model_->isUpdating())
            showSelection(key);
        emit selectionChanged(key);
    });
    connect(model_, &KeyedTreeModel::nodeExpandedChanged, this, [this](const QString& key, bool expanded) {
        if (syncing_)
            return;
        FlagGuard guard(syncing_);
        view_->setExpanded(model_->indexForKey(key), expanded);
    });
    // A node expanded before it had children: the view, which only lays out nodes with children
    // when it expands everything at once, shows its first child expanded as the node is.
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& under, int first) {
        if (first != 0 || !under.isValid() || syncing_ || !model_->expanded(model_->keyForIndex(under))
            || view_->isExpanded(under))
            return;
        FlagGuard guard(syncing_);
        view_->setExpanded(under, true);
    });
    // Connected after the view's own handler: a reset has already cleared the view's state.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { restoreViewState(); });
}

KeyedTree::~KeyedTree() = default;

void KeyedTree::refresh() { view_->viewport()->update(); }

void KeyedTree::showSelection(const QString& key)
{
    FlagGuard guard(syncing_);
    QItemSelectionModel* selection = view_->selectionModel();
    const QModelIndex index = model_->indexForKey(key);
    if (!index.isValid()) {
        selection->clearSelection();
        return;
    }
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    view_->scrollTo(index);
}

void KeyedTree::restoreViewState()
{
    {
        // Right after a reset the view only records these (its layout is still pending), so
        // this stays linear even for very large trees.
        FlagGuard guard(syncing_);
        if (model_->allParentsExpanded()) {
            // One pass that lays the whole tree out, instead of one request per node.
            view_->expandAll();
        } else {
            const QVector<QModelIndex> expandedIndexes = model_->expandedModelIndexes();
            for (const QModelIndex& index : expandedIndexes)
                view_->setExpanded(index, true);
        }
    }
    if (!model_->selectedKey().isEmpty())
        showSelection(model_->selectedKey());
}

void KeyedTree::takeViewSelection()
{
    if (syncing_)
        return;
    const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    const QString key = selected.isEmpty() ? QString() : model_->keyForIndex(selected.first());
    FlagGuard guard(syncing_);
    model_->setSelected(key);
}

}  // namespace quarvel
