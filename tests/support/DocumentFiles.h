#pragma once

// Small documents of each format the full-text extraction reads, written by the tests.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace quarvel::test {

// A PDF with one page per text, drawn in a Chinese font (a text layer, not a picture).
bool writePdf(const QString& path, const QStringList& pageTexts);
// A white picture with one line of black print per text, 72 pixels high, in a Chinese font.
QImage printedPicture(const QStringList& lines);
// A PDF whose one page is the picture alone, 250 points wide (a scan: no text layer).
bool writeScannedPdf(const QString& path, const QImage& page);
// A zip package of the given parts (name, bytes), deflated.
bool writePackage(const QString& path, const QList<QPair<QString, QByteArray>>& parts);
// A Word document whose body holds one paragraph per text.
bool writeDocx(const QString& path, const QStringList& paragraphs);
// Text in the Chinese code page (GB18030, of which GBK is the common part).
bool writeGbkText(const QString& path, const QString& text);

}  // namespace quarvel::test
