#include "platform/Platform.h"

#include <QApplication>
#include <QWidget>

namespace quarvel {

void QtProcessControl::endProgram()
{
    // Open windows are discarded without questions; every event loop, nested ones included,
    // returns, and main() ends the process.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        w->hide();
    QCoreApplication::exit(0);
}

Platform::Platform()
    : m_messages(std::make_unique<QtMessageBoxes>()),
      m_process(std::make_unique<QtProcessControl>()),
      m_shell(std::make_unique<DesktopShell>()),
      m_fileDialogs(std::make_unique<QtFileDialogs>()),
      m_activator(std::make_unique<X11WindowActivator>()),
      m_systemInformation(std::make_unique<InstalledSystemInformation>())
{
}

QString Platform::programFolder() const
{
    return m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
}

Platform::~Platform() = default;

}  // namespace quarvel
