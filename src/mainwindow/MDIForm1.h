#pragma once

#include <QMainWindow>

class QMdiArea;

namespace quarvel {

class Platform;
class frmLogin;

// The main window: hosts every other window as a child window.
class MDIForm1 : public QMainWindow {
public:
    MDIForm1(Platform& platform, frmLogin& login, QWidget* parent = nullptr);

    QMdiArea* mdiArea() const { return m_mdi; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Platform& m_platform;
    frmLogin& m_login;
    QMdiArea* m_mdi = nullptr;
};

}  // namespace quarvel
