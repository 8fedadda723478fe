#include "login/frmConnectionSettings.h"

#include "platform/Platform.h"
#include "widgets/TypedText.h"
#include "widgets/WaitCursor.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quarvel {

namespace {

const QString kTitle = QStringLiteral("连接提示");

QStringList databaseFilters()
{
    return {QStringLiteral("数据库文件 (*.db *.sqlite *.sqlite3)"), QStringLiteral("所有文件 (*)")};
}

}  // namespace

frmConnectionSettings::frmConnectionSettings(Platform& platform, QWidget* parent)
    : QDialog(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("frmConnectionSettings"));
    setWindowTitle(QStringLiteral("数据库连接设置"));

    lblIntro = new QLabel(
        QStringLiteral("尚未设置数据库连接。在公司网络中使用时，请选择 SQL Server 数据库服务器，填写服务器、登录名、"
                       "密码和数据库名；只在这台电脑上使用时，请选择本机数据库文件，可以新建一个空数据库。"),
        this);
    lblIntro->setObjectName(QStringLiteral("lblIntro"));
    lblIntro->setWordWrap(true);
    lblIntro->setVisible(ConnectionSetup::nothingConfigured());

    optServer = new QRadioButton(QStringLiteral("SQL Server 数据库服务器(&Q)"), this);
    optServer->setObjectName(QStringLiteral("optServer"));
    optFile = new QRadioButton(QStringLiteral("本机数据库文件(&F)"), this);
    optFile->setObjectName(QStringLiteral("optFile"));
    auto* kinds = new QButtonGroup(this);
    kinds->addButton(optServer);
    kinds->addButton(optFile);

    const auto lineBox = [this](const char* name) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        guardTypedText(box);
        return box;
    };
    txtServer = lineBox("txtServer");
    txtServer->setPlaceholderText(QStringLiteral("主机、主机\\实例 或 主机,端口"));
    txtLogin = lineBox("txtLogin");
    txtPassword = lineBox("txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    txtDatabase = lineBox("txtDatabase");
    txtFile = lineBox("txtFile");

    const auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    auto* server = new QFormLayout;
    server->setContentsMargins(20, 0, 0, 0);
    server->addRow(label(QStringLiteral("服务器(&S)："), txtServer), txtServer);
    server->addRow(label(QStringLiteral("登录名(&L)："), txtLogin), txtLogin);
    server->addRow(label(QStringLiteral("密码(&P)："), txtPassword), txtPassword);
    server->addRow(label(QStringLiteral("数据库名(&D)："), txtDatabase), txtDatabase);

    cmdBrowse = new QPushButton(QStringLiteral("浏览(&B)…"), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdCreate = new QPushButton(QStringLiteral("新建空数据库(&N)…"), this);
    cmdCreate->setObjectName(QStringLiteral("cmdCreate"));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(cmdBrowse);
    auto* file = new QFormLayout;
    file->setContentsMargins(20, 0, 0, 0);
    file->addRow(label(QStringLiteral("文件(&I)："), txtFile), fileRow);
    auto* createRow = new QHBoxLayout;
    createRow->addWidget(cmdCreate);
    createRow->addStretch();
    file->addRow(QString(), createRow);

    cmdTest = new QPushButton(QStringLiteral("测试连接"), this);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    cmdSave = new QPushButton(QStringLiteral("保存(&O)"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdTest);
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblIntro);
    layout->addWidget(optServer);
    layout->addLayout(server);
    layout->addWidget(optFile);
    layout->addLayout(file);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    setForm(ConnectionSetup::current());

    connect(optServer, &QRadioButton::toggled, this, [this] { kindChanged(); });
    connect(cmdTest, &QPushButton::clicked, this, [this] { cmdTest_Click(); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(cmdCreate, &QPushButton::clicked, this, [this] { cmdCreate_Click(); });
}

ConnectionForm frmConnectionSettings::form() const
{
    ConnectionForm f;
    f.kind = optFile->isChecked() ? ConnectionForm::Kind::File : ConnectionForm::Kind::Server;
    f.server = txtServer->text();
    f.login = txtLogin->text();
    f.password = txtPassword->text();
    f.database = txtDatabase->text();
    f.file = txtFile->text();
    return f;
}

void frmConnectionSettings::setForm(const ConnectionForm& f)
{
    (f.kind == ConnectionForm::Kind::File ? optFile : optServer)->setChecked(true);
    txtServer->setText(f.server);
    txtLogin->setText(f.login);
    txtPassword->setText(f.password);
    txtDatabase->setText(f.database);
    txtFile->setText(f.file);
    kindChanged();
}

void frmConnectionSettings::kindChanged()
{
    const bool server = optServer->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(txtServer), static_cast<QWidget*>(txtLogin),
                       static_cast<QWidget*>(txtPassword), static_cast<QWidget*>(txtDatabase)})
        w->setEnabled(server);
    txtFile->setEnabled(!server);
    cmdBrowse->setEnabled(!server);
}

bool frmConnectionSettings::complete()
{
    const QString missing = form().missing();
    if (missing.isEmpty())
        return true;
    m_platform.messages().inform(this, missing, kTitle);
    return false;
}

void frmConnectionSettings::cmdTest_Click()
{
    if (!complete())
        return;
    ConnectionReport report;
    {
        // A server that does not answer keeps the test up to the 30-second login time-out.
        WaitCursor wait;
        report = ConnectionSetup::test(form());
    }
    m_platform.messages().inform(this, ConnectionSetup::testResultText(report), kTitle,
                                 report.ok() ? MsgIcon::Information : MsgIcon::Warning);
}

void frmConnectionSettings::cmdSave_Click()
{
    if (!complete())
        return;
    const DbStatus saved = ConnectionSetup::save(form());
    if (!saved.ok()) {
        m_platform.messages().inform(this, QStringLiteral("无法保存设置：") + saved.error.description, kTitle,
                                     MsgIcon::Warning);
        return;
    }
    accept();
}

void frmConnectionSettings::cmdBrowse_Click()
{
    const QString path = m_platform.fileDialogs().openFileName(this, QStringLiteral("选择数据库文件"),
                                                               databaseFilters(), txtFile->text());
    if (!path.isEmpty())
        txtFile->setText(path);
}

void frmConnectionSettings::cmdCreate_Click()
{
    const QString path = m_platform.fileDialogs().saveFileName(this, QStringLiteral("新建空数据库"), databaseFilters(),
                                                               ConnectionSetup::suggestedDatabasePath(),
                                                               OverwriteQuestion::ByWindow);
    if (path.isEmpty())
        return;
    const DbStatus created = ConnectionSetup::createDatabase(path);
    if (!created.ok()) {
        m_platform.messages().inform(this, QStringLiteral("无法新建数据库：") + created.error.description, kTitle,
                                     MsgIcon::Warning);
        return;
    }
    optFile->setChecked(true);
    txtFile->setText(QFileInfo(path).absoluteFilePath());
    m_platform.messages().inform(this,
                                 QStringLiteral("已新建空数据库：") + QFileInfo(path).absoluteFilePath()
                                     + QStringLiteral("\n保存设置后即可登录；其中还没有员工，请先以超级用户登录。"),
                                 kTitle);
}

bool ConnectionSettingsDialog::edit(QWidget* parent)
{
    frmConnectionSettings dialog(m_platform, parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace quarvel
