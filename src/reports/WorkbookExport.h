#pragma once

// Writing a grid into one worksheet of an Office Open XML workbook (.xlsx): a title block, the
// print date, the header row and the table, with the number formats, widths, borders and font
// sizes of the export. An existing workbook keeps its other sheets. The file is written beside
// the target under a temporary name and takes the target's place only when it is complete, so
// a failed or cancelled export leaves the target as it was. No widgets here.

#include "db/DbError.h"

#include <QDate>
#include <QString>
#include <QVector>

#include <functional>

namespace quarvel {

// The grid being exported, as the export reads it: row 0 is the header row.
class ExportSource {
public:
    virtual ~ExportSource() = default;
    virtual int rowCount() const = 0;
    virtual int columnCount() const = 0;
    virtual QString text(int row, int col) const = 0;
    virtual int widthTwips(int col) const = 0;
    // The column's alignment code (0 to 9 as the grid numbers them; 9 general).
    virtual int alignment(int col) const = 0;
};

struct ExportRequest {
    QString path;          // the workbook file
    QString title;         // cell A1
    QString sheetName;     // the worksheet written (compared exactly with existing names)
    QVector<bool> marked;  // per source column: written or skipped
    QDate printDate;       // shown in A3
};

// Error numbers of an export that did not write the workbook: refused or failed (the
// description says why), or cancelled by its progress callback.
inline constexpr int kExportFailed = -1;
inline constexpr int kExportCancelled = -2;
inline bool isExportCancelled(const DbError& error) { return error.number == kExportCancelled; }

// Hears of the work done, done of total: the table's rows written and, for an existing
// workbook, its other sheets read and written again (and, for tables that are not streamed,
// the new workbook read back); returning false cancels the export.
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;

// The address of a cell in letter-number form from a column index counted from 0 and a row
// number: (0, 5) → "A5", (27, 10) → "AB10". Columns up to 155 ("EZ"); beyond, "".
QString RangeNom(int column, int row);

// The number format of a table column: "0.00_ " for right-aligned and general columns
// (alignment code above 5), the text format "@" for the others.
QString numberFormatFor(int alignment);

// Writes the workbook. Fails with a message when no column is marked, when more than 156
// columns are marked, when an existing file cannot be read as a workbook, when the sheet name
// is refused by the workbook writer (invalid, or equal to another sheet's name but for letter
// case), or when the file cannot be written; a cancel by the progress callback fails with
// kExportCancelled. Whatever fails, the target is left as it was.
DbStatus writeWorkbook(const ExportSource& source, const ExportRequest& request, const ExportProgress& progress = {});

}  // namespace quarvel
