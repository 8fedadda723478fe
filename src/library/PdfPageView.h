#pragma once

#include <QImage>
#include <QScrollArea>

#include <functional>

class QLabel;
class QPdfDocument;
class QPdfSearchModel;

namespace quarvel {

// One page of a PDF document at a time, scaled to fit the width, to fit the whole page, or by
// a factor, with the hits of a search painted over it. The page is rendered when it is shown,
// so a large document costs one page image, not the document.
class PdfPageView : public QScrollArea {
public:
    enum class Fit { Width, Page, Custom };

    explicit PdfPageView(QWidget* parent = nullptr);
    ~PdfPageView() override;

    QPdfDocument* document() const { return m_document; }
    QPdfSearchModel* searchModel() const { return m_search; }

    int pageCount() const;
    int page() const { return m_page; }  // 0-based
    void setPage(int page);              // clamped to the document
    void nextPage() { setPage(m_page + 1); }
    void previousPage() { setPage(m_page - 1); }

    Fit fit() const { return m_fit; }
    void setFit(Fit fit);
    // The current scale: 1.0 shows the page at its printed size.
    qreal zoom() const { return m_zoom; }
    void setZoom(qreal zoom);  // switches to Custom
    void zoomIn();
    void zoomOut();
    static constexpr qreal kMinZoom = 0.1;
    static constexpr qreal kMaxZoom = 8.0;

    // Find: every hit of the text is painted; one of them is the current hit.
    void find(const QString& text);
    // The same, the current hit being the first one on or after `page` (0-based) once found.
    void findFrom(const QString& text, int page);
    QString findText() const;
    int hitCount() const;
    int currentHit() const { return m_hit; }  // -1 when none
    void nextHit();
    void previousHit();
    // The colour painted over the hits, and over the current hit.
    static QColor hitColor();
    static QColor currentHitColor();

    // The rendered page as shown (with its hits).
    QImage pageImage() const { return m_image; }

    // Called after the page, the scale or the hits changed.
    std::function<void()> changed;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void render();
    void showHit();
    qreal fitZoom(Fit fit) const;
    qreal pixelsPerPoint() const;
    void notify();

    QPdfDocument* m_document;
    QPdfSearchModel* m_search;
    QLabel* m_canvas;
    QImage m_image;
    int m_page = 0;
    Fit m_fit = Fit::Width;
    qreal m_zoom = 1.0;
    int m_hit = -1;
    int m_findFrom = 0;  // the page from which the first hit is taken
    bool m_rendering = false;
    bool m_renderAgain = false;
};

}  // namespace quarvel
