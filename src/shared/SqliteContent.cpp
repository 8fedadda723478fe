// The stored file on a QSQLITE connection: SQLite's incremental blob I/O reads and writes the
// value of 文件 in place, piece by piece, on the shared connection.

#include "db/EmbeddedBlob.h"
#include "db/Query.h"
#include "shared/ContentPieces.h"

#include <optional>

namespace quarvel::content {
namespace {

// The rowid that the blob access addresses the row by.
DbResult<qint64> rowidOf(qint64 documentId)
{
    Query q(QStringLiteral("select rowid as row_key from 公司文件信息 where ID = ?"));
    q.bind(documentId);
    if (!q.exec())
        return DbResult<qint64>::failure(q.error());
    if (!q.next())
        return DbResult<qint64>::failure(q.error().isSet() ? q.error() : noRowError(documentId));
    return {q.longInteger(u"row_key"), {}};
}

// The length of the stored value; -1 when it is null.
DbResult<qint64> storedLength(qint64 documentId)
{
    Query q(QStringLiteral("select length(文件) as stored_size from 公司文件信息 where ID = ?"));
    q.bind(documentId);
    if (!q.exec())
        return DbResult<qint64>::failure(q.error());
    if (!q.next())
        return DbResult<qint64>::failure(q.error().isSet() ? q.error() : noRowError(documentId));
    return {q.isNull(u"stored_size") ? -1 : q.longInteger(u"stored_size"), {}};
}

// The page cache while a value larger than the connection's cache is stored.
constexpr qint64 kStoreCacheBytes = qint64(2) << 20;

EmbeddedBlob contentOf(qint64 rowid, bool writable)
{
    return EmbeddedBlob(QByteArrayLiteral("公司文件信息"), QByteArrayLiteral("文件"), rowid, writable);
}

}  // namespace

DbStatus sqliteStore(qint64 documentId, QFileDevice& source, const PiecePlan& plan, const TransferProgress& progress)
{
    const DbResult<qint64> limited = EmbeddedBlob::lengthLimit();
    if (!limited.ok())
        return {limited.error};
    // A value cannot grow past SQLite's length limit (1,000,000,000 bytes unless built otherwise).
    // The limit holds for the whole row, so a file just below it may still be refused.
    const qint64 limit = limited.value;
    const auto tooBig = [&] {
        return DbStatus{
            DbError::make(EmbeddedBlob::kTooBig,
                          QStringLiteral("文件太大：%1 字节，数据库的一行最多 %2 字节").arg(plan.size()).arg(limit))};
    };
    if (plan.size() > limit)
        return tooBig();

    // The value is first set to zeros of the final length, then overwritten in place. The zeros
    // go to pages that held nothing at the start of the transaction (free or new ones), since the
    // engine builds the new value before it frees the old one; the file access keeps those zeros
    // from the disk (db/ZeroPageVfs.h), so each page reaches the file once, with its content.
    // The old value's pages are freed as they stand instead of being copied into the journal and
    // zeroed; a later store takes them. A value of the same length is overwritten where it lies:
    // each old page goes into the journal, which must be synced before such a page may leave the
    // page cache, so there the connection's larger cache makes fewer syncs.
    const DbResult<qint64> oldLength = storedLength(documentId);
    if (!oldLength.ok())
        return {oldLength.error};
    const FreedPagesKept freedPagesKept;
    std::optional<SmallPageCache> smallCache;
    if (oldLength.value != plan.size())
        smallCache.emplace(plan.size(), kStoreCacheBytes);
    {
        Query q(QStringLiteral("update 公司文件信息 set 文件 = zeroblob(?) where ID = ?"));
        q.bind({plan.size(), documentId});
        if (!q.exec())
            return q.error().number == EmbeddedBlob::kTooBig ? tooBig() : DbStatus{q.error()};
        if (q.numRowsAffected() == 0)
            return {noRowError(documentId)};
    }
    if (plan.size() == 0)
        return announceEmpty(progress);

    const DbResult<qint64> rowid = rowidOf(documentId);
    if (!rowid.ok())
        return {rowid.error};
    EmbeddedBlob blob = contentOf(rowid.value, true);
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
    const DbResult<qint64> rowid = rowidOf(documentId);
    if (!rowid.ok())
        return {rowid.error};
    EmbeddedBlob blob = contentOf(rowid.value, false);
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
