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

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace quarvel;

namespace {

// The best of `runs` timings, in milliseconds.
double best(int runs, const std::function<void()>& work)
{
    double fastest = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        fastest = std::min(fastest, t.nsecsElapsed() / 1e6);
    }
    return fastest;
}

bool run(sqlite3* db, const QString& sql)
{
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

void bindValue(sqlite3_stmt* s, int index, const QVariant& value)
{
    const QVariant bound = dialect::bindValue(value, SqlEngine::Sqlite);
    const QByteArray text = bound.toString().toUtf8();
    sqlite3_bind_text(s, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

// Runs the statement with its values and reads every column of every row; the row count.
int readAll(sqlite3* db, const QString& tsql, const QVariantList& values)
{
    sqlite3_stmt* s = nullptr;
    const QByteArray sql = dialect::translate(tsql, SqlEngine::Sqlite).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &s, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        return -1;
    }
    for (int i = 0; i < values.size(); ++i)
        bindValue(s, i + 1, values.at(i));
    int rows = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(s); ++c)
            sqlite3_column_text(s, c);
        ++rows;
    }
    sqlite3_finalize(s);
    return rows;
}

// Fills a temporary value list as ValueList does: drop, create, inserts of up to 500 rows.
void fillList(sqlite3* db, const QString& name, const QStringList& values)
{
    run(db, QStringLiteral("drop table if exists temp.[#%1]").arg(name));
    run(db, QStringLiteral("create temp table [#%1] (值 text not null)").arg(name));
    for (qsizetype from = 0; from < values.size(); from += ValueList::kRowsPerInsert) {
        const int rows = int(std::min<qsizetype>(ValueList::kRowsPerInsert, values.size() - from));
        QString sql = QStringLiteral("insert into [#%1] (值) values ").arg(name);
        for (int i = 0; i < rows; ++i)
            sql += i == 0 ? QStringLiteral("(?)") : QStringLiteral(",(?)");
        sqlite3_stmt* s = nullptr;
        const QByteArray text = sql.toUtf8();
        sqlite3_prepare_v2(db, text.constData(), int(text.size()), &s, nullptr);
        for (int i = 0; i < rows; ++i)
            bindValue(s, i + 1, values.at(from + i));
        sqlite3_step(s);
        sqlite3_finalize(s);
    }
}

void row(const char* name, double client, double floor, int rows, const char* goal)
{
    std::printf("%-34s client %8.2f ms   engine %8.2f ms   ratio %5.2f   (%d rows)  %s\n", name, client, floor,
                floor > 0 ? client / floor : 0.0, rows, goal);
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
    sqlite3* engine = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &engine, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
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
        20, [&] { engineRows = readAll(engine, BrowseDocuments::recentStatement(), {position}); });
    row("opening list (50 newest)", recentClient, recentEngine, clientRows, "goal: <= 5 ms, ratio <= 1.3");
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
        fillList(engine, BrowseDocuments::typeListName(), search.typeCodes);
        fillList(engine, BrowseDocuments::formatListName(), search.formats);
        engineRows = readAll(engine, BrowseDocuments::searchStatement(search),
                             BrowseDocuments::searchValues(position, search));
    });
    row(qPrintable(QStringLiteral("search, every filter (%1 types)").arg(search.typeCodes.size())), searchClient,
        searchEngine, clientRows, "goal: ratio <= 1.3");
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

    sqlite3_close(engine);
    SharedConnection::release();
    return 0;
}
