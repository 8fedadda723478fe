#include "DocumentFiles.h"

#include <QFile>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QStringEncoder>

#include <minizip/zip.h>

namespace quarvel::test {

bool writePdf(const QString& path, const QStringList& pageTexts)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    QPainter painter(&writer);
    if (!painter.isActive())
        return false;
    painter.setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 14));
    for (int k = 0; k < pageTexts.size(); ++k) {
        if (k > 0)
            writer.newPage();
        painter.drawText(QPointF(40, 80), pageTexts.at(k));
    }
    return painter.end();
}

QImage printedPicture(const QStringList& lines)
{
    QImage page(1400, 140 * int(lines.size()) + 80, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(72);
    p.setFont(font);
    p.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i)
        p.drawText(60, 120 + 140 * i, lines.at(i));
    return page;
}

bool writeScannedPdf(const QString& path, const QImage& page)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    QPainter painter(&writer);
    if (!painter.isActive())
        return false;
    // The print of printedPicture comes out at about 13 points, as on a scanned letter.
    const QRect area(40, 40, 250, 250 * page.height() / page.width());
    painter.drawImage(area, page);
    return painter.end();
}

bool writePackage(const QString& path, const QList<QPair<QString, QByteArray>>& parts)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto& [name, bytes] : parts) {
        zip_fileinfo info{};
        ok = ok
             && zipOpenNewFileInZip64(zip, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0)
                    == ZIP_OK
             && zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())) == ZIP_OK
             && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool writeDocx(const QString& path, const QStringList& paragraphs)
{
    QString body;
    for (const QString& p : paragraphs)
        body += QStringLiteral("<w:p><w:r><w:t xml:space=\"preserve\">%1</w:t></w:r></w:p>").arg(p.toHtmlEscaped());
    const QString document = QStringLiteral(
                                 "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                                 "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                                 "<w:body>%1</w:body></w:document>")
                                 .arg(body);
    const QByteArray types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Override PartName=\"/word/"
        "document.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";
    return writePackage(path, {{QStringLiteral("[Content_Types].xml"), types},
                               {QStringLiteral("word/document.xml"), document.toUtf8()}});
}

bool writeGbkText(const QString& path, const QString& text)
{
    QStringEncoder encoder("GB18030");
    const QByteArray bytes = encoder.encode(text);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace quarvel::test
