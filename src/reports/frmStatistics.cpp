#include "reports/frmStatistics.h"

#include "db/ColumnLengths.h"
#include "directory/DepartmentTree.h"
#include "doctypes/TypeTreeView.h"
#include "login/UserContext.h"
#include "platform/Platform.h"
#include "reports/frmToExcel.h"
#include "widgets/ButtonRow.h"
#include "widgets/StatusBar.h"
#include "widgets/TypedText.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowPlacement.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/grid/Twips.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

namespace quarvel {
namespace {

constexpr quint32 kTotalsColour = 14737632;  // light grey
const QString kRunning = QStringLiteral("请稍候，正在进行统计...");
const QString kFinished = QStringLiteral("统计结束，请核对数据！");
const QString kStatisticsTitle = QStringLiteral("资料下载记录汇总");
const QString kDetailsTitle = QStringLiteral("资料下载记录明细");

constexpr int col(StatisticsColumn c) { return static_cast<int>(c); }
constexpr int col(DetailsColumn c) { return static_cast<int>(c); }

QString wholeNumber(double value) { return QString::number(value, 'f', 0); }

// The ticked nodes' codes in tree order.
QStringList tickedCodes(const KeyedTree& tree)
{
    QStringList codes;
    for (int i = 1; i <= tree.count(); ++i) {
        const QString key = tree.keyAt(i);
        if (tree.checked(key))
            codes << codeOfNodeText(tree.text(key));
    }
    return codes;
}

void paintRow(FlexGrid& grid, int row)
{
    for (int c = 0; c < grid.cols(); ++c)
        grid.setCellBackColor(row, c, colorFromNumber(kTotalsColour));
}

}  // namespace

const QString& frm资料下载汇总::statisticsFormat()
{
    static const QString format = QStringLiteral(
        "序|<文件编号                |<文件名称                  |<摘要                 |<浏览次数  |<下载次数 |^明细   ");
    return format;
}

const QString& frm资料下载汇总::gridTitle() const
{
    static const QString readers = QStringLiteral("阅读人员统计");
    return m_mode == StatisticsMode::Readers ? readers : kStatisticsTitle;
}

const QString& frm资料下载汇总::detailsTitle() const
{
    static const QString readers = QStringLiteral("阅读人员明细");
    return m_mode == StatisticsMode::Readers ? readers : kDetailsTitle;
}

const QString& frm资料下载汇总::detailsFormat()
{
    static const QString format = QStringLiteral(
        "序|<文件编号                |<文件名称                  |<摘要                 |<部门               |<姓名  "
        "         |<阅读   |<下载   |<操作日期           ");
    return format;
}

frm资料下载汇总::frm资料下载汇总(Platform& platform, QWidget* parent, StatisticsMode mode)
    : QWidget(parent), m_platform(platform), m_mode(mode)
{
    setObjectName(QStringLiteral("frm资料下载汇总"));
    setWindowTitle(gridTitle());
    buildLayout();
    guardTypedTexts(this);
    connectHandlers();
    Form_Load();
}

frm资料下载汇总::~frm资料下载汇总() = default;

void frm资料下载汇总::buildLayout()
{
    MSFlexGrid1 = new FlexGrid(this);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->view()->setAccessibleName(gridTitle());

    Frame3 = new QFrame(this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    const auto button = [](const QString& text, const char* name, QWidget* parent) {
        auto* b = new QPushButton(text, parent);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    Command1 = button(QStringLiteral("统计条件"), "Command1", Frame3);
    Command3 = button(QStringLiteral("输出到Excel"), "Command3", Frame3);
    Command2 = button(QStringLiteral("退出"), "Command2", Frame3);
    for (QPushButton* b : {Command1, Command3, Command2})
        b->adjustSize();
    Frame3->setFixedHeight(Command1->sizeHint().height() + 12);

    Command5 = button(QStringLiteral("…"), "Command5", this);
    Command5->hide();

    StatusBar1 = new InfoStatusBar(2, this);
    StatusBar1->setClock([this] { return m_platform.clock().now(); });

    buildDetailsPanel();
    Picture7 = new QFrame(this);
    Picture7->setObjectName(QStringLiteral("Picture7"));
    Picture7->setFrameShape(QFrame::Panel);
    Picture7->setFrameShadow(QFrame::Raised);
    Picture7->setAutoFillBackground(true);
    buildFilterPanel();
    Picture7->adjustSize();
    Picture7->hide();
    resize(1000, 640);
}

QWidget* frm资料下载汇总::buildFilterPanel()
{
    auto* layout = new QGridLayout(Picture7);
    Label2 = new QLabel(QStringLiteral("统计条件"), Picture7);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    layout->addWidget(Label2, 0, 0, 1, 4);

    const auto treeColumn = [&](const QString& label, const char* treeName, const char* boxName, int column,
                                KeyedTree*& tree, QCheckBox*& box) {
        auto* caption = new QLabel(label, Picture7);
        tree = new KeyedTree(Picture7);
        tree->setObjectName(QString::fromLatin1(treeName));
        tree->setCheckBoxes(true);
        tree->setMinimumSize(260, 260);
        caption->setBuddy(tree->view());
        box = new QCheckBox(QStringLiteral("全部"), Picture7);
        box->setObjectName(QString::fromLatin1(boxName));
        layout->addWidget(caption, 1, column);
        layout->addWidget(box, 1, column + 1, Qt::AlignRight);
        layout->addWidget(tree, 2, column, 1, 2);
    };
    treeColumn(QStringLiteral("部门列表："), "TreeView1", "Check1", 0, TreeView1, Check1);
    treeColumn(QStringLiteral("文件类别列表："), "TreeView2", "Check2", 2, TreeView2, Check2);
    TreeView1->setImageList(directoryTreeIcons());
    TreeView2->setImageList(typeTreeIcons(TypeTreeVariant::Statistics));

    Check4 = new QCheckBox(QStringLiteral("下级菜单联动"), Picture7);
    Check4->setObjectName(QStringLiteral("Check4"));
    Check4->setChecked(true);
    layout->addWidget(Check4, 3, 0, 1, 4, Qt::AlignLeft);

    auto* filters = new QGridLayout;
    Check6 = new QCheckBox(QStringLiteral("阅览日期"), Picture7);
    Check6->setObjectName(QStringLiteral("Check6"));
    DTPicker1 = new QDateEdit(Picture7);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker2 = new QDateEdit(Picture7);
    DTPicker2->setObjectName(QStringLiteral("DTPicker2"));
    for (QDateEdit* d : {DTPicker1, DTPicker2}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    auto* to = new QLabel(QStringLiteral("至"), Picture7);
    to->setBuddy(DTPicker2);
    filters->addWidget(Check6, 0, 0);
    filters->addWidget(DTPicker1, 0, 1);
    filters->addWidget(to, 0, 2);
    filters->addWidget(DTPicker2, 0, 3);
    Check7 = new QCheckBox(QStringLiteral("文件名称"), Picture7);
    Check7->setObjectName(QStringLiteral("Check7"));
    Text1 = new QLineEdit(Picture7);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("文件名称"));
    guardTypedText(Text1, columnLength::kDocumentName);
    filters->addWidget(Check7, 1, 0);
    filters->addWidget(Text1, 1, 1, 1, 3);
    Check5 = new QCheckBox(QStringLiteral("阅览员工"), Picture7);
    Check5->setObjectName(QStringLiteral("Check5"));
    Text2 = new QLineEdit(Picture7);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setAccessibleName(QStringLiteral("阅览员工"));
    guardTypedText(Text2, columnLength::kEmployeeName);
    filters->addWidget(Check5, 2, 0);
    filters->addWidget(Text2, 2, 1, 1, 3);
    layout->addLayout(filters, 4, 0, 1, 4);

    const ConfirmCloseButtons buttons = confirmCloseButtons(Picture7, QStringLiteral("Command10"),
                                                            QStringLiteral("Command9"));
    Command10 = buttons.confirm;
    Command9 = buttons.close;
    layout->addLayout(buttons.row, 5, 0, 1, 4);

    // Each switch enables its own controls; all start switched off.
    const auto follow = [](QCheckBox* box, std::initializer_list<QWidget*> controls) {
        for (QWidget* w : controls)
            w->setEnabled(false);
        QObject::connect(box, &QCheckBox::toggled, box, [list = QList<QWidget*>(controls)](bool on) {
            for (QWidget* w : list)
                w->setEnabled(on);
        });
    };
    follow(Check6, {DTPicker1, DTPicker2});
    follow(Check7, {Text1});
    follow(Check5, {Text2});
    return Picture7;
}

void frm资料下载汇总::buildDetailsPanel()
{
    Picture2 = new QFrame(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(Picture2);
    layout->setContentsMargins(1, 1, 1, 1);
    Label6 = new QLabel(detailsTitle(), Picture2);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setAlignment(Qt::AlignCenter);
    MSFlexGrid2 = new FlexGrid(Picture2);
    MSFlexGrid2->setObjectName(QStringLiteral("MSFlexGrid2"));
    MSFlexGrid2->view()->setAccessibleName(detailsTitle());
    Command8 = new QPushButton(QStringLiteral("导出明细"), Picture2);
    Command8->setObjectName(QStringLiteral("Command8"));
    Command4 = new QPushButton(QStringLiteral("关闭"), Picture2);
    Command4->setObjectName(QStringLiteral("Command4"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command8);
    buttons->addWidget(Command4);
    layout->addWidget(Label6);
    layout->addWidget(MSFlexGrid2, 1);
    layout->addLayout(buttons);
    Picture2->hide();
}

void frm资料下载汇总::connectHandlers()
{
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command8, &QPushButton::clicked, this, [this] { Command8_Click(); });
    connect(Command9, &QPushButton::clicked, this, [this] { Command9_Click(); });
    connect(Command10, &QPushButton::clicked, this, [this] { Command10_Click(); });
    connect(Check1, &QCheckBox::clicked, this, [this](bool on) { TreeView1->setAllChecked(on); });
    connect(Check2, &QCheckBox::clicked, this, [this](bool on) { TreeView2->setAllChecked(on); });
    for (KeyedTree* tree : {TreeView1, TreeView2}) {
        connect(tree, &KeyedTree::nodeChecked, this, [this, tree](const QString& key) {
            if (Check4->isChecked() && tree->childCount(key) > 0)
                子节点联动(key, *tree);
        });
    }
    connect(MSFlexGrid1, &FlexGrid::clicked, this, [this](int row, int c) { MSFlexGrid1_Click(row, c); });
    // The details button belongs to the cell it covers: scrolling or a new current cell hides it.
    connect(MSFlexGrid1, &FlexGrid::currentCellChanged, Command5, [this] { Command5->hide(); });
}

void frm资料下载汇总::inform(const QString& text, const QString& title, int icon)
{
    m_platform.messages().inform(this, text, title, static_cast<MsgIcon>(icon));
}

void frm资料下载汇总::setUpGrids()
{
    MSFlexGrid1->setFixedCols(0);
    MSFlexGrid1->setRows(1);
    MSFlexGrid1->setFormatString(statisticsFormat());
    MSFlexGrid1->setFixedAlignment(col(StatisticsColumn::No), GridAlign::CenterCenter);
    MSFlexGrid1->setMergeCells(FlexGrid::MergeMode::RestrictColumns);
    MSFlexGrid1->setMergeCol(col(StatisticsColumn::Number), true);
    MSFlexGrid1->setMergeCol(col(StatisticsColumn::Name), true);
    if (m_mode == StatisticsMode::Readers)
        MSFlexGrid1->setFormatString(readersFormat());
    // The names take the spare width (the readers' names stand in the same column).
    static_assert(int(StatisticsColumn::Name) == int(ReadersColumn::Name));
    MSFlexGrid1->setStretchCol(col(StatisticsColumn::Name));

    MSFlexGrid2->setFixedCols(1);
    MSFlexGrid2->setRows(1);
    MSFlexGrid2->setFormatString(detailsFormat());
    MSFlexGrid2->setStretchCol(col(DetailsColumn::Name));
    MSFlexGrid2->setFixedAlignment(col(DetailsColumn::No), GridAlign::CenterCenter);
    MSFlexGrid2->setMergeCells(FlexGrid::MergeMode::RestrictColumns);
}

void frm资料下载汇总::Form_Load()
{
    CenterInMainWindow(this);
    Picture7->hide();
    const UserContext& user = userContext();
    const auto loadFailed = [this](const DbError& error) {
        inform(formatError(error, ErrorForm::DescriptionOnly), executableTitle(), int(MsgIcon::Information));
    };
    // Readers of other departments count only for holders of the special audit right.
    m_readers.restrictTo(user.DeptCode.isNull() ? QStringLiteral("") : user.DeptCode);
    const DbResult<bool> audit = AccessStatistics::holdsSpecialAudit(user.DeptCode, user.PositionCode);
    if (!audit.ok()) {
        loadFailed(audit.error);
        return;
    }
    if (audit.value)
        m_readers.restrictTo(std::nullopt);
    if (!audit.value) {
        TreeView1->addNode(QString(), DepartmentDirectory::departmentKey(user.DeptCode),
                           user.DeptCode + u' ' + user.DeptName, kDepartmentPicture);
    } else if (const DbError failed = LoadDepartmentTree(*TreeView1, Departments); failed.isSet()) {
        loadFailed(failed);
        // A department listed twice is reported but the rest of the tree is built: go on.
        if (TreeView1->count() == 0)
            return;
    }
    const QDate today = m_platform.clock().today();
    DTPicker1->setDate(QDate(today.year(), today.month(), 1));
    DTPicker2->setDate(today);
    if (const DbError failed = LoadTypeTree(*TreeView2, TypeTreeVariant::Statistics); failed.isSet())
        reportTreeFailure(m_platform.messages(), this, failed);
    setUpGrids();
    StatusBar1->setPanelText(2, QStringLiteral(" ") + user.DeptName + u' ' + user.EmployeeName);
    // A first look at an empty window: what to choose.
    StatusBar1->setPanelText(1, QStringLiteral("请按“统计条件”，选择部门、文件类别和日期后按“确定”。"));
}

void frm资料下载汇总::子节点联动(const QString& key, KeyedTree& tree) { quarvel::子节点联动(tree, key); }

void frm资料下载汇总::Command1_Click()
{
    Command5->hide();
    if (Picture7->isVisible()) {
        Picture7->hide();
    } else {
        layoutWindow();
        Picture7->show();
        Picture7->raise();
    }
}

void frm资料下载汇总::Command9_Click() { Picture7->hide(); }

void frm资料下载汇总::Command4_Click() { Picture2->hide(); }

void frm资料下载汇总::Command2_Click() { CloseChildWindow(this); }

void frm资料下载汇总::Command3_Click() { frmToExcel::PrepareFromGrid(m_platform, *MSFlexGrid1, gridTitle(), this); }

void frm资料下载汇总::Command8_Click() { frmToExcel::PrepareFromGrid(m_platform, *MSFlexGrid2, detailsTitle(), this); }

StatisticsRequest frm资料下载汇总::currentRequest() const
{
    StatisticsRequest r;
    r.departmentCodes = tickedCodes(*TreeView1);
    r.typeCodes = tickedCodes(*TreeView2);
    r.byDate = Check6->isChecked();
    r.from = DTPicker1->date();
    r.to = DTPicker2->date();
    r.byFileName = Check7->isChecked();
    r.fileName = Text1->text();
    r.byEmployee = Check5->isChecked();
    r.employeeName = Text2->text();
    return r;
}

bool frm资料下载汇总::Command10_Click()
{
    Command5->hide();
    const StatisticsRequest request = currentRequest();
    switch (AccessStatistics::check(request)) {
    case RequestProblem::NoDepartment:
        inform(QStringLiteral("请选择员工所在部门"), applicationTitle(), int(MsgIcon::None));
        return false;
    case RequestProblem::NoType:
        inform(QStringLiteral("请选择文件类别"), applicationTitle(), int(MsgIcon::None));
        return false;
    case RequestProblem::DateOrder:
        inform(QStringLiteral("起始日期的日期范围开始日期不能大于结束日期!"), executableTitle(),
               int(MsgIcon::Information));
        return false;
    case RequestProblem::NoFileName:
        inform(QStringLiteral("请填写文件名称！"), applicationTitle(), int(MsgIcon::Information));
        Text1->setFocus();
        return false;
    case RequestProblem::NoEmployeeName:
        inform(QStringLiteral("请填写阅览员工姓名！"), applicationTitle(), int(MsgIcon::Information));
        Text2->setFocus();
        return false;
    case RequestProblem::None: break;
    }
    if (m_mode == StatisticsMode::Readers)
        return runReaders(request);

    DbResult<QVector<StatisticsRow>> result;
    {
        WaitCursor wait(StatusBar1, 1, kRunning);
        MSFlexGrid1->setRows(1);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        result = m_statistics.run(AccessStatistics::filterOf(request));
        MSFlexGrid1->beginBulk();
        int n = 0;
        for (const StatisticsRow& r : std::as_const(result.value)) {
            MSFlexGrid1->appendRow({QString::number(++n), r.number, r.name, r.summary, QString::number(r.reads),
                                    QString::number(r.downloads), QString()});
        }
        // Every complete result gets its totals row, whatever was counted; a run that failed
        // part-way gets none over its partial rows.
        if (result.ok() && !result.value.isEmpty()) {
            const CountTotals totals = AccessStatistics::totals(result.value);
            const int row =
                MSFlexGrid1->appendRow({QString(), QString(), QString(), QStringLiteral("合计 "),
                                        wholeNumber(totals.reads), wholeNumber(totals.downloads), QString()});
            paintRow(*MSFlexGrid1, row);
            MSFlexGrid1->setRow(row);
        }
        MSFlexGrid1->endBulk();
    }
    if (!result.ok()) {
        inform(formatError(result.error, ErrorForm::NumberSpaceDescription), executableTitle(),
               int(MsgIcon::Information));
        return true;
    }
    StatusBar1->setPanelText(1, kFinished);
    Picture7->hide();
    return true;
}

void frm资料下载汇总::MSFlexGrid1_Click(int row, int column)
{
    Command5->hide();
    if (MSFlexGrid1->rows() <= 1 || row < 1 || column < 2)
        return;
    if (MSFlexGrid1->textMatrix(row, col(StatisticsColumn::Number)).isEmpty())
        return;
    if (column != MSFlexGrid1->cols() - 1)
        return;
    const QRect cell = MSFlexGrid1->cellRect(row, column);
    if (cell.isEmpty())
        return;
    Command5->setGeometry(QRect(MSFlexGrid1->mapTo(this, cell.topLeft()), cell.size()));
    Command5->show();
    Command5->raise();
}

void frm资料下载汇总::Command5_Click()
{
    const int current = MSFlexGrid1->row();
    if (m_mode == StatisticsMode::Readers && !m_readers.hasStoredFilter())
        return;
    if (MSFlexGrid1->rows() <= 1 || current < 1
        || (m_mode == StatisticsMode::Documents && !m_statistics.hasStoredFilter()))
        return;
    const QString number = MSFlexGrid1->textMatrix(current, col(StatisticsColumn::Number));
    if (number.isEmpty())
        return;

    DbResult<QVector<DetailRow>> result;
    {
        WaitCursor wait(StatusBar1, 1, kRunning);
        MSFlexGrid2->setRows(1);
        result = m_mode == StatisticsMode::Readers ? readerDetails(current) : m_statistics.details(number);
        MSFlexGrid2->beginBulk();
        int n = 0;
        for (const DetailRow& r : std::as_const(result.value)) {
            MSFlexGrid2->appendRow({QString::number(++n), r.number, r.name, r.summary, r.department, r.employee, r.read,
                                    r.download, r.timeText()});
        }
        if (result.ok() && !result.value.isEmpty()) {
            const CountTotals totals = AccessStatistics::totals(result.value);
            QStringList texts(MSFlexGrid2->cols());
            texts[col(DetailsColumn::Employee)] = QStringLiteral("合计 ");
            texts[col(DetailsColumn::Read)] = wholeNumber(totals.reads);
            texts[col(DetailsColumn::Download)] = wholeNumber(totals.downloads);
            const int row = MSFlexGrid2->appendRow(texts);
            paintRow(*MSFlexGrid2, row);
            MSFlexGrid2->setRow(row);
        }
        MSFlexGrid2->endBulk();
    }
    if (!result.ok()) {
        inform(formatError(result.error, ErrorForm::DescriptionOnly), executableTitle(), int(MsgIcon::Information));
        return;
    }
    layoutDetailsPanel();
    Picture2->show();
    Picture2->raise();
    StatusBar1->setPanelText(1, kFinished);
    Command5->hide();
}

void frm资料下载汇总::layoutWindow()
{
    const int statusHeight = StatusBar1->sizeHint().height();
    const int frameHeight = Frame3->height();
    const int margin = twipsToPixels(50, this);
    const int gridWidth = std::max(0, width() - twipsToPixels(100, this));
    const int gridHeight = std::max(0, height() - frameHeight - statusHeight - margin);
    MSFlexGrid1->setGeometry(0, 0, gridWidth, gridHeight);
    Frame3->setGeometry(0, gridHeight + margin, gridWidth, frameHeight);
    const int gap = twipsToPixels(200, this);
    int right = gridWidth - gap;
    for (QPushButton* b : {Command2, Command3, Command1}) {
        const int w = b->sizeHint().width();
        b->setGeometry(right - w, (frameHeight - b->sizeHint().height()) / 2, w, b->sizeHint().height());
        right -= w + gap;
    }
    StatusBar1->setGeometry(0, height() - statusHeight, width(), statusHeight);
    Picture7->adjustSize();
    Picture7->move((width() - Picture7->width()) / 2, (height() - Picture7->height()) / 2);
    if (Picture2->isVisible())
        layoutDetailsPanel();
}

void frm资料下载汇总::layoutDetailsPanel()
{
    Picture2->setGeometry(0, 0, MSFlexGrid1->width(),
                          std::max(0, Frame3->geometry().bottom() + 1 - twipsToPixels(100, this)));
}

void frm资料下载汇总::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutWindow();
}

void frm资料下载汇总::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The window fills the main window's area whenever it is shown.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->showMaximized();
    layoutWindow();
}

}  // namespace quarvel
