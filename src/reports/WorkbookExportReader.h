#pragma once

// Reads the sheets of an existing Office Open XML workbook (.xlsx) that an export writes into,
// so that they can be written back unchanged: the cells' values (shared and inline texts,
// numbers, booleans, the last shown values of formulas, error texts), the cells', rows' and
// columns' formats (number format, font, fill, borders, alignment), column widths, row
// heights, hidden rows, columns and sheets, and merged ranges. The parts of the package are
// read from the zip archive and parsed as they stream, so a sheet's XML is never whole in
// memory. No widgets here.

#include "db/DbError.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quarvel::xlsx {

inline constexpr std::uint32_t kNoColour = 0xFFFFFFFFu;  // no explicit RGB colour

// One cell format of the workbook (an entry of its cell formats), as far as it is kept.
struct CellStyle {
    int numberFormatId = 0;
    QString numberFormat;  // the workbook's own format code, "" for a built-in id
    QString fontName;
    double fontSize = 0;  // 0: not given
    bool bold = false, italic = false, strike = false;
    int underline = 0;  // 0 none, else the writer's underline kind
    std::uint32_t fontColour = kNoColour;
    std::uint32_t fillColour = kNoColour;                                          // solid fills only
    int borderLeft = 0, borderRight = 0, borderTop = 0, borderBottom = 0;          // the writer's line styles
    std::uint32_t borderColour[4] = {kNoColour, kNoColour, kNoColour, kNoColour};  // left, right, top, bottom
    int horizontal = 0;  // the writer's alignment codes, 0 none
    int vertical = 0;
    bool wrap = false;
    int indent = 0;
};

struct KeptCell {
    enum class Kind : std::uint8_t { Blank, Number, Boolean, SharedText, SheetText };
    std::uint32_t row = 0;
    std::uint16_t col = 0;
    Kind kind = Kind::Blank;
    std::int32_t style = 0;  // index into the workbook's styles
    double number = 0;       // Number and Boolean
    std::int32_t text = -1;  // index into the shared strings or the sheet's own texts
};

struct KeptColumns {
    int first = 0, last = 0;  // counted from 0
    double width = -1;        // in the writer's units; < 0: default
    bool hidden = false;
    std::int32_t style = -1;
};

struct KeptRow {
    std::uint32_t row = 0;
    double height = -1;  // points; < 0: default
    bool hidden = false;
    std::int32_t style = -1;
};

struct KeptMerge {
    std::uint32_t firstRow = 0, lastRow = 0;
    std::uint16_t firstCol = 0, lastCol = 0;
};

struct KeptSheet {
    std::vector<KeptCell> cells;     // in row, then column order
    std::vector<std::string> texts;  // inline texts, formula texts and error texts (UTF-8)
    std::vector<KeptColumns> columns;
    std::vector<KeptRow> rows;  // rows with a height, hidden or a format of their own
    std::vector<KeptMerge> merges;
};

struct SheetEntry {
    QString name;
    bool hidden = false;
    QString part;  // the sheet's XML inside the package; "" for sheets that are not worksheets
};

// The workbook at a path: its sheets in order, its shared strings and cell formats.
class WorkbookReader {
public:
    // Opens the package and reads its workbook, relations, shared strings and styles.
    static DbResult<std::shared_ptr<WorkbookReader>> open(const QString& path);
    ~WorkbookReader();
    WorkbookReader(const WorkbookReader&) = delete;
    WorkbookReader& operator=(const WorkbookReader&) = delete;

    const std::vector<SheetEntry>& sheets() const { return m_sheets; }
    const std::vector<std::string>& sharedStrings() const { return m_shared; }
    const std::vector<CellStyle>& styles() const { return m_styles; }

    // Hears, now and then while a sheet is read, how many characters of its part were read;
    // returning false stops the reading, which then fails with kReadStopped.
    using ReadProgress = std::function<bool(qint64 read)>;
    static constexpr int kReadStopped = -2;

    // Reads one sheet's cells, columns, rows and merges.
    DbResult<KeptSheet> readSheet(const SheetEntry& sheet, const ReadProgress& progress = {});

    // The size of a sheet's part as it is unpacked, in bytes (about its characters); 0 when
    // the package has no such part.
    qint64 partSize(const SheetEntry& sheet) const;

    // The width a column setting of the writer needs to store `stored` (characters with the
    // cell padding, as a workbook stores it) again.
    static double writerWidth(double stored);

private:
    WorkbookReader() = default;
    class Package;
    std::unique_ptr<Package> m_package;
    QString m_path;
    std::vector<SheetEntry> m_sheets;
    std::vector<std::string> m_shared;
    std::vector<CellStyle> m_styles;
};

}  // namespace quarvel::xlsx
