#include "widgets/WaitCursor.h"

#include <QApplication>
#include <QLabel>

namespace quarvel {

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

WaitCursor::WaitCursor(QLabel* status, const QString& text) : m_status(status)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_status) {
        m_previous = m_status->text();
        m_status->setText(text);
        // Painted now: the work that follows keeps the event loop from doing it.
        if (m_status->isVisible())
            m_status->repaint();
    }
}

WaitCursor::~WaitCursor()
{
    if (m_status) {
        m_status->setText(m_previous);
        if (m_status->isVisible())
            m_status->repaint();
    }
    QApplication::restoreOverrideCursor();
}

QString WaitCursor::databaseText() { return QStringLiteral("正在访问数据库，请稍候……"); }

}  // namespace quarvel
