#pragma once

#include "common/TreeNodes.h"
#include "db/DbError.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace quarvel {

// The five windows that show the document type tree differ in the root node, the picture
// given at load and the marking that follows.
enum class TypeTreeVariant {
    Settings,          // frm资料类型设置: root "资料类型索引", picture 1, descriptions kept
    Upload,            // Frm公司资料上传: no root, picture 2
    Browse,            // Frm公司资料查阅: no root, picture 1, check boxes
    UploadPermission,  // frm资料上传权限设置: no root, picture 3, leaf and void marking
    Statistics         // frm资料下载汇总: no root, picture 1, check boxes
};

inline const QString kTypeRootKey = QStringLiteral("ROOT");
inline const QString kTypeRootText = QStringLiteral("资料类型索引");

// The loaded tree: nodes in insertion order and, for the settings window, the description of
// node i at index i (index 0 and the root's index 1 stay empty).
struct TypeTreeNodes {
    QVector<TreeNodeSpec> nodes;
    QStringList descriptions;
};

// The codes that the marking passes read.
struct TypeMarks {
    QStringList permittedCodes;  // types with upload permissions (of the position, for Upload)
    QStringList voidedCodes;
};

// Takes one node of the type tree (the node may be moved from) and its description; false
// stops the reading.
using TypeRowSink = std::function<bool(TreeNodeSpec& node, QStringView description)>;

class TypeTree {
public:
    static const QString& loadStatement();
    static const QString& permittedCodesStatement();          // any position
    static const QString& positionPermittedCodesStatement();  // the logged-in position
    static const QString& voidedCodesStatement();

    static int loadPicture(TypeTreeVariant variant);

    // Runs the load statement and hands the variant's nodes to `take` one by one, in order, each
    // with its description (the settings window's; empty for the root and the other variants),
    // until `take` returns false. Rows that a tree refuses (a repeated trimmed code, a parent
    // that is missing or sorts after the node) are handed on as read: the tree stops there.
    // Returns the statement's failure; the nodes handed on before it stay with the caller.
    // `expect`, when given, hears first how many nodes the last load gave (0 the first time),
    // for a tree to make room for them.
    static DbError read(TypeTreeVariant variant, const TypeRowSink& take,
                        const std::function<void(qint64 expectedNodes)>& expect = {});

    // The same nodes as one list. When the statement fails, the nodes read before come back
    // with its error.
    static DbResult<TypeTreeNodes> load(TypeTreeVariant variant);

    // Codes for the marking passes. For Upload, only the permissions of positionCode.
    static DbResult<TypeMarks> marks(TypeTreeVariant variant, const QString& positionCode = {});
    static DbResult<QStringList> voidedCodes();
};

// The key without its first character ("ROOT" gives "OOT").
QString TypeCodeFromKey(const QString& key);
// The text before its first blank.
QString TypeCodeFromText(const QString& text);

}  // namespace quarvel
