#pragma once

// The statements of the access statistics: who may count which departments, the counts of reads
// and downloads per document under the chosen filters, and the single accesses behind one
// count. No widgets here; every operation returns its rows or a DbError.

#include "db/DbError.h"
#include "db/SqlDialect.h"
#include "db/ValueList.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace quarvel {

// The filter panel as the user left it. Codes are in tree order.
struct StatisticsRequest {
    QStringList departmentCodes;
    QStringList typeCodes;
    bool byDate = false;
    QDate from, to;  // first and last day, both included
    bool byFileName = false;
    QString fileName;  // part of the document name
    bool byEmployee = false;
    QString employeeName;  // part of the reader's name
};

// The first reason, in the order the checks are made, why a request cannot run.
enum class RequestProblem { None, NoDepartment, NoType, DateOrder, NoFileName, NoEmployeeName };

// The filter of a run: the request checked, its texts trimmed and the switched-off parts gone.
struct StatisticsFilter {
    QStringList departmentCodes;
    QStringList typeCodes;
    std::optional<QString> employeeName;  // matched anywhere; "%" and "_" act as wildcards
    std::optional<QString> fileName;      // likewise
    std::optional<QDate> from, to;        // 操作时间 >= from and < to + 1 day
};

// One counted document (one number, name and summary as logged).
struct StatisticsRow {
    QString number, name, summary;
    qint64 reads = 0;
    qint64 downloads = 0;
};

// One access behind a count.
struct DetailRow {
    QString number, name, summary;
    QString department;  // empty when the department is unknown
    QString employee;
    QString read, download;  // as stored
    QDateTime time;

    QString timeText() const;  // "yyyy/MM/dd HH:mm", "" when null
};

// Sums of a result, as the totals rows show them.
struct CountTotals {
    double reads = 0;
    double downloads = 0;
};

// The sums of rows that carry their counts as `reads` and `downloads`.
template <typename Rows>
CountTotals sumCounts(const Rows& rows)
{
    CountTotals t;
    for (const auto& r : rows) {
        t.reads += double(r.reads);
        t.downloads += double(r.downloads);
    }
    return t;
}

// The number at the start of a text ("12" → 12, "3abc" → 3, "x" → 0), as a cell's text
// counts towards a total.
double leadingNumber(const QString& text);

// The code of a tree node's text: the text up to its first blank, trimmed.
QString codeOfNodeText(const QString& text);

class AccessStatistics {
public:
    // The check of the request, in order: departments, types, date order, file name, employee.
    static RequestProblem check(const StatisticsRequest& request);
    // The request as a filter; check() first.
    static StatisticsFilter filterOf(const StatisticsRequest& request);

    // True when the department and position hold the special audit right (a row of
    // 专项审核权限表 with 类型 "公司Quarvel"), which lets the user count every department.
    static DbResult<bool> holdsSpecialAudit(const QString& deptCode, const QString& positionCode);

    // Counts the reads and downloads per document number, name and summary under the filter,
    // ordered by number, name and summary. Only accesses of employees in 员工档案 count. The
    // filter becomes the stored filter before the statement runs, whatever its outcome. Rows
    // read before a failure stay in the value.
    DbResult<QVector<StatisticsRow>> run(const StatisticsFilter& filter);

    // The accesses of one document number under the stored filter, ordered by time; those of
    // unknown departments too (with an empty department name). No stored filter yet: no rows.
    DbResult<QVector<DetailRow>> details(const QString& documentNumber);

    bool hasStoredFilter() const { return m_stored.has_value(); }
    const std::optional<StatisticsFilter>& storedFilter() const { return m_stored; }

    static CountTotals totals(const QVector<StatisticsRow>& rows);
    static CountTotals totals(const QVector<DetailRow>& rows);

    // The statements for this filter in T-SQL form; the ticked types and departments are read
    // from the value lists typeList() and departmentList().
    static QString statisticsStatement(const StatisticsFilter& filter);
    static QString detailsStatement(const StatisticsFilter& filter);
    static const QString& specialAuditStatement();
    // The values bound to the filter's "?" placeholders, in order (the details bind the
    // document number after them).
    static QVariantList filterValues(const StatisticsFilter& filter);
    // The names of the two value lists (departments, types).
    static const QString& departmentList();
    static const QString& typeList();

private:
    DbStatus fillLists(const StatisticsFilter& filter);

    std::optional<StatisticsFilter> m_stored;
    ValueList m_types{typeList()};
    ValueList m_departments{departmentList()};
};

}  // namespace quarvel

// Moved in memory as a whole when a long list grows.
Q_DECLARE_TYPEINFO(quarvel::StatisticsRow, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(quarvel::DetailRow, Q_RELOCATABLE_TYPE);
