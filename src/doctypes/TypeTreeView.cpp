#include "doctypes/TypeTreeView.h"

#include "platform/MessageBoxes.h"
#include "widgets/tree/KeyedTree.h"

#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace quarvel {
namespace {

// For each code taken from a node text, the first node (from `from`) that shows it. A code
// stored with blanks around it has its node found also by the code without them (its key), for
// codes that no node text gives.
QHash<QString, QString> firstNodeByCode(const KeyedTree& tree, int from)
{
    QHash<QString, QString> out;
    const int n = tree.count();
    out.reserve(n);
    for (int i = from; i <= n; ++i) {
        const QString key = tree.keyAt(i);
        const QString code = TypeCodeFromText(tree.text(key));
        if (!out.contains(code))
            out.insert(code, key);
    }
    for (int i = from; i <= n; ++i) {
        const QString key = tree.keyAt(i);
        const QString code = TypeCodeFromKey(key);
        if (!code.isEmpty() && !out.contains(code))
            out.insert(code, key);
    }
    return out;
}

// Codes as read from the database: the node of the code as stored, else of the code without
// its outer blanks.
void setPictureOfCodes(KeyedTree& tree, const QHash<QString, QString>& byCode, const QStringList& codes, int picture)
{
    for (const QString& code : codes) {
        auto it = byCode.constFind(code);
        if (it == byCode.constEnd())
            it = byCode.constFind(code.trimmed());
        if (it != byCode.constEnd())
            tree.setPicture(*it, picture);
    }
}

void expandAllWithPicture(KeyedTree& tree, int picture)
{
    const int n = tree.count();
    for (int i = 1; i <= n; ++i) {
        const QString key = tree.keyAt(i);
        tree.setExpanded(key, true);
        tree.setPicture(key, picture);
    }
}

QIcon folderIcon(const QColor& colour, bool crossed = false)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(colour.darker(140));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
    p.drawRect(QRectF(1.5, 2.5, 6, 2));
    if (crossed) {
        p.setPen(QPen(QColor(0xc0, 0x00, 0x00), 2));
        p.drawLine(4, 6, 12, 13);
        p.drawLine(12, 6, 4, 13);
    }
    return QIcon(pixmap);
}

}  // namespace

namespace {
// Fills the tree; `statementFailed` tells a failed statement from a refused row.
DbError fillTypeTree(KeyedTree& tree, TypeTreeVariant variant, QStringList* descriptions, bool& statementFailed)
{
    const DbResult<TypeTreeNodes> load = TypeTree::load(variant);
    tree.beginUpdate();
    tree.clear();
    const TreeLoadResult loaded = tree.load(load.value.nodes);
    tree.endUpdate();
    if (descriptions)
        *descriptions = load.value.descriptions;
    const bool refused = isRefusedTypeRow(load.error);
    statementFailed = !load.ok() && !refused;
    if (statementFailed)
        return load.error;
    if (!loaded.ok())
        return DbError{loaded.error.number, loaded.error.description};
    if (refused) {
        // Told as the tree tells a refused node.
        const auto code = static_cast<TreeErrorCode>(load.error.number);
        return DbError{load.error.number, TreeError::describe(code)};
    }
    return {};
}
}  // namespace

DbError LoadTypeTree(KeyedTree& tree, TypeTreeVariant variant, QStringList* descriptions)
{
    bool statementFailed = false;
    return fillTypeTree(tree, variant, descriptions, statementFailed);
}

DbError LoadAndMarkTypeTree(KeyedTree& tree, TypeTreeVariant variant, const std::function<DbError()>& mark,
                            QStringList* descriptions)
{
    bool statementFailed = false;
    const DbError loaded = fillTypeTree(tree, variant, descriptions, statementFailed);
    if (statementFailed)
        return loaded;
    const DbError marked = mark();
    return loaded.isSet() ? loaded : marked;
}

namespace {
// Every node expanded with `plain`; the first node of each permitted code (from `from`) gets
// `permitted`, of each voided code `voided`.
void markTypes(KeyedTree& tree, const TypeMarks& marks, int from, int plain, int permitted)
{
    tree.beginUpdate();
    expandAllWithPicture(tree, plain);
    const auto byCode = firstNodeByCode(tree, from);
    setPictureOfCodes(tree, byCode, marks.permittedCodes, permitted);
    setPictureOfCodes(tree, byCode, marks.voidedCodes, 3);
    tree.endUpdate();
    tree.refresh();
}
}  // namespace

void markTypeSettings(KeyedTree& tree, const TypeMarks& marks) { markTypes(tree, marks, 2, 1, 2); }

void markUploadTypes(KeyedTree& tree, const TypeMarks& marks) { markTypes(tree, marks, 1, 2, 1); }

void markLeavesAndVoided(KeyedTree& tree, const QStringList& voidedCodes)
{
    tree.beginUpdate();
    const int n = tree.count();
    for (int i = 1; i <= n; ++i) {
        const QString key = tree.keyAt(i);
        tree.setExpanded(key, true);
        if (tree.childCount(key) == 0)
            tree.setPicture(key, 2);
    }
    setPictureOfCodes(tree, firstNodeByCode(tree, 1), voidedCodes, 4);
    tree.endUpdate();
    tree.refresh();
}

void 子节点联动(KeyedTree& tree, const QString& key)
{
    // Only the ticked branch is touched and redrawn: no reset, the view keeps its state.
    tree.setDescendantsChecked(key, tree.checked(key));
}

void reportTreeFailure(MessageBoxes& messages, QWidget* parent, const DbError& error)
{
    messages.inform(parent, error.description, executableTitle(), MsgIcon::Information);
}

QList<QIcon> typeTreeIcons(TypeTreeVariant variant)
{
    const QIcon plain = folderIcon(QColor(0xf2, 0xc8, 0x6b));
    const QIcon granted = folderIcon(QColor(0x6a, 0xb0, 0x4c));
    const QIcon voided = folderIcon(QColor(0xb0, 0xb0, 0xb0), true);
    switch (variant) {
    case TypeTreeVariant::Settings: return {plain, granted, voided};
    case TypeTreeVariant::Upload: return {granted, plain, voided};
    case TypeTreeVariant::UploadPermission: return {plain, folderIcon(QColor(0x8f, 0xb8, 0xde)), plain, voided};
    case TypeTreeVariant::Browse:
    case TypeTreeVariant::Statistics: return {plain};
    }
    return {plain};
}

}  // namespace quarvel
