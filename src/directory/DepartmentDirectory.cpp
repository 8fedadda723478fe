#include "directory/DepartmentDirectory.h"

#include "db/Query.h"
#include "db/RowReader.h"

#include <QHash>
#include <QSet>

namespace quarvel {
namespace {

// The columns of a department of the tree.
enum class DepartmentColumn { Code, Name, Parent, Count };
constexpr auto kDepartmentColumns = columnTable<DepartmentColumn>({
    {DepartmentColumn::Code, u"职能部门new.职能部门编号"},
    {DepartmentColumn::Name, u"职能部门new.职能部门名称"},
    {DepartmentColumn::Parent, u"table2.上级部门编号"},
});

}  // namespace

const QString& DepartmentDirectory::departmentStatement()
{
    static const QString sql =
        QStringLiteral(" select ") + kDepartmentColumns.selectList()
        + QStringLiteral(
            " from 职能部门new left join"
            " (select 上级部门new.职能部门编号,上级部门new.上级部门编号 from 上级部门new,"
            " (select 职能部门编号,max(起始日期) as 设置日期 from 上级部门new group by 职能部门编号) as table1"
            " where 上级部门new.职能部门编号 = table1.职能部门编号 and 上级部门new.起始日期 = table1.设置日期) as table2"
            " on 职能部门new.职能部门编号 = table2.职能部门编号 where 职能部门new.终止日期 is null"
            " order by len(职能部门new.职能部门编号),职能部门new.职能部门编号");
    return sql;
}

const QString& DepartmentDirectory::positionStatement(PositionVariant variant)
{
    static const QString head = QStringLiteral(
        "select 职能部门类别.部门类别名称,职能部门new.职能部门名称 as 部门名称,岗位类别.岗位类别名称,岗位信息new.岗位名称,");
    static const QString tail = QStringLiteral(
        " 职能部门类别.部门类别代号 , 职能部门new.职能部门编号, 岗位类别.岗位类别编号, 岗位信息new.岗位代号"
        " from 职能部门new inner join 岗位信息new on 职能部门new.职能部门编号 = 岗位信息new.职能部门代号"
        " inner join 职能部门类别 on 职能部门new.职能部门类别代号 = 职能部门类别.部门类别代号"
        " inner join 岗位类别 on 岗位信息new.岗位类别代号 = 岗位类别.岗位类别编号"
        " left join 员工档案 on 员工档案.工号 = 岗位信息new.工号"
        " where 职能部门new.职能部门编号 = ?"
        " and 职能部门new.终止日期 is null"
        " and 岗位信息new.终止日期 is null"
        " order by 岗位信息new.岗位代号");
    static const QString standard =
        head
        + QStringLiteral(
            " 岗位信息new.主要职责 as 岗位职责,岗位信息new.起始日期 as 设置日期,岗位信息new.备注,员工档案.姓名,")
        + tail;
    // The upload window also reads the holder's English name.
    static const QString upload =
        head
        + QStringLiteral(
            " 岗位信息new.主要职责 as 岗位职责,岗位信息new.起始日期 as 设置日期,岗位信息new.备注,员工档案.姓名,员工档案.英文名,")
        + tail;
    return variant == PositionVariant::Upload ? upload : standard;
}

DbResult<QVector<DepartmentEntry>> DepartmentDirectory::loadDepartments()
{
    RowReader q(departmentStatement());
    if (!q.exec())
        return DbResult<QVector<DepartmentEntry>>::failure(q.error());
    QVector<DepartmentEntry> rows;
    while (q.next())
        rows.append({q.text(DepartmentColumn::Code), q.text(DepartmentColumn::Name), q.text(DepartmentColumn::Parent)});
    return {rows, q.error()};
}

TreeNodeSpec DepartmentDirectory::departmentNode(const DepartmentEntry& entry, const QString& parentKey)
{
    TreeNodeSpec node;
    node.key = departmentKey(entry.code);
    node.text = entry.code + u' ' + entry.name;
    node.parentKey = parentKey;
    node.picture = kDepartmentPicture;
    return node;
}

QVector<TreeNodeSpec> DepartmentDirectory::departmentNodes(const QVector<DepartmentEntry>& departments,
                                                           QStringList* repeated)
{
    // Children of every parent code, in list order. The top-level departments are the children
    // of the empty code; a department whose own code is empty therefore lists them again below
    // itself, where those not yet shown appear and the others are left out as repeated.
    QHash<QString, QVector<int>> children;
    children.reserve(departments.size());
    for (int i = 0; i < departments.size(); ++i)
        children[departments[i].parentCode].append(i);

    QVector<TreeNodeSpec> nodes;
    nodes.reserve(departments.size());
    QSet<QString> added;
    added.reserve(departments.size());

    // Adds the node; false when its key is already taken: that listing is left out, and so is
    // everything below it, which the first listing has brought already. Every department is
    // thus added once at most, which also ends the walk through cycles.
    QSet<QString> repeatedCodes;
    auto add = [&](const DepartmentEntry& entry, const QString& parentKey) {
        TreeNodeSpec node = departmentNode(entry, parentKey);
        if (added.contains(node.key)) {
            if (repeated && !repeatedCodes.contains(entry.code)) {
                repeatedCodes.insert(entry.code);
                repeated->append(entry.code);
            }
            return false;
        }
        added.insert(node.key);
        nodes.append(std::move(node));
        return true;
    };

    struct Frame {
        const QVector<int>* siblings;
        qsizetype next;
        QString parentKey;
    };
    QVector<Frame> stack;
    auto pushChildrenOf = [&](const QString& code) {
        const auto it = children.constFind(code);
        if (it != children.constEnd())
            stack.append({&it.value(), 0, departmentKey(code)});
    };

    const auto top = children.constFind(QString());
    if (top == children.constEnd())
        return nodes;
    const QVector<int> topLevel = top.value();
    for (const int j : topLevel) {
        if (!add(departments[j], QString()))
            continue;
        pushChildrenOf(departments[j].code);
        while (!stack.isEmpty()) {
            Frame& frame = stack.last();
            if (frame.next >= frame.siblings->size()) {
                stack.removeLast();
                continue;
            }
            const DepartmentEntry& entry = departments[frame.siblings->at(frame.next++)];
            if (add(entry, frame.parentKey))
                pushChildrenOf(entry.code);  // may reallocate the stack: `frame` is not used after this
        }
    }
    return nodes;
}

DbResult<QVector<TreeNodeSpec>> DepartmentDirectory::positionNodes(const QString& deptCode, PositionVariant variant)
{
    Query q(positionStatement(variant));
    q.bind(deptCode);
    if (!q.exec())
        return DbResult<QVector<TreeNodeSpec>>::failure(q.error());
    const QString parentKey = departmentKey(deptCode);
    QVector<TreeNodeSpec> nodes;
    while (q.next()) {
        TreeNodeSpec node;
        const QString code = q.text(u"岗位代号");
        node.key = positionKey(code);
        node.parentKey = parentKey;
        node.picture = kPositionPicture;
        if (variant == PositionVariant::Upload) {
            node.text = code + u' ' + q.text(u"岗位名称") + QStringLiteral(" [") + q.text(u"姓名") + u']';
            node.tag = q.text(u"英文名");
        } else {
            node.text = q.text(u"岗位名称") + u' ' + q.text(u"姓名");
        }
        nodes.append(node);
    }
    return {nodes, q.error()};
}

}  // namespace quarvel
