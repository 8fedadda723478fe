#include "reports/ReaderStatistics.h"

#include "db/Query.h"
#include "db/RowReader.h"
#include "reports/CodeKey.h"
#include "reports/DetailColumns.h"

namespace quarvel {
namespace {

QString timeText(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy/MM/dd HH:mm")) : QString();
}

// The joins and conditions of both statements, after the log table's name. The optional parts
// follow AccessStatistics::filterValues, so its values bind here too.
QString filterClause(const StatisticsFilter& f)
{
    QString sql = QStringLiteral(" inner join 员工档案 on 员工档案.工号 = 资料下载记录.工号"
                                 " where 资料下载记录.文件类别 in (select 值 from [#%1])"
                                 " and 资料下载记录.部门 in (select 值 from [#%2])")
                      .arg(ReaderStatistics::typeList(), ReaderStatistics::departmentList());
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

// The columns of a reader's counts.
enum class ReaderColumn {
    EmployeeNo,
    Department,
    Reads,
    Downloads,
    Documents,
    LastAccess,
    Name,
    DepartmentName,
    Count
};
constexpr auto kReaderColumns = columnTable<ReaderColumn>({
    {ReaderColumn::EmployeeNo, u"计数.工号"},
    {ReaderColumn::Department, u"计数.部门"},
    {ReaderColumn::Reads, u"计数.浏览次数"},
    {ReaderColumn::Downloads, u"计数.下载次数"},
    {ReaderColumn::Documents, u"计数.文件数"},
    {ReaderColumn::LastAccess, u"计数.最近访问"},
    {ReaderColumn::Name, u"(select max(员工档案.姓名) from 员工档案 where 员工档案.工号 = 计数.工号) as 姓名"},
    {ReaderColumn::DepartmentName, u"(select max(职能部门new.职能部门名称) from 职能部门new"
                                   u" where 职能部门new.职能部门编号 = 计数.部门) as 职能部门名称"},
});

// The columns of one of a reader's accesses. The reader and his department are the same on
// every row: they are looked up once and bound in as values.
constexpr auto kAccessColumns = columnTable<DetailColumn>({
    {DetailColumn::Number, u"资料下载记录.文件编号"},
    {DetailColumn::Name, u"资料下载记录.文件名称"},
    {DetailColumn::Summary, u"资料下载记录.摘要"},
    {DetailColumn::Department, u"? as 职能部门名称"},
    {DetailColumn::Employee, u"? as 姓名"},
    {DetailColumn::Read, u"资料下载记录.阅读"},
    {DetailColumn::Download, u"资料下载记录.下载"},
    {DetailColumn::Time, u"资料下载记录.操作时间"},
});

}  // namespace

QString ReaderRow::lastAccessText() const { return timeText(lastAccess); }

const QString& ReaderStatistics::typeList()
{
    static const QString name = QStringLiteral("读者类型");
    return name;
}

const QString& ReaderStatistics::departmentList()
{
    static const QString name = QStringLiteral("读者部门");
    return name;
}

QStringList ReaderStatistics::allowedDepartments(const QStringList& codes) const
{
    if (!m_scope)
        return codes;
    QStringList out;
    for (const QString& code : codes) {
        if (codeKey(code) == codeKey(*m_scope))
            out << code;
    }
    return out;
}

// Grouped first, named after: the names join once per reader, not once per access.
QString ReaderStatistics::readersStatement(const StatisticsFilter& filter)
{
    return QStringLiteral("select ") + kReaderColumns.selectList()
           + QStringLiteral(" from (select 资料下载记录.工号, 资料下载记录.部门,"
                            " sum(case when 资料下载记录.阅读 = 1 then 1 else 0 end) as 浏览次数,"
                            " sum(case when 资料下载记录.下载 = 1 then 1 else 0 end) as 下载次数,"
                            " count(distinct 资料下载记录.文件编号) as 文件数,"
                            " max(资料下载记录.操作时间) as 最近访问 from 资料下载记录")
           + filterClause(filter)
           + QStringLiteral(" group by 资料下载记录.工号, 资料下载记录.部门) 计数"
                            " order by 计数.部门, 计数.工号");
}

// The reader and his department are the same on every row: their names are read once, by
// namesStatement(), not joined to every access.
QString ReaderStatistics::detailsStatement(const StatisticsFilter& filter)
{
    return QStringLiteral("select ") + kAccessColumns.selectList() + QStringLiteral(" from 资料下载记录")
           + filterClause(filter)
           + QStringLiteral(" and 资料下载记录.工号 = ? and 资料下载记录.部门 = ? order by 资料下载记录.操作时间");
}

const QString& ReaderStatistics::namesStatement()
{
    static const QString sql = QStringLiteral(
        "select (select max(员工档案.姓名) from 员工档案 where 员工档案.工号 = ?) as 姓名,"
        " (select max(职能部门new.职能部门名称) from 职能部门new where 职能部门new.职能部门编号 = ?) as 职能部门名称");
    return sql;
}

QVector<NamedStatement> ReaderStatistics::statements()
{
    StatisticsFilter lists;
    StatisticsFilter every;
    every.employeeName = every.fileName = QStringLiteral("x");
    every.from = every.to = QDate(2026, 1, 1);
    return {
        {QStringLiteral("readers"), readersStatement(lists)},
        {QStringLiteral("readers with every filter"), readersStatement(every)},
        {QStringLiteral("accesses of a reader"), detailsStatement(lists)},
        {QStringLiteral("accesses of a reader with every filter"), detailsStatement(every)},
        {QStringLiteral("names of a reader and his department"), namesStatement()},
    };
}

DbStatus ReaderStatistics::fillLists(const StatisticsFilter& filter)
{
    if (DbStatus s = m_types.fill(filter.typeCodes); !s.ok())
        return s;
    return m_departments.fill(filter.departmentCodes);
}

DbResult<QVector<ReaderRow>> ReaderStatistics::run(const StatisticsFilter& request)
{
    using Result = DbResult<QVector<ReaderRow>>;
    StatisticsFilter filter = request;
    filter.departmentCodes = allowedDepartments(request.departmentCodes);
    m_stored = filter;
    if (DbStatus s = fillLists(filter); !s.ok())
        return Result::failure(s.error);
    RowReader q(readersStatement(filter));
    for (const QVariant& v : AccessStatistics::filterValues(filter))
        q.bind(v);
    if (!q.exec())
        return Result::failure(q.error());
    using C = ReaderColumn;
    QVector<ReaderRow> rows;
    while (q.next()) {
        ReaderRow r;
        r.employeeNo = q.text(C::EmployeeNo);
        r.departmentCode = q.text(C::Department);
        r.reads = q.longInteger(C::Reads);
        r.downloads = q.longInteger(C::Downloads);
        r.documents = q.longInteger(C::Documents);
        r.lastAccess = q.dateTime(C::LastAccess);
        r.employeeName = q.text(C::Name);
        r.departmentName = q.text(C::DepartmentName);
        rows.append(std::move(r));
    }
    return {std::move(rows), q.error()};
}

DbResult<QVector<DetailRow>> ReaderStatistics::details(const QString& employeeNo, const QString& departmentCode,
                                                       qint64 expectedRows)
{
    using Result = DbResult<QVector<DetailRow>>;
    if (!m_stored)
        return {};
    // The temporary tables live only as long as the connection, which may have been reopened.
    if (DbStatus s = fillLists(*m_stored); !s.ok())
        return Result::failure(s.error);
    QString employee, department;
    {
        Query names(namesStatement());
        names.bind({employeeNo.isNull() ? QStringLiteral("") : employeeNo,
                    departmentCode.isNull() ? QStringLiteral("") : departmentCode});
        if (!names.exec())
            return Result::failure(names.error());
        if (names.next()) {
            employee = names.text(u"姓名");
            department = names.text(u"职能部门名称");
        }
        if (names.error().isSet())
            return Result::failure(names.error());
    }
    RowReader q(detailsStatement(*m_stored));
    q.bind({department, employee});
    for (const QVariant& v : AccessStatistics::filterValues(*m_stored))
        q.bind(v);
    q.bind(employeeNo.isNull() ? QStringLiteral("") : employeeNo);
    q.bind(departmentCode.isNull() ? QStringLiteral("") : departmentCode);
    if (!q.exec())
        return Result::failure(q.error());
    QVector<DetailRow> rows = readDetailRows(q, expectedRows);
    return {std::move(rows), q.error()};
}

CountTotals ReaderStatistics::totals(const QVector<ReaderRow>& rows) { return sumCounts(rows); }

}  // namespace quarvel
