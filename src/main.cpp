#include "db/Connection.h"
#include "login/ConnectionSetup.h"
#include "login/frmLogin.h"
#include "mainwindow/MDIForm1.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QDialog>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

QString versionText()
{
    return QStringLiteral("%1.%2.%3").arg(QUARVEL_VERSION_MAJOR).arg(QUARVEL_VERSION_MINOR).arg(QUARVEL_VERSION_PATCH);
}

// Printed by --help, before any window system is needed.
const char* const kUsage =
    "用法: quarvel [选项]\n"
    "      quarvel 工号,姓名,部门代号,部门名称,岗位代号,岗位名称,部门类别代号,部门类别名称,岗位类别编号,岗位类别名称\n"
    "\n"
    "Quarvel 公司资料管理: Corvane 系统的公司资料模块。\n"
    "\n"
    "选项:\n"
    "  --settings    打开数据库连接设置窗口, 关闭它后结束\n"
    "  --self-test   照常启动到第一个窗口 (登录窗口或连接设置窗口), 在标准输出写出它的名称后结束\n"
    "  --version     显示版本\n"
    "  --help        显示本说明\n"
    "\n"
    "模块启动器传入的十个以逗号分隔的值 (用户上下文) 直接登录, 不显示登录窗口;\n"
    "连接失败时登录窗口照常打开。\n"
    "\n"
    "连接设置保存在 ~/.config/CorvaneMIS2011/CorvaneMIS2011.conf 的 [DBConfig] 一节\n"
    "(Svr, UID, PWD, DBname; 用户文件里没有的键从 /etc/xdg/CorvaneMIS2011/CorvaneMIS2011.conf 读取)。\n"
    "Svr 为 主机、主机\\实例 或 主机,端口 时连接 SQL Server (ODBC 驱动 FreeTDS, 可由环境变量\n"
    "QUARVEL_ODBC_DRIVER 改变); sqlite:路径 为本机数据库文件; odbc:连接文本 为任意 ODBC 数据源。\n"
    "详见 man quarvel。\n";

enum class Mode { Normal, Settings, SelfTest };

// The first window the process shows, for --self-test: written out, then every loop ends.
void reportFirstWindow(bool& done)
{
    QTimer::singleShot(0, [&done] {
        QStringList shown;
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* w : windows) {
            if (w->isVisible() && !w->objectName().isEmpty())
                shown << w->objectName();
        }
        std::printf("%s\n", qPrintable(shown.join(u' ')));
        std::fflush(stdout);
        done = true;
        QCoreApplication::exit(shown.isEmpty() ? 1 : 0);
    });
}

}  // namespace

int main(int argc, char* argv[])
{
    Mode mode = Mode::Normal;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quarvel %s\n", qPrintable(versionText()));
            return 0;
        }
        if (std::strcmp(argv[i], "--settings") == 0) {
            mode = Mode::Settings;
        } else if (std::strcmp(argv[i], "--self-test") == 0) {
            mode = Mode::SelfTest;
        } else if (std::strncmp(argv[i], "--", 2) == 0) {
            std::fprintf(stderr, "quarvel: 未知选项 %s\n\n", argv[i]);
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    // A file that reaches the user's size limit must fail its write, which the client reports,
    // instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarvel"));
    QApplication::setApplicationVersion(versionText());

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
    bool selfTestDone = false;
    if (mode == Mode::SelfTest)
        reportFirstWindow(selfTestDone);

    if (mode == Mode::Settings)
        return login.settingsEditor().edit(nullptr) ? 0 : 1;

    std::unique_ptr<quarvel::MDIForm1> mainWindow;
    login.showMainWindow = [&] {
        if (!mainWindow)
            mainWindow = std::make_unique<quarvel::MDIForm1>(platform, login);
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    };

    // The module launcher passes the user context as the command line.
    QStringList args = QApplication::arguments().mid(1);
    args.removeAll(QStringLiteral("--self-test"));
    // An installation without any setting starts with the settings: a new embedded database
    // for this machine, or the suite's server.
    if (args.isEmpty() && quarvel::ConnectionSetup::nothingConfigured()) {
        login.settingsEditor().edit(nullptr);
        if (selfTestDone)
            return 0;
    }
    if (!login.Form_Load(args.join(u' ')))
        login.show();

    const int code = QApplication::exec();
    mainWindow.reset();
    quarvel::SharedConnection::release();
    return code;
}
