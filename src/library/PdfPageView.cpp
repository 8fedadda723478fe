#include "library/PdfPageView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfLink>
#include <QPdfSearchModel>
#include <QScrollBar>

#include <algorithm>
#include <array>

namespace quarvel {
namespace {

constexpr std::array<qreal, 12> kSteps = {0.25, 0.33, 0.5, 0.67, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0, 8.0};
constexpr int kMargin = 8;  // pixels around the page

}  // namespace

PdfPageView::PdfPageView(QWidget* parent)
    : QScrollArea(parent), m_document(new QPdfDocument(this)), m_search(new QPdfSearchModel(this))
{
    m_canvas = new QLabel;
    m_canvas->setAlignment(Qt::AlignCenter);
    m_canvas->setMargin(kMargin);
    setWidget(m_canvas);
    setWidgetResizable(true);
    setAlignment(Qt::AlignCenter);
    setBackgroundRole(QPalette::Dark);
    setFocusPolicy(Qt::StrongFocus);
    m_search->setDocument(m_document);

    connect(m_document, &QPdfDocument::statusChanged, this, [this] {
        m_page = 0;
        m_hit = -1;
        render();
    });
    // The search model finds its hits page by page after the text is set.
    const auto hitsChanged = [this] {
        if (m_hit < 0) {
            // The hits arrive page by page: the first one from m_findFrom on, once it is there.
            for (int k = 0; k < hitCount(); ++k) {
                if (m_search->resultAtIndex(k).page() >= m_findFrom) {
                    m_hit = k;
                    showHit();
                    return;
                }
            }
        }
        if (m_hit >= hitCount())
            m_hit = hitCount() - 1;
        render();
    };
    connect(m_search, &QAbstractItemModel::rowsInserted, this, hitsChanged);
    connect(m_search, &QAbstractItemModel::modelReset, this, hitsChanged);
    connect(m_search, &QAbstractItemModel::rowsRemoved, this, hitsChanged);
}

PdfPageView::~PdfPageView() = default;

int PdfPageView::pageCount() const
{
    return m_document->status() == QPdfDocument::Status::Ready ? m_document->pageCount() : 0;
}

void PdfPageView::setPage(int page)
{
    const int last = pageCount() - 1;
    const int clamped = std::clamp(page, 0, std::max(0, last));
    if (clamped == m_page && !m_image.isNull())
        return;
    m_page = clamped;
    render();
    verticalScrollBar()->setValue(0);
}

void PdfPageView::setFit(Fit fit)
{
    m_fit = fit;
    if (fit != Fit::Custom)
        m_zoom = fitZoom(fit);
    render();
}

void PdfPageView::setZoom(qreal zoom)
{
    m_fit = Fit::Custom;
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    render();
}

void PdfPageView::zoomIn()
{
    for (qreal step : kSteps) {
        if (step > m_zoom + 0.001) {
            setZoom(step);
            return;
        }
    }
    setZoom(kMaxZoom);
}

void PdfPageView::zoomOut()
{
    for (auto it = kSteps.rbegin(); it != kSteps.rend(); ++it) {
        if (*it < m_zoom - 0.001) {
            setZoom(*it);
            return;
        }
    }
    setZoom(kMinZoom);
}

qreal PdfPageView::pixelsPerPoint() const { return logicalDpiX() / 72.0; }

qreal PdfPageView::fitZoom(Fit fit) const
{
    if (pageCount() == 0)
        return 1.0;
    const QSizeF points = m_document->pagePointSize(m_page);
    if (points.isEmpty())
        return 1.0;
    const QSize room = viewport()->size() - QSize(2 * kMargin + 2, 2 * kMargin + 2);
    const qreal byWidth = room.width() / (points.width() * pixelsPerPoint());
    if (fit == Fit::Width)
        return std::clamp(byWidth, kMinZoom, kMaxZoom);
    const qreal byHeight = room.height() / (points.height() * pixelsPerPoint());
    return std::clamp(std::min(byWidth, byHeight), kMinZoom, kMaxZoom);
}

void PdfPageView::render()
{
    if (pageCount() == 0) {
        m_image = QImage();
        m_canvas->clear();
        notify();
        return;
    }
    if (m_fit != Fit::Custom)
        m_zoom = fitZoom(m_fit);
    const qreal scale = m_zoom * pixelsPerPoint();
    const QSize size = (m_document->pagePointSize(m_page) * scale).toSize().expandedTo(QSize(1, 1));
    // The page is painted on white paper with a thin edge: the rendered image is transparent
    // where the page has nothing.
    m_image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    m_image.fill(Qt::white);
    {
        QPainter paper(&m_image);
        const QImage page = m_document->render(m_page, size);
        if (!page.isNull())
            paper.drawImage(0, 0, page);
        paper.setPen(QColor(160, 160, 160));
        paper.setBrush(Qt::NoBrush);
        paper.drawRect(QRect(QPoint(0, 0), size - QSize(1, 1)));
    }
    // Asking for the hits may let the search model report more of them, which renders again;
    // the painting below then works on the hits as they were asked for.
    if (m_rendering) {
        m_renderAgain = true;
        return;
    }
    m_rendering = true;
    const QPdfLink current = m_hit >= 0 ? m_search->resultAtIndex(m_hit) : QPdfLink();
    const QList<QPdfLink> hits = m_search->resultsOnPage(m_page);
    m_rendering = false;
    {
        QPainter painter(&m_image);
        painter.setPen(Qt::NoPen);
        for (const QPdfLink& hit : hits) {
            const bool isCurrent = current.isValid() && current.page() == hit.page()
                                   && current.rectangles() == hit.rectangles();
            painter.setBrush(isCurrent ? currentHitColor() : hitColor());
            for (const QRectF& r : hit.rectangles())
                painter.drawRect(QRectF(r.topLeft() * scale, r.size() * scale));
        }
    }
    m_canvas->setPixmap(QPixmap::fromImage(m_image));
    notify();
    if (m_renderAgain) {
        m_renderAgain = false;
        render();
    }
}

void PdfPageView::notify()
{
    if (changed)
        changed();
}

void PdfPageView::find(const QString& text) { findFrom(text, 0); }

void PdfPageView::findFrom(const QString& text, int page)
{
    m_hit = -1;
    m_findFrom = page;
    m_search->setSearchString(text);
    render();
}

QString PdfPageView::findText() const { return m_search->searchString(); }

int PdfPageView::hitCount() const { return m_search->rowCount({}); }

void PdfPageView::nextHit()
{
    if (hitCount() == 0)
        return;
    m_hit = (m_hit + 1) % hitCount();
    showHit();
}

void PdfPageView::previousHit()
{
    if (hitCount() == 0)
        return;
    m_hit = (m_hit <= 0 ? hitCount() : m_hit) - 1;
    showHit();
}

void PdfPageView::showHit()
{
    const QPdfLink hit = m_search->resultAtIndex(m_hit);
    if (!hit.isValid()) {
        render();
        return;
    }
    m_page = std::clamp(hit.page(), 0, std::max(0, pageCount() - 1));
    render();
    if (!hit.rectangles().isEmpty()) {
        const qreal scale = m_zoom * pixelsPerPoint();
        const QPointF at = hit.rectangles().constFirst().center() * scale;
        ensureVisible(int(at.x()) + kMargin, int(at.y()) + kMargin, 50, 80);
    }
}

QColor PdfPageView::hitColor() { return QColor(255, 220, 0, 110); }
QColor PdfPageView::currentHitColor() { return QColor(255, 120, 0, 140); }

void PdfPageView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    if (m_fit != Fit::Custom)
        render();
}

void PdfPageView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_PageDown: nextPage(); return;
    case Qt::Key_PageUp: previousPage(); return;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier) {
            setPage(0);
            return;
        }
        break;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier) {
            setPage(pageCount() - 1);
            return;
        }
        break;
    default: break;
    }
    QScrollArea::keyPressEvent(event);
}

}  // namespace quarvel
