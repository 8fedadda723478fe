// The keyed tree widget: the view kept in step with the node model, and the user's actions.

#include "widgets/tree/KeyedTree.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>

using namespace quarvel;

namespace {

// $1 总部
// +- $11 财务部
// |  +- G001 会计
// +- $12 人事部
// $2 分厂
void addSample(KeyedTree& tree)
{
    QVERIFY(tree.addNode(QString(), "$1", "1 总部", 1).ok());
    QVERIFY(tree.addNode("$1", "$11", "11 财务部", 1).ok());
    QVERIFY(tree.addNode("$1", "$12", "12 人事部", 1).ok());
    QVERIFY(tree.addNode("$11", "G001", "会计 张三", 2).ok());
    QVERIFY(tree.addNode(QString(), "$2", "2 分厂", 1).ok());
}

QPoint centreOf(KeyedTree& tree, const QString& key)
{
    return tree.view()->visualRect(tree.model()->indexForKey(key)).center();
}

// A double click as the window system delivers it: a click, then the double-click event.
void doubleClick(KeyedTree& tree, const QString& key)
{
    const QPoint at = centreOf(tree, key);
    QTest::mouseClick(tree.view()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree.view()->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class TestKeyedTree : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Mouse and keyboard
    void clickSelectsAndSendsNodeClicked();
    void clickOnEmptySpaceSendsNothing();
    void doubleClickSendsNodeDoubleClicked();
    void keyboardToggleOfACheckBox();
    void mouseToggleOfACheckBoxIsNoNodeClick();
    void programCheckMarksSendNoNodeChecked();

    // Model and view in step
    void selectingByProgramShowsTheNode();
    void clearingTheSelection();
    void expandingBothWays();
    void expandedChildlessNodeShowsLaterChildren();
    void resetKeepsExpandedAndSelected();
    void wholeTreeExpandedAtOnce();
    void clearEmptiesViewAndSelection();
    void checkBoxesFollowTheSetting();
    void hundredThousandNodesInTheView();
    void loadInAClickHandler();

private:
    KeyedTree* tree_ = nullptr;
    QAbstractItemModelTester* tester_ = nullptr;
};

void TestKeyedTree::init()
{
    tree_ = new KeyedTree;
    tree_->resize(300, 400);
    tester_ = new QAbstractItemModelTester(tree_->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    tree_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tree_));
}

void TestKeyedTree::cleanup()
{
    delete tester_;
    tester_ = nullptr;
    delete tree_;
    tree_ = nullptr;
}

// Mouse and keyboard ---------------------------------------------------------------------------

void TestKeyedTree::clickSelectsAndSendsNodeClicked()
{
    addSample(*tree_);
    tree_->setExpanded("$1", true);
    QSignalSpy clicked(tree_, &KeyedTree::nodeClicked);
    QSignalSpy selection(tree_, &KeyedTree::selectionChanged);
    QString selectedDuringClick;
    connect(tree_, &KeyedTree::nodeClicked, this, [&] { selectedDuringClick = tree_->selectedKey(); });

    QTest::mouseClick(tree_->view()->viewport(), Qt::LeftButton, {}, centreOf(*tree_, "$12"));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toString(), QString("$12"));
    QCOMPARE(tree_->selectedKey(), QString("$12"));
    QCOMPARE(selectedDuringClick, QString("$12"));  // the clicked node is selected when the handler runs
    QCOMPARE(selection.count(), 1);
    QCOMPARE(selection.at(0).at(0).toString(), QString("$12"));

    // Clicking the selected node again is still a node click.
    QTest::mouseClick(tree_->view()->viewport(), Qt::LeftButton, {}, centreOf(*tree_, "$12"));
    QCOMPARE(clicked.count(), 2);
    QCOMPARE(selection.count(), 1);

    QTest::mouseClick(tree_->view()->viewport(), Qt::LeftButton, {}, centreOf(*tree_, "$2"));
    QCOMPARE(clicked.at(2).at(0).toString(), QString("$2"));
    QVERIFY(tree_->isSelected("$2"));
    QVERIFY(!tree_->isSelected("$12"));
}

void TestKeyedTree::clickOnEmptySpaceSendsNothing()
{
    addSample(*tree_);
    QSignalSpy clicked(tree_, &KeyedTree::nodeClicked);
    QTest::mouseClick(tree_->view()->viewport(), Qt::LeftButton, {}, QPoint(100, 380));
    QCOMPARE(clicked.count(), 0);
}

void TestKeyedTree::doubleClickSendsNodeDoubleClicked()
{
    addSample(*tree_);
    QSignalSpy doubleClicked(tree_, &KeyedTree::nodeDoubleClicked);
    doubleClick(*tree_, "$2");
    QCOMPARE(doubleClicked.count(), 1);
    QCOMPARE(doubleClicked.at(0).at(0).toString(), QString("$2"));
}

void TestKeyedTree::keyboardToggleOfACheckBox()
{
    tree_->setCheckBoxes(true);
    addSample(*tree_);
    tree_->setSelected("$2");
    QSignalSpy checked(tree_, &KeyedTree::nodeChecked);
    tree_->view()->setFocus();

    QTest::keyClick(tree_->view(), Qt::Key_Space);
    QCOMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toString(), QString("$2"));
    QCOMPARE(checked.at(0).at(1).toBool(), true);
    QVERIFY(tree_->checked("$2"));

    QTest::keyClick(tree_->view(), Qt::Key_Space);
    QCOMPARE(checked.count(), 2);
    QCOMPARE(checked.at(1).at(1).toBool(), false);
    QVERIFY(!tree_->checked("$2"));
}

void TestKeyedTree::mouseToggleOfACheckBoxIsNoNodeClick()
{
    tree_->setCheckBoxes(true);
    addSample(*tree_);
    QSignalSpy checked(tree_, &KeyedTree::nodeChecked);
    QSignalSpy clicked(tree_, &KeyedTree::nodeClicked);
    QTreeView* view = tree_->view();

    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(tree_->model()->indexForKey("$2"));
    option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QVERIFY(box.isValid());

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
    QCOMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toString(), QString("$2"));
    QVERIFY(tree_->checked("$2"));
    QCOMPARE(clicked.count(), 0);

    // A click on the box neither selects the node nor counts as a node click; the next click on
    // the node's text does both, also after a keyboard toggle.
    QCOMPARE(tree_->selectedKey(), QString());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(*tree_, "$2"));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(tree_->selectedKey(), QString("$2"));
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(checked.count(), 2);
    QVERIFY(!tree_->checked("$2"));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(*tree_, "$2"));
    QCOMPARE(clicked.count(), 2);
    QCOMPARE(checked.count(), 2);
}

void TestKeyedTree::programCheckMarksSendNoNodeChecked()
{
    tree_->setCheckBoxes(true);
    addSample(*tree_);
    QSignalSpy checked(tree_, &KeyedTree::nodeChecked);

    // A handler that passes the user's mark on to the descendants, as the windows do.
    connect(tree_, &KeyedTree::nodeChecked, this, [this](const QString& key, bool on) {
        for (const QString& below : tree_->descendants(key))
            tree_->setChecked(below, on);
    });
    tree_->model()->setData(tree_->model()->indexForKey("$1"), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(checked.count(), 1);
    QCOMPARE(tree_->checkedKeys(), (QStringList{"$1", "$11", "$12", "G001"}));

    tree_->setChecked("$2", true);
    tree_->setAllChecked(false);
    QCOMPARE(checked.count(), 1);
}

// Model and view in step -----------------------------------------------------------------------

void TestKeyedTree::selectingByProgramShowsTheNode()
{
    addSample(*tree_);
    QSignalSpy selection(tree_, &KeyedTree::selectionChanged);
    QVERIFY(tree_->setSelected("G001"));
    QCOMPARE(selection.count(), 1);
    QCOMPARE(selection.at(0).at(0).toString(), QString("G001"));

    QTreeView* view = tree_->view();
    const QModelIndex g001 = tree_->model()->indexForKey("G001");
    QCOMPARE(view->selectionModel()->selectedIndexes(), QModelIndexList{g001});
    QCOMPARE(view->currentIndex(), g001);
    QVERIFY(view->isExpanded(tree_->model()->indexForKey("$1")));
    QVERIFY(view->isExpanded(tree_->model()->indexForKey("$11")));
    QVERIFY(view->viewport()->rect().contains(view->visualRect(g001).center()));
    QVERIFY(tree_->expanded("$11"));
}

void TestKeyedTree::clearingTheSelection()
{
    addSample(*tree_);
    tree_->setSelected("$2");
    QSignalSpy selection(tree_, &KeyedTree::selectionChanged);
    tree_->clearSelection();
    QCOMPARE(tree_->selectedKey(), QString());
    QVERIFY(tree_->view()->selectionModel()->selectedIndexes().isEmpty());
    QCOMPARE(selection.count(), 1);
    QCOMPARE(selection.at(0).at(0).toString(), QString());

    // The user's selection reaches the model, and its removal too.
    QItemSelectionModel* viewSelection = tree_->view()->selectionModel();
    viewSelection->select(tree_->model()->indexForKey("$1"), QItemSelectionModel::ClearAndSelect);
    QCOMPARE(tree_->selectedKey(), QString("$1"));
    viewSelection->clearSelection();
    QCOMPARE(tree_->selectedKey(), QString());
}

void TestKeyedTree::expandingBothWays()
{
    addSample(*tree_);
    QTreeView* view = tree_->view();
    const QModelIndex dept = tree_->model()->indexForKey("$1");

    tree_->setExpanded("$1", true);
    QVERIFY(view->isExpanded(dept));
    tree_->setExpanded("$1", false);
    QVERIFY(!view->isExpanded(dept));

    // The user expands and collapses in the view.
    view->setExpanded(dept, true);
    QVERIFY(tree_->expanded("$1"));
    view->collapse(dept);
    QVERIFY(!tree_->expanded("$1"));

    // A double click on a node with children toggles it, as users expect.
    doubleClick(*tree_, "$1");
    QVERIFY(view->isExpanded(dept));
    QVERIFY(tree_->expanded("$1"));

    // Every node is expanded: those with children in the view too (a view records no leaf as
    // expanded; a leaf that gains children shows them, see the next test).
    tree_->setAllExpanded(true);
    for (const QString& key : tree_->keys()) {
        QVERIFY(tree_->expanded(key));
        if (!tree_->childKeys(key).isEmpty())
            QCOMPARE(view->isExpanded(tree_->model()->indexForKey(key)), true);
    }
}

void TestKeyedTree::expandedChildlessNodeShowsLaterChildren()
{
    // Departments are expanded before their positions are loaded on the first click.
    addSample(*tree_);
    tree_->setExpanded("$1", true);
    tree_->setExpanded("$12", true);
    QVERIFY(tree_->addNode("$12", "G002", "专员 李四", 2).ok());
    QVERIFY(tree_->addNode("$12", "G003", "专员 ", 2).ok());
    const QModelIndex g003 = tree_->model()->indexForKey("G003");
    QVERIFY(tree_->expanded("$12"));
    QVERIFY(tree_->view()->visualRect(g003).isValid());
    QCOMPARE(tree_->childKeys("$12"), (QStringList{"G002", "G003"}));
}

void TestKeyedTree::resetKeepsExpandedAndSelected()
{
    addSample(*tree_);
    tree_->setExpanded("$1", true);
    tree_->setSelected("$12");
    QSignalSpy selection(tree_, &KeyedTree::selectionChanged);
    QTreeView* view = tree_->view();
    {
        KeyedTreeModel::UpdateGuard guard(*tree_->model());
        tree_->addNode("$2", "$21", "21 车间");
        tree_->setExpanded("$2", true);
    }
    QVERIFY(view->isExpanded(tree_->model()->indexForKey("$1")));
    QVERIFY(view->isExpanded(tree_->model()->indexForKey("$2")));
    QVERIFY(!view->isExpanded(tree_->model()->indexForKey("$11")));
    QCOMPARE(view->selectionModel()->selectedIndexes(), QModelIndexList{tree_->model()->indexForKey("$12")});
    QCOMPARE(tree_->selectedKey(), QString("$12"));
    QCOMPARE(selection.count(), 0);
}

void TestKeyedTree::wholeTreeExpandedAtOnce()
{
    addSample(*tree_);
    tree_->setSelected("G001");
    tree_->setAllExpanded(true);
    QTreeView* view = tree_->view();
    for (const char* key : {"$1", "$11"})
        QVERIFY(view->isExpanded(tree_->model()->indexForKey(key)));
    QCOMPARE(tree_->selectedKey(), QString("G001"));
    QCOMPARE(view->selectionModel()->selectedIndexes(), QModelIndexList{tree_->model()->indexForKey("G001")});
    // A node that was expanded without children shows the children it gets later.
    QVERIFY(tree_->expanded("$12"));
    QVERIFY(tree_->addNode("$12", "G002", "专员 李四", 2).ok());
    QVERIFY(view->isExpanded(tree_->model()->indexForKey("$12")));
    QVERIFY(view->visualRect(tree_->model()->indexForKey("G002")).isValid());
    // Collapsing by the user still reaches the model.
    view->collapse(tree_->model()->indexForKey("$11"));
    QVERIFY(!tree_->expanded("$11"));
}

void TestKeyedTree::clearEmptiesViewAndSelection()
{
    addSample(*tree_);
    tree_->setSelected("G001");
    QSignalSpy selection(tree_, &KeyedTree::selectionChanged);
    tree_->clear();
    QCOMPARE(tree_->count(), 0);
    QCOMPARE(tree_->view()->model()->rowCount(), 0);
    QCOMPARE(tree_->selectedKey(), QString());
    QCOMPARE(selection.count(), 1);
    QVERIFY(tree_->view()->selectionModel()->selectedIndexes().isEmpty());

    addSample(*tree_);
    QCOMPARE(tree_->indexOf("$1"), 1);
    QCOMPARE(tree_->selectedKey(), QString());
}

void TestKeyedTree::checkBoxesFollowTheSetting()
{
    addSample(*tree_);
    tree_->setChecked("$1", true);
    const QModelIndex dept = tree_->model()->indexForKey("$1");
    QVERIFY(!dept.data(Qt::CheckStateRole).isValid());
    tree_->setCheckBoxes(true);
    QVERIFY(tree_->checkBoxes());
    QCOMPARE(dept.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    tree_->setCheckBoxes(false);
    QVERIFY(!dept.data(Qt::CheckStateRole).isValid());
    QVERIFY(tree_->checked("$1"));
}

void TestKeyedTree::hundredThousandNodesInTheView()
{
    delete tester_;  // the tester would walk every row after the reset
    tester_ = nullptr;
    QVector<TreeNodeSpec> nodes;
    nodes.reserve(100000);
    for (int d = 0; d < 1000; ++d) {
        TreeNodeSpec dept;
        dept.key = "$" + QString::number(d);
        dept.text = QString::number(d);
        dept.picture = 1;
        dept.expanded = true;
        nodes.append(dept);
        for (int p = 0; p < 99; ++p) {
            TreeNodeSpec position;
            position.key = "G" + QString::number(d * 99 + p);
            position.parentKey = dept.key;
            position.text = position.key;
            position.picture = 2;
            nodes.append(position);
        }
    }
    QSignalSpy reset(tree_->model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(tree_->model(), &QAbstractItemModel::rowsInserted);
    const TreeLoadResult result = tree_->load(nodes);
    QVERIFY(result.ok());
    QCOMPARE(result.added, 100000);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QVERIFY(tree_->view()->isExpanded(tree_->model()->indexForKey("$999")));

    tree_->setSelected("G98999");
    const QModelIndex last = tree_->model()->indexForKey("G98999");
    QCOMPARE(tree_->view()->currentIndex(), last);
    QVERIFY(tree_->view()->viewport()->rect().contains(tree_->view()->visualRect(last).center()));
}

void TestKeyedTree::loadInAClickHandler()
{
    // The position lists are loaded when a department is first clicked.
    addSample(*tree_);
    connect(tree_, &KeyedTree::nodeClicked, this, [this](const QString& key) {
        if (!tree_->tag(key).isEmpty() || tree_->picture(key) != 1)
            return;
        QVector<TreeNodeSpec> positions;
        for (int i = 0; i < 300; ++i) {  // enough for a reset
            TreeNodeSpec position;
            position.key = "G" + key.mid(1) + "-" + QString::number(i);
            position.parentKey = key;
            position.text = position.key;
            position.picture = 2;
            positions.append(position);
        }
        QVERIFY(tree_->load(positions).ok());
        tree_->setTag(key, "OK");
    });
    QTest::mouseClick(tree_->view()->viewport(), Qt::LeftButton, {}, centreOf(*tree_, "$2"));
    QCOMPARE(tree_->childCount("$2"), 300);
    QCOMPARE(tree_->tag("$2"), QString("OK"));
    QCOMPARE(tree_->selectedKey(), QString("$2"));
    QTest::mouseClick(tree_->view()->viewport(), Qt::LeftButton, {}, centreOf(*tree_, "$2"));
    QCOMPARE(tree_->childCount("$2"), 300);
}

QTEST_MAIN(TestKeyedTree)
#include "test_keyed_tree.moc"
