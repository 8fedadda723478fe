#pragma once

#include "db/DbError.h"
#include "db/NamedStatement.h"

#include <QList>
#include <QString>
#include <QVector>

#include <functional>

namespace quarvel {

// The unit in which file contents are moved: every piece is this long, except the first one,
// which takes the remainder of the size divided by the unit when that is not zero.
inline constexpr qint64 kTransferUnit = 2048;
// The piece length used between disk and database: a multiple of the unit, so that the
// pieces keep the same boundaries while a 1 GiB document needs 2048 calls instead of 524288.
inline constexpr qint64 kStreamUnit = kTransferUnit * 256;

// Called after each piece with the bytes moved so far and the total (and once with 0 before
// the first piece). Returning false cancels the transfer. A callback that processes events
// (to update a progress dialog) keeps other statements off the shared connection until the
// transfer returns, e.g. by showing the dialog modally.
using TransferProgress = std::function<bool(qint64 done, qint64 total)>;

// Error number of a transfer that its progress callback cancelled.
inline constexpr int kTransferCancelled = -2;
inline bool isTransferCancelled(const DbError& error) { return error.number == kTransferCancelled; }

// How a content of `size` bytes is cut into pieces of `unit` bytes: first one piece of
// (size mod unit) bytes if that is not zero, then (size div unit) pieces of exactly `unit`.
class PiecePlan {
public:
    PiecePlan(qint64 size, qint64 unit = kTransferUnit);

    qint64 size() const { return m_size; }
    qint64 unit() const { return m_unit; }
    qint64 count() const;
    // Length of the piece at index (0 <= index < count()).
    qint64 piece(qint64 index) const;
    // Offset of the piece at index from the start of the content.
    qint64 offset(qint64 index) const;
    // Every piece length in order (meant for small sizes).
    QList<qint64> pieces() const;

private:
    qint64 m_size;
    qint64 m_unit;
    qint64 m_remainder;
};

// Moves the stored file of a document (column 文件 of the row of 公司文件信息 with the given
// ID) between disk and database in pieces, so that neither direction ever holds the whole
// content in memory. Works on the shared connection and on the caller's thread.
//
// QSQLITE connections use SQLite's incremental blob I/O. QODBC connections (SQL Server, and
// SQLite through its ODBC driver) move one piece per statement: storing empties the value and
// appends the pieces one by one inside the transaction, reading takes each piece by offset.
// Drivers that gather a whole long parameter or column in memory (FreeTDS does) never see
// more than one piece at a time.
//
// Callers finish their own result sets on the shared connection before a transfer: SQL Server
// without multiple active result sets refuses a second statement while one is still pending.
class DocumentContent {
public:
    explicit DocumentContent(qint64 unit = kStreamUnit);

    qint64 unit() const { return m_unit; }

    // Replaces the stored file by the file at path, in its own transaction: on any failure or
    // a cancel the row is left as it was. An empty file is stored as a zero-length value.
    DbStatus storeFile(qint64 documentId, const QString& path, const TransferProgress& progress = {}) const;

    // The same inside a transaction that the caller has begun on the shared connection (and
    // commits or rolls back), e.g. together with the insert of the row.
    DbStatus storeFileWithinTransaction(qint64 documentId, const QString& path,
                                        const TransferProgress& progress = {}) const;

    // The size in bytes of the stored file; -1 when the field is null. A missing row is an error.
    DbResult<qint64> storedSize(qint64 documentId) const;

    // Writes the stored file to path, replacing any file there. The content goes to a new
    // file beside the target that is renamed over it at the end, so a failure or a cancel
    // leaves an existing target as it was. A null field is an error and writes nothing;
    // a zero-length value gives an empty file.
    DbStatus writeToFile(qint64 documentId, const QString& path, const TransferProgress& progress = {}) const;

    // Writes the stored file to a new temporary file that is read at once and thrown away
    // (a viewer's copy): written in place and not forced to disk, removed on a failure or a
    // cancel. The same errors as writeToFile otherwise.
    DbStatus writeTemporaryFile(qint64 documentId, const QString& path, const TransferProgress& progress = {}) const;

    using Statement = NamedStatement;
    // The statements sent to SQL Server, in their T-SQL form (for the statement checks).
    static QVector<Statement> statements();

private:
    DbStatus write(qint64 documentId, const QString& path, const TransferProgress& progress, bool temporary) const;
    DbStatus store(qint64 documentId, const QString& path, const TransferProgress& progress, bool ownTransaction) const;

    qint64 m_unit;
};

}  // namespace quarvel
