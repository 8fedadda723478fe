// Times the reports on readers, reading coverage and effective rights on a large database, each
// beside the engine's floor for the same statements with the same values on the same file:
//
//   reader_reports [log rows] [documents] [database] [--runs N] [--only readers|accesses|coverage|rights]
//
// The database is built with the demo tool when the file does not exist (1,000,000 access-log
// rows and 100,000 documents by default). Every figure is the median of --runs interleaved
// client/floor pairs (at least 7), with its range and the median of the per-pair ratios.
#include "db/Connection.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "demodb/DemoData.h"
#include "reports/DocumentLookup.h"
#include "reports/EffectiveRights.h"
#include "reports/ReaderStatistics.h"
#include "reports/ReadingCoverage.h"

#include "support/DemoBuild.h"
#include "support/EngineFloor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace quarvel;

namespace {

const QString kGoal = QStringLiteral("<= 1.30");

using bench::firstValue;


// The client's work beside the engine's floor, several statements run one after the other on
// the engine's own connection, the two run in turn.
bench::Pairs clientAndFloor(bench::EngineFloor& engine, int runs, const std::function<void()>& client,
                            const QVector<bench::Statement>& statements)
{
    return bench::pairs(runs, client, [&] {
        for (const bench::Statement& s : statements)
            engine.readAll(s.tsql, s.values);
    });
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int runs = bench::kMinPairs;
    if (const qsizetype i = args.indexOf(QStringLiteral("--runs")); i >= 0 && i + 1 < args.size()) {
        runs = std::max(bench::kMinPairs, args.at(i + 1).toInt());
        args.remove(i, 2);
    }
    QString only;
    if (const qsizetype i = args.indexOf(QStringLiteral("--only")); i >= 0 && i + 1 < args.size()) {
        only = args.at(i + 1);
        args.remove(i, 2);
    }
    const auto wanted = [&only](const char* section) { return only.isEmpty() || only == QLatin1String(section); };
    const qint64 logRows = args.size() > 0 ? args.at(0).toLongLong() : 1000000;
    const int documents = args.size() > 1 ? args.at(1).toInt() : 100000;
    QTemporaryDir dir;
    const QString path = args.size() > 2 ? args.at(2) : dir.filePath(QStringLiteral("readers.db"));
    if (!QFile::exists(path)) {
        demo::DemoSizes sizes;
        sizes.logRows = logRows;
        sizes.documents = documents;
        sizes.departments = 200;
        sizes.types = 300;
        if (!bench::buildDemo(path, sizes))
            return 1;
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok())
        return 1;
    bench::EngineFloor engine(path, true);
    if (!engine.isOpen())
        return 1;

    std::printf("%s access-log rows, %s documents, %s rights rows; medians of %d interleaved pairs\n",
                qPrintable(firstValue(QStringLiteral("select count(*) from 资料下载记录"))),
                qPrintable(firstValue(QStringLiteral("select count(*) from 公司文件信息"))),
                qPrintable(firstValue(QStringLiteral("select count(*) from 资料下载权限"))), runs);

    // Per reader: every department and type ticked, and then every filter set as well (a year
    // of dates, the commonest first character of the readers' and the documents' names).
    StatisticsFilter lists;
    lists.departmentCodes = bench::firstColumn(QStringLiteral("select 职能部门编号 from 职能部门new"));
    lists.typeCodes = bench::firstColumn(QStringLiteral("select 编号 from 资料类型"));
    StatisticsFilter every = lists;
    every.employeeName = firstValue(QStringLiteral(
        "select substr(姓名, 1, 1) as c from 资料下载记录 inner join 员工档案 on 员工档案.工号 = 资料下载记录.工号 "
        "group by c order by count(*) desc limit 1"));
    every.fileName = firstValue(QStringLiteral(
        "select substr(文件名称, 1, 1) as c from 资料下载记录 group by c order by count(*) desc limit 1"));
    const QDateTime newest = dialect::toDateTime(firstValue(QStringLiteral("select max(操作时间) from 资料下载记录")));
    every.to = newest.date();
    every.from = newest.date().addYears(-1);
    engine.fillList(ReaderStatistics::typeList(), lists.typeCodes);
    engine.fillList(ReaderStatistics::departmentList(), lists.departmentCodes);

    if (wanted("readers") || wanted("accesses")) {
        bench::printHeading(QStringLiteral("per reader"));
        ReaderStatistics readers;
        QVector<ReaderRow> counted;
        for (const auto& [what, filter] : {std::pair{QStringLiteral("readers, every department and type"), lists},
                                           std::pair{QStringLiteral("readers, every filter set"), every}}) {
            if (!wanted("readers"))
                break;
            const bench::Pairs pairs = clientAndFloor(
                engine, runs, [&] { counted = readers.run(filter).value; },
                {{ReaderStatistics::readersStatement(filter), AccessStatistics::filterValues(filter)}});
            bench::printRow(what, pairs, counted.size(), kGoal);
        }
        // The accesses of the busiest reader under every filter, the list sized from his counts
        // as the window sizes it.
        counted = readers.run(every).value;
        ReaderRow busiest;
        for (const ReaderRow& r : std::as_const(counted)) {
            if (r.reads + r.downloads > busiest.reads + busiest.downloads)
                busiest = r;
        }
        {
            int count = 0;
            QVariantList values{busiest.departmentName, busiest.employeeName};
            values << AccessStatistics::filterValues(every) << busiest.employeeNo << busiest.departmentCode;
            const bench::Pairs pairs = clientAndFloor(
                engine, runs,
                [&] {
                    const qint64 expected = busiest.reads + busiest.downloads;
                    count = int(readers.details(busiest.employeeNo, busiest.departmentCode, expected).value.size());
                },
                {{ReaderStatistics::namesStatement(), {busiest.employeeNo, busiest.departmentCode}},
                 {ReaderStatistics::detailsStatement(every), values}});
            bench::printRow(QStringLiteral("accesses of the busiest reader"), pairs, count, kGoal);
        }
    }

    // Reading coverage of the document with the most accesses.
    const QString mostRead = firstValue(
        QStringLiteral("select 文件编号 from 资料下载记录 group by 文件编号 order by count(*) desc limit 1"));
    const QString mostGranted = firstValue(
        QStringLiteral("select 文件编号 from 资料下载权限 group by 文件编号 order by count(*) desc limit 1"));
    const QString busiestPosition = firstValue(
        QStringLiteral("select 岗位代号 from 资料下载权限 group by 岗位代号 order by count(*) desc limit 1"));
    if (wanted("coverage"))
        bench::printHeading(QStringLiteral("reading coverage"));
    for (const QString& number : {mostRead, mostGranted}) {
        if (!wanted("coverage"))
            break;
        ReadingCoverage coverage;
        int count = 0;
        const bench::Pairs pairs = clientAndFloor(engine, runs, [&] { count = int(coverage.run(number).value.size()); },
                                                  {{ReadingCoverage::positionsStatement(false), {number, number}},
                                                   {ReadingCoverage::holdersStatement(false), {number}}});
        bench::printRow(QStringLiteral("coverage of %1").arg(number), pairs, count, kGoal);
    }

    // Effective rights: the most granted document, the position with the most rights, the two.
    if (!wanted("rights")) {
        SharedConnection::release();
        return 0;
    }
    bench::printHeading(QStringLiteral("effective rights"));
    EffectiveRights rights;
    FoundDocument document = DocumentLookup::byNumber(mostGranted).value.value(0);
    {
        int count = 0;
        const bench::Pairs pairs = clientAndFloor(
            engine, runs, [&] { count = int(rights.forDocument(mostGranted).value.rows.size()); },
            {{DocumentLookup::statements().at(1).tsql, {mostGranted}},
             {EffectiveRights::documentRightsStatement(false, false), {document.typeCode, mostGranted}},
             {EffectiveRights::documentGroupsStatement(), {mostGranted, QStringLiteral("")}}});
        bench::printRow(QStringLiteral("rights of document %1").arg(mostGranted), pairs, count, kGoal);
    }
    {
        int count = 0;
        const bench::Pairs pairs = clientAndFloor(
            engine, runs, [&] { count = int(rights.forPosition(busiestPosition).value.rows.size()); },
            {{EffectiveRights::positionStatement(), {busiestPosition}},
             {EffectiveRights::positionGroupsStatement(), {busiestPosition}},
             {EffectiveRights::positionUploadStatement(), {busiestPosition}},
             {EffectiveRights::positionRightsCountStatement(), {busiestPosition}},
             {EffectiveRights::positionRightsStatement(), {busiestPosition}}});
        bench::printRow(QStringLiteral("rights of position %1").arg(busiestPosition), pairs, count, kGoal);
    }
    {
        int count = 0;
        const bench::Pairs pairs = clientAndFloor(
            engine, runs, [&] { count = int(rights.forDocument(mostGranted, busiestPosition).value.rows.size()); },
            {{DocumentLookup::statements().at(1).tsql, {mostGranted}},
             {EffectiveRights::documentRightsStatement(true, false), {document.typeCode, mostGranted, busiestPosition}},
             {EffectiveRights::documentGroupsStatement(), {mostGranted, busiestPosition}},
             {EffectiveRights::positionStatement(), {busiestPosition}}});
        bench::printRow(QStringLiteral("position %1 on document %2").arg(busiestPosition, mostGranted), pairs, count,
                        kGoal);
    }
    SharedConnection::release();
    return 0;
}
