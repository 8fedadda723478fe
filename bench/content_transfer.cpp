// Stores a file of a given size in 文件 of one document row and writes it back to disk through
// the QSQLITE path, printing the elapsed times and the peak resident memory (VmHWM) before and
// after each step: the peak must not grow with the file size.
//
//   content_transfer [size] [folder] [page size]
//
// size: bytes, or with a suffix K, M or G (powers of 1024); default 1G. SQLite keeps at most
// SQLITE_LIMIT_LENGTH bytes in one row (1,000,000,000 in the usual builds); a larger size is
// cut down to 1 MiB below that limit, and said so. folder: where the files and the database
// go (default: the system's temporary folder); it needs about three times the size free.
// page size: the database's page size in bytes (default: the schema script's). Each step is
// printed beside cp + fsync of the same file, and the document is stored a second time over
// its first value.

#include "db/Connection.h"
#include "db/Query.h"
#include "db/Schema.h"
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

#include <cstdio>

#include <unistd.h>

using namespace quarvel;

namespace {

void printMemory(const char* when)
{
    std::printf("  %-26s peak resident %8.1f MiB   resident %8.1f MiB\n", when, bench::peakMiB(), bench::residentMiB());
    std::fflush(stdout);
}

// The size argument; a gigabyte when none is given.
qint64 parseSize(const QString& text) { return text.isEmpty() ? qint64(1) << 30 : bench::parseSize(text); }

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

double mibPerSecond(qint64 bytes, qint64 ms) { return ms > 0 ? bytes / 1048576.0 / (ms / 1000.0) : 0; }

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    qint64 size = parseSize(args.value(1));
    const int pageSize = args.value(3).toInt();
    if (size < 0) {
        std::fprintf(stderr, "usage: content_transfer [size[K|M|G]] [folder] [page size]\n");
        return 2;
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
    if (!execute(QStringLiteral("insert into 公司文件信息 (编号, 文件名称, 附件后缀) values (?, ?, ?)"),
                 {QStringLiteral("B-1"), QStringLiteral("基准"), QStringLiteral("bin")})
             .ok()) {
        std::fprintf(stderr, "cannot add the document row\n");
        return 1;
    }
    const qint64 id = 1;

    const qint64 limit = sqliteValueLimit();
    // The limit holds for the whole row: leave 1 MiB for the other columns.
    const qint64 largest = limit - (qint64(1) << 20);
    if (limit >= 0 && size > largest) {
        std::printf("SQLite keeps at most %lld bytes in one row; %lld bytes asked, %lld used.\n", limit, size, largest);
        size = largest;
    }
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    const QString target = dir.filePath(QStringLiteral("target.bin"));
    if (!bench::makeSource(source, size)) {
        std::fprintf(stderr, "cannot write the source file\n");
        return 1;
    }

    const DocumentContent content;
    std::printf("content transfer, QSQLITE, %lld bytes (%.1f MiB), pieces of %lld bytes\n", size, size / 1048576.0,
                content.unit());
    printMemory("before:");

    const QString copy = dir.filePath(QStringLiteral("copy.bin"));
    const auto report = [&](const char* what, qint64 ms, double floor) {
        std::printf("  %-12s %9.2f s  %8.1f MiB/s   cp+fsync %6.2f s  share %5.2f (goal >= 0.7)\n", what, ms / 1000.0,
                    mibPerSecond(size, ms), floor / 1000.0, ms > 0 ? floor / double(ms) : 0.0);
    };
    QElapsedTimer timer;
    for (const char* what : {"store", "store again"}) {
        timer.start();
        const DbStatus stored = content.storeFile(id, source);
        const qint64 storeMs = timer.elapsed();
        if (!stored.ok()) {
            std::fprintf(stderr, "store failed: %s\n", qPrintable(stored.error.description));
            return 1;
        }
        report(what, storeMs, bench::copyAndSyncMs(source, copy));
        printMemory("after store:");
    }

    timer.restart();
    const DbStatus written = content.writeToFile(id, target);
    const qint64 writeMs = timer.elapsed();
    if (!written.ok()) {
        std::fprintf(stderr, "write back failed: %s\n", qPrintable(written.error.description));
        return 1;
    }
    report("write back", writeMs, bench::copyAndSyncMs(source, copy));
    printMemory("after write back:");
    QFile::remove(copy);

    const bool same = sameContent(source, target);
    std::printf("  written file %s the source\n", same ? "is identical to" : "DIFFERS from");
    SharedConnection::release();
    return same ? 0 : 1;
}
