// Four client processes on one embedded database file, each running uploads, grants, upload
// permission and group changes, reads and downloads with their access-log rows through the
// library and permission classes. Nothing may be lost or stored twice, and no client may be
// told that the database is busy before it has waited the busy time-out.

#include "ConcurrencyRun.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "db/Schema.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;

class ConcurrencyTest : public QObject {
    Q_OBJECT

private slots:
    void fourClientsLoseNothing_data()
    {
        QTest::addColumn<QString>("journal");
        QTest::newRow("rollback journal, as the client keeps it") << QString();
        QTest::newRow("write-ahead log, kept by another program") << QStringLiteral("wal");
    }
    void fourClientsLoseNothing()
    {
        QFETCH(QString, journal);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        concurrency::RunOptions options;
        options.folder = folder.path();
        options.workers = 4;
        options.operations = 240;
        options.journal = journal;
        options.timeLimitSeconds = 40;
        const concurrency::RunResult result = concurrency::run(options);
        qInfo().noquote() << result.summary();
        QVERIFY2(result.completed, qPrintable(result.summary()));
        QCOMPARE(result.operations, options.operations);
        QCOMPARE(result.failed, 0);
        QCOMPARE(result.busyTooEarly, 0);
        QCOMPARE(result.busyAfterWait, 0);
        QCOMPARE(result.lostLogRows(), 0);
        QCOMPARE(result.logRowsPerWorkerMismatch, 0);
        QVERIFY(result.loggedByWorkers > 0);
        QCOMPARE(result.duplicateNumbers, 0);
        QCOMPARE(result.documentRows, result.uploadedByWorkers);
        QVERIFY(result.sound());
        QCOMPARE(result.journalMode, journal.isEmpty() ? QStringLiteral("delete") : journal);
    }

    // A file that another program switched to the write-ahead log goes back to the rollback
    // journal when the client is its only user, and is used as it is, without waiting, when not.
    void theClientKeepsTheRollbackJournal()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("wal.db"));
        const QString name = QStringLiteral("other-program");
        const auto journalOfShared = [] {
            Query q(QStringLiteral("PRAGMA journal_mode"));
            return q.exec() && q.raw().next() ? q.raw().value(0).toString() : QString();
        };
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QVERIFY(schema::create(other, SqlEngine::Sqlite).ok());
            QSqlQuery wal(other);
            QVERIFY(wal.exec(QStringLiteral("PRAGMA journal_mode = WAL")) && wal.next());
            QCOMPARE(wal.value(0).toString(), QStringLiteral("wal"));
            wal.finish();
            QVERIFY(wal.exec(QStringLiteral("select count(*) from 资料下载组")) && wal.next());  // in use

            QElapsedTimer clock;
            clock.start();
            QVERIFY(OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok());
            QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
            QCOMPARE(journalOfShared(), QStringLiteral("wal"));
            QVERIFY(execute(QStringLiteral("insert into 资料下载组 (组ID, 组名称) values ('A', '甲')")).ok());
            SharedConnection::release();
            other.close();
        }
        QSqlDatabase::removeDatabase(name);
        QVERIFY(OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok());
        QCOMPARE(journalOfShared(), QStringLiteral("delete"));
        {
            Query count(QStringLiteral("select count(*) as n from 资料下载组"));
            QVERIFY(count.exec() && count.next());
            QCOMPARE(count.integer(u"n"), 1);
        }
        SharedConnection::release();
    }
};

QTEST_GUILESS_MAIN(ConcurrencyTest)
#include "test_concurrency.moc"
