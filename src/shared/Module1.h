#pragma once

// The shared procedures that move file contents between disk and memory or database.

#include "db/DbError.h"
#include "shared/ContentTransfer.h"

#include <QByteArray>
#include <QString>

namespace quarvel {

// Reads the whole file at path, in pieces of 2048 bytes (first the size mod 2048, then the
// full pieces). A file of length zero gives the empty (null) array. Nothing is thrown: a file
// that cannot be opened or read (or is too large for memory) gives the error, with an empty
// value; the caller reports it.
DbResult<QByteArray> ReadFileBytes(const QString& path);

// Writes bytes to path, replacing any file of that name completely. The value tells whether a
// file was written: an empty array writes nothing (false, no error). The bytes go to a new
// file beside the target that replaces it only when complete, so a failed write leaves an
// existing file as it was and gives the error.
DbResult<bool> WriteBytesToFile(const QByteArray& bytes, const QString& path);

// True when the array holds no bytes (unallocated or of length zero).
bool IsByteArrayEmpty(const QByteArray& bytes);

// The one file, fixed per user, that the PDF viewer writes each viewed document to: "文件Temp"
// in the user's private cache folder of the client (created with owner-only access when
// missing, and restricted to the owner when found open to others).
QString GetTempFilePath();

// What SaveFieldToFile did when it did not fail.
enum class FieldSave {
    NoFile,    // a null field or a stored content of fewer than 8 bytes: nothing written
    Written,   // the file is at path
    Cancelled  // the progress callback cancelled; an existing file at path is as it was
};

// Writes the stored file (文件) of the document with that ID to path, piecewise, replacing an
// existing file. Any failure on the way comes back as the error (an existing file at path is
// kept); the window shows it (the error description, title "下载文件出错!", critical icon).
// Nothing is shown here. Callers finish their own result sets on the shared connection first.
DbResult<FieldSave> SaveFieldToFile(qint64 documentId, const QString& path, const TransferProgress& progress = {});

// Below this stored size a content counts as no file.
inline constexpr qint64 kMinimumStoredFileSize = 8;

}  // namespace quarvel
