#include "platform/MessageBoxes.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace quarvel {

MsgAnswer QtMessageBoxes::show(QWidget* parent, const QString& text, const QString& title, MsgIcon icon,
                               MsgButtons buttons)
{
    QMessageBox box(parent);
    box.setText(text);
    box.setWindowTitle(title);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Ok: return MsgAnswer::Ok;
    default:
        // Closed with Escape or the close box: the safe answer of the buttons shown.
        return buttons == MsgButtons::Ok      ? MsgAnswer::Ok
               : buttons == MsgButtons::YesNo ? MsgAnswer::No
                                              : MsgAnswer::Cancel;
    }
}

QString applicationTitle() { return QStringLiteral("Quarvel"); }

QString executableTitle()
{
    const QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty())
        return applicationTitle();
    return QFileInfo(path).completeBaseName();
}

QString formatError(const DbError& error, ErrorForm form)
{
    const QString number = QString::number(error.number);
    switch (form) {
    case ErrorForm::NumberAndDescription:
        return QStringLiteral("错误号：") + number + u'\n' + QStringLiteral("错误描述：") + error.description;
    case ErrorForm::DescriptionOnly: return error.description;
    case ErrorForm::NumberPipeDescription: return number + u'|' + error.description;
    case ErrorForm::NumberSpaceDescription: return number + u' ' + error.description;
    }
    return error.description;
}

}  // namespace quarvel
