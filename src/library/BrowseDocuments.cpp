#include "library/BrowseDocuments.h"
#include "db/SqlDialect.h"

#include "db/Query.h"
#include "db/RowReader.h"
#include "db/ValueList.h"

#include <QHash>

#include <algorithm>

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
static_assert(int(Column::Count) == kListedColumns);
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

// The same columns for documents read by their IDs: the rights come from the keys.
constexpr auto kDocumentColumns = kColumns.with(Column::Download, u"0").with(Column::Read, u"0");

// The keys of a search's rows in their order: a document under one of its rights.
enum class KeyColumn { Id, Download, Read, Uploaded, Uploader, Count };
constexpr auto kKeyColumns = columnTable<KeyColumn>({
    {KeyColumn::Id, u"公司文件信息.ID"},
    {KeyColumn::Download, u"权限表.下载"},
    {KeyColumn::Read, u"权限表.查阅"},
    {KeyColumn::Uploaded, u"公司文件信息.上传日期"},
    {KeyColumn::Uploader, u"员工档案.姓名"},
});

// The permission rule: a document is listed through every right of the position on its number
// that grants reading or downloading; documents without stored content never. The joins bind
// the position code; the where clause follows (a search that joins more puts it between).
const QString& listJoins()
{
    static const QString sql = QStringLiteral(
        " from 公司文件信息 inner join (select 资料下载权限.文件编号, 资料下载权限.下载, 资料下载权限.查阅 "
        "from 资料下载权限 where (资料下载权限.下载 = 1 or 资料下载权限.查阅 = 1) and 资料下载权限.岗位代号 = ?) "
        "as 权限表 on 权限表.文件编号 = 公司文件信息.编号"
        " left join 员工档案 on 员工档案.工号 = 公司文件信息.上传人工号"
        " left join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别");
    return sql;
}

const QString& listCondition()
{
    static const QString sql = QStringLiteral(" where 公司文件信息.文件 is not null");
    return sql;
}

// The same rule written so that the documents lead, newest first, and each is checked against
// the position's rights (index 文件编号, 岗位代号): the opening list stops after its first rows,
// a search with a date filter reads only the period's documents, instead of every document of
// the position sorted. Joined in the where clause, the cross join is the same inner join on
// every engine (SQLite keeps the documents as the outer loop).
const QString& documentsFirstJoins()
{
    static const QString sql = QStringLiteral(
        " from 公司文件信息 cross join (select 资料下载权限.文件编号, 资料下载权限.下载, 资料下载权限.查阅 "
        "from 资料下载权限 where (资料下载权限.下载 = 1 or 资料下载权限.查阅 = 1) and 资料下载权限.岗位代号 = ?) "
        "as 权限表"
        " left join 员工档案 on 员工档案.工号 = 公司文件信息.上传人工号"
        " left join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别");
    return sql;
}

const QString& documentsFirstCondition()
{
    static const QString sql =
        QStringLiteral(" where 权限表.文件编号 = 公司文件信息.编号 and 公司文件信息.文件 is not null");
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
    return QStringLiteral("select distinct top %1 ").arg(kRecentRows) + kColumns.selectList() + documentsFirstJoins()
           + documentsFirstCondition() + listOrder();
}

// The search's conditions beyond the permission rule.
static QString searchConditions(const BrowseSearch& search)
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
    QString sql;
    if (search.byUploader)
        sql += QStringLiteral(
            " and 公司文件信息.上传人工号 in (select 员工档案.工号 from 员工档案 where 员工档案.姓名 like ?)");
    sql += QStringLiteral(" and 公司文件信息.文件类别 in (select 值 from [#") + BrowseDocuments::typeListName()
           + QStringLiteral("])");
    if (!search.formats.isEmpty())
        sql += QStringLiteral(" and 公司文件信息.附件后缀 in (select 值 from [#") + BrowseDocuments::formatListName()
               + QStringLiteral("])");
    if (search.byName)
        sql += QStringLiteral(" and 公司文件信息.文件名称 like ?");
    if (search.byUploader)
        sql += QStringLiteral(" and 员工档案.姓名 like ?");
    if (search.byKeywords)
        sql += QStringLiteral(" and 公司文件信息.关键字 like ?");
    if (search.byDate)
        sql += QStringLiteral(" and 公司文件信息.上传日期 >= ? and 公司文件信息.上传日期 < ?");
    return sql;
}

QString BrowseDocuments::searchStatement(const BrowseSearch& search) { return searchStatement(search, {}); }

QString BrowseDocuments::searchStatement(const BrowseSearch& search, const JoinedSearch& joined)
{
    QString sql = QStringLiteral("select distinct ");
    if (joined.top > 0)
        sql += QStringLiteral("top %1 ").arg(joined.top);
    const bool documentsFirst = search.byDate || joined.documentsFirst;
    return sql + kColumns.selectList() + joined.columns + (documentsFirst ? documentsFirstJoins() : listJoins())
           + joined.joins + (documentsFirst ? documentsFirstCondition() : listCondition()) + joined.condition
           + searchConditions(search) + listOrder() + joined.order;
}

QString BrowseDocuments::searchKeysStatement(const BrowseSearch& search)
{
    return QStringLiteral("select distinct ") + kKeyColumns.selectList()
           + (search.byDate ? documentsFirstJoins() : listJoins())
           + (search.byDate ? documentsFirstCondition() : listCondition()) + searchConditions(search) + listOrder();
}

QString BrowseDocuments::documentsByIdStatement(int count)
{
    return QStringLiteral("select ") + kDocumentColumns.selectList()
           + QStringLiteral(" from 公司文件信息"
                            " left join 员工档案 on 员工档案.工号 = 公司文件信息.上传人工号"
                            " left join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别"
                            " where 公司文件信息.ID in (")
           + parameterMarks(count) + QStringLiteral(")");
}

QVariantList BrowseDocuments::searchValues(const QString& positionCode, const BrowseSearch& search)
{
    return searchValues(positionCode, search, {});
}

QVariantList BrowseDocuments::searchValues(const QString& positionCode, const BrowseSearch& search,
                                           const QVariantList& joinedValues)
{
    QVariantList values{positionCode.isNull() ? QStringLiteral("") : positionCode};
    values += joinedValues;
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

BrowseSearchReader::BrowseSearchReader() = default;
BrowseSearchReader::~BrowseSearchReader() = default;

bool BrowseSearchReader::read(int count, const BrowseRowSink& sink)
{
    for (int n = 0; n < count && !m_done;) {
        const int part = std::min<int>({count - n, kRowsPerRead, int(qsizetype(m_keys.size()) - m_next)});
        if (part <= 0) {
            m_done = true;
            break;
        }
        // The part's documents, each once, by their IDs; then its rows in the keys' order.
        QVector<qint64> ids;
        ids.reserve(part);
        for (int k = 0; k < part; ++k) {
            const qint64 id = m_keys[size_t(m_next + k)].id;
            if (!ids.contains(id))
                ids.append(id);
        }
        RowReader q(BrowseDocuments::documentsByIdStatement(int(ids.size())));
        for (qint64 id : std::as_const(ids))
            q.bind(id);
        // A document once for each name of its uploader's number (mostly one), by name.
        QHash<qint64, QVector<BrowseRow>> documents;
        documents.reserve(ids.size());
        if (q.exec()) {
            while (q.next()) {
                BrowseRow r = readRow(q);
                QVector<BrowseRow>& holders = documents[r.id];
                const auto at = std::lower_bound(
                    holders.begin(), holders.end(), r.uploaderName,
                    [](const BrowseRow& h, const QString& name) { return h.uploaderName < name; });
                if (at == holders.end() || at->uploaderName != r.uploaderName)
                    holders.insert(at, std::move(r));
            }
        }
        if (q.error().isSet()) {
            m_error = q.error();
            m_done = true;
            break;
        }
        for (int k = 0; k < part; ++k) {
            const Key& key = m_keys[size_t(m_next + k)];
            // A document deleted since the keys were read is left out.
            const auto found = documents.constFind(key.id);
            if (found == documents.constEnd() || key.holder >= found.value().size())
                continue;
            BrowseRow r = found.value().at(key.holder);
            r.canRead = key.read;
            r.canDownload = key.download;
            sink(r);
        }
        m_next += part;
        n += part;
    }
    if (m_next >= qsizetype(m_keys.size()))
        m_done = true;
    if (m_done) {
        m_keys.clear();
        m_keys.shrink_to_fit();
    }
    return !m_done;
}

std::unique_ptr<BrowseSearchReader> BrowseDocuments::openSearch(const QString& positionCode, const BrowseSearch& search)
{
    std::unique_ptr<BrowseSearchReader> reader(new BrowseSearchReader);
    reader->m_done = true;
    if (positionCode.isEmpty())
        return reader;
    ValueList types(typeListName());
    DbStatus filled = types.fill(search.typeCodes);
    ValueList formatList(formatListName());
    if (filled.ok() && !search.formats.isEmpty())
        filled = formatList.fill(search.formats);
    if (!filled.ok()) {
        reader->m_error = filled.error;
        return reader;
    }
    // The keys of every row at once (small, and no statement stays open between the steps);
    // the documents themselves step by step.
    RowReader q(searchKeysStatement(search));
    for (const QVariant& v : searchValues(positionCode, search))
        q.bind(v);
    if (!q.exec()) {
        reader->m_error = q.error();
        return reader;
    }
    // The rows of one document follow one another (the order ends on its ID); those under the
    // same right differ in the uploader's name alone and are told apart by their place.
    while (q.next()) {
        BrowseSearchReader::Key key{q.longInteger(KeyColumn::Id), q.flag(KeyColumn::Read), q.flag(KeyColumn::Download),
                                    0};
        for (auto it = reader->m_keys.rbegin(); it != reader->m_keys.rend() && it->id == key.id; ++it) {
            if (it->read == key.read && it->download == key.download) {
                key.holder = quint8(std::min(it->holder + 1, 255));
                break;
            }
        }
        reader->m_keys.push_back(key);
    }
    if (q.error().isSet()) {
        reader->m_error = q.error();
        reader->m_keys.clear();
        return reader;
    }
    reader->m_total = int(reader->m_keys.size());
    reader->m_done = reader->m_keys.empty();
    return reader;
}

DbResult<QVector<BrowseRow>> BrowseDocuments::search(const QString& positionCode, const BrowseSearch& search,
                                                     const BrowseRowSink& sink)
{
    using Result = DbResult<QVector<BrowseRow>>;
    if (positionCode.isEmpty())
        return {};
    RowReader q(searchStatement(search));
    for (const QVariant& v : searchValues(positionCode, search))
        q.bind(v);
    Result result;
    const DbStatus lists = withSearchLists(search, [&] { result = readRows(q, sink); });
    return lists.ok() ? result : Result::failure(lists.error);
}

DbStatus BrowseDocuments::withSearchLists(const BrowseSearch& search, const std::function<void()>& run)
{
    ValueList types(typeListName());
    DbStatus filled = types.fill(search.typeCodes);
    if (!filled.ok())
        return filled;
    ValueList formatList(formatListName());
    if (!search.formats.isEmpty()) {
        filled = formatList.fill(search.formats);
        if (!filled.ok())
            return filled;
    }
    run();
    return {};
}

BrowseRow BrowseDocuments::listedRow(const RowReader& q) { return readRow(q); }

}  // namespace quarvel
