#include "doctypes/TypeTreeView.h"

#include "platform/MessageBoxes.h"
#include "widgets/WaitCursor.h"
#include "widgets/tree/KeyedTree.h"
#include "widgets/tree/KeyedTreeModel.h"

#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace quarvel {
namespace {

// The text before the first blank, as TypeCodeFromText gives it, without a copy.
QStringView codeOfText(QStringView text)
{
    const qsizetype blank = text.indexOf(u' ');
    return blank < 0 ? text : text.left(blank);
}

// For each code taken from a node text, the first node (from `from`) that shows it. A code
// stored with blanks around it has its node found also by the code without them (its key), for
// codes that no node text gives. The codes point into the tree's texts and keys: use the table
// before the tree changes.
using NodesByCode = QHash<QStringView, int>;

NodesByCode firstNodeByCode(const KeyedTree& tree, int from)
{
    NodesByCode out;
    const int n = tree.count();
    out.reserve(n);
    const auto firstOnly = [&out](QStringView code, int index) {
        const qsizetype known = out.size();
        int& slot = out[code];
        if (out.size() != known)
            slot = index;
    };
    for (int i = from; i <= n; ++i)
        firstOnly(codeOfText(tree.textRef(i)), i);
    for (int i = from; i <= n; ++i) {
        const QStringView code = QStringView(tree.keyRef(i)).mid(1);
        if (!code.isEmpty())
            firstOnly(code, i);
    }
    return out;
}

// Whether every node from `from` shows the code of its key at the head of its text, as nodes
// of codes without blanks in them do. Then the first node that shows a code is the node keyed
// by it, and no table is needed.
bool textsShowTheirKeys(const KeyedTree& tree, int from)
{
    const int n = tree.count();
    for (int i = from; i <= n; ++i) {
        if (codeOfText(tree.textRef(i)) != QStringView(tree.keyRef(i)).mid(1))
            return false;
    }
    return true;
}

// The first node (from `from`) that shows a code, as firstNodeByCode finds it.
class NodeOfCode {
public:
    NodeOfCode(const KeyedTree& tree, int from) : m_tree(tree), m_from(from), m_byKey(textsShowTheirKeys(tree, from))
    {
        if (!m_byKey)
            m_table = firstNodeByCode(tree, from);
        m_key = QStringLiteral("S");
    }

    // 0 when no node shows it.
    int find(QStringView code)
    {
        if (!m_byKey) {
            const auto it = m_table.constFind(code);
            return it == m_table.constEnd() ? 0 : *it;
        }
        m_key.truncate(1);
        m_key.append(code);
        const int index = m_tree.indexOf(m_key);
        return index >= m_from ? index : 0;
    }

private:
    const KeyedTree& m_tree;
    int m_from;
    bool m_byKey;
    NodesByCode m_table;
    QString m_key;
};

// Codes as read from the database: the node of the code as stored, else of the code without
// its outer blanks. The pictures are set after the lookups, as a table points into the tree.
void setPictureOfCodes(KeyedTree& tree, NodeOfCode& nodes, const QStringList& codes, int picture)
{
    QVector<int> found;
    found.reserve(codes.size());
    for (const QString& code : codes) {
        int index = nodes.find(code);
        if (index == 0)
            index = nodes.find(QStringView(code).trimmed());
        if (index != 0)
            found.append(index);
    }
    for (int index : std::as_const(found))
        tree.setPictureAt(index, picture);
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
// Fills the tree, reading the rows straight into it; `statementFailed` tells a failed statement
// from a refused row. Reading stops at a refused row: the nodes before it stay.
DbError fillTypeTree(KeyedTree& tree, TypeTreeVariant variant, TextArray* descriptions, bool& statementFailed)
{
    KeyedTreeModel& model = *tree.model();
    KeyedTreeModel::UpdateGuard update(model);
    model.clear();
    TextArray kept;
    if (variant == TypeTreeVariant::Settings)
        kept.append({});
    TreeError refused;
    const DbError failed = TypeTree::read(
        variant,
        [&](TreeNodeSpec& node, QStringView description) {
            const TreeAddResult added = model.addNode(node.parentKey, node.key, node.text, node.picture);
            if (!added.ok()) {
                refused = added.error;
                return false;
            }
            if (variant == TypeTreeVariant::Settings)
                kept.append(description);
            return true;
        },
        // The type table changes little within a session: room for as many nodes as the last load.
        [&](qint64 expected) {
            model.reserve(int(expected));
            if (variant == TypeTreeVariant::Settings)
                kept.reserve(expected + 1, 0);
        });
    if (descriptions)
        *descriptions = std::move(kept);
    statementFailed = failed.isSet();
    if (statementFailed)
        return failed;
    if (refused.isSet())
        return DbError{refused.number, refused.description};
    return {};
}
}  // namespace

DbError LoadTypeTree(KeyedTree& tree, TypeTreeVariant variant, TextArray* descriptions)
{
    const WaitCursor wait;
    bool statementFailed = false;
    return fillTypeTree(tree, variant, descriptions, statementFailed);
}

DbError LoadAndMarkTypeTree(KeyedTree& tree, TypeTreeVariant variant, const std::function<DbError()>& mark,
                            TextArray* descriptions)
{
    const WaitCursor wait;
    // One update for the load and the marking: the view is reset and laid out once.
    KeyedTreeModel::UpdateGuard update(*tree.model());
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
    tree.setAllExpanded(true);
    tree.setAllPictures(plain);
    NodeOfCode nodes(tree, from);
    setPictureOfCodes(tree, nodes, marks.permittedCodes, permitted);
    setPictureOfCodes(tree, nodes, marks.voidedCodes, 3);
    tree.endUpdate();
    tree.refresh();
}
}  // namespace

void markTypeSettings(KeyedTree& tree, const TypeMarks& marks) { markTypes(tree, marks, 2, 1, 2); }

void markUploadTypes(KeyedTree& tree, const TypeMarks& marks) { markTypes(tree, marks, 1, 2, 1); }

void markLeavesAndVoided(KeyedTree& tree, const QStringList& voidedCodes)
{
    tree.beginUpdate();
    tree.setAllExpanded(true);
    const int n = tree.count();
    for (int i = 1; i <= n; ++i) {
        if (tree.childCountAt(i) == 0)
            tree.setPictureAt(i, 2);
    }
    NodeOfCode nodes(tree, 1);
    setPictureOfCodes(tree, nodes, voidedCodes, 4);
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
