#include "TestSupport.h"

#include "db/ConnectionCheck.h"
#include "db/Schema.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

Q_DECLARE_METATYPE(quarvel::ConnectionFault)

// Each class of opening failure made for real, through the shared connection and through the
// settings dialog's test connection; the server's own refusals by their words.
class ConnectionCheckTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;

private slots:
    void init() { db = std::make_unique<TestDatabase>(); }
    void cleanup()
    {
        SharedConnection::release();
        qunsetenv("QUARVEL_ODBC_DRIVER");
        db.reset();
    }

    void failures_data()
    {
        QTest::addColumn<QString>("svr");            // %1: the test's folder
        QTest::addColumn<QByteArray>("file");        // x.db's bytes, or the statement that makes it
        QTest::addColumn<QByteArray>("odbcDriver");  // QUARVEL_ODBC_DRIVER
        QTest::addColumn<ConnectionFault>("fault");
        const QString x = QStringLiteral("sqlite:%1/x.db");
        const QByteArray none;
        QTest::newRow("working") << QStringLiteral("sqlite:%1/quarvel-test.db") << none << none
                                 << ConnectionFault::None;
        QTest::newRow("nothing set") << QString() << none << none << ConnectionFault::NotConfigured;
        QTest::newRow("missing file") << x << none << none << ConnectionFault::FileMissing;
        QTest::newRow("not a database") << x << QByteArray(4096, 'x') << none << ConnectionFault::NotThisSystem;
        QTest::newRow("another program's")
            << x << QByteArray("create table notes (x)") << none << ConnectionFault::NotThisSystem;
        QTest::newRow("driver named") << QStringLiteral("odbc:DRIVER={Lost Driver};Database=x") << none << none
                                      << ConnectionFault::DriverMissing;
        QTest::newRow("data source, driver gone")
            << QStringLiteral("odbc:DSN=lost") << none << none << ConnectionFault::DriverMissing;
        QTest::newRow("server, driver gone")
            << QStringLiteral("dbhost") << none << QByteArray("Lost Driver") << ConnectionFault::DriverMissing;
        QTest::newRow("nothing listening")
            << QStringLiteral("127.0.0.1,1") << none << none << ConnectionFault::ServerUnreachable;
    }
    void failures()
    {
        QFETCH(QString, svr);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, odbcDriver);
        QFETCH(ConnectionFault, fault);
        const QString path = db->dir() + QStringLiteral("/x.db");
        if (file.startsWith("create")) {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(path);
            QVERIFY(other.open() && QSqlQuery(other).exec(QString::fromLatin1(file)));
            other.close();
        } else if (!file.isEmpty()) {
            QVERIFY(writeFile(path, file));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        // A user's data source whose driver library is not there.
        const QString ini = db->dir() + QStringLiteral("/odbc.ini");
        QVERIFY(writeFile(ini, "[lost]\nDriver = /nonexistent/liblost-odbc.so\n"));
        qputenv("ODBCINI", ini.toUtf8());
        if (!odbcDriver.isEmpty())
            qputenv("QUARVEL_ODBC_DRIVER", odbcDriver);
        const ConnectionSettings s{QString(svr).replace(QStringLiteral("%1"), db->dir()),
                                   svr.isEmpty() ? QString() : QStringLiteral("sa"),
                                   {},
                                   {}};
        if (resolveTarget(s.uid, s.pwd, s.dbName, s.svr).driver == QLatin1String("QODBC")
            && !QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
            QSKIP("Qt's ODBC driver is not installed");

        const ConnectionReport tested = testConnection(s);
        if (svr.startsWith(u'1') && tested.fault == ConnectionFault::DriverMissing)
            QSKIP("the FreeTDS ODBC driver is not installed");
        QCOMPARE(tested.fault, fault);
        const ConnectionReport shared = openSharedConnection(s);
        QCOMPARE(shared.fault, fault);
        QCOMPARE(SharedConnection::isOpen(), fault == ConnectionFault::None);
        const QString driverLine = shared.driverText.isEmpty() ? QString() : u'\n' + shared.driverText;
        if (fault != ConnectionFault::None)
            QCOMPARE(shared.failureMessage(), QStringLiteral("数据库连接失败!\n") + shared.reason() + driverLine);
        QCOMPARE(QFile::exists(path), !file.isEmpty());  // nothing created
        qunsetenv("ODBCINI");
    }

    void serverWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ConnectionFault>("fault");
        QTest::newRow("login") << "[FreeTDS][SQL Server]Login failed for user 'sa'. [FreeTDS][SQL Server]Unable "
                                  "to connect to data source"
                               << ConnectionFault::LoginRefused;
        QTest::newRow("database") << "[FreeTDS][SQL Server]Cannot open database \"MIS\" requested by the login. The "
                                     "login failed."
                                  << ConnectionFault::DatabaseMissing;
        QTest::newRow("time-out") << "[FreeTDS][SQL Server]Login timeout expired" << ConnectionFault::ServerUnreachable;
        QTest::newRow("other") << "something else" << ConnectionFault::Other;
    }
    void serverWords()
    {
        QFETCH(QString, text);
        QFETCH(ConnectionFault, fault);
        QCOMPARE(classifyOpeningFailure(text), fault);
    }

    void emptyDatabaseHasTheSchemaAndNoRows()
    {
        const QString path = db->dir() + QStringLiteral("/new.db");
        QVERIFY(createEmptyDatabase(path).ok());
        QVERIFY(!createEmptyDatabase(path).ok());  // an existing file is never replaced
        QVERIFY(openSharedConnection({QStringLiteral("sqlite:") + path, {}, {}, {}}).ok());
        QSqlQuery q(SharedConnection::database());
        QVERIFY(q.exec(QStringLiteral("select count(*) from 员工档案")) && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QCOMPARE(q.exec(QStringLiteral("select * from 公司文件信息")) && !q.next(), true);
    }
};

QTEST_MAIN(ConnectionCheckTest)
#include "test_connection_check.moc"
