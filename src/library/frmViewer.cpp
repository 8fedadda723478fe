#include "library/frmViewer.h"

#include "library/DocumentAccess.h"
#include "library/PdfPageView.h"
#include "platform/Platform.h"
#include "shared/Module1.h"
#include "widgets/TransferProgressDialog.h"
#include "widgets/TypedText.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowPlacement.h"
#include "widgets/grid/Twips.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include <utility>

namespace quarvel {
namespace {

const QString kErrorTitle = QStringLiteral("Brenmoor2008版");

QToolButton* toolButton(QWidget* parent, const QString& name, const QString& text, const QString& tip)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    return b;
}

}  // namespace

Frm公司文件浏览::Frm公司文件浏览(Platform& platform, QWidget* parent) : QWidget(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("Frm公司文件浏览"));
    setWindowTitle(QStringLiteral("公司文件浏览"));
    buildLayout();
    guardTypedTexts(this);
    resize(900, 700);
    CenterInMainWindow(this);
    refreshControls();
}

Frm公司文件浏览::~Frm公司文件浏览() { unload(); }

QString Frm公司文件浏览::designTitle() { return QStringLiteral("文件编号：      文件类别：       文件名称："); }

QString Frm公司文件浏览::temporaryPath() const { return m_tempPath.isEmpty() ? GetTempFilePath() : m_tempPath; }

void Frm公司文件浏览::buildLayout()
{
    Title = new QLabel(designTitle(), this);
    Title->setObjectName(QStringLiteral("Title"));
    Title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    buildToolbar();
    PDFView1 = new PdfPageView(this);
    PDFView1->setObjectName(QStringLiteral("PDFView1"));
    Command1 = new QPushButton(QStringLiteral("退出"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connectHandlers();
}

void Frm公司文件浏览::buildToolbar()
{
    m_toolbar = new QWidget(this);
    auto* bar = new QHBoxLayout(m_toolbar);
    bar->setContentsMargins(0, 0, 0, 0);
    firstPage = toolButton(m_toolbar, QStringLiteral("firstPage"), QStringLiteral("|◀"), QStringLiteral("第一页"));
    previousPage = toolButton(m_toolbar, QStringLiteral("previousPage"), QStringLiteral("◀"),
                              QStringLiteral("上一页 (PgUp)"));
    pageNumber = new QSpinBox(m_toolbar);
    pageNumber->setObjectName(QStringLiteral("pageNumber"));
    pageNumber->setAccessibleName(QStringLiteral("页码"));
    pageNumber->setKeyboardTracking(false);
    pageCount = new QLabel(m_toolbar);
    pageCount->setObjectName(QStringLiteral("pageCount"));
    nextPage = toolButton(m_toolbar, QStringLiteral("nextPage"), QStringLiteral("▶"), QStringLiteral("下一页 (PgDn)"));
    lastPage = toolButton(m_toolbar, QStringLiteral("lastPage"), QStringLiteral("▶|"), QStringLiteral("最后一页"));
    fitWidth = toolButton(m_toolbar, QStringLiteral("fitWidth"), QStringLiteral("适合宽度"),
                          QStringLiteral("适合宽度"));
    fitPage = toolButton(m_toolbar, QStringLiteral("fitPage"), QStringLiteral("适合页面"), QStringLiteral("适合页面"));
    zoomOut = toolButton(m_toolbar, QStringLiteral("zoomOut"), QStringLiteral("－"), QStringLiteral("缩小 (Ctrl+-)"));
    zoomText = new QLabel(m_toolbar);
    zoomText->setObjectName(QStringLiteral("zoomText"));
    zoomText->setMinimumWidth(48);
    zoomText->setAlignment(Qt::AlignCenter);
    zoomIn = toolButton(m_toolbar, QStringLiteral("zoomIn"), QStringLiteral("＋"), QStringLiteral("放大 (Ctrl++)"));
    zoomOut->setShortcut(QKeySequence::ZoomOut);
    zoomIn->setShortcut(QKeySequence::ZoomIn);
    auto* findLabel = new QLabel(QStringLiteral("查找:"), m_toolbar);
    findText = new QLineEdit(m_toolbar);
    findText->setObjectName(QStringLiteral("findText"));
    findText->setClearButtonEnabled(true);
    findText->setPlaceholderText(QStringLiteral("文档中查找"));
    findLabel->setBuddy(findText);
    findPrevious = toolButton(m_toolbar, QStringLiteral("findPrevious"), QStringLiteral("上一处"),
                              QStringLiteral("上一处 (Shift+F3)"));
    findNext = toolButton(m_toolbar, QStringLiteral("findNext"), QStringLiteral("下一处"),
                          QStringLiteral("下一处 (F3)"));
    findPrevious->setShortcut(QKeySequence::FindPrevious);
    findNext->setShortcut(QKeySequence::FindNext);
    findCount = new QLabel(m_toolbar);
    findCount->setObjectName(QStringLiteral("findCount"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{firstPage, previousPage, pageNumber, pageCount, nextPage, lastPage})
        bar->addWidget(w);
    bar->addSpacing(12);
    for (QWidget* w : std::initializer_list<QWidget*>{fitWidth, fitPage, zoomOut, zoomText, zoomIn})
        bar->addWidget(w);
    bar->addSpacing(12);
    for (QWidget* w : std::initializer_list<QWidget*>{findLabel, findText, findPrevious, findNext, findCount})
        bar->addWidget(w);
    bar->addStretch(1);
}

void Frm公司文件浏览::connectHandlers()
{
    PDFView1->changed = [this] { refreshControls(); };
    connect(firstPage, &QToolButton::clicked, this, [this] { PDFView1->setPage(0); });
    connect(previousPage, &QToolButton::clicked, this, [this] { PDFView1->previousPage(); });
    connect(nextPage, &QToolButton::clicked, this, [this] { PDFView1->nextPage(); });
    connect(lastPage, &QToolButton::clicked, this, [this] { PDFView1->setPage(PDFView1->pageCount() - 1); });
    connect(pageNumber, &QSpinBox::valueChanged, this, [this](int page) { PDFView1->setPage(page - 1); });
    connect(fitWidth, &QToolButton::clicked, this, [this] { PDFView1->setFit(PdfPageView::Fit::Width); });
    connect(fitPage, &QToolButton::clicked, this, [this] { PDFView1->setFit(PdfPageView::Fit::Page); });
    connect(zoomIn, &QToolButton::clicked, this, [this] { PDFView1->zoomIn(); });
    connect(zoomOut, &QToolButton::clicked, this, [this] { PDFView1->zoomOut(); });
    connect(findText, &QLineEdit::returnPressed, this, [this] {
        if (findText->text() == PDFView1->findText())
            PDFView1->nextHit();
        else
            PDFView1->find(findText->text());
    });
    connect(findNext, &QToolButton::clicked, this, [this] {
        if (findText->text() != PDFView1->findText())
            PDFView1->find(findText->text());
        else
            PDFView1->nextHit();
    });
    connect(findPrevious, &QToolButton::clicked, this, [this] { PDFView1->previousHit(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

void Frm公司文件浏览::refreshControls()
{
    const int pages = PDFView1->pageCount();
    {
        const QSignalBlocker block(pageNumber);
        pageNumber->setRange(pages > 0 ? 1 : 0, pages);
        pageNumber->setValue(pages > 0 ? PDFView1->page() + 1 : 0);
    }
    pageCount->setText(QStringLiteral("/ %1").arg(pages));
    for (QWidget* w : std::initializer_list<QWidget*>{firstPage, previousPage, pageNumber, nextPage, lastPage, fitWidth,
                                                      fitPage, zoomIn, zoomOut, findText, findNext, findPrevious})
        w->setEnabled(pages > 0);
    previousPage->setEnabled(pages > 0 && PDFView1->page() > 0);
    firstPage->setEnabled(previousPage->isEnabled());
    nextPage->setEnabled(pages > 0 && PDFView1->page() < pages - 1);
    lastPage->setEnabled(nextPage->isEnabled());
    zoomText->setText(pages > 0 ? QStringLiteral("%1%").arg(qRound(PDFView1->zoom() * 100)) : QString());
    const int hits = PDFView1->hitCount();
    if (PDFView1->findText().isEmpty())
        findCount->clear();
    else if (hits == 0)
        findCount->setText(QStringLiteral("未找到"));
    else
        findCount->setText(QStringLiteral("第 %1 / %2 处").arg(PDFView1->currentHit() + 1).arg(hits));
}

void Frm公司文件浏览::showFailure(const DbError& error)
{
    m_platform.messages().inform(this, formatError(error, ErrorForm::NumberAndDescription), kErrorTitle);
}

void Frm公司文件浏览::unload()
{
    PDFView1->document()->close();
    if (m_written) {
        QFile::remove(temporaryPath());  // errors ignored
        m_written = false;
    }
}

void Frm公司文件浏览::openNextAt(int page, const QString& text)
{
    m_startPage = page;
    m_startFind = text;
}

bool Frm公司文件浏览::ShowDocument(qint64 uploadViewDocumentId, qint64 browseViewDocumentId)
{
    const int startPage = std::exchange(m_startPage, 0);
    const QString startFind = std::exchange(m_startFind, QString());
    qint64 id = 0;
    if ((uploadViewDocumentId != 0) != (browseViewDocumentId != 0))
        id = uploadViewDocumentId != 0 ? uploadViewDocumentId : browseViewDocumentId;

    // The document shown before goes, with its copy.
    PDFView1->find(QString());
    findText->clear();
    unload();
    m_documentId = 0;
    Title->setText(designTitle());
    refreshControls();

    const DbResult<std::optional<AccessDocument>> found = DocumentAccess::document(id);
    if (!found.ok()) {
        showFailure(found.error);
        return false;
    }
    if (!found.value)
        return false;
    const AccessDocument& d = *found.value;
    const QString path = temporaryPath();
    DbStatus written;
    {
        TransferProgressDialog progress(this, QStringLiteral("正在读取文件……"));
        WaitCursor wait;
        // The dialog hears of the first and the last piece and of one piece every 100 ms
        // between: redrawing it for each piece would cost more than reading the piece.
        const TransferProgress show = progress.callback();
        QElapsedTimer shown;
        const TransferProgress throttled = [&show, &shown](qint64 done, qint64 total) {
            if (done != 0 && done < total && shown.isValid() && shown.elapsed() < 100)
                return true;
            shown.start();
            return show(done, total);
        };
        written = DocumentAccess::temporaryCopy(d.id, path, throttled);
    }
    if (!written.ok()) {
        if (!isTransferCancelled(written.error))
            showFailure(written.error);
        return false;
    }
    m_written = true;
    m_documentId = d.id;
    Title->setText(QStringLiteral("文件编号: ") + d.number + QStringLiteral("     ") + QStringLiteral("文件类别: ")
                   + d.typeCode + QStringLiteral("     ") + QStringLiteral("文件名称: ") + d.name);
    const QPdfDocument::Error loaded = PDFView1->document()->load(path);
    if (loaded != QPdfDocument::Error::None)
        showFailure(DbError::make(static_cast<int>(loaded), QStringLiteral("无法显示该PDF文件")));
    PDFView1->setFit(PdfPageView::Fit::Width);
    if (loaded == QPdfDocument::Error::None && startPage > 0) {
        PDFView1->setPage(startPage - 1);
        if (!startFind.isEmpty()) {
            findText->setText(startFind);
            PDFView1->findFrom(startFind, startPage - 1);
        }
    }
    refreshControls();
    return loaded == QPdfDocument::Error::None;
}

void Frm公司文件浏览::Command1_Click()
{
    PDFView1->document()->close();
    if (m_written && QFile::exists(temporaryPath())) {
        QFile file(temporaryPath());
        if (!file.remove()) {
            showFailure(DbError::make(static_cast<int>(file.error()), file.errorString()));
            return;  // the viewer stays open
        }
    }
    m_written = false;
    CloseChildWindow(this);
}

void Frm公司文件浏览::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // PDFView1 fills the window below the title line and the tools, the button below it.
    const int gap = twipsToPixels(50, this, Qt::Vertical);
    const int side = twipsToPixels(50, this);
    Title->setGeometry(side, gap, width() - 2 * side, Title->sizeHint().height());
    m_toolbar->setGeometry(side, Title->geometry().bottom() + gap, width() - 2 * side, m_toolbar->sizeHint().height());
    const int top = m_toolbar->geometry().bottom() + gap;
    const int buttonHeight = Command1->sizeHint().height();
    const int viewHeight = height() - top - buttonHeight - twipsToPixels(350, this, Qt::Vertical) + 2 * gap;
    PDFView1->setGeometry(side, top, qMax(0, width() - twipsToPixels(100, this)), qMax(0, viewHeight));
    Command1->setGeometry(width() - side - Command1->sizeHint().width(), PDFView1->geometry().bottom() + gap,
                          Command1->sizeHint().width(), buttonHeight);
}

}  // namespace quarvel
