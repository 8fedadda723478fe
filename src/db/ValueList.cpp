#include "db/ValueList.h"

#include "db/Connection.h"
#include "db/Query.h"

#include <QHash>

namespace quarvel {
namespace {

QString tableOf(const QString& name) { return QStringLiteral("[#") + name + u']'; }

// SQL Server keeps a session's temporary tables in tempdb, whose collation may differ from
// the database's; the column takes the database's so that comparisons with its columns work.
// The statement has no parameters: the driver then sends it as a plain batch, and the table
// outlives it (a table created inside a parameterised call would end with that call).
QString createStatement(const QString& name, SqlEngine engine)
{
    if (engine == SqlEngine::Sqlite)
        return QStringLiteral("create temp table ") + tableOf(name) + QStringLiteral(" (值 text not null)");
    return QStringLiteral("create table ") + tableOf(name)
           + QStringLiteral(" (值 nvarchar(4000) collate database_default not null)");
}

QString dropStatement(const QString& name, SqlEngine engine)
{
    if (engine == SqlEngine::Sqlite)
        return QStringLiteral("drop table if exists temp.") + tableOf(name);
    return QStringLiteral("if object_id('tempdb..#") + name + QStringLiteral("') is not null drop table ")
           + tableOf(name);
}

QString insertStatement(const QString& name, int rows)
{
    QString sql = QStringLiteral("insert into ") + tableOf(name) + QStringLiteral(" (值) values ");
    sql.reserve(sql.size() + rows * 4);
    for (int i = 0; i < rows; ++i)
        sql += i == 0 ? QStringLiteral("(?)") : QStringLiteral(",(?)");
    return sql;
}

// The last fill of each list name: which fill put the rows that the table holds now.
QHash<QString, quint64>& lastFills()
{
    static QHash<QString, quint64> fills;
    return fills;
}

quint64 nextFill()
{
    static quint64 fills = 0;
    return ++fills;
}

DbStatus run(const QString& sql)
{
    Query q(sql, SharedConnection::database(), SharedConnection::engine());
    q.exec();
    return {q.error()};
}

}  // namespace

ValueList::ValueList(QString name) : m_name(std::move(name)) {}

ValueList::~ValueList() { drop(); }

QString ValueList::table() const { return tableOf(m_name); }

QString ValueList::select() const { return QStringLiteral("select 值 from ") + table(); }

void ValueList::drop()
{
    if (!m_created)
        return;
    m_created = false;
    m_complete = false;
    m_size = 0;
    const auto last = lastFills().constFind(m_name);
    if (last == lastFills().constEnd() || *last != m_fill)
        return;  // another list of this name owns the table now
    lastFills().remove(m_name);
    if (SharedConnection::isOpen() && SharedConnection::generation() == m_generation)
        run(dropStatement(m_name, SharedConnection::engine()));
}

bool ValueList::isCurrent() const
{
    return m_complete && SharedConnection::isOpen() && SharedConnection::generation() == m_generation
           && lastFills().value(m_name) == m_fill;
}

QVector<ValueList::Statement> ValueList::fillStatements(const QString& name, SqlEngine engine, qsizetype count)
{
    QVector<Statement> out;
    out.reserve(2 + count / kRowsPerInsert + 1);
    out.append({dropStatement(name, engine), 0});
    out.append({createStatement(name, engine), 0});
    const QString full = insertStatement(name, kRowsPerInsert);  // shared by every full insert
    for (qsizetype from = 0; from < count; from += kRowsPerInsert) {
        const int rows = int(qMin<qsizetype>(kRowsPerInsert, count - from));
        out.append({rows == kRowsPerInsert ? full : insertStatement(name, rows), rows});
    }
    return out;
}

DbStatus ValueList::fill(const QStringList& values)
{
    m_size = 0;
    m_complete = false;
    m_fill = nextFill();
    m_generation = SharedConnection::generation();
    lastFills().insert(m_name, m_fill);
    const QVector<Statement> statements = fillStatements(m_name, SharedConnection::engine(), values.size());
    // The drop and the create run as they stand: the dialect has nothing to change.
    for (int i = 0; i < 2; ++i) {
        if (DbStatus done = run(statements.at(i).tsql); !done.ok())
            return done;
    }
    m_created = true;
    qsizetype next = 0;  // the first value not yet bound
    for (qsizetype k = 2; k < statements.size(); ++k) {
        const Statement& s = statements.at(k);
        Query q(s.tsql);
        for (int i = 0; i < s.values; ++i) {
            const QString& v = values.at(next++);
            q.bind(v.isNull() ? QStringLiteral("") : v);
        }
        if (!q.exec())
            return {q.error()};
    }
    m_size = int(values.size());
    m_complete = true;
    return {};
}

QVector<NamedStatement> ValueList::statements()
{
    const QString name = QStringLiteral("列表");
    return {
        {QStringLiteral("value list: drop"), dropStatement(name, SqlEngine::SqlServer)},
        {QStringLiteral("value list: create"), createStatement(name, SqlEngine::SqlServer)},
        {QStringLiteral("value list: insert"), insertStatement(name, 3)},
    };
}

}  // namespace quarvel
