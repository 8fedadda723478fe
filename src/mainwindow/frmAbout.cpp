#include "mainwindow/frmAbout.h"

#include "platform/Platform.h"
#include "widgets/WindowPlacement.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace quarvel {
namespace {

QPixmap logo(const QColor& colour, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, size - 4, size - 4), size / 6.0, size / 6.0);
    p.setPen(QPen(Qt::white, size / 14.0));
    for (int i = 1; i <= 3; ++i)
        p.drawLine(QPointF(size * 0.25, size * (0.2 + 0.2 * i)), QPointF(size * 0.75, size * (0.2 + 0.2 * i)));
    return pixmap;
}

}  // namespace

QString aboutVersionText()
{
    return QStringLiteral("Tessaly%1.%2.%3")
        .arg(QUARVEL_VERSION_MAJOR)
        .arg(QUARVEL_VERSION_MINOR)
        .arg(QUARVEL_VERSION_PATCH);
}

frmAbout::frmAbout(Platform& platform, QWidget* parent) : QDialog(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于CorvaneMIS系统2011版"));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(logo(QColor(0x1f, 0x4e, 0x79), 64));
    Picture2 = new QLabel(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setPixmap(logo(QColor(0xc5, 0x5a, 0x11), 32));

    lblTitle = new QLabel(QStringLiteral("CorvaneMIS系统2011版的一部分"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    lblTitle->setFont(titleFont);
    lblVersion = new QLabel(QStringLiteral("版本"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    Label7 = new QLabel(aboutVersionText(), this);
    Label7->setObjectName(QStringLiteral("Label7"));
    lblVersion->setBuddy(Label7);

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("系统信息"), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(Picture1, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1, 1, 2);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(Label7, 1, 2);
    grid->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Picture2);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    grid->addLayout(buttons, 2, 0, 1, 3);

    connect(cmdOK, &QPushButton::clicked, this, [this] { close(); });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(); });
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterInMainWindow(this);
}

void frmAbout::StartSysInfo()
{
    if (!m_platform.systemInformation().start())
        m_platform.messages().show(this, QStringLiteral("此时系统信息不可用"), applicationTitle(), MsgIcon::None,
                                   MsgButtons::Ok);
}

}  // namespace quarvel
