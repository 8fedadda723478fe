#pragma once

#include <QPointer>
#include <QString>

class QLabel;

namespace quarvel {

// Shows that a window waits, from construction to destruction: the wait pointer and, when a
// status label is given, a status text. Both appear at once, before the work that follows
// blocks the event loop (a locked database makes it wait up to the busy time-out). Scopes nest;
// each restores what was shown before it, once.
class WaitCursor {
public:
    WaitCursor();
    explicit WaitCursor(QLabel* status, const QString& text = databaseText());
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // "正在访问数据库，请稍候……"
    static QString databaseText();

private:
    QPointer<QLabel> m_status;
    QString m_previous;
};

}  // namespace quarvel
