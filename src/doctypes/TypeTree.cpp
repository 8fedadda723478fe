#include "doctypes/TypeTree.h"

#include "db/RowReader.h"

namespace quarvel {

QString TypeCodeFromKey(const QString& key) { return key.mid(1); }

QString TypeCodeFromText(const QString& text)
{
    const qsizetype blank = text.indexOf(u' ');
    return blank < 0 ? text : text.left(blank);
}

namespace {

// The columns of a type of the tree.
enum class TypeColumn { Code, Name, Parent, Level, Description, Id, Count };
constexpr auto kTypeColumns = columnTable<TypeColumn>({
    {TypeColumn::Code, u"编号"},
    {TypeColumn::Name, u"名称"},
    {TypeColumn::Parent, u"上级编号"},
    {TypeColumn::Level, u"级别"},
    {TypeColumn::Description, u"说明"},
    {TypeColumn::Id, u"ID"},
});

// The statements that list codes read them first.
enum class CodeColumn { Code, Count };

}  // namespace

const QString& TypeTree::loadStatement()
{
    static const QString sql = QStringLiteral("SELECT ") + kTypeColumns.selectList()
                               + QStringLiteral(" From 资料类型 Order by 级别,len(编号),编号");
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

namespace {
// "S" and the code without its outer blanks.
QString typeKey(const QString& code)
{
    const QStringView trimmed = QStringView(code).trimmed();
    QString key;
    key.reserve(trimmed.size() + 1);
    key.append(u'S').append(trimmed);
    return key;
}
}  // namespace

DbError TypeTree::read(TypeTreeVariant variant, const TypeRowSink& take,
                       const std::function<void(qint64 expectedNodes)>& expect)
{
    const bool settings = variant == TypeTreeVariant::Settings;
    const int picture = loadPicture(variant);
    TreeNodeSpec node;
    if (settings) {
        node = TreeNodeSpec{kTypeRootKey, kTypeRootText, QString(), 1, {}, false, false};
        if (!take(node, QString()))
            return {};
    }

    RowReader rows(loadStatement());
    if (expect)
        expect(rows.rowsLastRead() + (settings ? 1 : 0));
    if (!rows.exec())
        return rows.error();
    const QString rootKey = settings ? kTypeRootKey : QString();
    // Descriptions are copied by the taker: one text read into again and again.
    QString description;
    // Siblings follow one another: the parent's key is built when the parent changes.
    QString parentCode;
    QString parentKey;
    while (rows.next()) {
        const QString code = rows.text(TypeColumn::Code);
        node.key = typeKey(code);
        const QString name = rows.text(TypeColumn::Name);
        QString text;
        text.reserve(code.size() + 1 + name.size());
        node.text = std::move(text.append(code).append(u' ').append(name));
        node.picture = picture;
        if (rows.isNull(TypeColumn::Parent)) {
            node.parentKey = rootKey;
        } else {
            if (rows.changed(TypeColumn::Parent, parentCode))
                parentKey = typeKey(parentCode);
            node.parentKey = parentKey;
        }
        if (settings)
            rows.readText(TypeColumn::Description, description);
        if (!take(node, description))
            return {};
    }
    return rows.error();
}

DbResult<TypeTreeNodes> TypeTree::load(TypeTreeVariant variant)
{
    DbResult<TypeTreeNodes> loaded;
    TypeTreeNodes& result = loaded.value;
    if (variant == TypeTreeVariant::Settings)
        result.descriptions.append(QString());
    loaded.error = read(variant, [&](TreeNodeSpec& node, QStringView description) {
        result.nodes.append(node);
        if (variant == TypeTreeVariant::Settings)
            result.descriptions.append(description.toString());
        return true;
    });
    return loaded;
}

namespace {
// The codes of the statement's rows, in its first column.
DbResult<QStringList> readCodes(const QString& sql, const QVariantList& values = {})
{
    RowReader rows(sql);
    for (const QVariant& v : values)
        rows.bind(v);
    if (!rows.exec())
        return DbResult<QStringList>::failure(rows.error());
    QStringList codes;
    while (rows.next())
        codes.append(rows.text(CodeColumn::Code));
    if (rows.error().isSet())
        return DbResult<QStringList>::failure(rows.error());
    return {codes, {}};
}
}  // namespace

DbResult<QStringList> TypeTree::voidedCodes() { return readCodes(voidedCodesStatement()); }

DbResult<TypeMarks> TypeTree::marks(TypeTreeVariant variant, const QString& positionCode)
{
    TypeMarks m;
    // The super user's position code is empty; it is compared as the empty text (rows with an
    // empty 岗位代号 are his), never as NULL, which would match nothing.
    const QString position = positionCode.isNull() ? QStringLiteral("") : positionCode;
    DbResult<QStringList> permitted = variant == TypeTreeVariant::Upload
                                          ? readCodes(positionPermittedCodesStatement(), {position})
                                          : readCodes(permittedCodesStatement());
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
