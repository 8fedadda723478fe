#include "widgets/Banner.h"

#include "widgets/grid/Twips.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace quarvel {
namespace {
constexpr int kTwipsPerPicturePixel = 15;  // the banner picture is drawn at 96 dpi
}  // namespace

QVector<BannerSlice> bannerSlices(int W, int H, const QSize& picture)
{
    QVector<BannerSlice> out;
    // The picture as it is, from x = 0.
    out.append({QRect(0, 0, picture.width(), picture.height()), QRect(0, 0, picture.width(), picture.height())});
    for (int i = 1; i <= 10000 && W - 4000 > 8850 + 300 * i; ++i)
        out.append({QRect(8850, 0, 300, picture.height()), QRect(8850 + 300 * i, 0, 300, H)});
    out.append({QRect(8850, 0, picture.width() - 8850, picture.height()), QRect(W - 4000, 0, 4000, H)});
    return out;
}

QImage bannerPicture()
{
    QImage image(1028, 54, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A vertical gradient only, so that any column can be repeated without seams.
    QLinearGradient sky(0, 0, 0, 54);
    sky.setColorAt(0, QColor(0x1f, 0x4e, 0x79));
    sky.setColorAt(1, QColor(0x2e, 0x75, 0xb6));
    p.fillRect(image.rect(), sky);
    p.fillRect(QRect(0, 50, 1028, 4), QColor(0xf4, 0xb1, 0x83));

    QFont title(QStringLiteral("WenQuanYi Micro Hei"));
    title.setPixelSize(24);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(64, 0, 500, 50), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Quarvel 公司资料管理"));

    // Logo: a folded page.
    QPainterPath page;
    page.moveTo(16, 9);
    page.lineTo(38, 9);
    page.lineTo(48, 19);
    page.lineTo(48, 43);
    page.lineTo(16, 43);
    page.closeSubpath();
    p.fillPath(page, QColor(0xfa, 0xfa, 0xfa));
    p.setPen(QPen(QColor(0x2e, 0x75, 0xb6), 2));
    for (int y = 22; y <= 36; y += 7)
        p.drawLine(22, y, 42, y);

    return image;
}

QVector<QRectF> bannerCircles(const QRectF& rightEnd)
{
    // Five circles growing to the left, the largest as high as the strip above the stripe
    // allows, spaced by the strip's height so that they never touch.
    constexpr qreal kStripe = 4.0 / 54.0;  // the stripe's share of the picture's height
    const qreal above = rightEnd.height() * (1.0 - kStripe);
    const qreal largest = above * 0.42;
    const qreal step = above * 0.96;
    const qreal centreY = rightEnd.top() + above / 2;
    QVector<QRectF> circles;
    for (int i = 0; i < 5; ++i) {
        const qreal radius = largest * (0.55 + 0.1125 * i);
        const qreal centreX = rightEnd.right() - above * 0.6 - step * i;
        circles.append(QRectF(centreX - radius, centreY - radius, 2 * radius, 2 * radius));
    }
    return circles;
}

BannerStrip::BannerStrip(QWidget* parent) : QWidget(parent), m_picture(bannerPicture())
{
    setObjectName(QStringLiteral("Picture1"));
    setAccessibleName(QStringLiteral("Quarvel"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize BannerStrip::sizeHint() const { return QSize(m_picture.width(), m_picture.height()); }

void BannerStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x1f, 0x4e, 0x79));
    const int W = pixelsToTwips(width(), this, Qt::Horizontal);
    const int H = pixelsToTwips(height(), this, Qt::Vertical);
    const QSize pictureTwips(m_picture.width() * kTwipsPerPicturePixel, m_picture.height() * kTwipsPerPicturePixel);
    const auto toSource = [](const QRect& r) {
        return QRect(r.x() / kTwipsPerPicturePixel, r.y() / kTwipsPerPicturePixel, r.width() / kTwipsPerPicturePixel,
                     r.height() / kTwipsPerPicturePixel);
    };
    const auto toTarget = [this](const QRect& r) { return twipsToPixels(r.x(), r.y(), r.width(), r.height(), this); };
    for (const BannerSlice& s : bannerSlices(W, H, pictureTwips))
        p.drawImage(toTarget(s.target), m_picture, toSource(s.source));

    // The circles of the right end are drawn at the strip's own scale, so that the squeezed
    // right end of the picture does not make ovals of them.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QVector<QRectF> circles = bannerCircles(rect());
    for (int i = 0; i < circles.size(); ++i) {
        p.setBrush(QColor(255, 255, 255, 40 + 25 * i));
        p.drawEllipse(circles.at(i));
    }
}

}  // namespace quarvel
