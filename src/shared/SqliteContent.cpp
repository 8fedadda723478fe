// The stored file on a QSQLITE connection: SQLite's incremental blob I/O reads and writes the
// value of 文件 in place, piece by piece, through the driver's own sqlite3 handle.

#include "db/Connection.h"
#include "db/Query.h"
#include "shared/ContentPieces.h"

#include <QSqlDriver>

#include <sqlite3.h>

namespace quarvel::content {
namespace {

constexpr const char* kTable = "公司文件信息";
constexpr const char* kColumn = "文件";

DbError sqliteError(sqlite3* handle, int code)
{
    const char* text = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(code);
    return DbError::fromEngine(code, QString::fromUtf8(text));
}

DbResult<sqlite3*> connectionHandle()
{
    const QVariant handle = SharedConnection::database().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return DbResult<sqlite3*>::failure(DbError::make(-1, QStringLiteral("无法取得SQLite连接句柄")));
    sqlite3* db = *static_cast<sqlite3* const*>(handle.constData());
    if (!db)
        return DbResult<sqlite3*>::failure(DbError::make(-1, QStringLiteral("数据库连接未打开")));
    return {db, {}};
}

// The rowid that the blob functions address the row by.
DbResult<sqlite3_int64> rowidOf(qint64 documentId)
{
    Query q(QStringLiteral("select rowid as row_key from 公司文件信息 where ID = ?"));
    q.bind(documentId);
    if (!q.exec())
        return DbResult<sqlite3_int64>::failure(q.error());
    if (!q.next())
        return DbResult<sqlite3_int64>::failure(q.error().isSet() ? q.error() : noRowError(documentId));
    return {q.longInteger(u"row_key"), {}};
}

// An open blob handle, closed on every way out.
class Blob {
public:
    Blob(sqlite3* db, sqlite3_int64 rowid, bool writable) : m_db(db)
    {
        m_rc = sqlite3_blob_open(db, "main", kTable, kColumn, rowid, writable ? 1 : 0, &m_blob);
    }
    ~Blob()
    {
        if (m_blob)
            sqlite3_blob_close(m_blob);
    }
    Blob(const Blob&) = delete;
    Blob& operator=(const Blob&) = delete;

    bool isOpen() const { return m_rc == SQLITE_OK && m_blob; }
    DbError openError() const { return sqliteError(m_db, m_rc); }
    qint64 bytes() const { return sqlite3_blob_bytes(m_blob); }

    DbStatus write(const char* data, qint64 length, qint64 offset)
    {
        const int rc = sqlite3_blob_write(m_blob, data, static_cast<int>(length), static_cast<int>(offset));
        return rc == SQLITE_OK ? DbStatus{} : DbStatus{sqliteError(m_db, rc)};
    }
    DbStatus read(char* data, qint64 length, qint64 offset)
    {
        const int rc = sqlite3_blob_read(m_blob, data, static_cast<int>(length), static_cast<int>(offset));
        return rc == SQLITE_OK ? DbStatus{} : DbStatus{sqliteError(m_db, rc)};
    }
    DbStatus close()
    {
        const int rc = sqlite3_blob_close(m_blob);
        m_blob = nullptr;
        return rc == SQLITE_OK ? DbStatus{} : DbStatus{sqliteError(m_db, rc)};
    }

private:
    sqlite3* m_db;
    sqlite3_blob* m_blob = nullptr;
    int m_rc = SQLITE_OK;
};

}  // namespace

DbStatus sqliteStore(qint64 documentId, QFileDevice& source, const PiecePlan& plan, const TransferProgress& progress)
{
    const DbResult<sqlite3*> db = connectionHandle();
    if (!db.ok())
        return {db.error};
    // A value cannot grow past SQLite's length limit (1,000,000,000 bytes unless built otherwise).
    // The limit holds for the whole row, so a file just below it may still be refused.
    const qint64 limit = sqlite3_limit(db.value, SQLITE_LIMIT_LENGTH, -1);
    const auto tooBig = [&] {
        return DbStatus{DbError::make(
            SQLITE_TOOBIG, QStringLiteral("文件太大：%1 字节，数据库的一行最多 %2 字节").arg(plan.size()).arg(limit))};
    };
    if (plan.size() > limit)
        return tooBig();

    // The value is first set to zeros of the final length, then overwritten in place.
    {
        Query q(QStringLiteral("update 公司文件信息 set 文件 = zeroblob(?) where ID = ?"));
        q.bind({plan.size(), documentId});
        if (!q.exec())
            return q.error().number == SQLITE_TOOBIG ? tooBig() : DbStatus{q.error()};
        if (q.numRowsAffected() == 0)
            return {noRowError(documentId)};
    }
    if (plan.size() == 0)
        return announceEmpty(progress);

    const DbResult<sqlite3_int64> rowid = rowidOf(documentId);
    if (!rowid.ok())
        return {rowid.error};
    Blob blob(db.value, rowid.value, true);
    if (!blob.isOpen())
        return {blob.openError()};
    const DbStatus moved = movePieces(
        plan, progress, [&](char* buffer, qint64 length, qint64) { return readPiece(source, buffer, length); },
        [&](const char* buffer, qint64 length, qint64 offset) { return blob.write(buffer, length, offset); });
    if (!moved.ok())
        return moved;
    return blob.close();
}

DbStatus sqliteWrite(qint64 documentId, QFileDevice& sink, const PiecePlan& plan, const TransferProgress& progress)
{
    if (plan.size() == 0)
        return announceEmpty(progress);
    const DbResult<sqlite3*> db = connectionHandle();
    if (!db.ok())
        return {db.error};
    const DbResult<sqlite3_int64> rowid = rowidOf(documentId);
    if (!rowid.ok())
        return {rowid.error};
    Blob blob(db.value, rowid.value, false);
    if (!blob.isOpen())
        return {blob.openError()};
    if (blob.bytes() != plan.size())
        return {sizeChangedError()};
    const DbStatus moved = movePieces(
        plan, progress, [&](char* buffer, qint64 length, qint64 offset) { return blob.read(buffer, length, offset); },
        [&](const char* buffer, qint64 length, qint64) { return writePiece(sink, buffer, length); });
    if (!moved.ok())
        return moved;
    return blob.close();
}

}  // namespace quarvel::content
