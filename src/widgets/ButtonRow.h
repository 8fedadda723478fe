#pragma once

#include <QHBoxLayout>

class QPushButton;

namespace quarvel {

// The buttons that end a panel: pushed to the right end of a row, in the order added.
class ButtonRow : public QHBoxLayout {
public:
    ButtonRow();

    // A push button under its name in `parent`, placed after the buttons added before.
    QPushButton* add(const QString& objectName, const QString& caption, QWidget* parent);
};

// The row that ends a panel of conditions: "确定", the default button, and "关闭".
struct ConfirmCloseButtons {
    ButtonRow* row = nullptr;
    QPushButton* confirm = nullptr;
    QPushButton* close = nullptr;
};
ConfirmCloseButtons confirmCloseButtons(QWidget* parent, const QString& confirmName, const QString& closeName);

}  // namespace quarvel
