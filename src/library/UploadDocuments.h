#pragma once

// The documents of the upload window: the record that the input area writes, the list of the
// department's and position's documents and its query, the document read for opening, and the
// temporary copies that opening writes. No widgets here: every operation returns its rows or a
// DbError that the window turns into its message.

#include "db/DbError.h"
#include "db/NamedStatement.h"
#include "shared/ContentTransfer.h"

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

// The input fields of one document, as typed.
struct DocumentInput {
    QString number;     // Text1(0) → 编号 = documentNumberOf(number)
    QString name;       // Text1(1) → 文件名称
    QString summary;    // Text1(2) → 摘要, NULL when empty
    QString keywords;   // Text1(3) → 关键字, NULL when empty
    QString typeText;   // Text1(4): type code + " " + name → 文件类别 = typeCodeOf(typeText)
    QString levelText;  // Text4 → 文件级别 = levelOf(levelText)
    QString filePath;   // Text2 → 附件后缀 = extensionOf(filePath) and 文件; empty = no new file (update)
};

// Who uploads: EmployeeNo, DeptCode and PositionCode of the user context. Empty (or null)
// codes are stored and compared as empty texts, so the super user's documents carry an empty
// department and position.
struct UploaderContext {
    QString employeeNo, deptCode, positionCode;
};

// One row of the document list.
struct DocumentRow {
    qint64 id = 0;
    QString number, typeCode, typeName, name, summary, keywords, level, uploader, extension;
    QDateTime uploaded;

    QString typeText() const;      // typeCode + " " + typeName
    QString uploadedText() const;  // "yyyy-MM-dd HH:mm", "" when null
};

// The query's conditions; a condition without a value is not applied.
struct ListFilter {
    // Part of the name, trimmed, matched anywhere (like '%' + text + '%'). "%" and "_" typed by
    // the user act as the database's wildcards ("%" alone matches every named document); "["
    // means itself on both engines.
    std::optional<QString> name;
    // Exactly this 文件类别 (the type's own documents, not those of its sub-types).
    std::optional<QString> typeCode;
    // Part of the keywords, trimmed, matched as the name.
    std::optional<QString> keywords;
    // 上传日期 >= from and < to + 1 day, so the whole end day counts (each applied when set).
    std::optional<QDate> from, to;
};

// The document as opening needs it.
struct StoredDocument {
    qint64 id = 0;
    QString name, extension;
    bool hasContent = false;  // 文件 is not null
};

// The document number as it is stored and compared everywhere (the document, its rights, their
// deletion): the typed text without outer blanks.
QString documentNumberOf(const QString& typed);

// Error number of an insert refused because a document with the number exists already.
inline constexpr int kDocumentNumberTaken = -3;
inline bool isDocumentNumberTaken(const DbError& error) { return error.number == kDocumentNumberTaken; }

// The text after the last "." of the path (the whole path when it holds no "."), case kept.
QString extensionOf(const QString& path);
// The whole number at the start of the text: leading blanks, an optional sign, then decimal
// digits up to the first other character ("12abc" → 12, "12.7" → 12, " -3x" → -3). 0 when the
// text does not start with a number or the number does not fit in 64 bits.
qint64 levelOf(const QString& text);
// The type code of "code name": the text before the first blank, trimmed (the whole text,
// trimmed, when it holds no blank).
QString typeCodeOf(const QString& typeText);

// The path of a temporary copy of an opened document: folder + "/" + a safe file name made
// from the document name + "-" + now "yyyyMMddHHmmss" + "." + safe extension. Always directly
// inside `folder` whatever the name holds: path separators, ":", reserved and control
// characters become "_", leading dots and trailing dots and blanks go, device names are
// prefixed with "_", and the name is shortened so that the file name fits in 248 bytes. The
// visible name stays the same where possible; an empty name falls back to "文件", and an empty
// extension leaves out the ".". A serial above 1 follows the time stamp as "-" + serial.
QString temporaryDocumentPath(const QString& folder, const QString& documentName, const QDateTime& now,
                              const QString& extension, int serial = 1);

// The document name as the plain file name that a save dialog suggests: made safe by the rules
// of temporaryDocumentPath (never a path, a device name or a hidden name), short enough for an
// extension to follow; an empty name gives "文件".
QString suggestedFileName(const QString& documentName);
// The same followed by the stored extension (made safe), so that the saved file opens with its
// program.
QString suggestedFileName(const QString& documentName, const QString& extension);
// A chosen path whose name has no extension gets the stored one; any other path stays as it is.
QString withStoredExtension(const QString& path, const QString& extension);

// Creates the empty file of a new temporary copy and returns its path: temporaryDocumentPath,
// or, when a file of that name exists already (another document whose name reads alike opened
// within the same second, or the same one opened again), the next free serial. The error
// gives the reason when no file could be created.
DbResult<QString> createTemporaryDocumentFile(const QString& folder, const QString& documentName, const QDateTime& now,
                                              const QString& extension);

// The per-user folder of those copies ("Temp" beside GetTempFilePath's file, owner-only
// access), created when missing.
QString documentTempFolder();

// The statements of the upload window's documents.
// The list's query read in steps: the IDs of its rows are read at once, in the order of their
// upload time; each step reads the documents of the next IDs (never parting documents of the
// same upload time), in the query's order. So a long list shows its first rows as soon as
// the IDs are known, no statement stays open between the steps, and the rows are counted exactly.
class UploadListReader {
public:
    ~UploadListReader();
    UploadListReader(const UploadListReader&) = delete;
    UploadListReader& operator=(const UploadListReader&) = delete;

    // Documents read by one statement.
    static constexpr int kRowsPerRead = 250;

    // The rows the query finds in all.
    int total() const { return m_total; }
    // Reads up to `count` more rows into `sink`; false once every row has been read or the
    // reading failed (error()). A document deleted since the query was opened is left out.
    bool read(int count, const std::function<void(const DocumentRow&)>& sink);
    bool atEnd() const { return m_done; }
    const DbError& error() const { return m_error; }

private:
    friend class UploadDocuments;
    UploadListReader();

    std::vector<qint64> m_ids;
    std::vector<bool> m_tiesBefore;  // uploaded at the same time as the ID before
    qsizetype m_next = 0;
    int m_total = 0;
    bool m_done = false;
    DbError m_error;
};

class UploadDocuments {
public:
    // Adds the document: the row (编号 = documentNumberOf(number), 文件下载 = 0, 上传日期 = now,
    // uploader's employee number, department and position from the context) and the file
    // streamed into it, in one write transaction that first checks the number, so that of two
    // clients adding the same number at once exactly one succeeds. Nothing is stored when the
    // number exists already (the error then satisfies isDocumentNumberTaken), when the number
    // is blank, when a text is longer than its column (number 50, name 200, summary 1000,
    // keywords 200 characters: the error names the field and its limit), when the
    // file cannot be read, when the progress cancels (the error then
    // satisfies isTransferCancelled) or on any failure. A file of length zero stores NULL.
    // The file's text for the search inside documents is written in the same transaction (see
    // FullTextIndex::prepareUpload; a file that cannot be read only records so). Returns the new ID.
    static DbResult<qint64> insert(const DocumentInput& input, const UploaderContext& context, const QDateTime& now,
                                   const TransferProgress& progress = {});

    // Changes the document with this ID: 文件名称, 文件类别, 摘要, 部门, 岗位, 关键字, 文件级别,
    // and, only when filePath is not empty, 上传日期, 上传人工号, 附件后缀 and 文件 (streamed; a
    // file of length zero stores NULL), in one transaction, with the new file's text for the search
    // in place of the old one's. 编号 never changes. A text longer
    // than its column is refused as by insert. No such row: nothing is written and no error is
    // returned.
    static DbStatus update(qint64 id, const DocumentInput& input, const UploaderContext& context, const QDateTime& now,
                           const TransferProgress& progress = {});

    // Deletes the document with this ID and every rights row (资料下载权限) of the number
    // (documentNumberOf), in one transaction: either both are gone or nothing is.
    static DbStatus remove(qint64 id, const QString& number);

    // The opening list: the `limit` most recent documents with stored content of the context's
    // department and position, ordered as the query orders. Rows read before a failure stay in
    // the value.
    static DbResult<QVector<DocumentRow>> recent(const UploaderContext& context, int limit = 50);

    // The query of the list: every document of the department and position that meets the
    // filter (with or without stored content), without a row limit. Rows read before a failure
    // stay in the value.
    static DbResult<QVector<DocumentRow>> query(const UploaderContext& context, const ListFilter& filter);

    // The same query read in steps (see UploadListReader); a failure to open it is the reader's
    // error().
    static std::unique_ptr<UploadListReader> openQuery(const UploaderContext& context, const ListFilter& filter);

    // The document for opening; no value when no row has this ID.
    static DbResult<std::optional<StoredDocument>> stored(qint64 id);

    // What the window says of a stored document's full-text index: "正在建立全文索引" while its
    // text is read in the background, "无可检索的文字" or why reading failed when it ended so,
    // and nothing when it is indexed (or has no state).
    static DbResult<QString> indexStatus(qint64 id);

    // The download groups as list items "组ID 组名称", in the order returned.
    static DbResult<QStringList> downloadGroups();

    // The text of the query for this filter (which conditions it carries), in T-SQL form.
    static QString queryStatement(const ListFilter& filter);
    // The IDs of its rows with their upload time, in that order; the same values.
    static QString queryKeysStatement(const ListFilter& filter);
    // The list's columns of `count` documents given by their IDs, in the query's order.
    static QString documentsByIdStatement(int count);

    // Every statement in T-SQL form (name, text), for the statement catalog.
    static QVector<NamedStatement> statements();
};

}  // namespace quarvel
