#include "db/EmbeddedBlob.h"

#include "db/Connection.h"
#include "db/TextCollation.h"

#include <sqlite3.h>

#include <limits>

namespace quarvel {
namespace {

static_assert(EmbeddedBlob::kTooBig == SQLITE_TOOBIG);

DbError engineError(sqlite3* handle, int code)
{
    const char* text = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(code);
    return DbError::fromEngine(code, QString::fromUtf8(text));
}


// The blob functions take int offsets and lengths: a piece beyond them is refused, not cut.
bool fitsInt(qint64 length, qint64 offset)
{
    constexpr qint64 most = std::numeric_limits<int>::max();
    return length >= 0 && offset >= 0 && length <= most && offset <= most && length + offset <= most;
}

DbError beyondIntError() { return DbError::make(SQLITE_TOOBIG, QStringLiteral("数据块超出了数据库一次读写的范围")); }

}  // namespace

DbResult<qint64> EmbeddedBlob::lengthLimit()
{
    const DbResult<sqlite3*> db = embeddedHandle(SharedConnection::database());
    if (!db.ok())
        return DbResult<qint64>::failure(db.error);
    return {sqlite3_limit(db.value, SQLITE_LIMIT_LENGTH, -1), {}};
}

EmbeddedBlob::EmbeddedBlob(const QByteArray& table, const QByteArray& column, qint64 rowid, bool writable)
{
    const DbResult<sqlite3*> db = embeddedHandle(SharedConnection::database());
    if (!db.ok()) {
        m_openError = db.error;
        return;
    }
    m_db = db.value;
    const int rc = sqlite3_blob_open(m_db, "main", table.constData(), column.constData(), rowid, writable ? 1 : 0,
                                     &m_blob);
    if (rc != SQLITE_OK) {
        m_openError = engineError(m_db, rc);
        if (m_blob)
            sqlite3_blob_close(m_blob);
        m_blob = nullptr;
    }
}

EmbeddedBlob::~EmbeddedBlob()
{
    if (m_blob)
        sqlite3_blob_close(m_blob);
}

bool EmbeddedBlob::isOpen() const { return m_blob != nullptr; }

qint64 EmbeddedBlob::bytes() const { return m_blob ? sqlite3_blob_bytes(m_blob) : 0; }

DbStatus EmbeddedBlob::write(const char* data, qint64 length, qint64 offset)
{
    if (!fitsInt(length, offset))
        return {beyondIntError()};
    const int rc = sqlite3_blob_write(m_blob, data, int(length), int(offset));
    return rc == SQLITE_OK ? DbStatus{} : DbStatus{engineError(m_db, rc)};
}

DbStatus EmbeddedBlob::read(char* data, qint64 length, qint64 offset)
{
    if (!fitsInt(length, offset))
        return {beyondIntError()};
    const int rc = sqlite3_blob_read(m_blob, data, int(length), int(offset));
    return rc == SQLITE_OK ? DbStatus{} : DbStatus{engineError(m_db, rc)};
}

DbStatus EmbeddedBlob::close()
{
    const int rc = m_blob ? sqlite3_blob_close(m_blob) : SQLITE_OK;
    m_blob = nullptr;
    return rc == SQLITE_OK ? DbStatus{} : DbStatus{engineError(m_db, rc)};
}

namespace {

// Runs a setting of the engine (a PRAGMA); what it answers, or `otherwise`.
qint64 setting(sqlite3* db, const QByteArray& sql, qint64 otherwise = -1)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
        return otherwise;
    const qint64 value = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : otherwise;
    sqlite3_finalize(statement);
    return value;
}

}  // namespace

FreedPagesKept::FreedPagesKept()
{
    const DbResult<sqlite3*> db = embeddedHandle(SharedConnection::database());
    if (!db.ok())
        return;
    m_db = db.value;
    m_previous = int(setting(m_db, "PRAGMA secure_delete"));
    if (m_previous == 1)
        setting(m_db, "PRAGMA secure_delete = FAST");
}

FreedPagesKept::~FreedPagesKept()
{
    if (m_db && m_previous == 1)
        setting(m_db, "PRAGMA secure_delete = 1");
}

SmallPageCache::SmallPageCache(qint64 valueBytes, qint64 cacheBytes)
{
    const DbResult<sqlite3*> db = embeddedHandle(SharedConnection::database());
    if (!db.ok())
        return;
    const qint64 previous = setting(db.value, "PRAGMA cache_size", 0);
    const qint64 pageSize = setting(db.value, "PRAGMA page_size", 0);
    const qint64 previousBytes = previous < 0 ? -previous * 1024 : previous * pageSize;
    if (previous == 0 || valueBytes <= previousBytes || cacheBytes >= previousBytes)
        return;
    m_db = db.value;
    m_previous = previous;
    setting(m_db, "PRAGMA cache_size = " + QByteArray::number(-qMax<qint64>(cacheBytes / 1024, 1)));
}

SmallPageCache::~SmallPageCache()
{
    if (m_db)
        setting(m_db, "PRAGMA cache_size = " + QByteArray::number(m_previous));
}

}  // namespace quarvel
