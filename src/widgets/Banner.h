#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QVector>
#include <QWidget>

namespace quarvel {

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

// The circles of the banner's right end, in a strip whose right edge and height are those of
// `rightEnd`: round whatever the strip's width, and inside its height.
QVector<QRectF> bannerCircles(const QRectF& rightEnd);

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
