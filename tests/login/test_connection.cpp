#include "TestSupport.h"

#include "login/LoginService.h"
#include "login/Query.h"
#include "login/ServerClock.h"
#include "login/frmLogin.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class ConnectionTest : public QObject {
    Q_OBJECT

    static bool odbcAvailable()
    {
        return QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC"));
    }

private slots:
    void connectionTextIsComposedVerbatim()
    {
        QCOMPARE(composeConnectionString({}, {}, {}, {}),
                 QStringLiteral("Provider=SQLOLEDB.1;Password=;Persist Security Info=False;User ID=;"
                                "Initial Catalog='';Data Source=''"));
        QCOMPARE(composeConnectionString(QStringLiteral("sa"), QStringLiteral("p;w'd"),
                                         QStringLiteral("MIS"), QStringLiteral("srv\\inst")),
                 QStringLiteral("Provider=SQLOLEDB.1;Password=p;w'd;Persist Security Info=False;"
                                "User ID=sa;Initial Catalog='MIS';Data Source='srv\\inst'"));
    }

    void allSettingsMissingFails()
    {
        TestDatabase db;  // isolates the settings store; nothing written to it
        TestPlatform platform;
        frmLogin login(platform);
        QVERIFY(!login.ConnectDatabase());
        QCOMPARE(platform.msgs().lastText(), QStringLiteral("数据库连接失败!"));
        QCOMPARE(platform.msgs().shown.last().title, QStringLiteral("连接提示"));
        QCOMPARE(platform.msgs().shown.last().icon, MsgIcon::Information);
        QCOMPARE(ConnectionString(),
                 QStringLiteral("Provider=SQLOLEDB.1;Password=;Persist Security Info=False;User ID=;"
                                "Initial Catalog='';Data Source=''"));
        QVERIFY(!SharedConnection::isOpen());
    }

    void sqlServerTargetsGoThroughOdbc()
    {
        qunsetenv("QUARVEL_ODBC_DRIVER");
        ConnectionTarget t = resolveTarget(QStringLiteral("sa"), QStringLiteral("se;cret"),
                                           QStringLiteral("MIS"), QStringLiteral("dbhost,1433"));
        QCOMPARE(t.driver, QStringLiteral("QODBC"));
        QCOMPARE(t.engine, SqlEngine::SqlServer);
        QCOMPARE(t.databaseName, QStringLiteral("DRIVER={FreeTDS};SERVER=dbhost;PORT=1433;DATABASE=MIS;"
                                                "UID=sa;PWD={se;cret};ClientCharset=UTF-8;"));
        qputenv("QUARVEL_ODBC_DRIVER", "ODBC Driver 18 for SQL Server");
        t = resolveTarget(QStringLiteral("sa"), QStringLiteral("x"), QStringLiteral("MIS"),
                          QStringLiteral("dbhost\\SQLEXPRESS"));
        QVERIFY(t.databaseName.startsWith(
            QStringLiteral("DRIVER={ODBC Driver 18 for SQL Server};SERVER=dbhost\\SQLEXPRESS;")));
        qunsetenv("QUARVEL_ODBC_DRIVER");

        t = resolveTarget({}, {}, {}, QStringLiteral("sqlite:/tmp/a b.db"));
        QCOMPARE(t.driver, QStringLiteral("QSQLITE"));
        QCOMPARE(t.databaseName, QStringLiteral("/tmp/a b.db"));
        t = resolveTarget({}, {}, {}, QStringLiteral("odbc:DRIVER={SQLite3};Database=/tmp/x.db"));
        QCOMPARE(t.driver, QStringLiteral("QODBC"));
        QCOMPARE(t.engine, SqlEngine::Sqlite);
        t = resolveTarget({}, {}, {}, QStringLiteral("odbc:DSN=mis"));
        QCOMPARE(t.engine, SqlEngine::SqlServer);
    }

    void missingSqliteFileIsNotCreated()
    {
        TestDatabase db;
        const QString missing = db.dir() + QStringLiteral("/nothing-here.db");
        QVERIFY(!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + missing));
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(SharedConnection::lastOpenError().isSet());
    }

    void everyAttemptMakesANewConnection()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        const int first = SharedConnection::generation();
        const QString firstName = SharedConnection::database().connectionName();
        QVERIFY(db.connectShared());
        QCOMPARE(SharedConnection::generation(), first + 1);
        QVERIFY(SharedConnection::database().connectionName() != firstName);
        QVERIFY(!QSqlDatabase::contains(firstName));  // released, not reused
        QVERIFY(SharedConnection::isOpen());
    }

    void reopenKeepsWorking()
    {
        TestDatabase db;
        db.addEmployee(QStringLiteral("0001"), QStringLiteral("甲"), QStringLiteral("1"));
        QVERIFY(db.connectShared());
        QVERIFY(SharedConnection::reopen());
        const auto r = LoginService::checkEmployee(QStringLiteral("0001"), QStringLiteral("1"));
        QVERIFY(r.ok());
        QVERIFY(r.value);
    }

    void serverDateOnSqlite()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        ScriptedMessages msgs;
        const QDateTime now = GetServerDate(msgs);
        QVERIFY(msgs.shown.isEmpty());
        QVERIFY(now.isValid());
        QVERIFY(qAbs(now.secsTo(QDateTime::currentDateTime())) < 120);
    }

    void serverDateFailureShowsAndReturnsZeroDate()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        SharedConnection::database().close();
        ScriptedMessages msgs;
        const QDateTime now = GetServerDate(msgs);
        QCOMPARE(now, zeroDate());
        QCOMPARE(msgs.shown.size(), 1);
        QCOMPARE(msgs.shown.first().title, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
        QVERIFY(msgs.shown.first().text.contains(u' '));
    }

    void odbcPathReadsChineseColumnsAndBinaries()
    {
        if (!odbcAvailable())
            QSKIP("Qt's ODBC driver is not installed");
        TestDatabase db(TestDatabase::Access::Odbc);
        QVERIFY(db.isValid());
        db.addDepartment(QStringLiteral("D01"), QStringLiteral("财务部"));
        db.addPosition(QStringLiteral("G01"), QStringLiteral("会计"), QStringLiteral("D01"), QStringLiteral("0012"));
        db.addEmployee(QStringLiteral("0012"), QStringLiteral("员工甲"), QStringLiteral("123"));
        db.assign(QStringLiteral("0012"), QStringLiteral("G01"), true);
        QByteArray blob("a\0b\0\xff\x00z", 7);
        QVERIFY(db.insert(QStringLiteral("公司文件信息"),
                          {{QStringLiteral("编号"), QStringLiteral("W-1")},
                           {QStringLiteral("文件名称"), QStringLiteral("制度")},
                           {QStringLiteral("上传日期"), QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))},
                           {QStringLiteral("文件"), blob}}));
        if (!db.connectShared())
            QSKIP(qPrintable(QStringLiteral("the SQLite ODBC driver is not installed: ") +
                             SharedConnection::lastOpenError().description));
        QCOMPARE(SharedConnection::database().driverName(), QStringLiteral("QODBC"));
        QCOMPARE(SharedConnection::engine(), SqlEngine::Sqlite);

        const auto found = LoginService::positions(QStringLiteral("0012"));
        QVERIFY2(found.ok(), qPrintable(found.error.description));
        QCOMPARE(found.value.size(), 1);
        QCOMPARE(found.value.first().listText(), QStringLiteral("财务部 会计(主要)"));
        QCOMPARE(found.value.first().values[1], QStringLiteral("员工甲"));

        Query q(QStringLiteral("select 文件, 上传日期, 文件名称 from 公司文件信息 where 编号 = ?"));
        q.bind(QStringLiteral("W-1"));
        QVERIFY(q.exec());
        QVERIFY(q.next());
        QCOMPARE(q.bytes(u"文件"), blob);
        QCOMPARE(q.text(u"文件名称"), QStringLiteral("制度"));
        QCOMPARE(q.dateTime(u"上传日期"), QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));

        ScriptedMessages msgs;
        const QDateTime now = GetServerDate(msgs);
        QVERIFY2(msgs.shown.isEmpty(), qPrintable(msgs.lastText()));
        QVERIFY(qAbs(now.secsTo(QDateTime::currentDateTime())) < 120);
    }
};

QTEST_MAIN(ConnectionTest)
#include "test_connection.moc"
