#pragma once

#include "library/UploadDocuments.h"

#include <QGroupBox>

#include <array>

class QCheckBox;
class QDate;
class QDateEdit;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quarvel {

class KeyedTree;

// The input area of the upload window (Frame1, "输入资料"): the fields of one document and
// the action buttons. The window reads and fills the fields as one document and hears the
// buttons through the signals.
class UploadInputArea : public QGroupBox {
    Q_OBJECT

public:
    explicit UploadInputArea(QWidget* parent = nullptr);

    // The document as the fields hold it.
    DocumentInput input() const;
    // Fills every field, the path included (empty: no new file).
    void setInput(const DocumentInput& document);
    // Empties the fields; the type only when asked.
    void clear(bool includingType);
    void setTypeText(const QString& text);
    void setPath(const QString& path);
    // The number can be typed only while a document is added.
    void setNumberEnabled(bool enabled);
    void focusNumber();
    // Command1 shows "取消" while adding, "新增" while viewing.
    void showAdding(bool adding);
    // The label that tells what the window waits for.
    QLabel* statusLabel() const { return m_statusText; }
    // The top left corner of the type field in the coordinates of an ancestor.
    QPoint typeFieldPosition(const QWidget* ancestor) const;

signals:
    void newClicked();         // Command1
    void saveClicked();        // Command2
    void deleteClicked();      // Command3
    void rightsClicked();      // Command7
    void closeClicked();       // comClose
    void typeButtonClicked();  // Picture8(2)
    void fileButtonClicked();  // Picture8(1)

private:
    QLayout* createFields();
    QLayout* createButtons();

    std::array<QLineEdit*, 5> m_text1{};  // number, name, summary, keywords, type
    QLineEdit* m_path = nullptr;          // Text2
    QLineEdit* m_level = nullptr;         // Text4
    QToolButton* m_typeButton = nullptr;  // Picture8(2)
    QToolButton* m_fileButton = nullptr;  // Picture8(1)
    QPushButton* m_newButton = nullptr;   // Command1
    QLabel* m_statusText = nullptr;
};

// The filter of the query area, or why it cannot run: a ticked condition without its value,
// or a date range that ends before it starts.
struct QueryFilter {
    enum Refusal { None, NameMissing, TypeMissing, KeywordsMissing, DatesReversed };
    Refusal refusal = None;
    ListFilter filter;
};

// The query area (Frame2, "查询条件"). Each check box enables the controls of its condition.
class UploadQueryArea : public QGroupBox {
    Q_OBJECT

public:
    explicit UploadQueryArea(QWidget* parent = nullptr);

    // The ticked conditions as a list filter.
    QueryFilter filter() const;
    // Puts the focus in the field whose missing value refused the filter, if it can be typed.
    void focusMissingValue(QueryFilter::Refusal refusal);
    void setDates(const QDate& from, const QDate& to);
    void setTypeText(const QString& text);
    // The top left corner of the type field in the coordinates of an ancestor.
    QPoint typeFieldPosition(const QWidget* ancestor) const;

signals:
    void queryClicked();       // comLook
    void typeButtonClicked();  // Picture8(0)

private:
    QCheckBox* m_byName = nullptr;      // Check2
    QLineEdit* m_name = nullptr;        // txtMC
    QCheckBox* m_byType = nullptr;      // Check4
    QLineEdit* m_type = nullptr;        // Text6
    QCheckBox* m_byKeywords = nullptr;  // Check5
    QLineEdit* m_keywords = nullptr;    // txtKey
    QCheckBox* m_byDate = nullptr;      // Check6
    QDateEdit* m_from = nullptr;        // DTPicker1
    QDateEdit* m_to = nullptr;          // DTPicker2
};

// The type panel (Frame3, "选择文件类别"): a type tree and a close button. It floats over the
// window and serves either the document's type or the query's type filter.
class TypeChooserPanel : public QGroupBox {
    Q_OBJECT

public:
    explicit TypeChooserPanel(QWidget* parent = nullptr);

    KeyedTree& tree() const { return *m_tree; }

signals:
    void closeClicked();  // Command18

private:
    KeyedTree* m_tree = nullptr;  // TreeView2
};

// A small picture button.
QToolButton* pictureButton(const QString& objectName, const QString& accessibleName, QWidget* parent);

}  // namespace quarvel
