#include "reports/frmEffectiveRights.h"

#include "directory/DepartmentTree.h"
#include "login/UserContext.h"
#include "platform/Platform.h"
#include "reports/AccessStatistics.h"
#include "reports/DocumentChooser.h"
#include "reports/frmToExcel.h"
#include "widgets/ButtonRow.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowPlacement.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"

#include <QHBoxLayout>
#include <QLabel>

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>
#include <QTreeView>
#include <QVBoxLayout>

namespace quarvel {
namespace {

const QString kTitle = QStringLiteral("资料权限说明");
// The columns that take the spare width: the position of documentFormat(), the document's
// name of positionFormat().
constexpr int kPositionColumn = 1;
constexpr int kDocumentNameColumn = 2;

QString mark(bool on) { return on ? QStringLiteral("√") : QStringLiteral("×"); }

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

}  // namespace

const QString& frm资料权限说明::documentFormat()
{
    static const QString format = QStringLiteral(
        "序|<岗位                    |<部门                |^查阅  |^下载  |<所属下载组                |^可上传此类别 "
        "|<授予时间            |<授予人          |<权限行号");
    return format;
}

const QString& frm资料权限说明::positionFormat()
{
    static const QString format = QStringLiteral(
        "序|<文件编号            |<文件名称                  |<文件类别            |^查阅  |^下载  |^可上传此类别 "
        "|<授予时间            |<授予人          |<权限行号");
    return format;
}

frm资料权限说明::frm资料权限说明(Platform& platform, QWidget* parent) : QWidget(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("frm资料权限说明"));
    setWindowTitle(kTitle);

    Chooser = new DocumentChooser(platform.messages(), this);
    Label3 = new QLabel(QStringLiteral("岗位列表："), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    TreeView1 = new KeyedTree(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setImageList(directoryTreeIcons());
    Label3->setBuddy(TreeView1->view());
    Command1 = button(QStringLiteral("按资料说明"), "Command1", this);
    Command4 = button(QStringLiteral("按岗位说明"), "Command4", this);
    Command5 = button(QStringLiteral("岗位对资料"), "Command5", this);
    Text2 = new QTextEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setReadOnly(true);
    Text2->setAccessibleName(QStringLiteral("权限说明"));
    MSFlexGrid1 = new FlexGrid(this);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->view()->setAccessibleName(kTitle);
    auto* buttons = new ButtonRow;
    Command3 = buttons->add(QStringLiteral("Command3"), QStringLiteral("输出到Excel"), this);
    Command2 = buttons->add(QStringLiteral("Command2"), QStringLiteral("退出"), this);

    auto* left = new QVBoxLayout;
    left->addWidget(Chooser, 1);
    left->addWidget(Label3);
    left->addWidget(TreeView1, 1);
    auto* choices = new QHBoxLayout;
    for (QPushButton* b : {Command1, Command4, Command5})
        choices->addWidget(b);
    left->addLayout(choices);
    auto* right = new QVBoxLayout;
    right->addWidget(Text2, 1);
    right->addWidget(MSFlexGrid1, 2);
    // How much of a long list has arrived.
    ListCount = new QLabel(this);
    ListCount->setObjectName(QStringLiteral("ListCount"));
    ListCount->setAccessibleName(QStringLiteral("列表行数"));
    ListCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    right->addWidget(ListCount);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 3);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(MSFlexGrid1, &FlexGrid::loadProgress, this, [this] { showListCount(); });
    connect(TreeView1, &KeyedTree::nodeClicked, this, [this](const QString& key) { TreeView1_NodeClick(key); });
    connect(TreeView1, &KeyedTree::nodeDoubleClicked, this, [this](const QString& key) {
        if (TreeView1->picture(key) == kPositionPicture)
            Chooser->chosen() ? Command5_Click() : Command4_Click();
    });
    Chooser->onActivated([this] {
        TreeView1->picture(TreeView1->selectedKey()) == kPositionPicture ? Command5_Click() : Command1_Click();
    });
    resize(1100, 650);
    Form_Load();
}

void frm资料权限说明::Form_Load()
{
    MSFlexGrid1->setFixedCols(0);
    MSFlexGrid1->setRows(1);
    MSFlexGrid1->setFormatString(documentFormat());
    MSFlexGrid1->setStretchCol(kPositionColumn);
    // Without the special audit right only the own department's positions can be explained.
    const UserContext& user = userContext();
    m_rights.restrictTo(user.DeptCode.isNull() ? QStringLiteral("") : user.DeptCode);
    const DbResult<bool> audit = AccessStatistics::holdsSpecialAudit(user.DeptCode, user.PositionCode);
    if (!audit.ok()) {
        fail(audit.error);
        return;
    }
    if (!audit.value) {
        TreeView1->addNode(QString(), DepartmentDirectory::departmentKey(user.DeptCode),
                           user.DeptCode + u' ' + user.DeptName, kDepartmentPicture);
        return;
    }
    m_rights.restrictTo(std::nullopt);
    if (const DbError failed = LoadDepartmentTree(*TreeView1, Departments); failed.isSet())
        reportDirectoryFailure(m_platform.messages(), this, failed);
}

void frm资料权限说明::TreeView1_NodeClick(const QString& key)
{
    const DbResult<bool> loaded = loadPositionsOnFirstClick(*TreeView1, key, PositionVariant::Standard);
    if (!loaded.ok())
        reportDirectoryFailure(m_platform.messages(), this, loaded.error);
    else if (loaded.value)
        TreeView1->setExpanded(key, true);
}

std::optional<QString> frm资料权限说明::chosenPosition() const
{
    const QString key = TreeView1->selectedKey();
    if (key.isEmpty() || TreeView1->picture(key) != kPositionPicture)
        return std::nullopt;
    return DepartmentDirectory::codeFromKey(key);
}

void frm资料权限说明::fail(const DbError& error)
{
    m_platform.messages().inform(this, formatError(error, ErrorForm::DescriptionOnly), executableTitle());
}

void frm资料权限说明::showSentences(const QStringList& sentences)
{
    Text2->setPlainText(sentences.join(QStringLiteral("\n")));
}

bool frm资料权限说明::explainDocument(bool withPosition)
{
    const std::optional<FoundDocument> document = Chooser->chosen();
    if (!document) {
        m_platform.messages().inform(this, QStringLiteral("请先查找并选择资料"), QStringLiteral("提示"));
        Chooser->Text1->setFocus();
        return false;
    }
    const std::optional<QString> position = withPosition ? chosenPosition() : std::nullopt;
    if (withPosition && !position) {
        m_platform.messages().inform(this, QStringLiteral("请在岗位列表中选择岗位"), QStringLiteral("提示"));
        TreeView1->setFocus();
        return false;
    }
    DbResult<DocumentExplanation> result;
    {
        WaitCursor wait;
        result = m_rights.forDocument(document->number, position);
    }
    MSFlexGrid1->setRows(1);
    MSFlexGrid1->setFormatString(documentFormat());
    MSFlexGrid1->setStretchCol(kPositionColumn);
    showListCount();
    if (!result.ok()) {
        Text2->clear();
        fail(result.error);
        return true;
    }
    showSentences(EffectiveRights::sentences(result.value));
    MSFlexGrid1->beginBulk();
    int n = 0;
    for (const ExplainedRight& r : std::as_const(result.value.rows)) {
        MSFlexGrid1->appendRow({QString::number(++n), (r.positionCode + u' ' + r.positionName).trimmed(),
                                (r.departmentCode + u' ' + r.departmentName).trimmed(), mark(r.read), mark(r.download),
                                r.groups.join(QStringLiteral("、")), mark(r.mayUploadType), r.grantedAt.trimmed(),
                                r.grantedBy, QString::number(r.id)});
    }
    MSFlexGrid1->endBulk();
    showListCount();
    return true;
}

bool frm资料权限说明::Command1_Click() { return explainDocument(false); }

bool frm资料权限说明::Command5_Click() { return explainDocument(true); }

bool frm资料权限说明::Command4_Click()
{
    const std::optional<QString> position = chosenPosition();
    if (!position) {
        m_platform.messages().inform(this, QStringLiteral("请在岗位列表中选择岗位"), QStringLiteral("提示"));
        TreeView1->setFocus();
        return false;
    }
    DbResult<PositionRights> result;
    {
        WaitCursor wait;
        result = m_rights.openPosition(*position);
    }
    MSFlexGrid1->setRows(1);
    MSFlexGrid1->setFormatString(positionFormat());
    MSFlexGrid1->setStretchCol(kDocumentNameColumn);
    if (!result.ok()) {
        Text2->clear();
        showListCount();
        fail(result.error);
        return true;
    }
    showSentences(EffectiveRights::sentences(result.value.explanation));
    // A position may hold rights on every document: the first rows come at once, the rest in
    // steps as the list is read or scrolled.
    const std::shared_ptr<PositionRightsReader> rows = std::move(result.value.rows);
    if (rows && !rows->atEnd()) {
        MSFlexGrid1->beginBulk();
        MSFlexGrid1->setRowSource(
            rows,
            [this](const ExplainedRight& r) {
                MSFlexGrid1->appendRow({QString::number(MSFlexGrid1->rows()), r.documentNumber, r.documentName,
                                        (r.typeCode + u' ' + r.typeName).trimmed(), mark(r.read), mark(r.download),
                                        mark(r.mayUploadType), r.grantedAt.trimmed(), r.grantedBy,
                                        QString::number(r.id)});
            },
            [this](const DbError& error) { fail(error); });
        MSFlexGrid1->endBulk();
    }
    showListCount();
    if (rows && rows->error().isSet())
        fail(rows->error());
    return true;
}

void frm资料权限说明::showListCount() { ListCount->setText(MSFlexGrid1->loadedText()); }

void frm资料权限说明::Command2_Click() { CloseChildWindow(this); }

void frm资料权限说明::Command3_Click() { frmToExcel::PrepareFromGrid(m_platform, *MSFlexGrid1, kTitle, this); }

}  // namespace quarvel
