#pragma once

// The documents of the browse window: what a position may read or download, found by types,
// formats, name, uploader, keywords and upload date. No widgets here: the window turns the
// refusals and errors into its messages.

#include "db/DbError.h"

#include <QDate>
#include <QDateTime>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quarvel {


// One listed document with the right that listed it. A document that the position holds two
// different rights rows for comes twice, once per row.
struct BrowseRow {
    qint64 id = 0;
    QString number, typeCode, typeName, name, summary, keywords, level, uploaderName, extension;
    QDateTime uploaded;
    bool canRead = false;      // 查阅 of the right
    bool canDownload = false;  // 下载 of the right

    QString typeText() const;      // typeCode + " " + typeName
    QString uploadedText() const;  // "yyyy-MM-dd HH:mm", "" when null
};

// The search as the filter panel states it.
struct BrowseSearch {
    QStringList typeCodes;  // ticked types (at least one)
    QStringList formats;    // selected formats; none = every format
    bool byName = false;
    QString name;  // part of 文件名称
    bool byUploader = false;
    QString uploader;  // part of the uploader's name
    bool byKeywords = false;
    QString keywords;  // part of 关键字
    bool byDate = false;
    QDate from, to;  // 上传日期 from the start of `from` to the end of `to`
};

// Why a search is not run, in the order in which the reasons are checked.
enum class SearchRefusal { None, NoType, NoName, NoUploader, NoKeywords, DateRange };

// The first reason that refuses the search, or None. The texts count as blank when they hold
// nothing but blanks.
SearchRefusal checkSearch(const BrowseSearch& search);

// The columns of a listed document in a statement's select list; a search that joins more reads
// its own columns after them, numbered from here.
inline constexpr int kListedColumns = 14;

// What a search adds to the browse search's statement (the full-text search): columns after the
// listed document's, joins after the rights and before the where clause, a condition (starting
// " and ") before the filters, an order after the list's, and a row limit (0: none). Its bound
// values come right after the position code.
struct JoinedSearch {
    QString columns;  // starting ", "
    QString joins;
    QString condition;
    QString order;  // starting ", "
    int top = 0;
    bool documentsFirst = false;  // the documents lead, newest first, as with a date filter
};

class RowReader;

// Called with each row as it is read; lets a caller fill a list without a second copy.
using BrowseRowSink = std::function<void(const BrowseRow&)>;

// A search read in steps: the keys of its rows (document and right) are read at once, in the
// list's order; each step reads the documents of the next keys by their IDs. So a long list
// shows its first rows as soon as the keys are known, no statement stays open between the
// steps, and the rows are counted exactly.
class BrowseSearchReader {
public:
    ~BrowseSearchReader();
    BrowseSearchReader(const BrowseSearchReader&) = delete;
    BrowseSearchReader& operator=(const BrowseSearchReader&) = delete;

    // Documents read by one statement.
    static constexpr int kRowsPerRead = 250;

    // The rows the search finds in all.
    int total() const { return m_total; }
    // Reads up to `count` more rows into `sink`; false once every row has been read or the
    // reading failed (error()). A document deleted since the search was opened is left out.
    bool read(int count, const BrowseRowSink& sink);
    bool atEnd() const { return m_done; }
    const DbError& error() const { return m_error; }

private:
    friend class BrowseDocuments;
    BrowseSearchReader();

    struct Key {
        qint64 id = 0;
        bool read = false;
        bool download = false;
        // Which of the document's uploaders (an uploader number held by several employees
        // lists the document once for each name), in the order of their names.
        quint8 holder = 0;
    };
    std::vector<Key> m_keys;
    qsizetype m_next = 0;
    int m_total = 0;
    bool m_done = false;
    DbError m_error;
};

class BrowseDocuments {
public:
    // Rows of the opening list.
    static constexpr int kRecentRows = 50;

    // The distinct extensions (附件后缀) of the stored documents, nulls left out.
    static DbResult<QStringList> formats();

    // The `limit` newest documents with content that the position may read or download,
    // newest first. A position code that is empty (the super user) sees nothing. Rows read
    // before a failure stay in the value.
    static DbResult<QVector<BrowseRow>> recent(const QString& positionCode, int limit = kRecentRows);

    // Every document with content that the position may read or download and that meets the
    // search, newest first. Type codes and formats may be any number: they are bound through
    // value lists. The search is run as given (checkSearch is the caller's). Each row goes
    // to `sink` when given (the value then stays empty), else into the value.
    static DbResult<QVector<BrowseRow>> search(const QString& positionCode, const BrowseSearch& search,
                                               const BrowseRowSink& sink = {});

    // The same search read in steps (see BrowseSearchReader); a failure to open it is the
    // reader's error(). The rows counted and read are those of search().
    static std::unique_ptr<BrowseSearchReader> openSearch(const QString& positionCode, const BrowseSearch& search);

    // The texts of the statements, in T-SQL form, as they run (with "?" for the values).
    static QString recentStatement();
    static QString searchStatement(const BrowseSearch& search);
    // The keys of searchStatement's rows in its order (ID, 下载, 查阅, 上传日期); the same values.
    static QString searchKeysStatement(const BrowseSearch& search);
    // The listed columns of `count` documents given by their IDs (the rights read as 0).
    static QString documentsByIdStatement(int count);
    static QString searchStatement(const BrowseSearch& search, const JoinedSearch& joined);
    // The values bound to searchStatement, in order (the lists are not among them).
    static QVariantList searchValues(const QString& positionCode, const BrowseSearch& search);
    static QVariantList searchValues(const QString& positionCode, const BrowseSearch& search,
                                     const QVariantList& joinedValues);
    // Fills the value lists that searchStatement reads (types, formats), runs `run` while they
    // exist, and drops them: a search that joins more runs its own statement inside.
    static DbStatus withSearchLists(const BrowseSearch& search, const std::function<void()>& run);
    // The listed document of the current row of a statement built by searchStatement.
    static BrowseRow listedRow(const RowReader& q);
    // The names of the value lists that searchStatement reads.
    static QString typeListName();
    static QString formatListName();
    static QString formatsStatement();
};

}  // namespace quarvel

// Moved in memory as a whole when a long list grows.
Q_DECLARE_TYPEINFO(quarvel::BrowseRow, Q_RELOCATABLE_TYPE);
