#pragma once

#include "db/Connection.h"
#include "db/ConnectionCheck.h"

#include <QString>

namespace quarvel {

// The connection settings as the connection-settings dialog shows them: the suite's SQL Server
// (server as "host", "host\instance" or "host,port", login, password, database name) or an
// embedded database file. An "odbc:" setting shows as a server: the server box holds it whole.
struct ConnectionForm {
    enum class Kind { Server, File };
    Kind kind = Kind::Server;
    QString server;
    QString login;
    QString password;
    QString database;
    QString file;

    static ConnectionForm fromSettings(const ConnectionSettings& settings);
    // The four settings: a file is "sqlite:" + path with the other three empty.
    ConnectionSettings toSettings() const;
    // What must be filled in before the settings can be tested or saved ("" when nothing).
    QString missing() const;
};

// What the connection-settings dialog does with its values.
class ConnectionSetup {
public:
    // The settings as the store holds them now.
    static ConnectionForm current();
    // True when the store holds no connection setting at all (a fresh installation).
    static bool nothingConfigured();
    // Opens a connection with the values and closes it again.
    static ConnectionReport test(const ConnectionForm& form);
    // The answer to a test in the words of the login: "连接成功。" or the failure's.
    static QString testResultText(const ConnectionReport& report);
    // Writes the four settings into the user's settings file, the rest of it unchanged.
    static DbStatus save(const ConnectionForm& form);
    // Creates an empty embedded database (the schema, no rows) for a single machine.
    static DbStatus createDatabase(const QString& path);
    // Where a new embedded database goes by default: the user's data folder.
    static QString suggestedDatabasePath();
};

}  // namespace quarvel
