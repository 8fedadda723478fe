#pragma once

#include "login/LoginService.h"
#include "platform/ConnectionSettingsEditor.h"

#include <QDialog>
#include <QVector>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quarvel {

class Platform;

// The login window: employee number and password, then the choice of position. Also serves
// the switch of user (Tag "切换") and the start by the module launcher.
class frmLogin : public QDialog {
public:
    explicit frmLogin(Platform& platform, QWidget* parent = nullptr);

    QLineEdit* TxtUser = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLabel* Label2 = nullptr;
    QListWidget* List1 = nullptr;
    QLabel* Label1 = nullptr;
    // Opens the connection-settings dialog; outside the tab order, so that user name, password,
    // OK and Cancel stay the keyboard's way through the window.
    QPushButton* cmdSettings = nullptr;

    // "" for the first login, "切换" for a switch of user from the main window.
    QString Tag;

    // The positions of the list, entry i for line i.
    QVector<PositionChoice> PositionChoices;

    // Shows the main window and brings it to the front; set by whoever owns it.
    std::function<void()> showMainWindow;

    // Start of the process: reads the command-line text into StartParameters. With ten or
    // more parts and a working connection the user is logged in from them and true is
    // returned (the window is never shown); otherwise the window is prepared for a manual
    // login and false is returned. Parameters of fewer than ten parts are no launcher start:
    // StartParameters is cleared again.
    bool Form_Load(const QString& commandLine);

    // Reads the four settings and opens the shared connection; reports a failure with its
    // reason and the driver's text.
    bool ConnectDatabase();

    // The connection-settings dialog as this window reaches it (by default the real dialog).
    void setSettingsEditor(std::unique_ptr<ConnectionSettingsEditor> editor) { m_settingsEditor = std::move(editor); }
    ConnectionSettingsEditor& settingsEditor() const { return *m_settingsEditor; }

    // The switch of user from the main window: the window asks for another login, modally,
    // without the position list and the password typed last.
    void askForSwitch();

    void cmdOK_Click();
    void cmdCancel_Click();
    // Chooses the selected line of List1 (double click, or Enter in the list); nothing when
    // no line is selected.
    void List1_DblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void choosePosition(int line);
    void finishLogin();
    void showPositionList(bool visible);

    Platform& m_platform;
    std::unique_ptr<ConnectionSettingsEditor> m_settingsEditor;
};

// The version text of the login window, "V" + major + "." + minor + "版".
QString loginVersionText();

}  // namespace quarvel
