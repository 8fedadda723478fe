#include "reports/EffectiveRights.h"

#include "db/Query.h"
#include "db/RowReader.h"
#include "reports/CodeKey.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <functional>

namespace quarvel {
namespace {

// The grantor's name, by his number.
constexpr const char16_t* kGrantorColumn =
    u"(select max(员工档案.姓名) from 员工档案 where 员工档案.工号 = 资料下载权限.CzyID) as 授权人姓名";
const QString kGrantor = u' ' + QString::fromUtf16(kGrantorColumn);

// The columns of a position's rights; the position itself is read once, apart.
enum class PositionRightColumn {
    Id,
    DocumentNumber,
    Read,
    Download,
    GrantedAt,
    GrantorNumber,
    GrantorName,
    DocumentName,
    TypeCode,
    TypeName,
    Count
};
constexpr auto kPositionRightColumns = columnTable<PositionRightColumn>({
    {PositionRightColumn::Id, u"资料下载权限.ID"},
    {PositionRightColumn::DocumentNumber, u"资料下载权限.文件编号"},
    {PositionRightColumn::Read, u"资料下载权限.查阅"},
    {PositionRightColumn::Download, u"资料下载权限.下载"},
    {PositionRightColumn::GrantedAt, u"资料下载权限.updatedate"},
    {PositionRightColumn::GrantorNumber, u"资料下载权限.CzyID"},
    {PositionRightColumn::GrantorName, kGrantorColumn},
    {PositionRightColumn::DocumentName, u"公司文件信息.文件名称"},
    {PositionRightColumn::TypeCode, u"公司文件信息.文件类别"},
    {PositionRightColumn::TypeName, u"资料类型.名称 as 类别名称"},
});

// The single column of a count.
enum class CountColumn { Rows, Reads, Downloads, Count };

// Grantors remembered while a position's rights are read (administrators are few).
constexpr qsizetype kGrantorsKept = 64;

QString orEmpty(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

QString joined(const QStringList& items) { return items.join(QStringLiteral("、")); }

// The columns every rights statement reads; the position's columns only when `withPosition`.
// The grantor's number, followed by his name when he has one.
QString grantor(const QString& number, const QString& name) { return name.isEmpty() ? number : number + u' ' + name; }

ExplainedRight readRight(const Query& q, bool withPosition)
{
    ExplainedRight r;
    r.id = q.longInteger(u"ID");
    r.documentNumber = q.text(u"文件编号");
    if (withPosition) {
        r.departmentCode = q.text(u"部门编号");
        r.departmentName = q.text(u"部门名称");
        r.positionCode = q.text(u"岗位代号");
        r.positionName = q.text(u"岗位名称");
    }
    r.read = q.flag(u"查阅");
    r.download = q.flag(u"下载");
    r.grantedAt = q.text(u"updatedate");
    r.grantedBy = grantor(q.text(u"CzyID"), q.text(u"授权人姓名"));
    return r;
}

// Runs a statement of (position code, text) rows and collects the texts per position.
DbError collect(Query& q, QHash<QString, QStringList>& out, QStringView code, const std::function<QString()>& text)
{
    if (!q.exec())
        return q.error();
    while (q.next())
        out[codeKey(q.text(code))] << text();
    return q.error();
}

QString grantSentence(const ExplainedRight& r)
{
    QString s = QStringLiteral("岗位 %1 %2（%3）%4：权限表第 %5 行直接授予该岗位")
                    .arg(r.positionCode, r.positionName, r.departmentName, r.rightsText(), QString::number(r.id));
    if (!r.grantedAt.trimmed().isEmpty() || !r.grantedBy.trimmed().isEmpty())
        s += QStringLiteral("（%1 由 %2 授予）").arg(r.grantedAt.trimmed(), r.grantedBy.trimmed());
    s += QStringLiteral("。");
    if (!r.groups.isEmpty())
        s += QStringLiteral("该岗位属于下载组 %1；权限表不记录授予来源，按组授予的权限同样记作授予该岗位。")
                 .arg(joined(r.groups));
    return s;
}

}  // namespace

QString ExplainedRight::rightsText() const
{
    if (read && download)
        return QStringLiteral("可查阅、可下载");
    if (read)
        return QStringLiteral("只可查阅");
    if (download)
        return QStringLiteral("只可下载（不可在线查阅）");
    return QStringLiteral("无查阅和下载权限");
}

// The first "?" is the document's type code (whether the position may upload to it), the
// second the document number, then the position and the department when asked for.
QString EffectiveRights::documentRightsStatement(bool onePosition, bool scoped)
{
    return QStringLiteral("select 资料下载权限.ID, 资料下载权限.文件编号, 资料下载权限.部门编号, 资料下载权限.部门名称,"
                          " 资料下载权限.岗位代号, 资料下载权限.岗位名称, 资料下载权限.查阅, 资料下载权限.下载,"
                          " 资料下载权限.updatedate, 资料下载权限.CzyID,"
                          " case when exists (select 1 from 资料上传权限 where 资料上传权限.文件编号 = ?"
                          " and 资料上传权限.岗位代号 = 资料下载权限.岗位代号) then 1 else 0 end as 可上传,")
           + kGrantor + QStringLiteral(" from 资料下载权限 where 资料下载权限.文件编号 = ?")
           + (onePosition ? QStringLiteral(" and 资料下载权限.岗位代号 = ?") : QString())
           + (scoped ? QStringLiteral(" and 资料下载权限.部门编号 = ?") : QString())
           + QStringLiteral(" order by 资料下载权限.ID");
}

QString EffectiveRights::documentGroupsStatement()
{
    return QStringLiteral("select 资料下载组详细.岗位代号, 资料下载组.组ID, 资料下载组.组名称 from 资料下载组详细"
                          " inner join 资料下载组 on 资料下载组.组ID = 资料下载组详细.组id"
                          " where 资料下载组详细.岗位代号 in (select 资料下载权限.岗位代号 from 资料下载权限"
                          " where 资料下载权限.文件编号 = ?) or 资料下载组详细.岗位代号 = ?"
                          " order by 资料下载组详细.ID");
}

QString EffectiveRights::positionStatement()
{
    return QStringLiteral("select 岗位信息new.岗位代号, 岗位信息new.岗位名称, 岗位信息new.职能部门代号,"
                          " 职能部门new.职能部门名称 from 岗位信息new"
                          " left join 职能部门new on 职能部门new.职能部门编号 = 岗位信息new.职能部门代号"
                          " where 岗位信息new.岗位代号 = ?");
}

// The position is the same on every row: its code, name and department come from
// positionStatement().
QString EffectiveRights::positionRightsStatement()
{
    return QStringLiteral("select ") + kPositionRightColumns.selectList()
           + QStringLiteral(" from 资料下载权限"
                            " left join 公司文件信息 on 公司文件信息.编号 = 资料下载权限.文件编号"
                            " left join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别"
                            " where 资料下载权限.岗位代号 = ? order by 资料下载权限.文件编号, 资料下载权限.ID");
}

QString EffectiveRights::positionRightsCountStatement()
{
    return QStringLiteral("select count(*), sum(case when 资料下载权限.查阅 = 1 then 1 else 0 end), "
                          "sum(case when 资料下载权限.下载 = 1 then 1 else 0 end) "
                          "from 资料下载权限 where 资料下载权限.岗位代号 = ?");
}

QString EffectiveRights::positionGroupsStatement()
{
    return QStringLiteral("select 资料下载组.组ID, 资料下载组.组名称 from 资料下载组详细"
                          " inner join 资料下载组 on 资料下载组.组ID = 资料下载组详细.组id"
                          " where 资料下载组详细.岗位代号 = ? order by 资料下载组详细.ID");
}

QString EffectiveRights::positionUploadStatement()
{
    return QStringLiteral("select distinct 资料上传权限.文件编号, 资料类型.名称 from 资料上传权限"
                          " left join 资料类型 on 资料类型.编号 = 资料上传权限.文件编号"
                          " where 资料上传权限.岗位代号 = ? order by 资料上传权限.文件编号");
}

QVector<NamedStatement> EffectiveRights::statements()
{
    return {
        {QStringLiteral("rights of a document"), documentRightsStatement(false, false)},
        {QStringLiteral("rights of a document for one position"), documentRightsStatement(true, false)},
        {QStringLiteral("rights of a document in one department"), documentRightsStatement(false, true)},
        {QStringLiteral("download groups of the positions granted a document"), documentGroupsStatement()},
        {QStringLiteral("position with its department"), positionStatement()},
        {QStringLiteral("rights of a position"), positionRightsStatement()},
        {QStringLiteral("count of a position's rights"), positionRightsCountStatement()},
        {QStringLiteral("download groups of a position"), positionGroupsStatement()},
        {QStringLiteral("types a position may upload to"), positionUploadStatement()},
    };
}

DbResult<DocumentExplanation> EffectiveRights::forDocument(const QString& documentNumber,
                                                           const std::optional<QString>& positionCode) const
{
    using Result = DbResult<DocumentExplanation>;
    DocumentExplanation e;
    e.position = positionCode;
    const QString number = orEmpty(documentNumber);
    const DbResult<QVector<FoundDocument>> doc = DocumentLookup::byNumber(number);
    if (!doc.ok())
        return Result::failure(doc.error);
    if (doc.value.isEmpty())
        return {std::move(e), {}};
    e.found = true;
    e.document = doc.value.constFirst();

    {
        Query q(documentRightsStatement(positionCode.has_value(), m_scope.has_value()));
        q.bind(orEmpty(e.document.typeCode));
        q.bind(number);
        if (positionCode)
            q.bind(orEmpty(*positionCode));
        if (m_scope)
            q.bind(orEmpty(*m_scope));
        if (!q.exec())
            return Result::failure(q.error());
        while (q.next()) {
            ExplainedRight r = readRight(q, true);
            r.mayUploadType = q.integer(u"可上传") != 0;
            r.documentName = e.document.name;
            r.typeCode = e.document.typeCode;
            r.typeName = e.document.typeName;
            e.rows.append(std::move(r));
        }
        if (q.error().isSet())
            return Result::failure(q.error());
    }

    QHash<QString, QStringList> groups;
    {
        Query q(documentGroupsStatement());
        q.bind({number, orEmpty(positionCode.value_or(QString()))});
        if (const DbError failed = collect(q, groups, u"岗位代号",
                                           [&q] { return q.text(u"组ID") + u' ' + q.text(u"组名称"); });
            failed.isSet())
            return Result::failure(failed);
    }
    for (ExplainedRight& r : e.rows) {
        r.groups = groups.value(codeKey(r.positionCode));
    }
    if (positionCode) {
        e.positionGroups = groups.value(codeKey(*positionCode));
        Query q(positionStatement());
        q.bind(orEmpty(*positionCode));
        if (q.exec() && q.next())
            e.positionName = q.text(u"岗位名称");
        if (q.error().isSet())
            return Result::failure(q.error());
    }
    return {std::move(e), {}};
}

// The rows of a position's rights as they are read. Many rows share a type and a grantor: each
// is kept once (the row before's is tried first, read without building its text), and whether
// the position may upload to a type is decided once. The position, its department and its
// groups are the explanation's own, not repeated on every row.
struct PositionRightsReader::State {
    struct TypeSeen {
        QString code, name;
        bool mayUpload = false;
    };
    struct GrantorSeen {
        QString number, name, text;
    };
    explicit State(const QString& sql) : query(sql) {}
    RowReader query;
    QSet<QString> uploadable;
    QHash<QString, TypeSeen> types;
    TypeSeen lastType;
    QString typeCode, typeName;
    // Rights granted together (to a group, or in one sitting) share their time.
    QString grantedAt;
    QVector<GrantorSeen> grantors;
};

PositionRightsReader::PositionRightsReader() = default;
PositionRightsReader::~PositionRightsReader() = default;

bool PositionRightsReader::advance()
{
    if (m_done || !m_state)
        return false;
    if (m_state->query.next())
        return true;
    m_done = true;
    m_error = m_state->query.error();
    m_state.reset();  // the statement ends now, not when the reader goes
    return false;
}

void PositionRightsReader::fill(ExplainedRight& r)
{
    using C = PositionRightColumn;
    State& s = *m_state;
    RowReader& q = s.query;
    r.id = q.longInteger(C::Id);
    r.documentNumber = q.text(C::DocumentNumber);
    r.read = q.flag(C::Read);
    r.download = q.flag(C::Download);
    q.changed(C::GrantedAt, s.grantedAt);
    r.grantedAt = s.grantedAt;
    const auto by = std::find_if(s.grantors.cbegin(), s.grantors.cend(), [&q](const State::GrantorSeen& g) {
        return q.equals(C::GrantorNumber, g.number) && q.equals(C::GrantorName, g.name);
    });
    if (by != s.grantors.cend()) {
        r.grantedBy = by->text;
    } else {
        State::GrantorSeen g{q.text(C::GrantorNumber), q.text(C::GrantorName), {}};
        g.text = r.grantedBy = grantor(g.number, g.name);
        if (s.grantors.size() < kGrantorsKept)
            s.grantors.append(std::move(g));
    }
    r.documentName = q.text(C::DocumentName);
    const bool otherCode = q.changed(C::TypeCode, s.typeCode);
    const bool otherName = q.changed(C::TypeName, s.typeName);
    if (otherCode || otherName) {
        auto type = s.types.constFind(s.typeCode);
        if (type == s.types.constEnd() || type->name != s.typeName)
            type = s.types.insert(s.typeCode, {s.typeCode, s.typeName, s.uploadable.contains(codeKey(s.typeCode))});
        s.lastType = *type;
    }
    r.typeCode = s.lastType.code;
    r.typeName = s.lastType.name;
    r.mayUploadType = s.lastType.mayUpload;
}

bool PositionRightsReader::read(int count, const std::function<void(ExplainedRight&)>& sink)
{
    for (int n = 0; n < count; ++n) {
        if (!advance())
            return false;
        ExplainedRight r;
        fill(r);
        sink(r);
    }
    return !m_done;
}

bool PositionRightsReader::read(int count, QVector<ExplainedRight>& into)
{
    for (int n = 0; n < count; ++n) {
        if (!advance())
            return false;
        fill(into.emplaceBack());
    }
    return !m_done;
}

DbResult<PositionRights> EffectiveRights::openPosition(const QString& positionCode) const
{
    using Result = DbResult<PositionRights>;
    PositionRights out;
    PositionExplanation& e = out.explanation;
    const QString code = orEmpty(positionCode);
    {
        Query q(positionStatement());
        q.bind(code);
        if (!q.exec())
            return Result::failure(q.error());
        if (q.next()) {
            e.found = true;
            e.code = q.text(u"岗位代号");
            e.name = q.text(u"岗位名称");
            e.departmentCode = q.text(u"职能部门代号");
            e.departmentName = q.text(u"职能部门名称");
        }
        if (q.error().isSet())
            return Result::failure(q.error());
    }
    if (!e.found)
        return {std::move(out), {}};
    if (m_scope && codeKey(e.departmentCode) != codeKey(*m_scope)) {
        e.outsideScope = true;
        return {std::move(out), {}};
    }
    {
        Query q(positionGroupsStatement());
        q.bind(code);
        if (!q.exec())
            return Result::failure(q.error());
        while (q.next())
            e.groups << q.text(u"组ID") + u' ' + q.text(u"组名称");
        if (q.error().isSet())
            return Result::failure(q.error());
    }
    {
        Query q(positionUploadStatement());
        q.bind(code);
        if (!q.exec())
            return Result::failure(q.error());
        while (q.next())
            e.uploadTypes << (q.text(u"文件编号") + u' ' + q.text(u"名称")).trimmed();
        if (q.error().isSet())
            return Result::failure(q.error());
    }
    {
        RowReader q(positionRightsCountStatement());
        q.bind(code);
        if (!q.exec())
            return Result::failure(q.error());
        if (q.next()) {
            e.rightRows = q.integer(CountColumn::Rows);
            e.readRows = q.integer(CountColumn::Reads);
            e.downloadRows = q.integer(CountColumn::Downloads);
        }
        if (q.error().isSet())
            return Result::failure(q.error());
    }
    out.rows.reset(new PositionRightsReader);
    out.rows->m_total = e.rightRows;
    auto state = std::make_unique<PositionRightsReader::State>(positionRightsStatement());
    for (const QString& t : std::as_const(e.uploadTypes))
        state->uploadable.insert(codeKey(t.section(u' ', 0, 0)));
    state->query.bind(code);
    if (!state->query.exec())
        return Result::failure(state->query.error());
    out.rows->m_state = std::move(state);
    return {std::move(out), {}};
}

DbResult<PositionExplanation> EffectiveRights::forPosition(const QString& positionCode) const
{
    using Result = DbResult<PositionExplanation>;
    DbResult<PositionRights> opened = openPosition(positionCode);
    if (!opened.ok())
        return Result::failure(opened.error);
    PositionExplanation& e = opened.value.explanation;
    if (!opened.value.rows)
        return {std::move(e), {}};
    // A position may hold rights on every document: the list is sized once from the count of
    // its rows, not grown row by row.
    e.rows.reserve(RowReader::rowsToReserve(e.rightRows));
    PositionRightsReader& rows = *opened.value.rows;
    while (rows.read(4096, e.rows)) {
    }
    return {std::move(e), rows.error()};
}

QStringList EffectiveRights::sentences(const DocumentExplanation& e)
{
    QStringList out;
    if (!e.found)
        return {QStringLiteral("找不到这份资料。")};
    const QString doc = QStringLiteral("资料 %1 %2").arg(e.document.number, e.document.name);
    if (e.position) {
        const QString position = (*e.position + u' ' + e.positionName).trimmed();
        bool read = false, download = false;
        for (const ExplainedRight& r : e.rows) {
            read = read || r.read;
            download = download || r.download;
        }
        if (e.rows.isEmpty()) {
            out << QStringLiteral("岗位 %1 对%2没有权限记录，因此在“公司资料查阅”中既看不到也不能下载它。")
                       .arg(position, doc);
        } else {
            ExplainedRight summary;
            summary.read = read;
            summary.download = download;
            out << QStringLiteral("岗位 %1 对%2%3。").arg(position, doc, summary.rightsText());
            for (const ExplainedRight& r : e.rows)
                out << grantSentence(r);
            if (e.rows.constFirst().mayUploadType)
                out << QStringLiteral("该岗位还可向此资料的类别 %1 %2 上传资料。")
                           .arg(e.document.typeCode, e.document.typeName);
            if (e.rows.size() > 1)
                out << QStringLiteral("该岗位有 %1 行权限记录，任一行允许即可。").arg(e.rows.size());
        }
        if (e.rows.isEmpty() && !e.positionGroups.isEmpty())
            out << QStringLiteral(
                       "该岗位属于下载组 %1，但属于下载组本身不授予权限：只有按组授予时写入权限表的行才起作用。")
                       .arg(joined(e.positionGroups));
        return out;
    }
    int readers = 0, downloaders = 0;
    for (const ExplainedRight& r : e.rows) {
        readers += r.read ? 1 : 0;
        downloaders += r.download ? 1 : 0;
    }
    if (e.rows.isEmpty()) {
        out << QStringLiteral("%1没有权限记录：任何岗位都不能在“公司资料查阅”中查阅或下载它。").arg(doc);
        return out;
    }
    out << QStringLiteral("%1（类别 %2 %3）共有 %4 行权限记录：可查阅的 %5 行，可下载的 %6 行。")
               .arg(doc, e.document.typeCode, e.document.typeName, QString::number(e.rows.size()),
                    QString::number(readers), QString::number(downloaders));
    for (const ExplainedRight& r : e.rows)
        out << grantSentence(r);
    return out;
}

QStringList EffectiveRights::sentences(const PositionExplanation& e)
{
    if (!e.found)
        return {QStringLiteral("找不到这个岗位。")};
    const QString position = QStringLiteral("岗位 %1 %2（%3）").arg(e.code, e.name, e.departmentName);
    if (e.outsideScope)
        return {position + QStringLiteral("不属于本部门，不能查看它的权限。")};
    QStringList out;
    if (e.rightRows == 0)
        out << position + QStringLiteral("没有任何资料的查阅或下载权限。");
    else
        out << position
                   + QStringLiteral("在 %1 行权限记录中：可查阅 %2 行，可下载 %3 行；每一行都直接授予该岗位。")
                         .arg(QString::number(e.rightRows), QString::number(e.readRows),
                              QString::number(e.downloadRows));
    if (e.groups.isEmpty())
        out << QStringLiteral("该岗位不属于任何下载组。");
    else
        out << QStringLiteral("该岗位属于下载组 %1；权限表不记录授予来源，按组授予的权限同样记作授予该岗位。")
                   .arg(joined(e.groups));
    if (e.uploadTypes.isEmpty())
        out << QStringLiteral("该岗位不能上传资料。");
    else
        out << QStringLiteral("该岗位可上传到 %1 个资料类别：%2。")
                   .arg(QString::number(e.uploadTypes.size()), joined(e.uploadTypes));
    return out;
}

}  // namespace quarvel
