#include "mainwindow/MDIForm1.h"

#include "doctypes/frmTypeSettings.h"
#include "library/frmBrowse.h"
#include "library/frmFullTextIndex.h"
#include "library/frmUpload.h"
#include "library/frmViewer.h"
#include "login/UserContext.h"
#include "login/frmLogin.h"
#include "mainwindow/Background.h"
#include "mainwindow/MenuPermissions.h"
#include "mainwindow/frmAbout.h"
#include "permissions/frmDownloadGroups.h"
#include "permissions/frmUploadPermissions.h"
#include "platform/Platform.h"
#include "reports/frmEffectiveRights.h"
#include "reports/frmReadingCoverage.h"
#include "reports/frmStatistics.h"
#include "widgets/Banner.h"
#include "widgets/HandCursor.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

namespace quarvel {

MDIForm1::MDIForm1(Platform& platform, frmLogin& login, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_login(login)
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("Quarvel"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_banner = new BannerStrip(central);
    m_mdi = new QMdiArea(central);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    layout->addWidget(m_banner);
    layout->addWidget(m_mdi, 1);
    setCentralWidget(central);
    m_mdi->viewport()->installEventFilter(this);

    buildMenu();
    registerWindows();
    resize(1100, 720);

    m_signedIn = new QLabel(this);
    m_signedIn->setObjectName(QStringLiteral("StatusUser"));
    statusBar()->addWidget(m_signedIn, 1);

    // Load: the permissions of the position (the super user keeps every entry), the hand cursor.
    if (!userContext().isSuperUser())
        权限设置();
    showSignedInUser();
    LoadHandCursor();
}

void MDIForm1::showSignedInUser()
{
    const UserContext& c = userContext();
    if (c.isSuperUser()) {
        m_signedIn->setText(QStringLiteral("当前用户：超级用户"));
        return;
    }
    const QString user = (c.EmployeeNo + u' ' + c.EmployeeName).trimmed();
    const QString position = (c.PositionCode + u' ' + c.PositionName).trimmed();
    QString text = QStringLiteral("当前用户：") + user;
    if (!position.isEmpty())
        text += QStringLiteral("    岗位：") + position;
    if (!c.DeptName.trimmed().isEmpty())
        text += QStringLiteral("（") + c.DeptName.trimmed() + QStringLiteral("）");
    m_signedIn->setText(text);
}

MDIForm1::~MDIForm1() = default;

QMenu* MDIForm1::addTopLevel(const QString& name)
{
    QMenu* menu = menuBar()->addMenu(name);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    m_menuControls.append(menu->menuAction());
    return menu;
}

QAction* MDIForm1::addItem(QMenu* menu, const QString& name)
{
    QAction* action = menu->addAction(name);
    action->setObjectName(name);
    m_menuControls.append(action);
    return action;
}

void MDIForm1::addSeparator(QMenu* menu, const QString& name)
{
    QAction* separator = menu->addSeparator();
    // Named as the menu permissions know it; no text, which some styles would paint.
    separator->setObjectName(name);
    m_menuControls.append(separator);
}

void MDIForm1::buildMenu()
{
    const auto opens = [this](QAction* action) {
        const QString entry = action->objectName();
        connect(action, &QAction::triggered, this, [this, entry] { showChildWindow(entry); });
    };

    QMenu* company = addTopLevel(QStringLiteral("公司Quarvel"));
    opens(addItem(company, QStringLiteral("公司资料上传")));
    addSeparator(company, QStringLiteral("H20130921"));
    opens(addItem(company, QStringLiteral("公司资料查阅")));
    addSeparator(company, QStringLiteral("H20130922"));
    opens(addItem(company, QStringLiteral("资料查阅记录")));
    // The reports on readers, reading coverage and effective rights, each granted by its own
    // FormName like every other entry.
    addSeparator(company, QStringLiteral("H20261209"));
    opens(addItem(company, QStringLiteral("阅读人员统计")));
    opens(addItem(company, QStringLiteral("资料阅读覆盖")));
    opens(addItem(company, QStringLiteral("资料权限说明")));

    QMenu* basics = addTopLevel(QStringLiteral("资料基础设置"));
    opens(addItem(basics, QStringLiteral("资料类型设置")));
    addSeparator(basics, QStringLiteral("H20130924"));
    opens(addItem(basics, QStringLiteral("资料上传权限设置")));
    addSeparator(basics, QStringLiteral("H20130923"));
    opens(addItem(basics, QStringLiteral("资料下载组设置")));
    addSeparator(basics, QStringLiteral("H20261210"));
    opens(addItem(basics, QStringLiteral("全文索引")));

    // "其它模块" is clicked itself: a top-level action without items.
    QAction* others = menuBar()->addAction(QStringLiteral("其它模块"));
    others->setObjectName(QStringLiteral("其它模块"));
    m_menuControls.append(others);
    connect(others, &QAction::triggered, this, [this] { 其它模块_Click(); });

    QMenu* exitMenu = addTopLevel(QStringLiteral("退出系统"));
    connect(addItem(exitMenu, QStringLiteral("退出")), &QAction::triggered, this, [this] { 退出_Click(); });
    connect(addItem(exitMenu, QStringLiteral("注销")), &QAction::triggered, this, [this] { 注销_Click(); });

    QMenu* about = addTopLevel(QStringLiteral("关于"));
    connect(addItem(about, QStringLiteral("关于软件")), &QAction::triggered, this, [this] { 关于软件_Click(); });
    connect(addItem(about, QStringLiteral("联系我们")), &QAction::triggered, this, [this] { 联系我们_Click(); });
}

void MDIForm1::registerWindows()
{
    const QList<QPair<QString, QString>> captions = {
        {QStringLiteral("公司资料上传"), QStringLiteral("公司资料上传")},
        {QStringLiteral("公司资料查阅"), QStringLiteral("资料查阅与下载")},
        {QStringLiteral("资料查阅记录"), QStringLiteral("资料下载记录汇总")},
        {QStringLiteral("资料类型设置"), QStringLiteral("资料类型设置")},
        {QStringLiteral("资料上传权限设置"), QStringLiteral("资料上传权限设置")},
        {QStringLiteral("资料下载组设置"), QStringLiteral("资料下载组设置")},
    };
    for (const auto& [entry, caption] : captions) {
        registerChildWindow(entry, caption, [](MDIForm1&) {
            auto* w = new QWidget;
            w->resize(640, 420);
            return w;
        });
    }
    registerChildWindow(QStringLiteral("资料类型设置"), QStringLiteral("资料类型设置"),
                        [](MDIForm1& main) { return new frm资料类型设置(main.platform()); });
    registerChildWindow(QStringLiteral("公司资料上传"), QStringLiteral("公司资料上传"),
                        [](MDIForm1& main) { return new Frm公司资料上传(main.platform()); });
    registerChildWindow(QStringLiteral("公司文件浏览"), QStringLiteral("公司文件浏览"),
                        [](MDIForm1& main) { return new Frm公司文件浏览(main.platform()); });
    registerChildWindow(QStringLiteral("公司资料查阅"), QStringLiteral("资料查阅与下载"), [](MDIForm1& main) {
        auto* browse = new Frm公司资料查阅(main.platform());
        browse->setLinks(
            {[&main]() -> qint64* {
                 auto* upload = dynamic_cast<Frm公司资料上传*>(main.childWindow(QStringLiteral("公司资料上传")));
                 return upload ? &upload->ViewDocumentID : nullptr;
             },
             [&main] { return dynamic_cast<Frm公司文件浏览*>(main.showChildWindow(QStringLiteral("公司文件浏览"))); }});
        return browse;
    });
    registerChildWindow(QStringLiteral("资料上传权限设置"), QStringLiteral("资料上传权限设置"),
                        [](MDIForm1& main) { return new frm资料上传权限设置(main.platform()); });
    registerChildWindow(QStringLiteral("资料下载组设置"), QStringLiteral("资料下载组设置"),
                        [](MDIForm1& main) { return new frm资料下载组设置(main.platform()); });
    registerChildWindow(QStringLiteral("全文索引"), QStringLiteral("全文索引"),
                        [](MDIForm1& main) { return new frmFullTextIndex(main.platform()); });
    registerChildWindow(QStringLiteral("资料查阅记录"), QStringLiteral("资料下载记录汇总"),
                        [](MDIForm1& main) { return new frm资料下载汇总(main.platform()); });
    registerChildWindow(QStringLiteral("阅读人员统计"), QStringLiteral("阅读人员统计"), [](MDIForm1& main) {
        return new frm资料下载汇总(main.platform(), nullptr, StatisticsMode::Readers);
    });
    registerChildWindow(QStringLiteral("资料阅读覆盖"), QStringLiteral("资料阅读覆盖"),
                        [](MDIForm1& main) { return new frm资料阅读覆盖(main.platform()); });
    registerChildWindow(QStringLiteral("资料权限说明"), QStringLiteral("资料权限说明"),
                        [](MDIForm1& main) { return new frm资料权限说明(main.platform()); });
}

void MDIForm1::registerChildWindow(const QString& entry, const QString& caption, ChildFactory create)
{
    m_childEntries.insert(entry, ChildEntry{caption, std::move(create)});
}

QWidget* MDIForm1::childWindow(const QString& entry) const
{
    const QPointer<QMdiSubWindow> sub = m_children.value(entry);
    return sub ? sub->widget() : nullptr;
}

QWidget* MDIForm1::showChildWindow(const QString& entry)
{
    const auto found = m_childEntries.constFind(entry);
    if (found == m_childEntries.constEnd())
        return nullptr;
    WaitCursor hourglass;
    QPointer<QMdiSubWindow> sub = m_children.value(entry);
    if (!sub) {
        QWidget* window = found->create(*this);
        if (!window)
            return nullptr;
        if (window->objectName().isEmpty())
            window->setObjectName(entry);
        if (window->windowTitle().isEmpty())
            window->setWindowTitle(found->caption);
        window->setAttribute(Qt::WA_DeleteOnClose);
        const QSize own = window->size();
        sub = m_mdi->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        m_children.insert(entry, sub);
        placeChildWindow(sub, own);
    }
    sub->show();
    sub->widget()->show();
    m_mdi->setActiveSubWindow(sub);
    sub->raise();
    return sub->widget();
}

// A new child window gets the size it gave itself (the windows lay out their controls by hand,
// so their size hint says nothing), within the main window's inner area, and is centred there.
// A window that the area shows maximised comes back to this place when the user restores it.
void MDIForm1::placeChildWindow(QMdiSubWindow* sub, const QSize& own)
{
    const QMargins frame = sub->contentsMargins();
    QSize size = own.grownBy(frame).expandedTo(sub->minimumSizeHint());
    const QSize inner = m_mdi->viewport()->size();
    if (isVisible() && !inner.isEmpty())
        size = size.boundedTo(inner);
    sub->resize(size);
    CenterInMainWindow(sub);
}

QAction* MDIForm1::menuControl(const QString& name) const
{
    for (QAction* a : m_menuControls) {
        if (a->objectName() == name)
            return a;
    }
    return nullptr;
}

void MDIForm1::enableAllEntries()
{
    for (QAction* a : std::as_const(m_menuControls))
        a->setEnabled(true);
}

void MDIForm1::权限设置()
{
    static const QStringList alwaysEnabled = {QStringLiteral("注销"), QStringLiteral("关于"), QStringLiteral("退出"),
                                              QStringLiteral("其它模块")};
    for (QAction* a : std::as_const(m_menuControls)) {
        const bool keep = alwaysEnabled.contains(a->objectName()) || a->isSeparator();
        a->setEnabled(keep);
    }

    const DbResult<QVector<MenuGrant>> rows = MenuPermissions::load(userContext().PositionCode);
    if (!rows.ok()) {
        m_platform.messages().inform(this, formatError(rows.error, ErrorForm::NumberAndDescription),
                                     QStringLiteral("提示"));
        return;
    }
    for (const MenuGrant& grant : rows.value) {
        if (!grant.popedom.has_value()) {
            m_platform.messages().inform(this,
                                         formatError(DbError{94, QStringLiteral("无效使用 Null: ") + grant.formName
                                                                     + QStringLiteral(" 的 Popedom 为空")},
                                                     ErrorForm::NumberAndDescription),
                                         QStringLiteral("提示"));
            return;
        }
        if (QAction* a = menuControl(grant.formName))
            a->setEnabled(*grant.popedom);
    }
    if (QAction* exitEntry = menuControl(QStringLiteral("退出系统")))
        exitEntry->setEnabled(true);
}

void MDIForm1::其它模块_Click()
{
    if (!userContext().StartParameters.isEmpty()) {
        m_platform.activator().activate(QStringLiteral("CorvaneMIS系统2011版 "));
        return;
    }
    m_platform.messages().show(this, QStringLiteral("对不起，您不属于多模块系统。"), applicationTitle(), MsgIcon::None,
                               MsgButtons::Ok);
}

void MDIForm1::注销_Click()
{
    // A back-fill of the full-text index runs on the shared connection: the session it works for
    // ends only once it has stopped.
    if (auto* index = dynamic_cast<frmFullTextIndex*>(childWindow(QStringLiteral("全文索引")));
        index && index->isRunning()) {
        m_platform.messages().inform(this, QStringLiteral("正在建立全文索引，请先点“停止”，停止后再注销。"),
                                     applicationTitle(), MsgIcon::Information);
        return;
    }
    const bool underLauncher = !userContext().StartParameters.isEmpty();
    if (underLauncher) {
        // The notice comes first: when it cannot be written (a read-only program folder) the
        // launcher would never learn of the log-off, so the session stays as it is.
        const DbStatus written = writeLogOffNotice(m_platform.programFolder());
        if (!written.ok()) {
            m_platform.messages().inform(
                this,
                QStringLiteral("无法注销：不能写入文件 %1\n%2")
                    .arg(QDir::toNativeSeparators(logOffNoticePath(m_platform.programFolder())),
                         written.error.description),
                applicationTitle(), MsgIcon::Critical);
            return;
        }
    }

    // Close the child windows one by one, always the active one.
    while (!m_mdi->subWindowList().isEmpty()) {
        QMdiSubWindow* active = m_mdi->activeSubWindow();
        if (!active)
            active = m_mdi->subWindowList().constFirst();
        // A window that keeps itself open (work it must finish first) keeps the session.
        if (!active->close())
            return;
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    if (m_about)
        m_about->close();

    if (underLauncher) {
        m_platform.activator().activate(QStringLiteral("Corvane信息系统2011 zhuxiao"));
        return;
    }

    m_login.askForSwitch();

    if (userContext().isSuperUser())
        enableAllEntries();
    else
        权限设置();
    showSignedInUser();
}

void MDIForm1::退出_Click() { m_platform.process().endProgram(); }

void MDIForm1::关于软件_Click()
{
    if (!m_about) {
        m_about = new frmAbout(m_platform, this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

QString MDIForm1::vendorAddress() { return QStringLiteral("https://www.corvane.example.com/"); }

void MDIForm1::联系我们_Click()
{
    if (!m_platform.shell().openUrl(QUrl(vendorAddress())))
        qWarning("No web browser could open %s", qPrintable(vendorAddress()));
}

void MDIForm1::renderBackground()
{
    const QPixmap picture = Frmtu::render(m_platform.programFolder(), m_mdi->viewport()->size());
    if (picture.isNull())
        m_mdi->setBackground(palette().brush(QPalette::Dark));
    else
        m_mdi->setBackground(QBrush(picture));
}

bool MDIForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_mdi->viewport() && event->type() == QEvent::Resize)
        renderBackground();
    return QMainWindow::eventFilter(watched, event);
}

void MDIForm1::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_platform.process().endProgram();
}

}  // namespace quarvel
