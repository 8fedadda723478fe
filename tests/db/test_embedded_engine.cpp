// The embedded SQLite engine as several clients share it: write transactions wait for each
// other, a database held too long is named in words, and texts compare as on the suite's
// SQL Server. Run through QSQLITE and through the SQLite ODBC driver.

#include "TestSupport.h"

#include "db/Query.h"
#include "db/TextCollation.h"
#include "login/LoginService.h"
#include "mainwindow/MenuPermissions.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <sqlite3.h>


Q_DECLARE_METATYPE(quarvel::test::TestDatabase::Access)

using namespace quarvel;
using namespace quarvel::test;

namespace {

using Access = TestDatabase::Access;

const char* const kOtherRow = "insert into 资料下载组 (组ID, 组名称, 备注) values ('OTHER', '别人的组', '')";

bool odbcAvailable() { return QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")); }

// Opens the shared connection on the fixture; extra ODBC attributes go after its text.
QString openShared(TestDatabase& db, const QString& odbcExtra = {})
{
    const QString svr = db.svr().startsWith(QStringLiteral("odbc:")) ? db.svr() + odbcExtra : db.svr();
    const DbStatus opened = OpenConnection({}, {}, {}, svr);
    if (!opened.ok())
        return opened.error.description;
    return {};
}

#define SKIP_WITHOUT_ODBC(access)                                                                                      \
    do {                                                                                                               \
        if ((access) == Access::Odbc && !odbcAvailable())                                                              \
            QSKIP("Qt's ODBC driver is not installed");                                                                \
    } while (false)

void addAccessRows()
{
    QTest::addColumn<Access>("access");
    QTest::newRow("QSQLITE") << Access::Sqlite;
    QTest::newRow("QODBC") << Access::Odbc;
}

sqlite3* sharedHandle()
{
    const QVariant handle = SharedConnection::database().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

int sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

int compareTexts(const QString& a, const QString& b)
{
    const QByteArray ua = a.toUtf8();
    const QByteArray ub = b.toUtf8();
    return sign(compareSuiteText(int(ua.size()), ua.constData(), int(ub.size()), ub.constData()));
}

int groupCount(TestDatabase& db) { return db.scalar(QStringLiteral("select count(*) from 资料下载组")).toInt(); }

}  // namespace

class EmbeddedEngineTest : public QObject {
    Q_OBJECT

    // Organisation rows whose codes differ from each other in letter case and trailing
    // blanks, as the suite's tables may hold them.
    static void fillOrganisation(TestDatabase& db)
    {
        db.addDepartment(QStringLiteral("D01"), QStringLiteral("财务部"));
        db.addPosition(QStringLiteral("g01"), QStringLiteral("会计"), QStringLiteral("d01 "));
        db.addEmployee(QStringLiteral("0012"), QStringLiteral("员工甲"), QStringLiteral("Abc"));
        db.addEmployee(QStringLiteral("E-7"), QStringLiteral("员工乙"), QStringLiteral("x"));
        db.assign(QStringLiteral("0012 "), QStringLiteral("G01"), true);
        db.insert(QStringLiteral("岗位权限设置"), {{QStringLiteral("组代号"), QStringLiteral("ADM")},
                                                   {QStringLiteral("岗位代号"), QStringLiteral("G01")},
                                                   {QStringLiteral("授权"), 1}});
        db.insert(QStringLiteral("GroupPrivilege"), {{QStringLiteral("GroupID"), QStringLiteral("adm ")},
                                                     {QStringLiteral("FormName"), QStringLiteral("公司Quarvel")},
                                                     {QStringLiteral("Popedom"), 1}});
    }

private slots:
    void cleanup() { SharedConnection::release(); }

    // --- two writers on one file ---

    void writerWaitsForAnotherWriter_data()
    {
        QTest::addColumn<Access>("access");
        QTest::addColumn<bool>("wal");
        QTest::newRow("QSQLITE") << Access::Sqlite << false;
        QTest::newRow("QSQLITE, write-ahead log") << Access::Sqlite << true;
        QTest::newRow("QODBC") << Access::Odbc << false;
    }
    void writerWaitsForAnotherWriter()
    {
        QFETCH(Access, access);
        QFETCH(bool, wal);
        SKIP_WITHOUT_ODBC(access);
        TestDatabase db(access);
        QVERIFY(db.isValid());
        if (wal)
            QVERIFY(db.exec(QStringLiteral("PRAGMA journal_mode=WAL")));
        const QString opened = openShared(db);
        QVERIFY2(opened.isEmpty(), qPrintable(opened));

        OtherClient other(db.path(), "BEGIN IMMEDIATE", 1500, kOtherRow);
        QVERIFY(other.holding());
        QElapsedTimer clock;
        clock.start();
        {
            // Read, then write, as the saves of the windows do.
            Transaction transaction;
            QVERIFY2(transaction.begun(), qPrintable(transaction.error().description));
            Query q(QStringLiteral("select count(*) as n from 资料下载组 where 组ID = ?"));
            q.bind(QStringLiteral("MINE"));
            QVERIFY2(q.exec() && q.next(), qPrintable(q.error().description));
            QCOMPARE(q.integer(u"n"), 0);
            const DbStatus inserted = execute(
                QStringLiteral("insert into 资料下载组 (组ID, 组名称, 备注) values (?, ?, ?)"),
                {QStringLiteral("MINE"), QStringLiteral("我的组"), QString()});
            QVERIFY2(inserted.ok(), qPrintable(inserted.error.description));
            QVERIFY2(transaction.commit(), qPrintable(transaction.error().description));
        }
        // It waited for the other client instead of failing.
        QVERIFY2(clock.elapsed() >= 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(groupCount(db), 2);
    }

    void beginningTakesTheWriteLock()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        const QString opened = openShared(db);
        QVERIFY2(opened.isEmpty(), qPrintable(opened));
        // Once begun, nobody else can begin writing until this transaction ends, even though
        // it has neither read nor written yet.
        Transaction transaction;
        QVERIFY2(transaction.begun(), qPrintable(transaction.error().description));
        sqlite3* second = nullptr;
        QCOMPARE(sqlite3_open_v2(db.path().toUtf8().constData(), &second, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_exec(second, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_BUSY);
        QVERIFY(transaction.commit());
        QCOMPARE(sqlite3_exec(second, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_exec(second, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(second);
    }

    // --- a database held too long ---

    void heldDatabaseIsNamedInWords_data() { addAccessRows(); }
    void heldDatabaseIsNamedInWords()
    {
        QFETCH(Access, access);
        SKIP_WITHOUT_ODBC(access);
        TestDatabase db(access);
        QVERIFY(db.isValid());
        // A short busy time-out, so that the test does not wait the client's 30 seconds.
        const QString opened = openShared(db, QStringLiteral(";Timeout=200"));
        QVERIFY2(opened.isEmpty(), qPrintable(opened));
        if (access == Access::Sqlite)
            QCOMPARE(sqlite3_busy_timeout(sharedHandle(), 200), SQLITE_OK);

        OtherClient other(db.path(), "BEGIN EXCLUSIVE", 2000, kOtherRow);
        QVERIFY(other.holding());
        {
            Transaction transaction;
            QVERIFY(!transaction.begun());
            QVERIFY2(transaction.error().description.startsWith(databaseBusyText()),
                     qPrintable(transaction.error().description));
            QVERIFY2(transaction.error().description.contains(QStringLiteral("locked")),
                     qPrintable(transaction.error().description));
        }
        // Reading is refused the same way while the other client writes its file.
        Query q(QStringLiteral("select count(*) as n from 资料下载组"));
        QVERIFY(!q.exec() || !q.next());
        QVERIFY2(q.error().description.startsWith(databaseBusyText()), qPrintable(q.error().description));
        QCOMPARE(formatError(q.error(), ErrorForm::NumberAndDescription),
                 QStringLiteral("错误号：%1\n错误描述：%2").arg(q.error().number).arg(q.error().description));
    }

    void onlyLockErrorsAreReworded()
    {
        const DbError locked = DbError::fromEngine(5, QStringLiteral("database is locked"));
        QCOMPARE(locked.number, 5);
        QCOMPARE(locked.description, databaseBusyText() + QStringLiteral("（database is locked）"));
        QCOMPARE(DbError::fromEngine(locked.number, locked.description).description, locked.description);
        QVERIFY(DbError::fromEngine(6, QStringLiteral("database table is locked: 资料类型"))
                    .description.startsWith(databaseBusyText()));
        QVERIFY(DbError::fromEngine(-1, QStringLiteral("[SQLite]database is locked (5)"))
                    .description.startsWith(databaseBusyText()));
        QCOMPARE(DbError::fromEngine(1, QStringLiteral("no such table: 资料类型")).description,
                 QStringLiteral("no such table: 资料类型"));
        QCOMPARE(DbError::fromEngine(5, QStringLiteral("other text")).description, QStringLiteral("other text"));
    }

    // --- texts compare as on the server ---

    void comparisonFollowsTheServer_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("trailing blank") << QStringLiteral("0012 ") << QStringLiteral("0012") << 0;
        QTest::newRow("trailing blanks both") << QStringLiteral("G01  ") << QStringLiteral("G01 ") << 0;
        QTest::newRow("only blanks") << QStringLiteral("   ") << QString() << 0;
        QTest::newRow("letter case") << QStringLiteral("g0103") << QStringLiteral("G0103") << 0;
        QTest::newRow("accented case") << QStringLiteral("ÄRGER") << QStringLiteral("ärger") << 0;
        QTest::newRow("full-width case") << QStringLiteral("ＡＢ") << QStringLiteral("ａｂ") << 0;
        QTest::newRow("Chinese") << QStringLiteral("财务部 ") << QStringLiteral("财务部") << 0;
        QTest::newRow("leading blank counts") << QStringLiteral(" 0012") << QStringLiteral("0012") << -1;
        QTest::newRow("inner blank counts") << QStringLiteral("D 1") << QStringLiteral("D1") << -1;
        QTest::newRow("tab is not a blank") << QStringLiteral("A\t") << QStringLiteral("A") << 1;
        QTest::newRow("ideographic blank is kept") << QStringLiteral("甲\u3000") << QStringLiteral("甲") << 1;
        QTest::newRow("prefix first") << QStringLiteral("G01") << QStringLiteral("G010") << -1;
        QTest::newRow("case-blind order") << QStringLiteral("apple") << QStringLiteral("Banana") << -1;
        QTest::newRow("code points") << QStringLiteral("人事部") << QStringLiteral("财务部") << -1;
        QTest::newRow("ASCII against folded non-ASCII") << QStringLiteral("k") << QStringLiteral("\u212A") << 0;
    }
    void comparisonFollowsTheServer()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QCOMPARE(compareTexts(a, b), expected);
        QCOMPARE(compareTexts(b, a), -expected);
    }

    void comparisonIsAConsistentOrder()
    {
        // Indexes need a total order: antisymmetric and transitive, whatever the texts.
        const QStringList pieces = {QStringLiteral("a"),      QStringLiteral("A"),  QStringLiteral(" "),
                                    QStringLiteral("b"),      QStringLiteral("é"),  QStringLiteral("É"),
                                    QStringLiteral("\t"),     QStringLiteral("中"), QStringLiteral("!"),
                                    QStringLiteral("\u212A"), QStringLiteral("k")};
        QRandomGenerator random(7);
        QStringList texts;
        for (int i = 0; i < 60; ++i) {
            QString t;
            const int length = int(random.bounded(5));
            for (int k = 0; k < length; ++k)
                t += pieces.at(int(random.bounded(pieces.size())));
            texts << t;
        }
        for (const QString& a : std::as_const(texts)) {
            for (const QString& b : std::as_const(texts)) {
                QCOMPARE(compareTexts(a, b), -compareTexts(b, a));
                for (const QString& c : std::as_const(texts)) {
                    if (compareTexts(a, b) <= 0 && compareTexts(b, c) <= 0)
                        QVERIFY2(compareTexts(a, c) <= 0, qPrintable(a + u'|' + b + u'|' + c));
                }
            }
        }
        // Invalid UTF-8 still compares, byte by byte.
        QCOMPARE(sign(compareSuiteText(2, "\xff\xfe", 2, "\xff\xfe")), 0);
        QCOMPARE(sign(compareSuiteText(1, "\xc3", 2, "\xc3\xa4")), sign(0xc3 - 0xe4));
    }

    // The common start of two texts is skipped byte by byte; the result is the full comparison's.
    // The full one is had by giving the texts starts that differ in bytes but fold alike ("A"
    // and "a"), so nothing can be skipped; valid texts are also compared against code points
    // folded one by one.
    void skippedStartGivesTheFullComparison()
    {
        const QStringList pieces = {QStringLiteral("a"),  QStringLiteral("A"),      QStringLiteral(" "),
                                    QStringLiteral("中"), QStringLiteral("文"),     QStringLiteral("é"),
                                    QStringLiteral("É"),  QStringLiteral("ß"),      QStringLiteral("Ａ"),
                                    QStringLiteral("ａ"), QStringLiteral("\u212A"), QStringLiteral("k"),
                                    QStringLiteral("😀"),  QStringLiteral("1")};
        const auto full = [](const QByteArray& a, const QByteArray& b) {
            const QByteArray fa = 'A' + a, fb = 'a' + b;
            return sign(compareSuiteText(int(fa.size()), fa.constData(), int(fb.size()), fb.constData()));
        };
        const auto byCodePoints = [](QString a, QString b) {
            while (a.endsWith(u' '))
                a.chop(1);
            while (b.endsWith(u' '))
                b.chop(1);
            const QList<uint> ca = a.toUcs4(), cb = b.toUcs4();
            for (qsizetype k = 0; k < ca.size() && k < cb.size(); ++k) {
                const uint x = QChar::toCaseFolded(char32_t(ca[k])), y = QChar::toCaseFolded(char32_t(cb[k]));
                if (x != y)
                    return x < y ? -1 : 1;
            }
            return sign(int(ca.size() - cb.size()));
        };
        QRandomGenerator random(11);
        const auto randomText = [&](int most) {
            QString t;
            const int length = int(random.bounded(most));
            for (int k = 0; k < length; ++k)
                t += pieces.at(int(random.bounded(pieces.size())));
            return t;
        };
        for (int n = 0; n < 20000; ++n) {
            const QString start = randomText(6);
            const QString a = start + randomText(4), b = start + randomText(4);
            const QByteArray ua = a.toUtf8(), ub = b.toUtf8();
            const int got = sign(compareSuiteText(int(ua.size()), ua.constData(), int(ub.size()), ub.constData()));
            QVERIFY2(got == full(ua, ub) && got == byCodePoints(a, b), qPrintable(a + u'|' + b));
        }
        // The blocks compared without the folding table have no case in it.
        for (char32_t cp = 0x3000; cp < 0xD7A4; ++cp)
            QVERIFY2(QChar::toCaseFolded(cp) == cp || (cp >= 0xA000 && cp < 0xAC00),
                     qPrintable(QString::number(cp, 16)));
        // Bytes that are no UTF-8, cut inside a character.
        for (int n = 0; n < 20000; ++n) {
            QByteArray start = randomText(4).toUtf8(), a = randomText(3).toUtf8(), b = randomText(3).toUtf8();
            start.truncate(int(random.bounded(start.size() + 1)));
            a = start + a.left(int(random.bounded(a.size() + 1)));
            b = start + b.left(int(random.bounded(b.size() + 1)));
            if (random.bounded(4) == 0)
                b += char(0x80 | random.bounded(0x40));
            const int got = sign(compareSuiteText(int(a.size()), a.constData(), int(b.size()), b.constData()));
            QVERIFY2(got == full(a, b), qPrintable(QString::fromLatin1(a.toHex() + '|' + b.toHex())));
        }
    }

    void codesCompareAsOnTheServer_data() { addAccessRows(); }
    void codesCompareAsOnTheServer()
    {
        QFETCH(Access, access);
        SKIP_WITHOUT_ODBC(access);
        TestDatabase db(access);
        QVERIFY(db.isValid());
        fillOrganisation(db);
        const QString opened = openShared(db);
        QVERIFY2(opened.isEmpty(), qPrintable(opened));

        // The employee check: a trailing blank and the case of the letters do not count, a
        // leading blank does.
        for (const QString& user : {QStringLiteral("0012"), QStringLiteral("0012 "), QStringLiteral("0012  ")}) {
            const DbResult<bool> found = LoginService::checkEmployee(user, QStringLiteral("Abc"));
            QVERIFY2(found.ok(), qPrintable(found.error.description));
            QVERIFY2(found.value, qPrintable(user));
        }
        QVERIFY(LoginService::checkEmployee(QStringLiteral("e-7 "), QStringLiteral("x")).value);
        QVERIFY(!LoginService::checkEmployee(QStringLiteral(" 0012"), QStringLiteral("Abc")).value);
        QVERIFY(!LoginService::checkEmployee(QStringLiteral("0012"), QStringLiteral("Abd")).value);

        // The position query joins codes stored as "0012 ", "G01", "g01", "D01" and "d01 ".
        const DbResult<QVector<PositionChoice>> positions = LoginService::positions(QStringLiteral("0012 "));
        QVERIFY2(positions.ok(), qPrintable(positions.error.description));
        QCOMPARE(positions.value.size(), 1);
        QCOMPARE(positions.value.first().listText(), QStringLiteral("财务部 会计(主要)"));

        // The menu permissions of a position code with a trailing blank or other letter case.
        for (const QString& position : {QStringLiteral("G01 "), QStringLiteral("g01")}) {
            const DbResult<QVector<MenuGrant>> grants = MenuPermissions::load(position);
            QVERIFY2(grants.ok(), qPrintable(grants.error.description));
            QCOMPARE(grants.value.size(), 1);
            QCOMPARE(grants.value.first().formName, QStringLiteral("公司Quarvel"));
        }

        // Grouping and ordering follow the same rule.
        for (const QString& code :
             {QStringLiteral("ab"), QStringLiteral("AB "), QStringLiteral("Ab"), QStringLiteral("ac")})
            QVERIFY(db.insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), code}}));
        Query distinct(QStringLiteral("select count(distinct 组ID) as n from 资料下载组"));
        QVERIFY2(distinct.exec() && distinct.next(), qPrintable(distinct.error().description));
        QCOMPARE(distinct.integer(u"n"), 2);
        Query ordered(QStringLiteral("select 组ID from 资料下载组 order by 组ID desc"));
        QVERIFY(ordered.exec() && ordered.next());
        QCOMPARE(ordered.text(u"组ID"), QStringLiteral("ac"));
    }

    void indexesServeTheComparisons()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        const QString opened = openShared(db);
        QVERIFY2(opened.isEmpty(), qPrintable(opened));
        const QStringList statements = {
            LoginService::employeeCheckStatement(),
            QStringLiteral("select 岗位代号 from 资料下载权限 where 文件编号 = ?"),
            QStringLiteral("select ID from 公司文件信息 where 编号 = ?"),
            QStringLiteral("select 名称 from 资料类型 where 编号 = ?"),
        };
        for (const QString& statement : statements) {
            QSqlQuery plan(SharedConnection::database());
            QVERIFY(
                plan.prepare(QStringLiteral("explain query plan ") + dialect::translate(statement, SqlEngine::Sqlite)));
            const int marks = int(statement.count(u'?'));
            for (int i = 0; i < marks; ++i)
                plan.addBindValue(QStringLiteral("x"));
            QVERIFY2(plan.exec(), qPrintable(plan.lastError().text()));
            QString details;
            while (plan.next())
                details += plan.value(QStringLiteral("detail")).toString() + u'\n';
            QVERIFY2(details.contains(QStringLiteral("USING INDEX"))
                         || details.contains(QStringLiteral("USING COVERING INDEX")),
                     qPrintable(statement + u'\n' + details));
        }
    }

    // --- LIKE folds case as "=" does ---

    void likeFoldsAsTheComparison_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("expected");
        QTest::newRow("accented case") << QStringLiteral("Ärger") << QStringLiteral("%ärger%") << true;
        QTest::newRow("Greek case") << QStringLiteral("ΣΟΦΙΑ") << QStringLiteral("σοφια") << true;
        QTest::newRow("full-width case") << QStringLiteral("ＡＢ报告") << QStringLiteral("ａｂ%") << true;
        QTest::newRow("Kelvin sign") << QStringLiteral("\u212A") << QStringLiteral("k") << true;
        QTest::newRow("ASCII case") << QStringLiteral("Report") << QStringLiteral("rEPORT") << true;
        QTest::newRow("Chinese inside") << QStringLiteral("年度报告2013") << QStringLiteral("%报告%") << true;
        QTest::newRow("one character") << QStringLiteral("报告") << QStringLiteral("_告") << true;
        QTest::newRow("one is not two") << QStringLiteral("报告") << QStringLiteral("_") << false;
        QTest::newRow("empty pattern") << QStringLiteral("x") << QString() << false;
        QTest::newRow("empty text") << QString() << QStringLiteral("%") << true;
        QTest::newRow("bracket is literal") << QStringLiteral("[a]b") << QStringLiteral("[a]%") << true;
        QTest::newRow("bracket class is not") << QStringLiteral("ab") << QStringLiteral("[a]b") << false;
        QTest::newRow("blank counts") << QStringLiteral("ab ") << QStringLiteral("ab") << false;
        QTest::newRow("backtracking") << QStringLiteral("aaaaaaaaab") << QStringLiteral("%a%a%a%ab") << true;
        QTest::newRow("no match after runs") << QStringLiteral("aaaaaaaaaa") << QStringLiteral("%a%a%a%ab") << false;
        QTest::newRow("different letter") << QStringLiteral("ärger") << QStringLiteral("arger") << false;
    }
    void likeFoldsAsTheComparison()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(bool, expected);
        // The client's own registration and the extension module give the same answer.
        for (const bool extension : {false, true}) {
            sqlite3* raw = nullptr;
            QCOMPARE(sqlite3_open(":memory:", &raw), SQLITE_OK);
            if (extension) {
                sqlite3_enable_load_extension(raw, 1);
                char* error = nullptr;
                QVERIFY2(
                    sqlite3_load_extension(raw, textExtensionPath().toUtf8().constData(), nullptr, &error) == SQLITE_OK,
                    error);
            } else {
                QCOMPARE(registerTextCollation(raw), SQLITE_OK);
            }
            sqlite3_stmt* stmt = nullptr;
            QCOMPARE(sqlite3_prepare_v2(raw, "select ? like ?, ? like ? escape '!'", -1, &stmt, nullptr), SQLITE_OK);
            const QByteArray t = text.toUtf8();
            const QByteArray p = pattern.toUtf8();
            for (int k : {1, 3})
                sqlite3_bind_text(stmt, k, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            for (int k : {2, 4})
                sqlite3_bind_text(stmt, k, p.constData(), int(p.size()), SQLITE_TRANSIENT);
            QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
            QCOMPARE(sqlite3_column_int(stmt, 0) == 1, expected);
            QCOMPARE(sqlite3_column_int(stmt, 1) == 1, expected);
            sqlite3_finalize(stmt);
            sqlite3_close(raw);
        }
    }

    void likeAgreesWithTheEngineOnAscii()
    {
        // On ASCII texts the engine's own LIKE folds as the collation does: the two must agree,
        // escapes included, over random texts and patterns.
        sqlite3* own = nullptr;
        sqlite3* builtIn = nullptr;
        QCOMPARE(sqlite3_open(":memory:", &own), SQLITE_OK);
        QCOMPARE(sqlite3_open(":memory:", &builtIn), SQLITE_OK);
        QCOMPARE(registerTextCollation(own), SQLITE_OK);
        const auto ask = [](sqlite3* raw, const QByteArray& text, const QByteArray& pattern) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(raw, "select ? like ? escape '!'", -1, &stmt, nullptr);
            sqlite3_bind_text(stmt, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 2, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
            const int r = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
            sqlite3_finalize(stmt);
            return r;
        };
        QRandomGenerator random(11);
        const QByteArray letters = "aAbB%_! ";
        for (int n = 0; n < 4000; ++n) {
            QByteArray text, pattern;
            for (int k = int(random.bounded(7)); k > 0; --k)
                text += letters.at(int(random.bounded(4)));
            for (int k = int(random.bounded(6)); k > 0; --k)
                pattern += letters.at(int(random.bounded(letters.size())));
            qsizetype escapes = 0;
            while (escapes < pattern.size() && pattern.at(pattern.size() - 1 - escapes) == '!')
                ++escapes;
            if (escapes % 2 == 1)
                pattern += 'a';  // no dangling escape: the engine answers it in its own way
            QVERIFY2(ask(own, text, pattern) == ask(builtIn, text, pattern), text + " like " + pattern);
        }
        // A long pattern answers at once instead of failing.
        const QByteArray longPattern = '%' + QByteArray(20000, 'a') + '%';
        QCOMPARE(ask(own, QByteArray(30000, 'a'), longPattern), 1);
        sqlite3_close(own);
        sqlite3_close(builtIn);
    }

    void otherProgramsReadTheFileWithTheCollation()
    {
        // What a benchmark or a tool does with plain SQLite on a file made from the schema.
        TestDatabase db;
        QVERIFY(db.isValid());
        fillOrganisation(db);
        const QByteArray path = db.path().toUtf8();
        const char* const statement = "select count(*) from 员工档案 where 工号 = '0012 '";
        const auto count = [&](sqlite3* raw) {
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v2(raw, statement, -1, &stmt, nullptr) != SQLITE_OK)
                return -1;
            const int n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
            sqlite3_finalize(stmt);
            return n;
        };

        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open_v2(path.constData(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        QCOMPARE(count(raw), -1);
        QVERIFY(QByteArray(sqlite3_errmsg(raw)).contains("no such collation sequence: NOCASE_RTRIM"));
        QCOMPARE(registerTextCollation(raw), SQLITE_OK);
        QCOMPARE(count(raw), 1);
        sqlite3_close(raw);

        // The extension module does the same for connections that load it.
        QCOMPARE(sqlite3_open_v2(path.constData(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_enable_load_extension(raw, 1), SQLITE_OK);
        char* error = nullptr;
        const int loaded = sqlite3_load_extension(raw, textExtensionPath().toUtf8().constData(), nullptr, &error);
        QVERIFY2(loaded == SQLITE_OK, error);
        QCOMPARE(count(raw), 1);
        sqlite3_close(raw);
    }
};

QTEST_MAIN(EmbeddedEngineTest)
#include "test_embedded_engine.moc"
