#include "library/TextExtraction.h"

#include "library/TextRecognition.h"

#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace quarvel {
namespace {

constexpr qint64 kReadPiece = 1024 * 1024;

// The pages read so far, within the limits of pages and characters over all of them.
class Pages {
public:
    explicit Pages(const ExtractionLimits& limits) : m_limits(limits) {}

    bool full() const { return m_full; }
    // Starts the next page; false when the page limit is reached.
    bool begin()
    {
        if (int(m_pages.size()) >= m_limits.pages) {
            m_full = true;
            return false;
        }
        m_pages.append(QString());
        return true;
    }
    void append(QStringView text)
    {
        if (m_full || m_pages.isEmpty())
            return;
        const qint64 room = m_limits.characters - m_count;
        if (text.size() > room) {
            text = text.left(room);
            m_full = true;
        }
        m_pages.last().append(text);
        m_count += text.size();
    }
    void append(QChar c) { append(QStringView(&c, 1)); }
    QString& current() { return m_pages.last(); }

    ExtractedText result(const QString& noTextReason) &&
    {
        ExtractedText out;
        out.truncated = m_full;
        const bool any = std::any_of(m_pages.cbegin(), m_pages.cend(),
                                     [](const QString& p) { return !p.trimmed().isEmpty(); });
        if (!any) {
            out.outcome = ExtractionOutcome::NoText;
            out.reason = noTextReason;
            return out;
        }
        out.outcome = ExtractionOutcome::Text;
        out.pages = std::move(m_pages);
        return out;
    }

private:
    const ExtractionLimits& m_limits;
    QStringList m_pages;
    qint64 m_count = 0;
    bool m_full = false;
};

ExtractedText failed(const QString& reason)
{
    ExtractedText out;
    out.outcome = ExtractionOutcome::Failed;
    out.reason = reason;
    return out;
}

ExtractedText noText(const QString& reason)
{
    ExtractedText out;
    out.reason = reason;
    return out;
}

// --- XML parts, read within the depth limit -----------------------------------------------

// Walks a part's elements; `onStart`/`onEnd` see each element, `onText` the characters. An
// empty text when the part was read whole, else why not.
struct XmlHandlers {
    std::function<void(QXmlStreamReader&)> onStart;
    std::function<void(QXmlStreamReader&)> onEnd;
    std::function<void(QStringView)> onText;
};

QString walkXml(const QByteArray& bytes, int depthLimit, const XmlHandlers& h, const std::function<bool()>& stop)
{
    QXmlStreamReader xml(bytes);
    int depth = 0;
    while (!xml.atEnd() && !stop()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > depthLimit)
                return QStringLiteral("XML 层次超过 %1 层").arg(depthLimit);
            if (h.onStart)
                h.onStart(xml);
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            if (h.onEnd)
                h.onEnd(xml);
            break;
        case QXmlStreamReader::Characters:
            if (h.onText)
                h.onText(xml.text());
            break;
        default: break;
        }
    }
    if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        return QStringLiteral("XML 无效（%1）").arg(xml.errorString());
    return {};
}

// The parts "prefix" + number + ".xml" of a package in the order of their numbers.
QStringList numberedParts(const QStringList& names, const QString& prefix)
{
    const QRegularExpression pattern(
        QStringLiteral("^") + QRegularExpression::escape(prefix) + QStringLiteral("(\\d+)\\.xml$"),
        QRegularExpression::CaseInsensitiveOption);
    QList<QPair<qint64, QString>> found;
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (m.hasMatch())
            found.append({m.captured(1).toLongLong(), name});
    }
    std::sort(found.begin(), found.end());
    QStringList out;
    for (const auto& f : found)
        out << f.second;
    return out;
}

// Paragraph text of WordprocessingML and DrawingML: runs' "t", tabs, breaks, a line per
// paragraph; a page break of a Word document starts a new page.
XmlHandlers paragraphText(Pages& pages, bool pageBreaks)
{
    auto inText = std::make_shared<bool>(false);
    XmlHandlers h;
    h.onStart = [&pages, inText, pageBreaks](QXmlStreamReader& x) {
        const QStringView n = x.name();
        if (n == u"t")
            *inText = true;
        else if (n == u"tab")
            pages.append(u'\t');
        else if (n == u"br" || n == u"cr") {
            if (pageBreaks && x.attributes().value(QStringLiteral("w:type")) == u"page")
                pages.begin();
            else
                pages.append(u'\n');
        }
    };
    h.onEnd = [&pages, inText](QXmlStreamReader& x) {
        const QStringView n = x.name();
        if (n == u"t")
            *inText = false;
        else if (n == u"p")
            pages.append(u'\n');
    };
    h.onText = [&pages, inText](QStringView text) {
        if (*inText)
            pages.append(text);
    };
    return h;
}

ExtractedText officeText(const QString& path, const QString& format, const ExtractionLimits& limits)
{
    xlsx::PackageReader package(path, limits.package);
    const DbStatus opened = package.open();
    if (!opened.ok())
        return failed(opened.error.description);
    const QStringList names = package.partNames();
    Pages pages(limits);
    const auto stop = [&pages] { return pages.full(); };
    const int depth = limits.package.depth;

    const auto readPart = [&](const QString& name, const XmlHandlers& h) -> QString {
        const DbResult<QByteArray> bytes = package.part(name);
        if (!bytes.ok())
            return bytes.error.description;
        const QString why = walkXml(bytes.value, depth, h, stop);
        return why.isEmpty() ? why : QStringLiteral("%1：%2").arg(name, why);
    };

    if (format == u"docx") {
        pages.begin();
        const QString why = readPart(QStringLiteral("word/document.xml"), paragraphText(pages, true));
        if (!why.isEmpty())
            return failed(why);
    } else if (format == u"pptx") {
        for (const QString& slide : numberedParts(names, QStringLiteral("ppt/slides/slide"))) {
            if (!pages.begin())
                break;
            const QString why = readPart(slide, paragraphText(pages, false));
            if (!why.isEmpty())
                return failed(why);
        }
    } else {
        // Shared strings first: cells of type "s" name them by number.
        QStringList shared;
        if (names.contains(QStringLiteral("xl/sharedStrings.xml"), Qt::CaseInsensitive)) {
            bool inText = false;
            bool inPhonetic = false;
            qint64 sharedChars = 0;
            XmlHandlers h;
            h.onStart = [&](QXmlStreamReader& x) {
                if (x.name() == u"si")
                    shared.append(QString());
                else if (x.name() == u"t")
                    inText = true;
                else if (x.name() == u"rPh")
                    inPhonetic = true;
            };
            h.onEnd = [&](QXmlStreamReader& x) {
                if (x.name() == u"t")
                    inText = false;
                else if (x.name() == u"rPh")
                    inPhonetic = false;
            };
            h.onText = [&](QStringView text) {
                if (inText && !inPhonetic && !shared.isEmpty() && sharedChars < limits.characters) {
                    shared.last().append(text);
                    sharedChars += text.size();
                }
            };
            const QString why = readPart(QStringLiteral("xl/sharedStrings.xml"), h);
            if (!why.isEmpty())
                return failed(why);
        }
        for (const QString& sheet : numberedParts(names, QStringLiteral("xl/worksheets/sheet"))) {
            if (!pages.begin())
                break;
            QString type;
            QString value;
            bool inValue = false;
            bool firstCell = true;
            XmlHandlers h;
            h.onStart = [&](QXmlStreamReader& x) {
                const QStringView n = x.name();
                if (n == u"c") {
                    type = x.attributes().value(QStringLiteral("t")).toString();
                    value.clear();
                } else if (n == u"v" || n == u"t") {
                    inValue = true;
                } else if (n == u"row") {
                    firstCell = true;
                }
            };
            h.onEnd = [&](QXmlStreamReader& x) {
                const QStringView n = x.name();
                if (n == u"v" || n == u"t") {
                    inValue = false;
                } else if (n == u"c") {
                    QString text = value;
                    if (type == u"s") {
                        bool ok = false;
                        const int index = value.trimmed().toInt(&ok);
                        text = ok && index >= 0 && index < shared.size() ? shared.at(index) : QString();
                    }
                    if (!text.isEmpty()) {
                        if (!firstCell)
                            pages.append(u'\t');
                        pages.append(text);
                        firstCell = false;
                    }
                } else if (n == u"row") {
                    if (!firstCell)
                        pages.append(u'\n');
                }
            };
            h.onText = [&](QStringView text) {
                if (inValue)
                    value.append(text);
            };
            const QString why = readPart(sheet, h);
            if (!why.isEmpty())
                return failed(why);
        }
    }
    return std::move(pages).result(QStringLiteral("文件中没有文字"));
}

// --- PDF ------------------------------------------------------------------------------------

// One recognizer per thread that recognizes: loading its data takes a good part of a second,
// and a recognizer belongs to the thread that made it.
TextRecognizer& recognizer()
{
    thread_local std::unique_ptr<TextRecognizer> own;
    if (!own)
        own = std::make_unique<TextRecognizer>();
    return *own;
}

bool isCancelled(const ExtractionLimits& limits) { return limits.cancelled && limits.cancelled->load(); }

// A PDF page rendered at about 300 dpi, within the recognizer's largest picture.
QImage renderPage(QPdfDocument& document, int page)
{
    const QSizeF points = document.pagePointSize(page);
    if (points.isEmpty())
        return {};
    QSizeF pixels = points * (300.0 / 72.0);
    const double side = std::max(pixels.width(), pixels.height());
    if (side > TextRecognizer::kMostSide)
        pixels *= TextRecognizer::kMostSide / side;
    const double area = pixels.width() * pixels.height();
    if (area > double(TextRecognizer::kMostPixels))
        pixels *= std::sqrt(double(TextRecognizer::kMostPixels) / area);
    return document.render(page, pixels.toSize());
}

ExtractedText pdfText(const QString& path, const ExtractionLimits& limits)
{
    QPdfDocument document;
    const QPdfDocument::Error error = document.load(path);
    if (error == QPdfDocument::Error::IncorrectPassword)
        return failed(QStringLiteral("PDF 文件已加密"));
    if (error != QPdfDocument::Error::None)
        return failed(QStringLiteral("PDF 文件无法读取（错误 %1）").arg(int(error)));
    Pages pages(limits);
    bool needsRecognition = false;
    QString recognitionFailure;
    for (int page = 0; page < document.pageCount() && pages.begin(); ++page) {
        const QString text = document.getAllText(page).text();
        if (!text.trimmed().isEmpty()) {
            pages.append(text);
            continue;
        }
        // A page without a text layer: a scan, read by recognition.
        if (!limits.recognize) {
            needsRecognition = true;
            continue;
        }
        if (isCancelled(limits))
            break;
        const DbResult<QString> read = recognizer().recognize(renderPage(document, page), limits.cancelled);
        if (read.ok())
            pages.append(read.value);
        else if (recognitionFailure.isEmpty())
            recognitionFailure = read.error.description;
    }
    document.close();
    ExtractedText out = std::move(pages).result(
        recognitionFailure.isEmpty() ? QStringLiteral("PDF 没有文字层（可能是扫描件）") : recognitionFailure);
    out.needsRecognition = needsRecognition;
    return out;
}

// --- plain text -----------------------------------------------------------------------------

// Reads the file in pieces through the decoder; false when the decoder met bytes that are not
// of its encoding.
bool decodeText(QFile& file, QStringDecoder& decoder, Pages& pages, const ExtractionLimits& limits)
{
    pages.begin();
    while (!file.atEnd() && !pages.full()) {
        const QByteArray piece = file.read(kReadPiece);
        if (piece.isEmpty())
            break;
        QString text = decoder.decode(piece);
        if (decoder.hasError())
            return false;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        // A long text is cut into pages at a line end near the page size, so that a hit names
        // the part it is in and a snippet is built from a page of moderate length.
        qsizetype from = 0;
        while (from < text.size() && !pages.full()) {
            const qint64 room = limits.plainPageCharacters - pages.current().size();
            if (text.size() - from <= room) {
                pages.append(QStringView(text).mid(from));
                break;
            }
            qsizetype cut = text.lastIndexOf(u'\n', from + room);
            if (cut < from)
                cut = from + room;
            else
                ++cut;
            pages.append(QStringView(text).mid(from, cut - from));
            from = cut;
            if (!pages.begin())
                break;
        }
    }
    return true;
}

ExtractedText plainText(const QString& path, const ExtractionLimits& limits)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("文件无法打开（%1）").arg(file.errorString()));
    // A byte-order mark names UTF-16 or UTF-32; otherwise UTF-8 when every byte is valid UTF-8,
    // else the Chinese code page (GB18030, a superset of GBK).
    const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(file.peek(4));
    {
        QStringDecoder decoder(marked.value_or(QStringConverter::Utf8));
        Pages pages(limits);
        if (decodeText(file, decoder, pages, limits))
            return std::move(pages).result(QStringLiteral("文件中没有文字"));
    }
    QStringDecoder gbk("GB18030");
    if (!gbk.isValid())
        return failed(QStringLiteral("没有 GB18030 编码的转换"));
    file.seek(0);
    Pages pages(limits);
    decodeText(file, gbk, pages, limits);
    return std::move(pages).result(QStringLiteral("文件中没有文字"));
}

const QStringList& plainFormats()
{
    static const QStringList formats{QStringLiteral("txt"), QStringLiteral("text"), QStringLiteral("csv"),
                                     QStringLiteral("log"), QStringLiteral("md"),   QStringLiteral("ini")};
    return formats;
}

// --- pictures -------------------------------------------------------------------------------

ExtractedText pictureText(const QString& path, const ExtractionLimits& limits)
{
    if (!limits.recognize) {
        ExtractedText out = noText(QStringLiteral("图片的文字须经文字识别"));
        out.needsRecognition = true;
        return out;
    }
    TextRecognizer& engine = recognizer();
    if (!engine.isReady())
        return noText(engine.whyNotReady());
    const DbResult<QString> read = engine.recognizeFile(path, limits.cancelled);
    if (!read.ok())
        return failed(read.error.description);
    Pages pages(limits);
    pages.begin();
    pages.append(read.value);
    return std::move(pages).result(QStringLiteral("图片中没有识别出文字"));
}

const QStringList& pictureFormats()
{
    static const QStringList formats{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("bmp"),
                                     QStringLiteral("png"), QStringLiteral("tif"),  QStringLiteral("tiff")};
    return formats;
}

}  // namespace

bool TextExtraction::isPicture(const QString& extension)
{
    return pictureFormats().contains(extension.trimmed().toLower());
}

bool TextExtraction::readsFormat(const QString& extension)
{
    const QString format = extension.trimmed().toLower();
    return isPicture(format) || format == u"pdf" || format == u"docx" || format == u"xlsx" || format == u"pptx"
           || plainFormats().contains(format);
}

ExtractedText TextExtraction::extract(const QString& path, const QString& extension, const ExtractionLimits& limits)
{
    const QString format = extension.trimmed().toLower();
    if (!readsFormat(format))
        return noText(QStringLiteral("%1 格式不提取文字").arg(format.isEmpty() ? QStringLiteral("无后缀") : format));
    const QFileInfo info(path);
    if (!info.isFile())
        return failed(QStringLiteral("文件不存在"));
    if (info.size() > limits.fileBytes)
        return noText(QStringLiteral("文件超过 %1 MB，不提取文字").arg(limits.fileBytes >> 20));
    if (format == u"pdf")
        return pdfText(path, limits);
    if (isPicture(format))
        return pictureText(path, limits);
    if (format == u"docx" || format == u"xlsx" || format == u"pptx")
        return officeText(path, format, limits);
    return plainText(path, limits);
}

}  // namespace quarvel
