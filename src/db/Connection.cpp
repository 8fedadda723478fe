#include "db/Connection.h"

#include "db/ConnectionRecovery.h"
#include "db/Query.h"
#include "db/TextCollation.h"
#include "db/ZeroPageVfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
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
};

SharedState& state()
{
    static SharedState s;
    return s;
}

// Quotes an ODBC attribute value when it holds characters that end or open one.
QString odbcValue(const QString& value)
{
    if (!value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') && !value.contains(u'=')
        && value.trimmed() == value)
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

// A connection of `name` to the target, with the time-outs every connection of the client uses;
// not opened yet.
QSqlDatabase addConfiguredDatabase(const ConnectionTarget& target, const QString& name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, name);
    db.setDatabaseName(target.databaseName);
    if (target.driver == QLatin1String("QODBC")) {
        db.setConnectOptions(
            QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1").arg(kConnectionTimeoutSeconds));
    } else {
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kConnectionTimeoutSeconds * 1000));
        // A large document is stored as zeros first and filled in afterwards: the file access
        // keeps the zeros from reaching the disk (ZeroPageVfs.h).
        installZeroPageVfs();
    }
    return db;
}

// The embedded database keeps SQLite's rollback journal, the single file that works wherever
// the file lies, a network share included (the write-ahead log needs memory shared by every
// client on one host), and that stores large documents fastest; the README gives the figures.
// A file switched to the write-ahead log by another program goes back when this client is its
// only user; otherwise it is used as it is, without waiting for the others.
void keepRollbackJournal(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode")) || !q.next()
        || q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return;
    q.finish();
    q.exec(QStringLiteral("PRAGMA busy_timeout = 100"));
    q.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
    q.finish();
    q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kConnectionTimeoutSeconds * 1000));
}

DbStatus openTarget(const ConnectionTarget& target, const ConnectionSettings& settings)
{
    SharedState& s = state();
    SharedConnection::release();
    s.generation += 1;
    s.connectionName = QStringLiteral("quarvel-shared-%1").arg(s.generation);
    s.engine = target.engine;
    s.settings = settings;

    if (target.driver.isEmpty())
        return {DbError::make(-1, QStringLiteral("未配置数据库服务器"))};
    if (target.driver == QLatin1String("QSQLITE") && !QFileInfo(target.databaseName).isFile()) {
        // Opening a missing file would create an empty database; the client never creates one.
        QSqlDatabase::addDatabase(target.driver, s.connectionName);
        return {DbError::make(-1, QStringLiteral("数据库文件不存在: ") + target.databaseName)};
    }
    QSqlDatabase db = addConfiguredDatabase(target, s.connectionName);
    if (!db.open())
        return {DbError::fromSql(db.lastError())};
    if (target.engine == SqlEngine::Sqlite) {
        // Texts compare as on the suite's SQL Server (trailing blanks and case ignored): the
        // schema declares the collation, a QSQLITE connection brings it along. Through ODBC the
        // driver loads it as an extension module ("LoadExt=" in the connection text).
        const DbStatus collation = registerTextCollation(db);
        if (!collation.ok()) {
            db.close();
            return collation;
        }
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
        // The schema's large pages suit stored documents; 4 MiB of cache (64 pages) keeps the
        // pages that small lists and look-ups touch again and again. A larger cache makes long
        // lists slower, not faster: their pages come from the operating system's cache either way,
        // and copied into buffers the processor no longer holds they cost more (1.4 times the
        // engine's own time for the upload window's queries with 16 MiB, 1.05 with 4 MiB).
        pragma.exec(QStringLiteral("PRAGMA cache_size = -4096"));
        if (target.driver == QLatin1String("QSQLITE"))
            keepRollbackJournal(db);
    }
    ConnectionRecovery::opened();
    return {};
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
    return fromEngine(number, text);
}

namespace {

// The faults a user can meet, by the engine's own words, and what the user is told first. The
// texts arrive the same through QSQLITE and through the SQLite ODBC driver, whose native error
// numbers differ; the first that matches names the fault.
struct EngineFault {
    QRegularExpression engineWords;
    QString userWords;
};

const QVector<EngineFault>& engineFaults()
{
    const auto words = [](const char* pattern) {
        return QRegularExpression(QString::fromUtf8(pattern), QRegularExpression::CaseInsensitiveOption);
    };
    static const QVector<EngineFault> faults = {
        // SQLITE_BUSY and SQLITE_LOCKED in all their extended forms.
        {words(R"(\bdatabase (table |schema )?is locked\b)"), databaseBusyText()},
        {words(R"(\bdatabase disk image is malformed\b|\bfile is not a database\b|\bmalformed database schema\b)"),
         databaseDamagedText()},
        {words(R"(\bdatabase or disk is full\b)"),
         QStringLiteral("磁盘空间不足，数据库无法写入；没有作任何修改，请腾出磁盘空间后再试。")},
        {words(R"(\battempt to write a readonly database\b)"),
         QStringLiteral("数据库文件或它所在的文件夹是只读的，不能写入；没有作任何修改，数据库仍可查阅。")},
        {words(R"(\bunable to open database file\b)"),
         QStringLiteral("无法打开数据库文件或在它所在的文件夹中建立日志文件（文件或文件夹不存在、是只读的或无权访问）；"
                        "没有作任何修改。")},
        {words(R"(\bdisk I/O error\b)"),
         QStringLiteral("读写数据库文件时出错（磁盘故障、磁盘已满、文件大小超过限制或文件被移走）；没有作任何修改。")},
    };
    return faults;
}

}  // namespace

DbError DbError::fromEngine(int number, const QString& engineText)
{
    for (const EngineFault& fault : engineFaults()) {
        if (engineText.startsWith(fault.userWords))
            return {number, engineText};  // worded already
    }
    for (const EngineFault& fault : engineFaults()) {
        if (fault.engineWords.match(engineText).hasMatch())
            return {number, fault.userWords + QStringLiteral("（") + engineText + QStringLiteral("）")};
    }
    return {number, engineText};
}

namespace {

const QString kSettingsApplication = QStringLiteral("CorvaneMIS2011");
const QString kSettingsSection = QStringLiteral("DBConfig");
const QStringList kSettingsKeys = {QStringLiteral("Svr"), QStringLiteral("UID"), QStringLiteral("PWD"),
                                   QStringLiteral("DBname")};

// The files of the settings store in the order in which a key is looked for: the user's own,
// then the machine-wide one (each for the application, then for the organisation).
QStringList settingsFiles()
{
    const QString app = kSettingsApplication;
    return {QSettings(QSettings::NativeFormat, QSettings::UserScope, app, app).fileName(),
            QSettings(QSettings::NativeFormat, QSettings::UserScope, app).fileName(),
            QSettings(QSettings::NativeFormat, QSettings::SystemScope, app, app).fileName(),
            QSettings(QSettings::NativeFormat, QSettings::SystemScope, app).fileName()};
}

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}

// "[name]" on a line of its own: the name; otherwise a null string.
QString sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(u'[') || !t.endsWith(u']'))
        return {};
    return t.mid(1, t.size() - 2).trimmed();
}

bool isComment(const QString& line)
{
    const QString t = line.trimmed();
    return t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#');
}

}  // namespace

QString ConnectionSettings::storePath() { return settingsFiles().constFirst(); }

QHash<QString, QString> ConnectionSettings::readSection(const QStringList& lines)
{
    QHash<QString, QString> values;
    bool inSection = false;
    for (const QString& line : lines) {
        const QString section = sectionName(line);
        if (!section.isNull()) {
            inSection = section.compare(kSettingsSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection || isComment(line))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        for (const QString& known : kSettingsKeys) {
            if (key.compare(known, Qt::CaseInsensitive) == 0)
                values.insert(known, line.mid(equals + 1));  // the last line of a key wins
        }
    }
    return values;
}

ConnectionSettings ConnectionSettings::fromStore()
{
    QHash<QString, QString> values;
    const QStringList files = settingsFiles();
    for (const QString& path : files) {
        const QHash<QString, QString> found = readSection(readLines(path));
        for (auto it = found.cbegin(); it != found.cend(); ++it) {
            if (!values.contains(it.key()))
                values.insert(it.key(), it.value());
        }
    }
    ConnectionSettings s;
    s.svr = values.value(QStringLiteral("Svr"));
    s.uid = values.value(QStringLiteral("UID"));
    s.pwd = values.value(QStringLiteral("PWD"));
    s.dbName = values.value(QStringLiteral("DBname"));
    return s;
}

DbStatus ConnectionSettings::toStore() const
{
    const auto fail = [](const QString& why) { return DbStatus{DbError::make(-1, why)}; };
    const QStringList written = {svr, uid, pwd, dbName};
    for (const QString& value : written) {
        if (value.contains(u'\n') || value.contains(u'\r'))
            return fail(QStringLiteral("设置值不能包含换行"));
    }

    // The file is amended, not rewritten: a key's last line in the section (the one that is
    // read) gets the new value after its "=", the key written as it was; keys the section lacks
    // go after its last setting; every other line keeps its bytes, line ends included.
    const QString path = storePath();
    QByteArray old;
    {
        QFile file(path);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly))
                return fail(file.errorString());
            old = file.readAll();
        }
    }
    QList<QByteArray> lines;  // each with its line end, if it has one
    for (qsizetype from = 0; from < old.size();) {
        const qsizetype end = old.indexOf('\n', from);
        const qsizetype next = end < 0 ? old.size() : end + 1;
        lines << old.mid(from, next - from);
        from = next;
    }
    const QByteArray eol = !lines.isEmpty() && lines.constFirst().endsWith("\r\n") ? "\r\n" : "\n";

    QVector<int> keyLine(kSettingsKeys.size(), -1);
    int anchor = -1;  // the line after which missing keys go
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        QString text = QString::fromUtf8(lines.at(i));
        while (text.endsWith(u'\n') || text.endsWith(u'\r'))
            text.chop(1);
        if (i == 0 && text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        const QString section = sectionName(text);
        if (!section.isNull()) {
            inSection = section.compare(kSettingsSection, Qt::CaseInsensitive) == 0;
            if (inSection)
                anchor = i;
            continue;
        }
        if (!inSection || isComment(text))
            continue;
        anchor = i;
        const qsizetype equals = text.indexOf(u'=');
        const QString key = equals < 0 ? QString() : text.left(equals).trimmed();
        for (int k = 0; k < kSettingsKeys.size(); ++k) {
            if (key.compare(kSettingsKeys.at(k), Qt::CaseInsensitive) == 0)
                keyLine[k] = i;
        }
    }

    QByteArray added;
    for (int k = 0; k < kSettingsKeys.size(); ++k) {
        const QByteArray value = written.at(k).toUtf8();
        if (keyLine.at(k) >= 0) {
            QByteArray& line = lines[keyLine.at(k)];
            const QByteArray end = line.endsWith("\r\n") ? QByteArray("\r\n")
                                   : line.endsWith('\n') ? QByteArray("\n")
                                                         : QByteArray();
            line = line.left(line.indexOf('=') + 1) + value + end;
        } else {
            added += kSettingsKeys.at(k).toUtf8() + '=' + value + eol;
        }
    }
    if (!added.isEmpty()) {
        if (anchor < 0) {
            if (!lines.isEmpty()) {
                if (!lines.constLast().endsWith('\n'))
                    lines.last() += eol;
                lines << eol;
            }
            lines << '[' + kSettingsSection.toUtf8() + ']' + eol;
            anchor = int(lines.size()) - 1;
        }
        if (!lines.at(anchor).endsWith('\n'))
            lines[anchor] += eol;
        lines.insert(anchor + 1, added);
    }

    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("无法创建文件夹 ") + QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray content = lines.join();
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return fail(file.errorString());
    return {};
}

ConnectionTarget resolveTarget(const QString& uid, const QString& pwd, const QString& dbName, const QString& svr)
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
        t.engine = sqliteDriver.match(t.databaseName).hasMatch() ? SqlEngine::Sqlite : SqlEngine::SqlServer;
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

QString composeConnectionString(const QString& uid, const QString& pwd, const QString& dbName, const QString& svr)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Password=") + pwd
           + QStringLiteral(";Persist Security Info=False;User ID=") + uid + QStringLiteral(";Initial Catalog='")
           + dbName + QStringLiteral("';Data Source='") + svr + QStringLiteral("'");
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

DbStatus SharedConnection::reopen()
{
    QSqlDatabase db = database();
    if (!db.isValid())
        return {DbError::make(-1, QStringLiteral("数据库连接不存在"))};
    db.close();
    if (!db.open())
        return {DbError::fromSql(db.lastError())};
    // A new SQLite handle: the collation goes with it.
    const DbStatus collation = registerTextCollation(db);
    if (!collation.ok()) {
        db.close();
        return collation;
    }
    ConnectionRecovery::opened();
    return {};
}

ConnectionTarget SharedConnection::target()
{
    const ConnectionSettings& s = state().settings;
    return resolveTarget(s.uid, s.pwd, s.dbName, s.svr);
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

DbStatus OpenConnection(const QString& uid, const QString& pwd, const QString& dbName, const QString& svr)
{
    state().connectionString = composeConnectionString(uid, pwd, dbName, svr);
    const ConnectionTarget target = resolveTarget(uid, pwd, dbName, svr);
    return openTarget(target, ConnectionSettings{svr, uid, pwd, dbName});
}

DbStatus openOwnConnection(const QString& connectionName)
{
    const ConnectionTarget target = SharedConnection::target();
    if (target.driver.isEmpty())
        return {DbError::make(-1, QStringLiteral("未配置数据库服务器"))};
    if (target.driver == QLatin1String("QSQLITE") && !QFileInfo(target.databaseName).isFile())
        return {DbError::make(-1, QStringLiteral("数据库文件不存在: ") + target.databaseName)};
    QSqlDatabase db = addConfiguredDatabase(target, connectionName);
    if (!db.open())
        return {DbError::fromSql(db.lastError())};
    const DbStatus collation = registerTextCollation(db);
    if (!collation.ok())
        db.close();
    return collation;
}

QString ConnectionString() { return state().connectionString; }

QDateTime zeroDate() { return QDateTime(QDate(1899, 12, 30), QTime(0, 0)); }

QString serverDateStatement() { return QStringLiteral("select getdate() as curDate"); }

DbResult<QDateTime> serverDate()
{
    Query q(serverDateStatement());
    if (!q.exec())
        return {zeroDate(), q.error()};
    if (!q.next())
        return {zeroDate(), {}};
    const QDateTime dt = q.dateTime(u"curDate");
    return {dt.isValid() ? dt : zeroDate(), {}};
}

}  // namespace quarvel
