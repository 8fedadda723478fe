#include "widgets/grid/GridFormat.h"

namespace quarvel {

bool looksNumeric(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    bool ok = false;
    trimmed.toDouble(&ok);
    return ok;
}

Qt::Alignment alignmentFlags(int code, const QString& text)
{
    switch (code) {
    case GridAlign::LeftTop: return Qt::AlignLeft | Qt::AlignTop;
    case GridAlign::LeftCenter: return Qt::AlignLeft | Qt::AlignVCenter;
    case GridAlign::LeftBottom: return Qt::AlignLeft | Qt::AlignBottom;
    case GridAlign::CenterTop: return Qt::AlignHCenter | Qt::AlignTop;
    case GridAlign::CenterCenter: return Qt::AlignHCenter | Qt::AlignVCenter;
    case GridAlign::CenterBottom: return Qt::AlignHCenter | Qt::AlignBottom;
    case GridAlign::RightTop: return Qt::AlignRight | Qt::AlignTop;
    case GridAlign::RightCenter: return Qt::AlignRight | Qt::AlignVCenter;
    case GridAlign::RightBottom: return Qt::AlignRight | Qt::AlignBottom;
    default: return (looksNumeric(text) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
}

QList<FormatColumn> parseFormatString(const QString& format)
{
    QList<FormatColumn> columns;
    if (format.isEmpty())
        return columns;
    const QStringList pieces = format.split(QLatin1Char('|'));
    columns.reserve(pieces.size());
    for (const QString& piece : pieces) {
        FormatColumn column;
        column.header = piece;
        if (!piece.isEmpty()) {
            const QChar mark = piece.at(0);
            int code = -1;
            if (mark == QLatin1Char('<'))
                code = GridAlign::LeftCenter;
            else if (mark == QLatin1Char('^'))
                code = GridAlign::CenterCenter;
            else if (mark == QLatin1Char('>'))
                code = GridAlign::RightCenter;
            if (code >= 0) {
                column.alignment = code;
                column.header = piece.mid(1);
            }
        }
        columns.append(column);
    }
    return columns;
}

namespace {

bool isWide(char32_t u)
{
    return (u >= 0x1100 && u <= 0x115F)        // Hangul Jamo
           || (u >= 0x2E80 && u <= 0x303E)     // CJK radicals, symbols and punctuation
           || (u >= 0x3041 && u <= 0x33FF)     // kana, bopomofo, CJK compatibility
           || (u >= 0x3400 && u <= 0x4DBF)     // CJK extension A
           || (u >= 0x4E00 && u <= 0x9FFF)     // CJK unified ideographs
           || (u >= 0xA000 && u <= 0xA4CF)     // Yi
           || (u >= 0xAC00 && u <= 0xD7A3)     // Hangul syllables
           || (u >= 0xF900 && u <= 0xFAFF)     // CJK compatibility ideographs
           || (u >= 0xFE30 && u <= 0xFE4F)     // CJK compatibility forms
           || (u >= 0xFF00 && u <= 0xFF60)     // full-width forms
           || (u >= 0xFFE0 && u <= 0xFFE6)     // full-width signs
           || (u >= 0x20000 && u <= 0x3FFFD);  // CJK extensions B and later
}

}  // namespace

int displayColumns(const QString& text)
{
    int cells = 0;
    for (const char32_t u : text.toUcs4())
        cells += isWide(u) ? 2 : 1;
    return cells;
}

QColor colorFromNumber(quint32 number)
{
    return QColor(static_cast<int>(number & 0xFF), static_cast<int>((number >> 8) & 0xFF),
                  static_cast<int>((number >> 16) & 0xFF));
}

quint32 colorToNumber(const QColor& color)
{
    return static_cast<quint32>(color.red()) | (static_cast<quint32>(color.green()) << 8)
           | (static_cast<quint32>(color.blue()) << 16);
}

}  // namespace quarvel
