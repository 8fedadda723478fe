#pragma once

#include "library/UploadDocuments.h"

#include <QGroupBox>
#include <QPointer>

#include <array>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quarvel {

class KeyedTree;

// The input area of the upload window (Frame1, "输入资料"): the fields of one document and
// the action buttons.
class UploadInputArea : public QGroupBox {
public:
    explicit UploadInputArea(QWidget* parent = nullptr);

    std::array<QLineEdit*, 5> Text1{};  // number, name, summary, keywords, type
    QLineEdit* Text2 = nullptr;         // path
    QLineEdit* Text4 = nullptr;         // level
    std::array<QLabel*, 5> Label2{};    // the red "*" marks
    QToolButton* typeButton = nullptr;  // Picture8(2)
    QToolButton* fileButton = nullptr;  // Picture8(1)
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* comClose = nullptr;
    QLabel* statusText = nullptr;  // what the window is waiting for

    // The document as the fields hold it.
    DocumentInput input() const;
};

// The filter of the query area, or why it cannot run: a ticked condition without its value,
// or a date range that ends before it starts.
struct QueryFilter {
    enum Refusal { None, NameMissing, TypeMissing, KeywordsMissing, DatesReversed };
    Refusal refusal = None;
    ListFilter filter;
};

// The query area (Frame2, "查询条件").
class UploadQueryArea : public QGroupBox {
public:
    explicit UploadQueryArea(QWidget* parent = nullptr);

    QCheckBox* Check2 = nullptr;
    QLineEdit* txtMC = nullptr;
    QCheckBox* Check4 = nullptr;
    QLineEdit* Text6 = nullptr;
    QToolButton* typeButton = nullptr;  // Picture8(0)
    QCheckBox* Check5 = nullptr;
    QLineEdit* txtKey = nullptr;
    QCheckBox* Check6 = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QLabel* toLabel = nullptr;  // Label1(0) "至"
    QDateEdit* DTPicker2 = nullptr;
    QPushButton* comLook = nullptr;

    // The ticked conditions as a list filter.
    QueryFilter filter() const;
};

// The type panel (Frame3, "选择文件类别"): a type tree and a close button. It floats over the
// window and serves either the document's type or the query's type filter.
class TypeChooserPanel : public QGroupBox {
public:
    explicit TypeChooserPanel(QWidget* parent = nullptr);

    KeyedTree* TreeView2 = nullptr;
    QPushButton* Command18 = nullptr;
};

// A small picture button.
QToolButton* pictureButton(const QString& objectName, const QString& accessibleName, QWidget* parent);

}  // namespace quarvel
