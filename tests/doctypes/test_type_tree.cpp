#include "TestSupport.h"

#include "doctypes/TypeTree.h"
#include "doctypes/TypeTreeView.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace quarvel;
using namespace quarvel::test;

class TypeTreeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;


    void permit(const QString& type, const QString& position)
    {
        QVERIFY(db->insert(QStringLiteral("资料上传权限"),
                           {{QStringLiteral("文件编号"), type}, {QStringLiteral("岗位代号"), position}}));
    }

    static QStringList childTexts(const KeyedTree& tree, const QString& key)
    {
        QStringList out;
        for (const QString& k : tree.childKeys(key))
            out << tree.text(k);
        return out;
    }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
    }
    void cleanup() { db.reset(); }

    void siblingsShorterCodesFirst()
    {
        db->addType(QStringLiteral("A"), QStringLiteral("制度"), {}, 0);
        db->addType(QStringLiteral("10"), QStringLiteral("十"), QStringLiteral("A"), 1);
        db->addType(QStringLiteral("2"), QStringLiteral("二"), QStringLiteral("A"), 1);
        db->addType(QStringLiteral("1"), QStringLiteral("一"), QStringLiteral("A"), 1);
        KeyedTree tree;
        QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::Browse).isSet());
        QCOMPARE(childTexts(tree, QStringLiteral("SA")), QStringList({"1 一", "2 二", "10 十"}));
        QCOMPARE(tree.childKeys(QString()), QStringList({"SA"}));
        QCOMPARE(tree.picture(QStringLiteral("S10")), 1);
    }

    void trailingBlanksStayInTheTextOnly()
    {
        db->addType(QStringLiteral("01  "), QStringLiteral("合同"), {}, 0, QStringLiteral("说明甲"));
        db->addType(QStringLiteral("0101"), QStringLiteral("销售合同"), QStringLiteral("01  "), 1);
        KeyedTree tree;
        TextArray descriptions;
        QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::Settings, &descriptions).isSet());
        QVERIFY(tree.contains(QStringLiteral("S01")));
        QCOMPARE(tree.text(QStringLiteral("S01")), QStringLiteral("01   合同"));
        QCOMPARE(TypeCodeFromText(tree.text(QStringLiteral("S01"))), QStringLiteral("01"));
        QCOMPARE(tree.parentKey(QStringLiteral("S0101")), QStringLiteral("S01"));
        QCOMPARE(tree.parentKey(QStringLiteral("S01")), QStringLiteral("ROOT"));
        QCOMPARE(descriptions.toList(), QStringList({QString(), QString(), QStringLiteral("说明甲"), QString()}));
        QCOMPARE(TypeCodeFromKey(QStringLiteral("ROOT")), QStringLiteral("OOT"));
    }

    void emptyTable()
    {
        KeyedTree settings;
        QVERIFY(!LoadTypeTree(settings, TypeTreeVariant::Settings).isSet());
        QCOMPARE(settings.count(), 1);
        QCOMPARE(settings.text(QStringLiteral("ROOT")), QStringLiteral("资料类型索引"));
        KeyedTree browse;
        QVERIFY(!LoadTypeTree(browse, TypeTreeVariant::Browse).isSet());
        QCOMPARE(browse.count(), 0);
    }

    void orphanOrLateParentStopsTheLoad()
    {
        db->addType(QStringLiteral("01"), QStringLiteral("甲"), {}, 0);
        db->addType(QStringLiteral("02"), QStringLiteral("乙"), {}, 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("甲一"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0901"), QStringLiteral("孤儿"), QStringLiteral("09"), 1);
        db->addType(QStringLiteral("0201"), QStringLiteral("乙一"), QStringLiteral("02"), 1);
        KeyedTree tree;
        const DbError e = LoadTypeTree(tree, TypeTreeVariant::UploadPermission);
        QCOMPARE(e.number, 35601);
        QVERIFY(!e.description.isEmpty());
        QCOMPARE(tree.keys(), QStringList({"S01", "S02", "S0101", "S0201"}));  // 0901 sorts last
    }

    void loadShowsTheWaitPointerAndRestoresIt()
    {
        db->addType(QStringLiteral("01"), QStringLiteral("甲"), {}, 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("甲一"), QStringLiteral("01"), 1);
        KeyedTree tree;
        // Seen from within the work: the model is reset while the rows are read.
        QList<bool> waiting;
        connect(tree.model(), &QAbstractItemModel::modelAboutToBeReset, this, [&waiting] {
            waiting << (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        });
        QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::Browse).isSet());
        QVERIFY(!LoadAndMarkTypeTree(tree, TypeTreeVariant::UploadPermission, [&] {
                     waiting << (QApplication::overrideCursor() != nullptr);
                     markLeavesAndVoided(tree, {});
                     return DbError{};
                 }).isSet());
        QCOMPARE(waiting, QList<bool>({true, true, true}));  // one reset each, and the marking
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(tree.picture(QStringLiteral("S0101")), 2);

        // Also when the statement fails.
        QVERIFY(db->exec(QStringLiteral("drop table 资料类型")));
        waiting.clear();
        QVERIFY(LoadTypeTree(tree, TypeTreeVariant::Browse).isSet());
        QCOMPARE(waiting, QList<bool>({true}));
        QVERIFY(!QApplication::overrideCursor());
    }

    void repeatedTrimmedCodeStopsTheLoad()
    {
        db->addType(QStringLiteral("01"), QStringLiteral("甲"), {}, 0);
        db->addType(QStringLiteral("01 "), QStringLiteral("甲二"), {}, 0);
        KeyedTree tree;
        QCOMPARE(LoadTypeTree(tree, TypeTreeVariant::Browse).number, 35602);
        QCOMPARE(tree.count(), 1);
    }

    void settingsMarking()
    {
        db->addType(QStringLiteral("01"), QStringLiteral("甲"), {}, 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("甲一"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0102"), QStringLiteral("甲二"), QStringLiteral("01"), 1, {}, true);
        db->addType(QStringLiteral("0103"), QStringLiteral("甲三"), QStringLiteral("01"), 1);
        permit(QStringLiteral("0101"), QStringLiteral("G1"));
        permit(QStringLiteral("0101"), QStringLiteral("G2"));
        permit(QStringLiteral("0102"), QStringLiteral("G1"));
        permit(QStringLiteral("OOT"), QStringLiteral("G1"));
        KeyedTree tree;
        QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::Settings).isSet());
        const DbResult<TypeMarks> marks = TypeTree::marks(TypeTreeVariant::Settings);
        QVERIFY(marks.ok());
        markTypeSettings(tree, marks.value);
        QCOMPARE(tree.picture(QStringLiteral("ROOT")), 1);
        QCOMPARE(tree.picture(QStringLiteral("S01")), 1);
        QCOMPARE(tree.picture(QStringLiteral("S0101")), 2);
        QCOMPARE(tree.picture(QStringLiteral("S0102")), 3);  // voided wins over permissions
        QCOMPARE(tree.picture(QStringLiteral("S0103")), 1);
        QVERIFY(tree.expanded(QStringLiteral("S01")));
    }

    void uploadMarkingForThePosition()
    {
        db->addType(QStringLiteral("01"), QStringLiteral("甲"), {}, 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("甲一"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0102"), QStringLiteral("甲二"), QStringLiteral("01"), 1, {}, true);
        permit(QStringLiteral("0101"), QStringLiteral("G'1"));
        permit(QStringLiteral("0102"), QStringLiteral("G'1"));
        permit(QStringLiteral("01"), QStringLiteral("G2"));
        KeyedTree tree;
        QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::Upload).isSet());
        QCOMPARE(tree.picture(QStringLiteral("S01")), 2);
        markUploadTypes(tree, TypeTree::marks(TypeTreeVariant::Upload, QStringLiteral("G'1")).value);
        QCOMPARE(tree.picture(QStringLiteral("S01")), 2);
        QCOMPARE(tree.picture(QStringLiteral("S0101")), 1);
        QCOMPARE(tree.picture(QStringLiteral("S0102")), 3);

        // The super user has no position: nothing is uploadable.
        markUploadTypes(tree, TypeTree::marks(TypeTreeVariant::Upload, QString()).value);
        for (const QString& key : tree.keys())
            QVERIFY(tree.picture(key) != 1);
    }

    void superUserMatchesRowsWithAnEmptyPosition()
    {
        db->addType(QStringLiteral("01"), QStringLiteral("甲"), {}, 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("甲一"), QStringLiteral("01"), 1);
        permit(QStringLiteral("0101"), QString(""));
        permit(QStringLiteral("01"), QStringLiteral("G1"));
        // The super user's position code: empty, and null as the user context leaves it.
        for (const QString& position : {QString(), QString("")}) {
            const DbResult<TypeMarks> marks = TypeTree::marks(TypeTreeVariant::Upload, position);
            QVERIFY(marks.ok());
            QCOMPARE(marks.value.permittedCodes, QStringList{QStringLiteral("0101")});
            KeyedTree tree;
            QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::Upload).isSet());
            markUploadTypes(tree, marks.value);
            QCOMPARE(tree.picture(QStringLiteral("S0101")), 1);
            QCOMPARE(tree.picture(QStringLiteral("S01")), 2);
        }
    }

    void orphanRowStillGetsTheRestMarked()
    {
        db->addType(QStringLiteral("01"), QStringLiteral("甲"), {}, 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("甲一"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0102"), QStringLiteral("甲二"), QStringLiteral("01"), 1, {}, true);
        db->addType(QStringLiteral("0901"), QStringLiteral("孤儿"), QStringLiteral("09"), 1);
        db->addType(QStringLiteral("0999"), QStringLiteral("其后"), QStringLiteral("01"), 1);
        permit(QStringLiteral("0101"), QStringLiteral("G1"));
        KeyedTree tree;
        int marked = 0;
        const DbError e = LoadAndMarkTypeTree(tree, TypeTreeVariant::Upload, [&] {
            ++marked;
            markUploadTypes(tree, TypeTree::marks(TypeTreeVariant::Upload, QStringLiteral("G1")).value);
            return DbError{};
        });
        QCOMPARE(e.number, 35601);
        QCOMPARE(marked, 1);
        QCOMPARE(tree.keys(), QStringList({"S01", "S0101", "S0102"}));  // the load stops at 0901
        QCOMPARE(tree.picture(QStringLiteral("S0101")), 1);
        QCOMPARE(tree.picture(QStringLiteral("S0102")), 3);
        QVERIFY(tree.expanded(QStringLiteral("S01")));

        // The load's failure comes first; without one, the marking's.
        const DbError markingFailed{7, QStringLiteral("marking")};
        QCOMPARE(LoadAndMarkTypeTree(tree, TypeTreeVariant::Upload, [&] { return markingFailed; }).number, 35601);
        QVERIFY(db->exec(QStringLiteral("delete from 资料类型 where 编号 = '0901'")));
        QCOMPARE(LoadAndMarkTypeTree(tree, TypeTreeVariant::Upload, [&] { return markingFailed; }).description,
                 QStringLiteral("marking"));
        QCOMPARE(tree.count(), 4);

        // A failed statement leaves nothing to mark.
        QVERIFY(db->exec(QStringLiteral("drop table 资料类型")));
        marked = 0;
        QVERIFY(LoadAndMarkTypeTree(tree, TypeTreeVariant::Upload, [&] {
                    ++marked;
                    return DbError{};
                }).isSet());
        QCOMPARE(marked, 0);
    }

    void codesWithOuterBlanksAreMarked()
    {
        db->addType(QStringLiteral(" 01"), QStringLiteral("甲"), {}, 0, {}, true);
        db->addType(QStringLiteral("02  "), QStringLiteral("乙"), {}, 0, {}, true);
        db->addType(QStringLiteral("03"), QStringLiteral("丙"), {}, 0);
        db->addType(QStringLiteral("04"), QStringLiteral("丁"), {}, 0);
        permit(QStringLiteral("03 "), QStringLiteral("G1"));
        permit(QStringLiteral("04"), QStringLiteral("G1"));
        KeyedTree tree;
        QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::Settings).isSet());
        markTypeSettings(tree, TypeTree::marks(TypeTreeVariant::Settings).value);
        QCOMPARE(tree.picture(QStringLiteral("S01")), 3);
        QCOMPARE(tree.picture(QStringLiteral("S02")), 3);
        QCOMPARE(tree.picture(QStringLiteral("S03")), 2);
        QCOMPARE(tree.picture(QStringLiteral("S04")), 2);
        QCOMPARE(tree.picture(QStringLiteral("ROOT")), 1);
    }

    void uploadPermissionMarking()
    {
        db->addType(QStringLiteral("01"), QStringLiteral("甲"), {}, 0, {}, true);
        db->addType(QStringLiteral("02"), QStringLiteral("乙"), {}, 0);
        db->addType(QStringLiteral("0201"), QStringLiteral("乙一"), QStringLiteral("02"), 1);
        KeyedTree tree;
        QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::UploadPermission).isSet());
        const auto voided = TypeTree::voidedCodes();
        QVERIFY(voided.ok());
        markLeavesAndVoided(tree, voided.value);
        QCOMPARE(tree.keyAt(1), QStringLiteral("S01"));
        QCOMPARE(tree.picture(QStringLiteral("S01")), 4);  // the first node, voided
        QCOMPARE(tree.picture(QStringLiteral("S02")), 3);
        QCOMPARE(tree.picture(QStringLiteral("S0201")), 2);
    }

    void propagationReachesEveryDepthAndBack()
    {
        db->addType(QStringLiteral("01"), QStringLiteral("甲"), {}, 0);
        db->addType(QStringLiteral("02"), QStringLiteral("乙"), {}, 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("甲一"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("010101"), QStringLiteral("甲一一"), QStringLiteral("0101"), 2);
        db->addType(QStringLiteral("01010101"), QStringLiteral("甲一一一"), QStringLiteral("010101"), 3);
        KeyedTree tree;
        tree.setCheckBoxes(true);
        QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::Browse).isSet());
        // A tick touches the branch only: the view is never reset (it keeps what the user
        // expanded or collapsed).
        QSignalSpy reset(tree.model(), &QAbstractItemModel::modelReset);
        tree.view()->collapse(tree.model()->indexForKey(QStringLiteral("S0101")));
        tree.setChecked(QStringLiteral("S01"), true);
        子节点联动(tree, QStringLiteral("S01"));
        QCOMPARE(reset.count(), 0);
        QVERIFY(!tree.view()->isExpanded(tree.model()->indexForKey(QStringLiteral("S0101"))));
        QCOMPARE(tree.checkedKeys(), QStringList({"S01", "S0101", "S010101", "S01010101"}));
        tree.setChecked(QStringLiteral("S010101"), false);
        子节点联动(tree, QStringLiteral("S010101"));
        QCOMPARE(tree.checkedKeys(), QStringList({"S01", "S0101"}));  // parents never change
        tree.setChecked(QStringLiteral("S01"), false);
        子节点联动(tree, QStringLiteral("S01"));
        QVERIFY(tree.checkedKeys().isEmpty());
    }

    void moreThan32766TypesLoad()
    {
        QSqlDatabase fixture = db->fixtureConnection();
        fixture.transaction();
        db->addType(QStringLiteral("R"), QStringLiteral("根"), {}, 0);
        for (int i = 0; i < 40000; ++i)
            db->exec(QStringLiteral("insert into 资料类型 (编号, 名称, 上级编号, 级别) values (?, ?, 'R', 1)"),
                     {QStringLiteral("R%1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("类型%1").arg(i)});
        fixture.commit();
        KeyedTree tree;
        TextArray descriptions;
        QVERIFY(!LoadTypeTree(tree, TypeTreeVariant::Settings, &descriptions).isSet());
        QCOMPARE(tree.count(), 40002);
        QCOMPARE(descriptions.size(), 40003);
        QCOMPARE(tree.indexOf(QStringLiteral("SR39999")), 40002);
        markTypeSettings(tree, TypeTree::marks(TypeTreeVariant::Settings).value);
        QCOMPARE(tree.picture(QStringLiteral("SR39999")), 1);
    }
};

QTEST_MAIN(TypeTreeTest)
#include "test_type_tree.moc"
