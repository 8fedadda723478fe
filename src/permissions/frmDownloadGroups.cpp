#include "permissions/frmDownloadGroups.h"

#include "db/ColumnLengths.h"
#include "directory/DepartmentTree.h"
#include "login/UserContext.h"
#include "permissions/PositionList.h"
#include "platform/Platform.h"
#include "widgets/TypedText.h"
#include "widgets/WindowPlacement.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace quarvel {
namespace {

constexpr int kCodeRole = Qt::UserRole;

QString modeCaption(GroupEditMode mode)
{
    return mode == GroupEditMode::Edit ? QStringLiteral("新增") : QStringLiteral("取消");
}

template <typename W>
W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// A label with its mnemonic, the buddy of the control that carries the label's text.
QLabel* buddy(QWidget* parentWidget, const QString& text, const QString& mnemonic, QWidget* control)
{
    auto* l = new QLabel(text + mnemonic, parentWidget);
    l->setBuddy(control);
    control->setAccessibleName(text);
    return l;
}

}  // namespace

frm资料下载组设置::frm资料下载组设置(Platform& platform, QWidget* parent) : QWidget(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("frm资料下载组设置"));
    setWindowTitle(QStringLiteral("资料下载组设置"));
    buildGroupFrame();
    buildPositionFrame();

    ListView2 = named(new PositionList(this), QStringLiteral("ListView2"));
    ListView2->view()->setAccessibleName(QStringLiteral("拥有下载权限人员列表"));
    auto* membersLabel = new QLabel(QStringLiteral("拥有下载权限人员列表(&L)"), this);
    membersLabel->setBuddy(ListView2->view());
    auto* members = new QVBoxLayout;
    members->addWidget(membersLabel);
    members->addWidget(ListView2, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Frame1, 3);
    layout->addWidget(Frame2, 3);
    layout->addLayout(members, 4);
    resize(1000, 560);

    setTabOrder(List1, Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Command1);

    guardTypedTexts(this);
    connectHandlers();
    Form_Load();
}

void frm资料下载组设置::buildGroupFrame()
{
    Frame1 = named(new QGroupBox(QStringLiteral("下载组列表"), this), QStringLiteral("Frame1"));
    List1 = named(new QListWidget(Frame1), QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("下载组列表"));
    Text1 = named(new QLineEdit(Frame1), QStringLiteral("Text1"));
    Text1->setEnabled(false);
    Text2 = named(new QLineEdit(Frame1), QStringLiteral("Text2"));
    Text3 = named(new QPlainTextEdit(Frame1), QStringLiteral("Text3"));
    Text3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text3->setTabChangesFocus(true);
    Text3->setMaximumHeight(80);
    Command1 = button(this, QStringLiteral("Command1"), modeCaption(GroupEditMode::Edit));
    Command2 = button(this, QStringLiteral("Command2"), QStringLiteral("确定"));
    Command3 = button(this, QStringLiteral("Command3"), QStringLiteral("删除"));
    Command4 = button(this, QStringLiteral("Command4"), QStringLiteral("退出"));

    auto* form = new QFormLayout;
    form->addRow(buddy(Frame1, QStringLiteral("组编号"), QStringLiteral("(&C)"), Text1), Text1);
    form->addRow(buddy(Frame1, QStringLiteral("组名称"), QStringLiteral("(&N)"), Text2), Text2);
    form->addRow(buddy(Frame1, QStringLiteral("组描述"), QStringLiteral("(&D)"), Text3), Text3);
    auto* groupButtons = new QHBoxLayout;
    for (QPushButton* b : {Command1, Command2, Command3, Command4})
        groupButtons->addWidget(b);
    auto* frame1Layout = new QVBoxLayout(Frame1);
    frame1Layout->addWidget(List1, 1);
    frame1Layout->addLayout(form);
    frame1Layout->addLayout(groupButtons);
}

void frm资料下载组设置::buildPositionFrame()
{
    Frame2 = named(new QGroupBox(QStringLiteral("员工岗位列表"), this), QStringLiteral("Frame2"));
    TreeView2 = named(new KeyedTree(Frame2), QStringLiteral("TreeView2"));
    TreeView2->setImageList(directoryTreeIcons());
    TreeView2->view()->setAccessibleName(QStringLiteral("员工岗位列表"));
    Text5 = named(new QLineEdit(Frame2), QStringLiteral("Text5"));
    Text5->setAccessibleName(QStringLiteral("姓名"));
    guardTypedText(Text5, columnLength::kEmployeeName);
    Label5 = named(new QLabel(QStringLiteral("姓名(&M)"), Frame2), QStringLiteral("Label5"));
    Label5->setBuddy(Text5);
    Command8 = new QPushButton(QStringLiteral("定位"), Frame2);
    Command8->setObjectName(QStringLiteral("Command8"));
    Command8->setAutoDefault(false);
    auto* search = new QHBoxLayout;
    search->addWidget(Label5);
    search->addWidget(Text5, 1);
    search->addWidget(Command8);
    auto* frame2Layout = new QVBoxLayout(Frame2);
    frame2Layout->addWidget(TreeView2, 1);
    frame2Layout->addLayout(search);
}

void frm资料下载组设置::connectHandlers()
{
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command8, &QPushButton::clicked, this, [this] { Command8_Click(); });
    connect(Text5, &QLineEdit::returnPressed, this, [this] { Command8_Click(); });
    connect(List1, &QListWidget::itemClicked, this, [this] { List1_Click(); });
    // Moving through the list with the keyboard chooses the group too.
    connect(List1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_filling && row >= 0 && QApplication::mouseButtons() == Qt::NoButton)
            List1_Click();
    });
    connect(TreeView2, &KeyedTree::nodeClicked, this, [this](const QString& key) { TreeView2_NodeClick(key); });
    connect(TreeView2, &KeyedTree::nodeDoubleClicked, this, [this] { TreeView2_DblClick(); });
    connect(ListView2, &PositionList::itemDoubleClicked, this, [this] { ListView2_DblClick(); });
}

void frm资料下载组设置::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        CenterInMainWindow(this);
    }
}

void frm资料下载组设置::tip(const QString& text)
{
    m_platform.messages().inform(this, text, QStringLiteral("提示"), MsgIcon::Information);
}

void frm资料下载组设置::showFailure(const DbError& error, bool withNumber)
{
    m_platform.messages().inform(
        this, formatError(error, withNumber ? ErrorForm::NumberAndDescription : ErrorForm::DescriptionOnly),
        executableTitle(), MsgIcon::Information);
}

void frm资料下载组设置::setMode(GroupEditMode mode)
{
    m_mode = mode;
    Command1->setText(modeCaption(mode));
}

ShownGroup frm资料下载组设置::shownGroup() const
{
    // A group chosen from the list shows its code in the disabled code box.
    return {m_mode, Text1->text(), !Text1->isEnabled()};
}

void frm资料下载组设置::Form_Load()
{
    LoadGroupList();
    const DbError failed = InitDepartmentTree(*TreeView2, Departments);
    if (failed.isSet())
        showFailure(failed, true);
}

void frm资料下载组设置::LoadGroupList()
{
    const DbResult<QVector<DownloadGroup>> groups = DownloadGroups::groups();
    if (!groups.ok() && groups.value.isEmpty()) {
        showFailure(groups.error, true);
        return;
    }
    m_filling = true;
    List1->clear();
    for (const DownloadGroup& g : groups.value) {
        auto* item = new QListWidgetItem(g.listText(), List1);
        item->setData(kCodeRole, g.code);
    }
    m_filling = false;
    if (!groups.ok())
        showFailure(groups.error, true);
}

void frm资料下载组设置::selectGroupEntry(const QString& code)
{
    m_filling = true;
    for (int i = 0; i < List1->count(); ++i) {
        if (List1->item(i)->data(kCodeRole).toString() == code) {
            List1->setCurrentRow(i);
            break;
        }
    }
    m_filling = false;
}

void frm资料下载组设置::List1_Click()
{
    QListWidgetItem* item = List1->currentItem();
    if (!item || !item->isSelected())
        return;
    const DbResult<std::optional<DownloadGroup>> found = DownloadGroups::find(item->data(kCodeRole).toString());
    if (!found.ok()) {
        showFailure(found.error, false);
        return;
    }
    if (found.value) {
        Text1->setText(found.value->code);
        Text2->setText(found.value->name);
        Text3->setPlainText(found.value->description);
    }
    Text1->setEnabled(false);
    setMode(GroupEditMode::Edit);
    对应岗位();
}

void frm资料下载组设置::对应岗位()
{
    const DbResult<QVector<ListedPosition>> rows = DownloadGroups::members(Text1->text());
    if (!rows.ok() && rows.value.isEmpty()) {
        showFailure(rows.error, false);
        return;
    }
    ListView2->setPositions(rows.value);
    if (!rows.ok())
        showFailure(rows.error, false);
}

void frm资料下载组设置::添加岗位信息(const QString& deptKey)
{
    const DbError failed = quarvel::添加岗位信息(*TreeView2, deptKey, PositionVariant::Standard);
    if (failed.isSet())
        reportDirectoryFailure(m_platform.messages(), this, failed);
}

void frm资料下载组设置::TreeView2_NodeClick(const QString& key)
{
    if (positionsPending(*TreeView2, key))
        添加岗位信息(key);
}

void frm资料下载组设置::Command1_Click()
{
    if (m_mode == GroupEditMode::Edit) {
        setMode(GroupEditMode::Create);
        Text1->setEnabled(true);
        Text1->clear();
        Text1->setFocus();
        Text2->clear();
        Text3->clear();
        ListView2->clear();  // the members belong to no group being created
        return;
    }
    setMode(GroupEditMode::Edit);
    Text1->setEnabled(false);
    if (QListWidgetItem* item = List1->currentItem(); item && item->isSelected())
        List1_Click();
}

void frm资料下载组设置::Command2_Click()
{
    const GroupFields fields{Text1->text(), Text2->text(), Text3->toPlainText()};
    const GroupResult result = DownloadGroups::save(m_mode, fields,
                                                    {userContext().EmployeeNo, m_platform.clock().now()});
    const auto focusCode = [this] {
        if (Text1->isEnabled())
            Text1->setFocus();
    };
    switch (result.outcome) {
    case GroupOutcome::NoGroupToChange: tip(QStringLiteral("请选择需要修改的范围!")); return;
    case GroupOutcome::EmptyCode:
        tip(QStringLiteral("编号不能为空!"));
        focusCode();
        return;
    case GroupOutcome::CodeTooLong:
        tip(QStringLiteral("类别编号不能超过10个字符"));
        focusCode();
        return;
    case GroupOutcome::EmptyName:
        tip(QStringLiteral("名称不能为空!"));
        Text2->setFocus();
        return;
    case GroupOutcome::CodeExists:
        tip(QStringLiteral("编号已存在,不能重复！"));
        focusCode();
        return;
    case GroupOutcome::NameExists:
        tip(QStringLiteral("名称已存在,不能重复！"));
        Text2->setFocus();
        return;
    case GroupOutcome::GroupMissing:
        tip(QStringLiteral("该组已不存在，可能已被删除!"));
        LoadGroupList();
        return;
    case GroupOutcome::Failed: showFailure(result.error, true); return;
    case GroupOutcome::Changed:
        LoadGroupList();
        selectGroupEntry(fields.code.trimmed());
        tip(QStringLiteral("修改成功"));
        break;
    case GroupOutcome::Created: {
        // Added at the end without a reload; the code stays in its box, still enabled, so
        // members wait until the group is chosen in the list.
        const DownloadGroup added{fields.code.trimmed(), fields.name.trimmed(), {}};
        auto* item = new QListWidgetItem(added.listText(), List1);
        item->setData(kCodeRole, added.code);
        break;
    }
    default: return;
    }
    setMode(GroupEditMode::Edit);
}

void frm资料下载组设置::Command3_Click()
{
    const GroupResult check = DownloadGroups::checkRemoval(m_mode, Text1->text());
    if (check.outcome == GroupOutcome::CreatingGroup) {
        tip(QStringLiteral("现在正处于新增模式不能删除"));
        return;
    }
    if (check.outcome == GroupOutcome::NoGroupToDelete) {
        tip(QStringLiteral("请选择要删除的组!"));
        return;
    }
    if (!m_platform.messages().askYesNo(this, QStringLiteral("是否需要删除组：") + Text2->text(),
                                        QStringLiteral("提示"), MsgIcon::Question))
        return;
    const DbStatus removed = DownloadGroups::remove(Text1->text());
    if (!removed.ok()) {
        showFailure(removed.error, true);
        return;
    }
    Text1->clear();
    Text2->clear();
    Text3->clear();
    ListView2->clear();
    LoadGroupList();
}

void frm资料下载组设置::Command4_Click() { CloseChildWindow(this); }

void frm资料下载组设置::TreeView2_DblClick()
{
    const QString key = TreeView2->selectedKey();
    PositionNode node;
    if (!key.isEmpty())
        node = PositionNode{key, TreeView2->text(key), TreeView2->picture(key)};
    if (node.isPosition() && ListView2->findKey(key) >= 0 && m_mode == GroupEditMode::Edit && !Text1->isEnabled())
        return;  // already a member
    const GroupResult result = DownloadGroups::addMember(shownGroup(), node, userContext().EmployeeNo);
    switch (result.outcome) {
    case GroupOutcome::CreatingGroup:
        tip(QStringLiteral("现在正处于新增组模式不能修改权限，请取消新增再操作！"));
        break;
    case GroupOutcome::NoGroupChosen: tip(QStringLiteral("请选择要设置下载的组!")); break;
    case GroupOutcome::Failed: showFailure(result.error, false); break;
    case GroupOutcome::Done: 对应岗位(); break;
    default: break;
    }
}

void frm资料下载组设置::ListView2_DblClick()
{
    if (ListView2->count() == 0)
        return;
    const GroupResult result = DownloadGroups::removeMember(shownGroup(), ListView2->selectedKey());
    switch (result.outcome) {
    case GroupOutcome::CreatingGroup: tip(QStringLiteral("现在正处于新增模式不能修改权限")); break;
    case GroupOutcome::NoGroupChosen: tip(QStringLiteral("请选择要设置下载的组!")); break;
    case GroupOutcome::Failed: showFailure(result.error, false); break;
    case GroupOutcome::Done: 对应岗位(); break;
    default: break;
    }
}

void frm资料下载组设置::Command8_Click()
{
    const QString name = Text5->text().trimmed();
    if (name.isEmpty() || ListView2->count() == 0)
        return;
    for (int row = 0; row < ListView2->count(); ++row) {
        if (ListView2->text(row, PositionColumn::Holder).trimmed() == name) {
            ListView2->select(row);
            ListView2->setFocus();
        }
    }
}

}  // namespace quarvel
