#pragma once

// Texts with marked runs: a list cell may hold words to be shown as hits (the words found by a
// search), each between kTextMarkStart and kTextMarkEnd. The marks are never shown, copied or
// exported: the grid's display text leaves them out and MarkedTextDelegate draws the runs.

#include <QString>
#include <QStringView>

namespace quarvel {

inline constexpr QChar kTextMarkStart = QChar(0x0002);
inline constexpr QChar kTextMarkEnd = QChar(0x0003);

// One pass over the text: the grid asks it of every cell it shows.
inline bool hasTextMarks(QStringView text)
{
    for (const QChar c : text) {
        if (c == kTextMarkStart || c == kTextMarkEnd)
            return true;
    }
    return false;
}

// The text without its marks.
inline QString withoutTextMarks(QStringView text)
{
    QString plain;
    plain.reserve(text.size());
    for (const QChar c : text) {
        if (c != kTextMarkStart && c != kTextMarkEnd)
            plain.append(c);
    }
    return plain;
}

}  // namespace quarvel
