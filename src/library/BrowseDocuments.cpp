#include "library/BrowseDocuments.h"

#include "login/Query.h"
#include "login/ValueList.h"

namespace quarvel {
namespace {

// --- statements ---------------------------------------------------------------------------

const QString& listColumns()
{
    static const QString sql = QStringLiteral(
        "公司文件信息.ID, 公司文件信息.编号, 公司文件信息.文件类别, 公司文件信息.文件名称, 公司文件信息.摘要, "
        "公司文件信息.关键字, 公司文件信息.文件级别, 公司文件信息.上传人工号, 员工档案.姓名, 公司文件信息.上传日期, "
        "公司文件信息.附件后缀, 资料类型.名称, 权限表.下载, 权限表.查阅");
    return sql;
}

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

// Newest first; the ID orders documents of the same upload time.
const QString& listOrder()
{
    static const QString sql = QStringLiteral(" order by 公司文件信息.上传日期 desc, 公司文件信息.ID desc");
    return sql;
}

QString likePattern(const QString& typed) { return QStringLiteral("%") + typed.trimmed() + QStringLiteral("%"); }

BrowseRow readRow(const Query& q)
{
    BrowseRow r;
    r.id = q.longInteger(u"ID");
    r.number = q.text(u"编号");
    r.typeCode = q.text(u"文件类别");
    r.typeName = q.text(u"名称");
    r.name = q.text(u"文件名称");
    r.summary = q.text(u"摘要");
    r.keywords = q.text(u"关键字");
    r.level = q.text(u"文件级别");
    r.uploaderName = q.text(u"姓名");
    r.extension = q.text(u"附件后缀");
    r.uploaded = q.dateTime(u"上传日期");
    r.canRead = q.flag(u"查阅");
    r.canDownload = q.flag(u"下载");
    return r;
}

DbResult<QVector<BrowseRow>> readRows(Query& q, const BrowseRowSink& sink)
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
    return uploaded.isValid() ? uploaded.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
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
    return QStringLiteral("select distinct top %1 ").arg(kRecentRows) + listColumns() + listSource() + listOrder();
}

QString BrowseDocuments::searchStatement(const BrowseSearch& search)
{
    QString sql = QStringLiteral("select distinct ") + listColumns() + listSource();
    sql += QStringLiteral(" and 公司文件信息.文件类别 in (select 值 from [#") + typeListName() + QStringLiteral("])");
    if (!search.formats.isEmpty())
        sql += QStringLiteral(" and 公司文件信息.附件后缀 in (select 值 from [#") + formatListName() + QStringLiteral("])");
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
    Query q(sql);
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
    Query q(searchStatement(search));
    for (const QVariant& v : searchValues(positionCode, search))
        q.bind(v);
    Result result = readRows(q, sink);
    return result;
}

}  // namespace quarvel
