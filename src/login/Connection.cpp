#include "login/Connection.h"

#include "login/Query.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlError>

namespace quarvel {
namespace {

constexpr int kConnectionTimeoutSeconds = 30;

struct SharedState {
    QString connectionName;
    SqlEngine engine = SqlEngine::SqlServer;
    int generation = 0;
    QString connectionString;
    ConnectionSettings settings;  // kept for reopening
    DbError lastOpenError;
};

SharedState& state()
{
    static SharedState s;
    return s;
}

// Quotes an ODBC attribute value when it holds characters that end or open one.
QString odbcValue(const QString& value)
{
    if (!value.contains(u';') && !value.contains(u'{') && !value.contains(u'}')
        && !value.contains(u'=') && value.trimmed() == value)
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + escaped + u'}';
}

QString odbcDriverName()
{
    const QString fromEnv = qEnvironmentVariable("QUARVEL_ODBC_DRIVER");
    return fromEnv.isEmpty() ? QStringLiteral("FreeTDS") : fromEnv;
}

bool openTarget(const ConnectionTarget& target, const ConnectionSettings& settings)
{
    SharedState& s = state();
    SharedConnection::release();
    s.generation += 1;
    s.connectionName = QStringLiteral("quarvel-shared-%1").arg(s.generation);
    s.engine = target.engine;
    s.settings = settings;
    s.lastOpenError = {};

    if (target.driver.isEmpty()) {
        s.lastOpenError = DbError::make(-1, QStringLiteral("未配置数据库服务器"));
        return false;
    }
    if (target.driver == QLatin1String("QSQLITE") && !QFileInfo(target.databaseName).isFile()) {
        // Opening a missing file would create an empty database; the client never creates one.
        s.lastOpenError = DbError::make(-1, QStringLiteral("数据库文件不存在: ") + target.databaseName);
        QSqlDatabase::addDatabase(target.driver, s.connectionName);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, s.connectionName);
    db.setDatabaseName(target.databaseName);
    if (target.driver == QLatin1String("QODBC")) {
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
                                 .arg(kConnectionTimeoutSeconds));
    } else {
        db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kConnectionTimeoutSeconds * 1000));
    }
    if (!db.open()) {
        s.lastOpenError = DbError::fromSql(db.lastError());
        return false;
    }
    if (target.engine == SqlEngine::Sqlite) {
        // Text comparisons and LIKE follow SQL Server's default: "like" is case-insensitive
        // for ASCII letters in both; nothing else needs setting.
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
    }
    return true;
}

}  // namespace

DbError DbError::fromSql(const QSqlError& error)
{
    if (error.type() == QSqlError::NoError)
        return {};
    bool ok = false;
    int number = error.nativeErrorCode().toInt(&ok);
    if (!ok || number == 0)
        number = -static_cast<int>(error.type()) - 1000;
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return {number, text};
}

ConnectionSettings ConnectionSettings::fromStore()
{
    QSettings store(QStringLiteral("CorvaneMIS2011"), QStringLiteral("CorvaneMIS2011"));
    store.beginGroup(QStringLiteral("DBConfig"));
    ConnectionSettings s;
    s.svr = store.value(QStringLiteral("Svr")).toString();
    s.uid = store.value(QStringLiteral("UID")).toString();
    s.pwd = store.value(QStringLiteral("PWD")).toString();
    s.dbName = store.value(QStringLiteral("DBname")).toString();
    return s;
}

void ConnectionSettings::toStore() const
{
    QSettings store(QStringLiteral("CorvaneMIS2011"), QStringLiteral("CorvaneMIS2011"));
    store.beginGroup(QStringLiteral("DBConfig"));
    store.setValue(QStringLiteral("Svr"), svr);
    store.setValue(QStringLiteral("UID"), uid);
    store.setValue(QStringLiteral("PWD"), pwd);
    store.setValue(QStringLiteral("DBname"), dbName);
    store.sync();
}

ConnectionTarget resolveTarget(const QString& uid, const QString& pwd, const QString& dbName,
                               const QString& svr)
{
    ConnectionTarget t;
    static const QLatin1String sqlitePrefix("sqlite:");
    static const QLatin1String odbcPrefix("odbc:");
    if (svr.startsWith(sqlitePrefix, Qt::CaseInsensitive)) {
        t.driver = QStringLiteral("QSQLITE");
        t.databaseName = svr.mid(sqlitePrefix.size());
        t.engine = SqlEngine::Sqlite;
        return t;
    }
    if (svr.startsWith(odbcPrefix, Qt::CaseInsensitive)) {
        t.driver = QStringLiteral("QODBC");
        t.databaseName = svr.mid(odbcPrefix.size());
        static const QRegularExpression sqliteDriver(QStringLiteral(R"(driver\s*=\s*\{?\s*sqlite)"),
                                                     QRegularExpression::CaseInsensitiveOption);
        t.engine = sqliteDriver.match(t.databaseName).hasMatch() ? SqlEngine::Sqlite
                                                                  : SqlEngine::SqlServer;
        return t;
    }
    if (svr.isEmpty() && uid.isEmpty() && pwd.isEmpty() && dbName.isEmpty())
        return t;  // nothing configured: no driver

    QString host = svr;
    QString port;
    const qsizetype comma = svr.lastIndexOf(u',');
    if (comma > 0) {
        host = svr.left(comma).trimmed();
        port = svr.mid(comma + 1).trimmed();
    }
    QString text = QStringLiteral("DRIVER={%1};SERVER=%2;").arg(odbcDriverName(), odbcValue(host));
    if (!port.isEmpty())
        text += QStringLiteral("PORT=%1;").arg(odbcValue(port));
    text += QStringLiteral("DATABASE=%1;UID=%2;PWD=%3;ClientCharset=UTF-8;")
                .arg(odbcValue(dbName), odbcValue(uid), odbcValue(pwd));
    t.driver = QStringLiteral("QODBC");
    t.databaseName = text;
    t.engine = SqlEngine::SqlServer;
    return t;
}

QString composeConnectionString(const QString& uid, const QString& pwd, const QString& dbName,
                                const QString& svr)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Password=") + pwd
           + QStringLiteral(";Persist Security Info=False;User ID=") + uid
           + QStringLiteral(";Initial Catalog='") + dbName + QStringLiteral("';Data Source='") + svr
           + QStringLiteral("'");
}

QSqlDatabase SharedConnection::database()
{
    const SharedState& s = state();
    if (s.connectionName.isEmpty())
        return {};
    return QSqlDatabase::database(s.connectionName, false);
}

SqlEngine SharedConnection::engine() { return state().engine; }

bool SharedConnection::isOpen() { return database().isOpen(); }

int SharedConnection::generation() { return state().generation; }

DbError SharedConnection::lastOpenError() { return state().lastOpenError; }

bool SharedConnection::reopen(DbError* error)
{
    QSqlDatabase db = database();
    if (!db.isValid()) {
        if (error)
            *error = DbError::make(-1, QStringLiteral("数据库连接不存在"));
        return false;
    }
    db.close();
    if (!db.open()) {
        if (error)
            *error = DbError::fromSql(db.lastError());
        return false;
    }
    return true;
}

void SharedConnection::release()
{
    SharedState& s = state();
    if (s.connectionName.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(s.connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(s.connectionName);
    s.connectionName.clear();
}

bool OpenConnection(const QString& uid, const QString& pwd, const QString& dbName,
                    const QString& svr)
{
    state().connectionString = composeConnectionString(uid, pwd, dbName, svr);
    const ConnectionTarget target = resolveTarget(uid, pwd, dbName, svr);
    return openTarget(target, ConnectionSettings{svr, uid, pwd, dbName});
}

QString ConnectionString() { return state().connectionString; }

QDateTime zeroDate() { return QDateTime(QDate(1899, 12, 30), QTime(0, 0)); }

QString serverDateStatement() { return QStringLiteral("select getdate() as curDate"); }

QDateTime serverDate(DbError* error)
{
    Query q(serverDateStatement());
    if (!q.exec()) {
        if (error)
            *error = q.error();
        return zeroDate();
    }
    if (!q.next())
        return zeroDate();
    const QDateTime dt = q.dateTime(u"curDate");
    return dt.isValid() ? dt : zeroDate();
}

}  // namespace quarvel
