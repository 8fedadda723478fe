#include "permissions/frmUploadPermissions.h"

#include "directory/DepartmentTree.h"
#include "doctypes/TypeTreeView.h"
#include "login/UserContext.h"
#include "permissions/PositionList.h"
#include "platform/Platform.h"
#include "widgets/WindowPlacement.h"
#include "widgets/tree/KeyedTree.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QSignalBlocker>
#include <QTreeView>
#include <QVBoxLayout>

namespace quarvel {

frm资料上传权限设置::frm资料上传权限设置(Platform& platform, QWidget* parent) : QWidget(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("frm资料上传权限设置"));
    setWindowTitle(QStringLiteral("资料上传权限设置"));

    TreeView1 = new KeyedTree(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setCheckBoxes(true);
    TreeView1->setImageList(typeTreeIcons(TypeTreeVariant::UploadPermission));
    TreeView1->view()->setAccessibleName(QStringLiteral("文件类型"));
    TreeView2 = new KeyedTree(this);
    TreeView2->setObjectName(QStringLiteral("TreeView2"));
    TreeView2->setImageList(directoryTreeIcons());
    TreeView2->view()->setAccessibleName(QStringLiteral("员工岗位列表"));
    ListView2 = new PositionList(this);
    ListView2->setObjectName(QStringLiteral("ListView2"));
    ListView2->view()->setAccessibleName(QStringLiteral("拥有上传权限员工列表"));

    const auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    const auto button = [this](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    Command5 = button(QStringLiteral("Command5"), QStringLiteral("添加"));
    Command7 = button(QStringLiteral("Command7"), QStringLiteral("修改"));
    Command6 = button(QStringLiteral("Command6"), QStringLiteral("删除"));
    Command1 = button(QStringLiteral("Command1"), QStringLiteral("退出"));

    auto* grid = new QGridLayout;
    grid->addWidget(label(QStringLiteral("文件类型(&T)"), TreeView1->view()), 0, 0);
    grid->addWidget(label(QStringLiteral("员工岗位列表(&P)"), TreeView2->view()), 0, 1);
    grid->addWidget(label(QStringLiteral("拥有上传权限员工列表(&L)"), ListView2->view()), 0, 2);
    grid->addWidget(TreeView1, 1, 0);
    grid->addWidget(TreeView2, 1, 1);
    grid->addWidget(ListView2, 1, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {Command5, Command7, Command6, Command1})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);
    resize(1000, 560);

    setTabOrder(TreeView1->view(), TreeView2->view());
    setTabOrder(TreeView2->view(), ListView2->view());
    setTabOrder(ListView2->view(), Command5);

    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command7, &QPushButton::clicked, this, [this] { Command7_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(TreeView2, &KeyedTree::nodeClicked, this, [this](const QString& key) { TreeView2_NodeClick(key); });
    connect(TreeView2, &KeyedTree::nodeDoubleClicked, this, [this] { Command5_Click(); });
    connect(ListView2, &PositionList::itemClicked, this, [this] { ListView2_Click(); });
    connect(ListView2, &PositionList::itemDoubleClicked, this, [this] { Command6_Click(); });

    Form_Load();
}

void frm资料上传权限设置::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        CenterInMainWindow(this);
    }
}

void frm资料上传权限设置::plainMessage(const QString& text)
{
    m_platform.messages().show(this, text, applicationTitle(), MsgIcon::None, MsgButtons::Ok);
}

void frm资料上传权限设置::showFailure(const DbError& error)
{
    m_platform.messages().inform(this, formatError(error, ErrorForm::DescriptionOnly), executableTitle(),
                                 MsgIcon::Information);
}

ChangeAuthor frm资料上传权限设置::author() const { return {userContext().EmployeeNo, m_platform.clock().now()}; }

void frm资料上传权限设置::Form_Load()
{
    LoadTypeTree();
    InitDepartmentTree(*TreeView2, Departments, m_platform.messages(), this);
    对应岗位();
}

void frm资料上传权限设置::LoadTypeTree()
{
    m_nodesByCode.clear();
    DbError failed;
    {
        // The load and the marking in one update: the view is laid out once.
        KeyedTreeModel::UpdateGuard update(*TreeView1->model());
        failed = quarvel::LoadTypeTree(*TreeView1, TypeTreeVariant::UploadPermission);
        if (!failed.isSet()) {
            const DbResult<QStringList> voided = TypeTree::voidedCodes();
            failed = voided.error;
            if (voided.ok())
                markLeavesAndVoided(*TreeView1, voided.value);
        }
    }
    const int n = TreeView1->count();
    m_nodesByCode.reserve(n);
    for (int i = 1; i <= n; ++i)
        m_nodesByCode[TypeCodeFromText(TreeView1->textRef(i)).trimmed()].append(TreeView1->keyRef(i));
    // A selected type node lets "修改" go ahead.
    if (n > 0)
        TreeView1->setSelected(TreeView1->keyAt(1));
    if (failed.isSet())
        reportTreeFailure(m_platform.messages(), this, failed);
}

void frm资料上传权限设置::对应岗位()
{
    const DbResult<QVector<ListedPosition>> rows = UploadPermissions::positions();
    if (!rows.ok() && rows.value.isEmpty()) {
        showFailure(rows.error);
        return;
    }
    ListView2->setPositions(rows.value);
    if (!rows.ok())
        showFailure(rows.error);
}

void frm资料上传权限设置::添加岗位信息(const QString& deptKey)
{
    const DbError failed = quarvel::添加岗位信息(*TreeView2, deptKey, PositionVariant::Standard);
    if (failed.isSet())
        reportDirectoryFailure(m_platform.messages(), this, failed);
}

void frm资料上传权限设置::TreeView2_NodeClick(const QString& key)
{
    if (positionsPending(*TreeView2, key))
        添加岗位信息(key);
}

QStringList frm资料上传权限设置::chosenTypes() const
{
    QVector<TypeNodeState> nodes;
    const int n = TreeView1->count();
    for (int i = 1; i <= n; ++i) {
        const QString key = TreeView1->keyAt(i);
        if (TreeView1->checked(key))
            nodes.append({TreeView1->text(key), TreeView1->picture(key), true});
    }
    return UploadPermissions::chosenTypes(nodes);
}

void frm资料上传权限设置::ListView2_Click()
{
    if (ListView2->count() == 0)
        return;
    const QString position = ListView2->selectedKey().mid(1).trimmed();
    if (ListView2->selectedRow() < 0)
        return;
    const DbResult<QStringList> types = UploadPermissions::typesOf(position);
    if (!types.ok()) {
        showFailure(types.error);
        return;
    }
    QSet<QString> ticked;
    for (const QString& code : types.value) {
        for (const QString& key : m_nodesByCode.value(code))
            ticked.insert(key);
    }
    {
        // Thousands of check marks change at once: the view repaints once afterwards instead
        // of hearing of each mark.
        const QSignalBlocker quiet(TreeView1->model());
        for (const QString& key : TreeView1->checkedKeys()) {
            if (!ticked.contains(key))
                TreeView1->setChecked(key, false);
        }
        for (const QString& key : std::as_const(ticked))
            TreeView1->setChecked(key, true);
    }
    TreeView1->refresh();
}

void frm资料上传权限设置::report(const PermissionResult& result)
{
    switch (result.outcome) {
    case PermissionOutcome::NoPositionChosen: plainMessage(QStringLiteral("请选择要设置的人员！")); break;
    case PermissionOutcome::VacantPosition: plainMessage(QStringLiteral("空岗位不可以添加！")); break;
    case PermissionOutcome::NoTypesChosen: plainMessage(QStringLiteral("请选择要设置的文件类别！")); break;
    case PermissionOutcome::NoEmployeeChosen:
        m_platform.messages().inform(this, QStringLiteral("请选择要设置的员工!"), QStringLiteral("提示"),
                                     MsgIcon::Information);
        break;
    case PermissionOutcome::Failed: showFailure(result.error); break;
    case PermissionOutcome::Stored:
    case PermissionOutcome::NothingToDo: break;
    }
}

void frm资料上传权限设置::Command5_Click()
{
    const QString key = TreeView2->selectedKey();
    AddRequest request;
    if (!key.isEmpty())
        request.position = PositionNode{key, TreeView2->text(key), TreeView2->picture(key)};
    request.types = chosenTypes();
    request.listed = !key.isEmpty() && ListView2->findKey(key) >= 0;
    const PermissionResult result = UploadPermissions::add(request, author());
    report(result);
    if (result.outcome == PermissionOutcome::Stored)
        对应岗位();
}

void frm资料上传权限设置::Command7_Click()
{
    ChangeRequest request;
    request.typeNodeSelected = !TreeView1->selectedKey().isEmpty();
    const int row = ListView2->selectedRow();
    if (row >= 0) {
        request.listedKey = ListView2->key(row);
        request.positionName = ListView2->text(row, PositionColumn::Position);
    }
    request.types = chosenTypes();
    report(UploadPermissions::change(request, author()));
}

void frm资料上传权限设置::Command6_Click()
{
    if (ListView2->count() == 0)
        return;
    const QString position = ListView2->selectedKey().mid(1);
    if (position.isEmpty())
        return;
    const DbStatus removed = UploadPermissions::remove(position);
    if (!removed.ok()) {
        showFailure(removed.error);
        return;
    }
    对应岗位();
}

void frm资料上传权限设置::Command1_Click() { CloseChildWindow(this); }

}  // namespace quarvel
