#pragma once

// A shared connection that was lost under the client: the database server restarted, the
// network cut, the database file taken away. The statement that meets the loss fails with an
// error that says so, and the handler reports it once, as any failure; the next action reopens
// the connection from the kept settings before its first statement instead of failing on the
// dead one for the rest of the session.
//
// Query and Transaction call the three hooks below; nothing else needs to know.

#include "db/DbError.h"

#include <QSqlDatabase>

namespace quarvel {

class ConnectionRecovery {
public:
    // True once a failure showed the shared connection to be gone, until it is reopened.
    static bool lost() { return s_lost; }

    // Before a statement on `db`: when the shared connection was lost, reopens it from the kept
    // settings. A failure, with the reason, when it stays closed: the database is still
    // out of reach, a transaction begun on the lost connection is still open (its remaining
    // statements must not run on a new connection outside it), or the action that met the
    // loss is still running (the user hears of it once, and waits for one time-out at most).
    static DbStatus recover(const QSqlDatabase& db);

    // After a statement on `db` failed with `error`: when the connection itself turns out to be
    // gone, marks it lost and returns the error reworded; otherwise the error as it was.
    static DbError examine(const QSqlDatabase& db, const DbError& error);

    // The shared connection was opened (or reopened): forget any loss, note what it reached.
    static void opened();
    // A transaction began or ended on the shared connection.
    static void transactionBegun(const QSqlDatabase& db);
    static void transactionEnded(const QSqlDatabase& db);

    // True once a statement found the shared connection's database file damaged: no statement
    // that writes runs on that file again in this session (a reopened connection to another
    // file forgets it).
    static bool damaged();
    // The refusal of a write on a damaged database, for the statement or transaction about to
    // begin on `db`; none when the write may go on.
    static DbError refuseWrite(const QSqlDatabase& db);
    // Whether the statement (in its T-SQL form) changes the database.
    static bool writes(const QString& tsql);

    // How often the shared connection was reopened after a loss (for the tests).
    static int reconnections();

    // The words that start the description of a lost connection and of a failed reopening.
    static QString lostText();
    static QString reconnectFailedText();

private:
    static bool s_lost;
};

}  // namespace quarvel
