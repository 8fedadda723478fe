#include "platform/FileDialogs.h"

#include <QFileDialog>

namespace quarvel {

QString QtFileDialogs::openFileName(QWidget* parent, const QString& title, const QStringList& filters,
                                    const QString& startPath)
{
    QFileDialog dialog(parent, title, startPath);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::HideNameFilterDetails, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtFileDialogs::saveFileName(QWidget* parent, const QString& title, const QStringList& filters,
                                    const QString& startPath, OverwriteQuestion question)
{
    QFileDialog dialog(parent, title, startPath);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, question == OverwriteQuestion::ByWindow);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace quarvel
