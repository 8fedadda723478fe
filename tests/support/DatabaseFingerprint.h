#pragma once

// The whole content of a SQLite test database, for checks that an action changed nothing or
// exactly what it should: every table's rows (every column, in rowid order) reduced to a count
// and a hash, plus the schema. And a copy of the database that can be put back in place, so that
// one action can be tried many times from the same start.

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QString>

#include <memory>

namespace quarvel::test {

class DatabaseFingerprint {
public:
    struct Table {
        qint64 rows = 0;
        QByteArray hash;
        bool operator==(const Table&) const = default;
    };

    // Read through `db` (a connection of the test's own). `ignored` names columns left out of
    // the hash as "table.column", e.g. time stamps that the server clock fills.
    static DatabaseFingerprint of(const QSqlDatabase& db, const QSet<QString>& ignored = {});

    bool isValid() const { return m_error.isEmpty(); }
    // Why the database could not be read.
    const QString& error() const { return m_error; }

    const QMap<QString, Table>& tables() const { return m_tables; }
    qint64 totalRows() const;
    bool operator==(const DatabaseFingerprint& other) const
    {
        return m_error == other.m_error && m_tables == other.m_tables && m_schema == other.m_schema;
    }
    bool operator!=(const DatabaseFingerprint& other) const { return !(*this == other); }

    // The tables whose rows differ, each with its row counts ("表: 3 → 4 行"), for messages.
    QString differenceFrom(const DatabaseFingerprint& before) const;

private:
    QMap<QString, Table> m_tables;
    QByteArray m_schema;
    QString m_error;
};

// A copy of the database taken with SQLite's online backup, written back the same way: every
// connection, the client's shared one included, then reads the copied state.
class DatabaseSnapshot {
public:
    // Copies the database of `db` (a QSQLITE connection) into memory.
    explicit DatabaseSnapshot(const QSqlDatabase& db);
    ~DatabaseSnapshot();
    DatabaseSnapshot(const DatabaseSnapshot&) = delete;
    DatabaseSnapshot& operator=(const DatabaseSnapshot&) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    // Writes the copy back over the database of `db`; false (see error()) when that failed.
    bool restore(const QSqlDatabase& db);

private:
    struct Memory;
    std::unique_ptr<Memory> m_copy;
    QString m_error;
};

}  // namespace quarvel::test
