#include "platform/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QStandardPaths>

namespace quarvel {
namespace {

constexpr int kModifiedColumn = 3;  // the file system model's "date modified"

// The file list with the dates in the application's locale; the file system model writes them
// in the system's, which is the C locale on many a desktop.
class LocalDates final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole && index.column() == kModifiedColumn) {
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel()))
                return QLocale().toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }
};

void prepare(QFileDialog& dialog, const QStringList& filters)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setLocale(QLocale());
    dialog.setProxyModel(new LocalDates(&dialog));
    dialog.setNameFilters(filters);
}

}  // namespace

QString FileDialogs::documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

QString QtFileDialogs::openFileName(QWidget* parent, const QString& title, const QStringList& filters,
                                    const QString& startPath)
{
    QFileDialog dialog(parent, title, startPath);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    prepare(dialog, filters);
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
    prepare(dialog, filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace quarvel
