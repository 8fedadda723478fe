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

DbResult<TypeTreeNodes> TypeTree::load(TypeTreeVariant variant)
{
    DbResult<TypeTreeNodes> loaded;
    TypeTreeNodes& result = loaded.value;
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
        loaded.error = q.error();
        return loaded;
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
            loaded.error = DbError::make(kTypeParentMissing, QStringLiteral("上级类型不存在：") + node.key);
            return loaded;
        }
        // One lookup both finds a repeated key and records a new one.
        const qsizetype known = keys.size();
        keys.insert(node.key);
        if (keys.size() == known) {
            loaded.error = DbError::make(kTypeKeyRepeated, QStringLiteral("类型编号重复：") + node.key);
            return loaded;
        }
        result.nodes.append(std::move(node));
        if (settings)
            result.descriptions.append(q.text(u"说明"));
    }
    if (q.error().isSet())
        loaded.error = q.error();
    return loaded;
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

DbResult<TypeMarks> TypeTree::marks(TypeTreeVariant variant, const QString& positionCode)
{
    TypeMarks m;
    // The super user's position code is empty; it is compared as the empty text (rows with an
    // empty 岗位代号 are his), never as NULL, which would match nothing.
    const QString position = positionCode.isNull() ? QStringLiteral("") : positionCode;
    DbResult<QStringList> permitted = variant == TypeTreeVariant::Upload
                                          ? readCodes(positionPermittedCodesStatement(), QStringLiteral("文件编号"),
                                                      {position})
                                          : readCodes(permittedCodesStatement(), QStringLiteral("文件编号"));
    if (!permitted.ok())
        return DbResult<TypeMarks>::failure(permitted.error);
    m.permittedCodes = permitted.value;
    DbResult<QStringList> voided = voidedCodes();
    if (!voided.ok())
        return {m, voided.error};
    m.voidedCodes = voided.value;
    return {m, {}};
}

}  // namespace quarvel
