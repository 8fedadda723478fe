#include "reports/CodeTable.h"

#include "db/Connection.h"
#include "db/Query.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace quarvel {
namespace {

// The table definition: one code column, unique, compared as the log's columns compare (on
// SQL Server the temporary database may have another collation).
QString createStatement(const QString& name, SqlEngine engine)
{
    if (engine == SqlEngine::Sqlite)
        return QStringLiteral("create temp table if not exists %1 (编码 text primary key)").arg(name.mid(5));
    return QStringLiteral("if object_id('tempdb..%1') is null create table %1 "
                          "(编码 nvarchar(100) collate database_default not null primary key)")
        .arg(name);
}

DbStatus runDirect(const QString& sql)
{
    // No value goes into these texts: the table name is the program's own.
    QSqlQuery q(SharedConnection::database());
    if (!q.exec(sql))
        return {DbError::fromSql(q.lastError())};
    return {};
}

}  // namespace

QString codeTableName(const QString& base, SqlEngine engine)
{
    return (engine == SqlEngine::Sqlite ? QStringLiteral("temp.") : QStringLiteral("#")) + base;
}

DbResult<QString> fillCodeTable(const QString& base, const QStringList& codes)
{
    const SqlEngine engine = SharedConnection::engine();
    const QString name = codeTableName(base, engine);
    if (DbStatus s = runDirect(createStatement(name, engine)); !s.ok())
        return DbResult<QString>::failure(s.error);
    if (DbStatus s = runDirect(QStringLiteral("delete from ") + name); !s.ok())
        return DbResult<QString>::failure(s.error);

    QStringList unique;
    QSet<QString> seen;
    for (const QString& code : codes) {
        if (!seen.contains(code)) {
            seen.insert(code);
            unique.append(code);
        }
    }
    for (qsizetype first = 0; first < unique.size(); first += kCodeTableBatch) {
        const qsizetype count = std::min<qsizetype>(kCodeTableBatch, unique.size() - first);
        QString sql = QStringLiteral("insert into %1 (编码) values (?)").arg(name);
        for (qsizetype i = 1; i < count; ++i)
            sql += QStringLiteral(", (?)");
        Query insert(sql);
        for (qsizetype i = 0; i < count; ++i)
            insert.bind(unique.at(first + i));
        if (!insert.exec())
            return DbResult<QString>::failure(insert.error());
    }
    return {name, {}};
}

bool codeTableHolds(const QString& base, const QStringList& codes)
{
    const QString name = codeTableName(base, SharedConnection::engine());
    QSqlQuery q(SharedConnection::database());
    if (!q.exec(QStringLiteral("select count(*) from ") + name) || !q.next())
        return false;
    return q.value(0).toLongLong() == QSet<QString>(codes.cbegin(), codes.cend()).size();
}

}  // namespace quarvel
