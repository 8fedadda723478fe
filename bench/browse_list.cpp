// Times the browse window on a large database: the opening list and a search with every filter
// set, each beside its engine floor (the same statement with the same values through libsqlite3
// on the same file), and the window filling its grid with a large search.
#include "db/Connection.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "db/ValueList.h"
#include "demodb/DemoData.h"
#include "library/BrowseDocuments.h"
#include "library/frmBrowse.h"
#include "login/UserContext.h"
#include "platform/Platform.h"
#include "widgets/StatusBar.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"

#include "support/EngineFloor.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace quarvel;

namespace {

using bench::best;

void row(const char* name, double client, double floor, int rows, const char* goal)
{
    bench::printRow(QString::fromUtf8(name), client, floor, rows, QString::fromUtf8(goal));
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int documents = argc > 1 ? std::atoi(argv[1]) : 100000;
    const qint64 rights = argc > 2 ? std::atoll(argv[2]) : 2000000;
    const QString keep = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();

    QTemporaryDir dir;
    const QString path = keep.isEmpty() ? dir.filePath(QStringLiteral("bench.db")) : keep;
    if (keep.isEmpty() || !QFileInfo::exists(path)) {
        demo::DemoSizes sizes;
        sizes.documents = documents;
        sizes.rights = rights;
        sizes.logRows = 0;
        sizes.fileSize = 64;
        QString error;
        QElapsedTimer built;
        built.start();
        if (!demo::build(path, sizes, &error)) {
            std::fprintf(stderr, "demo database: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("demo database built in %.1f s\n", built.elapsed() / 1000.0);
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok())
        return 1;
    bench::EngineFloor engine(path);
    if (!engine.isOpen())
        return 1;

    // The position with the most rights.
    QString position;
    {
        Query busiest(QStringLiteral("select top 1 岗位代号, count(*) as n from 资料下载权限 group by 岗位代号 "
                                     "order by count(*) desc"));
        Query counts(QStringLiteral(
            "select (select count(*) from 公司文件信息) as d, (select count(*) from 资料下载权限) as r"));
        if (!busiest.exec() || !busiest.next() || !counts.exec() || !counts.next())
            return 1;
        position = busiest.text(u"岗位代号");
        std::printf("%d documents, %d rights rows; position %s holds %d rights\n", counts.integer(u"d"),
                    counts.integer(u"r"), qPrintable(position), busiest.integer(u"n"));
    }

    int clientRows = 0;
    int engineRows = 0;
    const double recentClient = best(20, [&] { clientRows = int(BrowseDocuments::recent(position).value.size()); });
    const double recentEngine = best(
        20, [&] { engineRows = engine.readAll(BrowseDocuments::recentStatement(), {position}); });
    row("opening list (50 newest)", recentClient, recentEngine, clientRows, "<= 5 ms, ratio <= 1.3");
    if (clientRows != engineRows)
        std::printf("  rows differ: %d / %d\n", clientRows, engineRows);

    // Every filter set: all types, four formats, name, uploader, keywords and a year of dates.
    BrowseSearch search;
    {
        Query types(QStringLiteral("select 编号 from 资料类型"));
        types.exec();
        while (types.next())
            search.typeCodes << types.text(u"编号");
    }
    search.formats = {QStringLiteral("txt"), QStringLiteral("pdf"), QStringLiteral("png"), QStringLiteral("xlsx")};
    search.byName = true;
    search.name = QStringLiteral("制度");
    search.byUploader = true;
    search.uploader = QStringLiteral("%");
    search.byKeywords = true;
    search.keywords = QStringLiteral("制");
    search.byDate = true;
    search.to = QDate::currentDate();
    search.from = search.to.addYears(-1);
    const double searchClient = best(5,
                                     [&] { clientRows = int(BrowseDocuments::search(position, search).value.size()); });
    const double searchEngine = best(5, [&] {
        engine.fillList(BrowseDocuments::typeListName(), search.typeCodes);
        engine.fillList(BrowseDocuments::formatListName(), search.formats);
        engineRows = engine.readAll(BrowseDocuments::searchStatement(search),
                                    BrowseDocuments::searchValues(position, search));
    });
    row(qPrintable(QStringLiteral("search, every filter (%1 types)").arg(search.typeCodes.size())), searchClient,
        searchEngine, clientRows, "ratio <= 1.3");
    if (clientRows != engineRows)
        std::printf("  rows differ: %d / %d\n", clientRows, engineRows);

    BrowseSearch everyType;
    everyType.typeCodes = search.typeCodes;
    const double plain = best(3, [&] { clientRows = int(BrowseDocuments::search(position, everyType).value.size()); });
    std::printf("%-34s client %8.2f ms   (%d rows)\n", "search, every type only", plain, clientRows);

    // The window: every type ticked, nothing else, filling its grid.
    userContext().PositionCode = position;
    Platform platform;
    Frm公司资料查阅 window(platform);
    window.resize(1200, 800);
    window.show();
    QCoreApplication::processEvents();
    window.Check9->setChecked(true);
    QElapsedTimer timer;
    timer.start();
    window.Command10_Click();
    QCoreApplication::processEvents();
    std::printf("%-34s %8lld ms   (%d rows)  goal: <= 1000 ms at 20,000 rows; status \"%s\"\n",
                "window search, grid filled", static_cast<long long>(timer.elapsed()), window.MSFlexGrid1->rows() - 1,
                qPrintable(window.StatusBar1->panelText(1)));

    SharedConnection::release();
    return 0;
}
