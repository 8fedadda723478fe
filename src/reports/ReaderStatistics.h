#pragma once

// The reads and downloads per reader: under the filters of the access statistics, one row per
// employee and the department he read from, and the single accesses behind one row. Users
// without the special audit right count only their own department's readers, whatever
// departments they pass. No widgets here.

#include "db/DbError.h"
#include "db/NamedStatement.h"
#include "db/ValueList.h"
#include "reports/AccessStatistics.h"

#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

namespace quarvel {

// One reader as counted: the employee and the department of his accesses.
struct ReaderRow {
    QString employeeNo, employeeName;
    QString departmentCode, departmentName;  // name empty when the department is unknown
    qint64 reads = 0;
    qint64 downloads = 0;
    qint64 documents = 0;  // distinct document numbers
    QDateTime lastAccess;

    QString lastAccessText() const;  // "yyyy/MM/dd HH:mm", "" when null
};

class ReaderStatistics {
public:
    // Only this department's readers count (a user without the special audit right); no value:
    // every department passed counts.
    void restrictTo(std::optional<QString> departmentCode) { m_scope = std::move(departmentCode); }
    const std::optional<QString>& scope() const { return m_scope; }

    // The department codes of the filter that the scope lets through, in their order.
    QStringList allowedDepartments(const QStringList& codes) const;

    // Counts per employee and department, ordered by department code and employee number. Only
    // employees in 员工档案 count. The filter becomes the stored filter before the statement
    // runs. Rows read before a failure stay in the value.
    DbResult<QVector<ReaderRow>> run(const StatisticsFilter& filter);

    // The accesses of one reader in one department under the stored filter, oldest first.
    // No stored filter yet: no rows. `expectedRows` (the row's reads and downloads) sizes the
    // list once instead of growing it row by row; it is a hint, not a limit.
    DbResult<QVector<DetailRow>> details(const QString& employeeNo, const QString& departmentCode,
                                         qint64 expectedRows = 0);

    bool hasStoredFilter() const { return m_stored.has_value(); }

    static CountTotals totals(const QVector<ReaderRow>& rows);

    static QString readersStatement(const StatisticsFilter& filter);
    static QString detailsStatement(const StatisticsFilter& filter);
    // The names of one reader and one department ("?" for each code).
    static const QString& namesStatement();
    // The names of the two value lists (types, departments).
    static const QString& typeList();
    static const QString& departmentList();
    static QVector<NamedStatement> statements();

private:
    DbStatus fillLists(const StatisticsFilter& filter);

    std::optional<QString> m_scope;
    std::optional<StatisticsFilter> m_stored;
    ValueList m_types{typeList()};
    ValueList m_departments{departmentList()};
};

}  // namespace quarvel

// Rows move in memory as plain bytes when a list grows.
Q_DECLARE_TYPEINFO(quarvel::ReaderRow, Q_RELOCATABLE_TYPE);
