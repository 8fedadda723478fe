#include "library/UploadPanels.h"

#include "doctypes/TypeTree.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace quarvel {
namespace {

QLabel* requiredMark(const QString& name, QWidget* parent)
{
    auto* mark = new QLabel(QStringLiteral("*"), parent);
    mark->setObjectName(name);
    mark->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    mark->setAccessibleName(QStringLiteral("必填"));
    return mark;
}

QLineEdit* field(const QString& name, const QString& label, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAccessibleName(label);
    return edit;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

QToolButton* pictureButton(const QString& objectName, const QString& accessibleName, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(objectName);
    b->setAccessibleName(accessibleName);
    b->setToolTip(accessibleName);
    b->setText(QStringLiteral("…"));
    b->setAutoRaise(false);
    return b;
}

DocumentInput UploadInputArea::input() const
{
    return DocumentInput{Text1[0]->text(), Text1[1]->text(), Text1[2]->text(), Text1[3]->text(),
                         Text1[4]->text(), Text4->text(),    Text2->text()};
}

QueryFilter UploadQueryArea::filter() const
{
    QueryFilter q;
    if (Check2->isChecked() && txtMC->text().trimmed().isEmpty())
        q.refusal = QueryFilter::NameMissing;
    else if (Check4->isChecked() && Text6->text().trimmed().isEmpty())
        q.refusal = QueryFilter::TypeMissing;
    else if (Check5->isChecked() && txtKey->text().trimmed().isEmpty())
        q.refusal = QueryFilter::KeywordsMissing;
    else if (Check6->isChecked() && DTPicker1->date() > DTPicker2->date())
        q.refusal = QueryFilter::DatesReversed;
    if (q.refusal != QueryFilter::None)
        return q;
    if (Check2->isChecked())
        q.filter.name = txtMC->text().trimmed();
    if (Check4->isChecked())
        q.filter.typeCode = TypeCodeFromText(Text6->text());
    if (Check5->isChecked())
        q.filter.keywords = txtKey->text().trimmed();
    if (Check6->isChecked()) {
        q.filter.from = DTPicker1->date();
        q.filter.to = DTPicker2->date();
    }
    return q;
}

UploadInputArea::UploadInputArea(QWidget* parent) : QGroupBox(QStringLiteral("输入资料"), parent)
{
    setObjectName(QStringLiteral("Frame1"));
    static const char* const labels[] = {"文件编号", "文件名称", "文件摘要", "关 键 字", "文件类别"};
    for (int i = 0; i < 5; ++i) {
        Text1[static_cast<size_t>(i)] = field(QStringLiteral("Text1(%1)").arg(i), QString::fromUtf8(labels[i]), this);
        Label2[static_cast<size_t>(i)] = requiredMark(QStringLiteral("Label2(%1)").arg(i), this);
    }
    Text1[4]->setEnabled(false);
    Text2 = field(QStringLiteral("Text2"), QStringLiteral("文件路径"), this);
    Text2->setEnabled(false);
    Text4 = field(QStringLiteral("Text4"), QStringLiteral("文件级别"), this);
    Text4->setMaximumWidth(80);
    typeButton = pictureButton(QStringLiteral("Picture8(2)"), QStringLiteral("选择文件类别"), this);
    typeButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogListView));
    fileButton = pictureButton(QStringLiteral("Picture8(1)"), QStringLiteral("选择文件"), this);
    fileButton->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));

    auto* grid = new QGridLayout;
    const auto place = [&](int row, int col, const QString& caption, QWidget* edit, QLabel* mark, QWidget* extra) {
        grid->addWidget(buddyLabel(caption, edit, this), row, col * 4);
        auto* box = new QHBoxLayout;
        box->setSpacing(2);
        box->addWidget(edit, 1);
        if (extra)
            box->addWidget(extra);
        grid->addLayout(box, row, col * 4 + 1);
        if (mark)
            grid->addWidget(mark, row, col * 4 + 2);
    };
    // Three rows: number and name; summary and type; path, level and keywords.
    place(0, 0, QStringLiteral("文件编号(&B)"), Text1[0], Label2[0], nullptr);
    place(0, 1, QStringLiteral("文件名称(&M)"), Text1[1], Label2[1], nullptr);
    place(1, 0, QStringLiteral("文件摘要(&Z)"), Text1[2], nullptr, nullptr);
    place(1, 1, QStringLiteral("文件类别(&T)"), Text1[4], Label2[2], typeButton);
    place(2, 0, QStringLiteral("文件路径(&P)"), Text2, Label2[4], fileButton);
    auto* levelBox = new QHBoxLayout;
    levelBox->addWidget(buddyLabel(QStringLiteral("文件级别(&J)"), Text4, this));
    levelBox->addWidget(Text4);
    levelBox->addWidget(Label2[3]);
    levelBox->addSpacing(12);
    levelBox->addWidget(buddyLabel(QStringLiteral("关 键 字(&K)"), Text1[3], this));
    levelBox->addWidget(Text1[3], 1);
    grid->addLayout(levelBox, 2, 4, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(5, 1);
    grid->setColumnMinimumWidth(3, 12);

    Command1 = button(QStringLiteral("Command1"), QStringLiteral("新增"), this);
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("确定"), this);
    Command3 = button(QStringLiteral("Command3"), QStringLiteral("删除"), this);
    Command7 = button(QStringLiteral("Command7"), QStringLiteral("权限设置"), this);
    comClose = button(QStringLiteral("comClose"), QStringLiteral("退出"), this);
    statusText = new QLabel(this);
    statusText->setObjectName(QStringLiteral("StatusText"));
    statusText->setAccessibleName(QStringLiteral("状态"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(statusText);
    buttons->addStretch();
    for (QPushButton* b : {Command1, Command2, Command3, Command7, comClose})
        buttons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

UploadQueryArea::UploadQueryArea(QWidget* parent) : QGroupBox(QStringLiteral("查询条件"), parent)
{
    setObjectName(QStringLiteral("Frame2"));
    const auto check = [this](const QString& name, const QString& caption) {
        auto* c = new QCheckBox(caption, this);
        c->setObjectName(name);
        return c;
    };
    Check2 = check(QStringLiteral("Check2"), QStringLiteral("文件名称"));
    txtMC = field(QStringLiteral("txtMC"), QStringLiteral("文件名称"), this);
    Check4 = check(QStringLiteral("Check4"), QStringLiteral("文件类别"));
    Text6 = field(QStringLiteral("Text6"), QStringLiteral("文件类别"), this);
    Text6->setEnabled(false);
    typeButton = pictureButton(QStringLiteral("Picture8(0)"), QStringLiteral("选择查询的文件类别"), this);
    typeButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogListView));
    Check5 = check(QStringLiteral("Check5"), QStringLiteral("关键字"));
    txtKey = field(QStringLiteral("txtKey"), QStringLiteral("关键字"), this);
    Check6 = check(QStringLiteral("Check6"), QStringLiteral("上传日期"));
    DTPicker1 = new QDateEdit(this);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setAccessibleName(QStringLiteral("上传日期起始日期"));
    DTPicker1->setCalendarPopup(true);
    DTPicker1->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    toLabel = new QLabel(QStringLiteral("至"), this);
    toLabel->setObjectName(QStringLiteral("Label1(0)"));
    DTPicker2 = new QDateEdit(this);
    DTPicker2->setObjectName(QStringLiteral("DTPicker2"));
    DTPicker2->setAccessibleName(QStringLiteral("上传日期结束日期"));
    DTPicker2->setCalendarPopup(true);
    DTPicker2->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    toLabel->setBuddy(DTPicker2);
    comLook = button(QStringLiteral("comLook"), QStringLiteral("查询"), this);

    auto* row = new QHBoxLayout(this);
    row->addWidget(Check2);
    row->addWidget(txtMC, 2);
    row->addSpacing(8);
    row->addWidget(Check4);
    row->addWidget(Text6, 2);
    row->addWidget(typeButton);
    row->addSpacing(8);
    row->addWidget(Check5);
    row->addWidget(txtKey, 2);
    row->addSpacing(8);
    row->addWidget(Check6);
    row->addWidget(DTPicker1);
    row->addWidget(toLabel);
    row->addWidget(DTPicker2);
    row->addSpacing(8);
    row->addWidget(comLook);
}

TypeChooserPanel::TypeChooserPanel(QWidget* parent) : QGroupBox(QStringLiteral("选择文件类别"), parent)
{
    setObjectName(QStringLiteral("Frame3"));
    setAutoFillBackground(true);
    TreeView2 = new KeyedTree(this);
    TreeView2->setObjectName(QStringLiteral("TreeView2"));
    Command18 = button(QStringLiteral("Command18"), QStringLiteral("关闭"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TreeView2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command18);
    layout->addLayout(buttons);
    resize(360, 320);
}

}  // namespace quarvel
