#include "doctypes/TypeSettings.h"

#include "db/Query.h"

#include <algorithm>

namespace quarvel {

const QString& TypeSettings::documentOfTypeStatement()
{
    static const QString sql = QStringLiteral(" select top 1 文件类别 from 公司文件信息 where 文件类别 = ?");
    return sql;
}

const QString& TypeSettings::levelStatement()
{
    static const QString sql = QStringLiteral("SELECT 级别 From 资料类型 where ltrim(rtrim(编号)) = ?");
    return sql;
}

const QString& TypeSettings::findStatement()
{
    static const QString sql =
        QStringLiteral("SELECT     编号, 名称, 上级编号,级别,说明, ID From 资料类型 Where ltrim(rtrim(编号)) = ?");
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
    static const QString sql =
        QStringLiteral("update 资料类型 set 名称 = ?, 级别 = ?, 说明 = ? Where ltrim(rtrim(编号)) = ?");
    return sql;
}

const QString& TypeSettings::deleteStatement()
{
    static const QString sql = QStringLiteral("Delete From 资料类型 Where ltrim(rtrim(编号)) = ?");
    return sql;
}

const QString& TypeSettings::voidStatement()
{
    static const QString sql = QStringLiteral("update  资料类型 set 终止日期 = ? Where ltrim(rtrim(编号)) = ?");
    return sql;
}

const QString& TypeSettings::unvoidStatement()
{
    static const QString sql = QStringLiteral("update  资料类型 set 终止日期=null Where ltrim(rtrim(编号)) = ?");
    return sql;
}

QVector<NamedStatement> TypeSettings::statements()
{
    return {
        {QStringLiteral("a document of the type"), documentOfTypeStatement()},
        {QStringLiteral("level of a type"), levelStatement()},
        {QStringLiteral("find a type"), findStatement()},
        {QStringLiteral("add a type"), insertStatement()},
        {QStringLiteral("change a type"), updateStatement()},
        {QStringLiteral("delete a type"), deleteStatement()},
        {QStringLiteral("void a type"), voidStatement()},
        {QStringLiteral("un-void a type"), unvoidStatement()},
    };
}

namespace {
// The code as the statements compare it: without outer blanks.
QString bare(const QString& code) { return code.trimmed(); }

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

// Runs a statement that changes the type with the code; fails unless it changed exactly one row.
DbStatus changeOneRow(const QString& sql, std::initializer_list<QVariant> values, const QString& code)
{
    Query q(sql);
    q.bind(values);
    if (!q.exec())
        return {q.error()};
    const int changed = q.numRowsAffected();
    if (changed == 0)
        return {TypeSettings::notFound(code)};
    if (changed > 1)
        return {TypeSettings::ambiguous(code, changed)};
    return {};
}

// The same in a transaction of its own, kept only when it changed exactly one row.
DbStatus changeOneType(const QString& sql, std::initializer_list<QVariant> values, const QString& code)
{
    Transaction transaction;
    if (!transaction.begun())
        return {transaction.error()};
    const DbStatus changed = changeOneRow(sql, values, code);
    if (!changed.ok())
        return changed;
    if (!transaction.commit())
        return {transaction.error()};
    return {};
}

TypeSaveOutcome failed(const DbError& error) { return {TypeSaveOutcome::Failed, error}; }

// The level a saved type takes, or the failure that stops the save.
DbResult<int> levelToSave(const TypeSaveRequest& r)
{
    if (r.adding && r.rootSelected)
        return {0, {}};
    const QString levelOf = r.adding ? r.selectedCode : r.code;
    const DbResult<std::optional<int>> found = TypeSettings::level(levelOf);
    if (!found.ok())
        return DbResult<int>::failure(found.error);
    if (!found.value.has_value())
        return DbResult<int>::failure(TypeSettings::notFound(levelOf));
    return {*found.value + (r.adding ? 1 : 0), {}};
}

// Writes the checked type inside the caller's transaction.
DbStatus writeType(const TypeSaveRequest& r, int level)
{
    if (r.adding) {
        const QVariant parent = r.rootSelected ? QVariant(QMetaType::fromType<QString>()) : QVariant(r.selectedCode);
        return execute(TypeSettings::insertStatement(), {r.code, r.name, parent, level, nullIfEmpty(r.description)});
    }
    return changeOneRow(TypeSettings::updateStatement(), {r.name, level, nullIfEmpty(r.description), bare(r.code)},
                        r.code);
}
}  // namespace

bool TypeSettings::codeHoldsBlank(const QString& code)
{
    return std::any_of(code.cbegin(), code.cend(), [](QChar c) { return c.isSpace(); });
}

DbError TypeSettings::notFound(const QString& code)
{
    return DbError::make(0,
                         QStringLiteral("找不到编号为“%1”的资料类型，它可能已被删除，未作任何修改。").arg(bare(code)));
}

DbError TypeSettings::ambiguous(const QString& code, int rows)
{
    return DbError::make(
        0, QStringLiteral("有%1个资料类型的编号去掉前后空格后都是“%2”，未作任何修改。请先更正重复的编号。")
               .arg(QString::number(rows), bare(code)));
}

DbResult<bool> TypeSettings::hasDocuments(const QString& code) { return anyRow(documentOfTypeStatement(), bare(code)); }

DbResult<bool> TypeSettings::exists(const QString& code) { return anyRow(findStatement(), bare(code)); }

DbResult<std::optional<int>> TypeSettings::level(const QString& code)
{
    Query q(levelStatement());
    q.bind(bare(code));
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
    return execute(
        insertStatement(),
        {r.code, r.name, r.parentCode.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(r.parentCode),
         r.level, nullIfEmpty(r.description)});
}

DbStatus TypeSettings::update(const TypeRecord& r)
{
    return changeOneType(updateStatement(), {r.name, r.level, nullIfEmpty(r.description), bare(r.code)}, r.code);
}

TypeSaveOutcome TypeSettings::save(const TypeSaveRequest& r)
{
    Transaction transaction;
    if (!transaction.begun())
        return failed(transaction.error());
    if (r.adding) {
        const DbResult<bool> holds = hasDocuments(r.selectedCode);
        if (!holds.ok())
            return failed(holds.error);
        if (holds.value)
            return {TypeSaveOutcome::ParentHoldsDocuments, {}};
    }
    const DbResult<int> level = levelToSave(r);
    if (!level.ok())
        return failed(level.error);
    const DbResult<bool> found = exists(r.code);
    if (!found.ok())
        return failed(found.error);
    if (r.adding && found.value)
        return {TypeSaveOutcome::CodeExists, {}};
    if (!r.adding && !found.value)
        return {TypeSaveOutcome::CodeNotFound, {}};
    const DbStatus written = writeType(r, level.value);
    if (!written.ok())
        return failed(written.error);
    if (!transaction.commit())
        return failed(transaction.error());
    return {TypeSaveOutcome::Saved, {}};
}

DbStatus TypeSettings::remove(const QString& code) { return changeOneType(deleteStatement(), {bare(code)}, code); }

DbStatus TypeSettings::setVoid(const QString& code, const QDate& day)
{
    return changeOneType(voidStatement(), {day, bare(code)}, code);
}

DbStatus TypeSettings::clearVoid(const QString& code) { return changeOneType(unvoidStatement(), {bare(code)}, code); }

}  // namespace quarvel
