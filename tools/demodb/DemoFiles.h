#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace quarvel::demo {

class Random;

// One titled section of a generated document.
struct TextSection {
    QString heading;
    QStringList paragraphs;
};

// The text of a generated document: title, a line under it and its sections.
struct DocumentText {
    QString title;
    QString subtitle;
    QList<TextSection> sections;
};

// What a generated picture shows.
enum class PictureKind { BarChart, FlowChart, Drawing };

// A small table for a generated spreadsheet.
struct SheetData {
    QString sheetName;
    QString title;
    QStringList header;
    QList<QVariantList> rows;  // numbers stay numbers in the sheet
};

// Chinese text for a document of the given name whose type belongs to the top type topCode
// ("01" rules, "02" technical, "03" sales, "04" quality, "05" minutes; anything else gets
// general text).
DocumentText composeDocumentText(const QString& name, const QString& topCode, const QString& subtitle, Random& random);

// Renders the demo files. Painting needs a QGuiApplication; the first CJK-capable font family
// that is installed is used for Chinese text, otherwise the default font.
class FileFactory {
public:
    FileFactory();

    const QString& fontFamily() const { return m_family; }

    QByteArray pdf(const DocumentText& text) const;
    QByteArray png(const QString& title, PictureKind kind, const QStringList& labels, const QList<int>& values) const;
    static QByteArray text(const DocumentText& text);
    // An .xlsx workbook; empty with *error set when the workbook cannot be written.
    static QByteArray xlsx(const SheetData& sheet, QString* error);
    // Plain UTF-8 text of exactly size bytes (cheap filler for large synthetic files).
    static QByteArray filler(const QString& title, qint64 size);

private:
    QString m_family;
};

}  // namespace quarvel::demo
