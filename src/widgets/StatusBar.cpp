#include "widgets/StatusBar.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QTimer>

namespace quarvel {

InfoStatusBar::InfoStatusBar(int textPanels, QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    const auto addPanel = [this](const QString& text, bool stretch) {
        auto* label = new QLabel(text, this);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setContentsMargins(4, 0, 4, 0);
        if (stretch)
            addWidget(label, 1);
        else
            addPermanentWidget(label);
        m_panels.append(label);
        return label;
    };
    for (int i = 0; i < textPanels; ++i)
        addPanel(QString(), true);
    m_num = addPanel(QStringLiteral("NUM"), false);
    m_caps = addPanel(QStringLiteral("CAPS"), false);
    m_date = addPanel(QString(), false);
    m_time = addPanel(QString(), false);
    refreshClock();
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] { refreshClock(); });
    m_timer->start();
}

void InfoStatusBar::setClock(std::function<QDateTime()> now)
{
    m_now = std::move(now);
    refreshClock();
}

void InfoStatusBar::refreshClock()
{
    const QDateTime now = m_now ? m_now() : QDateTime::currentDateTime();
    m_date->setText(QLocale().toString(now.date(), QLocale::ShortFormat));
    m_time->setText(now.time().toString(QStringLiteral("HH:mm:ss")));
    // The indicators are shown dimmed while their lock is off or its state is unknown.
    m_num->setEnabled(lockKeyLit(QStringLiteral("numlock")).value_or(false));
    m_caps->setEnabled(lockKeyLit(QStringLiteral("capslock")).value_or(false));
}

std::optional<bool> InfoStatusBar::lockKeyLit(const QString& lightName, const QString& ledFolder)
{
    const QStringList lights = QDir(ledFolder).entryList({QStringLiteral("*::") + lightName},
                                                         QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    std::optional<bool> lit;
    for (const QString& light : lights) {
        QFile brightness(ledFolder + u'/' + light + QStringLiteral("/brightness"));
        if (!brightness.open(QIODevice::ReadOnly))
            continue;
        const bool on = brightness.readAll().trimmed().toInt() > 0;
        lit = lit.value_or(false) || on;
    }
    return lit;
}

void InfoStatusBar::setPanelText(int panel, const QString& text)
{
    if (panel >= 1 && panel <= m_panels.size())
        m_panels.at(panel - 1)->setText(text);
}

QString InfoStatusBar::panelText(int panel) const
{
    return panel >= 1 && panel <= m_panels.size() ? m_panels.at(panel - 1)->text() : QString();
}

int InfoStatusBar::panelCount() const { return static_cast<int>(m_panels.size()); }

}  // namespace quarvel
