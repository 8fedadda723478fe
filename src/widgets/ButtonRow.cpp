#include "widgets/ButtonRow.h"

#include <QPushButton>

namespace quarvel {

ButtonRow::ButtonRow() { addStretch(1); }

QPushButton* ButtonRow::add(const QString& objectName, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    addWidget(button);
    return button;
}

ConfirmCloseButtons confirmCloseButtons(QWidget* parent, const QString& confirmName, const QString& closeName)
{
    ConfirmCloseButtons buttons;
    buttons.row = new ButtonRow;
    buttons.confirm = buttons.row->add(confirmName, QStringLiteral("确定"), parent);
    buttons.confirm->setDefault(true);
    buttons.close = buttons.row->add(closeName, QStringLiteral("关闭"), parent);
    return buttons;
}

}  // namespace quarvel
