#pragma once

#include "login/ConnectionSetup.h"
#include "platform/ConnectionSettingsEditor.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quarvel {

class Platform;

// The connection-settings dialog: the suite's SQL Server or an embedded database file, a test
// of the values, and saving them into the user's settings file. Opened when the connection
// fails at login, from the login window's link, by "quarvel --settings", and at the first
// start of an installation without settings (then with a word on the two choices).
class frmConnectionSettings : public QDialog {
public:
    explicit frmConnectionSettings(Platform& platform, QWidget* parent = nullptr);

    QLabel* lblIntro = nullptr;
    QRadioButton* optServer = nullptr;
    QRadioButton* optFile = nullptr;
    QLineEdit* txtServer = nullptr;
    QLineEdit* txtLogin = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtDatabase = nullptr;
    QLineEdit* txtFile = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdCreate = nullptr;
    QPushButton* cmdTest = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The values as the boxes hold them.
    ConnectionForm form() const;
    void setForm(const ConnectionForm& form);

    void cmdTest_Click();
    void cmdSave_Click();
    void cmdBrowse_Click();
    void cmdCreate_Click();

private:
    void kindChanged();
    bool complete();

    Platform& m_platform;
};

// The dialog behind the login window's ConnectionSettingsEditor.
class ConnectionSettingsDialog final : public ConnectionSettingsEditor {
public:
    explicit ConnectionSettingsDialog(Platform& platform) : m_platform(platform) {}
    bool edit(QWidget* parent) override;

private:
    Platform& m_platform;
};

}  // namespace quarvel
