// Storing files in 文件 and writing them back, through QSQLITE (blob I/O) and through QODBC
// (one piece per statement) on the same kind of SQLite database.

#include "TestSupport.h"

#include "db/FaultInjection.h"
#include "db/Query.h"
#include "shared/ContentTransfer.h"
#include "shared/Module1.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(quarvel::test::TestDatabase::Access)

using namespace quarvel;
using namespace quarvel::test;

namespace {

using Access = TestDatabase::Access;

// Larger than the page cache the large-store tests leave the connection (8 pages of 64 KiB).
constexpr qint64 kBig = 4 * 1024 * 1024 + 4321;


QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

QVariant nullBytes() { return QVariant(QMetaType::fromType<QByteArray>()); }

// A test database with the shared connection open on it, or a reason to skip.
struct Fixture {
    explicit Fixture(Access access) : db(access) {}
    TestDatabase db;
    QTemporaryDir files;

    QString open()
    {
        if (!db.isValid())
            return QStringLiteral("fixture database not created");
        if (db.svr().startsWith(QStringLiteral("odbc:")) && !QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
            return QStringLiteral("skip: Qt's ODBC driver is not installed");
        const DbStatus opened = db.openShared();
        if (!opened.ok()) {
            const QString why = opened.error.description;
            return db.svr().startsWith(QStringLiteral("odbc:"))
                       ? QStringLiteral("skip: the SQLite ODBC driver is not available: ") + why
                       : why;
        }
        return {};
    }

    qint64 addDocument(const QVariant& content)
    {
        static int number = 0;
        ++number;
        db.insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), QStringLiteral("W-%1").arg(number)},
                                                   {QStringLiteral("文件名称"), QStringLiteral("制度%1").arg(number)},
                                                   {QStringLiteral("附件后缀"), QStringLiteral("pdf")},
                                                   {QStringLiteral("文件"), content}});
        return db.scalar(QStringLiteral("select max(ID) from 公司文件信息")).toLongLong();
    }

    QVariant stored(qint64 id) { return db.scalar(QStringLiteral("select 文件 from 公司文件信息 where ID = ?"), {id}); }

    QString file(const QString& name) const { return files.filePath(name); }
};

#define OPEN_FIXTURE(fixture)                                                                                          \
    do {                                                                                                               \
        const QString why = (fixture).open();                                                                          \
        if (why.startsWith(QStringLiteral("skip: ")))                                                                  \
            QSKIP(qPrintable(why.mid(6)));                                                                             \
        QVERIFY2(why.isEmpty(), qPrintable(why));                                                                      \
    } while (false)

void addAccessRows()
{
    QTest::addColumn<Access>("access");
    QTest::newRow("QSQLITE") << Access::Sqlite;
    QTest::newRow("QODBC") << Access::Odbc;
}

}  // namespace

class ContentTransferTest : public QObject {
    Q_OBJECT

private slots:
    // --- round trips ---

    void roundTrip_data()
    {
        QTest::addColumn<Access>("access");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("unit");
        const qint64 sizes[] = {0, 1, 7, 8, 2047, 2048, 2049, 5000, 3 * 1024 * 1024 + 17};
        for (const Access access : {Access::Sqlite, Access::Odbc}) {
            const char* name = access == Access::Sqlite ? "QSQLITE" : "QODBC";
            for (const qint64 size : sizes) {
                // Through the SQLite ODBC driver every appended piece rewrites the whole value
                // (SQL Server appends in place): 2048-byte pieces stay below a megabyte there.
                if (access == Access::Sqlite || size < 1024 * 1024)
                    QTest::addRow("%s %lld by 2048", name, size) << access << size << kTransferUnit;
                QTest::addRow("%s %lld by stream unit", name, size) << access << size << kStreamUnit;
            }
        }
    }
    void roundTrip()
    {
        QFETCH(Access, access);
        QFETCH(qint64, size);
        QFETCH(qint64, unit);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(QByteArray("previous content"));
        const QByteArray content = randomBytes(size, quint32(size + unit));
        QVERIFY(writeFile(f.file(QStringLiteral("upload.bin")), content));

        const DocumentContent transfer(unit);
        QList<QPair<qint64, qint64>> calls;
        const TransferProgress record = [&](qint64 done, qint64 total) {
            calls.append({done, total});
            return true;
        };
        const DbStatus stored = transfer.storeFile(id, f.file(QStringLiteral("upload.bin")), record);
        QVERIFY2(stored.ok(), qPrintable(stored.error.description));
        const PiecePlan plan(size, unit);
        QCOMPARE(calls.size(), plan.count() + 1);
        QCOMPARE(calls.first(), qMakePair(qint64(0), size));
        QCOMPARE(calls.last(), qMakePair(size, size));

        // What the database holds is the file, byte for byte.
        const QVariant inDatabase = f.stored(id);
        QVERIFY(!inDatabase.isNull());
        QCOMPARE(inDatabase.toByteArray().size(), content.size());
        QVERIFY(inDatabase.toByteArray() == content);
        const DbResult<qint64> storedSize = transfer.storedSize(id);
        QVERIFY2(storedSize.ok(), qPrintable(storedSize.error.description));
        QCOMPARE(storedSize.value, size);

        calls.clear();
        const QString target = f.file(QStringLiteral("下载.bin"));
        const DbStatus written = transfer.writeToFile(id, target, record);
        QVERIFY2(written.ok(), qPrintable(written.error.description));
        QCOMPARE(calls.size(), plan.count() + 1);
        QCOMPARE(calls.last(), qMakePair(size, size));
        const QByteArray back = readFile(target);
        QCOMPARE(back.size(), content.size());
        QVERIFY(back == content);
        QVERIFY(QFileInfo(target).isFile());
    }

    void storingAShorterFileReplacesTheWholeValue_data() { addAccessRows(); }
    void storingAShorterFileReplacesTheWholeValue()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(randomBytes(9000, 3));
        const QByteArray shorter = randomBytes(100, 4);
        QVERIFY(writeFile(f.file(QStringLiteral("a.doc")), shorter));
        const DbStatus s = DocumentContent(kTransferUnit).storeFile(id, f.file(QStringLiteral("a.doc")));
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QCOMPARE(f.stored(id).toByteArray(), shorter);
    }

    void onlyTheNamedRowChanges_data() { addAccessRows(); }
    void onlyTheNamedRowChanges()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 before = f.addDocument(QByteArray("first row"));
        const qint64 id = f.addDocument(nullBytes());
        const qint64 after = f.addDocument(QByteArray("third row"));
        QVERIFY(writeFile(f.file(QStringLiteral("b.pdf")), randomBytes(3000, 5)));
        QVERIFY(DocumentContent().storeFile(id, f.file(QStringLiteral("b.pdf"))).ok());
        QCOMPARE(f.stored(before).toByteArray(), QByteArray("first row"));
        QCOMPARE(f.stored(after).toByteArray(), QByteArray("third row"));
        QCOMPARE(f.stored(id).toByteArray(), randomBytes(3000, 5));
    }

    // --- cancelling and failing ---

    void cancelledStoreLeavesTheRowUnchanged_data()
    {
        QTest::addColumn<Access>("access");
        QTest::addColumn<qint64>("cancelAt");
        for (const Access access : {Access::Sqlite, Access::Odbc}) {
            const char* name = access == Access::Sqlite ? "QSQLITE" : "QODBC";
            QTest::addRow("%s before the first piece", name) << access << qint64(0);
            QTest::addRow("%s after a piece", name) << access << qint64(1);
            QTest::addRow("%s after the last piece", name) << access << qint64(10000);
        }
    }
    void cancelledStoreLeavesTheRowUnchanged()
    {
        QFETCH(Access, access);
        QFETCH(qint64, cancelAt);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const QByteArray old = randomBytes(5000, 6);
        const qint64 id = f.addDocument(old);
        QVERIFY(writeFile(f.file(QStringLiteral("c.pdf")), randomBytes(10000, 7)));
        const DbStatus s =
            DocumentContent(kTransferUnit).storeFile(id, f.file(QStringLiteral("c.pdf")), [&](qint64 done, qint64) {
                return done < cancelAt;
            });
        QVERIFY(!s.ok());
        QVERIFY(isTransferCancelled(s.error));
        QCOMPARE(f.stored(id).toByteArray(), old);
        // The connection is usable afterwards, and a full store goes through.
        QVERIFY(DocumentContent(kTransferUnit).storeFile(id, f.file(QStringLiteral("c.pdf"))).ok());
        QCOMPARE(f.stored(id).toByteArray(), randomBytes(10000, 7));
    }

    // A store larger than the page cache (cut down to 8 pages here), so that pages of the new
    // value reach the file before the end, broken off half-way by a failure or by the process
    // dying: the old value and the file are as they were (a crash leaves the journal behind, and
    // the next connection rolls back with it).
    void brokenOffLargeStoreLeavesTheOldValue_data()
    {
        QTest::addColumn<bool>("crash");
        QTest::addColumn<qint64>("oldSize");
        for (const bool crash : {false, true}) {
            QTest::addRow("%s, old value of another length", crash ? "crash" : "failure") << crash << kBig / 3;
            QTest::addRow("%s, old value of the same length", crash ? "crash" : "failure") << crash << kBig;
        }
    }
    void brokenOffLargeStoreLeavesTheOldValue()
    {
        QFETCH(bool, crash);
        QFETCH(qint64, oldSize);
        Fixture f(Access::Sqlite);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(nullBytes());
        QVERIFY(writeFile(f.file(QStringLiteral("old.bin")), randomBytes(oldSize, 31)));
        QVERIFY(writeFile(f.file(QStringLiteral("new.bin")), randomBytes(kBig, 32)));
        QVERIFY(DocumentContent().storeFile(id, f.file(QStringLiteral("old.bin"))).ok());
        const qint64 fileSize = QFileInfo(f.db.path()).size();
        const auto storeHalf = [&] {
            QSqlQuery(SharedConnection::database()).exec(QStringLiteral("PRAGMA cache_size = 8"));
            return DocumentContent().storeFile(id, f.file(QStringLiteral("new.bin")), [&](qint64 done, qint64 total) {
                if (crash && done >= total / 2)
                    _exit(0);
                return true;
            });
        };
        if (crash) {
            SharedConnection::release();
            const pid_t child = fork();
            if (child == 0) {
                if (f.db.openShared().ok())
                    storeHalf();
                _exit(1);
            }
            int status = -1;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            QVERIFY(QFile::exists(f.db.path() + QStringLiteral("-journal")));
            QVERIFY(f.db.openShared().ok());
        } else {
            FaultInjection::failPiece(int(kBig / kStreamUnit / 2));
            const DbStatus s = storeHalf();
            FaultInjection::disarm();
            QCOMPARE(s.error.number, FaultInjection::kInjectedFault);
        }
        QCOMPARE(f.stored(id).toByteArray(), randomBytes(oldSize, 31));
        QCOMPARE(f.db.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        QCOMPARE(QFileInfo(f.db.path()).size(), fileSize);
        QVERIFY(DocumentContent().storeFile(id, f.file(QStringLiteral("new.bin"))).ok());
        QCOMPARE(f.stored(id).toByteArray(), randomBytes(kBig, 32));
    }

    void cancelledWriteKeepsTheOldTarget_data() { addAccessRows(); }
    void cancelledWriteKeepsTheOldTarget()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(randomBytes(10000, 8));
        const QString target = f.file(QStringLiteral("报告.pdf"));
        QVERIFY(writeFile(target, "the previous download"));
        const DbStatus s =
            DocumentContent(kTransferUnit).writeToFile(id, target, [](qint64 done, qint64) { return done < 4096; });
        QVERIFY(isTransferCancelled(s.error));
        QCOMPARE(readFile(target), QByteArray("the previous download"));
        QCOMPARE(entriesOf(f.files.path()), QStringList{QStringLiteral("报告.pdf")});
    }

    void contentVanishingMidwayFailsAndKeepsTheOldTarget_data() { addAccessRows(); }
    void contentVanishingMidwayFailsAndKeepsTheOldTarget()
    {
        // The row is deleted between two pieces: the blob handle expires (QSQLITE), the next
        // piece finds no row (QODBC); the read fails.
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(randomBytes(10000, 9));
        const QString target = f.file(QStringLiteral("x.doc"));
        QVERIFY(writeFile(target, "kept"));
        const DbStatus s = DocumentContent(kTransferUnit).writeToFile(id, target, [&](qint64 done, qint64) {
            if (done > 0)
                execute(QStringLiteral("delete from 公司文件信息 where ID = ?"), {id});
            return true;
        });
        QVERIFY(!s.ok());
        QVERIFY(!isTransferCancelled(s.error));
        QVERIFY(!s.error.description.isEmpty());
        QCOMPARE(readFile(target), QByteArray("kept"));
        QCOMPARE(entriesOf(f.files.path()), QStringList{QStringLiteral("x.doc")});
    }

    void odbcStoresOnePiecePerStatement()
    {
        // Each statement carries one piece: the value grows piece by piece inside the
        // transaction, so no driver has to hold more than a piece of it.
        Fixture f(Access::Odbc);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(QByteArray("before"));
        QVERIFY(f.db.exec(QStringLiteral("create table 片段记录 (长度 integer)")));
        QVERIFY(f.db.exec(QStringLiteral("create trigger 记录片段 after update of 文件 on 公司文件信息 "
                                         "begin insert into 片段记录 values (length(new.文件)); end")));
        const qint64 size = 5 * kTransferUnit + 100;
        QVERIFY(writeFile(f.file(QStringLiteral("p.bin")), randomBytes(size, 18)));
        QList<qint64> reported;
        const DbStatus s =
            DocumentContent(kTransferUnit).storeFile(id, f.file(QStringLiteral("p.bin")), [&](qint64 done, qint64) {
                reported.append(done);
                return true;
            });
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        const QList<qint64> expected{
            0,   100, 100 + kTransferUnit, 100 + 2 * kTransferUnit, 100 + 3 * kTransferUnit, 100 + 4 * kTransferUnit,
            size};
        QCOMPARE(reported, expected);
        QList<qint64> lengths;
        QSqlQuery q(f.db.fixtureConnection());
        QVERIFY(q.exec(QStringLiteral("select 长度 from 片段记录 order by rowid")));
        while (q.next())
            lengths.append(q.value(0).toLongLong());
        QCOMPARE(lengths, expected);  // emptied first, then one piece more per statement
        QCOMPARE(f.stored(id).toByteArray(), randomBytes(size, 18));
    }

    void odbcFailedPieceRollsBack()
    {
        // The server refuses the third piece: nothing of the new content stays, and the
        // connection goes on working.
        Fixture f(Access::Odbc);
        OPEN_FIXTURE(f);
        const QByteArray old = randomBytes(3000, 19);
        const qint64 id = f.addDocument(old);
        QVERIFY(
            f.db.exec(QStringLiteral("create trigger 限长 before update of 文件 on 公司文件信息 "
                                     "when length(new.文件) > 5000 begin select raise(abort, '内容超出限制'); end")));
        QVERIFY(writeFile(f.file(QStringLiteral("r.bin")), randomBytes(4 * kTransferUnit, 20)));
        int pieces = 0;
        const DbStatus s =
            DocumentContent(kTransferUnit).storeFile(id, f.file(QStringLiteral("r.bin")), [&](qint64 done, qint64) {
                if (done > 0)
                    ++pieces;
                return true;
            });
        QVERIFY(!s.ok());
        QVERIFY(!isTransferCancelled(s.error));
        QVERIFY2(s.error.description.contains(QStringLiteral("内容超出限制")), qPrintable(s.error.description));
        QCOMPARE(pieces, 2);
        QCOMPARE(f.stored(id).toByteArray(), old);
        QVERIFY(f.db.exec(QStringLiteral("drop trigger 限长")));
        QVERIFY(DocumentContent(kTransferUnit).storeFile(id, f.file(QStringLiteral("r.bin"))).ok());
        QCOMPARE(f.stored(id).toByteArray(), randomBytes(4 * kTransferUnit, 20));
    }

    void fileTooBigForTheRowIsRefused()
    {
        Fixture f(Access::Sqlite);
        OPEN_FIXTURE(f);
        const QVariant handle = SharedConnection::database().driver()->handle();
        QCOMPARE(handle.typeName(), "sqlite3*");
        sqlite3* db = *static_cast<sqlite3* const*>(handle.constData());
        sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 10000);
        const qint64 id = f.addDocument(QByteArray("small"));
        for (const qint64 size : {qint64(20000), qint64(9990)}) {
            // Over the limit, and just under it but too big with the rest of the row.
            QVERIFY(writeFile(f.file(QStringLiteral("big.bin")), randomBytes(size, 15)));
            const DbStatus s = DocumentContent().storeFile(id, f.file(QStringLiteral("big.bin")));
            QVERIFY(!s.ok());
            QCOMPARE(s.error.number, SQLITE_TOOBIG);
            QVERIFY2(s.error.description.contains(QString::number(size)), qPrintable(s.error.description));
            QCOMPARE(f.stored(id).toByteArray(), QByteArray("small"));
        }
        QVERIFY(writeFile(f.file(QStringLiteral("fits.bin")), randomBytes(9000, 16)));
        QVERIFY(DocumentContent().storeFile(id, f.file(QStringLiteral("fits.bin"))).ok());
        QCOMPARE(f.stored(id).toByteArray(), randomBytes(9000, 16));
    }

    void writingIntoAMissingFolderFails_data() { addAccessRows(); }
    void writingIntoAMissingFolderFails()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(randomBytes(3000, 10));
        const QString target = f.file(QStringLiteral("Temp/a.doc"));
        const DbStatus s = DocumentContent().writeToFile(id, target);
        QVERIFY(!s.ok());
        QVERIFY(s.error.description.contains(target));
        QVERIFY(!QFileInfo::exists(target));
    }

    void missingRowsAndFiles_data() { addAccessRows(); }
    void missingRowsAndFiles()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(QByteArray("content"));
        QVERIFY(writeFile(f.file(QStringLiteral("d.pdf")), "some bytes"));
        const DocumentContent transfer;

        const DbStatus noRow = transfer.storeFile(id + 100, f.file(QStringLiteral("d.pdf")));
        QVERIFY(!noRow.ok());
        QVERIFY(noRow.error.description.contains(QString::number(id + 100)));
        QVERIFY(!transfer.storedSize(id + 100).ok());
        QVERIFY(!transfer.writeToFile(id + 100, f.file(QStringLiteral("e.pdf"))).ok());
        QVERIFY(!QFileInfo::exists(f.file(QStringLiteral("e.pdf"))));

        const DbStatus noFile = transfer.storeFile(id, f.file(QStringLiteral("missing.pdf")));
        QVERIFY(!noFile.ok());
        QVERIFY(noFile.error.description.contains(QStringLiteral("missing.pdf")));
        QCOMPARE(f.stored(id).toByteArray(), QByteArray("content"));
    }

    void nullContent_data() { addAccessRows(); }
    void nullContent()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(nullBytes());
        const DocumentContent transfer;
        const DbResult<qint64> size = transfer.storedSize(id);
        QVERIFY(size.ok());
        QCOMPARE(size.value, qint64(-1));
        const QString target = f.file(QStringLiteral("n.pdf"));
        QVERIFY(!transfer.writeToFile(id, target).ok());
        QVERIFY(!QFileInfo::exists(target));
    }

    void storingWaitsForAnotherWriter_data() { addAccessRows(); }
    void storingWaitsForAnotherWriter()
    {
        // Another client writes the file: the store waits for it instead of failing at once.
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(QByteArray("before"));
        QVERIFY(writeFile(f.file(QStringLiteral("w.pdf")), randomBytes(6000, 17)));
        OtherClient other(f.db.path(), "BEGIN IMMEDIATE", 1200,
                          "insert into 资料下载记录 (文件编号, 阅读) values ('W-1', 1)");
        QVERIFY(other.holding());
        QElapsedTimer clock;
        clock.start();
        const DbStatus s = DocumentContent(kTransferUnit).storeFile(id, f.file(QStringLiteral("w.pdf")));
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QVERIFY2(clock.elapsed() >= 800, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.stored(id).toByteArray(), randomBytes(6000, 17));
        QCOMPARE(f.db.scalar(QStringLiteral("select count(*) from 资料下载记录")).toInt(), 1);
    }

    void storingWithinTheCallersTransaction_data() { addAccessRows(); }
    void storingWithinTheCallersTransaction()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(QByteArray("before"));
        QVERIFY(writeFile(f.file(QStringLiteral("t.pdf")), randomBytes(7000, 11)));
        {
            Transaction t;
            QVERIFY(t.begun());
            QVERIFY(
                DocumentContent(kTransferUnit).storeFileWithinTransaction(id, f.file(QStringLiteral("t.pdf"))).ok());
            // rolled back as it goes out of scope
        }
        QCOMPARE(f.stored(id).toByteArray(), QByteArray("before"));
        {
            Transaction t;
            QVERIFY(
                DocumentContent(kTransferUnit).storeFileWithinTransaction(id, f.file(QStringLiteral("t.pdf"))).ok());
            QVERIFY(t.commit());
        }
        QCOMPARE(f.stored(id).toByteArray(), randomBytes(7000, 11));
    }

    // --- SaveFieldToFile ---

    void savingAFieldWritesItPiecewise_data() { addAccessRows(); }
    void savingAFieldWritesItPiecewise()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const QByteArray content = randomBytes(5000, 12);
        const qint64 id = f.addDocument(content);
        const QString target = f.file(QStringLiteral("制度-20260304050607.pdf"));
        QVERIFY(writeFile(target, randomBytes(20000, 13)));  // an older, longer file
        const DbResult<FieldSave> saved = SaveFieldToFile(id, target);
        QVERIFY(saved.ok());
        QCOMPARE(saved.value, FieldSave::Written);
        QCOMPARE(readFile(target), content);

        const qint64 eight = f.addDocument(QByteArray("12345678"));
        QCOMPARE(SaveFieldToFile(eight, f.file(QStringLiteral("eight.txt"))).value, FieldSave::Written);
        QCOMPARE(readFile(f.file(QStringLiteral("eight.txt"))), QByteArray("12345678"));
    }

    void shortContentsAreNoFileForSaveFieldToFile_data() { addAccessRows(); }
    void shortContentsAreNoFileForSaveFieldToFile()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        for (int n = 0; n <= 7; ++n) {
            const QByteArray content = randomBytes(n, quint32(100 + n));
            const qint64 id = f.addDocument(content);
            const QString path = f.file(QStringLiteral("short%1.bin").arg(n));
            const DbResult<FieldSave> saved = SaveFieldToFile(id, path);
            QVERIFY(saved.ok());
            QCOMPARE(saved.value, FieldSave::NoFile);
            QVERIFY(!QFileInfo::exists(path));

            // The same contents taken as a byte array are written by WriteBytesToFile.
            Query q(QStringLiteral("select 文件 from 公司文件信息 where ID = ?"));
            q.bind(id);
            QVERIFY(q.exec());
            QVERIFY(q.next());
            const QByteArray value = q.bytes(u"文件");
            QCOMPARE(value, content);
            const DbResult<bool> written = WriteBytesToFile(value, path);
            QVERIFY(written.ok());
            QCOMPARE(written.value, n > 0);
            QCOMPARE(QFileInfo::exists(path), n > 0);
            if (n > 0)
                QCOMPARE(readFile(path), content);
        }
    }

    void nullFieldIsNotSaved_data() { addAccessRows(); }
    void nullFieldIsNotSaved()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(nullBytes());
        const QString path = f.file(QStringLiteral("null.pdf"));
        const DbResult<FieldSave> saved = SaveFieldToFile(id, path);
        QVERIFY(saved.ok());
        QCOMPARE(saved.value, FieldSave::NoFile);
        QVERIFY(!QFileInfo::exists(path));
    }

    void saveFailureIsReportedAndKeepsTheTarget_data() { addAccessRows(); }
    void saveFailureIsReportedAndKeepsTheTarget()
    {
        QFETCH(Access, access);
        Fixture f(access);
        OPEN_FIXTURE(f);
        const qint64 id = f.addDocument(randomBytes(4000, 14));
        const QString missingFolder = f.file(QStringLiteral("Temp/报告-20260304050607.doc"));
        const DbResult<FieldSave> failed = SaveFieldToFile(id, missingFolder);
        QVERIFY(!failed.ok());
        QVERIFY(failed.value != FieldSave::Written);
        QVERIFY(!QFileInfo::exists(missingFolder));
        QVERIFY(failed.error.description.contains(missingFolder));

        // A cancel is the user's own choice, not a failure: the old file stays.
        const QString existing = f.file(QStringLiteral("existing.doc"));
        QVERIFY(writeFile(existing, "old"));
        const DbResult<FieldSave> cancelled = SaveFieldToFile(id, existing, [](qint64, qint64) { return false; });
        QVERIFY(cancelled.ok());
        QCOMPARE(cancelled.value, FieldSave::Cancelled);
        QCOMPARE(readFile(existing), QByteArray("old"));

        // A database failure is reported the same way.
        SharedConnection::database().close();
        const DbResult<FieldSave> broken = SaveFieldToFile(id, existing);
        QVERIFY(!broken.ok());
        QVERIFY(!broken.error.description.isEmpty());
        QCOMPARE(readFile(existing), QByteArray("old"));
    }

    // --- statements ---

    void statementsPrepareOnSqliteAndParseAsTsql()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QString text;
        for (const DocumentContent::Statement& s : DocumentContent::statements()) {
            QSqlQuery q(db.fixtureConnection());
            const QString sqlite = dialect::translate(
                QString(s.tsql).replace(QStringLiteral("datalength("), QStringLiteral("length(")), SqlEngine::Sqlite);
            QVERIFY2(q.prepare(sqlite), qPrintable(s.name + QStringLiteral(": ") + q.lastError().text()));
            text += s.name + u'\n' + s.tsql + QStringLiteral("\n----\n");
        }
        // Debian's own interpreter first: python3-sqlglot is installed for it.
        QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
        if (python.isEmpty())
            python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        const QString checker = QStringLiteral(QUARVEL_SOURCE_DIR "/tests/db/check_tsql.py");
        QVERIFY2(QFileInfo::exists(checker), qPrintable(checker));
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(text.toUtf8());
        file.close();
        QProcess p;
        p.start(python, {checker, file.fileName()});
        QVERIFY(p.waitForFinished(120000));
        if (p.exitCode() == 3)
            QSKIP("python3-sqlglot is not installed");
        QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
    }
};

QTEST_GUILESS_MAIN(ContentTransferTest)
#include "test_content_transfer.moc"
