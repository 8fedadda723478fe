// The statements and decisions of the upload permission window against real SQLite files.
#include "PermissionsFixture.h"

#include "permissions/UploadPermissions.h"

using namespace quarvel;
using namespace quarvel::test;

class UploadPermissionsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    const ChangeAuthor author{QStringLiteral("0001"), QDateTime(QDate(2026, 4, 2), QTime(14, 5, 9))};

    void permit(const QString& type, const QString& position) { permitUpload(*db, type, position); }

    QStringList storedTypes(const QString& position) { return uploadTypesOf(*db, position); }

    int rowCount() { return db->scalar(QStringLiteral("select count(*) from 资料上传权限")).toInt(); }

    static QStringList codes(int n, const QString& prefix = QStringLiteral("T"))
    {
        QStringList out;
        for (int i = 0; i < n; ++i)
            out << prefix + QString::number(i);
        return out;
    }

    static PositionNode node(const QString& key, const QString& text, int picture = 2)
    {
        return PositionNode{key, text, picture};
    }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        db->addDepartment(QStringLiteral("D02"), QStringLiteral("人事部"));
        db->addDepartment(QStringLiteral("D01"), QStringLiteral("财务部"));
        db->addPosition(QStringLiteral("P01"), QStringLiteral("会计"), QStringLiteral("D01"), QStringLiteral("0012"));
        db->addPosition(QStringLiteral("P03"), QStringLiteral("出纳"), QStringLiteral("D01"));
        db->addPosition(QStringLiteral("P'2"), QStringLiteral("审'计"), QStringLiteral("D02"), QStringLiteral("0013"));
        db->addPosition(QStringLiteral("P09"), QStringLiteral("无部门"), QStringLiteral("D99"), QStringLiteral("0012"));
        db->addEmployee(QStringLiteral("0012"), QStringLiteral("张三"), QStringLiteral("1"));
        db->addEmployee(QStringLiteral("0013"), QStringLiteral("李'四"), QStringLiteral("1"));
    }

    void cleanup()
    {
        db.reset();
        SharedConnection::release();
    }

    void statementsPrepareAndParse()
    {
        checkStatementsPrepare(*db, UploadPermissions::statements());
        checkStatementsParseAsTsql(UploadPermissions::statements());
    }

    // By department code, then position code descending; positions without a position or a
    // department row stay out; a vacant position has an empty holder.
    void listedPositions()
    {
        permit(QStringLiteral("T1"), QStringLiteral("P01"));
        permit(QStringLiteral("T2"), QStringLiteral("P01"));
        permit(QStringLiteral("T1"), QStringLiteral("P03"));
        permit(QStringLiteral("T1"), QStringLiteral("P'2"));
        permit(QStringLiteral("T1"), QStringLiteral("P09"));  // department row missing
        permit(QStringLiteral("T1"), QStringLiteral("P77"));  // position row missing
        const auto listed = UploadPermissions::positions();
        QVERIFY(listed.ok());
        QCOMPARE(listed.value.size(), 3);
        QCOMPARE(listed.value[0].key(), QStringLiteral("GP03"));
        QCOMPARE(listed.value[0].holderName, QString());
        QCOMPARE(listed.value[0].deptName, QStringLiteral("财务部"));
        QCOMPARE(listed.value[1].key(), QStringLiteral("GP01"));
        QCOMPARE(listed.value[1].positionName, QStringLiteral("会计"));
        QCOMPARE(listed.value[1].holderName, QStringLiteral("张三"));
        QCOMPARE(listed.value[2].key(), QStringLiteral("GP'2"));
        QCOMPARE(listed.value[2].holderName, QStringLiteral("李'四"));
        QCOMPARE(rowCount(), 6);  // the rows of unlisted positions stay
    }

    // A holder with two employee rows still lists the position once.
    void positionListedOnceWithTwoEmployeeRows()
    {
        db->addEmployee(QStringLiteral("0012"), QStringLiteral("张三丰"), QStringLiteral("1"));
        permit(QStringLiteral("T1"), QStringLiteral("P01"));
        const auto listed = UploadPermissions::positions();
        QVERIFY(listed.ok());
        QCOMPARE(listed.value.size(), 1);
    }

    void typesOfAPosition()
    {
        permit(QStringLiteral("T1"), QStringLiteral("P'2"));
        permit(QStringLiteral("T2"), QStringLiteral("P'2"));
        permit(QStringLiteral("T2"), QStringLiteral("P'2"));
        permit(QStringLiteral("T3"), QStringLiteral("P01"));
        auto types = UploadPermissions::typesOf(QStringLiteral("P'2"));
        QVERIFY(types.ok());
        types.value.sort();
        QCOMPARE(types.value, (QStringList{QStringLiteral("T1"), QStringLiteral("T2")}));
        QVERIFY(UploadPermissions::typesOf(QStringLiteral("%")).value.isEmpty());
    }

    void chosenTypesAreTickedLeaves()
    {
        const QVector<TypeNodeState> nodes = {
            {QStringLiteral("01 制度"), 3, true},     // parent: ignored
            {QStringLiteral("0101 人事"), 2, true},   // leaf
            {QStringLiteral("0102 财务"), 2, false},  // not ticked
            {QStringLiteral("0103 旧"), 4, true},     // voided: ignored
            {QStringLiteral(" 02  空白"), 2, true},   // code before the first blank: ""
            {QStringLiteral("0104 \t名"), 2, true},
        };
        QCOMPARE(UploadPermissions::chosenTypes(nodes),
                 (QStringList{QStringLiteral("0101"), QString(), QStringLiteral("0104")}));
        QVERIFY(UploadPermissions::chosenTypes({{QStringLiteral("01 制度"), 3, true}}).isEmpty());
    }

    // The checks of "添加" in their order; nothing is written before all pass.
    void addChecksInOrder()
    {
        const QStringList types = {QStringLiteral("T1")};
        QCOMPARE(UploadPermissions::add({node({}, {}, 0), types, false}, author).outcome,
                 PermissionOutcome::NoPositionChosen);
        QCOMPARE(UploadPermissions::add({node(QStringLiteral("$D01"), QStringLiteral("D01 财务部"), 1), types, false},
                                        author)
                     .outcome,
                 PermissionOutcome::NoPositionChosen);
        QCOMPARE(UploadPermissions::add({node(QStringLiteral("GP03"), QStringLiteral("出纳 "), 2), {}, false}, author)
                     .outcome,
                 PermissionOutcome::VacantPosition);
        QCOMPARE(UploadPermissions::add({node(QStringLiteral("GP01"), QStringLiteral("会计 张三")), {}, true}, author)
                     .outcome,
                 PermissionOutcome::NoTypesChosen);
        QCOMPARE(
            UploadPermissions::add({node(QStringLiteral("GP01"), QStringLiteral("会计 张三")), types, true}, author)
                .outcome,
            PermissionOutcome::NothingToDo);
        QCOMPARE(rowCount(), 0);
    }

    void addStoresTheSet()
    {
        permit(QStringLiteral("OLD"), QStringLiteral("P'2"));
        const auto r = UploadPermissions::add({node(QStringLiteral("GP'2 "), QStringLiteral("审'计 李'四")),
                                               {QStringLiteral("T'1"), QStringLiteral("T%")},
                                               false},
                                              author);
        QCOMPARE(r.outcome, PermissionOutcome::Stored);
        QCOMPARE(storedTypes(QStringLiteral("P'2")), (QStringList{QStringLiteral("T'1"), QStringLiteral("T%")}));
        QCOMPARE(db->scalar(QStringLiteral("select CzyID from 资料上传权限 limit 1")).toString(),
                 QStringLiteral("0001"));
        QCOMPARE(db->scalar(QStringLiteral("select updatedate from 资料上传权限 limit 1")).toString(),
                 QStringLiteral("2026-04-02 14:05:09"));
    }

    void changeChecksInOrder()
    {
        permit(QStringLiteral("T1"), QStringLiteral("P01"));
        const QStringList types = {QStringLiteral("T2")};
        QCOMPARE(
            UploadPermissions::change({false, QStringLiteral("GP01"), QStringLiteral("会计"), types}, author).outcome,
            PermissionOutcome::NothingToDo);
        QCOMPARE(UploadPermissions::change({true, QStringLiteral("G"), QStringLiteral("会计"), types}, author).outcome,
                 PermissionOutcome::NothingToDo);
        QCOMPARE(UploadPermissions::change({true, QString(), QString(), types}, author).outcome,
                 PermissionOutcome::NothingToDo);
        QCOMPARE(UploadPermissions::change({true, QStringLiteral("GP01"), QString(), types}, author).outcome,
                 PermissionOutcome::NoEmployeeChosen);
        QCOMPARE(UploadPermissions::change({true, QStringLiteral("GP01"), QStringLiteral("会计"), {}}, author).outcome,
                 PermissionOutcome::NoTypesChosen);
        QCOMPARE(storedTypes(QStringLiteral("P01")), QStringList{QStringLiteral("T1")});
        QCOMPARE(
            UploadPermissions::change({true, QStringLiteral("GP01"), QStringLiteral("会计"), types}, author).outcome,
            PermissionOutcome::Stored);
        QCOMPARE(storedTypes(QStringLiteral("P01")), types);
    }

    // Sets larger than one insert statement, and other positions untouched.
    void replaceWritesEveryType()
    {
        permit(QStringLiteral("X"), QStringLiteral("P03"));
        const QStringList many = codes(1234);
        QVERIFY(UploadPermissions::replace(QStringLiteral("P01"), many, author).ok());
        QCOMPARE(storedTypes(QStringLiteral("P01")), many);
        QVERIFY(UploadPermissions::replace(QStringLiteral("P01"), codes(3, QStringLiteral("N")), author).ok());
        QCOMPARE(storedTypes(QStringLiteral("P01")), codes(3, QStringLiteral("N")));
        QCOMPARE(storedTypes(QStringLiteral("P03")), QStringList{QStringLiteral("X")});
    }

    // A statement that fails after the delete, in the first or a later insert, leaves the
    // previous set in place.
    void replaceIsAllOrNothing_data()
    {
        QTest::addColumn<QString>("refused");
        QTest::newRow("first insert") << QStringLiteral("T0");
        QTest::newRow("later insert") << QStringLiteral("T700");
    }

    void replaceIsAllOrNothing()
    {
        QFETCH(QString, refused);
        permit(QStringLiteral("A"), QStringLiteral("P01"));
        permit(QStringLiteral("B"), QStringLiteral("P01"));
        QVERIFY(db->exec(QStringLiteral("create trigger refuse before insert on 资料上传权限 when new.文件编号 = '%1' "
                                        "begin select raise(abort, '拒绝写入'); end")
                             .arg(refused)));
        const auto r = UploadPermissions::change({true, QStringLiteral("GP01"), QStringLiteral("会计"), codes(800)},
                                                 author);
        QCOMPARE(r.outcome, PermissionOutcome::Failed);
        QVERIFY(r.error.description.contains(QStringLiteral("拒绝写入")));
        QCOMPARE(storedTypes(QStringLiteral("P01")), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
        // The connection is usable again afterwards.
        QVERIFY(UploadPermissions::replace(QStringLiteral("P01"), {QStringLiteral("C")}, author).ok());
        QCOMPARE(storedTypes(QStringLiteral("P01")), QStringList{QStringLiteral("C")});
    }

    void removeDeletesOnlyThePosition()
    {
        permit(QStringLiteral("T1"), QStringLiteral("P01"));
        permit(QStringLiteral("T2"), QStringLiteral("P01"));
        permit(QStringLiteral("T1"), QStringLiteral("P'2"));
        QVERIFY(UploadPermissions::remove(QStringLiteral("P01")).ok());
        QVERIFY(UploadPermissions::remove(QStringLiteral("%")).ok());
        QCOMPARE(storedTypes(QStringLiteral("P01")), QStringList());
        QCOMPARE(storedTypes(QStringLiteral("P'2")), QStringList{QStringLiteral("T1")});
    }

    void failuresComeBackAsErrors()
    {
        QVERIFY(db->exec(QStringLiteral("drop table 资料上传权限")));
        QVERIFY(!UploadPermissions::positions().ok());
        QVERIFY(!UploadPermissions::typesOf(QStringLiteral("P01")).ok());
        const auto r = UploadPermissions::change(
            {true, QStringLiteral("GP01"), QStringLiteral("会计"), {QStringLiteral("T")}}, author);
        QCOMPARE(r.outcome, PermissionOutcome::Failed);
        QVERIFY(r.error.isSet());
        QVERIFY(!UploadPermissions::remove(QStringLiteral("P01")).ok());
    }
};

QTEST_MAIN(UploadPermissionsTest)
#include "test_upload_permissions.moc"
