#include "DirectoryFixture.h"

#include "db/Connection.h"
#include "directory/DepartmentTree.h"
#include "platform/MessageBoxes.h"
#include "widgets/tree/KeyedTree.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class DepartmentTreeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<DatedOrganisation> org;
    std::unique_ptr<KeyedTree> tree;
    std::unique_ptr<QAbstractItemModelTester> tester;
    QVector<DepartmentEntry> departments;

    // Departments A (A1, A2 below it) and B; positions in A1 and B, none in A2.
    void standardOrganisation()
    {
        org->department(QStringLiteral("A"), QStringLiteral("总部"));
        org->child(QStringLiteral("A1"), QStringLiteral("A"));
        org->child(QStringLiteral("A2"), QStringLiteral("A"));
        org->department(QStringLiteral("B"), QStringLiteral("工厂"));
        org->employee(QStringLiteral("E1"), QStringLiteral("张三"), QStringLiteral("Zhang San"));
        org->employee(QStringLiteral("E2"), QStringLiteral("李四"));
        db->addPosition(QStringLiteral("P12"), QStringLiteral("会计"), QStringLiteral("A1"), QStringLiteral("E1"));
        db->addPosition(QStringLiteral("P11"), QStringLiteral("出纳"), QStringLiteral("A1"));
        db->addPosition(QStringLiteral("P13"), QStringLiteral("文员"), QStringLiteral("A1"), QStringLiteral("E2"));
        db->addPosition(QStringLiteral("P14"), QStringLiteral("已撤"), QStringLiteral("A1"), QStringLiteral("E2"));
        org->closePosition(QStringLiteral("P14"));
        db->addPosition(QStringLiteral("PB1"), QStringLiteral("厂长"), QStringLiteral("B"), QStringLiteral("E2"));
    }

    QStringList childTexts(const QString& key) const
    {
        QStringList out;
        for (const QString& k : tree->childKeys(key))
            out << tree->text(k);
        return out;
    }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        org = std::make_unique<DatedOrganisation>(DatedOrganisation{*db});
        tree = std::make_unique<KeyedTree>();
        tester = std::make_unique<QAbstractItemModelTester>(tree->model(),
                                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        departments.clear();
    }

    void cleanup()
    {
        tester.reset();
        tree.reset();
        org.reset();
        SharedConnection::release();
        db.reset();
    }

    // Departments ------------------------------------------------------------------------------

    void loadFillsTreeAndDepartments()
    {
        standardOrganisation();
        org->child(QStringLiteral("10"), QStringLiteral("B"));
        org->child(QStringLiteral("2"), QStringLiteral("B"));
        org->child(QStringLiteral("1"), QStringLiteral("B"));
        const DbError error = LoadDepartmentTree(*tree, departments);
        QVERIFY2(!error.isSet(), qPrintable(error.description));
        // Statement order: by length of the code, then the code.
        QStringList codes;
        for (const DepartmentEntry& e : std::as_const(departments))
            codes << e.code;
        QCOMPARE(codes, (QStringList{"1", "2", "A", "B", "10", "A1", "A2"}));
        QCOMPARE(tree->keys(), (QStringList{"$A", "$A1", "$A2", "$B", "$1", "$2", "$10"}));
        QCOMPARE(tree->childKeys(QStringLiteral("$B")), (QStringList{"$1", "$2", "$10"}));
        QCOMPARE(tree->childKeys(QString()), (QStringList{"$A", "$B"}));
        const auto node = tree->nodeByKey(QStringLiteral("$A"));
        QVERIFY(node);
        QCOMPARE(node->text, QStringLiteral("A 总部"));
        QCOMPARE(node->picture, 1);
        QVERIFY(node->tag.isEmpty());
        QCOMPARE(node->index, 1);
    }

    void duplicateDepartmentIsReportedOnceAndTheTreeGoesOn()
    {
        org->department(QStringLiteral("A"));
        org->department(QStringLiteral("B"));
        org->department(QStringLiteral("X"));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2021, 5, 1));
        org->parentRow(QStringLiteral("X"), QStringLiteral("B"), DatedOrganisation::day(2021, 5, 1));
        org->department(QStringLiteral("Y"));
        org->parentRow(QStringLiteral("Y"), QStringLiteral("B"), DatedOrganisation::day(2021, 5, 1));
        org->parentRow(QStringLiteral("Y"), QStringLiteral("B"), DatedOrganisation::day(2021, 5, 1));
        org->child(QStringLiteral("X1"), QStringLiteral("X"));
        org->child(QStringLiteral("B1"), QStringLiteral("B"));
        org->child(QStringLiteral("B11"), QStringLiteral("B1"));
        const DbError error = LoadDepartmentTree(*tree, departments);
        QCOMPARE(error.number, 35602);
        QCOMPARE(departments.size(), 9);
        // Every department once, where first reached; the departments after the repeats still come.
        QCOMPARE(tree->keys(), (QStringList{"$A", "$X", "$X1", "$B", "$Y", "$B1", "$B11"}));
        QCOMPARE(tree->parentKey(QStringLiteral("$X")), QStringLiteral("$A"));
        QCOMPARE(tree->childKeys(QStringLiteral("$B")), (QStringList{"$Y", "$B1"}));
        // One failure names them all.
        QVERIFY(error.description.startsWith(TreeError::describe(TreeErrorCode::KeyNotUnique)));
        QVERIFY2(error.description.contains(QStringLiteral("“X”、“Y”")), qPrintable(error.description));
    }

    void failedStatementKeepsWhatWasThere()
    {
        departments = {{QStringLiteral("old"), QStringLiteral("旧"), QString()}};
        tree->addNode(QString(), QStringLiteral("$old"), QStringLiteral("old 旧"), 1);
        QVERIFY(db->exec(QStringLiteral("drop table 上级部门new")));
        const DbError error = LoadDepartmentTree(*tree, departments);
        QVERIFY(error.isSet());
        QVERIFY(!error.description.isEmpty());
        QCOMPARE(departments.size(), 1);
        QCOMPARE(tree->keys(), QStringList{QStringLiteral("$old")});
    }

    void initClearsLoadsAndSelectsFirst()
    {
        standardOrganisation();
        tree->addNode(QString(), QStringLiteral("$stale"), QStringLiteral("stale"), 1);
        const DbError error = InitDepartmentTree(*tree, departments);
        QVERIFY(!error.isSet());
        QVERIFY(!tree->contains(QStringLiteral("$stale")));
        QCOMPARE(tree->count(), 4);
        QCOMPARE(tree->selectedKey(), QStringLiteral("$A"));
    }

    void initOfEmptyTableSelectsNothing()
    {
        tree->addNode(QString(), QStringLiteral("$stale"), QStringLiteral("stale"), 1);
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        QCOMPARE(tree->count(), 0);
        QVERIFY(tree->selectedKey().isEmpty());
        QVERIFY(departments.isEmpty());
    }

    void initPassesFailureOn()
    {
        org->department(QStringLiteral("A"));
        org->department(QStringLiteral("X"));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2021));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2021));
        const DbError error = InitDepartmentTree(*tree, departments);
        QCOMPARE(error.number, 35602);
        QCOMPARE(tree->keys(), (QStringList{"$A", "$X"}));
        QVERIFY(tree->selectedKey().isEmpty());
    }

    void initReportsFailureAndStillSelects()
    {
        org->department(QStringLiteral("A"));
        org->department(QStringLiteral("X"));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2021));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2021));
        ScriptedMessages messages;
        InitDepartmentTree(*tree, departments, messages, nullptr);
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.shown[0].text.startsWith(TreeError::describe(TreeErrorCode::KeyNotUnique)));
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("“X”")));
        QCOMPARE(messages.shown[0].title, executableTitle());
        QCOMPARE(messages.shown[0].icon, MsgIcon::Information);
        QCOMPARE(messages.shown[0].buttons, MsgButtons::Ok);
        QCOMPARE(tree->selectedKey(), QStringLiteral("$A"));

        // A load without failure shows nothing.
        QVERIFY(db->exec(QStringLiteral("delete from 上级部门new where rowid = (select max(rowid) from 上级部门new)")));
        InitDepartmentTree(*tree, departments, messages, nullptr);
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(tree->keys(), (QStringList{"$A", "$X"}));
    }

    void cycleDoesNotHang()
    {
        org->department(QStringLiteral("T"));
        org->child(QStringLiteral("P"), QStringLiteral("Q"));
        org->child(QStringLiteral("Q"), QStringLiteral("P"));
        org->child(QStringLiteral("R"), QStringLiteral("R"));
        QVERIFY(!LoadDepartmentTree(*tree, departments).isSet());
        QCOMPARE(tree->keys(), QStringList{QStringLiteral("$T")});
        QCOMPARE(departments.size(), 4);
    }

    void chainOfTenThousand()
    {
        tester.reset();  // the tester walks the whole model on every reset
        const int n = 10000;
        QVERIFY(db->exec(
            QStringLiteral(
                "with recursive n(i) as (select 1 union all select i + 1 from n where i < ?)"
                " insert into 职能部门new (职能部门编号, 职能部门名称, 职能部门类别代号) select 'C' || i, '链' || i, 'C1' from n"),
            {n}));
        QVERIFY(db->exec(
            QStringLiteral(
                "with recursive n(i) as (select 2 union all select i + 1 from n where i < ?)"
                " insert into 上级部门new (职能部门编号, 上级部门编号, 起始日期) select 'C' || i, 'C' || (i - 1), ? from n"),
            {n, DatedOrganisation::day(2020)}));
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        QCOMPARE(departments.size(), n);
        QCOMPARE(tree->count(), n);
        QCOMPARE(tree->keyAt(1), QStringLiteral("$C1"));
        QCOMPARE(tree->keyAt(n), QStringLiteral("$C%1").arg(n));
        QCOMPARE(tree->parentKey(QStringLiteral("$C%1").arg(n)), QStringLiteral("$C%1").arg(n - 1));
        QCOMPARE(tree->descendants(QStringLiteral("$C1")).size(), n - 1);
        QCOMPARE(tree->selectedKey(), QStringLiteral("$C1"));
    }

    // Positions --------------------------------------------------------------------------------

    void positionsLoadOnFirstClickOnly()
    {
        standardOrganisation();
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        const QString a1 = QStringLiteral("$A1");
        QVERIFY(positionsPending(*tree, a1));
        DbResult<bool> ran = loadPositionsOnFirstClick(*tree, a1, PositionVariant::Standard);
        QVERIFY(ran.value);
        QVERIFY(ran.ok());
        QCOMPARE(tree->tag(a1), QStringLiteral("OK"));
        QCOMPARE(tree->childKeys(a1), (QStringList{"GP11", "GP12", "GP13"}));
        QCOMPARE(childTexts(a1), (QStringList{"出纳 ", "会计 张三", "文员 李四"}));
        for (const QString& k : tree->childKeys(a1)) {
            QCOMPARE(tree->picture(k), 2);
            QVERIFY(tree->tag(k).isEmpty());
        }

        // Positions created meanwhile appear only in a new tree.
        db->addPosition(QStringLiteral("P10"), QStringLiteral("新岗"), QStringLiteral("A1"));
        QVERIFY(!positionsPending(*tree, a1));
        ran = loadPositionsOnFirstClick(*tree, a1, PositionVariant::Standard);
        QVERIFY(!ran.value);
        QVERIFY(ran.ok());
        QCOMPARE(tree->childCount(a1), 3);
        QCOMPARE(tree->count(), 7);
    }

    void clicksOnOtherNodesDoNothing()
    {
        standardOrganisation();
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        QVERIFY(loadPositionsOnFirstClick(*tree, QStringLiteral("$A1"), PositionVariant::Standard).value);
        const int count = tree->count();
        QVERIFY(!loadPositionsOnFirstClick(*tree, QStringLiteral("GP11"), PositionVariant::Standard).value);
        QVERIFY(!loadPositionsOnFirstClick(*tree, QStringLiteral("$nowhere"), PositionVariant::Standard).value);
        QVERIFY(!loadPositionsOnFirstClick(*tree, QString(), PositionVariant::Standard).value);
        // A department node whose picture was changed is not taken for an unloaded department.
        tree->setPicture(QStringLiteral("$B"), 3);
        QVERIFY(!loadPositionsOnFirstClick(*tree, QStringLiteral("$B"), PositionVariant::Standard).value);
        QCOMPARE(tree->count(), count);
    }

    void departmentWithoutOpenPositionsIsMarkedLoaded()
    {
        standardOrganisation();
        db->addPosition(QStringLiteral("P21"), QStringLiteral("撤销"), QStringLiteral("A2"));
        org->closePosition(QStringLiteral("P21"));
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        QVERIFY(!添加岗位信息(*tree, QStringLiteral("$A2"), PositionVariant::Standard).isSet());
        QCOMPARE(tree->childCount(QStringLiteral("$A2")), 0);
        QCOMPARE(tree->tag(QStringLiteral("$A2")), QStringLiteral("OK"));
        QVERIFY(!positionsPending(*tree, QStringLiteral("$A2")));
    }

    void positionsGoUnderTheirDepartmentOnly()
    {
        standardOrganisation();
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        QVERIFY(!添加岗位信息(*tree, QStringLiteral("$A"), PositionVariant::Standard).isSet());
        QCOMPARE(tree->childKeys(QStringLiteral("$A")), (QStringList{"$A1", "$A2"}));
        QVERIFY(!添加岗位信息(*tree, QStringLiteral("$B"), PositionVariant::Standard).isSet());
        QCOMPARE(tree->childKeys(QStringLiteral("$B")), QStringList{QStringLiteral("GPB1")});
        QVERIFY(!tree->contains(QStringLiteral("GP14")));
    }

    void uploadVariant()
    {
        standardOrganisation();
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        const DbResult<bool> ran = loadPositionsOnFirstClick(*tree, QStringLiteral("$A1"), PositionVariant::Upload);
        QVERIFY(ran.value);
        QVERIFY(ran.ok());
        QCOMPARE(childTexts(QStringLiteral("$A1")), (QStringList{"P11 出纳 []", "P12 会计 [张三]", "P13 文员 [李四]"}));
        QCOMPARE(tree->tag(QStringLiteral("GP11")), QString());
        QCOMPARE(tree->tag(QStringLiteral("GP12")), QStringLiteral("Zhang San"));
        QCOMPARE(tree->tag(QStringLiteral("GP13")), QString());
        QCOMPARE(tree->picture(QStringLiteral("GP12")), 2);
        QCOMPARE(tree->tag(QStringLiteral("$A1")), QStringLiteral("OK"));
    }

    void uploadVariantSkipsDuplicatePositions()
    {
        standardOrganisation();
        // A second employee row with the holder's number lists position P12 twice.
        org->employee(QStringLiteral("E1"), QStringLiteral("张三"), QStringLiteral("San Zhang"));
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        QVERIFY(!添加岗位信息(*tree, QStringLiteral("$A1"), PositionVariant::Upload).isSet());
        QCOMPARE(tree->childKeys(QStringLiteral("$A1")), (QStringList{"GP11", "GP12", "GP13"}));
        QVERIFY((QStringList{"Zhang San", "San Zhang"}).contains(tree->tag(QStringLiteral("GP12"))));
        QCOMPARE(tree->tag(QStringLiteral("$A1")), QStringLiteral("OK"));
    }

    void duplicatePositionStopsStandardLoad()
    {
        standardOrganisation();
        org->employee(QStringLiteral("E1"), QStringLiteral("张三"), QStringLiteral("San Zhang"));
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        const DbResult<bool> ran = loadPositionsOnFirstClick(*tree, QStringLiteral("$A1"), PositionVariant::Standard);
        QVERIFY(ran.value);
        QCOMPARE(ran.error.number, 35602);
        QCOMPARE(tree->childKeys(QStringLiteral("$A1")), (QStringList{"GP11", "GP12"}));
        QVERIFY(tree->tag(QStringLiteral("$A1")).isEmpty());
        QVERIFY(positionsPending(*tree, QStringLiteral("$A1")));
    }

    void failingPositionStatement()
    {
        standardOrganisation();
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        QVERIFY(!添加岗位信息(*tree, QStringLiteral("$B"), PositionVariant::Standard).isSet());
        QVERIFY(db->exec(QStringLiteral("drop table 岗位类别")));
        for (const PositionVariant variant : {PositionVariant::Standard, PositionVariant::Upload}) {
            const DbResult<bool> ran = loadPositionsOnFirstClick(*tree, QStringLiteral("$A1"), variant);
            QVERIFY(ran.value);
            QVERIFY(!ran.ok());
            QVERIFY(!ran.error.description.isEmpty());
            QVERIFY(tree->tag(QStringLiteral("$A1")).isEmpty());
            QCOMPARE(tree->childCount(QStringLiteral("$A1")), 0);
        }
        // What was loaded before stays.
        QCOMPARE(tree->childKeys(QStringLiteral("$B")), QStringList{QStringLiteral("GPB1")});
        QCOMPARE(tree->tag(QStringLiteral("$B")), QStringLiteral("OK"));

        ScriptedMessages messages;
        const DbError error = 添加岗位信息(*tree, QStringLiteral("$A1"), PositionVariant::Standard);
        reportDirectoryFailure(messages, nullptr, error);
        QCOMPARE(messages.lastText(), error.description);
        QCOMPARE(messages.shown[0].title, executableTitle());
        QCOMPARE(messages.shown[0].icon, MsgIcon::Information);
    }

    void positionsOfMissingDepartmentNode()
    {
        standardOrganisation();
        const DbError error = 添加岗位信息(*tree, QStringLiteral("$A1"), PositionVariant::Standard);
        QCOMPARE(error.number, 35601);
        QCOMPARE(tree->count(), 0);
    }

    void hostileCodes()
    {
        const QString evil = QStringLiteral("X'); delete from 岗位信息new; --");
        org->department(evil, QStringLiteral("引号部"));
        org->child(QStringLiteral("Y'"), evil);
        db->addPosition(QStringLiteral("Q'1"), QStringLiteral("岗'位"), evil);
        db->addPosition(QStringLiteral("Q2"), QStringLiteral("次"), QStringLiteral("Y'"));
        QVERIFY(!InitDepartmentTree(*tree, departments).isSet());
        QCOMPARE(tree->keys(), (QStringList{QStringLiteral("$") + evil, QStringLiteral("$Y'")}));
        QCOMPARE(tree->text(QStringLiteral("$") + evil), evil + QStringLiteral(" 引号部"));
        QVERIFY(loadPositionsOnFirstClick(*tree, QStringLiteral("$") + evil, PositionVariant::Upload).value);
        QCOMPARE(childTexts(QStringLiteral("$") + evil), (QStringList{"Y' 部门Y'", "Q'1 岗'位 []"}));
        QVERIFY(loadPositionsOnFirstClick(*tree, QStringLiteral("$Y'"), PositionVariant::Standard).value);
        QCOMPARE(tree->childKeys(QStringLiteral("$Y'")), QStringList{QStringLiteral("GQ2")});
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 岗位信息new")).toInt(), 2);
    }

    void icons()
    {
        const QList<QIcon> images = directoryTreeIcons();
        QCOMPARE(images.size(), 2);
        for (const QIcon& icon : images)
            QVERIFY(!icon.isNull());
    }
};

QTEST_MAIN(DepartmentTreeTest)
#include "test_department_tree.moc"
