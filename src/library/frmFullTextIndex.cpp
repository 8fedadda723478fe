#include "library/frmFullTextIndex.h"

#include "library/FullTextBackfill.h"
#include "platform/Platform.h"
#include "widgets/WaitCursor.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarvel {

frmFullTextIndex::frmFullTextIndex(Platform& platform, QWidget* parent) : QWidget(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("frmFullTextIndex"));
    setWindowTitle(QStringLiteral("全文索引"));

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("为尚未建立全文索引的资料读取文字（图片和扫描件经文字识别），"
                                            "以便在资料查阅中搜索资料内容。"),
                             this);
    intro->setObjectName(QStringLiteral("Intro"));
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* grid = new QGridLayout;
    auto* pendingCaption = new QLabel(QStringLiteral("待建索引的资料(&N)："), this);
    pendingCaption->setObjectName(QStringLiteral("PendingCaption"));
    m_pending = new QLabel(this);
    m_pending->setObjectName(QStringLiteral("PendingCount"));
    m_pending->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    pendingCaption->setBuddy(m_pending);
    grid->addWidget(pendingCaption, 0, 0);
    grid->addWidget(m_pending, 0, 1);

    m_retryFailed = new QCheckBox(QStringLiteral("重新读取失败的文档(&R)"), this);
    m_retryFailed->setObjectName(QStringLiteral("RetryFailed"));
    grid->addWidget(m_retryFailed, 1, 0, 1, 2);

    auto* progressCaption = new QLabel(QStringLiteral("进度(&P)："), this);
    progressCaption->setObjectName(QStringLiteral("ProgressCaption"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("Progress"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    progressCaption->setBuddy(m_progress);
    grid->addWidget(progressCaption, 2, 0);
    grid->addWidget(m_progress, 2, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    m_progressText = new QLabel(this);
    m_progressText->setObjectName(QStringLiteral("ProgressText"));
    layout->addWidget(m_progressText);
    m_document = new QLabel(this);
    m_document->setObjectName(QStringLiteral("CurrentDocument"));
    m_document->setTextFormat(Qt::PlainText);
    layout->addWidget(m_document);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_start = new QPushButton(QStringLiteral("开始建立"), this);
    m_start->setObjectName(QStringLiteral("StartButton"));
    m_stop = new QPushButton(QStringLiteral("停止"), this);
    m_stop->setObjectName(QStringLiteral("StopButton"));
    m_stop->setEnabled(false);
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    layout->addLayout(buttons);

    connect(m_start, &QPushButton::clicked, this, [this] { start(); });
    connect(m_stop, &QPushButton::clicked, this, [this] {
        m_stopAsked = true;
        m_stop->setEnabled(false);
        m_progressText->setText(m_progressText->text() + QStringLiteral("  正在停止…"));
    });
    connect(m_retryFailed, &QCheckBox::toggled, this, [this] {
        if (!m_running)
            countPending();
    });

    resize(520, 300);
    countPending();
}

void frmFullTextIndex::countPending()
{
    WaitCursor wait;
    BackfillOptions options;
    options.retryFailed = m_retryFailed->isChecked();
    const DbResult<QVector<qint64>> pending = FullTextBackfill::pending(options);
    if (!pending.ok()) {
        m_pending->setText(QStringLiteral("无法读取"));
        m_start->setEnabled(false);
        m_platform.messages().inform(this, formatError(pending.error, ErrorForm::DescriptionOnly), executableTitle(),
                                     MsgIcon::Critical);
        return;
    }
    m_pending->setText(QStringLiteral("%1 份").arg(pending.value.size()));
    m_start->setEnabled(!pending.value.isEmpty());
}

bool frmFullTextIndex::showProgress(const BackfillProgress& at)
{
    m_progress->setRange(0, std::max(1, at.total));
    m_progress->setValue(at.done);
    m_progressText->setText(QStringLiteral("已完成 %1 / %2").arg(at.done).arg(at.total)
                            + (m_stopAsked ? QStringLiteral("  正在停止…") : QString()));
    m_document->setText(at.reading != 0 ? QStringLiteral("正在读取：%1").arg(at.name) : QString());
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // The program's end hides every window: the run stops with it rather than keep the program.
    if (!isVisible())
        m_stopAsked = true;
    return !m_stopAsked;
}

void frmFullTextIndex::start()
{
    if (m_running)
        return;
    m_running = true;
    m_stopAsked = false;
    m_start->setEnabled(false);
    m_retryFailed->setEnabled(false);
    m_stop->setEnabled(true);
    m_summary->clear();

    BackfillOptions options;
    options.retryFailed = m_retryFailed->isChecked();
    const DbResult<BackfillSummary> run = FullTextBackfill::run(
        options, [this](const BackfillProgress& at) { return showProgress(at); });

    m_running = false;
    m_stop->setEnabled(false);
    m_retryFailed->setEnabled(true);
    m_document->clear();
    const BackfillSummary& s = run.value;
    QString summary = QStringLiteral("已建立索引 %1 份，无可检索的文字 %2 份，读取失败 %3 份。")
                          .arg(s.indexed)
                          .arg(s.noText)
                          .arg(s.failed);
    if (s.cancelled)
        summary += QStringLiteral("已停止：再按“开始建立”继续其余的资料。");
    m_summary->setText(summary);
    if (m_closeWhenDone) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->close();
        else
            close();
        return;
    }
    countPending();
    if (!run.ok())
        m_platform.messages().inform(this, formatError(run.error, ErrorForm::DescriptionOnly), executableTitle(),
                                     MsgIcon::Critical);
}

void frmFullTextIndex::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        // Stops after the document being read; the window closes when the run has returned.
        m_stopAsked = true;
        m_closeWhenDone = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace quarvel
