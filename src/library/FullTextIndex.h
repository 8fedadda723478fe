#pragma once

// Search inside the documents: the text of each stored document, page by page (资料全文), the
// state of its indexing (资料全文状态), and the search over it under the browse window's filters
// and the position's read rights. No widgets here: every call returns its rows or a DbError.
//
// On SQLite the words are found by the index 资料全文索引 (FTS5, tokenizer "quarvel": single
// Chinese characters and pairs, so a word of one or two characters is found too). On SQL Server
// by CONTAINS where the server has full-text search and the index over 资料全文 exists, else by
// like over the text; which one is decided once per connection.

#include "db/DbError.h"
#include "db/NamedStatement.h"
#include "db/SqlDialect.h"
#include "library/BrowseDocuments.h"
#include "library/TextExtraction.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <functional>
#include <optional>

namespace quarvel {

// Where a document's text stands (资料全文状态.状态). A document without a state row has not been
// indexed yet.
enum class IndexState {
    Pending = 0,   // its content is new or replaced; the text follows ("正在建立全文索引")
    Indexing = 1,  // being read now ("正在建立全文索引")
    Done = 2,      // its text is in the index
    NoText = 3,    // a format without text, a scan without a text layer, a file past the limits
    Failed = 4,    // the file could not be read; the note says why
};

// The marks around each matched word of a snippet: the list draws the text between them as a hit.
inline constexpr QChar kMatchStart = QChar(0x0002);
inline constexpr QChar kMatchEnd = QChar(0x0003);

// One page of a document that holds every word of the query.
struct FullTextHit {
    BrowseRow document;  // as the browse list shows it, with the right that listed it
    int page = 0;        // 1 = the first page, sheet, slide or part of a text
    qint64 pageId = 0;   // the page's row in 资料全文
    QString snippet;     // the page's text around the words, each between kMatchStart and kMatchEnd
};

// A search: the words (blanks separate words that must all be on the page; a word is matched as
// a phrase: "资料管理" finds those four characters in a row) and the browse window's filters,
// applied exactly as BrowseDocuments::search applies them (check them with checkSearch first).
struct FullTextQuery {
    QString words;
    BrowseSearch filters;
    int limit = 500;  // pages returned at most, newest documents first
    // Hits whose snippets the search builds (the first ones; -1: every hit). A list that shows
    // the rest later builds theirs with FullTextIndex::fillSnippets.
    int snippets = -1;
};

// How the words are looked for.
enum class FullTextMethod { Fts5, Contains, Like };

// A connection the index works on: the shared one, or a worker's own.
struct IndexConnection {
    QSqlDatabase db;
    SqlEngine engine = SqlEngine::Sqlite;
    static IndexConnection shared();
};

class FullTextIndex {
public:
    // Files up to this size are indexed in the call that stored them; larger ones in the background.
    static constexpr qint64 kInlineBytes = 2 * 1024 * 1024;
    // Hits a list shows with their snippets at once (a screenful and more); the rest follow.
    static constexpr int kFirstSnippets = 50;

    // Creates the full-text tables when the database lacks them (a database made before the
    // search); checked once per connection.
    static DbStatus ensureTables(const IndexConnection& c = IndexConnection::shared());

    // Records the text read from the content of `version` (the document's 上传日期 when the content
    // was stored): the document's old pages deleted, the new ones inserted and its state set (Done,
    // NoText or Failed with the reason), in one transaction. When the document's content is no
    // longer of that version (replaced meanwhile) or the document is gone, nothing is written.
    static DbStatus store(qint64 documentId, const QDateTime& version, const ExtractedText& text,
                          const IndexConnection& c = IndexConnection::shared());

    // Sets the state alone (in its own statement; inside the caller's transaction if one is open).
    static DbStatus setState(qint64 documentId, const QDateTime& version, IndexState state, const QString& note = {},
                             const IndexConnection& c = IndexConnection::shared());

    // Inside the caller's transaction that deletes a document: its pages and state deleted.
    static DbStatus forget(qint64 documentId);

    // The states of these documents; a document not in the value has no state row (not indexed).
    static DbResult<QHash<qint64, IndexState>> states(const QVector<qint64>& documentIds);

    // One document's state with its note (why it has no text or why reading failed); no value
    // when it has no state row.
    struct StateNote {
        IndexState state = IndexState::Pending;
        QString note;
    };
    static DbResult<std::optional<StateNote>> stateNote(qint64 documentId);

    // The text of an upload's or a replacement's file, in three steps around its transaction:
    // prepareUpload before it (the tables made when missing; a file of at most kInlineBytes is
    // read now, so that the write lock is not held meanwhile; a failure to read is kept as the
    // state to record; pictures and PDFs with a page without a text layer always go to the
    // background, as recognition takes seconds a page), recordUpload inside it (the document's old pages deleted, the
    // new ones and its state written, or the state Pending for a larger file: the text then belongs to the same commit
    // as the content), afterUpload after the commit (a larger file queued for BackgroundIndexing). Where the tables
    // cannot be made the search is left out and the upload goes on. Reading a file never fails the upload; a failed
    // statement of recordUpload does, as every other statement of its transaction.
    struct UploadText {
        bool enabled = false;
        bool background = false;
        ExtractedText text;
        QString path, extension;
    };
    static UploadText prepareUpload(const QString& path, const QString& extension);
    static DbStatus recordUpload(qint64 documentId, const QDateTime& version, const UploadText& upload);
    static void afterUpload(qint64 documentId, const UploadText& upload);

    // Reads the file (pictures and PDF pages without a text layer by recognition: never call
    // this on the window's thread for those) and stores its text for the document's current
    // content; the state is Indexing meanwhile. When `cancelled` is set before the text is
    // stored, the document is left Pending. The resulting state, or the error of the database.
    static DbResult<IndexState> indexFile(qint64 documentId, const QString& path, const QString& extension,
                                          const IndexConnection& c = IndexConnection::shared(),
                                          const std::atomic_bool* cancelled = nullptr);
    // The same with the file read by `read` (the back-fill reads on a thread of its own while
    // the statements stay on the caller's).
    using Reader =
        std::function<ExtractedText(const QString& path, const QString& extension, const ExtractionLimits& limits)>;
    static DbResult<IndexState> indexFile(qint64 documentId, const QString& path, const QString& extension,
                                          const IndexConnection& c, const std::atomic_bool* cancelled,
                                          const Reader& read);

    // The pages that hold every word, of documents the position may read or download and that
    // meet the filters, newest documents first, pages in order. A position code that is empty
    // (the super user) finds nothing; words with no letter or character of a script (only blanks
    // or punctuation) find nothing.
    // `method` chooses the way other than the connection's own (the tests run the server's like
    // on the embedded engine); unset, method() decides.
    static DbResult<QVector<FullTextHit>> search(const QString& positionCode, const FullTextQuery& query,
                                                 std::optional<FullTextMethod> method = {});
    // Builds the snippets of hits [from, from + count) of a search for `words` (queryWords of the
    // typed text) from their pages' texts, a hundred pages a statement.
    static DbStatus fillSnippets(QVector<FullTextHit>& hits, qsizetype from, qsizetype count, const QStringList& words);

    // How many documents that the position may read or download and that meet the filters are
    // Pending or Indexing, their text not yet found by a search (read only from the documents
    // with such a state, so it stays cheap however long the list).
    static DbResult<int> unindexedCount(const QString& positionCode, const BrowseSearch& filters);
    static QString unindexedStatement(const BrowseSearch& filters);
    // Whether any document waits for its text at all (mostly none: then no filter is looked at).
    static const QString& anyUnindexedStatement();

    // The words of a typed query: split at blanks (full-width ones too), words without any
    // letter, digit or CJK character left out.
    static QStringList queryWords(const QString& typed);
    // The query in FTS5's syntax: each word a quoted phrase, all of them required.
    static QString matchExpression(const QStringList& words);
    // The query in the syntax of SQL Server's CONTAINS: each word a quoted phrase, joined by AND.
    static QString containsExpression(const QStringList& words);
    // A snippet built from a page's text (SQL Server): about `around` characters either side of
    // the first word found, every occurrence of a word marked, "…" where the text was cut.
    static QString snippetOf(const QString& pageText, const QStringList& words, int around = 40);

    // How the shared connection looks for the words (decided once per connection).
    static FullTextMethod method();
    // The statement of a search, in the form the method needs, and its values after the position
    // code (BrowseDocuments::searchValues puts them in place).
    // On FTS5 the search goes one of two ways with the same rows: the index leads (every page that
    // holds the words found, then sorted) or, with `documentsFirst`, the documents lead, newest
    // first, each page looked up among those that hold the words (read from the index once), so
    // that words on many pages stop after the first rows. The documents lead when at least
    // documentsFirstFrom(pages, limit) pages hold the words: pageCountStatement gives the highest
    // page ID, hitCountStatement (values: that many, the words) counts the pages up to that many.
    static QString searchStatement(const FullTextQuery& query, FullTextMethod method, bool documentsFirst = false);
    static const QString& pageCountStatement();
    static const QString& hitCountStatement();
    static qint64 documentsFirstFrom(qint64 pages, int limit);
    static QVariantList searchWordValues(const QStringList& words, FullTextMethod method);

    // Every statement in its T-SQL form (name, text), for the statement catalog; those sent only
    // to SQL Server apart (SQLite is sent the FTS5 search instead).
    static QVector<NamedStatement> statements();
    static QVector<NamedStatement> serverStatements();
};

// Indexes large uploaded files on a thread of its own with a connection of its own, one after
// the other, so that reading a large PDF never holds up the window. A job's document stays
// Pending until its thread takes it up; a job that the program's end cancels stays Pending and
// the back-fill takes it up later. `indexed` is emitted (on the worker's thread; connect queued
// or with a context object) after each document.
class BackgroundIndexing : public QObject {
    Q_OBJECT
public:
    static BackgroundIndexing& instance();

    void enqueue(qint64 documentId, const QString& path, const QString& extension);
    // Waits until the queue is empty and the thread ended; false on time-out.
    bool waitIdle(int milliseconds);
    // Drops the queued jobs, cancels the running one's recognition and waits for it to end.
    void stop();

signals:
    void indexed(qint64 documentId, int state);

private:
    BackgroundIndexing() = default;
    void run();

    struct Job {
        qint64 documentId;
        QString path, extension;
    };
    QMutex m_mutex;
    QList<Job> m_jobs;
    QThread* m_thread = nullptr;
    std::atomic<bool> m_stopping{false};
};

}  // namespace quarvel
