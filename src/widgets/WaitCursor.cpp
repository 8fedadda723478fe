#include "widgets/WaitCursor.h"

#include "widgets/StatusBar.h"

#include <QApplication>
#include <QLabel>

namespace quarvel {

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

WaitCursor::WaitCursor(QLabel* status, const QString& text) : m_status(status)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_status) {
        m_window = m_status->window();
        m_previous = m_status->text();
        m_status->setText(text);
        paintNow(m_status);
    }
}

WaitCursor::WaitCursor(InfoStatusBar* bar, int panel, const QString& text)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (bar) {
        m_window = bar->window();
        bar->setPanelText(panel, text);
        paintNow(bar);
    }
}

void WaitCursor::paintNow(QWidget* widget)
{
    // Painted now: the work that follows keeps the event loop from doing it.
    if (widget->isVisible())
        widget->repaint();
}

WaitCursor::~WaitCursor()
{
    if (m_status) {
        m_status->setText(m_previous);
        paintNow(m_status);
    }
    QApplication::restoreOverrideCursor();
    if (m_window)
        m_window->update();
}

QString WaitCursor::databaseText() { return QStringLiteral("正在访问数据库，请稍候……"); }

}  // namespace quarvel
