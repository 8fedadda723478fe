#include "directory/DepartmentTree.h"

#include "platform/MessageBoxes.h"
#include "widgets/WaitCursor.h"
#include "widgets/tree/KeyedTree.h"

#include <QPainter>
#include <QPixmap>

namespace quarvel {
namespace {

DbError toDbError(const TreeError& error) { return DbError{error.number, error.description}; }

// One failure for all departments listed more than once: the refused key's number and
// description, and which departments they are.
DbError repeatedDepartments(const QStringList& codes)
{
    QStringList quoted;
    for (const QString& code : codes)
        quoted << u'“' + code + u'”';
    return DbError{static_cast<int>(TreeErrorCode::KeyNotUnique),
                   TreeError::describe(TreeErrorCode::KeyNotUnique)
                       + QStringLiteral("：部门%1在部门列表中出现了不止一次（上级部门的设置重复），只显示一次。")
                             .arg(quoted.join(u'、'))};
}

void selectFirstNode(KeyedTree& tree)
{
    if (tree.count() > 0)
        tree.setSelected(tree.keyAt(1));
}

QIcon departmentIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour(0x5b, 0x8d, 0xc9);
    p.setPen(colour.darker(140));
    p.setBrush(colour);
    p.drawRect(QRectF(3.5, 2.5, 9, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 2; ++col)
            p.drawRect(QRectF(5 + col * 4, 4 + row * 3, 2, 2));
    return QIcon(pixmap);
}

QIcon positionIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour(0x6a, 0xb0, 0x4c);
    p.setPen(colour.darker(140));
    p.setBrush(colour);
    p.drawEllipse(QRectF(5, 1.5, 6, 6));
    p.drawRoundedRect(QRectF(2.5, 8.5, 11, 6), 3, 3);
    return QIcon(pixmap);
}

}  // namespace

DbError LoadDepartmentTree(KeyedTree& tree, QVector<DepartmentEntry>& departments)
{
    const WaitCursor wait;
    DbResult<QVector<DepartmentEntry>> read = DepartmentDirectory::loadDepartments();
    if (read.value.isEmpty() && read.error.isSet())
        return read.error;  // the statement did not open: the old list stays
    departments = std::move(read.value);
    if (read.error.isSet())
        return read.error;  // reading stopped half-way: no node is built

    QStringList repeated;
    const QVector<TreeNodeSpec> nodes = DepartmentDirectory::departmentNodes(departments, &repeated);
    TreeLoadResult loaded;
    {
        KeyedTreeModel::UpdateGuard guard(*tree.model());
        loaded = tree.load(nodes);
    }
    if (!loaded.ok())
        return toDbError(loaded.error);
    if (!repeated.isEmpty())
        return repeatedDepartments(repeated);
    return {};
}

DbError InitDepartmentTree(KeyedTree& tree, QVector<DepartmentEntry>& departments)
{
    tree.clear();
    const DbError error = LoadDepartmentTree(tree, departments);
    if (error.isSet())
        return error;
    selectFirstNode(tree);
    return {};
}

void InitDepartmentTree(KeyedTree& tree, QVector<DepartmentEntry>& departments, MessageBoxes& messages, QWidget* parent)
{
    tree.clear();
    const DbError error = LoadDepartmentTree(tree, departments);
    if (error.isSet())
        reportDirectoryFailure(messages, parent, error);
    selectFirstNode(tree);
}

DbError 添加岗位信息(KeyedTree& tree, const QString& deptKey, PositionVariant variant)
{
    DbResult<QVector<TreeNodeSpec>> read = DepartmentDirectory::positionNodes(DepartmentDirectory::codeFromKey(deptKey),
                                                                              variant);
    for (TreeNodeSpec& node : read.value)
        node.parentKey = deptKey;

    if (variant == PositionVariant::Upload) {
        for (const TreeNodeSpec& node : std::as_const(read.value)) {
            tree.addNode(node.parentKey, node.key, node.text, node.picture);  // a refused node is skipped
            tree.setTag(node.key, node.tag);
        }
    } else {
        const TreeLoadResult loaded = tree.load(read.value);
        if (!loaded.ok())
            return toDbError(loaded.error);
    }
    if (read.error.isSet())
        return read.error;
    tree.setTag(deptKey, positionsLoadedTag());
    return {};
}

bool positionsPending(const KeyedTree& tree, const QString& key)
{
    return tree.contains(key) && tree.tag(key).isEmpty() && tree.picture(key) == kDepartmentPicture;
}

DbResult<bool> loadPositionsOnFirstClick(KeyedTree& tree, const QString& key, PositionVariant variant)
{
    if (!positionsPending(tree, key))
        return {false, {}};
    return {true, 添加岗位信息(tree, key, variant)};
}

void reportDirectoryFailure(MessageBoxes& messages, QWidget* parent, const DbError& error)
{
    messages.inform(parent, error.description, executableTitle(), MsgIcon::Information);
}

QList<QIcon> directoryTreeIcons() { return {departmentIcon(), positionIcon()}; }

}  // namespace quarvel
