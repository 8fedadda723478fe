#pragma once

#include "db/CellValue.h"
#include "db/ColumnTable.h"
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
#include <type_traits>

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

    // How many rows a statement of the same text returned the last time it was read to its end
    // (0 the first time): room to make for a list that changes little between loads.
    qint64 rowsLastRead() const;

    // Columns by the enumerators of the list's ColumnTable, whose order is the select list's. A
    // plain number does not compile.
    template <typename Column>
    requires std::is_enum_v<Column>
    bool isNull(Column column) const { return nullAt(int(column)); }
    // Null reads as a null text.
    template <typename Column>
    requires std::is_enum_v<Column> QString text(Column column)
    const { return textAt(int(column)); }
    // The column's text, as text() reads it (null as empty), into `into`, reusing its memory: for
    // texts that are copied elsewhere at once, no allocation once `into` is large enough.
    template <typename Column>
    requires std::is_enum_v<Column>
    void readText(Column column, QString& into) const { readTextAt(int(column), into); }
    // Whether the column reads as `known` (null and empty alike, as QString compares), without
    // building a text: values repeated on many rows are then kept once.
    template <typename Column>
    requires std::is_enum_v<Column>
    bool equals(Column column, const QString& known) const { return equalsAt(int(column), known); }
    // Whether the column reads differently from `kept`, which then takes the new text: a value
    // repeated on row after row (a parent, a type, a grantor) is read and built on once.
    template <typename Column>
    requires std::is_enum_v<Column>
    bool changed(Column column, QString& kept) const
    {
        if (!kept.isNull() && equalsAt(int(column), kept))
            return false;
        kept = textAt(int(column));
        if (kept.isNull())
            kept = QStringLiteral("");
        return true;
    }
    template <typename Column>
    requires std::is_enum_v<Column> qlonglong longInteger(Column column)
    const { return longIntegerAt(int(column)); }
    template <typename Column>
    requires std::is_enum_v<Column>
    int integer(Column column) const { return integerAt(int(column)); }
    template <typename Column>
    requires std::is_enum_v<Column>
    double real(Column column) const { return realAt(int(column)); }
    // A 0/1 flag; null reads as false.
    template <typename Column>
    requires std::is_enum_v<Column>
    bool flag(Column column) const { return flagAt(int(column)); }
    template <typename Column>
    requires std::is_enum_v<Column> QDateTime dateTime(Column column)
    const { return dateTimeAt(int(column)); }

private:
    // The value of the column of the current row; `held` keeps a driver's value alive.
    CellValue cellAt(int column, QVariant& held) const;
    bool nullAt(int column) const;
    QString textAt(int column) const;
    void readTextAt(int column, QString& into) const;
    bool equalsAt(int column, const QString& known) const;
    qlonglong longIntegerAt(int column) const;
    int integerAt(int column) const;
    bool flagAt(int column) const;
    double realAt(int column) const;
    QDateTime dateTimeAt(int column) const;

    bool execDirect(sqlite3* handle);
    // Records the rows of a read that reached its end without a failure.
    void readToEnd();
    void finalize();

    QSqlDatabase m_db;
    SqlEngine m_engine;
    QString m_sql;
    QVariantList m_values;
    DbError m_error;
    qint64 m_rowsRead = 0;
    sqlite3_stmt* m_statement = nullptr;
    // Through Query when the connection has no engine handle to read from.
    std::unique_ptr<Query> m_query;
};

}  // namespace quarvel
