#include "doctypes/TypeTree.h"

#include "db/Query.h"

#include <QSet>

namespace quarvel {

QString TypeCodeFromKey(const QString& key) { return key.mid(1); }

QString TypeCodeFromText(const QString& text)
{
    const qsizetype blank = text.indexOf(u' ');
    return blank < 0 ? text : text.left(blank);
}

const QString& TypeTree::loadStatement()
{
    static const QString sql =
        QStringLiteral("SELECT   编号, 名称,上级编号,级别,说明, ID From 资料类型 Order by 级别,len(编号),编号");
    return sql;
}

const QString& TypeTree::permittedCodesStatement()
{
    static const QString sql = QStringLiteral("SELECT 文件编号 From 资料上传权限 group by 文件编号");
    return sql;
}

const QString& TypeTree::positionPermittedCodesStatement()
{
    static const QString sql = QStringLiteral("SELECT 文件编号,岗位代号 From 资料上传权限 Where 岗位代号 = ?");
    return sql;
}

const QString& TypeTree::voidedCodesStatement()
{
    static const QString sql = QStringLiteral("SELECT 编号 From 资料类型 where 终止日期 Is not Null");
    return sql;
}

int TypeTree::loadPicture(TypeTreeVariant variant)
{
    switch (variant) {
    case TypeTreeVariant::Upload: return 2;
    case TypeTreeVariant::UploadPermission: return 3;
    case TypeTreeVariant::Settings:
    case TypeTreeVariant::Browse:
    case TypeTreeVariant::Statistics: return 1;
    }
    return 1;
}

TypeTreeLoad TypeTree::load(TypeTreeVariant variant)
{
    TypeTreeLoad result;
    const bool settings = variant == TypeTreeVariant::Settings;
    const int picture = loadPicture(variant);
    QSet<QString> keys;
    if (settings) {
        result.nodes.append(TreeNodeSpec{kTypeRootKey, kTypeRootText, QString(), 1, {}, false, false});
        keys.insert(kTypeRootKey);
        result.descriptions = {QString(), QString()};
    }

    Query q(loadStatement());
    if (!q.exec()) {
        result.error = q.error();
        return result;
    }
    while (q.next()) {
        const QString code = q.text(u"编号");
        TreeNodeSpec node;
        node.key = u'S' + code.trimmed();
        node.text = code + u' ' + q.text(u"名称");
        node.picture = picture;
        if (q.isNull(u"上级编号"))
            node.parentKey = settings ? kTypeRootKey : QString();
        else
            node.parentKey = u'S' + q.text(u"上级编号").trimmed();

        if (!node.parentKey.isEmpty() && !keys.contains(node.parentKey)) {
            result.refusedNumber = 35601;
            result.refusedKey = node.key;
            return result;
        }
        // One lookup both finds a repeated key and records a new one.
        const qsizetype known = keys.size();
        keys.insert(node.key);
        if (keys.size() == known) {
            result.refusedNumber = 35602;
            result.refusedKey = node.key;
            return result;
        }
        result.nodes.append(std::move(node));
        if (settings)
            result.descriptions.append(q.text(u"说明"));
    }
    if (q.error().isSet())
        result.error = q.error();
    return result;
}

namespace {
DbResult<QStringList> readCodes(const QString& sql, const QString& column, const QVariantList& values = {})
{
    Query q(sql);
    for (const QVariant& v : values)
        q.bind(v);
    if (!q.exec())
        return DbResult<QStringList>::failure(q.error());
    QStringList codes;
    while (q.next())
        codes.append(q.text(column));
    if (q.error().isSet())
        return DbResult<QStringList>::failure(q.error());
    return {codes, {}};
}
}  // namespace

DbResult<QStringList> TypeTree::voidedCodes() { return readCodes(voidedCodesStatement(), QStringLiteral("编号")); }

TypeMarks TypeTree::marks(TypeTreeVariant variant, const QString& positionCode)
{
    TypeMarks m;
    // The super user's position code is empty; it is compared as the empty text (rows with an
    // empty 岗位代号 are his), never as NULL, which would match nothing.
    const QString position = positionCode.isNull() ? QStringLiteral("") : positionCode;
    DbResult<QStringList> permitted =
        variant == TypeTreeVariant::Upload
            ? readCodes(positionPermittedCodesStatement(), QStringLiteral("文件编号"), {position})
            : readCodes(permittedCodesStatement(), QStringLiteral("文件编号"));
    if (!permitted.ok()) {
        m.error = permitted.error;
        return m;
    }
    m.permittedCodes = permitted.value;
    DbResult<QStringList> voided = voidedCodes();
    if (!voided.ok()) {
        m.error = voided.error;
        return m;
    }
    m.voidedCodes = voided.value;
    return m;
}

}  // namespace quarvel
