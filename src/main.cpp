#include "db/Connection.h"
#include "login/frmLogin.h"
#include "mainwindow/MDIForm1.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <csignal>
#include <memory>

int main(int argc, char* argv[])
{
    // A file that reaches the user's size limit must fail its write, which the client reports,
    // instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarvel"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(QUARVEL_VERSION_MAJOR).arg(QUARVEL_VERSION_MINOR).arg(QUARVEL_VERSION_PATCH));

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quarvel.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("quarvel"));

    // Chinese throughout: dates and numbers, and Qt's own dialogs and buttons.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    QTranslator qtTranslator;
    if (qtTranslator.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    quarvel::Platform platform;
    quarvel::frmLogin login(platform);
    std::unique_ptr<quarvel::MDIForm1> mainWindow;
    login.showMainWindow = [&] {
        if (!mainWindow)
            mainWindow = std::make_unique<quarvel::MDIForm1>(platform, login);
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    };

    // The module launcher passes the user context as the command line.
    const QStringList args = QApplication::arguments().mid(1);
    if (!login.Form_Load(args.join(u' ')))
        login.show();

    const int code = QApplication::exec();
    mainWindow.reset();
    quarvel::SharedConnection::release();
    return code;
}
