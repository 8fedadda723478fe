#pragma once

#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"
#include "platform/Services.h"

#include <QDateTime>
#include <QString>

#include <memory>

namespace quarvel {

// Ending the process "at once", as the exit entries and the login's Cancel do.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    virtual void endProgram() = 0;
};

class QtProcessControl final : public ProcessControl {
public:
    void endProgram() override;
};

// The client's own clock (the local date and time), which tests replace with a fixed one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The platform services a window reaches: one object per process (or per test), handed to
// every window. Each service can be replaced, which the tests do.
class Platform {
public:
    Platform();
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    MessageBoxes& messages() const { return *m_messages; }
    ProcessControl& process() const { return *m_process; }
    Shell& shell() const { return *m_shell; }
    FileDialogs& fileDialogs() const { return *m_fileDialogs; }
    WindowActivator& activator() const { return *m_activator; }
    SystemInformation& systemInformation() const { return *m_systemInformation; }
    const Clock& clock() const { return *m_clock; }
    // The program's own folder ("MDI.BMP", "Command.Dll").
    QString programFolder() const;

    void setMessages(std::unique_ptr<MessageBoxes> m) { m_messages = std::move(m); }
    void setProcess(std::unique_ptr<ProcessControl> p) { m_process = std::move(p); }
    void setShell(std::unique_ptr<Shell> s) { m_shell = std::move(s); }
    void setFileDialogs(std::unique_ptr<FileDialogs> d) { m_fileDialogs = std::move(d); }
    void setActivator(std::unique_ptr<WindowActivator> a) { m_activator = std::move(a); }
    void setSystemInformation(std::unique_ptr<SystemInformation> s) { m_systemInformation = std::move(s); }
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }
    void setClock(std::unique_ptr<Clock> c) { m_clock = std::move(c); }

private:
    std::unique_ptr<MessageBoxes> m_messages;
    std::unique_ptr<ProcessControl> m_process;
    std::unique_ptr<Shell> m_shell;
    std::unique_ptr<FileDialogs> m_fileDialogs;
    std::unique_ptr<WindowActivator> m_activator;
    std::unique_ptr<SystemInformation> m_systemInformation;
    std::unique_ptr<Clock> m_clock = std::make_unique<SystemClock>();
    QString m_programFolder;
};

}  // namespace quarvel
