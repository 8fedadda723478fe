#pragma once

#include "db/DbError.h"

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
// The mode (edit or add) is told by the caption of Command1.
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
    QStringList TypeDescriptions;

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

    bool isAddMode() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    DbError reload();
    void plainMessage(const QString& text);
    void saveType();

    Platform& m_platform;
    bool m_centred = false;
};

}  // namespace quarvel
