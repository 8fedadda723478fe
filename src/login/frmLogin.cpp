#include "login/frmLogin.h"

#include "db/Connection.h"
#include "db/ConnectionCheck.h"
#include "login/frmConnectionSettings.h"
#include "platform/Platform.h"
#include "widgets/Banner.h"
#include "widgets/TypedText.h"

#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quarvel {

QString loginVersionText() { return QStringLiteral("V%1.%2版").arg(QUARVEL_VERSION_MAJOR).arg(QUARVEL_VERSION_MINOR); }

frmLogin::frmLogin(Platform& platform, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_settingsEditor(std::make_unique<ConnectionSettingsDialog>(platform))
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("CorvaneMIS系统"));

    // The window's picture: the left end of the banner, with the product name on it.
    auto* title = new QLabel(this);
    title->setObjectName(QStringLiteral("Picture1"));
    title->setPixmap(QPixmap::fromImage(bannerPicture().copy(0, 0, 400, 54)));
    title->setAccessibleName(QStringLiteral("Quarvel 公司资料管理"));
    title->setAlignment(Qt::AlignLeft);

    TxtUser = new QLineEdit(this);
    TxtUser->setObjectName(QStringLiteral("TxtUser"));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    // The password character is "*", whatever the style would draw.
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    guardTypedText(TxtUser);
    guardTypedText(txtPassword);

    auto* userLabel = new QLabel(QStringLiteral("用户名(&U)："), this);
    userLabel->setBuddy(TxtUser);
    auto* passwordLabel = new QLabel(QStringLiteral("密码(&P)："), this);
    passwordLabel->setBuddy(txtPassword);

    cmdOK = new QPushButton(QStringLiteral("登录(&O)"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setAutoDefault(true);  // Enter on a focused button presses it
    cmdCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(true);

    Label2 = new QLabel(QStringLiteral("请您选择要登录的岗位"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("请您选择要登录的岗位"));
    Label2->setBuddy(List1);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignRight);
    cmdSettings = new QPushButton(QStringLiteral("数据库连接设置…"), this);
    cmdSettings->setObjectName(QStringLiteral("cmdSettings"));
    cmdSettings->setFlat(true);
    cmdSettings->setFocusPolicy(Qt::NoFocus);
    cmdSettings->setAutoDefault(false);
    cmdSettings->setCursor(Qt::PointingHandCursor);
    cmdSettings->setStyleSheet(QStringLiteral("color: palette(link); text-decoration: underline;"));

    auto* form = new QFormLayout;
    form->addRow(userLabel, TxtUser);
    form->addRow(passwordLabel, txtPassword);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 12, 12, 8);
    body->addLayout(form);
    body->addLayout(buttons);
    body->addWidget(Label2);
    body->addWidget(List1);
    auto* footer = new QHBoxLayout;
    footer->addWidget(cmdSettings);
    footer->addStretch();
    footer->addWidget(Label1);
    body->addLayout(footer);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(title);
    layout->addLayout(body);
    setFixedWidth(400);  // as wide as its picture

    setTabOrder(TxtUser, txtPassword);
    setTabOrder(txtPassword, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    showPositionList(false);
    TxtUser->setFocus();
    TxtUser->installEventFilter(this);
    txtPassword->installEventFilter(this);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdSettings, &QPushButton::clicked, this, [this] { m_settingsEditor->edit(this); });
    // A double click chooses the line; so does Enter (see eventFilter), on a selected line only.
    connect(List1, &QListWidget::itemDoubleClicked, this, [this] { List1_DblClick(); });
    List1->installEventFilter(this);
}

void frmLogin::showPositionList(bool visible)
{
    Label2->setVisible(visible);
    List1->setVisible(visible);
    adjustSize();
}

bool frmLogin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == List1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            List1_DblClick();
            return true;
        }
    }
    if (watched == TxtUser || watched == txtPassword) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                // Enter moves on like Tab.
                focusNextChild();
                return true;
            }
        } else if (event->type() == QEvent::FocusIn) {
            auto* edit = static_cast<QLineEdit*>(watched);
            // Deferred, so that a mouse click does not undo the selection.
            QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
            edit->selectAll();
            if (watched == TxtUser)
                showPositionList(false);
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool frmLogin::Form_Load(const QString& commandLine)
{
    UserContext& context = userContext();
    context.StartParameters = commandLine;
    if (!context.StartParameters.isEmpty()) {
        if (context.assignFromStartParameters(context.StartParameters)) {
            if (ConnectDatabase()) {
                if (showMainWindow)
                    showMainWindow();
                close();
                return true;
            }
        } else {
            // Not a launcher start after all: the session is an ordinary one, so that "注销"
            // offers a switch of user instead of signalling a launcher that is not there.
            qWarning("Start parameters need ten comma-separated values; showing the login window.");
            context.StartParameters.clear();
        }
    }
    Label1->setText(loginVersionText());
    return false;
}

bool frmLogin::ConnectDatabase()
{
    const ConnectionReport opened = openSharedConnection(ConnectionSettings::fromStore());
    if (opened.ok())
        return true;
    qWarning("Database connection failed: %s", qPrintable(opened.driverText));
    m_platform.messages().inform(this, opened.failureMessage(), QStringLiteral("连接提示"), MsgIcon::Information);
    return false;
}

void frmLogin::cmdOK_Click()
{
    MessageBoxes& msg = m_platform.messages();
    const QString user = TxtUser->text();
    const QString password = txtPassword->text();
    if (user.isEmpty()) {
        msg.inform(this, QStringLiteral("用户名不能为空!"), applicationTitle());
        return;
    }
    if (password.isEmpty()) {
        msg.inform(this, QStringLiteral("密码不能为空!"), applicationTitle());
        return;
    }
    userContext().clearFields();

    if (!ConnectDatabase()) {
        // The user learnt why; instead of ending, the settings can be put right here, and the
        // next OK tries them.
        m_settingsEditor->edit(this);
        return;
    }

    if (LoginService::isSuperUserLogin(user, password)) {
        userContext().EmployeeNo = superUserMarker();
        finishLogin();
        return;
    }

    const DbResult<bool> employee = LoginService::checkEmployee(user, password);
    if (!employee.ok()) {
        msg.inform(this, employee.error.description, applicationTitle());
        return;
    }
    if (!employee.value) {
        msg.inform(this, QStringLiteral("用户名或密码不正确,请重新输入!"), applicationTitle());
        return;
    }

    const DbResult<QVector<PositionChoice>> found = LoginService::positions(user);
    if (!found.ok()) {
        msg.inform(this, found.error.description, applicationTitle());
        return;
    }
    if (found.value.isEmpty()) {
        msg.show(this, QStringLiteral("对不起，您没有岗位，请选择系统管理员"), applicationTitle(), MsgIcon::None,
                 MsgButtons::Ok);
        return;
    }

    List1->clear();
    PositionChoices = found.value;
    for (const PositionChoice& c : std::as_const(PositionChoices))
        List1->addItem(c.listText());

    if (PositionChoices.size() == 1) {
        List1->setCurrentRow(0);
        choosePosition(0);
        return;
    }
    // No line is chosen for the user: nothing selected and no current line, so that the first
    // arrow key selects the first line and Enter logs in only on a line that the user picked.
    showPositionList(true);
    List1->setCurrentIndex(QModelIndex());
    List1->clearSelection();
    List1->setFocus();
}

void frmLogin::List1_DblClick()
{
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty())
        return;
    const int line = List1->row(selected.constFirst());
    if (line < 0 || line >= PositionChoices.size())
        return;
    choosePosition(line);
}

void frmLogin::choosePosition(int line)
{
    userContext().assign(PositionChoices.at(line).values, true);
    finishLogin();
}

void frmLogin::finishLogin()
{
    if (!Tag.isEmpty()) {
        accept();
        return;
    }
    if (showMainWindow)
        showMainWindow();
    close();
}

void frmLogin::askForSwitch()
{
    Label2->hide();
    List1->hide();
    Tag = QStringLiteral("切换");
    txtPassword->clear();
    TxtUser->setFocus();
    setModal(true);
    exec();
}

void frmLogin::cmdCancel_Click() { m_platform.process().endProgram(); }

}  // namespace quarvel
