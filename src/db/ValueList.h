#pragma once

#include "db/DbError.h"
#include "db/NamedStatement.h"
#include "db/SqlDialect.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

namespace quarvel {

// A list of texts of any length that one statement uses as a table, in place of a long
// "in (...)": the values go into a temporary table of the shared connection by bound inserts
// (a few hundred per statement), and the statement names the table:
//
//     ValueList types(QStringLiteral("类型列表"));
//     types.fill(codes);
//     ... where 文件类别 in (select 值 from [#类型列表]) ...
//
// So no statement carries more than a few hundred parameters, whatever the list holds (SQL
// Server takes at most 2,100 per statement). The name "[#name]" reads the same on both
// engines: a session temporary table on SQL Server, a table of the connection's temp schema
// on SQLite. The single column 值 compares with the database's own collation.
//
// The table lives until the ValueList is destroyed or filled again. One ValueList per name
// at a time.
class ValueList {
public:
    // `name` is fixed by the caller (letters, digits, "_"), never typed by a user.
    explicit ValueList(QString name);
    ~ValueList();
    ValueList(const ValueList&) = delete;
    ValueList& operator=(const ValueList&) = delete;

    // (Re)creates the table and inserts the values, in list order (duplicates kept).
    DbStatus fill(const QStringList& values);
    // Drops the table; nothing happens when it does not exist, or when another list of the same
    // name has been filled since (the table is that list's then).
    void drop();
    // True when the table still holds what this list's last fill() put there, as far as the
    // process can tell without asking the database: filled on the current shared connection,
    // and no other list of the same name filled since. A connection closed and opened again
    // (SharedConnection::reopen) loses its temporary tables unnoticed; a statement that then
    // fails may fill the list again and retry.
    bool isCurrent() const;

    // The table as statements name it: "[#" + name + "]".
    QString table() const;
    // "select 值 from [#name]", for "x in (...)".
    QString select() const;
    int size() const { return m_size; }

    // Rows per insert statement.
    static constexpr int kRowsPerInsert = 500;

    // The statements in their T-SQL form (name, text), for a list named "列表".
    static QVector<NamedStatement> statements();

    // One statement of a fill: its text and how many of the values it binds (0 for the drop
    // and the create, which run as they stand).
    struct Statement {
        QString tsql;
        int values = 0;
    };
    // The statements that fill() sends, in order, for `count` values on `engine`.
    static QVector<Statement> fillStatements(const QString& name, SqlEngine engine, qsizetype count);

private:
    QString m_name;
    int m_size = 0;
    bool m_created = false;
    bool m_complete = false;  // the last fill() succeeded
    quint64 m_fill = 0;       // the number of this list's last fill among all fills of the process
    int m_generation = 0;     // the shared connection's generation at that fill
};

}  // namespace quarvel
