// Four client processes on one embedded database file, each running uploads, grants, upload
// permission and group changes, reads and downloads with their access-log rows through the
// library and permission classes. Nothing may be lost or stored twice, and no client may be
// told that the database is busy before it has waited the busy time-out.

#include "ConcurrencyRun.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;

class ConcurrencyTest : public QObject {
    Q_OBJECT

private slots:
    void fourClientsLoseNothing_data()
    {
        QTest::addColumn<QString>("journal");
        QTest::newRow("as the client leaves it") << QString();
        QTest::newRow("rollback journal") << QStringLiteral("delete");
        QTest::newRow("write-ahead log") << QStringLiteral("wal");
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
    }
};

QTEST_GUILESS_MAIN(ConcurrencyTest)
#include "test_concurrency.moc"
