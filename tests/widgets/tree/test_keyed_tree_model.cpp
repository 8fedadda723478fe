// The node model of the keyed tree, without a view.

#include "widgets/tree/KeyedTreeModel.h"

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace quarvel;

namespace {

QIcon colouredIcon(Qt::GlobalColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

// ROOT
// +- S1
// |  +- S11
// |  |  +- S111
// |  +- S12
// +- S2
//    +- S21
void addSample(KeyedTreeModel& model)
{
    QVERIFY(model.addNode(QString(), "ROOT", "资料类型索引", 1).ok());
    QVERIFY(model.addNode("ROOT", "S1", "1 管理", 1).ok());
    QVERIFY(model.addNode("ROOT", "S2", "2 技术", 1).ok());
    QVERIFY(model.addNode("S1", "S11", "11 制度", 1).ok());
    QVERIFY(model.addNode("S2", "S21", "21 图纸", 1).ok());
    QVERIFY(model.addNode("S1", "S12", "12 流程", 1).ok());
    QVERIFY(model.addNode("S11", "S111", "111 人事", 1).ok());
}

TreeNodeSpec makeNode(const QString& key, const QString& parentKey, const QString& text = QString())
{
    TreeNodeSpec node;
    node.key = key;
    node.parentKey = parentKey;
    node.text = text.isEmpty() ? key : text;
    return node;
}

}  // namespace

class TestKeyedTreeModel : public QObject {
    Q_OBJECT

private slots:
    // Adding and finding nodes
    void indexesFollowInsertionOrder();
    void keysAreCaseSensitive();
    void nodeInfoCopiesTheNode();
    void duplicateKeyIsRefused();
    void missingParentIsRefused();
    void emptyKeyIsRefused();
    void errorNumbersAreDistinct();
    void missingKeysAreHarmless();

    // Structure
    void childrenKeepInsertionOrder();
    void modelRowsMatchTheNodes();
    void descendantsAreDepthFirst();
    void descendantsOfADeepChain();

    // Node properties
    void checkMarksSetByTheProgramAreSilent();
    void userToggleSendsNodeCheckToggled();
    void checkBoxesOffRefuseToggles();
    void allCheckedAndCheckedKeys();
    void branchCheckTouchesOnlyTheBranch();
    void tagsAndTexts();
    void picturesIndexTheImageList();
    void expandedState();
    void byNodeNumber();

    // Selection
    void selectionIsSingleAndExpandsAncestors();
    void selectingAMissingKeyFails();

    // Clearing and loading
    void clearRestartsNumbering();
    void loadAddsInOrderWithAllFields();
    void loadStopsAtTheFirstBadNode();
    void largeLoadStopsAtTheFirstBadNode();
    void updateSendsOneReset();
    void hundredThousandNodes();

    // Model checks
    void modelTesterThroughAllOperations();
};

// Adding and finding nodes ----------------------------------------------------------------------

void TestKeyedTreeModel::indexesFollowInsertionOrder()
{
    KeyedTreeModel model;
    addSample(model);
    QCOMPARE(model.count(), 7);
    const QStringList expected{"ROOT", "S1", "S2", "S11", "S21", "S12", "S111"};
    QCOMPARE(model.keys(), expected);
    for (int i = 1; i <= expected.size(); ++i) {
        QCOMPARE(model.keyAt(i), expected[i - 1]);
        QCOMPARE(model.indexOf(expected[i - 1]), i);
        QCOMPARE(model.nodeByIndex(i)->key, expected[i - 1]);
        QCOMPARE(model.data(model.indexForKey(expected[i - 1]), KeyedTreeModel::NodeIndexRole).toInt(), i);
    }
    QCOMPARE(model.keyAt(0), QString());
    QCOMPARE(model.keyAt(8), QString());
    QVERIFY(!model.nodeByIndex(0));
    QVERIFY(!model.nodeByIndex(8));

    const TreeAddResult added = model.addNode("S2", "S22", "22 标准");
    QVERIFY(added.ok());
    QCOMPARE(added.index, 8);
}

void TestKeyedTreeModel::keysAreCaseSensitive()
{
    KeyedTreeModel model;
    QVERIFY(model.addNode(QString(), "S1", "upper").ok());
    QVERIFY(model.addNode(QString(), "s1", "lower").ok());
    QVERIFY(model.addNode(QString(), "S1 ", "with blank").ok());
    QCOMPARE(model.text("S1"), QString("upper"));
    QCOMPARE(model.text("s1"), QString("lower"));
    QCOMPARE(model.text("S1 "), QString("with blank"));
    QVERIFY(!model.contains("s1 "));
}

void TestKeyedTreeModel::nodeInfoCopiesTheNode()
{
    KeyedTreeModel model;
    addSample(model);
    model.setTag("S1", "OK");
    model.setChecked("S1", true);
    model.setSelected("S1");
    const auto node = model.nodeByKey("S1");
    QVERIFY(node);
    QCOMPARE(node->index, 2);
    QCOMPARE(node->key, QString("S1"));
    QCOMPARE(node->text, QString("1 管理"));
    QCOMPARE(node->parentKey, QString("ROOT"));
    QCOMPARE(node->tag, QString("OK"));
    QCOMPARE(node->picture, 1);
    QVERIFY(node->checked);
    QVERIFY(node->selected);
    QCOMPARE(node->childCount, 2);
    QVERIFY(!model.nodeByKey("S9"));
    QCOMPARE(model.nodeByKey("ROOT")->parentKey, QString());
    QVERIFY(model.nodeByKey("ROOT")->expanded);  // ancestor of the selected node
}

void TestKeyedTreeModel::duplicateKeyIsRefused()
{
    KeyedTreeModel model;
    addSample(model);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsAboutToBeInserted);

    const TreeAddResult result = model.addNode("S2", "S11", "another");
    QVERIFY(!result.ok());
    QCOMPARE(result.index, 0);
    QCOMPARE(result.error.number, 35602);
    QCOMPARE(result.error.code(), TreeErrorCode::KeyNotUnique);
    QVERIFY(!result.error.description.isEmpty());
    QCOMPARE(result.error.key, QString("S11"));

    QCOMPARE(inserted.count(), 0);
    QCOMPARE(model.count(), 7);
    QCOMPARE(model.text("S11"), QString("11 制度"));
    QCOMPARE(model.parentKey("S11"), QString("S1"));
    QCOMPARE(model.childKeys("S2"), QStringList{"S21"});
    QCOMPARE(model.rowCount(model.indexForKey("S2")), 1);
}

void TestKeyedTreeModel::missingParentIsRefused()
{
    KeyedTreeModel model;
    addSample(model);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsAboutToBeInserted);

    const TreeAddResult result = model.addNode("S9", "S91", "orphan");
    QVERIFY(!result.ok());
    QCOMPARE(result.error.number, 35601);
    QCOMPARE(result.error.code(), TreeErrorCode::ElementNotFound);
    QCOMPARE(result.error.key, QString("S9"));
    QVERIFY(!result.error.description.isEmpty());
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(model.count(), 7);
    QVERIFY(!model.contains("S91"));

    // Parent keys are case-sensitive too.
    QCOMPARE(model.addNode("s1", "S13", "x").error.number, 35601);
}

void TestKeyedTreeModel::emptyKeyIsRefused()
{
    KeyedTreeModel model;
    const TreeAddResult result = model.addNode(QString(), QString(), "no key");
    QCOMPARE(result.error.code(), TreeErrorCode::InvalidKey);
    QCOMPARE(model.count(), 0);
}

void TestKeyedTreeModel::errorNumbersAreDistinct()
{
    const TreeError notFound = TreeError::make(TreeErrorCode::ElementNotFound);
    const TreeError notUnique = TreeError::make(TreeErrorCode::KeyNotUnique);
    const TreeError invalid = TreeError::make(TreeErrorCode::InvalidKey);
    QVERIFY(notFound.number != notUnique.number);
    QVERIFY(notFound.number != invalid.number);
    QVERIFY(notUnique.number != invalid.number);
    QVERIFY(notFound.description != notUnique.description);
    QVERIFY(notFound.description != invalid.description);
    QVERIFY(notFound.isSet() && notUnique.isSet() && invalid.isSet());
    QVERIFY(!TreeError().isSet());
    QCOMPARE(KeyedTreeModel::elementNotFound("G1").number, 35601);
    QCOMPARE(KeyedTreeModel::elementNotFound("G1").key, QString("G1"));
}

void TestKeyedTreeModel::missingKeysAreHarmless()
{
    KeyedTreeModel model;
    addSample(model);
    QVERIFY(!model.setText("X", "t"));
    QVERIFY(!model.setPicture("X", 2));
    QVERIFY(!model.setTag("X", "t"));
    QVERIFY(!model.setChecked("X", true));
    QVERIFY(!model.setExpanded("X", true));
    QCOMPARE(model.text("X"), QString());
    QCOMPARE(model.picture("X"), 0);
    QCOMPARE(model.indexOf("X"), 0);
    QCOMPARE(model.parentKey("X"), QString());
    QCOMPARE(model.childKeys("X"), QStringList());
    QCOMPARE(model.childCount("X"), 0);
    QCOMPARE(model.descendants("X"), QStringList());
    QVERIFY(!model.indexForKey("X").isValid());
    QCOMPARE(model.keyForIndex(QModelIndex()), QString());
}

// Structure ------------------------------------------------------------------------------------

void TestKeyedTreeModel::childrenKeepInsertionOrder()
{
    KeyedTreeModel model;
    addSample(model);
    QCOMPARE(model.childKeys(QString()), QStringList{"ROOT"});
    QCOMPARE(model.childKeys("ROOT"), (QStringList{"S1", "S2"}));
    QCOMPARE(model.childKeys("S1"), (QStringList{"S11", "S12"}));
    QCOMPARE(model.childKeys("S111"), QStringList());
    QCOMPARE(model.childCount(QString()), 1);
    QCOMPARE(model.childCount("S1"), 2);
    QCOMPARE(model.childCount("S12"), 0);
    QCOMPARE(model.parentKey("S12"), QString("S1"));
    QCOMPARE(model.parentKey("S111"), QString("S11"));
    QCOMPARE(model.parentKey("ROOT"), QString());

    // A later child goes last, even when its key sorts first.
    QVERIFY(model.addNode("S1", "S10", "10 a").ok());
    QCOMPARE(model.childKeys("S1"), (QStringList{"S11", "S12", "S10"}));
}

void TestKeyedTreeModel::modelRowsMatchTheNodes()
{
    KeyedTreeModel model;
    addSample(model);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.columnCount(), 1);
    const QModelIndex root = model.index(0, 0);
    QCOMPARE(model.keyForIndex(root), QString("ROOT"));
    QCOMPARE(model.rowCount(root), 2);
    const QModelIndex s1 = model.index(0, 0, root);
    const QModelIndex s12 = model.index(1, 0, s1);
    QCOMPARE(s12.data().toString(), QString("12 流程"));
    QCOMPARE(s12.data(KeyedTreeModel::KeyRole).toString(), QString("S12"));
    QCOMPARE(s12.parent(), s1);
    QCOMPARE(model.indexForKey("S12"), s12);
    QCOMPARE(model.indexForKey("S2").row(), 1);
    QVERIFY(model.hasChildren(s1));
    QVERIFY(!model.hasChildren(s12));
    QVERIFY(!model.index(2, 0, root).isValid());
    QVERIFY(!model.index(0, 1, root).isValid());
    QVERIFY(!(model.flags(s1) & Qt::ItemIsEditable));
}

void TestKeyedTreeModel::descendantsAreDepthFirst()
{
    KeyedTreeModel model;
    addSample(model);
    QVERIFY(model.addNode("S12", "S121", "121").ok());
    QCOMPARE(model.descendants("ROOT"), (QStringList{"S1", "S11", "S111", "S12", "S121", "S2", "S21"}));
    QCOMPARE(model.descendants("S1"), (QStringList{"S11", "S111", "S12", "S121"}));
    QCOMPARE(model.descendants("S21"), QStringList());
}

void TestKeyedTreeModel::descendantsOfADeepChain()
{
    KeyedTreeModel model;
    QVector<TreeNodeSpec> chain;
    constexpr int depth = 50000;
    for (int i = 0; i < depth; ++i)
        chain.append(makeNode(QString::number(i), i == 0 ? QString() : QString::number(i - 1)));
    QCOMPARE(model.load(chain).added, depth);
    const QStringList below = model.descendants("0");
    QCOMPARE(below.size(), depth - 1);
    QCOMPARE(below.first(), QString("1"));
    QCOMPARE(below.last(), QString::number(depth - 1));
}

// Node properties ------------------------------------------------------------------------------

void TestKeyedTreeModel::checkMarksSetByTheProgramAreSilent()
{
    KeyedTreeModel model;
    model.setCheckBoxes(true);
    addSample(model);
    QSignalSpy toggled(&model, &KeyedTreeModel::nodeCheckToggled);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QVERIFY(model.setChecked("S11", true));
    QVERIFY(model.checked("S11"));
    QVERIFY(!model.checked("S1"));
    QCOMPARE(model.indexForKey("S11").data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(model.indexForKey("S1").data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(toggled.count(), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).value<QModelIndex>(), model.indexForKey("S11"));

    // Setting the same state again changes nothing.
    QVERIFY(model.setChecked("S11", true));
    QCOMPARE(changed.count(), 1);
}

void TestKeyedTreeModel::userToggleSendsNodeCheckToggled()
{
    KeyedTreeModel model;
    model.setCheckBoxes(true);
    addSample(model);
    QSignalSpy toggled(&model, &KeyedTreeModel::nodeCheckToggled);
    const QModelIndex s1 = model.indexForKey("S1");
    QVERIFY(model.flags(s1) & Qt::ItemIsUserCheckable);

    QVERIFY(model.setData(s1, Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model.checked("S1"));
    QCOMPARE(toggled.count(), 1);
    QCOMPARE(toggled.at(0).at(0).toString(), QString("S1"));
    QCOMPARE(toggled.at(0).at(1).toBool(), true);

    QVERIFY(model.setData(s1, QVariant::fromValue(Qt::Unchecked), Qt::CheckStateRole));
    QVERIFY(!model.checked("S1"));
    QCOMPARE(toggled.count(), 2);
    QCOMPARE(toggled.at(1).at(1).toBool(), false);

    // A user toggle does not reach the children: propagation is the caller's business.
    QVERIFY(model.setData(s1, Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!model.checked("S11"));

    // Other roles are not editable.
    QVERIFY(!model.setData(s1, "new text", Qt::EditRole));
    QCOMPARE(model.text("S1"), QString("1 管理"));
}

// Ticking a branch marks every node below it and tells views of those nodes only: no reset, no
// change outside the branch, no toggle signals (the marks are the program's).
void TestKeyedTreeModel::branchCheckTouchesOnlyTheBranch()
{
    KeyedTreeModel model;
    model.setCheckBoxes(true);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    addSample(model);
    model.setChecked("S12", true);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy toggled(&model, &KeyedTreeModel::nodeCheckToggled);

    QVERIFY(model.setDescendantsChecked("S1", true));
    QCOMPARE(model.checkedKeys(), QStringList({"S11", "S12", "S111"}));
    QVERIFY(!model.checked("S1"));
    QCOMPARE(reset.count(), 0);
    QCOMPARE(toggled.count(), 0);
    // S11 under S1 (S12 was checked already), then S111 under S11.
    QCOMPARE(changed.count(), 2);
    QSet<QString> told;
    for (const QList<QVariant>& args : std::as_const(changed)) {
        const QModelIndex from = args.at(0).toModelIndex();
        const QModelIndex to = args.at(1).toModelIndex();
        QCOMPARE(from.parent(), to.parent());
        for (int r = from.row(); r <= to.row(); ++r)
            told.insert(model.keyForIndex(model.index(r, 0, from.parent())));
        QCOMPARE(args.at(2).value<QList<int>>(), QList<int>({Qt::CheckStateRole}));
    }
    QCOMPARE(told, QSet<QString>({"S11", "S111"}));

    // Nothing changes: nothing is told. A leaf has nothing below it; a missing key fails.
    changed.clear();
    QVERIFY(model.setDescendantsChecked("S1", true));
    QVERIFY(model.setDescendantsChecked("S21", false));
    QCOMPARE(changed.count(), 0);
    QVERIFY(!model.setDescendantsChecked("S9", true));

    QVERIFY(model.setDescendantsChecked("ROOT", false));
    QVERIFY(model.checkedKeys().isEmpty());
    QCOMPARE(reset.count(), 0);
}

void TestKeyedTreeModel::checkBoxesOffRefuseToggles()
{
    KeyedTreeModel model;
    addSample(model);
    QSignalSpy toggled(&model, &KeyedTreeModel::nodeCheckToggled);
    const QModelIndex s1 = model.indexForKey("S1");
    QVERIFY(!(model.flags(s1) & Qt::ItemIsUserCheckable));
    QVERIFY(!s1.data(Qt::CheckStateRole).isValid());
    QVERIFY(!model.setData(s1, Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(toggled.count(), 0);

    // The program may still keep check marks without check boxes.
    model.setChecked("S1", true);
    QVERIFY(model.checked("S1"));
    model.setCheckBoxes(true);
    QCOMPARE(s1.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
}

void TestKeyedTreeModel::allCheckedAndCheckedKeys()
{
    KeyedTreeModel model;
    model.setCheckBoxes(true);
    addSample(model);
    QSignalSpy toggled(&model, &KeyedTreeModel::nodeCheckToggled);
    model.setChecked("S111", true);
    model.setChecked("S1", true);
    QCOMPARE(model.checkedKeys(), (QStringList{"S1", "S111"}));  // index order, not ticking order
    model.setAllChecked(true);
    QCOMPARE(model.checkedKeys(), model.keys());
    model.setAllChecked(false);
    QCOMPARE(model.checkedKeys(), QStringList());
    QCOMPARE(toggled.count(), 0);
}

void TestKeyedTreeModel::tagsAndTexts()
{
    KeyedTreeModel model;
    addSample(model);
    QCOMPARE(model.tag("S1"), QString());
    QVERIFY(model.setTag("S1", "OK"));
    QCOMPARE(model.tag("S1"), QString("OK"));
    QCOMPARE(model.indexForKey("S1").data(KeyedTreeModel::TagRole).toString(), QString("OK"));
    QCOMPARE(model.tag("S2"), QString());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setText("S2", "2 技术资料"));
    QCOMPARE(model.text("S2"), QString("2 技术资料"));
    QCOMPARE(model.indexForKey("S2").data().toString(), QString("2 技术资料"));
    QCOMPARE(changed.count(), 1);
}

void TestKeyedTreeModel::picturesIndexTheImageList()
{
    KeyedTreeModel model;
    addSample(model);
    QVERIFY(model.addNode("S2", "S22", "22", 0).ok());
    const QModelIndex s1 = model.indexForKey("S1");
    // No image list yet: no icon, but the number is kept.
    QVERIFY(!s1.data(Qt::DecorationRole).isValid());
    QCOMPARE(model.picture("S1"), 1);

    const QIcon red = colouredIcon(Qt::red);
    const QIcon blue = colouredIcon(Qt::blue);
    model.setImageList({red, blue});
    QCOMPARE(s1.data(Qt::DecorationRole).value<QIcon>().cacheKey(), red.cacheKey());
    QVERIFY(!model.indexForKey("S22").data(Qt::DecorationRole).isValid());

    QVERIFY(model.setPicture("S1", 2));
    QCOMPARE(model.picture("S1"), 2);
    QCOMPARE(s1.data(KeyedTreeModel::PictureRole).toInt(), 2);
    QCOMPARE(s1.data(Qt::DecorationRole).value<QIcon>().cacheKey(), blue.cacheKey());

    // A number beyond the list is kept and shows no icon.
    QVERIFY(model.setPicture("S1", 3));
    QCOMPARE(model.picture("S1"), 3);
    QVERIFY(!s1.data(Qt::DecorationRole).isValid());
}

void TestKeyedTreeModel::expandedState()
{
    KeyedTreeModel model;
    addSample(model);
    QSignalSpy spy(&model, &KeyedTreeModel::nodeExpandedChanged);
    QVERIFY(!model.expanded("S1"));
    QVERIFY(model.setExpanded("S1", true));
    QVERIFY(model.expanded("S1"));
    QCOMPARE(spy.count(), 1);
    QVERIFY(model.setExpanded("S1", true));
    QCOMPARE(spy.count(), 1);
    QVERIFY(!model.expanded("ROOT"));  // expanding does not reach the ancestors

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.setAllExpanded(true);
    QCOMPARE(reset.count(), 1);
    for (const QString& key : model.keys())
        QVERIFY(model.expanded(key));
    QCOMPARE(model.expandedModelIndexes().size(), model.count());
    model.setAllExpanded(false);
    QVERIFY(model.expandedModelIndexes().isEmpty());
}

void TestKeyedTreeModel::byNodeNumber()
{
    KeyedTreeModel model;
    addSample(model);
    const int s1 = model.indexOf("S1");
    QCOMPARE(model.keyRef(s1), QString("S1"));
    QCOMPARE(model.textRef(s1), model.text("S1"));
    QCOMPARE(model.childCountAt(s1), model.childCount("S1"));
    QVERIFY(model.keyRef(0).isEmpty());
    QVERIFY(model.textRef(model.count() + 1).isEmpty());
    QCOMPARE(model.childCountAt(model.count() + 1), 0);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setPictureAt(s1, 2));
    QCOMPARE(model.picture("S1"), 2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model.indexForKey("S1"));
    QVERIFY(model.setPictureAt(s1, 2));
    QCOMPARE(changed.count(), 1);  // unchanged: no signal
    QVERIFY(!model.setPictureAt(0, 1));
    QVERIFY(!model.setPictureAt(model.count() + 1, 1));

    model.setAllPictures(3);
    for (const QString& key : model.keys())
        QCOMPARE(model.picture(key), 3);

    // Every node with children expanded, leaves or not.
    QVERIFY(!model.allParentsExpanded());
    for (const QString& key : model.keys()) {
        if (model.childCount(key) > 0)
            model.setExpanded(key, true);
    }
    QVERIFY(model.allParentsExpanded());
    model.setExpanded("S1", false);
    QVERIFY(!model.allParentsExpanded());
    KeyedTreeModel flat;
    flat.addNode({}, "A", "a");
    flat.setAllExpanded(true);
    QVERIFY(!flat.allParentsExpanded());  // nothing to expand
}

// Selection ------------------------------------------------------------------------------------

void TestKeyedTreeModel::selectionIsSingleAndExpandsAncestors()
{
    KeyedTreeModel model;
    addSample(model);
    QSignalSpy spy(&model, &KeyedTreeModel::selectedNodeChanged);
    QCOMPARE(model.selectedKey(), QString());

    QVERIFY(model.setSelected("S111"));
    QCOMPARE(model.selectedKey(), QString("S111"));
    QVERIFY(model.isSelected("S111"));
    QVERIFY(model.expanded("S11"));
    QVERIFY(model.expanded("S1"));
    QVERIFY(model.expanded("ROOT"));
    QVERIFY(!model.expanded("S2"));
    QVERIFY(!model.expanded("S111"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QString("S111"));

    QVERIFY(model.setSelected("S2"));
    QVERIFY(!model.isSelected("S111"));
    QVERIFY(model.nodeByKey("S2")->selected);
    QVERIFY(!model.nodeByKey("S111")->selected);
    QCOMPARE(spy.count(), 2);

    QVERIFY(model.setSelected("S2"));  // already selected: no signal
    QCOMPARE(spy.count(), 2);

    model.clearSelection();
    QCOMPARE(model.selectedKey(), QString());
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(2).at(0).toString(), QString());
}

void TestKeyedTreeModel::selectingAMissingKeyFails()
{
    KeyedTreeModel model;
    addSample(model);
    model.setSelected("S1");
    QVERIFY(!model.setSelected("S9"));
    QCOMPARE(model.selectedKey(), QString("S1"));
}

// Clearing and loading -------------------------------------------------------------------------

void TestKeyedTreeModel::clearRestartsNumbering()
{
    KeyedTreeModel model;
    addSample(model);
    model.setSelected("S12");
    QSignalSpy selection(&model, &KeyedTreeModel::selectedNodeChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    model.clear();
    QCOMPARE(model.count(), 0);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.selectedKey(), QString());
    QVERIFY(!model.contains("S1"));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(selection.count(), 1);

    const TreeAddResult again = model.addNode(QString(), "S1", "1 again");
    QVERIFY(again.ok());
    QCOMPARE(again.index, 1);
    QCOMPARE(model.keyAt(1), QString("S1"));
    QCOMPARE(model.childKeys("S1"), QStringList());
}

void TestKeyedTreeModel::loadAddsInOrderWithAllFields()
{
    KeyedTreeModel model;
    QVector<TreeNodeSpec> nodes{makeNode("$1", QString(), "1 总部"), makeNode("$11", "$1", "11 财务部"),
                                makeNode("G001", "$11", "会计 张三")};
    nodes[0].picture = 1;
    nodes[0].expanded = true;
    nodes[1].tag = "OK";
    nodes[2].picture = 2;
    nodes[2].checked = true;
    QSignalSpy toggled(&model, &KeyedTreeModel::nodeCheckToggled);

    const TreeLoadResult result = model.load(nodes);
    QVERIFY(result.ok());
    QCOMPARE(result.added, 3);
    QCOMPARE(model.keys(), (QStringList{"$1", "$11", "G001"}));
    QVERIFY(model.expanded("$1"));
    QVERIFY(!model.expanded("$11"));
    QCOMPARE(model.tag("$11"), QString("OK"));
    QCOMPARE(model.picture("G001"), 2);
    QVERIFY(model.checked("G001"));
    QCOMPARE(model.parentKey("G001"), QString("$11"));
    QCOMPARE(toggled.count(), 0);

    // A second load adds to what is there.
    QCOMPARE(model.load({makeNode("G002", "$11")}).added, 1);
    QCOMPARE(model.indexOf("G002"), 4);
}

void TestKeyedTreeModel::loadStopsAtTheFirstBadNode()
{
    KeyedTreeModel model;
    const QVector<TreeNodeSpec> orphan{makeNode("S1", QString()), makeNode("S2", QString()), makeNode("S11", "S1"),
                                       makeNode("S31", "S3"), makeNode("S3", QString())};
    TreeLoadResult result = model.load(orphan);
    QVERIFY(!result.ok());
    QCOMPARE(result.added, 3);
    QCOMPARE(result.error.code(), TreeErrorCode::ElementNotFound);
    QCOMPARE(result.error.key, QString("S3"));
    QCOMPARE(model.keys(), (QStringList{"S1", "S2", "S11"}));

    model.clear();
    const QVector<TreeNodeSpec> twice{makeNode("S1", QString()), makeNode("S1", QString(), "again"),
                                      makeNode("S2", QString())};
    result = model.load(twice);
    QCOMPARE(result.added, 1);
    QCOMPARE(result.error.code(), TreeErrorCode::KeyNotUnique);
    QCOMPARE(model.keys(), QStringList{"S1"});
    QCOMPARE(model.text("S1"), QString("S1"));

    // An empty list is a successful load of nothing.
    result = model.load({});
    QVERIFY(result.ok());
    QCOMPARE(result.added, 0);
}

void TestKeyedTreeModel::largeLoadStopsAtTheFirstBadNode()
{
    // Large enough to be loaded with a reset instead of single insertions.
    KeyedTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVector<TreeNodeSpec> nodes;
    for (int i = 0; i < 1000; ++i)
        nodes.append(makeNode(QString::number(i), i < 10 ? QString() : QString::number(i % 10)));
    nodes[700].parentKey = "missing";
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    const TreeLoadResult result = model.load(nodes);
    QCOMPARE(result.added, 700);
    QCOMPARE(result.error.code(), TreeErrorCode::ElementNotFound);
    QCOMPARE(model.count(), 700);
    QCOMPARE(model.keyAt(700), QString("699"));
    QVERIFY(!model.contains("700"));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(model.rowCount(model.indexForKey("3")), 69);
}

void TestKeyedTreeModel::updateSendsOneReset()
{
    KeyedTreeModel model;
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    {
        KeyedTreeModel::UpdateGuard outer(model);
        addSample(model);
        {
            KeyedTreeModel::UpdateGuard inner(model);
            model.setPicture("S1", 3);
            model.setExpanded("S1", true);
        }
        QVERIFY(model.isUpdating());
        QCOMPARE(reset.count(), 0);
        model.clear();
        addSample(model);
    }
    QVERIFY(!model.isUpdating());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(model.count(), 7);
    QCOMPARE(model.rowCount(model.indexForKey("S1")), 2);

    // Outside an update each node is its own insertion.
    model.addNode("S2", "S22", "22");
    QCOMPARE(inserted.count(), 1);
}

void TestKeyedTreeModel::hundredThousandNodes()
{
    KeyedTreeModel model;
    QVector<TreeNodeSpec> nodes;
    constexpr int departments = 1000;
    constexpr int perDepartment = 99;
    nodes.reserve(departments * (perDepartment + 1));
    for (int d = 0; d < departments; ++d) {
        const QString dept = "$" + QString::number(d);
        nodes.append(makeNode(dept, QString(), QString::number(d) + " 部门"));
        for (int p = 0; p < perDepartment; ++p)
            nodes.append(makeNode("G" + QString::number(d * perDepartment + p), dept));
    }
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    const TreeLoadResult result = model.load(nodes);
    QVERIFY(result.ok());
    QCOMPARE(result.added, 100000);
    QCOMPARE(model.count(), 100000);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), departments);
    QCOMPARE(model.keyAt(100000), QString("G98999"));
    QCOMPARE(model.indexOf("G98999"), 100000);
    QCOMPARE(model.parentKey("G98999"), QString("$999"));
    QCOMPARE(model.childCount("$500"), perDepartment);
    QCOMPARE(model.indexForKey("G98999").row(), perDepartment - 1);

    model.setAllChecked(true);
    QCOMPARE(model.checkedKeys().size(), 100000);
    QCOMPARE(model.addNode("$999", "G0", "dup").error.code(), TreeErrorCode::KeyNotUnique);
    const TreeAddResult more = model.addNode("$999", "G100000", "one more");
    QCOMPARE(more.index, 100001);
}

// Model checks ---------------------------------------------------------------------------------

void TestKeyedTreeModel::modelTesterThroughAllOperations()
{
    KeyedTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    addSample(model);
    model.setImageList({colouredIcon(Qt::red), colouredIcon(Qt::green)});
    model.setCheckBoxes(true);
    model.setText("S1", "1 changed");
    model.setPicture("S12", 2);
    model.setTag("S12", "OK");
    model.setChecked("S11", true);
    model.setData(model.indexForKey("S2"), Qt::Checked, Qt::CheckStateRole);
    model.setAllChecked(true);
    model.setAllExpanded(true);
    model.setSelected("S111");
    QVERIFY(model.addNode("S111", "S1111", "deep").ok());
    QVERIFY(!model.addNode("S111", "S1111", "twice").ok());
    model.setCheckBoxes(false);
    model.clear();
    QVector<TreeNodeSpec> nodes;
    for (int i = 0; i < 600; ++i)
        nodes.append(makeNode("N" + QString::number(i), i == 0 ? QString() : "N" + QString::number((i - 1) / 3)));
    QCOMPARE(model.load(nodes).added, 600);
    model.setAllChecked(false);
    {
        KeyedTreeModel::UpdateGuard guard(model);
        model.addNode("N5", "X", "x");
    }
    QCOMPARE(model.count(), 601);
}

QTEST_MAIN(TestKeyedTreeModel)
#include "test_keyed_tree_model.moc"
