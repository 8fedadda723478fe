#pragma once

// The zip package of an Office Open XML workbook (.xlsx), amended without being rebuilt: a new
// worksheet (written by the workbook writer into a package of its own) is spliced into an
// existing workbook. Every part the splice does not change is copied byte for byte, still
// compressed; only the workbook part, its relationships, the content types, the styles (the new
// sheet's formats appended, none renumbered), the application properties that list the sheets
// and the target sheet's own part are written anew. Nothing of another sheet is parsed, and
// what is parsed is read within fixed limits. No widgets here.

#include "db/DbError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace quarvel::xlsx {

// What is read from a package that comes from outside, at most.
struct PackageLimits {
    qint64 entries = 20000;               // entries in the package
    qint64 partBytes = 32 * 1024 * 1024;  // one part unpacked (workbook, relationships, styles, ...)
    int depth = 64;                       // nesting of XML elements
};

// Hears of the work done and the whole work, in bytes; false cancels.
using PackageProgress = std::function<bool(qint64 done, qint64 total)>;

// Error numbers: the package was refused or could not be written (the description says why
// in words), or the progress callback cancelled.
inline constexpr int kPackageFailed = -1;
inline constexpr int kPackageCancelled = -2;

struct SpliceRequest {
    QString existing;  // the workbook amended (read only)
    QString sheet;     // a package whose first worksheet is the new sheet (read only)
    QString output;    // the new package, written whole
    QString sheetName;
    qint64 sheetRows = 0;  // the rows the new sheet holds, for the check of the output
    QString shownAs;       // the name messages give the output (the file it is to become)
};

// Writes `output`: the existing workbook with the sheet of that name replaced by the new one, or
// with the new sheet appended after the last when it has none (a name that differs from one of
// its sheets only in letter case is refused, as spreadsheet programs take them for one). The
// output is read back and checked whole (every entry against what was written, the new sheet's
// rows) before this returns; on failure it is removed.
DbStatus spliceSheet(const SpliceRequest& request, const PackageProgress& progress = {},
                     const PackageLimits& limits = {});

// Reads a package written by the client back whole: every entry unpacks with its checksum, and
// the part `sheetPart` holds `rows` rows. A failure says what is wrong; a cancel by `progress`
// (bytes unpacked of the package's unpacked total) fails with kPackageCancelled.
DbStatus verifyPackage(const QString& path, const QString& sheetPart, qint64 rows,
                       const PackageProgress& progress = {});

// A write that failed with the system's error number, in words: a full disk, a file-size limit,
// a read-only or missing folder, followed by the system's own text.
QString writeFailureText(int systemError);

// Renames `finished` over `target` and returns 0 or the system's error number. The blocks of the
// file it replaces are given back after the user's wait: a large workbook's take milliseconds.
int replaceFile(const QString& finished, const QString& target);

// An Office Open XML package from outside (a workbook, a text document, a presentation) read part
// by part with the same reader and limits as the splice: the entries counted, each part unpacked
// to at most `partBytes` whatever its header claims, encrypted entries refused.
class PackageReader {
public:
    explicit PackageReader(const QString& path, const PackageLimits& limits = {});
    ~PackageReader();
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    // Reads the package's directory; the error says why it is no package that can be read.
    DbStatus open();
    // The names of the parts, in the package's order (after open).
    QStringList partNames() const;
    // One part unpacked (names compare without regard to case).
    DbResult<QByteArray> part(const QString& name) const;

private:
    struct Parts;
    QString m_path;
    PackageLimits m_limits;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace quarvel::xlsx
