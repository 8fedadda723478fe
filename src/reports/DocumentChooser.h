#pragma once

#include "reports/DocumentLookup.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quarvel {

class MessageBoxes;

// Finding the document a report is about: part of its number or name in `Text1`, "查找"
// (`Command1`, or Enter) lists the matches in `List1`; choosing one (a click, or a double click
// that also asks for the report) makes it the chosen document.
class DocumentChooser : public QWidget {
public:
    DocumentChooser(MessageBoxes& messages, QWidget* parent = nullptr);

    // Searches for the text in `Text1` and lists the matches; the first is chosen.
    void Command1_Click();
    std::optional<FoundDocument> chosen() const;
    // Called when a document is double clicked (or Enter pressed in the list).
    void onActivated(std::function<void()> run) { m_activated = std::move(run); }

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QListWidget* List1 = nullptr;

private:
    MessageBoxes& m_messages;
    QVector<FoundDocument> m_found;
    std::function<void()> m_activated;
};

}  // namespace quarvel
