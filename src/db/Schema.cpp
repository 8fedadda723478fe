#include "db/Schema.h"

#include "db/TextCollation.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace quarvel::schema {

QStringList statements(SqlEngine engine)
{
    const QString path = engine == SqlEngine::Sqlite ? QStringLiteral(":/sql/sqlite/schema.sql")
                                                     : QStringLiteral(":/sql/sqlserver/schema.sql");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList result;
    QString current;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--")))
            continue;
        if (engine == SqlEngine::SqlServer && line.compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0)
            continue;
        current += raw + u'\n';
        if (line.endsWith(u';')) {
            result.append(current.trimmed());
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        result.append(current.trimmed());
    return result;
}

DbStatus create(QSqlDatabase db, SqlEngine engine)
{
    const QStringList all = statements(engine);
    if (all.isEmpty())
        return DbStatus{DbError::make(-1, QStringLiteral("schema script not found"))};
    if (engine == SqlEngine::Sqlite) {
        const DbStatus collation = registerTextCollation(db);
        if (!collation.ok())
            return collation;
    }
    QSqlQuery q(db);
    for (const QString& s : all) {
        if (!q.exec(s))
            return DbStatus{DbError::fromSql(q.lastError())};
    }
    return {};
}

DbStatus ensureFullText(QSqlDatabase db, SqlEngine engine)
{
    QSqlQuery q(db);
    const QString check = engine == SqlEngine::Sqlite
                              ? QStringLiteral("select count(*) from sqlite_master where name in "
                                               "('资料全文', '资料全文状态', '资料全文索引')")
                              : QStringLiteral("select case when object_id(N'资料全文') is not null and "
                                               "object_id(N'资料全文状态') is not null then 3 else 0 end");
    if (!q.exec(check) || !q.next())
        return DbStatus{DbError::fromSql(q.lastError())};
    if (q.value(0).toInt() == 3)
        return {};
    q.finish();
    QStringList wanted;
    for (const QString& s : statements(engine)) {
        if (s.contains(u"资料全文") || s.contains(QLatin1String("quarvel_fulltext")))
            wanted.append(s);
    }
    const bool transaction = engine == SqlEngine::Sqlite;
    if (transaction && !q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return DbStatus{DbError::fromSql(q.lastError())};
    for (const QString& s : wanted) {
        if (!q.exec(s)) {
            const DbError error = DbError::fromSql(q.lastError());
            if (transaction)
                q.exec(QStringLiteral("ROLLBACK"));
            return DbStatus{error};
        }
    }
    if (transaction && !q.exec(QStringLiteral("COMMIT")))
        return DbStatus{DbError::fromSql(q.lastError())};
    return {};
}

}  // namespace quarvel::schema
