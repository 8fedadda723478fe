#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>
#include <QWidget>

namespace quarvel {

// Renders the background picture "MDI.BMP" of the program folder, stretched to the inner area
// of the main window. It is read from disk at every call: nothing is cached.
class Frmtu {
public:
    // A null pixmap when the file is missing or unreadable (a plain background then).
    static QPixmap render(const QString& programFolder, const QSize& size);
};

}  // namespace quarvel
