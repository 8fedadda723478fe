#pragma once

#include "db/Connection.h"
#include "db/DbError.h"

#include <QString>

namespace quarvel {

// Why a connection could not be opened, in the classes a user can act on.
enum class ConnectionFault {
    None,
    NotConfigured,      // no server and no database file in the settings
    ServerUnreachable,  // host unknown, nothing listening, instance not found, time-out
    LoginRefused,       // login name or password refused by the server
    DatabaseMissing,    // the server has no database of that name (or the login may not open it)
    DriverMissing,      // the ODBC driver (or Qt's SQL driver) is not installed
    FileMissing,        // the embedded database file does not exist
    NotThisSystem,      // the file is no SQLite database, or one without this system's tables
    Other
};

// The outcome of opening a connection: the fault class and the driver's own words.
struct ConnectionReport {
    ConnectionFault fault = ConnectionFault::None;
    QString driverText;

    bool ok() const { return fault == ConnectionFault::None; }
    // The Chinese sentence that says why ("" when it opened).
    QString reason() const;
    // "数据库连接失败!", the reason and the driver's text, one to a line.
    QString failureMessage() const;
};

// The class of an opening failure, from the driver's text (the fault table in ConnectionCheck.cpp).
ConnectionFault classifyOpeningFailure(const QString& driverText);

// Opens the shared connection from the settings (OpenConnection) and makes sure that an embedded
// database is one of this system; a file that is not is released again.
ConnectionReport openSharedConnection(const ConnectionSettings& settings);

// Opens a connection of its own with the settings, checks it the same way and closes it again;
// the shared connection is not touched. An embedded database file is opened read-only.
ConnectionReport testConnection(const ConnectionSettings& settings);

// Creates a new embedded database file from the schema script, without rows. An existing file
// is never replaced.
DbStatus createEmptyDatabase(const QString& path);

}  // namespace quarvel
