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
};

class QtFileDialogs final : public FileDialogs {
public:
    QString openFileName(QWidget* parent, const QString& title, const QStringList& filters,
                         const QString& startPath) override;
    QString saveFileName(QWidget* parent, const QString& title, const QStringList& filters, const QString& startPath,
                         OverwriteQuestion question) override;
};

}  // namespace quarvel
