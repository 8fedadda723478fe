#include "reports/frmReadingCoverage.h"

#include "login/UserContext.h"
#include "platform/Platform.h"
#include "reports/AccessStatistics.h"
#include "reports/DocumentChooser.h"
#include "reports/frmToExcel.h"
#include "widgets/ButtonRow.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowPlacement.h"
#include "widgets/grid/FlexGrid.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace quarvel {
namespace {

const QString kTitle = QStringLiteral("资料阅读覆盖");
const QColor kNeverOpened(255, 228, 225);  // light red: granted, never opened

constexpr int col(CoverageColumn c) { return static_cast<int>(c); }

QString mark(bool on) { return on ? QStringLiteral("√") : QStringLiteral("×"); }

}  // namespace

const QString& frm资料阅读覆盖::coverageFormat()
{
    static const QString format = QStringLiteral(
        "序|<岗位                    |<部门                |^查阅  |^下载  |<在岗人员                      |<浏览次数 "
        "|<下载次数 |<首次访问          |<最近访问          ");
    return format;
}

frm资料阅读覆盖::frm资料阅读覆盖(Platform& platform, QWidget* parent) : QWidget(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("frm资料阅读覆盖"));
    setWindowTitle(kTitle);

    Chooser = new DocumentChooser(platform.messages(), this);
    Command1 = new QPushButton(QStringLiteral("统计"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Label2 = new QLabel(QStringLiteral("请选择资料，然后点“统计”。"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    MSFlexGrid1 = new FlexGrid(this);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->view()->setAccessibleName(kTitle);
    auto* buttons = new ButtonRow;
    Command3 = buttons->add(QStringLiteral("Command3"), QStringLiteral("输出到Excel"), this);
    Command2 = buttons->add(QStringLiteral("Command2"), QStringLiteral("退出"), this);

    auto* left = new QVBoxLayout;
    left->addWidget(Chooser, 1);
    left->addWidget(Command1);
    auto* right = new QVBoxLayout;
    right->addWidget(Label2);
    right->addWidget(MSFlexGrid1, 1);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 3);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    Chooser->onActivated([this] { Command1_Click(); });
    resize(1000, 600);
    Form_Load();
}

void frm资料阅读覆盖::Form_Load()
{
    MSFlexGrid1->setFixedCols(0);
    MSFlexGrid1->setRows(1);
    MSFlexGrid1->setFormatString(coverageFormat());
    MSFlexGrid1->setStretchCol(col(CoverageColumn::Position));
    MSFlexGrid1->setFixedAlignment(col(CoverageColumn::No), GridAlign::CenterCenter);
    // Without the special audit right only the positions of the own department are listed.
    const UserContext& user = userContext();
    m_coverage.restrictTo(user.DeptCode.isNull() ? QStringLiteral("") : user.DeptCode);
    const DbResult<bool> audit = AccessStatistics::holdsSpecialAudit(user.DeptCode, user.PositionCode);
    if (!audit.ok()) {
        m_platform.messages().inform(this, formatError(audit.error, ErrorForm::DescriptionOnly), executableTitle());
        return;
    }
    if (audit.value)
        m_coverage.restrictTo(std::nullopt);
}

bool frm资料阅读覆盖::Command1_Click()
{
    const std::optional<FoundDocument> document = Chooser->chosen();
    if (!document) {
        m_platform.messages().inform(this, QStringLiteral("请先查找并选择资料"), QStringLiteral("提示"));
        Chooser->Text1->setFocus();
        return false;
    }
    DbResult<QVector<CoverageRow>> result;
    {
        WaitCursor wait;
        MSFlexGrid1->setRows(1);
        result = m_coverage.run(document->number);
        MSFlexGrid1->beginBulk();
        int n = 0;
        for (const CoverageRow& r : std::as_const(result.value)) {
            const int row = MSFlexGrid1->appendRow(
                {QString::number(++n), (r.positionCode + u' ' + r.positionName).trimmed(),
                 (r.departmentCode + u' ' + r.departmentName).trimmed(), mark(r.mayRead), mark(r.mayDownload),
                 r.holders.join(QStringLiteral("、")), QString::number(r.reads), QString::number(r.downloads),
                 ReadingCoverage::timeText(r.firstAccess), ReadingCoverage::timeText(r.lastAccess)});
            if (!r.opened())
                MSFlexGrid1->setRowBackColor(row, kNeverOpened);
        }
        MSFlexGrid1->endBulk();
    }
    const CoverageSummary s = ReadingCoverage::summary(result.value);
    Label2->setText(s.positions == 0
                        ? QStringLiteral("资料 %1 没有授予任何岗位查阅或下载权限。").arg(document->caption())
                        : QStringLiteral("资料 %1：有权限的岗位 %2 个，已打开 %3 个，从未打开 %4 个（排在前面）。")
                              .arg(document->caption(), QString::number(s.positions), QString::number(s.opened),
                                   QString::number(s.positions - s.opened)));
    if (!result.ok())
        m_platform.messages().inform(this, formatError(result.error, ErrorForm::DescriptionOnly), executableTitle());
    return true;
}

void frm资料阅读覆盖::Command2_Click() { CloseChildWindow(this); }

void frm资料阅读覆盖::Command3_Click() { frmToExcel::PrepareFromGrid(m_platform, *MSFlexGrid1, kTitle, this); }

}  // namespace quarvel
