#pragma once

// Small documents of each format the full-text extraction reads, written by the tests.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace quarvel::test {

// A PDF with one page per text, drawn in a Chinese font (a text layer, not a picture).
bool writePdf(const QString& path, const QStringList& pageTexts);
// A zip package of the given parts (name, bytes), deflated.
bool writePackage(const QString& path, const QList<QPair<QString, QByteArray>>& parts);
// A Word document whose body holds one paragraph per text.
bool writeDocx(const QString& path, const QStringList& paragraphs);
// Text in the Chinese code page (GB18030, of which GBK is the common part).
bool writeGbkText(const QString& path, const QString& text);

}  // namespace quarvel::test
