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
    // How many times a picture was rendered in this process.
    static int renderCount();
};

// One copy of the banner painting: a source rectangle of the banner picture and where it goes,
// both in twips.
struct BannerSlice {
    QRect source;
    QRect target;
};

// The banner painting for a box of the given inner size in twips: the picture as drawn from
// x = 0, then 300-twip slices from x = 8850 repeated while W − 4000 > 8850 + 300·i, then the
// picture's right end from x = 8850 squeezed into the rightmost 4000 twips.
QVector<BannerSlice> bannerSlices(int widthTwips, int heightTwips, const QSize& pictureTwips);

// The banner picture (1028 × 54 pixels) drawn by the program.
QImage bannerPicture();

// The banner strip along the top of the main window.
class BannerStrip : public QWidget {
public:
    explicit BannerStrip(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

}  // namespace quarvel
