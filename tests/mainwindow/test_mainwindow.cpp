#include "InputDriving.h"
#include "Organisation.h"
#include "TestSupport.h"

#include "GridChecks.h"
#include "WindowImage.h"
#include "library/PdfPageView.h"
#include "library/frmViewer.h"
#include "login/UserContext.h"
#include "login/frmLogin.h"
#include "mainwindow/Background.h"
#include "mainwindow/MDIForm1.h"
#include "mainwindow/MenuPermissions.h"
#include "mainwindow/frmAbout.h"
#include "reports/frmEffectiveRights.h"
#include "reports/frmReadingCoverage.h"
#include "reports/frmStatistics.h"
#include "widgets/Banner.h"
#include "widgets/grid/FlexGrid.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>
#include <unistd.h>

using namespace quarvel;
using namespace quarvel::test;

class MainWindowTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<frmLogin> login;

    void grant(const QString& group, const QString& position, const QString& form, const QVariant& popedom)
    {
        organisation().menuRight(group, position, form, popedom);
    }

    // The cashier 0020 "员工乙" (password "pw"), main position G02 of the finance department.
    void addCashier()
    {
        Organisation org = organisation();
        org.departments({kFinance});
        org.positions({{"G02", "出纳", "D01", "0020"}});
        org.employees({{"0020", "员工乙", "pw"}});
        org.assignments({{"0020", "G02"}});
    }

    std::unique_ptr<MDIForm1> openMain(const QString& position)
    {
        userContext() = UserContext{};
        userContext().EmployeeNo = QStringLiteral("0012");
        userContext().PositionCode = position;
        return std::make_unique<MDIForm1>(*platform, *login);
    }

    // Opens a top-level entry of the menu bar with the mouse and clicks one of its items.
    static void clickMenu(MDIForm1& w, const QString& top, const QString& item)
    {
        if (!w.isVisible()) {
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
        }
        QAction* topAction = w.menuControl(top);
        QVERIFY(topAction && topAction->menu());
        QTest::mouseClick(w.menuBar(), Qt::LeftButton, {}, w.menuBar()->actionGeometry(topAction).center());
        QMenu* menu = topAction->menu();
        QTRY_VERIFY(menu->isVisible());
        QAction* itemAction = w.menuControl(item);
        QVERIFY(itemAction && itemAction->isEnabled());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(itemAction).center());
    }

    static QStringList enabledEntries(const MDIForm1& w)
    {
        QStringList out;
        for (QAction* a : w.menuControls())
            if (a->isEnabled() && !a->isSeparator())
                out << a->objectName();
        return out;
    }

private slots:
    void init()
    {
        QVERIFY(setUp());
        login = std::make_unique<frmLogin>(*platform);
    }

    void cleanup()
    {
        login.reset();
        tearDown();
    }

    void menuTreeAndCaptions()
    {
        auto w = openMain(QStringLiteral("G01"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarvel"));
        QStringList names;
        for (QAction* a : w->menuControls()) {
            names << a->objectName();
            // Separators are plain: a text would be painted by some styles.
            QCOMPARE(a->text(), a->isSeparator() ? QString() : a->objectName());
        }
        QCOMPARE(names,
                 QStringList({"公司Quarvel",    "公司资料上传", "H20130921",    "公司资料查阅",     "H20130922",
                              "资料查阅记录",   "H20261209",    "阅读人员统计", "资料阅读覆盖",     "资料权限说明",
                              "资料基础设置",   "资料类型设置", "H20130924",    "资料上传权限设置", "H20130923",
                              "资料下载组设置", "H20261210",    "全文索引",     "其它模块",         "退出系统",
                              "退出",           "注销",         "关于",         "关于软件",         "联系我们"}));
    }

    void positionWithoutRowsKeepsOnlyTheExits()
    {
        auto w = openMain(QStringLiteral("G-none"));
        QCOMPARE(enabledEntries(*w), QStringList({"其它模块", "退出系统", "退出", "注销", "关于"}));
        QVERIFY(w->menuControl(QStringLiteral("H20130921"))->isEnabled());
        QVERIFY(platform->msgs().shown.isEmpty());
    }

    void grantingRowsWinOverRefusals()
    {
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("公司Quarvel"), 1);
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("公司资料查阅"), 0);
        grant(QStringLiteral("B"), QStringLiteral("G01"), QStringLiteral("公司资料查阅"), 1);
        grant(QStringLiteral("B"), QStringLiteral("G01"), QStringLiteral("资料查阅记录"), 0);
        grant(QStringLiteral("B"), QStringLiteral("G01"), QStringLiteral("没有这个菜单"), 1);
        auto w = openMain(QStringLiteral("G01"));
        QVERIFY(w->menuControl(QStringLiteral("公司资料查阅"))->isEnabled());
        QVERIFY(w->menuControl(QStringLiteral("公司Quarvel"))->isEnabled());
        QVERIFY(!w->menuControl(QStringLiteral("资料查阅记录"))->isEnabled());
        QVERIFY(!w->menuControl(QStringLiteral("公司资料上传"))->isEnabled());
        QVERIFY(!w->menuControl(QStringLiteral("关于软件"))->isEnabled());
    }

    void ungrantedRowsOfOtherPositionsDoNotCount()
    {
        grant(QStringLiteral("A"), QStringLiteral("G02"), QStringLiteral("公司资料查阅"), 1);
        db->exec(QStringLiteral("update 岗位权限设置 set 授权 = 0"));
        grant(QStringLiteral("C"), QStringLiteral("G01'--"), QStringLiteral("资料类型设置"), 1);
        auto w = openMain(QStringLiteral("G01"));
        QVERIFY(!w->menuControl(QStringLiteral("公司资料查阅"))->isEnabled());
        QVERIFY(!w->menuControl(QStringLiteral("资料类型设置"))->isEnabled());
    }

    void itemWithoutItsTopLevelEntry()
    {
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("公司资料查阅"), 1);
        auto w = openMain(QStringLiteral("G01"));
        QVERIFY(w->menuControl(QStringLiteral("公司资料查阅"))->isEnabled());
        QVERIFY(!w->menuControl(QStringLiteral("公司Quarvel"))->isEnabled());
    }

    void superUserKeepsEveryEntry()
    {
        userContext() = UserContext{};
        userContext().EmployeeNo = superUserMarker();
        MDIForm1 w(*platform, *login);
        for (QAction* a : w.menuControls())
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    }

    void nullPopedomIsReported()
    {
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("公司Quarvel"), 1);
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("公司资料上传"), QVariant());
        auto w = openMain(QStringLiteral("G01"));
        QCOMPARE(platform->msgs().shown.size(), 1);
        QCOMPARE(platform->msgs().shown.first().title, QStringLiteral("提示"));
        QVERIFY(platform->msgs().lastText().startsWith(QStringLiteral("错误号：")));
        QVERIFY(platform->msgs().lastText().contains(QStringLiteral("\n错误描述：")));
        // Null sorts first: nothing after it was applied.
        QVERIFY(!w->menuControl(QStringLiteral("公司Quarvel"))->isEnabled());
        QVERIFY(!w->menuControl(QStringLiteral("公司资料上传"))->isEnabled());
    }

    void childWindowsAreSingleInstance()
    {
        auto w = openMain(QStringLiteral("G01"));
        QWidget* first = w->showChildWindow(QStringLiteral("资料类型设置"));
        QVERIFY(first);
        QCOMPARE(first->windowTitle(), QStringLiteral("资料类型设置"));
        first->setProperty("filter", QStringLiteral("kept"));
        QWidget* other = w->showChildWindow(QStringLiteral("公司资料查阅"));
        QCOMPARE(other->windowTitle(), QStringLiteral("资料查阅与下载"));
        QCOMPARE(w->mdiArea()->activeSubWindow()->widget(), other);
        QWidget* again = w->showChildWindow(QStringLiteral("资料类型设置"));
        QCOMPARE(again, first);
        QCOMPARE(again->property("filter").toString(), QStringLiteral("kept"));
        QCOMPARE(w->mdiArea()->subWindowList().size(), 2);
        QCOMPARE(w->mdiArea()->activeSubWindow()->widget(), first);
    }

    // The reports on readers, coverage and effective rights are entries like any other: granted by
    // their own FormName, each opening its window from the menu.
    void reportEntriesAreGrantedAndOpenTheirWindows()
    {
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("公司Quarvel"), 1);
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("阅读人员统计"), 1);
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("资料阅读覆盖"), 1);
        auto w = openMain(QStringLiteral("G01"));
        QVERIFY(w->menuControl(QStringLiteral("阅读人员统计"))->isEnabled());
        QVERIFY(w->menuControl(QStringLiteral("资料阅读覆盖"))->isEnabled());
        QVERIFY(!w->menuControl(QStringLiteral("资料权限说明"))->isEnabled());
        QVERIFY(!w->menuControl(QStringLiteral("资料查阅记录"))->isEnabled());
        clickMenu(*w, QStringLiteral("公司Quarvel"), QStringLiteral("阅读人员统计"));
        auto* readers = dynamic_cast<frm资料下载汇总*>(w->childWindow(QStringLiteral("阅读人员统计")));
        QVERIFY(readers);
        QCOMPARE(readers->mode(), StatisticsMode::Readers);
        QCOMPARE(readers->windowTitle(), QStringLiteral("阅读人员统计"));
        clickMenu(*w, QStringLiteral("公司Quarvel"), QStringLiteral("资料阅读覆盖"));
        QVERIFY(dynamic_cast<frm资料阅读覆盖*>(w->childWindow(QStringLiteral("资料阅读覆盖"))));
        QVERIFY(dynamic_cast<frm资料权限说明*>(w->showChildWindow(QStringLiteral("资料权限说明"))));
        // The per-document statistics are a window of their own beside the per-reader one.
        auto* documents = dynamic_cast<frm资料下载汇总*>(w->showChildWindow(QStringLiteral("资料查阅记录")));
        QVERIFY(documents && documents != readers);
        QCOMPARE(documents->mode(), StatisticsMode::Documents);
    }

    // The viewer opens centred in the main window, and restored from maximised (the browse
    // window keeps the area maximised) it comes back there, large enough to show a page.
    void viewerIsCentredAndRestoresToAPage()
    {
        auto w = openMain(QStringLiteral("G01"));
        renderWindow(*w);
        const QSize inner = w->mdiArea()->viewport()->size();
        const auto centred = [&](const QMdiSubWindow* sub) {
            const QPoint expected((inner.width() - sub->width()) / 2, (inner.height() - sub->height()) / 2);
            return (sub->pos() - expected).manhattanLength() <= 2;
        };
        auto* viewer = dynamic_cast<Frm公司文件浏览*>(w->showChildWindow(QStringLiteral("公司文件浏览")));
        QVERIFY(viewer);
        auto* sub = qobject_cast<QMdiSubWindow*>(viewer->parentWidget());
        QVERIFY(!sub->isMaximized());
        QVERIFY2(centred(sub), qPrintable(QStringLiteral("%1,%2").arg(sub->x()).arg(sub->y())));
        sub->close();
        QTRY_VERIFY(!w->childWindow(QStringLiteral("公司文件浏览")));

        w->showChildWindow(QStringLiteral("公司资料查阅"));
        viewer = dynamic_cast<Frm公司文件浏览*>(w->showChildWindow(QStringLiteral("公司文件浏览")));
        sub = qobject_cast<QMdiSubWindow*>(viewer->parentWidget());
        QTRY_VERIFY(sub->isMaximized());
        sub->showNormal();
        QTRY_VERIFY(!sub->isMaximized());
        QVERIFY2(centred(sub), qPrintable(QStringLiteral("%1,%2").arg(sub->x()).arg(sub->y())));
        QVERIFY(sub->width() >= inner.width() * 3 / 4);
        QVERIFY(viewer->PDFView1->height() >= 300);
    }

    // At the main window's default size every list shows all its columns, the user's actions
    // at the right end too, and the names and times of typical documents whole.
    void listsFitTheDefaultSize_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("whole");
        QTest::newRow("browse") << QStringLiteral("公司资料查阅")
                                << QStringList{QStringLiteral("文件名称"), QStringLiteral("上传日期"),
                                               QStringLiteral("操作")};
        QTest::newRow("upload") << QStringLiteral("公司资料上传")
                                << QStringList{QStringLiteral("文件名称"), QStringLiteral("上传日期")};
        QTest::newRow("statistics") << QStringLiteral("资料查阅记录") << QStringList{QStringLiteral("文件名称")};
        QTest::newRow("readers") << QStringLiteral("阅读人员统计") << QStringList{QStringLiteral("最近访问")};
        QTest::newRow("coverage") << QStringLiteral("资料阅读覆盖")
                                  << QStringList{QStringLiteral("岗位"), QStringLiteral("最近访问")};
        QTest::newRow("rights") << QStringLiteral("资料权限说明")
                                << QStringList{QStringLiteral("岗位"), QStringLiteral("授予时间")};
    }

    void listsFitTheDefaultSize()
    {
        QFETCH(QString, entry);
        QFETCH(QStringList, whole);
        organisation().finance();
        db->addType(QStringLiteral("01"), QStringLiteral("管理制度"), QVariant(), 0);
        for (int i = 1; i <= 12; ++i) {
            const QString number = QStringLiteral("GL-2026-%1").arg(i, 3, 10, QLatin1Char('0'));
            QVERIFY(db->insert(
                QStringLiteral("公司文件信息"),
                {{QStringLiteral("编号"), number},
                 {QStringLiteral("文件名称"), QStringLiteral("2026年度财务预算编制与执行管理办法（第%1版）").arg(i)},
                 {QStringLiteral("文件类别"), QStringLiteral("01")},
                 {QStringLiteral("摘要"), QStringLiteral("规定年度预算的编制、审批、执行与调整的流程和责任")},
                 {QStringLiteral("关键字"), QStringLiteral("预算,财务")},
                 {QStringLiteral("文件级别"), 1},
                 {QStringLiteral("上传人工号"), QStringLiteral("0012")},
                 {QStringLiteral("上传日期"), QDateTime(QDate(2026, 3, i), QTime(14, 35))},
                 {QStringLiteral("部门"), QStringLiteral("D01")},
                 {QStringLiteral("岗位"), QStringLiteral("G01")},
                 {QStringLiteral("附件后缀"), QStringLiteral("pdf")},
                 {QStringLiteral("文件"), QByteArray("%PDF-1.4")}}));
            QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), number},
                                                                {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                                {QStringLiteral("岗位代号"), QStringLiteral("G01")},
                                                                {QStringLiteral("下载"), 1},
                                                                {QStringLiteral("查阅"), 1}}));
        }
        auto w = openMain(QStringLiteral("G01"));
        userContext().DeptCode = QStringLiteral("D01");
        renderWindow(*w);
        QWidget* window = w->showChildWindow(entry);
        QVERIFY(window);
        const QImage shown = renderWindow(*w);
        QVERIFY(!shown.isNull());
        const auto grids = window->findChildren<FlexGrid*>();
        QVERIFY(!grids.isEmpty());
        for (const FlexGrid* grid : grids) {
            if (!grid->isVisibleTo(window))
                continue;
            QCOMPARE(columnsBeyondView(*grid), QStringList());
            for (int c = 0; c < grid->cols(); ++c) {
                if (whole.contains(grid->textMatrix(0, c).trimmed()))
                    QVERIFY2(showsWhole(*grid, c), qPrintable(grid->textMatrix(0, c).trimmed()));
            }
        }
        if (entry == QStringLiteral("公司资料查阅"))
            QCOMPARE(window->findChild<FlexGrid*>(QStringLiteral("MSFlexGrid1"))->rows(), 13);
    }

    void closedChildWindowIsMadeAgain()
    {
        auto w = openMain(QStringLiteral("G01"));
        w->showChildWindow(QStringLiteral("资料类型设置"));
        w->mdiArea()->closeAllSubWindows();
        QTRY_VERIFY(!w->childWindow(QStringLiteral("资料类型设置")));
        QVERIFY(w->showChildWindow(QStringLiteral("资料类型设置")));
        QCOMPARE(w->mdiArea()->subWindowList().size(), 1);
    }

    // The full-text index is being built on the shared connection: a log-off waits for it to
    // stop, and says so.
    void noLogOffWhileTheIndexIsBuilt()
    {
        QVERIFY(db->insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), QStringLiteral("T-1")},
                                                            {QStringLiteral("文件名称"), QStringLiteral("通知")},
                                                            {QStringLiteral("附件后缀"), QStringLiteral("txt")},
                                                            {QStringLiteral("文件"), QByteArray("放假通知")}}));
        auto w = openMain(QStringLiteral("G01"));
        userContext().EmployeeNo = QStringLiteral("超级用户");
        w->show();
        QWidget* index = w->showChildWindow(QStringLiteral("全文索引"));
        QVERIFY(index);
        QTimer::singleShot(0, w.get(), [&] { w->menuControl(QStringLiteral("注销"))->trigger(); });
        clickButton(*index, QStringLiteral("StartButton"));
        QCOMPARE(platform->msgs().texts(),
                 QStringList({QStringLiteral("正在建立全文索引，请先点“停止”，停止后再注销。")}));
        QCOMPARE(userContext().EmployeeNo, QStringLiteral("超级用户"));
        QCOMPARE(w->mdiArea()->subWindowList().size(), 1);
    }

    void logOffUnderTheLauncherWritesTheNotice()
    {
        auto w = openMain(QStringLiteral("G01"));
        userContext().StartParameters = QStringLiteral("0012,a,b,c,d,e,f,g,h,i");
        w->showChildWindow(QStringLiteral("公司资料查阅"));
        w->showChildWindow(QStringLiteral("资料类型设置"));
        w->注销_Click();
        QTRY_COMPARE(w->mdiArea()->subWindowList().size(), 0);
        QFile notice(QDir(platform->programFolder()).filePath(QStringLiteral("Command.Dll")));
        QVERIFY(notice.open(QIODevice::ReadOnly));
        QCOMPARE(notice.readAll(), QByteArray("\xD7\xA2\xCF\xFA\x0D\x0A"));
        QCOMPARE(platform->activatorDouble().titles, QStringList({QStringLiteral("Corvane信息系统2011 zhuxiao")}));
    }

    void logOffNoticeThatCannotBeWrittenKeepsTheSession_data()
    {
        QTest::addColumn<bool>("fileSystem");
        QTest::newRow("program folder without write permission") << false;
        // Permissions do not bind the superuser (as CI runs); /proc takes no new file from anyone.
        QTest::newRow("file system that refuses new files") << true;
    }
    void logOffNoticeThatCannotBeWrittenKeepsTheSession()
    {
        QFETCH(bool, fileSystem);
        QTemporaryDir dir;
        QString folder = QStringLiteral("/proc");
        if (!fileSystem) {
            if (::geteuid() == 0)
                QSKIP("file permissions do not bind the superuser");
            folder = dir.filePath(QStringLiteral("program"));
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        } else if (!QFileInfo(folder).isDir()) {
            QSKIP("no /proc file system");
        }
        platform->setProgramFolder(folder);
        auto w = openMain(QStringLiteral("G01"));
        userContext().StartParameters = QStringLiteral("0012,a,b,c,d,e,f,g,h,i");
        w->showChildWindow(QStringLiteral("公司资料查阅"));
        w->showChildWindow(QStringLiteral("资料类型设置"));

        clickMenu(*w, QStringLiteral("退出系统"), QStringLiteral("注销"));
        if (!fileSystem)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        // The failure is shown, and nothing of the log-off happened.
        QTRY_COMPARE(platform->msgs().shown.size(), 1);
        const auto shown = platform->msgs().shown.first();
        QVERIFY2(shown.text.contains(QStringLiteral("Command.Dll")), qPrintable(shown.text));
        QVERIFY(shown.text.contains(QStringLiteral("注销")));
        QCOMPARE(shown.icon, MsgIcon::Critical);
        QCOMPARE(shown.title, QStringLiteral("Quarvel"));
        QCOMPARE(w->mdiArea()->subWindowList().size(), 2);
        QVERIFY(platform->activatorDouble().titles.isEmpty());
        QCOMPARE(platform->proc().endCount, 0);
        QCOMPARE(userContext().EmployeeNo, QStringLiteral("0012"));
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("Command.Dll"))));
    }

    void rejectedStartParametersLogOffBySwitchingUser()
    {
        // Fewer than ten parts: an ordinary login, so "注销" offers the switch of user.
        addCashier();
        db->useAsSettings();
        userContext() = UserContext{};
        std::unique_ptr<MDIForm1> w;
        login->showMainWindow = [&] { w = std::make_unique<MDIForm1>(*platform, *login); };
        QVERIFY(!login->Form_Load(QStringLiteral("0020,员工乙,D01")));
        login->show();
        QVERIFY(QTest::qWaitForWindowExposed(login.get()));
        QTest::keyClicks(login->TxtUser, QStringLiteral("0020"));
        QTest::keyClicks(login->txtPassword, QStringLiteral("pw"));
        QTest::mouseClick(login->cmdOK, Qt::LeftButton);
        QVERIFY(w);
        QCOMPARE(userContext().PositionCode, QStringLiteral("G02"));

        // Answer the login window once it is up as a modal dialog: close it with its close box.
        bool offered = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, login.get(), [&] {
            if (QApplication::activeModalWidget() != login.get())
                return;
            offered = login->Tag == QStringLiteral("切换");
            watch.stop();
            login->reject();
        });
        watch.start(20);
        QVERIFY(login->isHidden());
        clickMenu(*w, QStringLiteral("退出系统"), QStringLiteral("注销"));
        QTRY_VERIFY(offered);
        QVERIFY(!QFileInfo::exists(QDir(platform->programFolder()).filePath(QStringLiteral("Command.Dll"))));
        QVERIFY(platform->activatorDouble().titles.isEmpty());
    }

    void startParametersWithTrailingBlankInThePositionGetTheMenus()
    {
        // The launcher passes the position code untrimmed; the server ignores the blank.
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("公司Quarvel"), 1);
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("公司资料查阅"), 1);
        db->useAsSettings();
        userContext() = UserContext{};
        std::unique_ptr<MDIForm1> w;
        login->showMainWindow = [&] { w = std::make_unique<MDIForm1>(*platform, *login); };
        QVERIFY(login->Form_Load(QStringLiteral("0012,员工甲,D01,财务部,G01 ,会计,C1,管理部门,PL2,职员")));
        QVERIFY(w);
        QCOMPARE(userContext().PositionCode, QStringLiteral("G01 "));
        QVERIFY(platform->msgs().shown.isEmpty());
        QVERIFY(w->menuControl(QStringLiteral("公司Quarvel"))->isEnabled());
        QVERIFY(w->menuControl(QStringLiteral("公司资料查阅"))->isEnabled());
        QVERIFY(!w->menuControl(QStringLiteral("公司资料上传"))->isEnabled());
    }

    void heldDatabaseIsNamedInThePermissionMessage()
    {
        grant(QStringLiteral("A"), QStringLiteral("G01"), QStringLiteral("公司Quarvel"), 1);
        // A short busy time-out on the shared connection, so that the test does not wait 30 s.
        const QVariant handle = SharedConnection::database().driver()->handle();
        QCOMPARE(handle.typeName(), "sqlite3*");
        QCOMPARE(sqlite3_busy_timeout(*static_cast<sqlite3* const*>(handle.constData()), 100), SQLITE_OK);
        OtherClient other(db->path(), "BEGIN EXCLUSIVE", 1500,
                          "insert into 资料下载组 (组ID, 组名称, 备注) values ('X', 'X', '')");
        QVERIFY(other.holding());
        auto w = openMain(QStringLiteral("G01"));
        QCOMPARE(platform->msgs().shown.size(), 1);
        const QString text = platform->msgs().lastText();
        QVERIFY2(text.startsWith(QStringLiteral("错误号：")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\n错误描述：") + databaseBusyText()), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("database is locked")));
        QCOMPARE(platform->msgs().shown.last().title, QStringLiteral("提示"));
        QVERIFY(!w->menuControl(QStringLiteral("公司Quarvel"))->isEnabled());
    }

    void logOffNoticeReplacesAnOldFile()
    {
        QFile old(QDir(platform->programFolder()).filePath(QStringLiteral("Command.Dll")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("a much longer previous content\r\n");
        old.close();
        QVERIFY(writeLogOffNotice(platform->programFolder()).ok());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("\xD7\xA2\xCF\xFA\x0D\x0A"));
    }

    void otherModules()
    {
        auto w = openMain(QStringLiteral("G01"));
        w->其它模块_Click();
        QCOMPARE(platform->msgs().lastText(), QStringLiteral("对不起，您不属于多模块系统。"));
        QCOMPARE(platform->msgs().shown.last().icon, MsgIcon::None);
        QVERIFY(platform->activatorDouble().titles.isEmpty());
        userContext().StartParameters = QStringLiteral("x");
        w->其它模块_Click();
        QCOMPARE(platform->msgs().shown.size(), 1);
        QCOMPARE(platform->activatorDouble().titles, QStringList({QStringLiteral("CorvaneMIS系统2011版 ")}));
    }

    void switchOfUserReappliesPermissions()
    {
        addCashier();
        db->useAsSettings();
        grant(QStringLiteral("A"), QStringLiteral("G02"), QStringLiteral("资料基础设置"), 1);

        userContext() = UserContext{};
        userContext().EmployeeNo = superUserMarker();
        MDIForm1 w(*platform, *login);
        w.showChildWindow(QStringLiteral("资料类型设置"));
        QVERIFY(w.menuControl(QStringLiteral("公司Quarvel"))->isEnabled());
        auto* signedIn = w.findChild<QLabel*>(QStringLiteral("StatusUser"));
        QVERIFY(signedIn);
        QCOMPARE(signedIn->text(), QStringLiteral("当前用户：超级用户"));

        login->txtPassword->setText(QStringLiteral("old"));
        QTimer::singleShot(0, login.get(), [this] {
            QCOMPARE(login->Tag, QStringLiteral("切换"));
            QVERIFY(login->txtPassword->text().isEmpty());
            QVERIFY(login->isModal());
            login->TxtUser->setText(QStringLiteral("0020"));
            login->txtPassword->setText(QStringLiteral("pw"));
            login->cmdOK_Click();
        });
        w.注销_Click();
        QCOMPARE(userContext().EmployeeNo, QStringLiteral("0020"));
        // The status bar says who works now, in which position.
        QVERIFY2(signedIn->text().startsWith(QStringLiteral("当前用户：0020 员工乙    岗位：G02 出纳")),
                 qPrintable(signedIn->text()));
        QCOMPARE(w.mdiArea()->subWindowList().size(), 0);
        QVERIFY(w.menuControl(QStringLiteral("资料基础设置"))->isEnabled());
        QVERIFY(!w.menuControl(QStringLiteral("公司Quarvel"))->isEnabled());

        // Back to the super user: every entry again.
        QTimer::singleShot(0, login.get(), [this] {
            login->TxtUser->setText(QStringLiteral("sysOp"));
            login->txtPassword->setText(QStringLiteral("lantor"));
            login->cmdOK_Click();
        });
        w.注销_Click();
        for (QAction* a : w.menuControls())
            QVERIFY(a->isEnabled());
    }

    void abandonedSwitchLeavesOnlyTheExits()
    {
        db->useAsSettings();
        auto w = openMain(QStringLiteral("G01"));
        QTimer::singleShot(0, login.get(), [this] {
            login->TxtUser->setText(QStringLiteral("nobody"));
            login->txtPassword->setText(QStringLiteral("x"));
            login->cmdOK_Click();  // fails, clears the context
            login->reject();       // closed with its close box
        });
        w->注销_Click();
        QVERIFY(userContext().EmployeeNo.isEmpty());
        QCOMPARE(enabledEntries(*w), QStringList({"其它模块", "退出系统", "退出", "注销", "关于"}));
    }

    void exitAndContact()
    {
        auto w = openMain(QStringLiteral("G01"));
        w->联系我们_Click();
        QCOMPARE(platform->shellDouble().openedUrls, QList<QUrl>({QUrl(MDIForm1::vendorAddress())}));
        w->退出_Click();
        QCOMPARE(platform->proc().endCount, 1);
        w->close();
        QCOMPARE(platform->proc().endCount, 2);
    }

    void backgroundIsRenderedAtEveryResize()
    {
        const QString path = QDir(platform->programFolder()).filePath(QStringLiteral("MDI.BMP"));
        const auto savePicture = [&](const QColor& color) {
            QImage picture(64, 48, QImage::Format_RGB32);
            picture.fill(color);
            return picture.save(path, "BMP");
        };
        QVERIFY(savePicture(QColor(10, 200, 30)));
        auto w = openMain(QStringLiteral("G01"));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->resize(900, 600);
        QTRY_COMPARE(w->mdiArea()->background().texture().size(), w->mdiArea()->viewport()->size());
        QCOMPARE(w->mdiArea()->background().texture().toImage().pixelColor(5, 5), QColor(10, 200, 30));
        // The picture is read again at the next resize: a changed file shows, stretched anew.
        QVERIFY(savePicture(QColor(200, 20, 40)));
        w->resize(1000, 650);
        QTRY_COMPARE(w->mdiArea()->background().texture().size(), w->mdiArea()->viewport()->size());
        QCOMPARE(w->mdiArea()->background().texture().toImage().pixelColor(5, 5), QColor(200, 20, 40));
    }

    void missingBackgroundLeavesAPlainOne()
    {
        QVERIFY(Frmtu::render(platform->programFolder(), QSize(100, 100)).isNull());
        QFile broken(QDir(platform->programFolder()).filePath(QStringLiteral("MDI.BMP")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a picture");
        broken.close();
        QVERIFY(Frmtu::render(platform->programFolder(), QSize(100, 100)).isNull());
        auto w = openMain(QStringLiteral("G01"));
        w->show();
        w->resize(700, 500);
        QVERIFY(w->mdiArea()->background().texture().isNull());
    }

    void bannerSlicesFollowTheWidth()
    {
        const QSize picture(15420, 810);
        // Narrower than 12850 + 300: no repeated slices, the right end overlaps the left part.
        auto narrow = bannerSlices(13000, 810, picture);
        QCOMPARE(narrow.size(), 2);
        QCOMPARE(narrow.last().target, QRect(9000, 0, 4000, 810));
        QCOMPARE(narrow.last().source, QRect(8850, 0, 15420 - 8850, 810));
        // W − 4000 > 8850 + 300·i holds for i = 1 … 10 at W = 15900.
        auto wide = bannerSlices(15900, 900, picture);
        QCOMPARE(wide.size(), 12);
        QCOMPARE(wide.at(1).target, QRect(9150, 0, 300, 900));
        QCOMPARE(wide.at(10).target, QRect(11850, 0, 300, 900));
        QCOMPARE(wide.at(1).source, QRect(8850, 0, 300, 810));
        QCOMPARE(bannerPicture().size(), QSize(1028, 54));
    }

    // At the main window's default size the circles of the banner's right end come out round
    // and whole: each is lighter than the strip across its width and its height alike, and the
    // strip shows just outside it.
    void bannerCirclesAreRoundAtTheDefaultSize()
    {
        auto w = openMain(QStringLiteral("G01"));
        const QImage shown = renderWindow(*w);
        QCOMPARE(shown.size(), QSize(1100, 720) * shown.devicePixelRatio());
        BannerStrip* banner = w->Picture1();
        const QImage strip = shown.copy(QRect(banner->mapTo(w.get(), QPoint(0, 0)), banner->size()));
        const QVector<QRectF> circles = bannerCircles(banner->rect());
        QCOMPARE(circles.size(), 5);
        for (const QRectF& c : circles) {
            QVERIFY(banner->rect().contains(c.toAlignedRect()));
            const QPoint centre = c.center().toPoint();
            const int r = qRound(c.width() / 2);
            QCOMPARE(qRound(c.height() / 2), r);
            // The strip's own colour changes from top to bottom only: its left edge is the reference.
            const auto lighter = [&](int x, int y) {
                return strip.pixelColor(x, y).lightness() > strip.pixelColor(0, y).lightness() + 8;
            };
            for (const QPoint& d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                QVERIFY(lighter(centre.x() + d.x() * (r - 2), centre.y() + d.y() * (r - 2)));
                QVERIFY(!lighter(centre.x() + d.x() * (r + 2), centre.y() + d.y() * (r + 2)));
            }
        }
        // The program's icon is there for every window.
        QVERIFY(!QIcon(QStringLiteral(":/icons/quarvel.svg")).pixmap(32, 32).isNull());
    }

    void aboutBox()
    {
        userContext() = UserContext{};
        userContext().EmployeeNo = superUserMarker();
        auto w = std::make_unique<MDIForm1>(*platform, *login);
        clickMenu(*w, QStringLiteral("关于"), QStringLiteral("关于软件"));
        QTRY_VERIFY(w->aboutBox());
        frmAbout* about = w->aboutBox();
        QCOMPARE(about->cmdSysInfo->text(), QStringLiteral("系统信息"));
        QCOMPARE(about->windowTitle(), QStringLiteral("关于CorvaneMIS系统2011版"));
        QCOMPARE(about->Label7->text(), QStringLiteral("Tessaly1.0.0"));
        QCOMPARE(about->lblTitle->text(), QStringLiteral("CorvaneMIS系统2011版的一部分"));
        QCOMPARE(about->lblVersion->text(), QStringLiteral("版本"));
        w->关于软件_Click();
        QCOMPARE(w->aboutBox(), about);

        QTest::mouseClick(about->cmdSysInfo, Qt::LeftButton);
        QCOMPARE(platform->msgs().lastText(), QStringLiteral("此时系统信息不可用"));
        platform->sysInfoDouble().available = true;
        about->StartSysInfo();
        QCOMPARE(platform->sysInfoDouble().started, 1);
        QCOMPARE(platform->msgs().shown.size(), 1);
        QTest::mouseClick(about->cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!w->aboutBox());
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
