#pragma once

#include "widgets/tree/KeyedTreeModel.h"
#include "widgets/tree/TreeTypes.h"

#include <QWidget>

class QTreeView;

namespace quarvel {

// A tree view whose nodes are reached by key and by 1-based insertion index.
//
// The nodes live in a KeyedTreeModel (model()); this widget shows them in a QTreeView
// (view()) and keeps the model's expanded and selected state and the view's in step both
// ways. The functions below forward to the model; see KeyedTreeModel for their rules.
//
// Signals:
//  - nodeClicked / nodeDoubleClicked: the user clicked a node with the mouse; a click on a
//    check box only toggles the check mark: it neither selects the node nor is a node click;
//  - nodeChecked: the user ticked or unticked a node's check box; check marks set by the
//    program (setChecked, setAllChecked, load) do not send it;
//  - selectionChanged: the selected node changed, by the user or the program (empty key when
//    no node is selected).
class KeyedTree : public QWidget {
    Q_OBJECT

public:
    explicit KeyedTree(QWidget* parent = nullptr);
    ~KeyedTree() override;

    KeyedTreeModel* model() const { return model_; }
    QTreeView* view() const { return view_; }

    // Building
    TreeAddResult addNode(const QString& parentKey, const QString& key, const QString& text, int picture = 0)
    {
        return model_->addNode(parentKey, key, text, picture);
    }
    TreeLoadResult load(const QVector<TreeNodeSpec>& nodes) { return model_->load(nodes); }
    void clear() { model_->clear(); }
    void beginUpdate() { model_->beginUpdate(); }
    void endUpdate() { model_->endUpdate(); }

    // Lookup
    int count() const { return model_->count(); }
    bool contains(const QString& key) const { return model_->contains(key); }
    int indexOf(const QString& key) const { return model_->indexOf(key); }
    QString keyAt(int index) const { return model_->keyAt(index); }
    QStringList keys() const { return model_->keys(); }
    const QString& keyRef(int index) const { return model_->keyRef(index); }
    const QString& textRef(int index) const { return model_->textRef(index); }
    std::optional<TreeNodeInfo> nodeByKey(const QString& key) const { return model_->nodeByKey(key); }
    std::optional<TreeNodeInfo> nodeByIndex(int index) const { return model_->nodeByIndex(index); }
    QString parentKey(const QString& key) const { return model_->parentKey(key); }
    QStringList childKeys(const QString& key) const { return model_->childKeys(key); }
    int childCount(const QString& key) const { return model_->childCount(key); }
    int childCountAt(int index) const { return model_->childCountAt(index); }
    QStringList descendants(const QString& key) const { return model_->descendants(key); }

    // Node properties
    QString text(const QString& key) const { return model_->text(key); }
    bool setText(const QString& key, const QString& text) { return model_->setText(key, text); }
    int picture(const QString& key) const { return model_->picture(key); }
    bool setPicture(const QString& key, int picture) { return model_->setPicture(key, picture); }
    bool setPictureAt(int index, int picture) { return model_->setPictureAt(index, picture); }
    void setAllPictures(int picture) { model_->setAllPictures(picture); }
    QString tag(const QString& key) const { return model_->tag(key); }
    bool setTag(const QString& key, const QString& tag) { return model_->setTag(key, tag); }
    bool checked(const QString& key) const { return model_->checked(key); }
    bool setChecked(const QString& key, bool checked) { return model_->setChecked(key, checked); }
    void setAllChecked(bool checked) { model_->setAllChecked(checked); }
    bool setDescendantsChecked(const QString& key, bool checked) { return model_->setDescendantsChecked(key, checked); }
    QStringList checkedKeys() const { return model_->checkedKeys(); }
    bool expanded(const QString& key) const { return model_->expanded(key); }
    bool setExpanded(const QString& key, bool expanded) { return model_->setExpanded(key, expanded); }
    void setAllExpanded(bool expanded) { model_->setAllExpanded(expanded); }

    // Selection
    QString selectedKey() const { return model_->selectedKey(); }
    bool isSelected(const QString& key) const { return model_->isSelected(key); }
    bool setSelected(const QString& key) { return model_->setSelected(key); }
    void clearSelection() { model_->clearSelection(); }

    // Display
    void setImageList(const QList<QIcon>& images) { model_->setImageList(images); }
    QList<QIcon> imageList() const { return model_->imageList(); }
    void setCheckBoxes(bool on) { model_->setCheckBoxes(on); }
    bool checkBoxes() const { return model_->checkBoxes(); }
    void refresh();  // redraws the visible nodes

signals:
    void nodeClicked(const QString& key);
    void nodeDoubleClicked(const QString& key);
    void nodeChecked(const QString& key, bool checked);
    void selectionChanged(const QString& key);

private:
    void showSelection(const QString& key);
    void restoreViewState();
    void takeViewSelection();

    KeyedTreeModel* model_;
    QTreeView* view_;
    bool syncing_ = false;            // true while one side is being brought in step with the other
    bool toggledSincePress_ = false;  // a check box was toggled since the last mouse press
};

}  // namespace quarvel
