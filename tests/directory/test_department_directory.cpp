#include "DirectoryFixture.h"

#include "db/Connection.h"
#include "directory/DepartmentDirectory.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

namespace {

QVector<DepartmentEntry> loaded()
{
    const auto result = DepartmentDirectory::loadDepartments();
    if (!result.ok())
        qWarning("department statement: %s", qPrintable(result.error.description));
    return result.value;
}

QStringList loadedKeys() { return keysOf(DepartmentDirectory::departmentNodes(loaded())); }

QStringList keys(std::initializer_list<const char*> codes)
{
    QStringList out;
    for (const char* c : codes)
        out << QLatin1Char('$') + QString::fromUtf8(c);
    return out;
}

// A random list of departments: codes of one to four digits after a letter, parents chosen
// among the codes (cycles and self-parents included), missing codes and the empty text.
QVector<DepartmentEntry> randomEntries(quint32 seed, int count, bool allowDuplicates)
{
    QRandomGenerator rng(seed);
    QStringList codes;
    QSet<QString> used;
    while (codes.size() < count) {
        const QString code = QStringLiteral("D") + QString::number(rng.bounded(allowDuplicates ? 400 : 5000));
        if (!allowDuplicates && used.contains(code))
            continue;
        used.insert(code);
        codes << code;
    }
    if (allowDuplicates && rng.bounded(2) == 0)
        codes[rng.bounded(count)] = QString();  // a department with an empty code
    std::sort(codes.begin(), codes.end(),
              [](const QString& a, const QString& b) { return a.size() != b.size() ? a.size() < b.size() : a < b; });
    QVector<DepartmentEntry> out;
    for (const QString& code : codes) {
        DepartmentEntry e{code, QStringLiteral("名") + code, QString()};
        const int kind = rng.bounded(100);
        if (kind < 15)
            e.parentCode = QString();
        else if (kind < 90)
            e.parentCode = codes[rng.bounded(count)];
        else
            e.parentCode = QStringLiteral("X") + QString::number(rng.bounded(50));  // no such department
        out << e;
    }
    return out;
}

}  // namespace

class DepartmentDirectoryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<DatedOrganisation> org;

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        org = std::make_unique<DatedOrganisation>(DatedOrganisation{*db});
    }

    void cleanup()
    {
        org.reset();
        SharedConnection::release();
        db.reset();
    }

    // Department statement and hierarchy -------------------------------------------------------

    void siblingsByLengthThenCode()
    {
        org->department(QStringLiteral("A"));
        org->child(QStringLiteral("10"), QStringLiteral("A"));
        org->child(QStringLiteral("2"), QStringLiteral("A"));
        org->child(QStringLiteral("1"), QStringLiteral("A"));
        QCOMPARE(loadedKeys(), keys({"A", "1", "2", "10"}));
        const auto nodes = DepartmentDirectory::departmentNodes(loaded());
        QCOMPARE(nodes[1].parentKey, QStringLiteral("$A"));
        QCOMPARE(nodes[3].parentKey, QStringLiteral("$A"));
    }

    void depthFirstWithSiblingsInStatementOrder()
    {
        org->department(QStringLiteral("B"));
        org->department(QStringLiteral("A"));
        org->child(QStringLiteral("A2"), QStringLiteral("A"));
        org->child(QStringLiteral("A1"), QStringLiteral("A"));
        org->child(QStringLiteral("A11"), QStringLiteral("A1"));
        org->child(QStringLiteral("B1"), QStringLiteral("B"));
        QCOMPARE(loadedKeys(), keys({"A", "A1", "A11", "A2", "B", "B1"}));
    }

    void nodeShape()
    {
        org->department(QStringLiteral("D01"), QStringLiteral("总经办"));
        const auto nodes = DepartmentDirectory::departmentNodes(loaded());
        QCOMPARE(nodes.size(), 1);
        QCOMPARE(nodes[0].key, QStringLiteral("$D01"));
        QCOMPARE(nodes[0].text, QStringLiteral("D01 总经办"));
        QCOMPARE(nodes[0].parentKey, QString());
        QCOMPARE(nodes[0].picture, 1);
        QVERIFY(nodes[0].tag.isEmpty());
    }

    void entriesAsStored()
    {
        db->addDepartment(QStringLiteral("A "), QStringLiteral(" 名 "));
        org->child(QStringLiteral("B"), QStringLiteral("A "));
        const auto entries = loaded();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0], (DepartmentEntry{QStringLiteral("A "), QStringLiteral(" 名 "), QString()}));
        QCOMPARE(entries[1].parentCode, QStringLiteral("A "));
        QCOMPARE(loadedKeys(), keys({"A ", "B"}));
    }

    void closedParentHidesSubtree()
    {
        org->department(QStringLiteral("A"));
        org->child(QStringLiteral("A1"), QStringLiteral("A"));
        org->child(QStringLiteral("A11"), QStringLiteral("A1"));
        org->child(QStringLiteral("B1"), QStringLiteral("B"));  // B is closed
        org->child(QStringLiteral("B11"), QStringLiteral("B1"));
        org->department(QStringLiteral("B"));
        org->closeDepartment(QStringLiteral("B"));
        QCOMPARE(loadedKeys(), keys({"A", "A1", "A11"}));
        // Closed departments are not even listed.
        for (const DepartmentEntry& e : loaded())
            QVERIFY(e.code != QStringLiteral("B"));
    }

    void closedDepartmentInTheMiddle()
    {
        org->department(QStringLiteral("A"));
        org->child(QStringLiteral("A1"), QStringLiteral("A"));
        org->child(QStringLiteral("A11"), QStringLiteral("A1"));
        org->child(QStringLiteral("A2"), QStringLiteral("A"));
        org->closeDepartment(QStringLiteral("A1"));
        QCOMPARE(loadedKeys(), keys({"A", "A2"}));
    }

    void withoutParentRowsIsTopLevel()
    {
        org->department(QStringLiteral("Z"));
        org->department(QStringLiteral("N"));
        org->parentRow(QStringLiteral("N"), QString(), DatedOrganisation::day(2020));  // a null parent
        org->department(QStringLiteral("E"));
        org->parentRow(QStringLiteral("E"), QStringLiteral(""), DatedOrganisation::day(2020));  // an empty parent
        const auto entries = loaded();
        QCOMPARE(entries.size(), 3);
        for (const DepartmentEntry& e : entries)
            QCOMPARE(e.parentCode, QString());
        QCOMPARE(loadedKeys(), keys({"E", "N", "Z"}));
    }

    void missingParentIsHidden()
    {
        org->department(QStringLiteral("A"));
        org->child(QStringLiteral("Q1"), QStringLiteral("Q"));  // no department Q
        QCOMPARE(loadedKeys(), keys({"A"}));
    }

    void latestParentRowWins()
    {
        org->department(QStringLiteral("A"));
        org->department(QStringLiteral("B"));
        org->department(QStringLiteral("X"));
        org->parentRow(QStringLiteral("X"), QStringLiteral("B"), DatedOrganisation::day(2022, 3, 1));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2019));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2021));
        QCOMPARE(loadedKeys(), keys({"A", "B", "X"}));
        QCOMPARE(DepartmentDirectory::departmentNodes(loaded()).constLast().parentKey, QStringLiteral("$B"));

        // A later row without a parent makes it a top department again.
        org->parentRow(QStringLiteral("X"), QString(), DatedOrganisation::day(2024));
        const auto nodes = DepartmentDirectory::departmentNodes(loaded());
        QCOMPARE(keysOf(nodes), keys({"A", "B", "X"}));
        QCOMPARE(nodes.constLast().parentKey, QString());
    }

    void latestParentRowPointingToClosedDepartmentHides()
    {
        org->department(QStringLiteral("A"));
        org->department(QStringLiteral("C"));
        org->department(QStringLiteral("X"));
        org->child(QStringLiteral("X1"), QStringLiteral("X"));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2020));
        org->parentRow(QStringLiteral("X"), QStringLiteral("C"), DatedOrganisation::day(2021));
        org->closeDepartment(QStringLiteral("C"));
        QCOMPARE(loadedKeys(), keys({"A"}));
    }

    void cyclesAreNotShown()
    {
        org->department(QStringLiteral("T"));
        org->child(QStringLiteral("P"), QStringLiteral("Q"));
        org->child(QStringLiteral("Q"), QStringLiteral("P"));
        org->child(QStringLiteral("P1"), QStringLiteral("P"));
        org->child(QStringLiteral("S"), QStringLiteral("S"));
        org->child(QStringLiteral("T1"), QStringLiteral("T"));
        QCOMPARE(loadedKeys(), keys({"T", "T1"}));
    }

    void departmentListedTwiceIsShownOnce()
    {
        org->department(QStringLiteral("A"));
        org->department(QStringLiteral("B"));
        org->department(QStringLiteral("X"));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2021));
        org->parentRow(QStringLiteral("X"), QStringLiteral("B"), DatedOrganisation::day(2021));
        org->child(QStringLiteral("X1"), QStringLiteral("X"));
        org->child(QStringLiteral("B1"), QStringLiteral("B"));
        org->child(QStringLiteral("C"), QStringLiteral("B1"));
        const auto entries = loaded();
        QCOMPARE(entries.size(), 7);  // A, B, C, X twice, B1, X1
        QStringList repeated;
        const auto nodes = DepartmentDirectory::departmentNodes(entries, &repeated);
        // A, X under A with its child, then B and the rest of its subtree; X under B is left out
        // with what lies below it, and the departments after it still come.
        QCOMPARE(keysOf(nodes), keys({"A", "X", "X1", "B", "B1", "C"}));
        QCOMPARE(repeated, QStringList{QStringLiteral("X")});
        QCOMPARE(describeNodes(nodes), describeNodes(QuadraticReference(entries).nodes()));
    }

    void sameParentListedTwiceAndLoopsThroughRepeats()
    {
        // X listed twice under A (two equal rows), and Y both top-level and under its own child.
        org->department(QStringLiteral("A"));
        org->department(QStringLiteral("X"));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2021));
        org->parentRow(QStringLiteral("X"), QStringLiteral("A"), DatedOrganisation::day(2021));
        org->child(QStringLiteral("X1"), QStringLiteral("X"));
        org->department(QStringLiteral("Y"));
        org->parentRow(QStringLiteral("Y"), QString(), DatedOrganisation::day(2022));
        org->parentRow(QStringLiteral("Y"), QStringLiteral("Y1"), DatedOrganisation::day(2022));
        org->child(QStringLiteral("Y1"), QStringLiteral("Y"));
        const auto entries = loaded();
        QStringList repeated;
        const auto nodes = DepartmentDirectory::departmentNodes(entries, &repeated);
        QCOMPARE(keysOf(nodes), keys({"A", "X", "X1", "Y", "Y1"}));
        QCOMPARE(repeated, (QStringList{"X", "Y"}));
        QCOMPARE(repeated, QuadraticReference(entries).repeated());
    }

    void emptyDepartmentTable()
    {
        QVERIFY(loaded().isEmpty());
        QVERIFY(DepartmentDirectory::departmentNodes({}).isEmpty());
    }

    void failingStatementReportsError()
    {
        QVERIFY(db->exec(QStringLiteral("drop table 上级部门new")));
        const auto result = DepartmentDirectory::loadDepartments();
        QVERIFY(!result.ok());
        QVERIFY(!result.error.description.isEmpty());
        QVERIFY(result.value.isEmpty());
    }

    void hostileCodes()
    {
        const QString evil = QStringLiteral("O'Brien\"); drop table 职能部门new; --");
        org->department(evil);
        org->child(QStringLiteral("'"), evil);
        QCOMPARE(loadedKeys(), (QStringList{QLatin1Char('$') + evil, QStringLiteral("$'")}));
    }

    // The linear builder against the plain recursion -------------------------------------------

    void linearMatchesQuadraticOnRandomLists_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("duplicates");
        for (quint32 seed = 1; seed <= 40; ++seed)
            QTest::addRow("seed %u%s", seed, seed % 4 == 0 ? " with duplicates" : "") << seed << (seed % 4 == 0);
    }

    void linearMatchesQuadraticOnRandomLists()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, duplicates);
        const auto entries = randomEntries(seed, 300, duplicates);
        const QuadraticReference reference(entries);
        const QStringList expected = describeNodes(reference.nodes());
        QVERIFY(!expected.isEmpty());
        QStringList repeated;
        QCOMPARE(describeNodes(DepartmentDirectory::departmentNodes(entries, &repeated)), expected);
        QCOMPARE(repeated, reference.repeated());
        if (duplicates)
            QVERIFY(!repeated.isEmpty());
    }

    void linearMatchesQuadraticOnDatabaseForest()
    {
        // A forest of 400 departments with dated parent rows, closings, cycles and missing parents.
        QRandomGenerator rng(20240611);
        QSqlDatabase fixture = db->fixtureConnection();
        QVERIFY(fixture.transaction());
        QStringList codes;
        for (int i = 0; i < 400; ++i)
            codes << QString::number(rng.bounded(2) ? 100 + i : 7000 + 3 * i, 16).toUpper();
        for (int i = 0; i < codes.size(); ++i) {
            org->department(codes[i]);
            const int rows = rng.bounded(3);  // 0: top-level (no parent history)
            for (int r = 0; r < rows; ++r) {
                const int kind = rng.bounded(100);
                QString parent;
                if (kind < 70 && i > 0)
                    parent = codes[rng.bounded(i)];  // an earlier one: a tree
                else if (kind < 85)
                    parent = codes[rng.bounded(codes.size() > i + 1 ? i + 1 : i)];  // may be itself
                else if (kind < 92)
                    parent = QStringLiteral("NONE");
                org->parentRow(codes[i], parent, DatedOrganisation::day(2015 + r, 1 + rng.bounded(12)));
            }
            if (rng.bounded(100) < 4)
                org->closeDepartment(codes[i]);
        }
        // Some forward links, so that parents also sort after their children.
        for (int k = 0; k < 40; ++k) {
            const int i = rng.bounded(codes.size());
            org->parentRow(codes[i], codes[rng.bounded(codes.size())], DatedOrganisation::day(2030, 1, 1 + k % 28));
        }
        QVERIFY(fixture.commit());

        const auto entries = loaded();
        QVERIFY(entries.size() > 350);
        const auto nodes = DepartmentDirectory::departmentNodes(entries);
        QVERIFY(nodes.size() > 20);
        QCOMPARE(describeNodes(nodes), describeNodes(QuadraticReference(entries).nodes()));
    }

    void chainOfTenThousand()
    {
        QVector<DepartmentEntry> entries;
        const int n = 10000;
        entries.reserve(n);
        for (int i = 1; i <= n; ++i)
            entries.append({QStringLiteral("C%1").arg(i), QStringLiteral("链%1").arg(i),
                            i == 1 ? QString() : QStringLiteral("C%1").arg(i - 1)});
        // Listed in reverse: every parent comes after its child.
        std::reverse(entries.begin(), entries.end());
        const auto nodes = DepartmentDirectory::departmentNodes(entries);
        QCOMPARE(nodes.size(), n);
        for (int i = 0; i < n; ++i) {
            QCOMPARE(nodes[i].key, QStringLiteral("$C%1").arg(i + 1));
            QCOMPARE(nodes[i].parentKey, i == 0 ? QString() : QStringLiteral("$C%1").arg(i));
        }
    }

    // Positions --------------------------------------------------------------------------------

    void positionsStandard()
    {
        org->department(QStringLiteral("D1"));
        org->employee(QStringLiteral("E1"), QStringLiteral("张三"), QStringLiteral("Zhang San"));
        db->addPosition(QStringLiteral("G02"), QStringLiteral("会计"), QStringLiteral("D1"), QStringLiteral("E1"));
        db->addPosition(QStringLiteral("G01"), QStringLiteral("出纳"), QStringLiteral("D1"));  // vacant
        db->addPosition(QStringLiteral("G03"), QStringLiteral("司机"), QStringLiteral("D1"), QStringLiteral("NOBODY"));
        const auto result = DepartmentDirectory::positionNodes(QStringLiteral("D1"), PositionVariant::Standard);
        QVERIFY2(result.ok(), qPrintable(result.error.description));
        QCOMPARE(describeNodes(result.value), (QStringList{
                                                  QStringLiteral("GG01|$D1|出纳 |2|"),
                                                  QStringLiteral("GG02|$D1|会计 张三|2|"),
                                                  QStringLiteral("GG03|$D1|司机 |2|"),
                                              }));
    }

    void positionsUpload()
    {
        org->department(QStringLiteral("D1"));
        org->employee(QStringLiteral("E1"), QStringLiteral("张三"), QStringLiteral("Zhang San"));
        org->employee(QStringLiteral("E2"), QStringLiteral("李四"));
        db->addPosition(QStringLiteral("G02"), QStringLiteral("会计"), QStringLiteral("D1"), QStringLiteral("E1"));
        db->addPosition(QStringLiteral("G01"), QStringLiteral("出纳"), QStringLiteral("D1"));
        db->addPosition(QStringLiteral("G03"), QStringLiteral("文员"), QStringLiteral("D1"), QStringLiteral("E2"));
        const auto result = DepartmentDirectory::positionNodes(QStringLiteral("D1"), PositionVariant::Upload);
        QVERIFY2(result.ok(), qPrintable(result.error.description));
        QCOMPARE(describeNodes(result.value), (QStringList{
                                                  QStringLiteral("GG01|$D1|G01 出纳 []|2|"),
                                                  QStringLiteral("GG02|$D1|G02 会计 [张三]|2|Zhang San"),
                                                  QStringLiteral("GG03|$D1|G03 文员 [李四]|2|"),
                                              }));
    }

    void positionsFiltered()
    {
        org->department(QStringLiteral("D1"));
        org->department(QStringLiteral("D2"));
        db->addPosition(QStringLiteral("G1"), QStringLiteral("开放"), QStringLiteral("D1"));
        db->addPosition(QStringLiteral("G2"), QStringLiteral("关闭"), QStringLiteral("D1"));
        org->closePosition(QStringLiteral("G2"));
        db->addPosition(QStringLiteral("G3"), QStringLiteral("无类别"), QStringLiteral("D1"), {},
                        QStringLiteral("NOCAT"));
        QVERIFY(db->exec(QStringLiteral("delete from 岗位类别 where 岗位类别编号 = ?"), {QStringLiteral("NOCAT")}));
        db->addPosition(QStringLiteral("G4"), QStringLiteral("别的部门"), QStringLiteral("D2"));
        const auto result = DepartmentDirectory::positionNodes(QStringLiteral("D1"), PositionVariant::Standard);
        QVERIFY(result.ok());
        QCOMPARE(keysOf(result.value), QStringList{QStringLiteral("GG1")});

        // A closed department lists no positions; nor does one without a department category.
        org->closeDepartment(QStringLiteral("D1"));
        QVERIFY(DepartmentDirectory::positionNodes(QStringLiteral("D1"), PositionVariant::Standard).value.isEmpty());
        QVERIFY(db->exec(QStringLiteral("update 职能部门new set 职能部门类别代号 = ? where 职能部门编号 = ?"),
                         {QStringLiteral("NONE"), QStringLiteral("D2")}));
        QVERIFY(DepartmentDirectory::positionNodes(QStringLiteral("D2"), PositionVariant::Standard).value.isEmpty());
    }

    void positionWithNullCode()
    {
        org->department(QStringLiteral("D1"));
        db->addPosition(QString(), QStringLiteral("无代号"), QStringLiteral("D1"));
        QVERIFY(db->exec(QStringLiteral("update 岗位信息new set 岗位代号 = null")));
        const auto result = DepartmentDirectory::positionNodes(QStringLiteral("D1"), PositionVariant::Standard);
        QVERIFY(result.ok());
        QCOMPARE(describeNodes(result.value), QStringList{QStringLiteral("G|$D1|无代号 |2|")});
    }

    void positionsOfHostileDepartment()
    {
        const QString evil = QStringLiteral("D' or '1'='1");
        org->department(evil);
        org->department(QStringLiteral("D2"));
        db->addPosition(QStringLiteral("G'1"), QStringLiteral("引号"), evil);
        db->addPosition(QStringLiteral("G2"), QStringLiteral("别处"), QStringLiteral("D2"));
        const auto result = DepartmentDirectory::positionNodes(evil, PositionVariant::Standard);
        QVERIFY2(result.ok(), qPrintable(result.error.description));
        QCOMPARE(describeNodes(result.value),
                 QStringList{QStringLiteral("GG'1|$") + evil + QStringLiteral("|引号 |2|")});
    }

    void positionStatementFailure()
    {
        org->department(QStringLiteral("D1"));
        QVERIFY(db->exec(QStringLiteral("drop table 岗位类别")));
        const auto result = DepartmentDirectory::positionNodes(QStringLiteral("D1"), PositionVariant::Upload);
        QVERIFY(!result.ok());
        QVERIFY(!result.error.description.isEmpty());
    }
};

QTEST_MAIN(DepartmentDirectoryTest)
#include "test_department_directory.moc"
