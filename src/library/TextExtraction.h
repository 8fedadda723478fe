#pragma once

// The text of a document file, page by page, for the full-text index: the text layer of a PDF
// (QtPdf), the XML parts of Office Open XML packages (a Word document's body, a workbook's
// sheets, a presentation's slides), plain text in UTF-8 or GBK, and printed text read off
// pictures and off PDF pages without a text layer (TextRecognizer), when asked to. Everything
// else has no text.
// A plain class without widgets; it reads files from outside, so every read is bounded, and it
// may take seconds on a large file: callers run it off the window's thread for those.

#include "reports/WorkbookPackage.h"

#include <QString>
#include <QStringList>

#include <atomic>

namespace quarvel {

enum class ExtractionOutcome {
    Text,    // pages holds the text (some pages may be empty)
    NoText,  // a format without a text layer, or a file without any text
    Failed,  // the file could not be read; reason says why
};

struct ExtractedText {
    ExtractionOutcome outcome = ExtractionOutcome::NoText;
    QStringList pages;       // page 1 first: a PDF page, a sheet, a slide, a part of a long text
    QString reason;          // why there is no text or why it failed, in words
    bool truncated = false;  // a limit cut the text short; what was read is kept
    // Read without recognition: the file is a picture or a PDF with a page without a text
    // layer, so its full text needs recognition (off the window's thread).
    bool needsRecognition = false;
};

// What is read at most.
struct ExtractionLimits {
    qint64 fileBytes = qint64(1) << 30;                         // larger files are not read
    int pages = 10000;                                          // pages, sheets or slides
    qint64 characters = 64 * 1024 * 1024;                       // text kept over all pages
    qint64 plainPageCharacters = 64 * 1024;                     // plain text is cut into pages of about this size
    xlsx::PackageLimits package{20000, 64 * 1024 * 1024, 256};  // Office packages: entries, part size, depth
    // Pictures and PDF pages without a text layer are recognized (seconds a page: never on the
    // window's thread); when not, such a file is marked needsRecognition.
    bool recognize = false;
    // Looked at between pages and by the recognizer; set, the text read is incomplete.
    const std::atomic_bool* cancelled = nullptr;
};

class TextExtraction {
public:
    // The text of the file at path; `extension` (without the dot, any case) names its format as
    // the document stores it (附件后缀).
    static ExtractedText extract(const QString& path, const QString& extension, const ExtractionLimits& limits = {});

    // Whether the format may hold text that extract reads.
    static bool readsFormat(const QString& extension);
    // Whether the format is a picture, whose text only recognition reads.
    static bool isPicture(const QString& extension);
};

}  // namespace quarvel
