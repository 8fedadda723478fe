// The statements of the access statistics on real databases: the special audit right, the
// checks of the filter panel in their order, the counts under every filter, value lists of any
// length, the details behind a count and the stored filter they follow.

#include "StatisticsFixture.h"

#include "db/Connection.h"
#include "db/ValueList.h"
#include "reports/AccessStatistics.h"

#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

namespace {

StatisticsFilter everything()
{
    StatisticsFilter f;
    f.departmentCodes = {QStringLiteral("D01"), QStringLiteral("D0101"), QStringLiteral("D02")};
    f.typeCodes = {QStringLiteral("01"), QStringLiteral("0101"), QStringLiteral("02")};
    return f;
}

QStringList summaryOf(const QVector<StatisticsRow>& rows)
{
    QStringList out;
    for (const StatisticsRow& r : rows)
        out << QStringLiteral("%1|%2|%3|%4").arg(r.number, r.name).arg(r.reads).arg(r.downloads);
    return out;
}

}  // namespace

class AccessStatisticsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;

    void log(const QString& number, const QString& name, const QString& type, const QString& employee,
             const QString& department, bool read, const QDateTime& time = QDateTime(QDate(2026, 5, 10), QTime(10, 0)))
    {
        QVERIFY(addLog(*db, LogRow{number, name, type, employee, department, read, time}));
    }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        addStatisticsCompany(*db);
    }

    void cleanup()
    {
        SharedConnection::release();
        db.reset();
    }

    void specialAuditRight()
    {
        QVERIFY(db->insert(QStringLiteral("专项审核权限表"), {{QStringLiteral("类型"), QStringLiteral("公司Quarvel")},
                                                              {QStringLiteral("部门代号"), QStringLiteral("D01")},
                                                              {QStringLiteral("岗位代号"), QStringLiteral("G1")}}));
        QVERIFY(db->insert(QStringLiteral("专项审核权限表"), {{QStringLiteral("类型"), QStringLiteral("其他审核")},
                                                              {QStringLiteral("部门代号"), QStringLiteral("D02")},
                                                              {QStringLiteral("岗位代号"), QStringLiteral("G2")}}));
        QCOMPARE(AccessStatistics::holdsSpecialAudit(QStringLiteral("D01"), QStringLiteral("G1")).value, true);
        QCOMPARE(AccessStatistics::holdsSpecialAudit(QStringLiteral("D01"), QStringLiteral("G2")).value, false);
        QCOMPARE(AccessStatistics::holdsSpecialAudit(QStringLiteral("D02"), QStringLiteral("G2")).value, false);
        // The super user has no department: nothing is found, nothing fails.
        const DbResult<bool> none = AccessStatistics::holdsSpecialAudit(QString(), QString());
        QVERIFY(none.ok());
        QCOMPARE(none.value, false);
        // A quote in a code is only a value.
        QVERIFY(AccessStatistics::holdsSpecialAudit(QStringLiteral("D01' or '1'='1"), QStringLiteral("G1")).ok());
        QCOMPARE(AccessStatistics::holdsSpecialAudit(QStringLiteral("D01' or '1'='1"), QStringLiteral("G1")).value,
                 false);
    }

    void checksInTheirOrder()
    {
        StatisticsRequest r;
        QCOMPARE(AccessStatistics::check(r), RequestProblem::NoDepartment);
        r.typeCodes = {QStringLiteral("01")};
        QCOMPARE(AccessStatistics::check(r), RequestProblem::NoDepartment);
        r.departmentCodes = {QStringLiteral("D01")};
        r.typeCodes.clear();
        QCOMPARE(AccessStatistics::check(r), RequestProblem::NoType);
        r.typeCodes = {QStringLiteral("01")};
        r.byDate = true;
        r.from = QDate(2026, 5, 2);
        r.to = QDate(2026, 5, 1);
        r.byFileName = true;
        r.fileName = QStringLiteral("  ");
        r.byEmployee = true;
        QCOMPARE(AccessStatistics::check(r), RequestProblem::DateOrder);
        r.to = r.from;  // one day is a valid range
        QCOMPARE(AccessStatistics::check(r), RequestProblem::NoFileName);
        r.fileName = QStringLiteral("报告");
        QCOMPARE(AccessStatistics::check(r), RequestProblem::NoEmployeeName);
        r.employeeName = QStringLiteral(" 张 ");
        QCOMPARE(AccessStatistics::check(r), RequestProblem::None);
        const StatisticsFilter f = AccessStatistics::filterOf(r);
        QCOMPARE(f.employeeName.value(), QStringLiteral("张"));
        QCOMPARE(f.fileName.value(), QStringLiteral("报告"));
        QCOMPARE(f.from.value(), QDate(2026, 5, 2));
        // Switched-off filters are not applied, whatever their texts.
        r.byEmployee = r.byFileName = r.byDate = false;
        const StatisticsFilter off = AccessStatistics::filterOf(r);
        QVERIFY(!off.employeeName && !off.fileName && !off.from && !off.to);
    }

    void countsReadsAndDownloadsPerDocument()
    {
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("01"), QStringLiteral("E1"),
            QStringLiteral("D01"), true);
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("01"), QStringLiteral("E2"),
            QStringLiteral("D02"), true);
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("01"), QStringLiteral("E2"),
            QStringLiteral("D02"), false);
        log(QStringLiteral("B-1"), QStringLiteral("合同"), QStringLiteral("02"), QStringLiteral("E3"),
            QStringLiteral("D0101"), true);
        // An employee missing from 员工档案 is never counted.
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("01"), QStringLiteral("E9"),
            QStringLiteral("D01"), true);
        log(QStringLiteral("C-1"), QStringLiteral("无人"), QStringLiteral("01"), QStringLiteral("E9"),
            QStringLiteral("D01"), false);

        AccessStatistics stats;
        const auto rows = stats.run(everything());
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(summaryOf(rows.value), (QStringList{QStringLiteral("A-1|年报|2|1"), QStringLiteral("B-1|合同|1|0")}));
        const CountTotals t = AccessStatistics::totals(rows.value);
        QCOMPARE(t.reads, 3.0);
        QCOMPARE(t.downloads, 1.0);

        // Only ticked departments and types count.
        StatisticsFilter some = everything();
        some.departmentCodes = {QStringLiteral("D02")};
        QCOMPARE(summaryOf(stats.run(some).value), QStringList{QStringLiteral("A-1|年报|1|1")});
        some = everything();
        some.typeCodes = {QStringLiteral("02")};
        QCOMPARE(summaryOf(stats.run(some).value), QStringList{QStringLiteral("B-1|合同|1|0")});
    }

    void dateRangeIncludesTheWholeLastDay()
    {
        const auto at = [](int month, int day, int h, int m, int s) {
            return QDateTime(QDate(2026, month, day), QTime(h, m, s));
        };
        log(QStringLiteral("X-0"), QStringLiteral("前一天"), QStringLiteral("01"), QStringLiteral("E1"),
            QStringLiteral("D01"), true, at(4, 30, 23, 59, 59));
        log(QStringLiteral("X-1"), QStringLiteral("第一天"), QStringLiteral("01"), QStringLiteral("E1"),
            QStringLiteral("D01"), true, at(5, 1, 0, 0, 0));
        log(QStringLiteral("X-2"), QStringLiteral("最后一天"), QStringLiteral("01"), QStringLiteral("E1"),
            QStringLiteral("D01"), true, at(5, 31, 23, 59, 59));
        log(QStringLiteral("X-3"), QStringLiteral("后一天"), QStringLiteral("01"), QStringLiteral("E1"),
            QStringLiteral("D01"), true, at(6, 1, 0, 0, 0));
        StatisticsFilter f = everything();
        f.from = QDate(2026, 5, 1);
        f.to = QDate(2026, 5, 31);
        AccessStatistics stats;
        QCOMPARE(summaryOf(stats.run(f).value),
                 (QStringList{QStringLiteral("X-1|第一天|1|0"), QStringLiteral("X-2|最后一天|1|0")}));
        QVERIFY(AccessStatistics::statisticsStatement(f).contains(QStringLiteral("操作时间 < ?")));
        QCOMPARE(AccessStatistics::filterValues(f).constLast().toDate(), QDate(2026, 6, 1));
    }

    void nameFiltersAreBoundAndKeepTheirWildcards()
    {
        log(QStringLiteral("A-1"), QStringLiteral("年度报告"), QStringLiteral("01"), QStringLiteral("E1"),
            QStringLiteral("D01"), true);
        log(QStringLiteral("A-2"), QStringLiteral("O'Brien 报告"), QStringLiteral("01"), QStringLiteral("E2"),
            QStringLiteral("D01"), true);
        log(QStringLiteral("A-3"), QStringLiteral("合同"), QStringLiteral("01"), QStringLiteral("E3"),
            QStringLiteral("D01"), true);
        AccessStatistics stats;
        StatisticsFilter f = everything();
        f.fileName = QStringLiteral("报告");
        QCOMPARE(stats.run(f).value.size(), 2);
        f.fileName = QStringLiteral("O'Brien");
        const auto quoted = stats.run(f);
        QVERIFY2(quoted.ok(), qPrintable(quoted.error.description));
        QCOMPARE(summaryOf(quoted.value), QStringList{QStringLiteral("A-2|O'Brien 报告|1|0")});
        f.fileName = QStringLiteral("年%告");
        QCOMPARE(summaryOf(stats.run(f).value), QStringList{QStringLiteral("A-1|年度报告|1|0")});
        f.fileName.reset();
        f.employeeName = QStringLiteral("李");
        QCOMPARE(summaryOf(stats.run(f).value), QStringList{QStringLiteral("A-2|O'Brien 报告|1|0")});
        f.employeeName = QStringLiteral("' or 1=1 --");
        const auto hostile = stats.run(f);
        QVERIFY(hostile.ok());
        QVERIFY(hostile.value.isEmpty());
        // Readers' numbers held twice: an entry counts once per holder whose name matches.
        for (const char* number : {"E1", "E2"})
            QVERIFY(db->insert(QStringLiteral("员工档案"), {{QStringLiteral("工号"), QString::fromLatin1(number)},
                                                            {QStringLiteral("姓名"), QStringLiteral("李另一位")}}));
        f.employeeName = QStringLiteral("李");
        QCOMPARE(summaryOf(stats.run(f).value),
                 QStringList({QStringLiteral("A-1|年度报告|1|0"), QStringLiteral("A-2|O'Brien 报告|2|0")}));
    }

    void valueListsOfAnyLength()
    {
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("T2999"), QStringLiteral("E1"),
            QStringLiteral("D01"), true);
        log(QStringLiteral("A-2"), QStringLiteral("季报"), QStringLiteral("T3000"), QStringLiteral("E1"),
            QStringLiteral("Q'4"), true);
        StatisticsFilter f;
        for (int i = 0; i < 5000; ++i) {
            f.typeCodes << QStringLiteral("T%1").arg(i);
            f.departmentCodes << QStringLiteral("D%1").arg(i, 2, 10, QLatin1Char('0'));
        }
        f.departmentCodes << QStringLiteral("Q'4") << QStringLiteral("D01");  // repeated codes count once
        AccessStatistics stats;
        const auto rows = stats.run(f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(summaryOf(rows.value), (QStringList{QStringLiteral("A-1|年报|1|0"), QStringLiteral("A-2|季报|1|0")}));
        // The statement stays the same size whatever the list: no code is in its text.
        QVERIFY(!AccessStatistics::statisticsStatement(f).contains(QStringLiteral("T2999")));
        QVERIFY(AccessStatistics::filterValues(f).isEmpty());
    }

    void renamedDocumentFormsSeparateRowsButOneDetailList()
    {
        log(QStringLiteral("A-1"), QStringLiteral("旧名"), QStringLiteral("01"), QStringLiteral("E1"),
            QStringLiteral("D01"), true, QDateTime(QDate(2026, 5, 1), QTime(9, 0)));
        log(QStringLiteral("A-1"), QStringLiteral("新名"), QStringLiteral("01"), QStringLiteral("E2"),
            QStringLiteral("D02"), false, QDateTime(QDate(2026, 5, 2), QTime(9, 0)));
        log(QStringLiteral("A-1"), QStringLiteral("新名"), QStringLiteral("01"), QStringLiteral("E2"),
            QStringLiteral("D02"), true, QDateTime(QDate(2026, 5, 3), QTime(9, 30)));
        AccessStatistics stats;
        QCOMPARE(summaryOf(stats.run(everything()).value),
                 (QStringList{QStringLiteral("A-1|新名|1|1"), QStringLiteral("A-1|旧名|1|0")}));
        const auto details = stats.details(QStringLiteral("A-1"));
        QVERIFY2(details.ok(), qPrintable(details.error.description));
        QCOMPARE(details.value.size(), 3);
        QCOMPARE(details.value[0].name, QStringLiteral("旧名"));
        QCOMPARE(details.value[0].department, QStringLiteral("财务部"));
        QCOMPARE(details.value[0].employee, QStringLiteral("张三"));
        QCOMPARE(details.value[0].read, QStringLiteral("1"));
        QCOMPARE(details.value[0].download, QStringLiteral("0"));
        QCOMPARE(details.value[2].timeText(), QStringLiteral("2026/05/03 09:30"));
        const CountTotals t = AccessStatistics::totals(details.value);
        QCOMPARE(t.reads, 2.0);
        QCOMPARE(t.downloads, 1.0);
    }

    void detailsListAccessesOfUnknownDepartments()
    {
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("01"), QStringLiteral("E1"),
            QStringLiteral("D01"), true);
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("01"), QStringLiteral("E2"),
            QStringLiteral("D99"), true);
        AccessStatistics stats;
        StatisticsFilter f = everything();
        f.departmentCodes << QStringLiteral("D99");
        QCOMPARE(summaryOf(stats.run(f).value), QStringList{QStringLiteral("A-1|年报|2|0")});
        const auto details = stats.details(QStringLiteral("A-1"));
        QCOMPARE(details.value.size(), 2);  // the details add up to the count
        QStringList departments;
        for (const DetailRow& r : details.value)
            departments << r.department;
        departments.sort();
        QCOMPARE(departments, (QStringList{QString(), QStringLiteral("财务部")}));
    }

    void detailsFollowTheStoredFilter()
    {
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("01"), QStringLiteral("E1"),
            QStringLiteral("D01"), true);
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("01"), QStringLiteral("E2"),
            QStringLiteral("D02"), true);
        AccessStatistics stats;
        QVERIFY(!stats.hasStoredFilter());
        const auto before = stats.details(QStringLiteral("A-1"));
        QVERIFY(before.ok());
        QVERIFY(before.value.isEmpty());

        StatisticsFilter f = everything();
        f.departmentCodes = {QStringLiteral("D02")};
        QVERIFY(stats.run(f).ok());
        // Someone else fills value lists of their own meanwhile; ours stay.
        ValueList other(QStringLiteral("其他代码"));
        QVERIFY(other.fill({QStringLiteral("D01")}).ok());
        QCOMPARE(stats.details(QStringLiteral("A-1")).value.size(), 1);
        // After the shared connection was reopened the details still follow the stored filter.
        QVERIFY(SharedConnection::reopen().ok());
        const auto again = stats.details(QStringLiteral("A-1"));
        QVERIFY2(again.ok(), qPrintable(again.error.description));
        QCOMPARE(again.value.size(), 1);
        QCOMPARE(again.value[0].employee, QStringLiteral("李四"));
        // A run that fails still replaces the stored filter.
        StatisticsFilter broken = everything();
        QVERIFY(db->exec(QStringLiteral("drop table 员工档案")));
        QVERIFY(!stats.run(broken).ok());
        QCOMPARE(stats.storedFilter()->departmentCodes, broken.departmentCodes);
    }

    void numbersAtTheStartOfTexts()
    {
        QCOMPARE(leadingNumber(QStringLiteral("12")), 12.0);
        QCOMPARE(leadingNumber(QStringLiteral(" 3abc")), 3.0);
        QCOMPARE(leadingNumber(QStringLiteral("-1.5x")), -1.5);
        QCOMPARE(leadingNumber(QStringLiteral("x1")), 0.0);
        QCOMPARE(leadingNumber(QString()), 0.0);
        QCOMPARE(leadingNumber(QStringLiteral(".")), 0.0);
        QCOMPARE(codeOfNodeText(QStringLiteral("D0102 会计 组")), QStringLiteral("D0102"));
        QCOMPARE(codeOfNodeText(QStringLiteral(" D01")), QString());
        QCOMPARE(codeOfNodeText(QStringLiteral("D01")), QStringLiteral("D01"));
    }
};

QTEST_MAIN(AccessStatisticsTest)
#include "test_access_statistics.moc"
