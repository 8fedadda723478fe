#pragma once

#include <QImage>
#include <QSize>

class QWidget;

namespace quarvel::test {

// Shows a window (the tests run on the off-screen platform) at the size it gives itself, or
// at `size` when one is given, lets it lay itself out and paint, and returns what it shows as
// an image of that size: cheap enough to check the look of a window pixel by pixel.
QImage renderWindow(QWidget& window, const QSize& size = {});

}  // namespace quarvel::test
