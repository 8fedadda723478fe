// The statements and decisions of the download group window against real SQLite files.
#include "PermissionsFixture.h"

#include "permissions/DownloadGroups.h"

using namespace quarvel;
using namespace quarvel::test;

class DownloadGroupsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    const ChangeAuthor author{QStringLiteral("0001"), QDateTime(QDate(2026, 4, 2), QTime(14, 5, 9))};

    void group(const QString& code, const QString& name)
    {
        QVERIFY(db->insert(QStringLiteral("资料下载组"),
                           {{QStringLiteral("组ID"), code}, {QStringLiteral("组名称"), name}}));
    }

    void member(const QString& group, const QString& position)
    {
        QVERIFY(db->insert(QStringLiteral("资料下载组详细"),
                           {{QStringLiteral("组id"), group}, {QStringLiteral("岗位代号"), position}}));
    }

    int count(const QString& table) { return db->scalar(QStringLiteral("select count(*) from ") + table).toInt(); }

    QStringList memberKeys(const QString& group)
    {
        QStringList keys;
        const auto rows = DownloadGroups::members(group);
        for (const ListedPosition& p : rows.value)
            keys << p.key();
        return keys;
    }

    static ShownGroup chosen(const QString& code) { return {GroupEditMode::Edit, code, true}; }
    static PositionNode position(const QString& code)
    {
        return {QStringLiteral("G") + code, QStringLiteral("岗位 某人"), 2};
    }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        db->addDepartment(QStringLiteral("D01"), QStringLiteral("财务部"));
        db->addPosition(QStringLiteral("P01"), QStringLiteral("会计"), QStringLiteral("D01"), QStringLiteral("0012"));
        db->addPosition(QStringLiteral("P02"), QStringLiteral("出纳"), QStringLiteral("D01"));
        db->addPosition(QStringLiteral("P'3"), QStringLiteral("审计"), QStringLiteral("D01"), QStringLiteral("0013"));
        db->addEmployee(QStringLiteral("0012"), QStringLiteral("张三"), QStringLiteral("1"));
        db->addEmployee(QStringLiteral("0013"), QStringLiteral("李四"), QStringLiteral("1"));
    }

    void cleanup()
    {
        db.reset();
        SharedConnection::release();
    }

    void statementsPrepareAndParse()
    {
        checkStatementsPrepare(*db, DownloadGroups::statements());
        checkStatementsParseAsTsql(DownloadGroups::statements());
    }

    void groupsAndFind()
    {
        group(QStringLiteral("Z1"), QStringLiteral("财务组"));
        QVERIFY(db->insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QStringLiteral("Z'2")},
                                                          {QStringLiteral("组名称"), QStringLiteral("审'计")},
                                                          {QStringLiteral("备注"), QStringLiteral("说明")}}));
        const auto all = DownloadGroups::groups();
        QVERIFY(all.ok());
        QCOMPARE(all.value.size(), 2);
        QCOMPARE(all.value[0].listText(), QStringLiteral("Z1 财务组"));
        const auto found = DownloadGroups::find(QStringLiteral("Z'2"));
        QVERIFY(found.ok() && found.value.has_value());
        QCOMPARE(found.value->description, QStringLiteral("说明"));
        QVERIFY(!DownloadGroups::find(QStringLiteral("%")).value.has_value());
        QCOMPARE(DownloadGroups::find(QStringLiteral("Z1")).value->description, QString());
    }

    // Ten characters are accepted, eleven refused, also when the extra ones are blanks.
    void codeLength_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("10") << QStringLiteral("ABCDEFGHIJ") << true;
        QTest::newRow("10 Chinese") << QStringLiteral("一二三四五六七八九十") << true;
        QTest::newRow("11") << QStringLiteral("ABCDEFGHIJK") << false;
        QTest::newRow("10 + blank") << QStringLiteral("ABCDEFGHIJ ") << false;
        QTest::newRow("blank + 10") << QStringLiteral(" ABCDEFGHIJ") << false;
        QTest::newRow("3 + 8 blanks") << QStringLiteral("ABC        ") << false;
    }

    void codeLength()
    {
        QFETCH(QString, code);
        QFETCH(bool, accepted);
        const auto r = DownloadGroups::save(GroupEditMode::Create, {code, QStringLiteral("组"), {}}, author);
        QCOMPARE(r.outcome, accepted ? GroupOutcome::Created : GroupOutcome::CodeTooLong);
        QCOMPARE(count(QStringLiteral("资料下载组")), accepted ? 1 : 0);
        if (accepted)
            QCOMPARE(db->scalar(QStringLiteral("select 组ID from 资料下载组")).toString(), code.trimmed());
    }

    void saveChecksInOrder()
    {
        using O = GroupOutcome;
        QCOMPARE(DownloadGroups::save(GroupEditMode::Edit, {QStringLiteral("  "), QString(), {}}, author).outcome,
                 O::NoGroupToChange);
        QCOMPARE(DownloadGroups::save(GroupEditMode::Create, {QStringLiteral("  "), QString(), {}}, author).outcome,
                 O::EmptyCode);
        QCOMPARE(
            DownloadGroups::save(GroupEditMode::Create, {QStringLiteral("ABCDEFGHIJK"), QString(), {}}, author).outcome,
            O::CodeTooLong);
        QCOMPARE(DownloadGroups::save(GroupEditMode::Create, {QStringLiteral("Z1"), QString(), {}}, author).outcome,
                 O::EmptyName);
        QCOMPARE(DownloadGroups::save(GroupEditMode::Create, {QStringLiteral("Z1"), QStringLiteral("   "), {}}, author)
                     .outcome,
                 O::EmptyName);
        QCOMPARE(count(QStringLiteral("资料下载组")), 0);
    }

    void createStoresTrimmedFields()
    {
        const auto r = DownloadGroups::save(
            GroupEditMode::Create, {QStringLiteral(" Z'1 "), QStringLiteral(" 财务'组 "), QStringLiteral(" 描述 ")},
            author);
        QCOMPARE(r.outcome, GroupOutcome::Created);
        const auto found = DownloadGroups::find(QStringLiteral("Z'1"));
        QVERIFY(found.value.has_value());
        QCOMPARE(found.value->name, QStringLiteral("财务'组"));
        QCOMPARE(found.value->description, QStringLiteral(" 描述 "));
        QCOMPARE(db->scalar(QStringLiteral("select CzyID from 资料下载组")).toString(), QStringLiteral("0001"));
        QCOMPARE(db->scalar(QStringLiteral("select updatedate from 资料下载组")).toString(),
                 QStringLiteral("2026-04-02 14:05:09"));
        // No description stores the empty text, not null.
        QCOMPARE(
            DownloadGroups::save(GroupEditMode::Create, {QStringLiteral("Z2"), QStringLiteral("二"), QString()}, author)
                .outcome,
            GroupOutcome::Created);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载组 where 备注 = ''")).toInt(), 1);
    }

    // Duplicates of code or name are refused on creation; a change may take another's name.
    void duplicates()
    {
        group(QStringLiteral("Z1"), QStringLiteral("财务组"));
        group(QStringLiteral("Z2"), QStringLiteral("人事组"));
        QCOMPARE(
            DownloadGroups::save(GroupEditMode::Create, {QStringLiteral("Z1 "), QStringLiteral("新组"), {}}, author)
                .outcome,
            GroupOutcome::CodeExists);
        QCOMPARE(
            DownloadGroups::save(GroupEditMode::Create, {QStringLiteral("Z3"), QStringLiteral(" 财务组"), {}}, author)
                .outcome,
            GroupOutcome::NameExists);
        QCOMPARE(count(QStringLiteral("资料下载组")), 2);
        QCOMPARE(DownloadGroups::save(GroupEditMode::Edit,
                                      {QStringLiteral("Z2"), QStringLiteral("财务组 "), QStringLiteral("d")}, author)
                     .outcome,
                 GroupOutcome::Changed);
        QCOMPARE(DownloadGroups::find(QStringLiteral("Z2")).value->name, QStringLiteral("财务组"));
        QCOMPARE(DownloadGroups::find(QStringLiteral("Z2")).value->description, QStringLiteral("d"));
        QCOMPARE(DownloadGroups::find(QStringLiteral("Z1")).value->name, QStringLiteral("财务组"));
    }

    void changeOfAVanishedGroup()
    {
        QCOMPARE(
            DownloadGroups::save(GroupEditMode::Edit, {QStringLiteral("Z9"), QStringLiteral("名"), {}}, author).outcome,
            GroupOutcome::GroupMissing);
        QCOMPARE(count(QStringLiteral("资料下载组")), 0);
    }

    void removeDeletesGroupAndMembers()
    {
        group(QStringLiteral("Z1"), QStringLiteral("财务组"));
        group(QStringLiteral("Z2"), QStringLiteral("人事组"));
        member(QStringLiteral("Z1"), QStringLiteral("P01"));
        member(QStringLiteral("Z1"), QStringLiteral("P02"));
        member(QStringLiteral("Z2"), QStringLiteral("P01"));
        QCOMPARE(DownloadGroups::checkRemoval(GroupEditMode::Create, QStringLiteral("Z1")).outcome,
                 GroupOutcome::CreatingGroup);
        QCOMPARE(DownloadGroups::checkRemoval(GroupEditMode::Edit, QStringLiteral(" ")).outcome,
                 GroupOutcome::NoGroupToDelete);
        QCOMPARE(DownloadGroups::checkRemoval(GroupEditMode::Edit, QStringLiteral("Z1")).outcome, GroupOutcome::Done);
        QVERIFY(DownloadGroups::remove(QStringLiteral("Z1 ")).ok());
        QCOMPARE(count(QStringLiteral("资料下载组")), 1);
        QCOMPARE(count(QStringLiteral("资料下载组详细")), 1);
    }

    // A failure of the second deletion keeps the group and its members.
    void removeIsAllOrNothing()
    {
        group(QStringLiteral("Z1"), QStringLiteral("财务组"));
        member(QStringLiteral("Z1"), QStringLiteral("P01"));
        QVERIFY(db->exec(QStringLiteral("create trigger refuse before delete on 资料下载组详细 "
                                        "begin select raise(abort, '拒绝删除'); end")));
        const DbStatus s = DownloadGroups::remove(QStringLiteral("Z1"));
        QVERIFY(!s.ok());
        QVERIFY(s.error.description.contains(QStringLiteral("拒绝删除")));
        QCOMPARE(count(QStringLiteral("资料下载组")), 1);
        QCOMPARE(count(QStringLiteral("资料下载组详细")), 1);
    }

    // Members in the order of adding; a member twice does nothing; vacant positions may join.
    void membersAddedAndRemoved()
    {
        group(QStringLiteral("Z1"), QStringLiteral("财务组"));
        const ShownGroup shown = chosen(QStringLiteral("Z1"));
        QCOMPARE(DownloadGroups::addMember(shown, position(QStringLiteral("P'3")), QStringLiteral("0001")).outcome,
                 GroupOutcome::Done);
        QCOMPARE(DownloadGroups::addMember(shown, position(QStringLiteral("P02")), QStringLiteral("0001")).outcome,
                 GroupOutcome::Done);
        QCOMPARE(DownloadGroups::addMember(shown, position(QStringLiteral("P01")), QStringLiteral("0001")).outcome,
                 GroupOutcome::Done);
        QCOMPARE(DownloadGroups::addMember(shown, position(QStringLiteral("P02")), QStringLiteral("0001")).outcome,
                 GroupOutcome::NothingToDo);
        QCOMPARE(count(QStringLiteral("资料下载组详细")), 3);
        QCOMPARE(memberKeys(QStringLiteral("Z1")),
                 (QStringList{QStringLiteral("GP'3"), QStringLiteral("GP02"), QStringLiteral("GP01")}));
        const auto rows = DownloadGroups::members(QStringLiteral("Z1"));
        QCOMPARE(rows.value[1].holderName, QString());
        QCOMPARE(rows.value[2].holderName, QStringLiteral("张三"));
        QCOMPARE(rows.value[2].deptName, QStringLiteral("财务部"));
        QCOMPARE(db->scalar(QStringLiteral("select Czyid from 资料下载组详细 limit 1")).toString(),
                 QStringLiteral("0001"));

        QCOMPARE(DownloadGroups::removeMember(shown, QStringLiteral("GP02")).outcome, GroupOutcome::Done);
        QCOMPARE(DownloadGroups::removeMember(shown, QStringLiteral("G")).outcome, GroupOutcome::NothingToDo);
        QCOMPARE(memberKeys(QStringLiteral("Z1")), (QStringList{QStringLiteral("GP'3"), QStringLiteral("GP01")}));
    }

    void memberActionsRefused()
    {
        group(QStringLiteral("Z1"), QStringLiteral("财务组"));
        const PositionNode p = position(QStringLiteral("P01"));
        QCOMPARE(DownloadGroups::addMember({GroupEditMode::Create, QString(), false}, p, {}).outcome,
                 GroupOutcome::CreatingGroup);
        // Right after a creation the code is shown but not chosen from the list.
        QCOMPARE(DownloadGroups::addMember({GroupEditMode::Edit, QStringLiteral("Z1"), false}, p, {}).outcome,
                 GroupOutcome::NoGroupChosen);
        QCOMPARE(DownloadGroups::addMember({GroupEditMode::Edit, QStringLiteral(" "), true}, p, {}).outcome,
                 GroupOutcome::NoGroupChosen);
        QCOMPARE(DownloadGroups::addMember(chosen(QStringLiteral("Z1")),
                                           {QStringLiteral("$D01"), QStringLiteral("D01 财务部"), 1}, {})
                     .outcome,
                 GroupOutcome::NothingToDo);
        QCOMPARE(
            DownloadGroups::removeMember({GroupEditMode::Create, QString(), false}, QStringLiteral("GP01")).outcome,
            GroupOutcome::CreatingGroup);
        QCOMPARE(
            DownloadGroups::removeMember({GroupEditMode::Edit, QStringLiteral("Z1"), false}, QStringLiteral("GP01"))
                .outcome,
            GroupOutcome::NoGroupChosen);
        QCOMPARE(count(QStringLiteral("资料下载组详细")), 0);
    }

    // Members whose position or department row is gone are not listed.
    void membersWithoutRowsLeftOut()
    {
        member(QStringLiteral("Z1"), QStringLiteral("P01"));
        member(QStringLiteral("Z1"), QStringLiteral("P77"));
        db->addPosition(QStringLiteral("P88"), QStringLiteral("外"), QStringLiteral("D99"));
        member(QStringLiteral("Z1"), QStringLiteral("P88"));
        QCOMPARE(memberKeys(QStringLiteral("Z1")), QStringList{QStringLiteral("GP01")});
        QCOMPARE(memberKeys(QStringLiteral("%")), QStringList());
    }
};

QTEST_MAIN(DownloadGroupsTest)
#include "test_download_groups.moc"
