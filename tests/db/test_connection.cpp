#include "TestSupport.h"

#include "db/Query.h"
#include "login/LoginService.h"
#include "login/ServerClock.h"
#include "login/frmLogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class ConnectionTest : public QObject {
    Q_OBJECT

    static bool odbcAvailable() { return QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")); }

private slots:
    void connectionTextIsComposedVerbatim()
    {
        QCOMPARE(composeConnectionString({}, {}, {}, {}),
                 QStringLiteral("Provider=SQLOLEDB.1;Password=;Persist Security Info=False;User ID=;"
                                "Initial Catalog='';Data Source=''"));
        QCOMPARE(composeConnectionString(QStringLiteral("sa"), QStringLiteral("p;w'd"), QStringLiteral("MIS"),
                                         QStringLiteral("srv\\inst")),
                 QStringLiteral("Provider=SQLOLEDB.1;Password=p;w'd;Persist Security Info=False;"
                                "User ID=sa;Initial Catalog='MIS';Data Source='srv\\inst'"));
    }

    void allSettingsMissingFails()
    {
        TestDatabase db;  // isolates the settings store; nothing written to it
        TestPlatform platform;
        frmLogin login(platform);
        QVERIFY(!login.ConnectDatabase());
        QVERIFY(platform.msgs().lastText().startsWith(QStringLiteral("数据库连接失败!\n尚未设置数据库连接")));
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
        ConnectionTarget t = resolveTarget(QStringLiteral("sa"), QStringLiteral("se;cret"), QStringLiteral("MIS"),
                                           QStringLiteral("dbhost,1433"));
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
        const DbStatus opened = OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + missing);
        QVERIFY(!opened.ok());
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(opened.error.description.contains(missing));
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
        QVERIFY(SharedConnection::reopen().ok());
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

    // --- the settings file ---

    void settingsAreReadAsWritten_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("expected");  // Svr, UID, PWD, DBname
        QTest::newRow("named instance") << QByteArray(
            "[DBConfig]\nSvr=dbhost\\SQLEXPRESS\nUID=quarvel\nPWD=secret\nDBname=CorvaneMIS\n")
                                        << QStringList{"dbhost\\SQLEXPRESS", "quarvel", "secret", "CorvaneMIS"};
        QTest::newRow("host and port") << QByteArray("[DBConfig]\nSvr=dbhost,1433\nUID=sa\n")
                                       << QStringList{"dbhost,1433", "sa", "", ""};
        QTest::newRow("odbc text") << QByteArray(
            "[DBConfig]\nSvr=odbc:DRIVER={FreeTDS};SERVER=h;PORT=1433;TDS_Version=7.4;\n")
                                   << QStringList{"odbc:DRIVER={FreeTDS};SERVER=h;PORT=1433;TDS_Version=7.4;", "", "",
                                                  ""};
        QTest::newRow("data source name")
            << QByteArray("[DBConfig]\nSvr=odbc:DSN=corvane\n") << QStringList{"odbc:DSN=corvane", "", "", ""};
        QTest::newRow("sqlite path") << QByteArray("[DBConfig]\nSvr=sqlite:/srv/资料 库/a,b;c.db\n")
                                     << QStringList{"sqlite:/srv/资料 库/a,b;c.db", "", "", ""};
        QTest::newRow("password with , ; \" = # \\")
            << QByteArray("[DBConfig]\nPWD=a,b;c\"d=e#f\\g\n") << QStringList{"", "", "a,b;c\"d=e#f\\g", ""};
        QTest::newRow("quotes are part of the value")
            << QByteArray("[DBConfig]\nPWD=\"quoted\"\nUID='x'\n") << QStringList{"", "'x'", "\"quoted\"", ""};
        QTest::newRow("blanks inside the value are kept")
            << QByteArray("[DBConfig]\nPWD= two  words \n") << QStringList{"", "", " two  words ", ""};
        QTest::newRow("Windows line ends, byte order mark, comments, other sections")
            << QByteArray("\xEF\xBB\xBF; written by hand\r\n[General]\r\nSvr=elsewhere\r\n\r\n[dbconfig]\r\n"
                          "# the server\r\n svr =dbhost\\SQLEXPRESS\r\nDBNAME=库\r\n[Other]\r\nUID=no\r\n")
            << QStringList{"dbhost\\SQLEXPRESS", "", "", "库"};
        QTest::newRow("last line of a key wins")
            << QByteArray("[DBConfig]\nUID=first\nUID=second\n") << QStringList{"", "second", "", ""};
        QTest::newRow("empty values and missing keys")
            << QByteArray("[DBConfig]\nSvr=\nUID\n") << QStringList{"", "", "", ""};
        QTest::newRow("no section") << QByteArray("Svr=dbhost\n") << QStringList{"", "", "", ""};
    }
    void settingsAreReadAsWritten()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, expected);
        TestDatabase db;  // isolates the settings store
        QVERIFY(writeSettingsText(text));
        const ConnectionSettings s = ConnectionSettings::fromStore();
        QCOMPARE(QStringList({s.svr, s.uid, s.pwd, s.dbName}), expected);
    }

    void readmeServerSettingsReachTheDriver()
    {
        // The settings of the README, as a person types them, give the driver the host, the
        // instance or the port and the password unchanged.
        qunsetenv("QUARVEL_ODBC_DRIVER");
        TestDatabase db;
        QVERIFY(
            writeSettingsText("[DBConfig]\nSvr=dbhost\\SQLEXPRESS\nUID=quarvel\nPWD=se;cr,et\nDBname=CorvaneMIS\n"));
        ConnectionSettings s = ConnectionSettings::fromStore();
        ConnectionTarget t = resolveTarget(s.uid, s.pwd, s.dbName, s.svr);
        QCOMPARE(t.databaseName, QStringLiteral("DRIVER={FreeTDS};SERVER=dbhost\\SQLEXPRESS;DATABASE=CorvaneMIS;"
                                                "UID=quarvel;PWD={se;cr,et};ClientCharset=UTF-8;"));
        QVERIFY(writeSettingsText("[DBConfig]\nSvr=dbhost,1433\nUID=quarvel\nPWD=secret\nDBname=CorvaneMIS\n"));
        s = ConnectionSettings::fromStore();
        t = resolveTarget(s.uid, s.pwd, s.dbName, s.svr);
        QCOMPARE(t.databaseName, QStringLiteral("DRIVER={FreeTDS};SERVER=dbhost;PORT=1433;DATABASE=CorvaneMIS;"
                                                "UID=quarvel;PWD=secret;ClientCharset=UTF-8;"));
    }

    void readmeDatabaseSettingsOpenTheDatabase_data()
    {
        QTest::addColumn<bool>("odbc");
        QTest::newRow("sqlite: with a comma and a backslash in the path") << false;
        QTest::newRow("odbc: text with its semicolons") << true;
    }
    void readmeDatabaseSettingsOpenTheDatabase()
    {
        QFETCH(bool, odbc);
        if (odbc && !odbcAvailable())
            QSKIP("Qt's ODBC driver is not installed");
        TestDatabase db;
        QVERIFY(db.isValid());
        QString svr;
        if (odbc) {
            svr = QStringLiteral("odbc:DRIVER={SQLite3};Database=%1;LoadExt=%2").arg(db.path(), textExtensionPath());
        } else {
            const QString folder = db.dir() + QStringLiteral("/a,b\\c");
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(QFile::copy(db.path(), folder + QStringLiteral("/quarvel.db")));
            svr = QStringLiteral("sqlite:") + folder + QStringLiteral("/quarvel.db");
        }
        QVERIFY(writeSettingsText("[DBConfig]\nSvr=" + svr.toUtf8() + "\nUID=\nPWD=\nDBname=\n"));

        // The user logs in; the connection opens on the database the file names.
        TestPlatform platform;
        frmLogin login(platform);
        int mainShown = 0;
        login.showMainWindow = [&] { ++mainShown; };
        QVERIFY(!login.Form_Load(QString()));
        login.show();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        QTest::keyClicks(login.TxtUser, QStringLiteral("sysOp"));
        QTest::keyClicks(login.txtPassword, QStringLiteral("lantor"));
        QTest::mouseClick(login.cmdOK, Qt::LeftButton);
        QVERIFY2(platform.msgs().shown.isEmpty(), qPrintable(platform.msgs().lastText()));
        QCOMPARE(mainShown, 1);
        QCOMPARE(SharedConnection::database().driverName(), odbc ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE"));
    }

    void programWrittenSettingsReadBack()
    {
        TestDatabase db;
        ConnectionSettings written;
        written.svr = QStringLiteral("odbc:DRIVER={FreeTDS};SERVER=h\\i,1433;");
        written.uid = QStringLiteral(" 用户 ");
        written.pwd = QStringLiteral("a,b;c\"d=e#f\\g[h]'");
        written.dbName = QStringLiteral("[DBConfig]");
        QVERIFY(written.toStore().ok());
        ConnectionSettings back = ConnectionSettings::fromStore();
        QCOMPARE(QStringList({back.svr, back.uid, back.pwd, back.dbName}),
                 QStringList({written.svr, written.uid, written.pwd, written.dbName}));

        // A line break cannot be kept in a line of its own: refused, the file unchanged.
        const QByteArray before = settingsText();
        written.pwd = QStringLiteral("two\nlines");
        QVERIFY(!written.toStore().error.description.isEmpty());
        QCOMPARE(settingsText(), before);
    }

    void settingsFileIsMadeWhenMissing()
    {
        TestDatabase db;
        QVERIFY(!QFileInfo::exists(ConnectionSettings::storePath()));
        ConnectionSettings s;
        s.svr = QStringLiteral("dbhost\\SQLEXPRESS");
        QVERIFY(s.toStore().ok());
        QCOMPARE(settingsText(), QByteArray("[DBConfig]\nSvr=dbhost\\SQLEXPRESS\nUID=\nPWD=\nDBname=\n"));
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
        const DbStatus opened = db.openShared();
        if (!opened.ok())
            QSKIP(qPrintable(QStringLiteral("the SQLite ODBC driver is not installed: ") + opened.error.description));
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
