// The statements of the reports on readers, reading coverage and effective rights on real
// databases: counts per reader under every filter, the own-department scope, value lists of
// any length, the accesses behind a reader; the positions granted a document with their
// holders and accesses, never-opened first; the rights rows, groups and upload types that
// explain why a position may see a document.

#include "../permissions/PermissionsFixture.h"
#include "ReaderReportsFixture.h"

#include "db/Connection.h"
#include "reports/DocumentLookup.h"
#include "reports/EffectiveRights.h"
#include "reports/ReaderStatistics.h"
#include "reports/ReadingCoverage.h"

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

QStringList readersOf(const QVector<ReaderRow>& rows)
{
    QStringList out;
    for (const ReaderRow& r : rows)
        out << QStringLiteral("%1 %2|%3 %4|%5|%6|%7|%8")
                   .arg(r.employeeNo, r.employeeName, r.departmentCode, r.departmentName)
                   .arg(r.reads)
                   .arg(r.downloads)
                   .arg(r.documents)
                   .arg(r.lastAccessText());
    return out;
}

QDateTime at(int day, int hour = 10) { return QDateTime(QDate(2026, 5, day), QTime(hour, 0)); }

}  // namespace

class ReaderReportsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;

    void access(const char* number, const char* employee, const char* dept, const char* position, bool read,
                const QDateTime& time)
    {
        QVERIFY(addAccess(*db, QString::fromUtf8(number), QString::fromUtf8(employee), QString::fromUtf8(dept),
                          QString::fromUtf8(position), read, time));
    }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        addReaderReportsCompany(*db);
    }

    void cleanup()
    {
        SharedConnection::release();
        db.reset();
    }

    void statementsPrepareAndParse()
    {
        // The value lists the reader statements name exist while they run.
        for (const QString& list : {ReaderStatistics::typeList(), ReaderStatistics::departmentList()})
            QVERIFY(db->exec(QStringLiteral("create temp table [#%1] (值 text not null)").arg(list)));
        checkStatementsPrepare(*db, ReaderStatistics::statements());
        checkStatementsPrepare(*db, ReadingCoverage::statements());
        checkStatementsPrepare(*db, EffectiveRights::statements());
        checkStatementsPrepare(*db, DocumentLookup::statements());
        QVector<NamedStatement> all = ReaderStatistics::statements();
        all += ReadingCoverage::statements();
        all += EffectiveRights::statements();
        all += DocumentLookup::statements();
        checkStatementsParseAsTsql(all);
    }

    void countsPerReaderAndDepartment()
    {
        access("ZD-1", "E1", "D01", "G1", true, at(3));
        access("ZD-1", "E1", "D01", "G1", false, at(4));
        access("HT-2", "E1", "D01", "G1", true, at(5, 9));
        access("ZD-1", "E1", "D02", "G3", true, at(6));  // read from another department
        access("ZD-1", "E2", "D01", "G2", true, at(7));
        access("ZD-1", "NOBODY", "D01", "G2", true, at(8));  // not in 员工档案: not counted
        ReaderStatistics stats;
        const auto result = stats.run(everything());
        QVERIFY2(result.ok(), qPrintable(result.error.description));
        QCOMPARE(readersOf(result.value), (QStringList{
                                              QStringLiteral("E1 张三|D01 财务部|2|1|2|2026/05/05 09:00"),
                                              QStringLiteral("E2 李四|D01 财务部|1|0|1|2026/05/07 10:00"),
                                              QStringLiteral("E1 张三|D02 销售部|1|0|1|2026/05/06 10:00"),
                                          }));
        const CountTotals totals = ReaderStatistics::totals(result.value);
        QCOMPARE(totals.reads, 4.0);
        QCOMPARE(totals.downloads, 1.0);

        // The accesses behind one reader, in one department, oldest first.
        const auto details = stats.details(QStringLiteral("E1"), QStringLiteral("D01"));
        QVERIFY(details.ok());
        QCOMPARE(details.value.size(), 3);
        QCOMPARE(details.value.at(0).timeText(), QStringLiteral("2026/05/03 10:00"));
        QCOMPARE(details.value.at(1).download, QStringLiteral("1"));
        QCOMPARE(details.value.at(2).number, QStringLiteral("HT-2"));
        QCOMPARE(details.value.at(2).department, QStringLiteral("财务部"));
        QCOMPARE(details.value.at(2).employee, QStringLiteral("张三"));
        // The expected count only sizes the list: fewer or far more expected, the same rows.
        for (const qint64 expected : {qint64(1), qint64(1) << 40, qint64(-5)}) {
            const auto sized = stats.details(QStringLiteral("E1"), QStringLiteral("D01"), expected);
            QCOMPARE(sized.value.size(), 3);
            QCOMPARE(sized.value.at(2).number, QStringLiteral("HT-2"));
        }
    }

    void everyFilterNarrowsTheReaders()
    {
        access("ZD-1", "E1", "D01", "G1", true, at(3));
        access("ZD-1", "E2", "D01", "G2", true, at(20));
        access("ZD-1", "E3", "D02", "G3", false, at(21));
        ReaderStatistics stats;
        StatisticsFilter f = everything();
        f.from = QDate(2026, 5, 10);
        f.to = QDate(2026, 5, 20);  // the whole last day counts
        auto result = stats.run(f);
        QCOMPARE(result.value.size(), 1);
        QCOMPARE(result.value.at(0).employeeNo, QStringLiteral("E2"));

        f = everything();
        f.employeeName = QStringLiteral("王");
        result = stats.run(f);
        QCOMPARE(result.value.size(), 1);
        QCOMPARE(result.value.at(0).employeeNo, QStringLiteral("E3"));

        f = everything();
        f.fileName = QStringLiteral("不存在");
        QVERIFY(stats.run(f).value.isEmpty());

        f = everything();
        f.typeCodes = {QStringLiteral("02")};
        QVERIFY(stats.run(f).value.isEmpty());

        // A quote or a wildcard in the name is a value, never SQL.
        f = everything();
        f.employeeName = QStringLiteral("张' or 1=1 --");
        result = stats.run(f);
        QVERIFY(result.ok());
        QVERIFY(result.value.isEmpty());
        f.employeeName = QStringLiteral("_");
        QCOMPARE(stats.run(f).value.size(), 3);
    }

    void ownDepartmentOnlyWithoutTheAuditRight()
    {
        access("ZD-1", "E1", "D01", "G1", true, at(3));
        access("ZD-1", "E3", "D02", "G3", true, at(4));
        ReaderStatistics stats;
        stats.restrictTo(QStringLiteral("d01 "));
        QCOMPARE(stats.allowedDepartments({QStringLiteral("D02"), QStringLiteral("D01")}),
                 QStringList{QStringLiteral("D01")});
        const auto result = stats.run(everything());
        QCOMPARE(result.value.size(), 1);
        QCOMPARE(result.value.at(0).employeeNo, QStringLiteral("E1"));
        // Details of another department's reader stay empty.
        QVERIFY(stats.details(QStringLiteral("E3"), QStringLiteral("D02")).value.isEmpty());
    }

    void longValueListsAndNoStoredFilter()
    {
        ReaderStatistics stats;
        QVERIFY(!stats.hasStoredFilter());
        QVERIFY(stats.details(QStringLiteral("E1"), QStringLiteral("D01")).value.isEmpty());
        access("ZD-1", "E1", "D01", "G1", true, at(3));
        StatisticsFilter f = everything();
        for (int i = 0; i < 2500; ++i) {
            f.departmentCodes << QStringLiteral("X%1").arg(i);
            f.typeCodes << QStringLiteral("T%1").arg(i);
        }
        const auto result = stats.run(f);
        QVERIFY2(result.ok(), qPrintable(result.error.description));
        QCOMPARE(result.value.size(), 1);
        // The details follow the stored filter even after the connection was opened again.
        SharedConnection::release();
        QVERIFY(db->connectShared());
        QCOMPARE(stats.details(QStringLiteral("E1"), QStringLiteral("D01")).value.size(), 1);
    }

    void coverageNeverOpenedFirstWithHolders()
    {
        access("ZD-1", "E1", "D01", "G1", true, at(3));
        access("ZD-1", "E1", "D01", "G1", false, at(9, 15));
        access("ZD-1", "E3", "D02", "G3", false, at(5));
        access("HT-2", "E2", "D01", "G2", true, at(5));  // another document
        ReadingCoverage coverage;
        const auto result = coverage.run(QStringLiteral("ZD-1"));
        QVERIFY2(result.ok(), qPrintable(result.error.description));
        QStringList rows;
        for (const CoverageRow& r : result.value)
            rows << QStringLiteral("%1 %2|%3|%4%5|%6|%7/%8|%9")
                        .arg(r.positionCode, r.positionName, r.departmentName, r.mayRead ? "查" : "-",
                             r.mayDownload ? "下" : "-", r.holders.join(u','))
                        .arg(r.reads)
                        .arg(r.downloads)
                        .arg(ReadingCoverage::timeText(r.firstAccess) + u'~' + ReadingCoverage::timeText(r.lastAccess));
        QCOMPARE(rows, (QStringList{
                           QStringLiteral("G2 出纳|财务部|查-|E1 张三,E2 李四|0/0|~"),
                           QStringLiteral("G4 销售内勤|销售部|查-||0/0|~"),
                           QStringLiteral("G1 会计|财务部|查下|E1 张三|1/1|2026/05/03 10:00~2026/05/09 15:00"),
                           QStringLiteral("G3 销售代表|销售部|-下|E3 王五|0/1|2026/05/05 10:00~2026/05/05 10:00"),
                       }));
        const CoverageSummary s = ReadingCoverage::summary(result.value);
        QCOMPARE(s.positions, 4);
        QCOMPARE(s.opened, 2);
    }

    void coverageLeavesOutRevokedRightsAndOtherDepartments()
    {
        QVERIFY(db->exec(QStringLiteral("update 资料下载权限 set 查阅 = 0, 下载 = 0 where 岗位代号 = 'G4'")));
        // A second row for the same position counts once, with both rights.
        QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), QStringLiteral("ZD-1")},
                                                            {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                            {QStringLiteral("岗位代号"), QStringLiteral("G2")},
                                                            {QStringLiteral("岗位名称"), QStringLiteral("出纳")},
                                                            {QStringLiteral("下载"), 1},
                                                            {QStringLiteral("查阅"), 0}}));
        ReadingCoverage coverage;
        auto result = coverage.run(QStringLiteral("ZD-1"));
        QCOMPARE(result.value.size(), 3);
        QCOMPARE(result.value.at(0).positionCode, QStringLiteral("G1"));
        QVERIFY(result.value.at(1).mayRead && result.value.at(1).mayDownload);
        coverage.restrictTo(QStringLiteral("D02"));
        result = coverage.run(QStringLiteral("ZD-1"));
        QCOMPARE(result.value.size(), 1);
        QCOMPARE(result.value.at(0).positionCode, QStringLiteral("G3"));
        QCOMPARE(result.value.at(0).holders, QStringList{QStringLiteral("E3 王五")});
        QVERIFY(coverage.run(QStringLiteral("无此编号' or '1'='1")).value.isEmpty());
    }

    void documentLookup()
    {
        auto found = DocumentLookup::find(QStringLiteral("制度"));
        QCOMPARE(found.value.size(), 1);
        QCOMPARE(found.value.at(0).caption(), QStringLiteral("ZD-1 考勤制度"));
        QCOMPARE(found.value.at(0).typeName, QStringLiteral("人事制度"));
        QCOMPARE(DocumentLookup::find(QStringLiteral("ht")).value.size(), 1);
        QCOMPARE(DocumentLookup::find(QString()).value.size(), 2);
        QCOMPARE(DocumentLookup::find(QStringLiteral("'")).value.size(), 0);
        QCOMPARE(DocumentLookup::byNumber(QStringLiteral("ZD-1")).value.size(), 1);
    }

    void explainsADocument()
    {
        EffectiveRights rights;
        const auto e = rights.forDocument(QStringLiteral("ZD-1"));
        QVERIFY2(e.ok(), qPrintable(e.error.description));
        QVERIFY(e.value.found);
        QCOMPARE(e.value.rows.size(), 4);
        const ExplainedRight& g1 = e.value.rows.at(0);
        QCOMPARE(g1.positionCode, QStringLiteral("G1"));
        QCOMPARE(g1.groups, QStringList{QStringLiteral("Z1 财务组")});
        QVERIFY(g1.mayUploadType);
        QCOMPARE(g1.grantedBy, QStringLiteral("E1 张三"));
        QCOMPARE(e.value.rows.at(2).rightsText(), QStringLiteral("只可下载（不可在线查阅）"));
        QVERIFY(!e.value.rows.at(2).mayUploadType);
        const QStringList text = EffectiveRights::sentences(e.value);
        QCOMPARE(text.size(), 5);
        QVERIFY2(text.at(0).contains(QStringLiteral("共有 4 行权限记录：可查阅的 3 行，可下载的 2 行")),
                 qPrintable(text.at(0)));
        QVERIFY2(text.at(1).contains(QStringLiteral("权限表第 1 行直接授予该岗位")), qPrintable(text.at(1)));
        QVERIFY(text.at(1).contains(QStringLiteral("下载组 Z1 财务组")));

        rights.restrictTo(QStringLiteral("D02"));
        QCOMPARE(rights.forDocument(QStringLiteral("ZD-1")).value.rows.size(), 2);
        QVERIFY(!rights.forDocument(QStringLiteral("无")).value.found);
        QCOMPARE(EffectiveRights::sentences(rights.forDocument(QStringLiteral("无")).value),
                 QStringList{QStringLiteral("找不到这份资料。")});
    }

    // Names that look like place markers are shown exactly as stored, and the counts after them
    // stay counts.
    void namesWithPlaceMarkersShowAsStored()
    {
        const QString document = QStringLiteral("考勤%1%2%9制度");
        const QString position = QStringLiteral("会计%5%6");
        const QString department = QStringLiteral("财务%4部");
        QVERIFY(db->exec(QStringLiteral("update 公司文件信息 set 文件名称 = ? where 编号 = 'ZD-1'"), {document}));
        QVERIFY(db->exec(QStringLiteral("update 资料下载权限 set 岗位名称 = ?, 部门名称 = ? where 岗位代号 = 'G1'"),
                         {position, department}));
        QVERIFY(
            db->exec(QStringLiteral("update 资料类型 set 名称 = ? where 编号 = '0101'"), {QStringLiteral("人事%3")}));
        EffectiveRights rights;
        const QStringList text = EffectiveRights::sentences(rights.forDocument(QStringLiteral("ZD-1")).value);
        QVERIFY2(text.at(0).contains(
                     QStringLiteral("ZD-1 考勤%1%2%9制度（类别 0101 人事%3）共有 4 行权限记录：可查阅的 3 行，"
                                    "可下载的 2 行。")),
                 qPrintable(text.at(0)));
        QVERIFY2(text.at(1).startsWith(QStringLiteral("岗位 G1 会计%5%6（财务%4部）可查阅、可下载：权限表第 1 行")),
                 qPrintable(text.at(1)));
        const QStringList positionText = EffectiveRights::sentences(rights.forPosition(QStringLiteral("G1")).value);
        QVERIFY2(positionText.at(2).contains(QStringLiteral("可上传到 2 个资料类别：0101 人事%3、02 合同")),
                 qPrintable(positionText.at(2)));
    }

    void explainsWhyAPositionMayDownload()
    {
        EffectiveRights rights;
        auto e = rights.forDocument(QStringLiteral("ZD-1"), QStringLiteral("G3"));
        QCOMPARE(e.value.rows.size(), 1);
        QStringList text = EffectiveRights::sentences(e.value);
        QVERIFY2(text.at(0).startsWith(QStringLiteral("岗位 G3 销售代表 对资料 ZD-1 考勤制度只可下载（不可在线查阅）")),
                 qPrintable(text.at(0)));
        QVERIFY(text.at(1).contains(QStringLiteral("下载组 Z2 全员")));

        // A group member without a row: membership alone grants nothing.
        QVERIFY(db->exec(QStringLiteral("delete from 资料下载权限 where 岗位代号 = 'G2'")));
        e = rights.forDocument(QStringLiteral("ZD-1"), QStringLiteral("G2"));
        QVERIFY(e.value.rows.isEmpty());
        text = EffectiveRights::sentences(e.value);
        QCOMPARE(text.size(), 2);
        QVERIFY2(text.at(0).contains(QStringLiteral("没有权限记录")), qPrintable(text.at(0)));
        QVERIFY2(text.at(1).contains(QStringLiteral("下载组 Z1 财务组")), qPrintable(text.at(1)));
    }

    void explainsAPosition()
    {
        EffectiveRights rights;
        auto e = rights.forPosition(QStringLiteral("G1"));
        QVERIFY2(e.ok(), qPrintable(e.error.description));
        QCOMPARE(e.value.name, QStringLiteral("会计"));
        QCOMPARE(e.value.departmentName, QStringLiteral("财务部"));
        QCOMPARE(e.value.groups, QStringList{QStringLiteral("Z1 财务组")});
        QCOMPARE(e.value.uploadTypes, (QStringList{QStringLiteral("0101 人事制度"), QStringLiteral("02 合同")}));
        QCOMPARE(e.value.rows.size(), 1);
        QCOMPARE(e.value.rows.at(0).documentName, QStringLiteral("考勤制度"));
        QCOMPARE(e.value.rows.at(0).typeName, QStringLiteral("人事制度"));
        QVERIFY(e.value.rows.at(0).mayUploadType);
        const QStringList text = EffectiveRights::sentences(e.value);
        QCOMPARE(text.size(), 3);
        QVERIFY2(text.at(0).contains(QStringLiteral("在 1 行权限记录中：可查阅 1 行，可下载 1 行")),
                 qPrintable(text.at(0)));
        QVERIFY(text.at(2).contains(QStringLiteral("可上传到 2 个资料类别：0101 人事制度、02 合同")));

        e = rights.forPosition(QStringLiteral("G4"));
        QVERIFY(EffectiveRights::sentences(e.value).contains(QStringLiteral("该岗位不属于任何下载组。")));
        QVERIFY(EffectiveRights::sentences(e.value).contains(QStringLiteral("该岗位不能上传资料。")));

        rights.restrictTo(QStringLiteral("D01"));
        e = rights.forPosition(QStringLiteral("G3"));
        QVERIFY(e.value.outsideScope);
        QVERIFY(e.value.rows.isEmpty());
        QVERIFY(!rights.forPosition(QStringLiteral("NONE")).value.found);
    }

    // A position's long list keeps each grantor and type once: every row still reads what the
    // document's own explanation says of it, whoever granted it (named, unknown, nobody) and
    // whatever its type (uploadable or not, or no document at all).
    void aPositionsRowsReadAsTheirDocumentsExplainThem()
    {
        const QVariant grantors[] = {QStringLiteral("E1"), QStringLiteral("X9"), QVariant(), QStringLiteral("E2"),
                                     QStringLiteral("E1 ")};
        const char* types[] = {"0101", "02", "03", "0101 "};
        for (int i = 0; i < 40; ++i) {
            const QString number = QStringLiteral("P-%1").arg(i, 2, 10, QLatin1Char('0'));
            if (i % 5 != 4)
                QVERIFY(db->insert(QStringLiteral("公司文件信息"),
                                   {{QStringLiteral("编号"), number},
                                    {QStringLiteral("文件名称"), QStringLiteral("文件%1").arg(i)},
                                    {QStringLiteral("文件类别"), QString::fromUtf8(types[(i / 2) % 4])}}));
            QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), number},
                                                                {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                                {QStringLiteral("岗位代号"), QStringLiteral("G1")},
                                                                {QStringLiteral("下载"), i % 2},
                                                                {QStringLiteral("查阅"), 1},
                                                                {QStringLiteral("CzyID"), grantors[i % 5]}}));
        }
        EffectiveRights rights;
        const auto e = rights.forPosition(QStringLiteral("G1"));
        QVERIFY2(e.ok(), qPrintable(e.error.description));
        QCOMPARE(e.value.rows.size(), 41);
        QSet<QString> grantedBy;
        for (const ExplainedRight& r : e.value.rows) {
            grantedBy << r.grantedBy;
            const auto d = rights.forDocument(r.documentNumber, QStringLiteral("G1"));
            QVERIFY(d.ok());
            if (!d.value.found) {  // a right left behind by a deleted document
                QVERIFY(r.documentName.isEmpty() && r.typeCode.isEmpty() && !r.mayUploadType);
                continue;
            }
            QVERIFY2(d.value.rows.size() == 1, qPrintable(r.documentNumber));
            const ExplainedRight& expected = d.value.rows.at(0);
            QCOMPARE(r.id, expected.id);
            QCOMPARE(r.grantedBy, expected.grantedBy);
            QCOMPARE(r.read, expected.read);
            QCOMPARE(r.download, expected.download);
            QCOMPARE(r.documentName, d.value.document.name);
            QCOMPARE(r.typeCode, d.value.document.typeCode);
            QCOMPARE(r.typeName, d.value.document.typeName);
            QCOMPARE(r.mayUploadType, expected.mayUploadType);
        }
        QVERIFY2(grantedBy.contains(QStringLiteral("E1 张三")) && grantedBy.contains(QStringLiteral("X9")),
                 qPrintable(QStringList(grantedBy.values()).join(u',')));
    }
};

QTEST_GUILESS_MAIN(ReaderReportsTest)
#include "test_reader_reports.moc"
