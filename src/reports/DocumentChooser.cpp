#include "reports/DocumentChooser.h"

#include "db/ColumnLengths.h"
#include "platform/MessageBoxes.h"
#include "widgets/TypedText.h"
#include "widgets/WaitCursor.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace quarvel {

DocumentChooser::DocumentChooser(MessageBoxes& messages, QWidget* parent) : QWidget(parent), m_messages(messages)
{
    setObjectName(QStringLiteral("DocumentChooser"));
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Label1 = new QLabel(QStringLiteral("文件编号或名称："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    // Part of a number or of a name: as long as the longer of the two columns.
    guardTypedText(Text1, columnLength::kDocumentName);
    Label1->setBuddy(Text1);
    Command1 = new QPushButton(QStringLiteral("查找"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("资料列表"));
    layout->addWidget(Label1, 0, 0, 1, 2);
    layout->addWidget(Text1, 1, 0);
    layout->addWidget(Command1, 1, 1);
    layout->addWidget(List1, 2, 0, 1, 2);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Text1, &QLineEdit::returnPressed, this, [this] { Command1_Click(); });
    connect(List1, &QListWidget::itemActivated, this, [this] {
        if (m_activated)
            m_activated();
    });
}

void DocumentChooser::Command1_Click()
{
    DbResult<QVector<FoundDocument>> found;
    {
        WaitCursor wait;
        found = DocumentLookup::find(Text1->text());
    }
    List1->clear();
    m_found.clear();
    if (!found.ok()) {
        m_messages.inform(this, formatError(found.error, ErrorForm::DescriptionOnly), executableTitle());
        return;
    }
    m_found = std::move(found.value);
    for (const FoundDocument& d : std::as_const(m_found))
        List1->addItem(d.caption());
    if (m_found.isEmpty()) {
        m_messages.inform(this, QStringLiteral("没有找到符合条件的资料"), QStringLiteral("提示"));
        return;
    }
    List1->setCurrentRow(0);
    List1->setFocus();
}

std::optional<FoundDocument> DocumentChooser::chosen() const
{
    const int row = List1->currentRow();
    if (row < 0 || row >= m_found.size())
        return std::nullopt;
    return m_found.at(row);
}

}  // namespace quarvel
