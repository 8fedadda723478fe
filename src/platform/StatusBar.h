#pragma once

#include <QStatusBar>

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

    void refreshClock();

private:
    QList<QLabel*> m_panels;
    QLabel* m_date = nullptr;
    QLabel* m_time = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace quarvel
