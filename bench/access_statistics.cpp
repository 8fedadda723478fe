// Times the access statistics and the details of the most-read document on a large access log,
// each beside the engine's own time for the same statement and values (the sqlite3 library run
// directly on the same file): access_statistics [log rows] [database].
#include "db/Connection.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "db/TextCollation.h"
#include "demodb/DemoData.h"
#include "reports/AccessStatistics.h"

#include "support/EngineFloor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace quarvel;

namespace {

QStringList column(const QString& sql)
{
    QStringList out;
    Query q(sql);
    if (q.exec()) {
        while (q.next())
            out << q.raw().value(0).toString();
    }
    return out;
}

QString first(const QString& sql) { return column(sql).value(0); }

// The engine alone: the statement prepared, bound and stepped through with the sqlite3 library,
// the value lists filled beforehand in that connection. Returns milliseconds and counts rows.
double engineMs(const QString& path, const StatisticsFilter& filter, const QString& tsql, const QVariantList& values,
                int* rows)
{
    bench::EngineFloor engine(path, true);
    engine.fillList(AccessStatistics::typeList(), filter.typeCodes);
    engine.fillList(AccessStatistics::departmentList(), filter.departmentCodes);
    QElapsedTimer timer;
    timer.start();
    *rows = engine.readAll(tsql, values);
    return double(timer.nsecsElapsed()) / 1e6;
}

void row(const char* what, double clientMs, double engine, int clientRows, int engineRows)
{
    std::printf("%-34s client %8.1f ms  engine %8.1f ms  ratio %5.2f (goal <= 1.20)  rows %d/%d\n", what, clientMs,
                engine, engine > 0 ? clientMs / engine : 0.0, clientRows, engineRows);
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const qint64 logRows = argc > 1 ? std::atoll(argv[1]) : 1000000;
    QTemporaryDir dir;
    QString path = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("bench.db"));
    if (!QFile::exists(path)) {
        demo::DemoSizes sizes;
        sizes.logRows = logRows;
        sizes.documents = 2000;
        sizes.departments = 200;
        sizes.types = 300;
        QString error;
        QElapsedTimer build;
        build.start();
        if (!demo::build(path, sizes, &error)) {
            std::fprintf(stderr, "demo database: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("demo database with %lld log rows built in %lld s\n", static_cast<long long>(logRows),
                    static_cast<long long>(build.elapsed() / 1000));
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok())
        return 1;

    // Every filter set: all departments and types ticked, a year of dates, and the commonest
    // first character of the readers' names and of the document names.
    StatisticsFilter filter;
    filter.departmentCodes = column(QStringLiteral("select 职能部门编号 from 职能部门new"));
    filter.typeCodes = column(QStringLiteral("select 编号 from 资料类型"));
    filter.employeeName = first(QStringLiteral(
        "select substr(姓名, 1, 1) as c from 资料下载记录 inner join 员工档案 on 员工档案.工号 = 资料下载记录.工号 "
        "group by c order by count(*) desc limit 1"));
    filter.fileName = first(QStringLiteral(
        "select substr(文件名称, 1, 1) as c from 资料下载记录 group by c order by count(*) desc limit 1"));
    const QDateTime newest = dialect::toDateTime(first(QStringLiteral("select max(操作时间) from 资料下载记录")));
    filter.to = newest.date();
    filter.from = newest.date().addYears(-1);
    std::printf("%lld log rows; filter: %lld departments, %lld types, name like %%%s%%, file like %%%s%%, %s to %s\n",
                static_cast<long long>(first(QStringLiteral("select count(*) from 资料下载记录")).toLongLong()),
                static_cast<long long>(filter.departmentCodes.size()), static_cast<long long>(filter.typeCodes.size()),
                qPrintable(*filter.employeeName), qPrintable(*filter.fileName),
                qPrintable(filter.from->toString(Qt::ISODate)), qPrintable(filter.to->toString(Qt::ISODate)));

    AccessStatistics stats;
    stats.run(filter);  // warms the page cache for both sides
    QElapsedTimer timer;
    timer.start();
    const auto counted = stats.run(filter);
    const double clientMs = double(timer.nsecsElapsed()) / 1e6;
    if (!counted.ok()) {
        std::fprintf(stderr, "statistics failed: %s\n", qPrintable(counted.error.description));
        return 1;
    }
    int engineRows = 0;
    const double engine = engineMs(path, filter, AccessStatistics::statisticsStatement(filter),
                                   AccessStatistics::filterValues(filter), &engineRows);
    row("statistics, every filter set", clientMs, engine, int(counted.value.size()), engineRows);

    // The details of the document read most often under the filter.
    QString busiest;
    qint64 most = -1;
    for (const StatisticsRow& r : counted.value) {
        if (r.reads > most) {
            most = r.reads;
            busiest = r.number;
        }
    }
    stats.details(busiest);
    timer.restart();
    const auto details = stats.details(busiest);
    const double detailsMs = double(timer.nsecsElapsed()) / 1e6;
    QVariantList values = AccessStatistics::filterValues(filter);
    values << busiest;
    const double detailsEngine = engineMs(path, filter, AccessStatistics::detailsStatement(filter), values,
                                          &engineRows);
    row("details of the most-read document", detailsMs, detailsEngine, int(details.value.size()), engineRows);
    SharedConnection::release();
    return 0;
}
