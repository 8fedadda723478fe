#include "doctypes/TypeSettings.h"

#include "login/Query.h"

namespace quarvel {

const QString& TypeSettings::documentOfTypeStatement()
{
    static const QString sql = QStringLiteral(" select top 1 文件类别 from 公司文件信息 where 文件类别 = ?");
    return sql;
}

const QString& TypeSettings::levelStatement()
{
    static const QString sql = QStringLiteral("SELECT 级别 From 资料类型 where 编号 = ?");
    return sql;
}

const QString& TypeSettings::findStatement()
{
    static const QString sql = QStringLiteral("SELECT     编号, 名称, 上级编号,级别,说明, ID From 资料类型 Where 编号 = ?");
    return sql;
}

const QString& TypeSettings::insertStatement()
{
    static const QString sql =
        QStringLiteral("insert into 资料类型 (编号, 名称, 上级编号, 级别, 说明) values (?, ?, ?, ?, ?)");
    return sql;
}

const QString& TypeSettings::updateStatement()
{
    static const QString sql = QStringLiteral("update 资料类型 set 名称 = ?, 级别 = ?, 说明 = ? Where 编号 = ?");
    return sql;
}

const QString& TypeSettings::deleteStatement()
{
    static const QString sql = QStringLiteral("Delete From 资料类型 Where 编号 = ?");
    return sql;
}

const QString& TypeSettings::voidStatement()
{
    static const QString sql = QStringLiteral("update  资料类型 set 终止日期 = ? Where 编号 = ?");
    return sql;
}

const QString& TypeSettings::unvoidStatement()
{
    static const QString sql = QStringLiteral("update  资料类型 set 终止日期=null Where 编号 = ?");
    return sql;
}

namespace {
QVariant nullIfEmpty(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

DbResult<bool> anyRow(const QString& sql, const QString& value)
{
    Query q(sql);
    q.bind(value);
    if (!q.exec())
        return DbResult<bool>::failure(q.error());
    const bool found = q.next();
    if (q.error().isSet())
        return DbResult<bool>::failure(q.error());
    return {found, {}};
}
}  // namespace

DbResult<bool> TypeSettings::hasDocuments(const QString& code) { return anyRow(documentOfTypeStatement(), code); }

DbResult<bool> TypeSettings::exists(const QString& code) { return anyRow(findStatement(), code); }

DbResult<std::optional<int>> TypeSettings::level(const QString& code)
{
    Query q(levelStatement());
    q.bind(code);
    if (!q.exec())
        return DbResult<std::optional<int>>::failure(q.error());
    if (!q.next()) {
        if (q.error().isSet())
            return DbResult<std::optional<int>>::failure(q.error());
        return {std::nullopt, {}};
    }
    return {q.integer(u"级别"), {}};
}

DbStatus TypeSettings::insert(const TypeRecord& r)
{
    return execute(insertStatement(), {r.code, r.name, r.parentCode.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(r.parentCode),
                                       r.level, nullIfEmpty(r.description)});
}

DbStatus TypeSettings::update(const TypeRecord& r)
{
    return execute(updateStatement(), {r.name, r.level, nullIfEmpty(r.description), r.code});
}

DbStatus TypeSettings::remove(const QString& code) { return execute(deleteStatement(), {code}); }

DbStatus TypeSettings::setVoid(const QString& code, const QDate& day) { return execute(voidStatement(), {day, code}); }

DbStatus TypeSettings::clearVoid(const QString& code) { return execute(unvoidStatement(), {code}); }

}  // namespace quarvel
