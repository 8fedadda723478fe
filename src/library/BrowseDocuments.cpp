#include "library/BrowseDocuments.h"
#include "db/SqlDialect.h"

#include "db/Query.h"
#include "db/RowReader.h"
#include "db/ValueList.h"

namespace quarvel {
namespace {

// --- statements ---------------------------------------------------------------------------

// The columns of a listed document.
enum class Column {
    Id,
    Number,
    Type,
    Name,
    Summary,
    Keywords,
    Level,
    UploaderCode,
    Uploader,
    Uploaded,
    Extension,
    TypeName,
    Download,
    Read,
    Count
};
constexpr auto kColumns = columnTable<Column>({
    {Column::Id, u"公司文件信息.ID"},
    {Column::Number, u"公司文件信息.编号"},
    {Column::Type, u"公司文件信息.文件类别"},
    {Column::Name, u"公司文件信息.文件名称"},
    {Column::Summary, u"公司文件信息.摘要"},
    {Column::Keywords, u"公司文件信息.关键字"},
    {Column::Level, u"公司文件信息.文件级别"},
    {Column::UploaderCode, u"公司文件信息.上传人工号"},
    {Column::Uploader, u"员工档案.姓名"},
    {Column::Uploaded, u"公司文件信息.上传日期"},
    {Column::Extension, u"公司文件信息.附件后缀"},
    {Column::TypeName, u"资料类型.名称"},
    {Column::Download, u"权限表.下载"},
    {Column::Read, u"权限表.查阅"},
});

// The permission rule: a document is listed through every right of the position on its number
// that grants reading or downloading; documents without stored content never.
const QString& listSource()
{
    static const QString sql = QStringLiteral(
        " from 公司文件信息 inner join (select 资料下载权限.文件编号, 资料下载权限.下载, 资料下载权限.查阅 "
        "from 资料下载权限 where (资料下载权限.下载 = 1 or 资料下载权限.查阅 = 1) and 资料下载权限.岗位代号 = ?) "
        "as 权限表 on 权限表.文件编号 = 公司文件信息.编号"
        " left join 员工档案 on 员工档案.工号 = 公司文件信息.上传人工号"
        " left join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别"
        " where 公司文件信息.文件 is not null");
    return sql;
}

// The same rule written so that the documents lead, newest first, and each is checked against
// the position's rights (index 文件编号, 岗位代号): the opening list stops after its first rows,
// a search with a date filter reads only the period's documents, instead of every document of
// the position sorted. Joined in the where clause, the cross join is the same inner join on
// every engine (SQLite keeps the documents as the outer loop).
const QString& documentsFirstSource()
{
    static const QString sql = QStringLiteral(
        " from 公司文件信息 cross join (select 资料下载权限.文件编号, 资料下载权限.下载, 资料下载权限.查阅 "
        "from 资料下载权限 where (资料下载权限.下载 = 1 or 资料下载权限.查阅 = 1) and 资料下载权限.岗位代号 = ?) "
        "as 权限表"
        " left join 员工档案 on 员工档案.工号 = 公司文件信息.上传人工号"
        " left join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别"
        " where 权限表.文件编号 = 公司文件信息.编号 and 公司文件信息.文件 is not null");
    return sql;
}

// Newest first; the ID orders documents of the same upload time.
const QString& listOrder()
{
    static const QString sql = QStringLiteral(" order by 公司文件信息.上传日期 desc, 公司文件信息.ID desc");
    return sql;
}

QVariant likePattern(const QString& typed) { return dialect::containsPattern(typed.trimmed()); }

BrowseRow readRow(const RowReader& q)
{
    BrowseRow r;
    r.id = q.longInteger(Column::Id);
    r.number = q.text(Column::Number);
    r.typeCode = q.text(Column::Type);
    r.typeName = q.text(Column::TypeName);
    r.name = q.text(Column::Name);
    r.summary = q.text(Column::Summary);
    r.keywords = q.text(Column::Keywords);
    r.level = q.text(Column::Level);
    r.uploaderName = q.text(Column::Uploader);
    r.extension = q.text(Column::Extension);
    r.uploaded = q.dateTime(Column::Uploaded);
    r.canRead = q.flag(Column::Read);
    r.canDownload = q.flag(Column::Download);
    return r;
}

DbResult<QVector<BrowseRow>> readRows(RowReader& q, const BrowseRowSink& sink)
{
    QVector<BrowseRow> rows;
    if (!q.exec())
        return DbResult<QVector<BrowseRow>>::failure(q.error());
    while (q.next()) {
        if (sink)
            sink(readRow(q));
        else
            rows.append(readRow(q));
    }
    return {std::move(rows), q.error()};
}

}  // namespace

QString BrowseRow::typeText() const { return typeCode + QStringLiteral(" ") + typeName; }

QString BrowseRow::uploadedText() const
{
    if (!uploaded.isValid())
        return {};
    // Formatted by hand: a large list formats one per row, and the general formatter costs
    // several times as much.
    const QDate d = uploaded.date();
    const QTime t = uploaded.time();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d", d.year(), d.month(), d.day(), t.hour(), t.minute());
}

SearchRefusal checkSearch(const BrowseSearch& search)
{
    if (search.typeCodes.isEmpty())
        return SearchRefusal::NoType;
    if (search.byName && search.name.trimmed().isEmpty())
        return SearchRefusal::NoName;
    if (search.byUploader && search.uploader.trimmed().isEmpty())
        return SearchRefusal::NoUploader;
    if (search.byKeywords && search.keywords.trimmed().isEmpty())
        return SearchRefusal::NoKeywords;
    if (search.byDate && search.from > search.to)
        return SearchRefusal::DateRange;
    return SearchRefusal::None;
}

QString BrowseDocuments::typeListName() { return QStringLiteral("类型列表"); }
QString BrowseDocuments::formatListName() { return QStringLiteral("格式列表"); }

QString BrowseDocuments::formatsStatement()
{
    return QStringLiteral("select 附件后缀 from 公司文件信息 group by 附件后缀");
}

QString BrowseDocuments::recentStatement()
{
    return QStringLiteral("select distinct top %1 ").arg(kRecentRows) + kColumns.selectList() + documentsFirstSource()
           + listOrder();
}

QString BrowseDocuments::searchStatement(const BrowseSearch& search)
{
    // With a date filter the documents of the period lead, newest first through the index that
    // carries every column the filters test (no sort, and no row of the table read for a
    // document that fails them); only the documents that pass are checked against the
    // position's rights by number. Without one the position's rights lead and each finds its
    // document by number. The uploader's name is tested on the document too, against the
    // employees it matches, so that the check comes before any lookup; the test on the joined
    // row stays, so that a number held by several employees lists exactly the rows it did.
    // The distinct then only sees the rows that meet every filter. The cheap tests come first
    // (the engine tests them in this order), the patterns of the texts last.
    QString sql = QStringLiteral("select distinct ") + kColumns.selectList()
                  + (search.byDate ? documentsFirstSource() : listSource());
    if (search.byUploader)
        sql += QStringLiteral(
            " and 公司文件信息.上传人工号 in (select 员工档案.工号 from 员工档案 where 员工档案.姓名 like ?)");
    sql += QStringLiteral(" and 公司文件信息.文件类别 in (select 值 from [#") + typeListName() + QStringLiteral("])");
    if (!search.formats.isEmpty())
        sql += QStringLiteral(" and 公司文件信息.附件后缀 in (select 值 from [#") + formatListName()
               + QStringLiteral("])");
    if (search.byName)
        sql += QStringLiteral(" and 公司文件信息.文件名称 like ?");
    if (search.byUploader)
        sql += QStringLiteral(" and 员工档案.姓名 like ?");
    if (search.byKeywords)
        sql += QStringLiteral(" and 公司文件信息.关键字 like ?");
    if (search.byDate)
        sql += QStringLiteral(" and 公司文件信息.上传日期 >= ? and 公司文件信息.上传日期 < ?");
    return sql + listOrder();
}

QVariantList BrowseDocuments::searchValues(const QString& positionCode, const BrowseSearch& search)
{
    QVariantList values{positionCode.isNull() ? QStringLiteral("") : positionCode};
    if (search.byUploader)
        values << likePattern(search.uploader);
    if (search.byName)
        values << likePattern(search.name);
    if (search.byUploader)
        values << likePattern(search.uploader);
    if (search.byKeywords)
        values << likePattern(search.keywords);
    if (search.byDate) {
        // The whole end day counts: the bound is the start of the next day, itself excluded.
        values << QDateTime(search.from, QTime(0, 0)) << QDateTime(search.to.addDays(1), QTime(0, 0));
    }
    return values;
}

DbResult<QStringList> BrowseDocuments::formats()
{
    Query q(formatsStatement());
    if (!q.exec())
        return DbResult<QStringList>::failure(q.error());
    QStringList out;
    while (q.next()) {
        if (!q.isNull(u"附件后缀"))
            out << q.text(u"附件后缀");
    }
    return {std::move(out), q.error()};
}

DbResult<QVector<BrowseRow>> BrowseDocuments::recent(const QString& positionCode, int limit)
{
    // The super user holds no position and so no rights.
    if (positionCode.isEmpty() || limit <= 0)
        return {};
    QString sql = recentStatement();
    if (limit != kRecentRows)
        sql.replace(QStringLiteral("top %1 ").arg(kRecentRows), QStringLiteral("top %1 ").arg(limit));
    RowReader q(sql);
    q.bind(positionCode);
    return readRows(q, {});
}

DbResult<QVector<BrowseRow>> BrowseDocuments::search(const QString& positionCode, const BrowseSearch& search,
                                                     const BrowseRowSink& sink)
{
    using Result = DbResult<QVector<BrowseRow>>;
    if (positionCode.isEmpty())
        return {};
    ValueList types(typeListName());
    DbStatus filled = types.fill(search.typeCodes);
    if (!filled.ok())
        return Result::failure(filled.error);
    ValueList formatList(formatListName());
    if (!search.formats.isEmpty()) {
        filled = formatList.fill(search.formats);
        if (!filled.ok())
            return Result::failure(filled.error);
    }
    RowReader q(searchStatement(search));
    for (const QVariant& v : searchValues(positionCode, search))
        q.bind(v);
    Result result = readRows(q, sink);
    return result;
}

}  // namespace quarvel
