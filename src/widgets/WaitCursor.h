#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;

namespace quarvel {

class InfoStatusBar;

// The one way to show that a window waits on long work on the user-interface thread (a query
// or load that can take more than half a second): from construction to destruction the wait
// pointer and, when a status label or status bar panel is given, a status text. Both appear at
// once and the status text is painted before the work that follows blocks the event loop (a
// locked database makes it wait up to the busy time-out). At the end, also when the work fails
// or throws, the pointer is restored and the window is redrawn. Scopes nest; each restores
// what was shown before it, once.
class WaitCursor {
public:
    WaitCursor();
    // A status label: its text is restored at the end.
    explicit WaitCursor(QLabel* status, const QString& text = databaseText());
    // Panel `panel` of a status bar: the text stays at the end, for the window to replace with
    // what the work gave.
    WaitCursor(InfoStatusBar* bar, int panel, const QString& text);
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // "正在访问数据库，请稍候……"
    static QString databaseText();

private:
    void paintNow(QWidget* widget);

    QPointer<QLabel> m_status;
    QPointer<QWidget> m_window;  // redrawn at the end
    QString m_previous;
};

}  // namespace quarvel
