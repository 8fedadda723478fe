#pragma once

// Indexes the documents stored before the search inside documents existed, or whose text is of
// an older content (or was left Pending or Indexing by a client that ended meanwhile): each
// document's content is read from the database in pieces into a temporary file, as a download
// does, its text extracted and stored. The state of each document is kept as it goes, so a run
// that is cancelled or breaks off resumes with the documents not yet done. Works on the shared
// connection and the caller's thread (a window shows its progress modally). No widgets here.

#include "db/DbError.h"
#include "library/FullTextIndex.h"

#include <QString>
#include <QVector>

#include <functional>

namespace quarvel {

struct BackfillOptions {
    bool retryFailed = false;  // also documents whose reading failed for their current content
    int limit = 0;             // documents at most; 0 = all that need it
    QString temporaryFolder;   // where the contents are written; empty = the system's
};

// After each document (and once before the first, with documentId 0): how far the run is.
struct BackfillProgress {
    int done = 0;
    int total = 0;
    qint64 documentId = 0;
    IndexState state = IndexState::Pending;  // of the document just done
};

// Returning false cancels the run: the document being read is left as it was.
using BackfillCallback = std::function<bool(const BackfillProgress&)>;

struct BackfillSummary {
    int indexed = 0;  // with text
    int noText = 0;
    int failed = 0;
    bool cancelled = false;
};

class FullTextBackfill {
public:
    // The documents that need indexing, by ID in ascending order.
    static DbResult<QVector<qint64>> pending(const BackfillOptions& options = {});

    // Indexes them one by one. A document whose content cannot be read or whose text cannot be
    // stored ends the run with the error; counts of what was done stay in the value.
    static DbResult<BackfillSummary> run(const BackfillOptions& options = {}, const BackfillCallback& progress = {});

    static QString pendingStatement(bool retryFailed);
};

}  // namespace quarvel
