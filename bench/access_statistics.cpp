// Times the access statistics with every filter set and the details of the most-read document
// on a large access log, each beside the engine's floor in the same run: the same work through
// libsqlite3 on the same file (the value lists filled as the client fills them, the same
// statement with the same values, every row stepped and every column read into the QString that
// the grid shows).
//
//     access_statistics [log rows] [database] [--runs N]
//
// A database path that does not exist yet is built with the demo tool's generator and kept, so
// later runs reuse it; without a path the database lives in a temporary folder.
#include "db/Connection.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "demodb/DemoData.h"
#include "reports/AccessStatistics.h"

#include "support/DemoBuild.h"
#include "support/EngineFloor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace quarvel;

namespace {

using bench::firstValue;


}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int runs = bench::kMinPairs;
    if (const qsizetype at = args.indexOf(QStringLiteral("--runs")); at >= 0 && at + 1 < args.size()) {
        runs = qMax(1, args.at(at + 1).toInt());
        args.remove(at, 2);
    }
    const qint64 logRows = args.size() > 0 ? args.at(0).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = args.size() > 1 ? args.at(1) : dir.filePath(QStringLiteral("bench.db"));
    if (!QFile::exists(path)) {
        demo::DemoSizes sizes;
        sizes.logRows = logRows;
        sizes.documents = 2000;
        sizes.departments = 200;
        sizes.types = 300;
        if (!bench::buildDemo(path, sizes))
            return 1;
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok())
        return 1;

    // Every filter set: all departments and types ticked, a year of dates, and the commonest
    // first character of the readers' names and of the document names.
    StatisticsFilter filter;
    filter.departmentCodes = bench::firstColumn(QStringLiteral("select 职能部门编号 from 职能部门new"));
    filter.typeCodes = bench::firstColumn(QStringLiteral("select 编号 from 资料类型"));
    filter.employeeName = firstValue(QStringLiteral(
        "select substr(姓名, 1, 1) as c from 资料下载记录 inner join 员工档案 on 员工档案.工号 = 资料下载记录.工号 "
        "group by c order by count(*) desc limit 1"));
    filter.fileName = firstValue(QStringLiteral(
        "select substr(文件名称, 1, 1) as c from 资料下载记录 group by c order by count(*) desc limit 1"));
    const QDateTime newest = dialect::toDateTime(firstValue(QStringLiteral("select max(操作时间) from 资料下载记录")));
    filter.to = newest.date();
    filter.from = newest.date().addYears(-1);
    const qint64 total = firstValue(QStringLiteral("select count(*) from 资料下载记录")).toLongLong();
    std::printf("%lld log rows; filter: %lld departments, %lld types, name like %%%s%%, file like %%%s%%, %s to %s; "
                "medians of %d interleaved pairs\n",
                static_cast<long long>(total), static_cast<long long>(filter.departmentCodes.size()),
                static_cast<long long>(filter.typeCodes.size()), qPrintable(*filter.employeeName),
                qPrintable(*filter.fileName), qPrintable(filter.from->toString(Qt::ISODate)),
                qPrintable(filter.to->toString(Qt::ISODate)), std::max(runs, bench::kMinPairs));

    bench::EngineFloor engine(path, true);
    if (!engine.isOpen())
        return 1;
    const QString countsSql = AccessStatistics::statisticsStatement(filter);
    const QVariantList countsValues = AccessStatistics::filterValues(filter);

    // The statistics: the client fills its two value lists and runs the grouped statement; the
    // floor does the same on its own connection.
    AccessStatistics stats;
    QVector<StatisticsRow> counted;
    int engineRows = 0;
    const auto clientCounts = [&] {
        auto r = stats.run(filter);
        if (!r.ok())
            std::fprintf(stderr, "statistics failed: %s\n", qPrintable(r.error.description));
        counted = std::move(r.value);
    };
    const auto engineCounts = [&] {
        engine.fillList(AccessStatistics::typeList(), filter.typeCodes);
        engine.fillList(AccessStatistics::departmentList(), filter.departmentCodes);
        engineRows = engine.readAllAsStrings(countsSql, countsValues);
    };
    clientCounts();  // warms the page cache for both sides
    engineCounts();
    bench::printHeading(QStringLiteral("access statistics"));
    bench::printRow(QStringLiteral("statistics, every filter set"), bench::pairs(runs, clientCounts, engineCounts),
                    counted.size(), QStringLiteral("ratio <= 1.20"));
    if (engineRows != counted.size())
        std::printf("  ROW COUNTS DIFFER: client %lld, engine %d\n", static_cast<long long>(counted.size()),
                    engineRows);

    // The price of the suite's comparison: the same statement and values on two floor
    // connections, one with the client's collation and LIKE, one with the engine's own NOCASE and
    // LIKE (which fold ASCII letters only), in interleaved pairs.
    bench::EngineFloor nocase(path, true, bench::TextRules::EngineNocase);
    if (!nocase.isOpen())
        return 1;
    int nocaseRows = 0;
    const auto nocaseCounts = [&] {
        nocase.fillList(AccessStatistics::typeList(), filter.typeCodes);
        nocase.fillList(AccessStatistics::departmentList(), filter.departmentCodes);
        nocaseRows = nocase.readAllAsStrings(countsSql, countsValues);
    };
    nocaseCounts();
    bench::printRow(QStringLiteral("the suite's collation beside NOCASE"),
                    bench::pairs(runs, engineCounts, nocaseCounts), counted.size(), QStringLiteral("ratio <= 1.10"),
                    "NOCASE");
    std::printf("  (the client column is the suite's collation on a floor connection; %d rows with NOCASE, which "
                "folds ASCII letters only)\n",
                nocaseRows);

    // The details of the document read most often under the filter: the stored filter's
    // statement for one number; the value lists stay filled from the statistics on both sides.
    QString busiest;
    qint64 most = -1;
    for (const StatisticsRow& r : counted) {
        if (r.reads > most) {
            most = r.reads;
            busiest = r.number;
        }
    }
    const QString detailsSql = AccessStatistics::detailsStatement(filter);
    QVariantList detailsValues = countsValues;
    detailsValues << busiest;
    qsizetype detailRows = 0;
    const auto clientDetails = [&] { detailRows = stats.details(busiest).value.size(); };
    const auto engineDetails = [&] { engineRows = engine.readAllAsStrings(detailsSql, detailsValues); };
    clientDetails();
    engineDetails();
    // Short: ten times as many pairs.
    bench::printRow(QStringLiteral("details of the most-read document"),
                    bench::pairs(runs * 10 + 1, clientDetails, engineDetails), detailRows,
                    QStringLiteral("ratio <= 1.20"));
    if (engineRows != detailRows)
        std::printf("  ROW COUNTS DIFFER: client %lld, engine %d\n", static_cast<long long>(detailRows), engineRows);
    SharedConnection::release();
    return 0;
}
