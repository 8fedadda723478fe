// The stored file on a QODBC connection, one piece per statement.
//
// ODBC's own way of moving a long value in pieces (data-at-execution parameters fed with
// SQLPutData, a fetched column taken out with repeated SQLGetData) does not keep memory flat
// with every driver: FreeTDS gathers the whole upload before it sends the statement, and
// fetches a whole column into memory before SQLGetData hands out the first piece. So the
// pieces travel as values of statements of their own instead:
//   storing  empties the value (0x), then appends each piece with
//            "文件.WRITE(?, null, null)", all inside the caller's transaction;
//   reading  takes each piece with "substring(文件, offset, length)".
// No statement carries more than one piece, whatever the driver buffers. On SQLite (the SQLite
// ODBC driver) the dialect layer gives both forms their equivalents.

#include "db/Query.h"
#include "shared/ContentPieces.h"

#include <cstring>

namespace quarvel::content {

QString odbcClearStatement() { return QStringLiteral("update 公司文件信息 set 文件 = 0x where ID = ?"); }

QString odbcAppendStatement()
{
    return QStringLiteral("update 公司文件信息 set 文件.WRITE(?, null, null) where ID = ?");
}

QString odbcPieceStatement()
{
    return QStringLiteral("select substring(文件, ?, ?) as 片段 from 公司文件信息 where ID = ?");
}

DbStatus odbcStore(qint64 documentId, QFileDevice& source, const PiecePlan& plan, const TransferProgress& progress)
{
    {
        Query clear(odbcClearStatement());
        clear.bind(documentId);
        if (!clear.exec())
            return {clear.error()};
        if (clear.numRowsAffected() == 0)
            return {noRowError(documentId)};
    }
    if (plan.size() == 0)
        return announceEmpty(progress);
    return movePieces(
        plan, progress, [&](char* buffer, qint64 length, qint64) { return readPiece(source, buffer, length); },
        [&](const char* buffer, qint64 length, qint64) -> DbStatus {
            Query append(odbcAppendStatement());
            append.bind(QByteArray::fromRawData(buffer, static_cast<qsizetype>(length)));
            append.bind(documentId);
            if (!append.exec())
                return {append.error()};
            if (append.numRowsAffected() == 0)
                return {noRowError(documentId)};
            return {};
        });
}

DbStatus odbcWrite(qint64 documentId, QFileDevice& sink, const PiecePlan& plan, const TransferProgress& progress)
{
    if (plan.size() == 0)
        return announceEmpty(progress);
    return movePieces(
        plan, progress,
        [&](char* buffer, qint64 length, qint64 offset) -> DbStatus {
            Query piece(odbcPieceStatement());
            piece.bind({offset + 1, length, documentId});  // substring counts from 1
            if (!piece.exec())
                return {piece.error()};
            if (!piece.next())
                return {piece.error().isSet() ? piece.error() : noRowError(documentId)};
            if (piece.isNull(u"片段"))
                return {DbError::make(-1, QStringLiteral("资料内容为空"))};
            const QByteArray bytes = piece.bytes(u"片段");
            if (bytes.size() != length)
                return {sizeChangedError()};
            std::memcpy(buffer, bytes.constData(), static_cast<size_t>(length));
            return {};
        },
        [&](const char* buffer, qint64 length, qint64) { return writePiece(sink, buffer, length); });
}

}  // namespace quarvel::content
