#pragma once

// Internal to the content transfer: the piece loop shared by both database paths and the
// errors they report.

#include "db/FaultInjection.h"
#include "shared/ContentTransfer.h"

#include <QByteArray>
#include <QFileDevice>
#include <QIODevice>

namespace quarvel::content {

inline DbError cancelledError() { return DbError::make(kTransferCancelled, QStringLiteral("传输已取消")); }

inline DbError noRowError(qint64 documentId)
{
    return DbError::make(-1, QStringLiteral("没有ID为%1的文件记录").arg(documentId));
}

inline DbError sizeChangedError() { return DbError::make(-1, QStringLiteral("文件内容在读取过程中被修改")); }

// A file that could not be opened, read or written: the number is the file error code.
inline DbError fileError(const QFileDevice& file, const QString& what)
{
    const int number = file.error() == QFileDevice::NoError ? -1 : static_cast<int>(file.error());
    return DbError::make(number,
                         what + QStringLiteral(" ") + file.fileName() + QStringLiteral("：") + file.errorString());
}

// Reads exactly `length` bytes of the source into buffer.
inline DbStatus readPiece(QFileDevice& source, char* buffer, qint64 length)
{
    qint64 got = 0;
    while (got < length) {
        const qint64 n = source.read(buffer + got, length - got);
        if (n < 0)
            return {fileError(source, QStringLiteral("读取文件出错"))};
        if (n == 0)
            return {DbError::make(-1, QStringLiteral("文件在读取过程中变短：") + source.fileName())};
        got += n;
    }
    return {};
}

inline DbStatus writePiece(QFileDevice& sink, const char* buffer, qint64 length)
{
    // A disk that fills up takes part of a write without an error; the rest, written again,
    // gives the reason (no space left, file too large).
    qint64 written = 0;
    while (written < length) {
        const qint64 n = sink.write(buffer + written, length - written);
        if (n <= 0)
            return {fileError(sink, QStringLiteral("写入文件出错"))};
        written += n;
    }
    return {};
}

// Moves the content of the plan piece by piece: pull(buffer, length, offset) fills the buffer
// with the next piece, push(buffer, length, offset) passes it on. The progress callback hears
// of 0 bytes before the first piece and of the running total after each one.
template <class Pull, class Push>
DbStatus movePieces(const PiecePlan& plan, const TransferProgress& progress, Pull pull, Push push)
{
    if (progress && !progress(0, plan.size()))
        return {cancelledError()};
    if (plan.count() == 0)
        return {};
    QByteArray buffer(static_cast<qsizetype>(qMin(plan.unit(), plan.size())), Qt::Uninitialized);
    qint64 done = 0;
    for (qint64 i = 0; i < plan.count(); ++i) {
        const qint64 length = plan.piece(i);
        if (const std::optional<DbError> planned = FaultInjection::beforePiece())
            return {*planned};
        DbStatus s = pull(buffer.data(), length, done);
        if (!s.ok())
            return s;
        s = push(buffer.constData(), length, done);
        if (!s.ok())
            return s;
        done += length;
        if (progress && !progress(done, plan.size()))
            return {cancelledError()};
    }
    return {};
}

// A content of no bytes moves no piece; the progress callback still hears of it.
inline DbStatus announceEmpty(const TransferProgress& progress)
{
    if (progress && !progress(0, 0))
        return {cancelledError()};
    return {};
}

// The two ways of reaching the stored file.
DbStatus sqliteStore(qint64 documentId, QFileDevice& source, const PiecePlan& plan, const TransferProgress& progress);
DbStatus sqliteWrite(qint64 documentId, QFileDevice& sink, const PiecePlan& plan, const TransferProgress& progress);
DbStatus odbcStore(qint64 documentId, QFileDevice& source, const PiecePlan& plan, const TransferProgress& progress);
DbStatus odbcWrite(qint64 documentId, QFileDevice& sink, const PiecePlan& plan, const TransferProgress& progress);

// The statements of the ODBC path, in their T-SQL form.
QString odbcClearStatement();
QString odbcAppendStatement();
QString odbcPieceStatement();

}  // namespace quarvel::content
