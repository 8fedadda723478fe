#include "db/Query.h"

#include "db/CellValue.h"

#include "db/Connection.h"
#include "db/ConnectionRecovery.h"
#include "db/FaultInjection.h"

#include <QSqlRecord>

#include <utility>

namespace quarvel {
namespace {

// Some ODBC drivers report the length of a wide column name in bytes, so the name comes back
// followed by NULs and garbage; a name ends at its first NUL. Names compare case-insensitively,
// as SQL Server's do.
QString normalisedName(QString name)
{
    const qsizetype nul = name.indexOf(QChar(u'\0'));
    if (nul >= 0)
        name.truncate(nul);
    return name.trimmed().toCaseFolded();
}

// The error of a statement that failed. Some drivers fail without saying why (Qt's ODBC driver
// when it cannot even allocate a statement on a dropped connection): the failure still counts.
DbError failureOf(const QSqlQuery& query)
{
    DbError error = DbError::fromSql(query.lastError());
    if (!error.isSet())
        error = DbError::make(-1, QStringLiteral("数据库未能执行语句"));
    return error;
}

}  // namespace

DbError Query::beforeStatement(QSqlDatabase& db)
{
    if (ConnectionRecovery::lost()) {
        if (DbStatus reopened = ConnectionRecovery::recover(db); !reopened.ok())
            return std::move(reopened.error);
    }
    if (!db.isValid() || !db.isOpen())
        return DbError::make(-1, QStringLiteral("数据库连接未打开"));
    if (const std::optional<DbError> planned = FaultInjection::beforeStatement())
        return *planned;
    return {};
}

Query::Query(const QString& tsql) : Query(tsql, SharedConnection::database(), SharedConnection::engine()) {}

Query::Query(const QString& tsql, const QSqlDatabase& db, SqlEngine engine) : m_db(db), m_engine(engine), m_sql(tsql) {}

Query& Query::bind(const QVariant& value)
{
    m_values.append(dialect::bindValue(value, m_engine));
    return *this;
}

Query& Query::bind(std::initializer_list<QVariant> values)
{
    for (const QVariant& v : values)
        bind(v);
    return *this;
}

bool Query::exec()
{
    m_error = {};
    m_columns.clear();
    m_asked.clear();
    m_lastAsked = -1;
    m_columnsBuilt = false;
    m_error = beforeStatement(m_db);
    if (!m_error.isSet() && ConnectionRecovery::writes(m_sql))
        m_error = ConnectionRecovery::refuseWrite(m_db);
    if (m_error.isSet())
        return false;
    if (!prepare(std::exchange(m_keepPrepared, false)))
        return false;
    QSqlQuery& q = query();
    for (qsizetype i = 0; i < m_values.size(); ++i)
        q.bindValue(int(i), m_values.at(i));
    if (!q.exec()) {
        m_error = ConnectionRecovery::examine(m_db, failureOf(q));
        m_ownPrepared = false;
        return false;
    }
    return true;
}

bool Query::prepare(bool keepPrepared)
{
    if (m_lease.isValid()) {
        // Run again: the statement read before is finished first.
        m_lease.query().finish();
        return true;
    }
    if (StatementCache::suits(m_db, m_engine, m_sql)) {
        DbResult<StatementCache::Lease> borrowed = StatementCache::borrow(m_db, m_engine, m_sql);
        if (!borrowed.ok()) {
            m_error = ConnectionRecovery::examine(m_db, borrowed.error);
            return false;
        }
        if (borrowed.value.isValid()) {
            m_lease = std::move(borrowed.value);
            return true;
        }
    }
    if (m_own.driver() != m_db.driver()) {
        m_own = QSqlQuery(m_db);
        m_own.setForwardOnly(true);
        m_ownPrepared = false;
    }
    if (keepPrepared && m_ownPrepared) {
        m_own.finish();
        return true;
    }
    m_ownPrepared = false;
    if (!m_own.prepare(dialect::translate(m_sql, m_engine))) {
        m_error = ConnectionRecovery::examine(m_db, failureOf(m_own));
        return false;
    }
    m_ownPrepared = true;
    return true;
}

Query& Query::clearBindings()
{
    m_values.clear();
    m_keepPrepared = true;
    return *this;
}

bool Query::next()
{
    QSqlQuery& q = query();
    if (q.next())
        return true;
    const QSqlError e = q.lastError();
    if (e.type() != QSqlError::NoError)
        m_error = ConnectionRecovery::examine(m_db, DbError::fromSql(e));
    return false;
}

void Query::buildColumnIndex() const
{
    const QSqlRecord rec = query().record();
    for (int i = 0; i < rec.count(); ++i) {
        const QString name = normalisedName(rec.fieldName(i));
        if (!m_columns.contains(name))
            m_columns.insert(name, i);
    }
    m_columnsBuilt = true;
}

int Query::indexOf(QStringView column) const
{
    // The usual case: the same names in the same order on every row, compared as they stand.
    const qsizetype n = m_asked.size();
    for (qsizetype k = 1; k <= n; ++k) {
        const qsizetype at = (m_lastAsked + k) % n;
        if (m_asked.at(at).name == column) {
            m_lastAsked = at;
            return m_asked.at(at).column;
        }
    }
    if (!m_columnsBuilt)
        buildColumnIndex();
    const QString key = normalisedName(column.toString());
    int found = -1;
    auto it = m_columns.constFind(key);
    if (it != m_columns.constEnd()) {
        found = *it;
    } else {
        // "table.column" asked for a column that the result names without its table.
        const qsizetype dot = key.lastIndexOf(u'.');
        if (dot >= 0) {
            it = m_columns.constFind(key.mid(dot + 1));
            if (it != m_columns.constEnd())
                found = *it;
        }
    }
    if (m_asked.size() < 256) {
        m_asked.append({column.toString(), found});
        m_lastAsked = m_asked.size() - 1;
    }
    return found;
}

bool Query::hasColumn(QStringView column) const { return indexOf(column) >= 0; }

QVariant Query::value(QStringView column) const
{
    const int i = indexOf(column);
    if (i < 0) {
        qWarning("Query: no column %s in result", qPrintable(column.toString()));
        return {};
    }
    return query().value(i);
}

QString Query::text(QStringView column) const { return textOf(value(column)); }

QString Query::textOf(const QVariant& v) { return CellValue::of(v).text(); }

bool Query::isNull(QStringView column) const { return value(column).isNull(); }

int Query::integer(QStringView column) const
{
    const QVariant v = value(column);
    return CellValue::of(v).integer();
}

qlonglong Query::longInteger(QStringView column) const
{
    const QVariant v = value(column);
    return CellValue::of(v).longInteger();
}

bool Query::flag(QStringView column) const
{
    const QVariant v = value(column);
    return CellValue::of(v).flag();
}

QDateTime Query::dateTime(QStringView column) const
{
    const QVariant v = value(column);
    return CellValue::of(v).dateTime();
}

QByteArray Query::bytes(QStringView column) const { return value(column).toByteArray(); }

QString parameterMarks(qsizetype count)
{
    QString marks;
    marks.reserve(count * 3);
    for (qsizetype i = 0; i < count; ++i)
        marks += i == 0 ? QLatin1String("?") : QLatin1String(", ?");
    return marks;
}

DbStatus execute(const QString& tsql, std::initializer_list<QVariant> values)
{
    Query q(tsql);
    q.bind(values);
    q.exec();
    return DbStatus{q.error()};
}

Transaction::Transaction() : Transaction(SharedConnection::database(), SharedConnection::engine()) {}

Transaction::Transaction(const QSqlDatabase& db, SqlEngine engine) : m_db(db), m_engine(engine)
{
    if (ConnectionRecovery::lost()) {
        if (DbStatus reopened = ConnectionRecovery::recover(m_db); !reopened.ok()) {
            m_error = std::move(reopened.error);
            return;
        }
    }
    if (!m_db.isValid() || !m_db.isOpen()) {
        m_error = DbError::make(-1, QStringLiteral("数据库连接未打开"));
        return;
    }
    if (const std::optional<DbError> planned = FaultInjection::beforeStatement()) {
        m_error = *planned;
        return;
    }
    m_error = ConnectionRecovery::refuseWrite(m_db);
    if (m_error.isSet())
        return;
    if (m_engine == SqlEngine::Sqlite) {
        // Qt's own transaction() sends a plain (deferred) BEGIN, and the ODBC driver does the
        // same when autocommit is switched off; the statement is sent as it stands instead.
        m_begun = run(sqliteBeginStatement());
    } else {
        m_begun = m_db.transaction();
        if (!m_begun)
            m_error = ConnectionRecovery::examine(m_db, DbError::fromSql(m_db.lastError()));
    }
    if (m_begun)
        ConnectionRecovery::transactionBegun(m_db);
}

bool Transaction::run(const QString& statement)
{
    QSqlQuery q(m_db);
    if (q.exec(statement))
        return true;
    m_error = ConnectionRecovery::examine(m_db, failureOf(q));
    return false;
}

void Transaction::rollback()
{
    if (m_engine == SqlEngine::Sqlite) {
        // Fails harmlessly when SQLite has already rolled back after an error.
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
        return;
    }
    m_db.rollback();
}

Transaction::~Transaction()
{
    if (m_begun && !m_done)
        rollback();
    if (m_begun)
        ConnectionRecovery::transactionEnded(m_db);
}

bool Transaction::commit()
{
    if (!m_begun || m_done)
        return false;
    m_done = true;
    if (const std::optional<DbError> planned = FaultInjection::beforeStatement()) {
        m_error = *planned;
        rollback();
        return false;
    }
    const bool committed = m_engine == SqlEngine::Sqlite ? run(QStringLiteral("COMMIT")) : m_db.commit();
    if (!committed) {
        if (m_engine != SqlEngine::Sqlite)
            m_error = ConnectionRecovery::examine(m_db, DbError::fromSql(m_db.lastError()));
        rollback();
        return false;
    }
    return true;
}

}  // namespace quarvel
