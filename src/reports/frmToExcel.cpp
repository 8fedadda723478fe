#include "reports/frmToExcel.h"

#include "platform/Platform.h"
#include "reports/WorkbookExport.h"
#include "widgets/TypedText.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowPlacement.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/grid/MarkedText.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace quarvel {
namespace {

const QString kMark = QStringLiteral("√");
constexpr int kProgressRows = 5000;  // exports from this size on show their progress

// A grid as the workbook writer reads it.
class GridSource final : public ExportSource {
public:
    explicit GridSource(const FlexGrid& grid) : m_grid(grid) {}
    int rowCount() const override { return m_grid.rows(); }
    int columnCount() const override { return m_grid.cols(); }
    QString text(int row, int col) const override
    {
        // A cell with marked words (a search's hits) is written as its plain text.
        const QString text = m_grid.textMatrix(row, col);
        return hasTextMarks(text) ? withoutTextMarks(text) : text;
    }
    int widthTwips(int col) const override { return m_grid.colWidth(col); }
    int alignment(int col) const override { return m_grid.colAlignment(col); }

private:
    const FlexGrid& m_grid;
};

}  // namespace

frmToExcel::frmToExcel(Platform& platform, QWidget* parent) : QDialog(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("frmToExcel"));
    setWindowFlag(Qt::FramelessWindowHint);
    setModal(true);
    buildLayout();
    guardTypedTexts(this);
    connect(Command1, &QToolButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Grid1, &FlexGrid::clicked, this, [this] { Grid1_Click(); });
    connect(Grid1, &FlexGrid::doubleClicked, this, [this] { Grid1_DblClick(); });
}

frmToExcel::~frmToExcel() = default;

void frmToExcel::buildLayout()
{
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Shape1"));
    frame->setFrameShape(QFrame::Box);
    auto* fields = new QGridLayout(frame);
    const QStringList labels = {QStringLiteral("Excel文件路径和名称"), QStringLiteral("文档标题"),
                                QStringLiteral("工作表名称")};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(labels.at(i), frame);
        auto* edit = new QLineEdit(frame);
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        edit->setObjectName(QStringLiteral("Text1_%1").arg(i));
        label->setBuddy(edit);
        Label1[size_t(i)] = label;
        Text1[size_t(i)] = edit;
        fields->addWidget(label, i * 2, 0, 1, 2);
        fields->addWidget(edit, i * 2 + 1, 0);
    }
    Command1 = new QToolButton(frame);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setText(QStringLiteral("…"));
    Command1->setToolTip(QStringLiteral("选择文件"));
    fields->addWidget(Command1, 1, 1);
    // An existing workbook is amended, not replaced: the file dialog asks nothing about it.
    auto* amends = new QLabel(
        QStringLiteral("文件已存在时，只改写其中同名的工作表（没有则添加），其他工作表保持不变。"), frame);
    amends->setObjectName(QStringLiteral("LabelAmends"));
    amends->setWordWrap(true);
    fields->addWidget(amends, 7, 0, 1, 2);
    Check1 = new QCheckBox(QStringLiteral("输出时启动Microsoft Excel程序"), frame);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setChecked(true);
    fields->addWidget(Check1, 6, 0, 1, 2, Qt::AlignLeft);

    Grid1 = new FlexGrid(this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setRows(2);
    Grid1->setFixedRows(1);
    Grid1->setFixedCols(0);
    Grid1->setSelectionMode(FlexGrid::SelectionMode::Free);
    Grid1->setMinimumHeight(70);

    Command2 = new QPushButton(QStringLiteral("确定"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command3 = new QPushButton(QStringLiteral("退出"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command2);
    buttons->addWidget(Command3);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->addWidget(new QLabel(QStringLiteral("提示: 打“√”表示要输出的列，双击可取消选择。"), StatusBar1), 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(Grid1, 1);
    layout->addLayout(buttons);
    layout->addWidget(StatusBar1);
    resize(560, 400);
}

void frmToExcel::prepare(FlexGrid& grid, const QString& title)
{
    // The workbook takes every row, also those of a list still arriving in steps.
    grid.fetchAll();
    Grid1->setCols(grid.cols());
    for (int i = 0; i < grid.cols(); ++i) {
        Grid1->setTextMatrix(0, i, grid.textMatrix(0, i));
        Grid1->setFixedAlignment(i, grid.fixedAlignment(i));
        Grid1->setTextMatrix(1, i, kMark);
        Grid1->setColWidth(i, grid.colWidth(i));
    }
    SourceGrid = &grid;
    Text1[1]->setText(title);
    Text1[2]->setText(title);
    CenterInMainWindow(this);
}

void frmToExcel::PrepareFromGrid(Platform& platform, FlexGrid& grid, const QString& title, QWidget* parent)
{
    frmToExcel window(platform, parent);
    window.prepare(grid, title);
    window.exec();
}

QString frmToExcel::RangeNom(int column, int row) { return quarvel::RangeNom(column, row); }

void frmToExcel::Grid1_Click()
{
    const int col = Grid1->col();
    Grid1->setTextMatrix(1, col, kMark);
    Grid1->setColAlignment(col, GridAlign::CenterCenter);
}

void frmToExcel::Grid1_DblClick() { Grid1->setTextMatrix(1, Grid1->col(), QString()); }

void frmToExcel::Command1_Click()
{
    const QString path = m_platform.fileDialogs().saveFileName(
        this, QStringLiteral("输出到Excel"), {QStringLiteral("Excel文件 (*.xlsx)"), QStringLiteral("所有文件 (*)")},
        m_platform.programFolder(), OverwriteQuestion::ByWindow);
    if (path.isEmpty())
        return;
    // A name typed without an extension gets the workbook's.
    Text1[0]->setText(QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".xlsx") : path);
}

void frmToExcel::Command3_Click() { reject(); }

QVector<bool> frmToExcel::markedColumns() const
{
    QVector<bool> marked(Grid1->cols());
    for (int i = 0; i < Grid1->cols(); ++i)
        marked[i] = !Grid1->textMatrix(1, i).isEmpty();
    return marked;
}

DbStatus frmToExcel::To_Execl(FlexGrid& grid, const QString& title, const QString& sheetName)
{
    grid.fetchAll();
    const QString path = Text1[0]->text().trimmed();
    if (path.isEmpty()) {
        m_platform.messages().inform(this, QStringLiteral("请确定输出的文件名"), executableTitle(), MsgIcon::None);
        return {DbError::make(kExportFailed, QString())};
    }
    ExportRequest request;
    request.path = QDir::cleanPath(QDir::fromNativeSeparators(path));
    request.title = title;
    request.sheetName = sheetName;
    request.marked = markedColumns();
    request.printDate = m_platform.clock().today();

    const GridSource source(grid);
    QProgressDialog* progress = nullptr;
    // A large table, or an existing workbook whose other sheets are read and written again.
    if (source.rowCount() >= kProgressRows || QFileInfo::exists(request.path)) {
        progress = new QProgressDialog(QStringLiteral("正在输出到Excel……"), QStringLiteral("取消"), 0,
                                       source.rowCount(), this);
        progress->setObjectName(QStringLiteral("ExportProgress"));
        progress->setWindowTitle(applicationTitle());
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(300);
    }
    DbStatus outcome;
    {
        WaitCursor wait;
        outcome = writeWorkbook(source, request, [progress](qint64 done, qint64 total) {
            if (!progress)
                return true;
            if (progress->maximum() != int(total))
                progress->setMaximum(int(total));
            progress->setValue(int(done));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return !progress->wasCanceled();
        });
    }
    delete progress;
    if (!outcome.ok())
        return outcome;
    if (Check1->isChecked() && !m_platform.shell().openFile(request.path))
        m_platform.messages().inform(this,
                                     QStringLiteral("工作簿已写入 ") + QDir::toNativeSeparators(request.path)
                                         + QStringLiteral("，但这台电脑上没有登记可以打开它的程序。"),
                                     applicationTitle());
    return {};
}

void frmToExcel::showFailure(const DbStatus& status)
{
    if (isExportCancelled(status.error))
        return;  // the user stopped it; nothing was written
    m_platform.messages().inform(this, QStringLiteral("输出到Execl失败: ") + status.error.description,
                                 applicationTitle());
}

void frmToExcel::Command2_Click()
{
    if (Text1[2]->text().isEmpty() || Text1[1]->text().isEmpty()) {
        m_platform.messages().inform(this, QStringLiteral("请输入标题内容"), applicationTitle(), MsgIcon::None);
        return;
    }
    if (!SourceGrid)
        return;
    const DbStatus written = To_Execl(*SourceGrid, Text1[1]->text(), Text1[2]->text());
    if (written.ok())
        accept();
    else
        showFailure(written);
}

}  // namespace quarvel
