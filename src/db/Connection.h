#pragma once

#include "db/DbError.h"
#include "db/SqlDialect.h"

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace quarvel {

// The four connection settings of the suite's per-user settings store
// (application "CorvaneMIS2011", section "DBConfig").
//
// The store is a text file of "key=value" lines under "[DBConfig]" (on Linux
// ~/.config/CorvaneMIS2011/CorvaneMIS2011.conf; the machine-wide file under /etc/xdg is read for
// keys that the user's file lacks). A value is everything after the first "=" up to the end of
// its line, exactly as written: no quoting and no escapes, so "dbhost\SQLEXPRESS",
// "dbhost,1433", "odbc:DSN=x;UID=y" and passwords with "," ";" or quotes read as they stand.
// Section and key names compare without regard to case; lines starting with ";" or "#" are
// comments; the last line of a key wins.
struct ConnectionSettings {
    QString svr;
    QString uid;
    QString pwd;
    QString dbName;

    // Reads "Svr", "UID", "PWD", "DBname"; a missing key reads as "".
    static ConnectionSettings fromStore();
    // Writes the four keys into the user's file in the same plain form (the connection-settings
    // dialog, the tests): only the lines of the four keys change, every other byte of the file
    // stays as it was. A value with a line break cannot be written: the error says why.
    DbStatus toStore() const;

    // The user's settings file.
    static QString storePath();
    // The four values found in the "[DBConfig]" section of a file's lines, by key name.
    static QHash<QString, QString> readSection(const QStringList& lines);
};

// How "Svr" selects the database:
//   "sqlite:" + path      the embedded SQLite database file at path (it must exist);
//   "odbc:" + text        any ODBC connection text, passed to the driver manager verbatim;
//   anything else         a SQL Server host (host, host\instance or host,port) reached through
//                         unixODBC and the driver named by QUARVEL_ODBC_DRIVER (default FreeTDS).
struct ConnectionTarget {
    QString driver;        // Qt SQL driver: "QSQLITE" or "QODBC"
    QString databaseName;  // file path or ODBC connection text
    SqlEngine engine = SqlEngine::SqlServer;
};

ConnectionTarget resolveTarget(const QString& uid, const QString& pwd, const QString& dbName, const QString& svr);

// The connection text of the suite, composed without escaping (kept for reopening).
QString composeConnectionString(const QString& uid, const QString& pwd, const QString& dbName, const QString& svr);

// The one database connection of the process.
class SharedConnection {
public:
    static QSqlDatabase database();
    static SqlEngine engine();
    static bool isOpen();
    // Counts the connections created so far; every OpenConnection makes a new one.
    static int generation();
    // Closes the connection and opens it again with the kept settings.
    static DbStatus reopen();
    // Where the kept settings lead.
    static ConnectionTarget target();
    // Releases the connection (process end, tests).
    static void release();
};

// Creates a new shared connection (the previous one is released), keeps its connection
// text in ConnectionString() and opens it with a time-out of 30 seconds. The error says why
// it could not be opened.
DbStatus OpenConnection(const QString& uid, const QString& pwd, const QString& dbName, const QString& svr);

// Opens a connection of its own, named `connectionName`, to the database the shared connection
// reaches (the same settings; the collation and the full-text tokenizer registered on SQLite), for
// work on another thread: open it, use it and remove it on that thread. An embedded file that is
// missing is not created.
DbStatus openOwnConnection(const QString& connectionName);

// The last composed connection text.
QString ConnectionString();

// The zero date, returned where the server clock cannot be read.
QDateTime zeroDate();

// The statement that reads the server clock.
QString serverDateStatement();

// Reads the server clock. On failure the value is the zero date, beside the error; a clock
// that reads no valid time gives the zero date without an error.
DbResult<QDateTime> serverDate();

}  // namespace quarvel
