#pragma once

#include "db/DbError.h"

#include <QByteArray>

struct sqlite3;
struct sqlite3_blob;

namespace quarvel {

// A value of one row and column of the shared embedded connection, read or written in place,
// piece by piece, through the engine's incremental blob access: a large stored file never passes
// through memory whole. The value must already have its final length to be written.
class EmbeddedBlob {
public:
    // The error number of a value longer than the engine allows.
    static constexpr int kTooBig = 18;

    // The longest value the shared connection's engine takes, or why it cannot be asked.
    static DbResult<qint64> lengthLimit();

    // Opens the value of `column` in the row of `table` whose rowid is `rowid`.
    EmbeddedBlob(const QByteArray& table, const QByteArray& column, qint64 rowid, bool writable);
    ~EmbeddedBlob();
    EmbeddedBlob(const EmbeddedBlob&) = delete;
    EmbeddedBlob& operator=(const EmbeddedBlob&) = delete;

    // Whether it opened; why not.
    bool isOpen() const;
    const DbError& openError() const { return m_openError; }
    qint64 bytes() const;

    DbStatus write(const char* data, qint64 length, qint64 offset);
    DbStatus read(char* data, qint64 length, qint64 offset);
    // Closes the value; a write the engine could not finish fails here.
    DbStatus close();

private:
    sqlite3* m_db = nullptr;
    sqlite3_blob* m_blob = nullptr;
    DbError m_openError;
};

// While it lives, the pages that the shared embedded connection frees keep what they held until
// they are used again, instead of being overwritten with zeros as they are freed (the engine's
// secure_delete set to FAST, and set back after). Replacing a large value then frees its old pages
// without copying each of them into the journal and writing it again as zeros; the old content
// stays readable in the file's free pages until a later value takes them.
class FreedPagesKept {
public:
    FreedPagesKept();
    ~FreedPagesKept();
    FreedPagesKept(const FreedPagesKept&) = delete;
    FreedPagesKept& operator=(const FreedPagesKept&) = delete;

private:
    sqlite3* m_db = nullptr;
    int m_previous = -1;
};

// While it lives and a value of `valueBytes` is written that is larger than the shared embedded
// connection's page cache, the cache holds at most `cacheBytes`; set back afterwards. Such a
// value passes through the cache page by page anyway, and a small one keeps those pages in the
// processor's caches while the engine fills, writes and reads them.
class SmallPageCache {
public:
    SmallPageCache(qint64 valueBytes, qint64 cacheBytes);
    ~SmallPageCache();
    SmallPageCache(const SmallPageCache&) = delete;
    SmallPageCache& operator=(const SmallPageCache&) = delete;

private:
    sqlite3* m_db = nullptr;
    qint64 m_previous = 0;  // the setting before (pages, or KiB when negative); 0 when unchanged
};

}  // namespace quarvel
