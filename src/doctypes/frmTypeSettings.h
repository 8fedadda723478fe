#pragma once

#include "db/DbError.h"
#include "doctypes/TextArray.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quarvel {

class InfoStatusBar;
class KeyedTree;
class Platform;

// The document type settings window: adds, renames, deletes and voids types of the hierarchy.
// The mode (edit or add) is shown by the caption of Command1.
class frm资料类型设置 : public QWidget {
public:
    explicit frm资料类型设置(Platform& platform, QWidget* parent = nullptr);

    KeyedTree* TreeView1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPlainTextEdit* Text3 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    InfoStatusBar* StatusBar1 = nullptr;

    // The description of node i at index i.
    TextArray TypeDescriptions;

    void Form_Load();
    void TextCls();
    DbError LoadTypeTree();
    DbError 文件类别范围();
    void TreeView1_NodeClick(const QString& key);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();

    // Add mode: Command1 reads "取消添加" and Text1 takes a new code; edit mode: "添加".
    bool isAddMode() const { return m_adding; }
    // Void mode: Command5 reads "作废"; otherwise "取消作废" (the selected type is void).
    bool isVoidMode() const { return m_voiding; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    DbError reload();
    void plainMessage(const QString& text);
    void saveType();
    bool inputAccepted(bool adding);
    void showSaved(const QString& code);
    void setAddMode(bool adding);
    void setVoidMode(bool voiding);
    void createControls();
    void arrangeControls();
    void connectControls();

    Platform& m_platform;
    bool m_centred = false;
    bool m_adding = false;
    bool m_voiding = true;
    QLabel* m_treeLabel = nullptr;
    QLabel* m_codeLabel = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_descriptionLabel = nullptr;
};

}  // namespace quarvel
