#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace quarvel {

// Who speaks when the chosen file exists: the dialog asks whether to replace it, or the window
// does what it must (asks its own question, or amends the file and says so) and the dialog
// asks nothing.
enum class OverwriteQuestion { ByDialog, ByWindow };

// File-open and file-save dialogs. Filters are Qt filter texts, e.g. "PDF文件 (*.pdf)".
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen path, or "" when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QStringList& filters,
                                 const QString& startPath) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QStringList& filters,
                                 const QString& startPath, OverwriteQuestion question) = 0;

    // Where a dialog starts before the user has chosen anything: his documents folder, or his
    // home folder when he has none.
    static QString documentsFolder();
};

// Qt's own dialogs (never the desktop's), so that they speak the application's language: its
// translations for the buttons and labels, its locale for the dates of the files.
class QtFileDialogs final : public FileDialogs {
public:
    QString openFileName(QWidget* parent, const QString& title, const QStringList& filters,
                         const QString& startPath) override;
    QString saveFileName(QWidget* parent, const QString& title, const QStringList& filters, const QString& startPath,
                         OverwriteQuestion question) override;
};

}  // namespace quarvel
