#pragma once

#include "db/DbError.h"
#include "db/SqlDialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace quarvel {

// Prepared reading statements kept per connection for reuse, so that a statement run again
// (a list reloaded, a lookup per click) is not translated and compiled again each time. Only
// statements that read, on QSQLITE connections; a statement in use is never handed out twice
// (a nested run of the same text gets a statement of its own). The kept statements go with
// their connection's driver, and a connection closed and opened again prepares them afresh.
class StatementCache {
public:
    static constexpr int kCapacity = 64;

    // One borrowed prepared statement. While the lease lasts the statement is the holder's;
    // at its end the statement is reset (its read finished) and goes back to the cache.
    class Lease {
    public:
        Lease() = default;
        ~Lease() { release(); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Lease(Lease&& other) noexcept : m_query(other.m_query), m_inUse(other.m_inUse)
        {
            other.m_query = nullptr;
            other.m_inUse = nullptr;
        }
        Lease& operator=(Lease&& other) noexcept;

        bool isValid() const { return m_query != nullptr; }
        QSqlQuery& query() const { return *m_query; }
        void release();

    private:
        friend class StatementCache;
        Lease(QSqlQuery* query, bool* inUse) : m_query(query), m_inUse(inUse) {}
        QSqlQuery* m_query = nullptr;
        bool* m_inUse = nullptr;
    };

    // Whether statements of this text on this connection are kept at all.
    static bool suits(const QSqlDatabase& db, SqlEngine engine, const QString& tsql);

    // The statement prepared for `tsql` on `db`, prepared now when it is not kept yet. An
    // invalid lease when the statement is not kept (see suits) or is in use; a failure when
    // preparing failed.
    static DbResult<Lease> borrow(const QSqlDatabase& db, SqlEngine engine, const QString& tsql);
};

}  // namespace quarvel
