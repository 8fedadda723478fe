#pragma once

// Reading and downloading documents from the browse window, and the access log (资料下载记录)
// that counts both. No widgets: the window asks the questions and shows the messages.

#include "db/DbError.h"
#include "shared/ContentTransfer.h"

#include <QDateTime>
#include <QPair>
#include <QString>
#include <QVector>

#include <optional>

namespace quarvel {

// The listed document that a log row describes, as the list shows it.
struct AccessedDocument {
    QString number;    // 编号
    QString typeText;  // type code + " " + type name; the log keeps the code
    QString name;      // 文件名称
    QString summary;   // 摘要
};

// Who reads or downloads: EmployeeNo, DeptCode and PositionCode of the user context.
struct Reader {
    QString employeeNo, deptCode, positionCode;
};

enum class AccessKind { Read, Download };

// Where an opened document goes.
enum class OpenTarget {
    Viewer,             // the extension is exactly "pdf": the built-in viewer
    AssociatedProgram,  // a temporary copy opened by the program of its extension
    NoContent,          // nothing stored to open
};

// The document as opening and downloading need it.
struct AccessDocument {
    qint64 id = 0;
    QString number, name, typeCode, extension;
    bool hasContent = false;  // 文件 is not null
};

class DocumentAccess {
public:
    // The document with this ID; no value when there is none.
    static DbResult<std::optional<AccessDocument>> document(qint64 id);

    // Only the lower-case "pdf" goes to the viewer; "PDF" and others to their program.
    static OpenTarget targetOf(const AccessDocument& document);

    // The file-dialog filter for saving the document: "指定文件 (*.ext)".
    static QString saveFilter(const QString& extension);

    // Writes the stored file to `path` in pieces with progress and cancel. The content goes to
    // a new file beside the target that replaces it only when complete: on a failure or a
    // cancel (isTransferCancelled) no file of that name is created or changed. No content is
    // an error ("资料内容为空").
    static DbStatus download(qint64 id, const QString& path, const TransferProgress& progress = {});
    // The stored file into a new temporary file for reading at once (the viewer's copy).
    static DbStatus temporaryCopy(qint64 id, const QString& path, const TransferProgress& progress = {});

    // Appends one row to the access log: the document, the reader, 下载 and 阅读 by the kind,
    // and 操作时间 from the server clock.
    static DbStatus log(const AccessedDocument& document, const Reader& reader, AccessKind kind);

    static QString documentStatement();
    static QString logStatement();
};

}  // namespace quarvel
