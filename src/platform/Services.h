#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace quarvel {

// The shell: opening files and addresses with their programs, starting programs.
class Shell {
public:
    virtual ~Shell() = default;
    virtual bool openFile(const QString& path) = 0;
    virtual bool openUrl(const QUrl& url) = 0;
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
};

class DesktopShell final : public Shell {
public:
    bool openFile(const QString& path) override;
    bool openUrl(const QUrl& url) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
};

// Activation of another program's window by its exact title (the module launcher's windows).
class WindowActivator {
public:
    virtual ~WindowActivator() = default;
    // True when a window with exactly this title was found and activated.
    virtual bool activate(const QString& exactTitle) = 0;
};

// On X11 through wmctrl or xdotool, whichever is installed; elsewhere nothing is found.
class X11WindowActivator final : public WindowActivator {
public:
    bool activate(const QString& exactTitle) override;
};

// The machine-information program of the About box.
class SystemInformation {
public:
    virtual ~SystemInformation() = default;
    // Starts the program; false when none is available.
    virtual bool start() = 0;
};

// Looks for a few well-known system-information programs on the PATH.
class InstalledSystemInformation final : public SystemInformation {
public:
    static QStringList candidates();
    static QString findProgram();
    bool start() override;
};

}  // namespace quarvel
