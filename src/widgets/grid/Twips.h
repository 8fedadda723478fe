#pragma once

// Lengths of window elements are given in twips: 1/1440 of an inch. These helpers convert
// them to pixels and back with the logical resolution of the screen that shows the widget
// (or of the primary screen when there is no widget yet; 96 dots per inch without a screen).

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace quarvel {

inline constexpr int TwipsPerInch = 1440;

// Logical dots per inch horizontally (X) or vertically for the widget.
inline double logicalDpi(const QWidget* widget, Qt::Orientation orientation = Qt::Horizontal)
{
    if (widget)
        return orientation == Qt::Horizontal ? widget->logicalDpiX() : widget->logicalDpiY();
    if (qGuiApp) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return orientation == Qt::Horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    }
    return 96.0;
}

// Rounded to the nearest whole pixel; negative lengths keep their sign.
inline int twipsToPixels(int twips, const QWidget* widget, Qt::Orientation orientation = Qt::Horizontal)
{
    return static_cast<int>(std::lround(twips * logicalDpi(widget, orientation) / TwipsPerInch));
}

inline int pixelsToTwips(int pixels, const QWidget* widget, Qt::Orientation orientation = Qt::Horizontal)
{
    const double dpi = logicalDpi(widget, orientation);
    return dpi > 0 ? static_cast<int>(std::lround(pixels * TwipsPerInch / dpi)) : 0;
}

// A rectangle given as left, top, width and height in twips, in pixels.
inline QRect twipsToPixels(int left, int top, int width, int height, const QWidget* widget)
{
    return QRect(twipsToPixels(left, widget, Qt::Horizontal), twipsToPixels(top, widget, Qt::Vertical),
                 twipsToPixels(width, widget, Qt::Horizontal), twipsToPixels(height, widget, Qt::Vertical));
}

}  // namespace quarvel
