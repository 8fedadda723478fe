// Stores files of a given size in 文件 through the QSQLITE path and writes one back to disk, each
// step in interleaved pairs with cp + fsync of a file of the same size (client, floor, client,
// floor, …), so that a machine growing busier or quieter weighs on both alike. Printed for each
// step: the medians and ranges of both times and of their ratio (floor / client: 1 means as fast
// as copying the file, the goal is at least 0.8 for storing), the syncs and the bytes that reached
// the database file and the journal per run (medians), and at the end the growth of the peak
// resident memory over the resident memory before the first transfer.
//
//   content_transfer [size] [folder] [page size] [--pairs N]
//
// size: bytes, or with a suffix K, M or G (powers of 1024); default 256M. SQLite keeps at most
// SQLITE_LIMIT_LENGTH bytes in one row (1,000,000,000 in the usual builds); a larger size is
// cut down to 1 MiB below that limit, and said so. folder: where the files and the database
// go (default: the system's temporary folder); it needs about five times the size free.
// page size: the database's page size in bytes (default: the schema script's). --pairs: pairs
// per step (default 7).
//
// The steps: a new document (its row inserted beforehand, removed afterwards, so that later runs
// find the free pages of earlier ones), storing again over a value of another length (the file
// alternately one byte shorter and whole), storing again over a value of the same length with
// other content (the engine overwrites the value where it lies, so its old pages go through the
// journal), and writing the stored file back to disk.

#include "db/Connection.h"
#include "db/EmbeddedBlob.h"
#include "db/Query.h"
#include "db/Schema.h"
#include "db/ZeroPageVfs.h"
#include "shared/ContentTransfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sqlite3.h>

#include "support/EngineFloor.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

using namespace quarvel;

namespace {

// --- what reaches the files: a thin layer under the client's file access ---------------------

struct FileCounts {
    qint64 syncs = 0;
    qint64 databaseBytes = 0;
    qint64 journalBytes = 0;
};

FileCounts g_counts;
sqlite3_vfs* g_below = nullptr;
sqlite3_vfs g_counting;
// The engine gives database and journal files different method tables: each file's own, and a
// counting copy of every table met.
std::unordered_map<sqlite3_file*, const sqlite3_io_methods*> g_originals;
std::unordered_map<const sqlite3_io_methods*, sqlite3_io_methods> g_copies;
std::unordered_set<sqlite3_file*> g_databaseFiles;

int countedWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset)
{
    (g_databaseFiles.count(f) ? g_counts.databaseBytes : g_counts.journalBytes) += amount;
    return g_originals.at(f)->xWrite(f, data, amount, offset);
}

int countedSync(sqlite3_file* f, int flags)
{
    ++g_counts.syncs;
    return g_originals.at(f)->xSync(f, flags);
}

int countedClose(sqlite3_file* f)
{
    const sqlite3_io_methods* original = g_originals.at(f);
    g_originals.erase(f);
    g_databaseFiles.erase(f);
    return original->xClose(f);
}

int countedOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    const int rc = g_below->xOpen(g_below, name, f, flags, outFlags);
    if (!f->pMethods)
        return rc;
    auto copy = g_copies.find(f->pMethods);
    if (copy == g_copies.end()) {
        sqlite3_io_methods counting = *f->pMethods;
        counting.xWrite = countedWrite;
        counting.xSync = countedSync;
        counting.xClose = countedClose;
        copy = g_copies.emplace(f->pMethods, counting).first;
    }
    g_originals[f] = f->pMethods;
    if (flags & SQLITE_OPEN_MAIN_DB)
        g_databaseFiles.insert(f);
    f->pMethods = &copy->second;
    return rc;
}

// Puts the counting layer under the client's file access (which then writes through it).
bool installCounting()
{
    sqlite3_initialize();
    g_below = sqlite3_vfs_find(nullptr);
    if (!g_below)
        return false;
    g_counting = *g_below;
    g_counting.zName = "bench-counting";
    g_counting.xOpen = countedOpen;
    return sqlite3_vfs_register(&g_counting, 1) == SQLITE_OK && installZeroPageVfs();
}

// --- figures ---------------------------------------------------------------------------------

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Step {
    std::vector<double> clientMs, floorMs, ratio, syncs, databaseMiB, journalMiB;
    bool failed = false;
};

QString range(const std::vector<double>& v, const char* format)
{
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    return QString::asprintf(format, median(v)) + QStringLiteral(" (") + QString::asprintf(format, *lo)
           + QStringLiteral("–") + QString::asprintf(format, *hi) + QStringLiteral(")");
}

void print(const char* what, const Step& s, const char* goal = "ratio >= 0.8")
{
    if (s.failed || s.clientMs.empty()) {
        std::printf("  %-34s FAILED\n", what);
        return;
    }
    const auto seconds = [](std::vector<double> ms) {
        for (double& v : ms)
            v /= 1000.0;
        return range(ms, "%.3f");
    };
    std::printf("  %-34s client %s s   cp+fsync %s s   ratio %s   goal %s\n", what, qPrintable(seconds(s.clientMs)),
                qPrintable(seconds(s.floorMs)), qPrintable(range(s.ratio, "%.2f")), goal);
    std::printf("  %-34s syncs %s   written: database %s MiB, journal %s MiB\n", "", qPrintable(range(s.syncs, "%.0f")),
                qPrintable(range(s.databaseMiB, "%.1f")), qPrintable(range(s.journalMiB, "%.1f")));
    std::fflush(stdout);
}

// Runs `pairs` pairs of the client's step and cp + fsync of `floorSource`; `before` runs ahead of
// each client step and `after` behind it, both outside the timing.
Step pairsOf(int pairs, const QString& floorSource, const QString& copy, const std::function<bool()>& before,
             const std::function<DbStatus()>& client, const std::function<bool()>& after)
{
    Step s;
    for (int i = 0; i < pairs; ++i) {
        if (!before()) {
            s.failed = true;
            return s;
        }
        const FileCounts start = g_counts;
        QElapsedTimer timer;
        timer.start();
        const DbStatus done = client();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (!done.ok()) {
            std::fprintf(stderr, "failed: %s\n", qPrintable(done.error.description));
            s.failed = true;
            return s;
        }
        s.syncs.push_back(double(g_counts.syncs - start.syncs));
        s.databaseMiB.push_back(double(g_counts.databaseBytes - start.databaseBytes) / 1048576.0);
        s.journalMiB.push_back(double(g_counts.journalBytes - start.journalBytes) / 1048576.0);
        if (!after()) {
            s.failed = true;
            return s;
        }
        const double floor = bench::copyAndSyncMs(floorSource, copy);
        s.clientMs.push_back(ms);
        s.floorMs.push_back(floor);
        s.ratio.push_back(floor / ms);
    }
    QFile::remove(copy);
    return s;
}

bool sameContent(const QString& a, const QString& b)
{
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    }
    return true;
}

qint64 sqliteValueLimit()
{
    const QVariant handle = SharedConnection::database().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return -1;
    return sqlite3_limit(*static_cast<sqlite3* const*>(handle.constData()), SQLITE_LIMIT_LENGTH, -1);
}

qint64 newDocument(const QString& number)
{
    if (!execute(QStringLiteral("insert into 公司文件信息 (编号, 文件名称, 附件后缀) values (?, ?, ?)"),
                 {number, QStringLiteral("基准"), QStringLiteral("bin")})
             .ok())
        return -1;
    return bench::firstValue(QStringLiteral("select max(ID) from 公司文件信息")).toLongLong();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    int pairs = 7;
    const qsizetype pairsAt = args.indexOf(QStringLiteral("--pairs"));
    if (pairsAt > 0 && pairsAt + 1 < args.size()) {
        pairs = qMax(1, args.at(pairsAt + 1).toInt());
        args.remove(pairsAt, 2);
    }
    qint64 size = args.value(1).isEmpty() ? qint64(256) << 20 : bench::parseSize(args.value(1));
    const int pageSize = args.value(3).toInt();
    if (size < 2) {
        std::fprintf(stderr, "usage: content_transfer [size[K|M|G]] [folder] [page size] [--pairs N]\n");
        return 2;
    }
    if (!installCounting()) {
        std::fprintf(stderr, "cannot set up the file access\n");
        return 1;
    }
    QTemporaryDir dir(args.size() > 2 ? args.at(2) + QStringLiteral("/content-transfer-XXXXXX") : QString());
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a working folder\n");
        return 1;
    }
    const QString dbPath = dir.filePath(QStringLiteral("bench.db"));
    {
        QSqlDatabase setup = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        setup.setDatabaseName(dbPath);
        if (!setup.open() || !schema::create(setup, SqlEngine::Sqlite).ok()) {
            std::fprintf(stderr, "cannot create the database\n");
            return 1;
        }
        if (pageSize > 0) {
            QSqlQuery q(setup);
            if (!q.exec(QStringLiteral("PRAGMA page_size = %1").arg(pageSize)) || !q.exec(QStringLiteral("VACUUM"))) {
                std::fprintf(stderr, "cannot set the page size\n");
                return 1;
            }
        }
        QSqlQuery asked(setup);
        if (asked.exec(QStringLiteral("PRAGMA page_size")) && asked.next())
            std::printf("database page size %d bytes\n", asked.value(0).toInt());
        setup.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));
    const DbStatus opened = OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + dbPath);
    if (!opened.ok()) {
        std::fprintf(stderr, "cannot open the database: %s\n", qPrintable(opened.error.description));
        return 1;
    }

    const qint64 limit = sqliteValueLimit();
    // The limit holds for the whole row: leave 1 MiB for the other columns.
    const qint64 largest = limit - (qint64(1) << 20);
    if (limit >= 0 && size > largest) {
        std::printf("SQLite keeps at most %lld bytes in one row; %lld bytes asked, %lld used.\n", limit, size, largest);
        size = largest;
    }
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    const QString shorter = dir.filePath(QStringLiteral("shorter.bin"));
    const QString otherA = dir.filePath(QStringLiteral("other-a.bin"));
    const QString otherB = dir.filePath(QStringLiteral("other-b.bin"));
    const QString target = dir.filePath(QStringLiteral("target.bin"));
    const QString copy = dir.filePath(QStringLiteral("copy.bin"));
    if (!bench::makeSource(source, size) || !bench::makeSource(shorter, size - 1)
        || !bench::makeSource(otherA, size, 0x2545F4914F6CDD1Dull)
        || !bench::makeSource(otherB, size, 0x853C49E6748FEA9Bull)) {
        std::fprintf(stderr, "cannot write the source files\n");
        return 1;
    }

    const DocumentContent content;
    std::printf("content transfer, QSQLITE, %lld bytes (%.1f MiB), pieces of %lld bytes, %d pairs per step\n", size,
                size / 1048576.0, content.unit(), pairs);
    const double residentBefore = bench::residentMiB();
    std::printf("  resident before the first transfer %.1f MiB\n", residentBefore);
    const auto nothing = [] { return true; };

    // A new document, its row added before and removed after the timed store.
    qint64 fresh = -1;
    int numbered = 0;
    const Step created = pairsOf(
        pairs, source, copy, [&] { return (fresh = newDocument(QStringLiteral("N-%1").arg(++numbered))) > 0; },
        [&] { return content.storeFile(fresh, source); },
        [&] {
            // Removed as a replaced value is: its pages freed as they stand.
            const FreedPagesKept kept;
            return content.storedSize(fresh).value == size
                   && execute(QStringLiteral("delete from 公司文件信息 where ID = ?"), {fresh}).ok();
        });
    print("store, new document", created);

    const qint64 id = newDocument(QStringLiteral("B-1"));
    if (id < 0 || !content.storeFile(id, source).ok()) {
        std::fprintf(stderr, "cannot store the kept document\n");
        return 1;
    }
    int turn = 0;
    const Step otherLength = pairsOf(
        pairs, source, copy, nothing, [&] { return content.storeFile(id, ++turn % 2 ? shorter : source); }, nothing);
    print("store again, other length", otherLength);

    // The value has the full length before the first pair.
    if (turn % 2 && !content.storeFile(id, source).ok()) {
        std::fprintf(stderr, "cannot store the kept document\n");
        return 1;
    }
    const Step sameLength = pairsOf(
        pairs, source, copy, nothing, [&] { return content.storeFile(id, ++turn % 2 ? otherA : otherB); }, nothing);
    // No goal: all-or-nothing under the rollback journal keeps the old pages in the journal.
    print("store again, same length", sameLength, "- (the old value's pages are journaled)");
    const QString last = turn % 2 ? otherA : otherB;

    const Step written = pairsOf(
        pairs, source, copy, nothing, [&] { return content.writeToFile(id, target); }, nothing);
    print("write back", written, "ratio >= 0.7");

    const bool same = sameContent(last, target);
    std::printf("  written file %s the last file stored\n", same ? "is identical to" : "DIFFERS from");
    std::printf("  memory: peak resident %.1f MiB, %.1f MiB over the resident memory before the first transfer"
                " (goal <= 32)\n",
                bench::peakMiB(), bench::peakMiB() - residentBefore);
    SharedConnection::release();
    return same && !created.failed && !otherLength.failed && !sameLength.failed && !written.failed ? 0 : 1;
}
