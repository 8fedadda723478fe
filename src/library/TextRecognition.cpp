#include "library/TextRecognition.h"

#include <QFileInfo>
#include <QImageReader>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

namespace quarvel {
namespace {

// The languages read: simplified Chinese, with English for the Latin words and numbers that
// Chinese documents carry.
constexpr const char* kLanguages = "chi_sim+eng";

bool isLatinOrDigit(QChar c) { return c.unicode() < 0x3000 && (c.isLetterOrNumber() || c.isPunct()); }

DbError failure(const QString& text) { return DbError::make(-1, text); }

}  // namespace

struct TextRecognizer::Engine {
    tesseract::TessBaseAPI api;
    bool ready = false;
    QString why;
};

TextRecognizer::TextRecognizer() : m_engine(std::make_unique<Engine>())
{
    // The engine's warnings (a picture without a resolution, …) are no news for the user.
    m_engine->api.SetVariable("debug_file", "/dev/null");
    if (m_engine->api.Init(nullptr, kLanguages, tesseract::OEM_LSTM_ONLY) != 0) {
        m_engine->why = QStringLiteral("没有找到文字识别的中文数据(tesseract-ocr-chi-sim)");
        return;
    }
    m_engine->api.SetVariable("debug_file", "/dev/null");
    m_engine->api.SetPageSegMode(tesseract::PSM_AUTO);
    m_engine->ready = true;
}

TextRecognizer::~TextRecognizer()
{
    if (m_engine->ready)
        m_engine->api.End();
}

bool TextRecognizer::isReady() const { return m_engine->ready; }

QString TextRecognizer::whyNotReady() const { return m_engine->why; }

DbResult<QString> TextRecognizer::recognize(const QImage& picture, const std::atomic_bool* cancelled)
{
    using Result = DbResult<QString>;
    if (!m_engine->ready)
        return Result::failure(failure(m_engine->why));
    if (picture.isNull() || picture.width() < 3 || picture.height() < 3)
        return {};
    QImage gray = picture;
    if (gray.width() > kMostSide || gray.height() > kMostSide || qint64(gray.width()) * gray.height() > kMostPixels)
        gray = gray.scaled(QSize(kMostSide, kMostSide).boundedTo(gray.size()), Qt::KeepAspectRatio,
                           Qt::SmoothTransformation);
    // A transparent picture is read as it shows on white paper.
    if (gray.hasAlphaChannel()) {
        QImage paper(gray.size(), QImage::Format_RGB32);
        paper.fill(Qt::white);
        QImage over = gray.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < over.height(); ++y) {
            auto* out = reinterpret_cast<QRgb*>(paper.scanLine(y));
            const auto* in = reinterpret_cast<const QRgb*>(over.constScanLine(y));
            for (int x = 0; x < over.width(); ++x) {
                const int a = qAlpha(in[x]);
                const auto blend = [a](int premultiplied) { return premultiplied + (255 - a); };
                out[x] = qRgb(blend(qRed(in[x])), blend(qGreen(in[x])), blend(qBlue(in[x])));
            }
        }
        gray = paper;
    }
    gray = gray.convertToFormat(QImage::Format_Grayscale8);

    tesseract::TessBaseAPI& api = m_engine->api;
    api.SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
    api.SetSourceResolution(300);
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = [](void* flag, int) {
        return flag != nullptr && static_cast<const std::atomic_bool*>(flag)->load(std::memory_order_relaxed);
    };
    monitor.cancel_this = const_cast<std::atomic_bool*>(cancelled);
    monitor.set_deadline_msecs(kMostMilliseconds);
    const int rc = api.Recognize(&monitor);
    if (cancelled && cancelled->load()) {
        api.Clear();
        return Result::failure(failure(QStringLiteral("文字识别已取消")));
    }
    if (monitor.deadline_exceeded()) {
        api.Clear();
        return Result::failure(failure(QStringLiteral("文字识别超时")));
    }
    if (rc != 0) {
        api.Clear();
        return Result::failure(failure(QStringLiteral("文字识别失败")));
    }
    std::unique_ptr<char[]> text(api.GetUTF8Text());
    api.Clear();
    return {joinRecognizedText(QString::fromUtf8(text ? text.get() : "")), {}};
}

DbResult<QString> TextRecognizer::recognizeFile(const QString& path, const std::atomic_bool* cancelled)
{
    using Result = DbResult<QString>;
    const QFileInfo info(path);
    if (!info.isFile())
        return Result::failure(failure(QStringLiteral("找不到文件:%1").arg(path)));
    if (info.size() > kMostFileBytes)
        return Result::failure(failure(QStringLiteral("图片文件太大,不作文字识别:%1").arg(path)));
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Never more than the largest picture read, decoded: a small file that claims a huge
    // picture is refused by the reader, not allocated.
    reader.setAllocationLimit(int(kMostPixels * 4 / (1024 * 1024)) + 1);
    const QSize size = reader.size();
    if (size.isValid()
        && (size.width() > kMostSide || size.height() > kMostSide
            || qint64(size.width()) * size.height() > kMostPixels))
        reader.setScaledSize(size.scaled(QSize(kMostSide, kMostSide), Qt::KeepAspectRatio));
    const QImage picture = reader.read();
    if (picture.isNull())
        return Result::failure(failure(QStringLiteral("读不出图片:%1(%2)").arg(path, reader.errorString())));
    return recognize(picture, cancelled);
}

QString joinRecognizedText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u' ' && !out.isEmpty()) {
            qsizetype next = i;
            while (next < text.size() && text.at(next) == u' ')
                ++next;
            const QChar before = out.back();
            const QChar after = next < text.size() ? text.at(next) : QChar(u'\n');
            const bool between = !before.isSpace() && !after.isSpace() && !isLatinOrDigit(before)
                                 && !isLatinOrDigit(after);
            if (between) {
                i = next - 1;
                continue;
            }
        }
        out.append(c);
    }
    // The engine ends a page with a form feed and blank lines.
    while (!out.isEmpty() && (out.back().isSpace() || out.back() == u'\f'))
        out.chop(1);
    return out;
}

}  // namespace quarvel
