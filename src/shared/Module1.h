#pragma once

// The shared procedures that move file contents between disk and memory or database.

#include "db/DbError.h"
#include "shared/ContentTransfer.h"

#include <QByteArray>
#include <QString>

class QWidget;

namespace quarvel {

class MessageBoxes;

// Reads the whole file at path into bytes, in pieces of 2048 bytes (first the size mod 2048,
// then the full pieces). A file of length zero gives the empty (null) array. Nothing is
// thrown: a file that cannot be opened or read (or is too large for memory) returns false,
// leaves bytes empty and, when asked for, describes the failure in *error; the caller
// reports it.
bool ReadFileBytes(QByteArray& bytes, const QString& path, DbError* error = nullptr);

// Writes bytes to path, replacing any file of that name completely. An empty array writes
// nothing and returns false (with *error left unset). The bytes go to a new file beside the
// target that replaces it only when complete, so a failed write leaves an existing file as
// it was; it returns false and describes the failure in *error.
bool WriteBytesToFile(const QByteArray& bytes, const QString& path, DbError* error = nullptr);

// True when the array holds no bytes (unallocated or of length zero).
bool IsByteArrayEmpty(const QByteArray& bytes);

// The one file, fixed per user, that the PDF viewer writes each viewed document to: "文件Temp"
// in the user's private cache folder of the client (created with owner-only access when
// missing, and restricted to the owner when found open to others).
QString GetTempFilePath();

// Writes the stored file (文件) of the document with that ID to path, piecewise, replacing an
// existing file. A null field and a stored content of fewer than 8 bytes write nothing and
// return false. Any failure on the way is shown (the error description, title
// "下载文件出错!", critical icon) and returns false; a transfer cancelled by the progress
// callback returns false without a message. Callers finish their own result sets on the
// shared connection first.
bool SaveFieldToFile(qint64 documentId, const QString& path, MessageBoxes& messages,
                     QWidget* parent = nullptr, const TransferProgress& progress = {});

// Below this stored size a content counts as no file.
inline constexpr qint64 kMinimumStoredFileSize = 8;

}  // namespace quarvel
