#pragma once

#include "db/DbError.h"

#include <QString>

class QWidget;

namespace quarvel {

enum class MsgIcon { None, Information, Question, Warning, Critical };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

// Message boxes as the windows use them. Windows reach them only through this interface, so
// that tests can read the messages and answer the questions.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(QWidget* parent, const QString& text, const QString& title, MsgIcon icon,
                           MsgButtons buttons) = 0;

    // Shortcuts for the common forms.
    void inform(QWidget* parent, const QString& text, const QString& title, MsgIcon icon = MsgIcon::Information)
    {
        show(parent, text, title, icon, MsgButtons::Ok);
    }
    bool askYesNo(QWidget* parent, const QString& text, const QString& title, MsgIcon icon = MsgIcon::Question)
    {
        return show(parent, text, title, icon, MsgButtons::YesNo) == MsgAnswer::Yes;
    }
};

// Real message boxes.
class QtMessageBoxes final : public MessageBoxes {
public:
    MsgAnswer show(QWidget* parent, const QString& text, const QString& title, MsgIcon icon,
                   MsgButtons buttons) override;
};

// The three titles that messages carry.
QString applicationTitle();  // "Quarvel"
QString executableTitle();   // the program's file name without extension

// The three forms in which a failed operation is reported.
enum class ErrorForm {
    NumberAndDescription,   // "错误号：" n "\n" "错误描述：" text
    DescriptionOnly,        // text
    NumberPipeDescription,  // n "|" text
    NumberSpaceDescription  // n " " text (the server clock)
};
QString formatError(const DbError& error, ErrorForm form);

}  // namespace quarvel
