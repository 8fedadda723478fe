#pragma once

// Indexes the documents stored before the search inside documents existed, or whose text is of
// an older content (or was left Pending or Indexing by a client that ended meanwhile): each
// document's content is read from the database in pieces into a temporary file, as a download
// does, its text extracted and stored. The state of each document is kept as it goes, so a run
// that is cancelled or breaks off resumes with the documents not yet done. The statements and
// the content's transfer work on the shared connection and the caller's thread; each file is
// read (recognition included, seconds a page) on a thread of its own while the caller's thread
// waits and calls the progress callback about every 50 ms, so that a window processes its
// events meanwhile and a cancel stops the recognition. No widgets here.

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

// After each document (and once before the first, with documentId 0), and while a document
// is read (with `reading` its ID): how far the run is.
struct BackfillProgress {
    int done = 0;
    int total = 0;
    qint64 documentId = 0;
    IndexState state = IndexState::Pending;  // of the document just done
    qint64 reading = 0;                      // the document being read now; 0 between documents
    QString name;                            // its name (文件名称)
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
