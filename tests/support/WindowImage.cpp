#include "WindowImage.h"

#include <QApplication>
#include <QPixmap>
#include <QTest>
#include <QWidget>

namespace quarvel::test {

QImage renderWindow(QWidget& window, const QSize& size)
{
    if (size.isValid())
        window.resize(size);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return {};
    // Layouts and geometry changes posted while showing are settled before the window paints.
    QApplication::processEvents();
    return window.grab().toImage();
}

}  // namespace quarvel::test
