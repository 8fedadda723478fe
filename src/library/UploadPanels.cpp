#include "library/UploadPanels.h"

#include "db/ColumnLengths.h"
#include "doctypes/TypeTree.h"
#include "widgets/TypedText.h"
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
    return DocumentInput{m_text1[0]->text(), m_text1[1]->text(), m_text1[2]->text(), m_text1[3]->text(),
                         m_text1[4]->text(), m_level->text(),    m_path->text()};
}

void UploadInputArea::setInput(const DocumentInput& document)
{
    m_path->setText(document.filePath);
    m_text1[0]->setText(document.number);
    m_text1[1]->setText(document.name);
    m_text1[2]->setText(document.summary);
    m_text1[3]->setText(document.keywords);
    m_text1[4]->setText(document.typeText);
    m_level->setText(document.levelText);
}

void UploadInputArea::clear(bool includingType)
{
    for (int i = 0; i < 4; ++i)
        m_text1[static_cast<size_t>(i)]->clear();
    if (includingType)
        m_text1[4]->clear();
    m_path->clear();
    m_level->clear();
}

void UploadInputArea::setTypeText(const QString& text) { m_text1[4]->setText(text); }

void UploadInputArea::setPath(const QString& path) { m_path->setText(path); }

void UploadInputArea::setNumberEnabled(bool enabled) { m_text1[0]->setEnabled(enabled); }

void UploadInputArea::focusNumber() { m_text1[0]->setFocus(); }

void UploadInputArea::showAdding(bool adding)
{
    m_newButton->setText(adding ? QStringLiteral("取消") : QStringLiteral("新增"));
}

QPoint UploadInputArea::typeFieldPosition(const QWidget* ancestor) const
{
    return m_text1[4]->mapTo(ancestor, QPoint(0, 0));
}

QueryFilter UploadQueryArea::filter() const
{
    QueryFilter q;
    if (m_byName->isChecked() && m_name->text().trimmed().isEmpty())
        q.refusal = QueryFilter::NameMissing;
    else if (m_byType->isChecked() && m_type->text().trimmed().isEmpty())
        q.refusal = QueryFilter::TypeMissing;
    else if (m_byKeywords->isChecked() && m_keywords->text().trimmed().isEmpty())
        q.refusal = QueryFilter::KeywordsMissing;
    else if (m_byDate->isChecked() && m_from->date() > m_to->date())
        q.refusal = QueryFilter::DatesReversed;
    if (q.refusal != QueryFilter::None)
        return q;
    if (m_byName->isChecked())
        q.filter.name = m_name->text().trimmed();
    if (m_byType->isChecked())
        q.filter.typeCode = TypeCodeFromText(m_type->text());
    if (m_byKeywords->isChecked())
        q.filter.keywords = m_keywords->text().trimmed();
    if (m_byDate->isChecked()) {
        q.filter.from = m_from->date();
        q.filter.to = m_to->date();
    }
    return q;
}

void UploadQueryArea::focusMissingValue(QueryFilter::Refusal refusal)
{
    if (refusal == QueryFilter::NameMissing)
        m_name->setFocus();
    else if (refusal == QueryFilter::KeywordsMissing)
        m_keywords->setFocus();
}

void UploadQueryArea::setDates(const QDate& from, const QDate& to)
{
    m_from->setDate(from);
    m_to->setDate(to);
}

void UploadQueryArea::setTypeText(const QString& text) { m_type->setText(text); }

QPoint UploadQueryArea::typeFieldPosition(const QWidget* ancestor) const
{
    return m_type->mapTo(ancestor, QPoint(0, 0));
}

UploadInputArea::UploadInputArea(QWidget* parent) : QGroupBox(QStringLiteral("输入资料"), parent)
{
    setObjectName(QStringLiteral("Frame1"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(createFields());
    layout->addLayout(createButtons());

    setTabOrder(m_text1[0], m_text1[1]);
    setTabOrder(m_text1[1], m_text1[2]);
    setTabOrder(m_text1[2], m_typeButton);
    setTabOrder(m_typeButton, m_fileButton);
    setTabOrder(m_fileButton, m_level);
    setTabOrder(m_level, m_text1[3]);
    setTabOrder(m_text1[3], m_newButton);
}

QLayout* UploadInputArea::createFields()
{
    static const char* const labels[] = {"文件编号", "文件名称", "文件摘要", "关 键 字", "文件类别"};
    std::array<QLabel*, 5> marks{};  // Label2: the red "*" of the required fields
    for (int i = 0; i < 5; ++i) {
        m_text1[static_cast<size_t>(i)] = field(QStringLiteral("Text1(%1)").arg(i), QString::fromUtf8(labels[i]), this);
        marks[static_cast<size_t>(i)] = requiredMark(QStringLiteral("Label2(%1)").arg(i), this);
    }
    m_text1[4]->setEnabled(false);
    m_path = field(QStringLiteral("Text2"), QStringLiteral("文件路径"), this);
    m_path->setEnabled(false);
    m_level = field(QStringLiteral("Text4"), QStringLiteral("文件级别"), this);
    m_level->setMaximumWidth(80);
    m_typeButton = pictureButton(QStringLiteral("Picture8(2)"), QStringLiteral("选择文件类别"), this);
    m_typeButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogListView));
    m_fileButton = pictureButton(QStringLiteral("Picture8(1)"), QStringLiteral("选择文件"), this);
    m_fileButton->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    connect(m_typeButton, &QToolButton::clicked, this, &UploadInputArea::typeButtonClicked);
    connect(m_fileButton, &QToolButton::clicked, this, &UploadInputArea::fileButtonClicked);

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
    place(0, 0, QStringLiteral("文件编号(&B)"), m_text1[0], marks[0], nullptr);
    place(0, 1, QStringLiteral("文件名称(&M)"), m_text1[1], marks[1], nullptr);
    place(1, 0, QStringLiteral("文件摘要(&Z)"), m_text1[2], nullptr, nullptr);
    place(1, 1, QStringLiteral("文件类别(&T)"), m_text1[4], marks[2], m_typeButton);
    place(2, 0, QStringLiteral("文件路径(&P)"), m_path, marks[4], m_fileButton);
    auto* levelBox = new QHBoxLayout;
    levelBox->addWidget(buddyLabel(QStringLiteral("文件级别(&J)"), m_level, this));
    levelBox->addWidget(m_level);
    levelBox->addWidget(marks[3]);
    levelBox->addSpacing(12);
    levelBox->addWidget(buddyLabel(QStringLiteral("关 键 字(&K)"), m_text1[3], this));
    levelBox->addWidget(m_text1[3], 1);
    grid->addLayout(levelBox, 2, 4, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(5, 1);
    grid->setColumnMinimumWidth(3, 12);
    return grid;
}

QLayout* UploadInputArea::createButtons()
{
    m_newButton = button(QStringLiteral("Command1"), QStringLiteral("新增"), this);
    QPushButton* save = button(QStringLiteral("Command2"), QStringLiteral("确定"), this);
    QPushButton* remove = button(QStringLiteral("Command3"), QStringLiteral("删除"), this);
    QPushButton* rights = button(QStringLiteral("Command7"), QStringLiteral("权限设置"), this);
    QPushButton* close = button(QStringLiteral("comClose"), QStringLiteral("退出"), this);
    m_statusText = new QLabel(this);
    m_statusText->setObjectName(QStringLiteral("StatusText"));
    m_statusText->setAccessibleName(QStringLiteral("状态"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_statusText);
    buttons->addStretch();
    for (QPushButton* b : {m_newButton, save, remove, rights, close})
        buttons->addWidget(b);

    connect(m_newButton, &QPushButton::clicked, this, &UploadInputArea::newClicked);
    connect(save, &QPushButton::clicked, this, &UploadInputArea::saveClicked);
    connect(remove, &QPushButton::clicked, this, &UploadInputArea::deleteClicked);
    connect(rights, &QPushButton::clicked, this, &UploadInputArea::rightsClicked);
    connect(close, &QPushButton::clicked, this, &UploadInputArea::closeClicked);
    return buttons;
}

UploadQueryArea::UploadQueryArea(QWidget* parent) : QGroupBox(QStringLiteral("查询条件"), parent)
{
    setObjectName(QStringLiteral("Frame2"));
    const auto check = [this](const QString& name, const QString& caption) {
        auto* c = new QCheckBox(caption, this);
        c->setObjectName(name);
        return c;
    };
    m_byName = check(QStringLiteral("Check2"), QStringLiteral("文件名称"));
    m_name = field(QStringLiteral("txtMC"), QStringLiteral("文件名称"), this);
    guardTypedText(m_name, columnLength::kDocumentName);
    m_byType = check(QStringLiteral("Check4"), QStringLiteral("文件类别"));
    m_type = field(QStringLiteral("Text6"), QStringLiteral("文件类别"), this);
    m_type->setEnabled(false);
    QToolButton* typeButton = pictureButton(QStringLiteral("Picture8(0)"), QStringLiteral("选择查询的文件类别"), this);
    typeButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogListView));
    m_byKeywords = check(QStringLiteral("Check5"), QStringLiteral("关键字"));
    m_keywords = field(QStringLiteral("txtKey"), QStringLiteral("关键字"), this);
    guardTypedText(m_keywords, columnLength::kKeywords);
    m_byDate = check(QStringLiteral("Check6"), QStringLiteral("上传日期"));
    m_from = new QDateEdit(this);
    m_from->setObjectName(QStringLiteral("DTPicker1"));
    m_from->setAccessibleName(QStringLiteral("上传日期起始日期"));
    m_from->setCalendarPopup(true);
    m_from->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    auto* toLabel = new QLabel(QStringLiteral("至"), this);
    toLabel->setObjectName(QStringLiteral("Label1(0)"));
    m_to = new QDateEdit(this);
    m_to->setObjectName(QStringLiteral("DTPicker2"));
    m_to->setAccessibleName(QStringLiteral("上传日期结束日期"));
    m_to->setCalendarPopup(true);
    m_to->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    toLabel->setBuddy(m_to);
    QPushButton* look = button(QStringLiteral("comLook"), QStringLiteral("查询"), this);

    auto* row = new QHBoxLayout(this);
    row->addWidget(m_byName);
    row->addWidget(m_name, 2);
    row->addSpacing(8);
    row->addWidget(m_byType);
    row->addWidget(m_type, 2);
    row->addWidget(typeButton);
    row->addSpacing(8);
    row->addWidget(m_byKeywords);
    row->addWidget(m_keywords, 2);
    row->addSpacing(8);
    row->addWidget(m_byDate);
    row->addWidget(m_from);
    row->addWidget(toLabel);
    row->addWidget(m_to);
    row->addSpacing(8);
    row->addWidget(look);

    // Each check box enables its own controls; all start unticked.
    const auto follow = [](QCheckBox* box, std::initializer_list<QWidget*> controls) {
        for (QWidget* w : controls)
            w->setEnabled(false);
        QObject::connect(box, &QCheckBox::toggled, box, [controls = QList<QWidget*>(controls)](bool on) {
            for (QWidget* w : controls)
                w->setEnabled(on);
        });
    };
    follow(m_byName, {m_name});
    follow(m_byType, {typeButton});
    follow(m_byKeywords, {m_keywords});
    follow(m_byDate, {m_from, m_to});

    connect(look, &QPushButton::clicked, this, &UploadQueryArea::queryClicked);
    connect(typeButton, &QToolButton::clicked, this, &UploadQueryArea::typeButtonClicked);
}

TypeChooserPanel::TypeChooserPanel(QWidget* parent) : QGroupBox(QStringLiteral("选择文件类别"), parent)
{
    setObjectName(QStringLiteral("Frame3"));
    setAutoFillBackground(true);
    m_tree = new KeyedTree(this);
    m_tree->setObjectName(QStringLiteral("TreeView2"));
    QPushButton* close = button(QStringLiteral("Command18"), QStringLiteral("关闭"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    resize(360, 320);
    connect(close, &QPushButton::clicked, this, &TypeChooserPanel::closeClicked);
}

}  // namespace quarvel
