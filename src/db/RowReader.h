#pragma once

#include "db/DbError.h"
#include "db/Query.h"
#include "db/SqlDialect.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <initializer_list>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace quarvel {

// A reading statement whose rows are read by column position, for the long lists (trees of
// tens of thousands of nodes, lists of tens of thousands of documents) where the cost of the
// reading itself shows. On a QSQLITE connection the statement runs on the engine's own handle
// of that connection: each text is decoded once from the engine's UTF-8, with no variant and no
// copy in between. On every other connection it runs through Query. Either way the statement is
// in its T-SQL form with bound values, counts as a statement for the fault seam and reports a
// lost connection as Query does; values read the same as Query's.
class RowReader {
public:
    // How many rows a list read from a count or a hint reserves at once: the count, up to a
    // bound (beyond it the list grows as it is read). A long list sized once is not copied into
    // fresh memory over and over as it grows.
    static qsizetype rowsToReserve(qint64 expected)
    {
        constexpr qint64 kMost = 4 * 1024 * 1024;
        return qsizetype(std::clamp<qint64>(expected, 0, kMost));
    }

    explicit RowReader(const QString& tsql);
    RowReader(const QString& tsql, const QSqlDatabase& db, SqlEngine engine);
    ~RowReader();

    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;

    // Binds the next "?" placeholder, in order.
    RowReader& bind(const QVariant& value);
    RowReader& bind(std::initializer_list<QVariant> values);

    bool exec();
    bool next();

    const DbError& error() const { return m_error; }

    // Columns by position, from 0, in the order of the statement's select list.
    bool isNull(int column) const;
    // Null reads as a null text.
    QString text(int column) const;
    // The column's text, as text() reads it (null as empty), into `into`, reusing its memory: for
    // texts that are copied elsewhere at once, no allocation once `into` is large enough.
    void readText(int column, QString& into) const;
    // Whether the column reads as `known` (null and empty alike, as QString compares), without
    // building a text: values repeated on many rows are then kept once.
    bool equals(int column, const QString& known) const;
    qlonglong longInteger(int column) const;
    int integer(int column) const { return int(longInteger(column)); }
    double real(int column) const;
    // A 0/1 flag; null reads as false.
    bool flag(int column) const { return longInteger(column) != 0; }
    QDateTime dateTime(int column) const;

private:
    bool execDirect(sqlite3* handle);
    void finalize();

    QSqlDatabase m_db;
    SqlEngine m_engine;
    QString m_sql;
    QVariantList m_values;
    DbError m_error;
    sqlite3_stmt* m_statement = nullptr;
    // Through Query when the connection has no engine handle to read from.
    std::unique_ptr<Query> m_query;
};

}  // namespace quarvel
