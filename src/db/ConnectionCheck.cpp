#include "db/ConnectionCheck.h"

#include "db/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace quarvel {
namespace {

constexpr int kTimeoutSeconds = 30;

// Opening failures by the drivers' own words, first match wins. FreeTDS reports a refused login
// and a missing database together with "Unable to connect", so those two come before it; SQL
// Server's "Cannot open database" says "The login failed" as well, so it comes first.
struct OpeningFault {
    QRegularExpression driverWords;
    ConnectionFault fault;
};

const QVector<OpeningFault>& openingFaults()
{
    const auto words = [](const char* pattern) {
        return QRegularExpression(QString::fromUtf8(pattern), QRegularExpression::CaseInsensitiveOption);
    };
    static const QVector<OpeningFault> faults = {
        {words(R"(can't open lib|data source name not found|\bIM00[23]\b|driver not loaded|)"
               R"(specified driver could not be loaded)"),
         ConnectionFault::DriverMissing},
        {words(R"(cannot open database|\b4060\b|database .* does not exist)"), ConnectionFault::DatabaseMissing},
        {words(R"(login failed|\b18456\b|\b28000\b|password authentication failed)"), ConnectionFault::LoginRefused},
        {words(R"(file is not a database|database disk image is malformed)"), ConnectionFault::NotThisSystem},
        {words(R"(unable to open database file|数据库文件不存在)"), ConnectionFault::FileMissing},
        {words(R"(unable to connect|server is unavailable|does not exist|\b08001\b|\b08S01\b|\bHYT00\b|)"
               R"(connection refused|timed? ?out|unknown host|name or service not known|no route to host|)"
               R"(network is unreachable)"),
         ConnectionFault::ServerUnreachable},
    };
    return faults;
}

QString tablesMissingText() { return QStringLiteral("数据库中没有本系统的数据表（员工档案、公司文件信息）"); }

// An embedded database must hold this system's tables; a file that is no database fails here,
// at its first read (SQLite opens any file).
ConnectionReport checkEmbeddedSchema(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select count(*) from sqlite_master where type = 'table' "
                               "and name in ('员工档案', '公司文件信息')"))
        || !q.next()) {
        const QString text = q.lastError().text().trimmed();
        const ConnectionFault fault = classifyOpeningFailure(text);
        return {fault == ConnectionFault::None ? ConnectionFault::Other : fault, text};
    }
    if (q.value(0).toInt() < 2)
        return {ConnectionFault::NotThisSystem, tablesMissingText()};
    return {};
}

// What the settings alone tell: nothing configured, or an embedded file that is not there.
ConnectionReport checkTarget(const ConnectionTarget& target)
{
    if (target.driver.isEmpty())
        return {ConnectionFault::NotConfigured, QString()};
    if (!QSqlDatabase::isDriverAvailable(target.driver))
        return {ConnectionFault::DriverMissing, QStringLiteral("Qt SQL driver %1 not loaded").arg(target.driver)};
    if (target.driver == QLatin1String("QSQLITE") && !QFileInfo(target.databaseName).isFile())
        return {ConnectionFault::FileMissing, QStringLiteral("数据库文件不存在: ") + target.databaseName};
    return {};
}

ConnectionReport failed(const QString& driverText)
{
    const ConnectionFault fault = classifyOpeningFailure(driverText);
    return {fault == ConnectionFault::None ? ConnectionFault::Other : fault, driverText};
}

ConnectionTarget targetOf(const ConnectionSettings& s) { return resolveTarget(s.uid, s.pwd, s.dbName, s.svr); }

}  // namespace

ConnectionFault classifyOpeningFailure(const QString& driverText)
{
    for (const OpeningFault& f : openingFaults()) {
        if (f.driverWords.match(driverText).hasMatch())
            return f.fault;
    }
    return driverText.trimmed().isEmpty() ? ConnectionFault::None : ConnectionFault::Other;
}

QString ConnectionReport::reason() const
{
    switch (fault) {
    case ConnectionFault::None: return {};
    case ConnectionFault::NotConfigured:
        return QStringLiteral("尚未设置数据库连接：没有填写数据库服务器或数据库文件。");
    case ConnectionFault::ServerUnreachable:
        return QStringLiteral("找不到数据库服务器或无法与它连接：请检查服务器名称、实例名或端口，服务器是否已启动，"
                              "网络是否畅通。");
    case ConnectionFault::LoginRefused: return QStringLiteral("数据库服务器拒绝登录：登录名或密码不正确。");
    case ConnectionFault::DatabaseMissing:
        return QStringLiteral("数据库服务器上没有这个数据库，或该登录名无权打开它：请检查数据库名称。");
    case ConnectionFault::DriverMissing:
        return QStringLiteral("所需的 ODBC 驱动程序没有安装或找不到（连接 SQL Server 需要 FreeTDS，软件包 tdsodbc）。");
    case ConnectionFault::FileMissing: return QStringLiteral("数据库文件不存在：请检查文件的位置。");
    case ConnectionFault::NotThisSystem:
        return QStringLiteral("这个文件不是本系统的数据库（不是数据库文件，或缺少本系统的数据表）。");
    case ConnectionFault::Other: return QStringLiteral("无法打开数据库连接。");
    }
    return {};
}

QString ConnectionReport::failureMessage() const
{
    QString text = QStringLiteral("数据库连接失败!");
    if (ok())
        return text;
    text += u'\n' + reason();
    if (!driverText.isEmpty())
        text += u'\n' + driverText;
    return text;
}

ConnectionReport openSharedConnection(const ConnectionSettings& settings)
{
    // Opened in any case: every attempt makes a new shared connection and keeps its text.
    const DbStatus opened = OpenConnection(settings.uid, settings.pwd, settings.dbName, settings.svr);
    const ConnectionTarget target = targetOf(settings);
    if (!opened.ok()) {
        ConnectionReport known = checkTarget(target);
        if (!known.ok())
            return known;
        return failed(opened.error.description);
    }
    if (target.engine == SqlEngine::Sqlite) {
        const ConnectionReport schema = checkEmbeddedSchema(SharedConnection::database());
        if (!schema.ok()) {
            SharedConnection::release();
            return schema;
        }
    }
    return {};
}

ConnectionReport testConnection(const ConnectionSettings& settings)
{
    const ConnectionTarget target = targetOf(settings);
    const ConnectionReport known = checkTarget(target);
    if (!known.ok())
        return known;
    const QString name = QStringLiteral("quarvel-connection-test");
    ConnectionReport report;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, name);
        db.setDatabaseName(target.databaseName);
        if (target.driver == QLatin1String("QODBC"))
            db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(kTimeoutSeconds));
        else
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            const QSqlError e = db.lastError();
            report = failed(e.text().trimmed());
        } else if (target.engine == SqlEngine::Sqlite) {
            report = checkEmbeddedSchema(db);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return report;
}

DbStatus createEmptyDatabase(const QString& path)
{
    if (QFileInfo::exists(path))
        return {DbError::make(-1, QStringLiteral("文件已存在，不会覆盖它: ") + path)};
    const QString name = QStringLiteral("quarvel-new-database");
    DbStatus status;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            status = {DbError::fromSql(db.lastError())};
        else
            status = schema::create(db, SqlEngine::Sqlite);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!status.ok())
        QFile::remove(path);
    return status;
}

}  // namespace quarvel
