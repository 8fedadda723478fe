#pragma once

#include "directory/DepartmentDirectory.h"
#include "permissions/UploadPermissions.h"

#include <QHash>
#include <QStringList>
#include <QWidget>

class QPushButton;

namespace quarvel {

class KeyedTree;
class Platform;
class PositionList;

// The upload permission window: which positions may upload into which document types. A
// position's permissions are always replaced as a whole set.
class frm资料上传权限设置 : public QWidget {
public:
    explicit frm资料上传权限设置(Platform& platform, QWidget* parent = nullptr);

    KeyedTree* TreeView1 = nullptr;     // document types with check marks
    KeyedTree* TreeView2 = nullptr;     // departments and positions
    PositionList* ListView2 = nullptr;  // positions with upload permissions
    QPushButton* Command5 = nullptr;    // 添加
    QPushButton* Command7 = nullptr;    // 修改
    QPushButton* Command6 = nullptr;    // 删除
    QPushButton* Command1 = nullptr;    // 退出

    QVector<DepartmentEntry> Departments;

    void Form_Load();
    void 对应岗位();
    void 添加岗位信息(const QString& deptKey);
    void ListView2_Click();
    void Command5_Click();
    void Command7_Click();
    void Command6_Click();
    void Command1_Click();
    void TreeView2_NodeClick(const QString& key);

    // The codes of the ticked leaf types that are not voided, in tree order.
    QStringList chosenTypes() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadTypeTree();
    void plainMessage(const QString& text);
    void showFailure(const DbError& error);
    // Turns the outcome of "添加" or "修改" into its message.
    void report(const PermissionResult& result);
    ChangeAuthor author() const;

    Platform& m_platform;
    // The type nodes of each trimmed code, for ticking a position's types.
    QHash<QString, QStringList> m_nodesByCode;
    bool m_centred = false;
};

}  // namespace quarvel
