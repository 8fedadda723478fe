#pragma once

#include "db/RowReader.h"
#include "reports/AccessStatistics.h"

#include <QVector>

namespace quarvel {

// The columns of one access behind a count, in the order every statement of accesses selects
// them: the statistics' details of a document and the accesses of one reader. Each statement
// has its own ColumnTable over this enum (where a column comes from differs); the layout and
// its reading are one.
enum class DetailColumn { Number, Name, Summary, Department, Employee, Read, Download, Time, Count };

// Every row of `q`, an executed statement whose select list follows DetailColumn. A department
// or reader repeated row after row is built once and shared.
inline QVector<DetailRow> readDetailRows(RowReader& q, qint64 expectedRows = 0)
{
    QVector<DetailRow> rows;
    rows.reserve(RowReader::rowsToReserve(expectedRows));
    QString department, employee;
    using C = DetailColumn;
    while (q.next()) {
        DetailRow& r = rows.emplace_back();
        r.number = q.text(C::Number);
        r.name = q.text(C::Name);
        r.summary = q.text(C::Summary);
        q.changed(C::Department, department);
        r.department = department;
        q.changed(C::Employee, employee);
        r.employee = employee;
        r.read = q.text(C::Read);
        r.download = q.text(C::Download);
        r.time = q.dateTime(C::Time);
    }
    return rows;
}

}  // namespace quarvel
