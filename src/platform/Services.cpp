#include "platform/Services.h"

#include <QDesktopServices>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace quarvel {

bool DesktopShell::openFile(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

bool DesktopShell::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool DesktopShell::startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

namespace {
bool runQuietly(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(5000)) {
        p.kill();
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
}  // namespace

bool X11WindowActivator::activate(const QString& exactTitle)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    // wmctrl: -F makes the title match exact and case-sensitive.
    const QString wmctrl = QStandardPaths::findExecutable(QStringLiteral("wmctrl"));
    if (!wmctrl.isEmpty())
        return runQuietly(wmctrl, {QStringLiteral("-F"), QStringLiteral("-a"), exactTitle});
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (!xdotool.isEmpty()) {
        const QString pattern = u'^' + QRegularExpression::escape(exactTitle) + u'$';
        QByteArray ids;
        if (!runQuietly(xdotool, {QStringLiteral("search"), QStringLiteral("--name"), pattern}, &ids))
            return false;
        const QByteArray first = ids.split('\n').value(0).trimmed();
        if (first.isEmpty())
            return false;
        return runQuietly(xdotool, {QStringLiteral("windowactivate"), QString::fromLatin1(first)});
    }
    return false;
}

QStringList InstalledSystemInformation::candidates()
{
    return {QStringLiteral("hardinfo2"),   QStringLiteral("hardinfo"),
            QStringLiteral("kinfocenter"), QStringLiteral("gnome-system-monitor"),
            QStringLiteral("lshw-gtk"),    QStringLiteral("xfce4-taskmanager")};
}

QString InstalledSystemInformation::findProgram()
{
    const QStringList names = candidates();
    for (const QString& name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

bool InstalledSystemInformation::start()
{
    const QString program = findProgram();
    return !program.isEmpty() && QProcess::startDetached(program, {});
}

}  // namespace quarvel
