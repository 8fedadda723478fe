// The statistics window when it counts per reader: the run fills the grid with one row per
// employee and department, and the details of a row are that reader's single accesses.

#include "reports/frmStatistics.h"

#include "platform/Platform.h"
#include "widgets/StatusBar.h"
#include "widgets/WaitCursor.h"
#include "widgets/grid/FlexGrid.h"

#include <QCoreApplication>
#include <QFrame>

namespace quarvel {
namespace {

constexpr quint32 kTotalsColour = 14737632;  // light grey

constexpr int col(ReadersColumn c) { return static_cast<int>(c); }

}  // namespace

const QString& frm资料下载汇总::readersFormat()
{
    static const QString format = QStringLiteral("序|<工号        |<姓名          |<部门                  |<浏览次数  "
                                                 "|<下载次数 |<文件数  |<最近访问          |^明细   ");
    return format;
}

bool frm资料下载汇总::runReaders(const StatisticsRequest& request)
{
    DbResult<QVector<ReaderRow>> result;
    {
        WaitCursor wait;
        StatusBar1->setPanelText(1, QStringLiteral("请稍候，正在进行统计..."));
        MSFlexGrid1->setRows(1);
        m_readerRows.clear();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        result = m_readers.run(AccessStatistics::filterOf(request));
        MSFlexGrid1->beginBulk();
        int n = 0;
        for (const ReaderRow& r : std::as_const(result.value)) {
            MSFlexGrid1->appendRow({QString::number(++n), r.employeeNo, r.employeeName,
                                    (r.departmentCode + u' ' + r.departmentName).trimmed(), QString::number(r.reads),
                                    QString::number(r.downloads), QString::number(r.documents), r.lastAccessText(),
                                    QString()});
        }
        if (!result.value.isEmpty()) {
            const CountTotals totals = ReaderStatistics::totals(result.value);
            QStringList texts(MSFlexGrid1->cols());
            texts[col(ReadersColumn::Department)] = QStringLiteral("合计 ");
            texts[col(ReadersColumn::Reads)] = QString::number(totals.reads, 'f', 0);
            texts[col(ReadersColumn::Downloads)] = QString::number(totals.downloads, 'f', 0);
            const int row = MSFlexGrid1->appendRow(texts);
            for (int c = 0; c < MSFlexGrid1->cols(); ++c)
                MSFlexGrid1->setCellBackColor(row, c, colorFromNumber(kTotalsColour));
            MSFlexGrid1->setRow(row);
        }
        MSFlexGrid1->endBulk();
        m_readerRows = std::move(result.value);
    }
    if (!result.ok()) {
        m_platform.messages().inform(this, formatError(result.error, ErrorForm::NumberSpaceDescription),
                                     executableTitle(), MsgIcon::Information);
        return true;
    }
    StatusBar1->setPanelText(1, QStringLiteral("统计结束，请核对数据！"));
    Picture7->hide();
    return true;
}

DbResult<QVector<DetailRow>> frm资料下载汇总::readerDetails(int row)
{
    if (row < 1 || row > m_readerRows.size())
        return {};
    const ReaderRow& r = m_readerRows.at(row - 1);
    return m_readers.details(r.employeeNo, r.departmentCode, r.reads + r.downloads);
}

}  // namespace quarvel
