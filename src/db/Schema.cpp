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

}  // namespace quarvel::schema
