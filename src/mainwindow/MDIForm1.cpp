#include "mainwindow/MDIForm1.h"

#include "login/HandCursor.h"
#include "login/frmLogin.h"
#include "platform/Platform.h"

#include <QCloseEvent>
#include <QMdiArea>

namespace quarvel {

MDIForm1::MDIForm1(Platform& platform, frmLogin& login, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_login(login)
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("Quarvel"));
    m_mdi = new QMdiArea(this);
    setCentralWidget(m_mdi);
    resize(1024, 700);
    LoadHandCursor();
}

void MDIForm1::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_platform.process().endProgram();
}

}  // namespace quarvel
