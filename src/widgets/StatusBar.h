#pragma once

#include <QDateTime>
#include <QStatusBar>

#include <functional>
#include <optional>

class QLabel;
class QTimer;

namespace quarvel {

// A status bar with the keyboard indicators NUM and CAPS, the date and the time (kept current),
// and optional text panels before them.
class InfoStatusBar : public QStatusBar {
public:
    explicit InfoStatusBar(int textPanels = 0, QWidget* parent = nullptr);

    // Panels are numbered from 1, text panels first.
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    int panelCount() const;

    // Where the date and time panels read the time; the local clock unless set.
    void setClock(std::function<QDateTime()> now);
    void refreshClock();

    // The state of a lock key as the keyboard's lights show it; no value when unknown.
    static std::optional<bool> lockKeyLit(const QString& lightName,
                                          const QString& ledFolder = QStringLiteral("/sys/class/leds"));

private:
    QLabel* m_num = nullptr;
    QLabel* m_caps = nullptr;
    QList<QLabel*> m_panels;
    QLabel* m_date = nullptr;
    QLabel* m_time = nullptr;
    QTimer* m_timer = nullptr;
    std::function<QDateTime()> m_now;
};

}  // namespace quarvel
