#pragma once

// The pieces of a grid that do not need a widget: alignment codes and their Qt flags, the
// parsing of format strings, the display length of header texts and colour numbers.

#include <QColor>
#include <QList>
#include <QString>

namespace quarvel {

// Alignment codes of a grid column or cell.
namespace GridAlign {
enum Code : int {
    LeftTop = 0,
    LeftCenter = 1,
    LeftBottom = 2,
    CenterTop = 3,
    CenterCenter = 4,
    CenterBottom = 5,
    RightTop = 6,
    RightCenter = 7,
    RightBottom = 8,
    General = 9,  // text left, numbers right, vertically centred
};
}  // namespace GridAlign

inline bool isValidAlignmentCode(int code) { return code >= GridAlign::LeftTop && code <= GridAlign::General; }

// True when the text, blanks around it ignored, reads as a number ("12", "-3.5", "1e3").
bool looksNumeric(const QString& text);

// Qt flags for an alignment code; for General the text decides (numbers right, the rest
// left). An unknown code is treated as General.
Qt::Alignment alignmentFlags(int code, const QString& text = QString());

// One column of a format string.
struct FormatColumn {
    QString header;  // the header text as written, blanks included, without its mark
    int alignment = GridAlign::General;
};

// Parses a format string: "|" separates the columns; a column that starts with "<" is left
// aligned (LeftCenter), "^" centred (CenterCenter), ">" right aligned (RightCenter); without a
// mark the column keeps the general alignment. Header texts keep their blanks, which set the
// initial widths. A final "|" ends an extra last column with an empty header, so "a|b|" has
// three columns. An empty string gives no columns.
QList<FormatColumn> parseFormatString(const QString& format);

// Display length of a text in character cells: wide (East Asian) characters count two cells,
// every other character one, as in a double-byte code page.
int displayColumns(const QString& text);

// Colour numbers store red in the low byte and blue in the high byte: 255 is red,
// 16711680 (0xFF0000) is blue, 14737632 (0xE0E0E0) light grey.
QColor colorFromNumber(quint32 number);
quint32 colorToNumber(const QColor& color);

}  // namespace quarvel
