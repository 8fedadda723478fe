#pragma once

#include "db/DbError.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <memory>

namespace quarvel {

// Reads printed text off pictures: scanned pages and photographed documents, with the
// recognition engine's simplified-Chinese and English data. One recognizer holds the loaded
// data (loading it takes a good part of a second), so a run over many pictures keeps one; it
// belongs to the thread that made it. Never run it on the user-interface thread: a page takes
// seconds.
class TextRecognizer {
public:
    // The largest picture read, in pixels on either side and in all; a larger one is scaled
    // down to fit, never read whole.
    static constexpr int kMostSide = 8000;
    static constexpr qint64 kMostPixels = 40'000'000;
    // A picture file larger than this is not read at all.
    static constexpr qint64 kMostFileBytes = 64 * 1024 * 1024;
    // The longest one picture may take.
    static constexpr int kMostMilliseconds = 120'000;

    TextRecognizer();
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // Whether the engine and its language data were found.
    bool isReady() const;
    // Why not, in words, when it is not.
    QString whyNotReady() const;

    // The text of a picture, its lines kept, the blanks the engine puts between Chinese
    // characters taken out; empty when there is none. `cancelled` is looked at between words.
    DbResult<QString> recognize(const QImage& picture, const std::atomic_bool* cancelled = nullptr);
    // The same for a picture file (JPEG, BMP, PNG, TIFF…), read within the limits above.
    DbResult<QString> recognizeFile(const QString& path, const std::atomic_bool* cancelled = nullptr);

private:
    struct Engine;
    std::unique_ptr<Engine> m_engine;
};

// The engine's blanks between two characters that are not Latin letters or digits (Chinese
// characters, Chinese punctuation) taken out; other blanks and line ends kept.
QString joinRecognizedText(const QString& text);

}  // namespace quarvel
