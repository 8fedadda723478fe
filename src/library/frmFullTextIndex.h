#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace quarvel {

class Platform;
struct BackfillProgress;

// "全文索引": the administrator builds the full-text index of the documents stored before the
// search existed, or whose reading was left unfinished (FullTextBackfill). The run stays on the
// window's thread, whose events are processed while each document is transferred and read (the
// reading and its recognition on a thread of their own), so the window answers and "停止" stops
// after the document being read; starting again goes on with those not yet done.
class frmFullTextIndex : public QWidget {
    Q_OBJECT

public:
    explicit frmFullTextIndex(Platform& platform, QWidget* parent = nullptr);

    bool isRunning() const { return m_running; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void countPending();
    void start();
    bool showProgress(const BackfillProgress& at);

    Platform& m_platform;
    QLabel* m_pending = nullptr;
    QCheckBox* m_retryFailed = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_progressText = nullptr;
    QLabel* m_document = nullptr;
    QLabel* m_summary = nullptr;
    bool m_running = false;
    bool m_stopAsked = false;
    bool m_closeWhenDone = false;
};

}  // namespace quarvel
