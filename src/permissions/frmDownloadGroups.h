#pragma once

#include "directory/DepartmentDirectory.h"
#include "permissions/DownloadGroups.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace quarvel {

class KeyedTree;
class Platform;
class PositionList;

// The download group window: maintains the groups and their member positions. The mode (edit
// or create) is kept in GroupEditMode and shown by the caption of Command1.
class frm资料下载组设置 : public QWidget {
public:
    explicit frm资料下载组设置(Platform& platform, QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QListWidget* List1 = nullptr;     // the groups: code, one blank, name
    QLineEdit* Text1 = nullptr;       // group code
    QLineEdit* Text2 = nullptr;       // group name
    QPlainTextEdit* Text3 = nullptr;  // description
    QPushButton* Command1 = nullptr;  // 新增 / 取消
    QPushButton* Command2 = nullptr;  // 确定
    QPushButton* Command3 = nullptr;  // 删除
    QPushButton* Command4 = nullptr;  // 退出
    QGroupBox* Frame2 = nullptr;
    KeyedTree* TreeView2 = nullptr;  // departments and positions
    QLabel* Label5 = nullptr;
    QLineEdit* Text5 = nullptr;         // name to look for
    QPushButton* Command8 = nullptr;    // 定位
    PositionList* ListView2 = nullptr;  // members of the shown group

    QVector<DepartmentEntry> Departments;

    GroupEditMode mode() const { return m_mode; }

    void Form_Load();
    void 对应岗位();
    void 添加岗位信息(const QString& deptKey);
    void List1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command8_Click();
    void TreeView2_NodeClick(const QString& key);
    void TreeView2_DblClick();
    void ListView2_DblClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The group list with the fields and buttons of one group (Frame1).
    void buildGroupFrame();
    // The department and position tree with the name search (Frame2).
    void buildPositionFrame();
    void connectHandlers();
    void LoadGroupList();
    void setMode(GroupEditMode mode);
    ShownGroup shownGroup() const;
    void tip(const QString& text);
    void showFailure(const DbError& error, bool withNumber);
    // Selects the list entry of the code without running its click rule.
    void selectGroupEntry(const QString& code);

    Platform& m_platform;
    GroupEditMode m_mode = GroupEditMode::Edit;
    bool m_filling = false;
    bool m_centred = false;
};

}  // namespace quarvel
