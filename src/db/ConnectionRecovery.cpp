#include "db/ConnectionRecovery.h"

#include "db/Connection.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#include <sys/stat.h>

namespace quarvel {

bool ConnectionRecovery::s_lost = false;

namespace {

struct FileIdentity {
    bool known = false;
    dev_t device = 0;
    ino_t inode = 0;
};

struct RecoveryState {
    DbError lostError;     // what the statement that met the loss reported
    bool quiet = false;    // the action that met the loss (or failed to reopen) is still running
    int transactions = 0;  // transactions open on the shared connection
    int reconnections = 0;
    QString file;           // the embedded database file, "" for a server
    FileIdentity identity;  // the file as it was when the connection was opened
    bool damaged = false;   // a statement found the database damaged
    QString damagedFile;    // which file (or "" for a server)
    FileIdentity damagedIdentity;
};

RecoveryState& recovery()
{
    static RecoveryState s;
    return s;
}

bool isShared(const QSqlDatabase& db)
{
    if (!db.isValid())
        return false;
    const QSqlDatabase shared = SharedConnection::database();
    return shared.isValid() && shared.connectionName() == db.connectionName();
}

// The database file that the kept settings reach on the embedded engine, "" for a server.
QString databaseFile()
{
    const ConnectionTarget target = SharedConnection::target();
    if (target.engine != SqlEngine::Sqlite)
        return {};
    if (target.driver == QLatin1String("QSQLITE"))
        return target.databaseName;
    static const QRegularExpression database(QStringLiteral(R"((?:^|;)\s*database\s*=\s*([^;]*))"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = database.match(target.databaseName);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

FileIdentity identityOf(const QString& path)
{
    FileIdentity id;
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return id;
    id.known = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    return id;
}

// The user is told of a loss once: until control returns to the event loop (the handler that
// met it has ended), later statements fail at once with the same error instead of trying to
// reopen, which could keep a handler waiting for one time-out per statement.
void quietForThisAction()
{
    RecoveryState& r = recovery();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    r.quiet = true;
    QTimer::singleShot(0, app, [] { recovery().quiet = false; });
}

// True when the connection behind `db` no longer works: its database file is gone or is
// another file now, or it cannot run the smallest statement (which touches no table, so a busy
// database does not count).
bool connectionIsGone(const QSqlDatabase& db)
{
    const RecoveryState& r = recovery();
    if (!r.file.isEmpty()) {
        const FileIdentity now = identityOf(r.file);
        if (!now.known || (r.identity.known && (now.device != r.identity.device || now.inode != r.identity.inode)))
            return true;
    }
    if (!db.isOpen())
        return true;
    QSqlQuery probe(db);
    return !probe.exec(QStringLiteral("select 1"));
}

}  // namespace

QString ConnectionRecovery::lostText() { return QStringLiteral("与数据库的连接已断开，请再试一次。"); }

QString ConnectionRecovery::reconnectFailedText() { return QStringLiteral("无法重新连接数据库："); }

DbError ConnectionRecovery::examine(const QSqlDatabase& db, const DbError& error)
{
    if (!error.isSet() || error.description.startsWith(databaseBusyText()) || !isShared(db))
        return error;
    if (error.description.startsWith(databaseDamagedText())) {
        RecoveryState& r = recovery();
        r.damaged = true;
        r.damagedFile = r.file;
        r.damagedIdentity = r.identity;
        return error;
    }
    if (s_lost)
        return error.description.startsWith(lostText()) || error.description.startsWith(reconnectFailedText())
                   ? error
                   : recovery().lostError;
    if (!connectionIsGone(db))
        return error;
    s_lost = true;
    DbError reworded{error.number, lostText() + QStringLiteral("（") + error.description + QStringLiteral("）")};
    recovery().lostError = reworded;
    quietForThisAction();
    return reworded;
}

DbStatus ConnectionRecovery::recover(const QSqlDatabase& db)
{
    if (!s_lost || !isShared(db))
        return {};
    RecoveryState& r = recovery();
    if (r.quiet || r.transactions > 0)
        return {r.lostError};
    // An embedded database file that is not there is not created anew: it was taken away.
    const QString file = databaseFile();
    if (!file.isEmpty() && !QFileInfo(file).isFile()) {
        r.lostError = DbError::make(-1, reconnectFailedText() + QStringLiteral("数据库文件不存在: ") + file);
        quietForThisAction();
        return {r.lostError};
    }
    const DbStatus reopened = SharedConnection::reopen();
    if (!reopened.ok()) {
        r.lostError = DbError{reopened.error.number, reconnectFailedText() + reopened.error.description};
        quietForThisAction();
        return {r.lostError};
    }
    ++r.reconnections;
    return {};
}

void ConnectionRecovery::opened()
{
    RecoveryState& r = recovery();
    s_lost = false;
    r.lostError = {};
    r.quiet = false;
    r.transactions = 0;
    r.file = databaseFile();
    r.identity = identityOf(r.file);
    // The same damaged file stays damaged; another file (or a server) starts afresh.
    const bool sameFile = r.file == r.damagedFile && r.identity.known == r.damagedIdentity.known
                          && r.identity.device == r.damagedIdentity.device
                          && r.identity.inode == r.damagedIdentity.inode;
    if (!sameFile)
        r.damaged = false;
}

bool ConnectionRecovery::damaged() { return recovery().damaged; }

DbError ConnectionRecovery::refuseWrite(const QSqlDatabase& db)
{
    if (!recovery().damaged || !isShared(db))
        return {};
    return DbError::make(11, databaseDamagedText());
}

bool ConnectionRecovery::writes(const QString& tsql)
{
    static const QRegularExpression writing(
        QStringLiteral(R"(^\s*(insert|update|delete|merge|create|drop|alter|replace|truncate|begin)\b)"),
        QRegularExpression::CaseInsensitiveOption);
    return writing.match(tsql).hasMatch();
}

void ConnectionRecovery::transactionBegun(const QSqlDatabase& db)
{
    if (isShared(db))
        ++recovery().transactions;
}

void ConnectionRecovery::transactionEnded(const QSqlDatabase& db)
{
    RecoveryState& r = recovery();
    if (r.transactions > 0 && isShared(db))
        --r.transactions;
}

int ConnectionRecovery::reconnections() { return recovery().reconnections; }

}  // namespace quarvel
