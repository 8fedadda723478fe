// A shared connection lost under the client: the database taken away (its file moved, or put
// back as another copy) and a connection cut under the driver. The action that meets the loss
// reports it once; the next action reopens the connection from the kept settings. Run through
// QSQLITE and through the SQLite ODBC driver, the client's ODBC path.

#include "TestSupport.h"

#include "db/ConnectionRecovery.h"
#include "db/Query.h"
#include "db/TextCollation.h"
#include "library/DocumentAccess.h"
#include "platform/MessageBoxes.h"

#include <QFile>
#include <QSqlDriver>
#include <QTest>

#include <sql.h>
#include <sqlite3.h>

Q_DECLARE_METATYPE(quarvel::test::TestDatabase::Access)

using namespace quarvel;
using namespace quarvel::test;

namespace {

using Access = TestDatabase::Access;

const AccessedDocument kDocument{QStringLiteral("F-1"), QStringLiteral("01 制度"), QStringLiteral("员工手册"),
                                 QStringLiteral("摘要")};
const Reader kReader{QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01")};

DbStatus readDocument() { return DocumentAccess::log(kDocument, kReader, AccessKind::Read); }

// The handler that ran the statements has ended: control is back in the event loop.
void endOfAction() { QTest::qWait(1); }

// Log rows in the file at `path`, read by a connection of its own.
int logRowsIn(const QString& path)
{
    sqlite3* db = nullptr;
    int rows = -1;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && registerTextCollation(db) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select count(*) from 资料下载记录", -1, &st, nullptr) == SQLITE_OK
            && sqlite3_step(st) == SQLITE_ROW)
            rows = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

bool odbcAvailable() { return QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")); }

}  // namespace

class ReconnectTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SharedConnection::release(); }

    void takenAwayDatabaseIsReportedOnceThenReconnected_data()
    {
        QTest::addColumn<Access>("access");
        QTest::addColumn<bool>("backAsCopy");
        QTest::newRow("QSQLITE, moved back") << Access::Sqlite << false;
        QTest::newRow("QSQLITE, put back as a copy") << Access::Sqlite << true;
        QTest::newRow("QODBC, moved back") << Access::Odbc << false;
        QTest::newRow("QODBC, put back as a copy") << Access::Odbc << true;
    }
    void takenAwayDatabaseIsReportedOnceThenReconnected()
    {
        QFETCH(Access, access);
        QFETCH(bool, backAsCopy);
        if (access == Access::Odbc && !odbcAvailable())
            QSKIP("Qt's ODBC driver is not installed");
        TestDatabase db(access);
        QVERIFY(db.isValid());
        const DbStatus opened = db.openShared();
        QVERIFY2(opened.ok(), qPrintable(opened.error.description));
        const QString path = db.path();
        const QString away = path + QStringLiteral(".away");
        const int reconnections = ConnectionRecovery::reconnections();

        QVERIFY(readDocument().ok());
        endOfAction();

        QVERIFY(QFile::rename(path, away));
        const DbStatus lost = readDocument();
        QVERIFY(!lost.ok());
        QVERIFY2(lost.error.description.startsWith(ConnectionRecovery::lostText()), qPrintable(lost.error.description));
        QVERIFY(ConnectionRecovery::lost());
        // The rest of the same action fails at once with the same error: one message, no wait.
        const DbStatus sameAction = readDocument();
        QCOMPARE(sameAction.error.description, lost.error.description);
        QCOMPARE(ConnectionRecovery::reconnections(), reconnections);
        // The access log's own message form.
        QCOMPARE(formatError(lost.error, ErrorForm::DescriptionOnly), lost.error.description);
        endOfAction();

        // The next action tries to reconnect; the file is still away, and is not created anew.
        const DbStatus stillAway = readDocument();
        QVERIFY(!stillAway.ok());
        QVERIFY2(stillAway.error.description.startsWith(ConnectionRecovery::reconnectFailedText()),
                 qPrintable(stillAway.error.description));
        QVERIFY(!QFile::exists(path));
        endOfAction();

        if (backAsCopy) {
            // Restored from elsewhere: another file under the same name, which the old
            // connection would never reach.
            QVERIFY(QFile::copy(away, path));
            QVERIFY(QFile::remove(away));
        } else {
            QVERIFY(QFile::rename(away, path));
        }
        const DbStatus back = readDocument();
        QVERIFY2(back.ok(), qPrintable(back.error.description));
        QVERIFY(!ConnectionRecovery::lost());
        QCOMPARE(ConnectionRecovery::reconnections(), reconnections + 1);
        QVERIFY(readDocument().ok());
        QCOMPARE(ConnectionRecovery::reconnections(), reconnections + 1);
        QCOMPARE(logRowsIn(path), 3);
    }

    // The server went away under the driver (restarted, network cut): the driver's connection
    // is closed under the client, as a dropped link leaves it.
    void cutConnectionIsReportedOnceThenReconnected()
    {
        if (!odbcAvailable())
            QSKIP("Qt's ODBC driver is not installed");
        TestDatabase db(Access::Odbc);
        QVERIFY(db.isValid());
        const DbStatus opened = db.openShared();
        QVERIFY2(opened.ok(), qPrintable(opened.error.description));
        const int reconnections = ConnectionRecovery::reconnections();
        QVERIFY(readDocument().ok());
        endOfAction();

        const QVariant handle = SharedConnection::database().driver()->handle();
        QCOMPARE(handle.typeName(), "void*");  // the driver's SQLHDBC
        SQLHDBC hdbc = *static_cast<void* const*>(handle.constData());
        QVERIFY(SQL_SUCCEEDED(SQLDisconnect(hdbc)));

        const DbStatus lost = readDocument();
        QVERIFY(!lost.ok());
        QVERIFY2(lost.error.description.startsWith(ConnectionRecovery::lostText()), qPrintable(lost.error.description));
        Query inSameAction(QStringLiteral("select count(*) as n from 资料下载记录"));
        QVERIFY(!inSameAction.exec());
        QCOMPARE(inSameAction.error().description, lost.error.description);
        endOfAction();

        Query next(QStringLiteral("select count(*) as n from 资料下载记录"));
        QVERIFY2(next.exec() && next.next(), qPrintable(next.error().description));
        QCOMPARE(next.integer(u"n"), 1);
        QCOMPARE(ConnectionRecovery::reconnections(), reconnections + 1);
        QVERIFY(readDocument().ok());
    }

    // A failure of the statement itself leaves the connection alone.
    void statementErrorIsNotALoss()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.connectShared());
        Query bad(QStringLiteral("select nothing from 无此表"));
        QVERIFY(!bad.exec());
        QVERIFY2(!bad.error().description.startsWith(ConnectionRecovery::lostText()),
                 qPrintable(bad.error().description));
        QVERIFY(!ConnectionRecovery::lost());
        QVERIFY(readDocument().ok());
    }

    // A transaction begun on the lost connection is not continued on a new one.
    void transactionIsNotContinuedOnANewConnection()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.connectShared());
        const QString path = db.path();
        {
            Transaction transaction;
            QVERIFY(transaction.begun());
            QVERIFY(QFile::rename(path, path + QStringLiteral(".away")));
            QVERIFY(!readDocument().ok());
            QVERIFY(QFile::rename(path + QStringLiteral(".away"), path));
            endOfAction();
            const DbStatus later = readDocument();
            QVERIFY(!later.ok());
            QVERIFY2(later.error.description.startsWith(ConnectionRecovery::lostText()),
                     qPrintable(later.error.description));
        }
        endOfAction();
        QVERIFY(readDocument().ok());
        QCOMPARE(logRowsIn(path), 1);
    }
};

QTEST_MAIN(ReconnectTest)
#include "test_reconnect.moc"
