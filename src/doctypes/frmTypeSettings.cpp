#include "doctypes/frmTypeSettings.h"

#include "doctypes/TypeSettings.h"
#include "doctypes/TypeTreeView.h"
#include "platform/Platform.h"
#include "widgets/StatusBar.h"
#include "widgets/TypedText.h"
#include "widgets/WindowPlacement.h"
#include "widgets/tree/KeyedTree.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace quarvel {
namespace {
const QString kAdd = QStringLiteral("添加");
const QString kCancelAdd = QStringLiteral("取消添加");
const QString kVoid = QStringLiteral("作废");
const QString kUnvoid = QStringLiteral("取消作废");
constexpr int kDescriptionLimit = 50;
}  // namespace

frm资料类型设置::frm资料类型设置(Platform& platform, QWidget* parent) : QWidget(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("frm资料类型设置"));
    setWindowTitle(QStringLiteral("资料类型设置"));
    createControls();
    arrangeControls();
    connectControls();
    guardTypedTexts(this);
    Form_Load();
}

void frm资料类型设置::createControls()
{
    TreeView1 = new KeyedTree(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setImageList(typeTreeIcons(TypeTreeVariant::Settings));
    m_treeLabel = new QLabel(QStringLiteral("资料类型列表(&L)"), this);
    m_treeLabel->setBuddy(TreeView1->view());
    TreeView1->view()->setAccessibleName(QStringLiteral("资料类型列表"));

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMaxLength(20);
    Text1->setEnabled(false);
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setMaxLength(20);
    Text3 = new QPlainTextEdit(this);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text3->setTabChangesFocus(true);
    Text3->setMaximumHeight(90);
    connect(Text3, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = Text3->toPlainText();
        if (text.size() > kDescriptionLimit) {
            Text3->setPlainText(text.left(kDescriptionLimit));
            Text3->moveCursor(QTextCursor::End);
        }
    });

    m_codeLabel = new QLabel(QStringLiteral("类别编号(&C)"), this);
    m_codeLabel->setBuddy(Text1);
    m_nameLabel = new QLabel(QStringLiteral("类别名称(&N)"), this);
    m_nameLabel->setBuddy(Text2);
    m_descriptionLabel = new QLabel(QStringLiteral("说    明(&D)"), this);
    m_descriptionLabel->setBuddy(Text3);
    Text1->setAccessibleName(QStringLiteral("类别编号"));
    Text2->setAccessibleName(QStringLiteral("类别名称"));
    Text3->setAccessibleName(QStringLiteral("说    明"));

    Label2 = new QLabel(QStringLiteral("说明：资料类型设置为多级设置，设置子类别时请选择上级类别。"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);

    const auto button = [this](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    Command1 = button(QStringLiteral("Command1"), kAdd);
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("保存"));
    Command3 = button(QStringLiteral("Command3"), QStringLiteral("删除"));
    Command5 = button(QStringLiteral("Command5"), kVoid);
    Command4 = button(QStringLiteral("Command4"), QStringLiteral("退出"));

    StatusBar1 = new InfoStatusBar(0, this);
}

void frm资料类型设置::arrangeControls()
{
    auto* form = new QFormLayout;
    form->addRow(m_codeLabel, Text1);
    form->addRow(m_nameLabel, Text2);
    form->addRow(m_descriptionLabel, Text3);
    auto* editor = new QGroupBox(this);
    auto* editorLayout = new QVBoxLayout(editor);
    editorLayout->addLayout(form);
    editorLayout->addWidget(Label2);
    editorLayout->addStretch();
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Command1, Command2, Command3, Command5, Command4})
        buttons->addWidget(b);
    editorLayout->addLayout(buttons);

    auto* treeColumn = new QVBoxLayout;
    treeColumn->addWidget(m_treeLabel);
    treeColumn->addWidget(TreeView1, 1);
    auto* body = new QHBoxLayout;
    body->addLayout(treeColumn, 1);
    body->addWidget(editor, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(StatusBar1);
    resize(760, 480);

    setTabOrder(TreeView1->view(), Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Command1);
}

void frm资料类型设置::connectControls()
{
    // Every change of the selected node (mouse, keyboard or program) runs the node-click rule, so
    // the text boxes always show the selected type; a click on the node already selected runs it
    // too (it leaves add mode).
    connect(TreeView1, &KeyedTree::nodeClicked, this, [this](const QString& key) { TreeView1_NodeClick(key); });
    connect(TreeView1, &KeyedTree::selectionChanged, this, [this](const QString& key) {
        if (!key.isEmpty())
            TreeView1_NodeClick(key);
    });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
}

void frm资料类型设置::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        CenterInMainWindow(this);
    }
}

void frm资料类型设置::plainMessage(const QString& text)
{
    m_platform.messages().show(this, text, applicationTitle(), MsgIcon::None, MsgButtons::Ok);
}

void frm资料类型设置::setAddMode(bool adding)
{
    m_adding = adding;
    Command1->setText(adding ? kCancelAdd : kAdd);
    Command3->setEnabled(!adding);
    Command5->setEnabled(!adding);
}

void frm资料类型设置::setVoidMode(bool voiding)
{
    m_voiding = voiding;
    Command5->setText(voiding ? kVoid : kUnvoid);
}

void frm资料类型设置::Form_Load()
{
    // A load that stopped at a refused row keeps (and marks) what it built: report it and go on.
    const DbError failed = reload();
    if (failed.isSet())
        plainMessage(failed.description);
    if (TreeView1->count() >= 1) {
        const QString root = TreeView1->keyAt(1);
        TreeView1->setExpanded(root, true);
        TreeView1_NodeClick(root);
        TreeView1->setSelected(root);
    }
}

void frm资料类型设置::TextCls()
{
    Text1->clear();
    Text2->clear();
    Text3->clear();
}

DbError frm资料类型设置::LoadTypeTree()
{
    return quarvel::LoadTypeTree(*TreeView1, TypeTreeVariant::Settings, &TypeDescriptions);
}

DbError frm资料类型设置::文件类别范围()
{
    const DbResult<TypeMarks> marks = TypeTree::marks(TypeTreeVariant::Settings);
    if (!marks.ok())
        return marks.error;
    markTypeSettings(*TreeView1, marks.value);
    return {};
}

DbError frm资料类型设置::reload()
{
    return LoadAndMarkTypeTree(
        *TreeView1, TypeTreeVariant::Settings, [this] { return 文件类别范围(); }, &TypeDescriptions);
}

void frm资料类型设置::TreeView1_NodeClick(const QString& key)
{
    setAddMode(false);
    Text1->setEnabled(false);
    if (key.startsWith(u'S')) {
        const QString text = TreeView1->text(key);
        const qsizetype blank = text.indexOf(u' ');
        Text1->setText(TypeCodeFromKey(key));
        Text2->setText(blank < 0 ? QString() : text.mid(blank + 1));
        const int index = TreeView1->indexOf(key);
        Text3->setPlainText(TypeDescriptions.value(index));
    } else {
        TextCls();
    }
    setVoidMode(TreeView1->picture(key) != 3);
}

void frm资料类型设置::Command1_Click()
{
    if (!isAddMode()) {
        setAddMode(true);
        TextCls();
        Text1->setEnabled(true);
        Text1->setFocus();
        return;
    }
    TextCls();
    Text1->setEnabled(false);
    setAddMode(false);
    const QString selected = TreeView1->selectedKey();
    if (!selected.isEmpty())
        TreeView1_NodeClick(selected);
}

void frm资料类型设置::Command2_Click() { saveType(); }

bool frm资料类型设置::inputAccepted(bool adding)
{
    if (Text1->text().isEmpty()) {
        plainMessage(QStringLiteral("类型编号不能为空，请输入！"));
        return false;
    }
    if (Text2->text().isEmpty()) {
        plainMessage(QStringLiteral("类型名称不能为空，请输入！"));
        return false;
    }
    if (adding && TypeSettings::codeHoldsBlank(Text1->text())) {
        plainMessage(QStringLiteral("类型编号中不能有空格，请重新输入！"));
        return false;
    }
    return true;
}

void frm资料类型设置::saveType()
{
    const bool adding = isAddMode();
    if (!inputAccepted(adding))
        return;
    const QString selected = TreeView1->selectedKey();
    TypeSaveRequest request;
    request.adding = adding;
    request.code = Text1->text();
    request.name = Text2->text();
    request.description = Text3->toPlainText();
    request.selectedCode = TypeCodeFromKey(selected);
    // A new type goes under the selected type; an edited type keeps the level of its own row,
    // the one Text1 names, whatever node is selected now.
    request.rootSelected = selected.isEmpty() || selected == kTypeRootKey || TreeView1->count() <= 1;

    const TypeSaveOutcome outcome = TypeSettings::save(request);
    switch (outcome.kind) {
    case TypeSaveOutcome::Saved: break;
    case TypeSaveOutcome::ParentHoldsDocuments:
        plainMessage(request.selectedCode + QStringLiteral("的类型下存在文件，不能添加下级资料类型！"));
        return;
    case TypeSaveOutcome::CodeExists: plainMessage(QStringLiteral("编号已经存在，请输入新的编号")); return;
    case TypeSaveOutcome::CodeNotFound: plainMessage(QStringLiteral("资料类型分类编号不能修改，保存失败！")); return;
    case TypeSaveOutcome::Failed: plainMessage(outcome.error.description); return;
    }
    if (adding)
        setAddMode(false);
    showSaved(request.code);
}

void frm资料类型设置::showSaved(const QString& code)
{
    const DbError failed = reload();
    if (failed.isSet())
        plainMessage(failed.description);
    const int n = TreeView1->count();
    for (int i = 1; i <= n; ++i) {
        const QString key = TreeView1->keyAt(i);
        if (TypeCodeFromKey(key) == code) {
            TreeView1_NodeClick(key);
            TreeView1->setSelected(key);
        }
    }
}

void frm资料类型设置::Command3_Click()
{
    const QString key = TreeView1->selectedKey();
    if (key.isEmpty()) {
        plainMessage(QStringLiteral("请选择要删除的类型！"));
        return;
    }
    if (key == kTypeRootKey)
        return;
    if (TreeView1->childCount(key) > 0) {
        plainMessage(QStringLiteral("该资料类型下存在子类型，不能删除！"));
        return;
    }
    const QString code = TypeCodeFromKey(key);
    const DbResult<bool> holds = TypeSettings::hasDocuments(code);
    if (!holds.ok()) {
        plainMessage(holds.error.description);
        return;
    }
    if (holds.value) {
        plainMessage(code + QStringLiteral("的类型下存在文件，不能删除，如果不用请作废！"));
        return;
    }
    if (m_platform.messages().show(this, QStringLiteral("您确定要删除该资料类型吗？"), QStringLiteral("提示"),
                                   MsgIcon::Warning, MsgButtons::YesNo)
        != MsgAnswer::Yes)
        return;
    const DbStatus removed = TypeSettings::remove(code);
    if (!removed.ok()) {
        plainMessage(removed.error.description);
        return;
    }
    const DbError failed = reload();
    TextCls();
    if (failed.isSet())
        plainMessage(failed.description);
}

void frm资料类型设置::Command4_Click() { CloseChildWindow(this); }

void frm资料类型设置::Command5_Click()
{
    const QString key = TreeView1->selectedKey();
    if (key.isEmpty()) {
        plainMessage(QStringLiteral("请选择要作废的类型！"));
        return;
    }
    const QString code = TypeCodeFromKey(key);
    DbStatus changed;
    if (m_voiding) {
        if (TreeView1->childCount(key) > 0) {
            plainMessage(QStringLiteral("该资料类型不是子类型，不能作废！"));
            return;
        }
        if (m_platform.messages().show(this, QStringLiteral("您确定要作废该资料类型吗？"), QStringLiteral("提示"),
                                       MsgIcon::Warning, MsgButtons::YesNo)
            == MsgAnswer::Yes)
            changed = TypeSettings::setVoid(code, m_platform.clock().today());
    } else {
        if (m_platform.messages().show(this, QStringLiteral("您确定要取消该资料类型作废该吗？"), QStringLiteral("提示"),
                                       MsgIcon::Warning, MsgButtons::YesNo)
            == MsgAnswer::Yes)
            changed = TypeSettings::clearVoid(code);
    }
    if (!changed.ok())
        plainMessage(changed.error.description);
    const DbError failed = reload();
    TextCls();
    if (failed.isSet())
        plainMessage(failed.description);
}

}  // namespace quarvel
