#include "reports/AccessStatistics.h"
#include "db/SqlDialect.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "db/RowReader.h"
#include "reports/DetailColumns.h"

namespace quarvel {
namespace {

const QString kSpecialAuditType = QStringLiteral("公司Quarvel");

// The joins and conditions shared by the counts and the details: everything after the log
// table's name up to the grouping.
QString filterClause(const StatisticsFilter& f)
{
    QString sql = QStringLiteral(" inner join 员工档案 on 员工档案.工号 = 资料下载记录.工号"
                                 " where 资料下载记录.文件类别 in (select 值 from [#%1])"
                                 " and 资料下载记录.部门 in (select 值 from [#%2])")
                      .arg(AccessStatistics::typeList(), AccessStatistics::departmentList());
    // The reader's name is tested on the log's entry first, against the employees it matches,
    // so that only a matching entry looks its reader up; the test on the joined row stays, so
    // that a number held by several employees counts exactly as it did.
    if (f.employeeName)
        sql += QStringLiteral(
            " and 资料下载记录.工号 in (select 员工档案.工号 from 员工档案 where 员工档案.姓名 like ?)"
            " and 员工档案.姓名 like ?");
    if (f.fileName)
        sql += QStringLiteral(" and 资料下载记录.文件名称 like ?");
    if (f.from)
        sql += QStringLiteral(" and 资料下载记录.操作时间 >= ?");
    if (f.to)
        sql += QStringLiteral(" and 资料下载记录.操作时间 < ?");
    return sql;
}

QVariant likePattern(const QString& text) { return dialect::containsPattern(text); }

}  // namespace

QString DetailRow::timeText() const
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy/MM/dd HH:mm")) : QString();
}

double leadingNumber(const QString& text)
{
    // Blanks, then an optional sign, digits, an optional fraction and exponent.
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    const qsizetype start = i;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9')
        ++i;
    if (i < n && text.at(i) == u'.') {
        ++i;
        while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9')
            ++i;
    }
    if (i == digitsStart || (i == digitsStart + 1 && text.at(digitsStart) == u'.'))
        return 0;
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == u'+' || text.at(j) == u'-'))
            ++j;
        const qsizetype expStart = j;
        while (j < n && text.at(j) >= u'0' && text.at(j) <= u'9')
            ++j;
        if (j > expStart)
            i = j;
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0;
}

QString codeOfNodeText(const QString& text)
{
    const qsizetype blank = text.indexOf(u' ');
    return (blank < 0 ? text : text.left(blank)).trimmed();
}

const QString& AccessStatistics::departmentList()
{
    static const QString name = QStringLiteral("统计部门");
    return name;
}

const QString& AccessStatistics::typeList()
{
    static const QString name = QStringLiteral("统计类型");
    return name;
}

RequestProblem AccessStatistics::check(const StatisticsRequest& r)
{
    if (r.departmentCodes.isEmpty())
        return RequestProblem::NoDepartment;
    if (r.typeCodes.isEmpty())
        return RequestProblem::NoType;
    if (r.byDate && r.from > r.to)
        return RequestProblem::DateOrder;
    if (r.byFileName && r.fileName.trimmed().isEmpty())
        return RequestProblem::NoFileName;
    if (r.byEmployee && r.employeeName.trimmed().isEmpty())
        return RequestProblem::NoEmployeeName;
    return RequestProblem::None;
}

StatisticsFilter AccessStatistics::filterOf(const StatisticsRequest& r)
{
    StatisticsFilter f;
    f.departmentCodes = r.departmentCodes;
    f.typeCodes = r.typeCodes;
    if (r.byEmployee)
        f.employeeName = r.employeeName.trimmed();
    if (r.byFileName)
        f.fileName = r.fileName.trimmed();
    if (r.byDate) {
        f.from = r.from;
        f.to = r.to;
    }
    return f;
}

const QString& AccessStatistics::specialAuditStatement()
{
    static const QString sql =
        QStringLiteral("select top 1 类型 from 专项审核权限表 where 类型 = ? and 部门代号 = ? and 岗位代号 = ?");
    return sql;
}

DbResult<bool> AccessStatistics::holdsSpecialAudit(const QString& deptCode, const QString& positionCode)
{
    Query q(specialAuditStatement());
    q.bind({kSpecialAuditType, deptCode.isNull() ? QStringLiteral("") : deptCode,
            positionCode.isNull() ? QStringLiteral("") : positionCode});
    if (!q.exec())
        return DbResult<bool>::failure(q.error());
    const bool found = q.next();
    if (q.error().isSet())
        return DbResult<bool>::failure(q.error());
    return {found, {}};
}

namespace {

// The columns of a document's counts.
enum class CountsColumn { Number, Name, Summary, Reads, Downloads, Count };
constexpr auto kCountsColumns = columnTable<CountsColumn>({
    {CountsColumn::Number, u"资料下载记录.文件编号"},
    {CountsColumn::Name, u"资料下载记录.文件名称"},
    {CountsColumn::Summary, u"资料下载记录.摘要"},
    {CountsColumn::Reads, u"sum(case when 资料下载记录.阅读 = 1 then 1 else 0 end) as 浏览次数"},
    {CountsColumn::Downloads, u"sum(case when 资料下载记录.下载 = 1 then 1 else 0 end) as 下载次数"},
});

// The columns of one access to a document.
constexpr auto kDetailColumns = columnTable<DetailColumn>({
    {DetailColumn::Number, u"资料下载记录.文件编号"},
    {DetailColumn::Name, u"资料下载记录.文件名称"},
    {DetailColumn::Summary, u"资料下载记录.摘要"},
    {DetailColumn::Department, u"职能部门new.职能部门名称"},
    {DetailColumn::Employee, u"员工档案.姓名"},
    {DetailColumn::Read, u"资料下载记录.阅读"},
    {DetailColumn::Download, u"资料下载记录.下载"},
    {DetailColumn::Time, u"资料下载记录.操作时间"},
});

}  // namespace

QString AccessStatistics::statisticsStatement(const StatisticsFilter& filter)
{
    return QStringLiteral("select ") + kCountsColumns.selectList() + QStringLiteral(" from 资料下载记录")
           + filterClause(filter)
           + QStringLiteral(" group by 资料下载记录.文件编号, 资料下载记录.文件名称, 资料下载记录.摘要"
                            " order by 资料下载记录.文件编号, 资料下载记录.文件名称, 资料下载记录.摘要");
}

QString AccessStatistics::detailsStatement(const StatisticsFilter& filter)
{
    return QStringLiteral("select ") + kDetailColumns.selectList()
           + QStringLiteral(" from 资料下载记录"
                            " left join 职能部门new on 职能部门new.职能部门编号 = 资料下载记录.部门")
           + filterClause(filter) + QStringLiteral(" and 资料下载记录.文件编号 = ? order by 资料下载记录.操作时间");
}

QVariantList AccessStatistics::filterValues(const StatisticsFilter& f)
{
    QVariantList values;
    if (f.employeeName)
        values << likePattern(*f.employeeName) << likePattern(*f.employeeName);
    if (f.fileName)
        values << likePattern(*f.fileName);
    if (f.from)
        values << QVariant(*f.from);
    if (f.to)
        values << QVariant(f.to->addDays(1));
    return values;
}

DbStatus AccessStatistics::fillLists(const StatisticsFilter& filter)
{
    if (DbStatus s = m_types.fill(filter.typeCodes); !s.ok())
        return s;
    return m_departments.fill(filter.departmentCodes);
}

DbResult<QVector<StatisticsRow>> AccessStatistics::run(const StatisticsFilter& filter)
{
    using Result = DbResult<QVector<StatisticsRow>>;
    m_stored = filter;
    if (DbStatus s = fillLists(filter); !s.ok())
        return Result::failure(s.error);
    RowReader q(statisticsStatement(filter));
    for (const QVariant& v : filterValues(filter))
        q.bind(v);
    if (!q.exec())
        return Result::failure(q.error());
    using C = CountsColumn;
    QVector<StatisticsRow> rows;
    while (q.next())
        rows.append(StatisticsRow{q.text(C::Number), q.text(C::Name), q.text(C::Summary), q.longInteger(C::Reads),
                                  q.longInteger(C::Downloads)});
    return {std::move(rows), q.error()};
}

DbResult<QVector<DetailRow>> AccessStatistics::details(const QString& documentNumber)
{
    using Result = DbResult<QVector<DetailRow>>;
    if (!m_stored)
        return {};
    if (!m_types.isCurrent() || !m_departments.isCurrent()) {
        if (DbStatus s = fillLists(*m_stored); !s.ok())
            return Result::failure(s.error);
    }
    RowReader q(detailsStatement(*m_stored));
    for (const QVariant& v : filterValues(*m_stored))
        q.bind(v);
    q.bind(documentNumber);
    if (!q.exec()) {
        // A connection closed and opened again has lost its temporary tables: fill them anew
        // and try once more.
        if (!fillLists(*m_stored).ok() || !q.exec())
            return Result::failure(q.error());
    }
    QVector<DetailRow> rows = readDetailRows(q);
    return {std::move(rows), q.error()};
}

CountTotals AccessStatistics::totals(const QVector<StatisticsRow>& rows) { return sumCounts(rows); }

CountTotals AccessStatistics::totals(const QVector<DetailRow>& rows)
{
    CountTotals t;
    for (const DetailRow& r : rows) {
        t.reads += leadingNumber(r.read);
        t.downloads += leadingNumber(r.download);
    }
    return t;
}

}  // namespace quarvel
