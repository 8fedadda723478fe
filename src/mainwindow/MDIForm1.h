#pragma once

#include "mainwindow/frmAbout.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QVector>

#include <functional>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace quarvel {

class BannerStrip;
class Platform;
class frmAbout;
class frmLogin;

// The main window: the menu restricted to what the position may use, every other window as a
// single-instance child, log-off, switch of user and the way back to the module launcher.
class MDIForm1 : public QMainWindow {
public:
    MDIForm1(Platform& platform, frmLogin& login, QWidget* parent = nullptr);
    ~MDIForm1() override;

    // A child window for a menu entry: its caption and how it is made (on first use).
    using ChildFactory = std::function<QWidget*(MDIForm1& main)>;
    void registerChildWindow(const QString& entry, const QString& caption, ChildFactory create);

    // Shows the entry's window, creating it on first use and bringing it to the front.
    QWidget* showChildWindow(const QString& entry);
    // The entry's window when it is open.
    QWidget* childWindow(const QString& entry) const;

    // Applies the menu permissions of the logged-in position.
    void 权限设置();
    // Enables every menu entry (the super user).
    void enableAllEntries();

    // The menu controls in their collection order (each action's objectName is its name).
    const QVector<QAction*>& menuControls() const { return m_menuControls; }
    QAction* menuControl(const QString& name) const;

    // Menu handlers, named after the entries.
    void 其它模块_Click();
    void 注销_Click();
    void 退出_Click();
    void 关于软件_Click();
    void 联系我们_Click();

    QMdiArea* mdiArea() const { return m_mdi; }
    Platform& platform() const { return m_platform; }
    BannerStrip* Picture1() const { return m_banner; }
    frmAbout* aboutBox() const { return m_about; }
    // Renders the background picture again for the current size.
    void renderBackground();

    // The vendor's web address opened by "联系我们".
    static QString vendorAddress();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The status bar names the user and his position (after a switch of user too).
    void showSignedInUser();
    struct ChildEntry {
        QString caption;
        ChildFactory create;
    };

    void buildMenu();
    QMenu* addTopLevel(const QString& name);
    QAction* addItem(QMenu* menu, const QString& name);
    void addSeparator(QMenu* menu, const QString& name);
    void registerWindows();
    void placeChildWindow(QMdiSubWindow* sub, const QSize& own);

    Platform& m_platform;
    frmLogin& m_login;
    QMdiArea* m_mdi = nullptr;
    BannerStrip* m_banner = nullptr;
    QLabel* m_signedIn = nullptr;  // who is signed in, in which position
    QPointer<frmAbout> m_about;
    QVector<QAction*> m_menuControls;
    QHash<QString, ChildEntry> m_childEntries;
    QHash<QString, QPointer<QMdiSubWindow>> m_children;
};

}  // namespace quarvel
