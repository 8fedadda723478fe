#include "library/RightsPanel.h"

#include "db/Connection.h"
#include "directory/DepartmentTree.h"
#include "library/DocumentRights.h"
#include "library/UploadPanels.h"
#include "login/UserContext.h"
#include "platform/Platform.h"
#include "widgets/HandCursor.h"
#include "widgets/WaitCursor.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/grid/Twips.h"
#include "widgets/tree/KeyedTree.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <optional>

namespace quarvel {
namespace {

const QString kYes = QStringLiteral("√");
const QString kNo = QStringLiteral("×");
const QString kDelete = QStringLiteral("删除");

// A cell without the name after its code fails like a missing array element.
const QString kMissingPart = QStringLiteral("下标越界");

}  // namespace

QString RightsPanel::formatString()
{
    return QStringLiteral(
        "  |<部门                                    |<岗位                             |<姓名                 "
        "|^操作     |^查阅     |^下载     |");
}

RightsPanel::RightsPanel(Platform& platform, QWidget* parent) : QFrame(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("Picture2"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    resize(760, 360);

    createGridArea();
    createChooser();

    connect(Image1, &QToolButton::clicked, this, [this] { Image1_Click(); });
    connect(addButton, &QToolButton::clicked, this, [this] { Picture8_7_Click(); });
    connect(byGroup, &QRadioButton::clicked, this, [this] { Option3_Click(0); });
    connect(byPosition, &QRadioButton::clicked, this, [this] { Option3_Click(1); });
    connect(TreeView1, &KeyedTree::nodeClicked, this, [this](const QString& key) { TreeView1_NodeClick(key); });
    connect(TreeView1, &KeyedTree::nodeDoubleClicked, this, [this] { TreeView1_DblClick(); });
    connect(List1, &QListWidget::itemClicked, this, [this] { List1_Click(); });
    connect(List1, &QListWidget::itemActivated, this, [this] { List1_Click(); });
    connect(MSFlexGrid3, &FlexGrid::clicked, this, [this] { MSFlexGrid3_Click(); });
    connect(MSFlexGrid3, &FlexGrid::doubleClicked, this, [this] { MSFlexGrid3_DblClick(); });

    setUpGrid();
}

void RightsPanel::createGridArea()
{
    title = new QLabel(QStringLiteral("下载或查阅人员清单"), this);
    title->setObjectName(QStringLiteral("Label1(7)"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    Image1 = new QToolButton(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(QStringLiteral("关闭"));
    Image1->setToolTip(QStringLiteral("关闭"));
    Image1->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    Image1->setAutoRaise(true);

    MSFlexGrid3 = new FlexGrid(this);
    MSFlexGrid3->setObjectName(QStringLiteral("MSFlexGrid3"));
    MSFlexGrid3->view()->setAccessibleName(QStringLiteral("下载或查阅人员清单"));
    title->setBuddy(MSFlexGrid3->view());

    addButton = pictureButton(QStringLiteral("Picture8(7)"), QStringLiteral("添加人员"), this);
    addButton->setText(QStringLiteral("+"));
    addButton->setIcon(QIcon());
    addButton->hide();

    auto* header = new QHBoxLayout;
    header->addWidget(title, 1);
    header->addWidget(Image1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(MSFlexGrid3, 1);
}

void RightsPanel::createChooser()
{
    // The chooser floats over the grid.
    Picture3 = new QFrame(this);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setFrameShape(QFrame::Panel);
    Picture3->setFrameShadow(QFrame::Raised);
    Picture3->setAutoFillBackground(true);
    byGroup = new QRadioButton(QStringLiteral("按组选择(&G)"), Picture3);
    byGroup->setObjectName(QStringLiteral("Option3(0)"));
    byPosition = new QRadioButton(QStringLiteral("按指定人员选择(&R)"), Picture3);
    byPosition->setObjectName(QStringLiteral("Option3(1)"));
    List1 = new QListWidget(Picture3);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("下载组"));
    TreeView1 = new KeyedTree(Picture3);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setImageList(directoryTreeIcons());
    TreeView1->hide();
    backLink = new QLabel(QStringLiteral("<u>返回</u>"), Picture3);
    backLink->setObjectName(QStringLiteral("Label1(21)"));
    backLink->setAccessibleName(QStringLiteral("返回"));
    backLink->setProperty("Tag", QStringLiteral("1"));
    backLink->setFocusPolicy(Qt::TabFocus);
    backLink->installEventFilter(this);
    auto* options = new QHBoxLayout;
    options->addWidget(byGroup);
    options->addWidget(byPosition);
    options->addStretch();
    options->addWidget(backLink);
    auto* chooser = new QVBoxLayout(Picture3);
    chooser->addLayout(options);
    chooser->addWidget(List1, 1);
    chooser->addWidget(TreeView1, 1);
    Picture3->hide();
}

int RightsPanel::preferredWidth() const
{
    int pixels = 0;
    for (int c = 0; c < MSFlexGrid3->cols(); ++c)
        pixels += twipsToPixels(MSFlexGrid3->colWidth(c), this);
    return pixels + 2 * frameWidth() + 48;  // margins and the vertical scroll bar
}

void RightsPanel::setUpGrid()
{
    MSFlexGrid3->setFormatString(formatString());
    MSFlexGrid3->setColWidth(Column::Id, 0);
    MSFlexGrid3->setStretchCol(Column::Position);
    MSFlexGrid3->setRows(1);
}

void RightsPanel::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    layoutChooser();
    placeAddButton();
}

void RightsPanel::layoutChooser()
{
    const QRect gridArea = MSFlexGrid3->geometry();
    Picture3->setGeometry(gridArea.x() + gridArea.width() / 3, gridArea.y() + 20, gridArea.width() * 2 / 3,
                          qMax(160, gridArea.height() - 20));
}

void RightsPanel::fail(const QString& description)
{
    m_platform.messages().inform(this, description, executableTitle(), MsgIcon::Information);
}

void RightsPanel::clearDocument()
{
    m_document.clear();
    Picture3->hide();
    hide();
    MSFlexGrid3->setRows(1);
    addButton->hide();
}

void RightsPanel::setDownloadGroups(const QStringList& groups)
{
    List1->clear();
    List1->addItems(groups);
}

bool RightsPanel::showsRights() const { return !MSFlexGrid3->isHidden(); }

void RightsPanel::setFlagCell(int row, int col, bool on)
{
    MSFlexGrid3->setTextMatrix(row, col, on ? kYes : kNo);
    MSFlexGrid3->setCellForeColor(row, col, on ? QColor(0, 0, 255) : QColor(0, 0, 0));
    MSFlexGrid3->setCellFontSize(row, col, 12);
}

void RightsPanel::appendBlankRow()
{
    const int row = MSFlexGrid3->appendRow({QString::number(MSFlexGrid3->rows())});
    MSFlexGrid3->setTextMatrix(row, Column::Action, kDelete);
    MSFlexGrid3->setCellForeColor(row, Column::Action, QColor(255, 0, 0));
    setFlagCell(row, Column::Read, false);
    setFlagCell(row, Column::Download, false);
}

void RightsPanel::placeAddButton()
{
    if (MSFlexGrid3->rows() <= 1) {
        addButton->hide();
        return;
    }
    const QRect cell = MSFlexGrid3->cellRect(MSFlexGrid3->row(), Column::Number);
    const QPoint grid = MSFlexGrid3->pos();
    addButton->setFixedSize(qMax(18, cell.height()), qMax(18, cell.height()));
    addButton->move(grid.x() + 2, grid.y() + cell.top());
    addButton->show();
    addButton->raise();
}

bool RightsPanel::LoadRights()
{
    MSFlexGrid3->setRows(1);
    if (!hasDocument()) {
        addButton->hide();
        return true;
    }
    DbStatus reopened;
    DbResult<QVector<DocumentRightRow>> rights;
    MSFlexGrid3->hide();
    {
        WaitCursor wait(m_status);
        reopened = SharedConnection::reopen();
        if (reopened.ok())
            rights = DocumentRights::load(m_document);
    }
    if (!reopened.ok()) {
        fail(reopened.error.description);
        return false;
    }
    MSFlexGrid3->beginBulk();
    int n = 0;
    for (const DocumentRightRow& r : rights.value) {
        const int row = MSFlexGrid3->appendRow({QString::number(++n), r.deptCode + u' ' + r.deptName,
                                                r.positionCode + u' ' + r.positionName, r.holderName, kDelete,
                                                QString(), QString(), QString::number(r.id)});
        MSFlexGrid3->setCellForeColor(row, Column::Action, QColor(255, 0, 0));
        setFlagCell(row, Column::Read, r.read);
        setFlagCell(row, Column::Download, r.download);
    }
    if (!rights.ok()) {
        MSFlexGrid3->endBulk();
        fail(rights.error.description);
        return false;  // the grid stays hidden
    }
    appendBlankRow();
    MSFlexGrid3->endBulk();
    MSFlexGrid3->setCurrentCell(MSFlexGrid3->rows() - 1, Column::Number);
    MSFlexGrid3->show();
    placeAddButton();
    return true;
}

void RightsPanel::Picture8_7_Click()
{
    if (Picture3->isHidden()) {
        layoutChooser();
        Picture3->raise();
    }
    Picture3->setVisible(Picture3->isHidden());
    byPosition->setChecked(true);
    TreeView1->show();
    List1->hide();
}

void RightsPanel::Option3_Click(int index)
{
    if (index == 1) {
        TreeView1->show();
        TreeView1->raise();
        List1->hide();
    } else {
        List1->show();
        List1->raise();
        TreeView1->hide();
    }
}

void RightsPanel::backLink_Click() { Picture3->hide(); }

void RightsPanel::Image1_Click() { hide(); }

bool RightsPanel::eventFilter(QObject* watched, QEvent* event)
{
    // The link look of "返回": red with the hand cursor while the pointer is over it.
    if (watched == backLink) {
        switch (event->type()) {
        case QEvent::Enter:
            backLink->setStyleSheet(QStringLiteral("color: red;"));
            backLink->setCursor(HandCursor());
            break;
        case QEvent::Leave: backLink->setStyleSheet(QString()); break;
        case QEvent::MouseButtonRelease: backLink_Click(); return true;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                backLink_Click();
                return true;
            }
            break;
        }
        default: break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void RightsPanel::添加岗位信息(const QString& departmentKey)
{
    DbError failed;
    {
        WaitCursor wait(m_status);
        failed = quarvel::添加岗位信息(*TreeView1, departmentKey, PositionVariant::Upload);
    }
    if (failed.isSet())
        fail(failed.description);
}

void RightsPanel::TreeView1_NodeClick(const QString& key)
{
    if (TreeView1->tag(key).isEmpty() && TreeView1->picture(key) == 1) {
        TreeView1->setChecked(key, false);
        添加岗位信息(key);
    }
}

void RightsPanel::TreeView1_DblClick()
{
    const QString key = TreeView1->selectedKey();
    if (key.isEmpty() || TreeView1->picture(key) != 2)
        return;
    const int current = MSFlexGrid3->row();
    const int rows = MSFlexGrid3->rows();
    if (current < 1 || current >= rows)
        return;
    const QString nodeText = TreeView1->text(key);
    const ChosenPosition chosen = ChosenPosition::parse(TreeView1->text(TreeView1->parentKey(key)), nodeText);
    const bool blankRow = current == rows - 1;
    std::optional<qint64> rightId;
    if (!blankRow)
        rightId = MSFlexGrid3->textMatrix(current, Column::Id).toLongLong();

    PlaceOutcome outcome;
    {
        WaitCursor wait(m_status, WaitCursor::databaseText());
        outcome = DocumentRights::place(m_document, rightId, chosen, m_platform.clock().now(),
                                        userContext().EmployeeNo);
    }
    if (outcome.kind == PlaceOutcome::AlreadyListed) {
        m_platform.messages().inform(this, chosen.position + QStringLiteral(" 权限已经存在"),
                                     QStringLiteral("系统提示"));
        return;
    }
    MSFlexGrid3->setTextMatrix(current, Column::Department, chosen.department);
    MSFlexGrid3->setTextMatrix(current, Column::Position, chosen.position);
    MSFlexGrid3->setTextMatrix(current, Column::Holder, chosen.holder);
    switch (outcome.kind) {
    case PlaceOutcome::MissingPart: fail(kMissingPart); return;
    case PlaceOutcome::NoDocument: return;
    case PlaceOutcome::Failed: fail(outcome.error.description); return;
    case PlaceOutcome::Granted: LoadRights(); break;
    case PlaceOutcome::Moved:
        MSFlexGrid3->setCurrentCell(MSFlexGrid3->rows() - 1, Column::Department);
        MSFlexGrid3_DblClick();
        break;
    case PlaceOutcome::AlreadyListed: break;
    }
    Picture3->hide();
}

void RightsPanel::List1_Click()
{
    QListWidgetItem* item = List1->currentItem();
    if (!item || !hasDocument())
        return;
    const QString groupId = codePart(item->text());
    MSFlexGrid3->hide();
    DbResult<int> granted;
    {
        WaitCursor wait(m_status);
        granted = DocumentRights::grantGroup(m_document, groupId, m_platform.clock().now(), userContext().EmployeeNo);
    }
    if (!granted.ok()) {
        fail(granted.error.description);
        return;
    }
    LoadRights();
    Picture3->hide();
}

void RightsPanel::renumber()
{
    for (int r = 1; r < MSFlexGrid3->rows(); ++r)
        MSFlexGrid3->setTextMatrix(r, Column::Number, QString::number(r));
}

int RightsPanel::clickedRight()
{
    Picture3->hide();
    if (MSFlexGrid3->rows() <= 1)
        return 0;
    placeAddButton();
    const int row = MSFlexGrid3->row();
    return MSFlexGrid3->textMatrix(row, Column::Department).trimmed().isEmpty() ? 0 : row;
}

void RightsPanel::MSFlexGrid3_Click()
{
    const int row = clickedRight();
    if (row == 0 || MSFlexGrid3->col() != Column::Action)
        return;
    const std::optional<QString> deptName = namePart(MSFlexGrid3->textMatrix(row, Column::Department));
    const std::optional<QString> positionName = namePart(MSFlexGrid3->textMatrix(row, Column::Position));
    if (!deptName || !positionName) {
        fail(kMissingPart);
        return;
    }
    if (m_platform.messages().show(this, QStringLiteral("确认要删除") + *deptName + u' ' + *positionName,
                                   applicationTitle(), MsgIcon::None, MsgButtons::YesNo)
        != MsgAnswer::Yes)
        return;
    const QString id = MSFlexGrid3->textMatrix(row, Column::Id);
    if (!id.isEmpty()) {
        DbStatus removed;
        {
            WaitCursor wait(m_status);
            removed = DocumentRights::remove(id.toLongLong());
        }
        if (!removed.ok()) {
            fail(removed.error.description);
            return;
        }
    }
    MSFlexGrid3->removeItem(row);
    renumber();
    MSFlexGrid3->setCurrentCell(MSFlexGrid3->rows() - 1, Column::Department);
    MSFlexGrid3_DblClick();
}

void RightsPanel::MSFlexGrid3_DblClick()
{
    const int row = clickedRight();
    if (row == 0)
        return;
    const int col = MSFlexGrid3->col();
    const QString cell = MSFlexGrid3->textMatrix(row, col);
    const qint64 id = MSFlexGrid3->textMatrix(row, Column::Id).toLongLong();
    DbStatus changed;
    if (col == Column::Read && (cell == kYes || cell == kNo)) {
        const bool on = cell == kNo;
        setFlagCell(row, Column::Read, on);
        WaitCursor wait(m_status);
        changed = DocumentRights::setRead(id, on);
    } else if (col == Column::Download && (cell == kYes || cell == kNo)) {
        const bool on = cell == kNo;
        setFlagCell(row, Column::Download, on);
        if (on)
            setFlagCell(row, Column::Read, true);
        WaitCursor wait(m_status);
        changed = DocumentRights::setDownload(id, on);
    } else {
        return;
    }
    if (!changed.ok())
        fail(changed.error.description);
}

}  // namespace quarvel
