#include "db/StatementCache.h"

#include <QHash>
#include <QObject>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlResult>

#include <memory>

namespace quarvel {
namespace {

struct Entry {
    QSqlQuery query;
    bool inUse = false;
    quint64 lastUse = 0;
};

// The statements of one connection, owned by its driver: they go when the driver goes, before
// the driver's library could be unloaded.
class Statements : public QObject {
public:
    explicit Statements(QSqlDriver* driver) : QObject(driver) { setObjectName(objectNameFor()); }

    static QString objectNameFor() { return QStringLiteral("quarvel-statement-cache"); }

    static Statements* of(QSqlDriver* driver)
    {
        if (auto* found = driver->findChild<Statements*>(objectNameFor(), Qt::FindDirectChildrenOnly))
            return found;
        return new Statements(driver);
    }

    QHash<QString, std::shared_ptr<Entry>> entries;
    quint64 clock = 0;

    // Drops the least recently used statement that nobody holds.
    void makeRoom()
    {
        QString oldest;
        quint64 oldestUse = ~quint64(0);
        for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
            if (!it.value()->inUse && it.value()->lastUse < oldestUse) {
                oldestUse = it.value()->lastUse;
                oldest = it.key();
            }
        }
        if (!oldest.isNull())
            entries.remove(oldest);
    }
};

// A statement that the connection finalised (it was closed) holds no engine handle any more.
bool isLive(const QSqlQuery& query)
{
    const QSqlResult* result = query.result();
    if (!result)
        return false;
    const QVariant handle = result->handle();
    return handle.isValid() && *static_cast<void* const*>(handle.constData()) != nullptr;
}

bool readsOnly(const QString& tsql) { return QStringView(tsql).trimmed().startsWith(u"select", Qt::CaseInsensitive); }

}  // namespace

StatementCache::Lease& StatementCache::Lease::operator=(Lease&& other) noexcept
{
    if (this != &other) {
        release();
        m_query = other.m_query;
        m_inUse = other.m_inUse;
        other.m_query = nullptr;
        other.m_inUse = nullptr;
    }
    return *this;
}

void StatementCache::Lease::release()
{
    if (!m_query)
        return;
    // Ends the read: a statement left open would keep the database's read lock.
    m_query->finish();
    *m_inUse = false;
    m_query = nullptr;
    m_inUse = nullptr;
}

bool StatementCache::suits(const QSqlDatabase& db, SqlEngine engine, const QString& tsql)
{
    return engine == SqlEngine::Sqlite && db.driverName() == QLatin1String("QSQLITE") && readsOnly(tsql);
}

DbResult<StatementCache::Lease> StatementCache::borrow(const QSqlDatabase& db, SqlEngine engine, const QString& tsql)
{
    QSqlDriver* driver = db.driver();
    if (!driver || !suits(db, engine, tsql))
        return {};
    Statements* cache = Statements::of(driver);
    std::shared_ptr<Entry>& slot = cache->entries[tsql];
    if (slot && slot->inUse)
        return {};
    if (slot && !isLive(slot->query))
        slot.reset();
    if (!slot) {
        auto entry = std::make_shared<Entry>();
        entry->query = QSqlQuery(db);
        entry->query.setForwardOnly(true);
        if (!entry->query.prepare(dialect::translate(tsql, engine))) {
            const QSqlError failed = entry->query.lastError();
            cache->entries.remove(tsql);
            return DbResult<Lease>::failure(DbError::fromSql(failed));
        }
        if (cache->entries.size() > kCapacity) {
            // The new entry is not yet marked used, so it could go itself: keep it aside.
            cache->entries.remove(tsql);
            cache->makeRoom();
            cache->entries.insert(tsql, entry);
        } else {
            slot = entry;
        }
    }
    const std::shared_ptr<Entry>& entry = cache->entries[tsql];
    entry->inUse = true;
    entry->lastUse = ++cache->clock;
    DbResult<Lease> lent;
    lent.value = Lease(&entry->query, &entry->inUse);
    return lent;
}

}  // namespace quarvel
