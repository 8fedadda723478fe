#pragma once

#include "directory/DepartmentDirectory.h"
#include "reports/EffectiveRights.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTextEdit;

namespace quarvel {

class DocumentChooser;
class FlexGrid;
class KeyedTree;
class Platform;

// Why a position may read or download a document, in plain sentences and a grid: for the
// chosen document ("按资料说明"), for the chosen position ("按岗位说明"), or for the two
// together ("岗位对资料"). The document is found on the left, the position chosen in the
// department and position tree below it. The statements are EffectiveRights'.
class frm资料权限说明 : public QWidget {
public:
    explicit frm资料权限说明(Platform& platform, QWidget* parent = nullptr);

    static const QString& documentFormat();
    static const QString& positionFormat();

    void Form_Load();
    // Each false when its choice is missing.
    bool Command1_Click();  // by document
    bool Command4_Click();  // by position
    bool Command5_Click();  // the position on the document
    void Command2_Click();
    void Command3_Click();
    void TreeView1_NodeClick(const QString& key);

    DocumentChooser* Chooser = nullptr;
    QLabel* Label3 = nullptr;
    KeyedTree* TreeView1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QTextEdit* Text2 = nullptr;  // the sentences
    FlexGrid* MSFlexGrid1 = nullptr;
    QLabel* ListCount = nullptr;
    QPushButton* Command3 = nullptr;  // "输出到Excel"
    QPushButton* Command2 = nullptr;  // "退出"

    QVector<DepartmentEntry> Departments;

private:
    std::optional<QString> chosenPosition() const;
    bool explainDocument(bool withPosition);
    void showSentences(const QStringList& sentences);
    void showListCount();
    void fail(const DbError& error);

    Platform& m_platform;
    EffectiveRights m_rights;
};

}  // namespace quarvel
