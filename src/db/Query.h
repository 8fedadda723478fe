#pragma once

#include "db/DbError.h"
#include "db/SqlDialect.h"
#include "db/StatementCache.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <initializer_list>
#include <type_traits>

namespace quarvel {

// One statement in its T-SQL form with "?" placeholders, run on the shared connection
// (or a given one), read forward-only. Values are always bound; columns are read by name.
// Reading statements run again reuse their prepared form (see StatementCache).
class Query {
public:
    explicit Query(const QString& tsql);
    Query(const QString& tsql, const QSqlDatabase& db, SqlEngine engine);

    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Binds the next "?" placeholder, in order.
    Query& bind(const QVariant& value);
    Query& bind(std::initializer_list<QVariant> values);

    bool exec();
    bool next();

    // Forgets the bound values: bound anew, the statement runs again as prepared, not prepared
    // a second time (a batch of inserts of the same shape).
    Query& clearBindings();

    const DbError& error() const { return m_error; }

    // Columns are read by name here (RowReader reads by position): a number where a name
    // belongs would read the column of the empty name, so it does not compile.
    template <typename Number>
    requires std::is_arithmetic_v<Number> QVariant value(Number)
    const = delete;
    template <typename Number>
    requires std::is_arithmetic_v<Number> QString text(Number)
    const = delete;
    template <typename Number>
    requires std::is_arithmetic_v<Number> qlonglong longInteger(Number)
    const = delete;
    template <typename Number>
    requires std::is_arithmetic_v<Number>
    int integer(Number) const = delete;

    bool hasColumn(QStringView column) const;
    QVariant value(QStringView column) const;
    // Null reads as "".
    QString text(QStringView column) const;
    // A value read from a result as text: date-times in the canonical form, flags as 0 or 1.
    static QString textOf(const QVariant& value);
    bool isNull(QStringView column) const;
    int integer(QStringView column) const;
    qlonglong longInteger(QStringView column) const;
    // A 0/1 flag; null reads as false.
    bool flag(QStringView column) const;
    QDateTime dateTime(QStringView column) const;
    QByteArray bytes(QStringView column) const;

    // What every statement passes before it runs: a lost shared connection reopened, the
    // connection open, no planned failure (see FaultInjection). The error that stops it, if any.
    static DbError beforeStatement(QSqlDatabase& db);

    int numRowsAffected() const { return query().numRowsAffected(); }
    QVariant lastInsertId() const { return query().lastInsertId(); }
    QSqlQuery& raw() { return query(); }
    SqlEngine engine() const { return m_engine; }
    const QString& statement() const { return m_sql; }

private:
    // The statement prepared for this run: a kept one, or one of its own.
    bool prepare(bool keepPrepared);
    QSqlQuery& query() const { return m_lease.isValid() ? m_lease.query() : m_own; }
    int indexOf(QStringView column) const;
    void buildColumnIndex() const;

    QSqlDatabase m_db;
    SqlEngine m_engine;
    QString m_sql;
    mutable QSqlQuery m_own;
    bool m_ownPrepared = false;
    bool m_keepPrepared = false;
    // Released before the connection above.
    StatementCache::Lease m_lease;
    QVariantList m_values;
    DbError m_error;
    // Columns by their folded names, built once per statement.
    mutable QHash<QString, int> m_columns;
    // Names as asked for, each with its column, tried first by exact comparison starting after
    // the last one found: readers ask for the columns in the same order on every row.
    struct AskedName {
        QString name;
        int column;
    };
    mutable QList<AskedName> m_asked;
    mutable qsizetype m_lastAsked = -1;
    mutable bool m_columnsBuilt = false;
};

// "?, ?, ?": `count` placeholders for a short "in (...)" of bound values, read in batches far
// below SQL Server's 2,100 parameters (a list of any length goes into a ValueList).
QString parameterMarks(qsizetype count);

// Runs a statement that returns no rows.
DbStatus execute(const QString& tsql, std::initializer_list<QVariant> values = {});

// A write transaction, rolled back unless committed. Every transaction that writes begins
// here. On SQLite (QSQLITE, or the SQLite ODBC driver) it begins "BEGIN IMMEDIATE": the write
// lock is taken at once, so a second writer waits for it under the busy time-out instead of
// failing with "database is locked" when its first write finds the file taken after it read.
class Transaction {
public:
    // On the shared connection.
    Transaction();
    // On a connection of one's own (the demo tool).
    Transaction(const QSqlDatabase& db, SqlEngine engine);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    const DbError& error() const { return m_error; }
    bool begun() const { return m_begun; }
    bool commit();

    // The statement that begins a write transaction on SQLite.
    static QString sqliteBeginStatement() { return QStringLiteral("BEGIN IMMEDIATE"); }

private:
    bool run(const QString& statement);
    void rollback();

    QSqlDatabase m_db;
    SqlEngine m_engine;
    bool m_begun = false;
    bool m_done = false;
    DbError m_error;
};

}  // namespace quarvel
