#include "reports/WorkbookExport.h"

#include "reports/WorkbookExportReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace quarvel {
namespace {

constexpr int kMaxColumns = 156;     // the letters RangeNom can name
constexpr int kProgressStep = 1000;  // rows between progress reports
// Up to this many table cells the workbook keeps its texts in the shared string table; larger
// tables stream row by row to disk with their texts inline in the cells, keeping the memory
// flat (the reader of existing workbooks takes both forms).
constexpr qint64 kStreamedCells = 200000;

// What the spreadsheet writer's failure means to the user, with the writer's own text after it.
QString writerMessage(lxw_error error)
{
    QString words;
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED: words = QStringLiteral("内存不足，工作簿没有写出"); break;
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        words = QStringLiteral("无法写入工作簿文件（文件夹不存在、是只读的，或磁盘空间不足）");
        break;
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        words = QStringLiteral("写入工作簿文件时出错，磁盘空间可能不足或文件超过了大小限制");
        break;
    case LXW_ERROR_SHEETNAME_LENGTH_EXCEEDED:
    case LXW_ERROR_INVALID_SHEETNAME_CHARACTER:
    case LXW_ERROR_SHEETNAME_START_END_APOSTROPHE:
    case LXW_ERROR_SHEETNAME_ALREADY_USED:
        words = QStringLiteral("工作表名称不能使用（最多31个字符，不能含 [ ] : * ? / \\，不能以单引号开头或结尾，"
                               "不能与其他工作表同名）");
        break;
    default: words = QStringLiteral("工作簿没有写出"); break;
    }
    return words + QStringLiteral("；原有的文件没有改动。（") + QString::fromUtf8(lxw_strerror(error))
           + QStringLiteral("）");
}

// The workbook being written; freed without writing unless closed.
class Workbook {
public:
    Workbook(const QString& path, const QString& tempFolder, bool streamed)
    {
        m_path = QFile::encodeName(path);
        m_tmp = QFile::encodeName(tempFolder);
        lxw_workbook_options options{};
        options.constant_memory = streamed ? LXW_TRUE : LXW_FALSE;
        options.tmpdir = m_tmp.data();
        options.use_zip64 = LXW_TRUE;
        m_book = workbook_new_opt(m_path.constData(), &options);
    }
    ~Workbook()
    {
        if (m_book)
            lxw_workbook_free(m_book);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    lxw_workbook* get() const { return m_book; }
    lxw_error close()
    {
        lxw_workbook* book = std::exchange(m_book, nullptr);
        return workbook_close(book);
    }

    lxw_format* format() { return workbook_add_format(m_book); }

private:
    QByteArray m_path;
    QByteArray m_tmp;
    lxw_workbook* m_book = nullptr;
};

// The formats of a kept sheet, made once per cell format of the workbook that its cells use.
class KeptFormats {
public:
    KeptFormats(Workbook& book, const std::vector<xlsx::CellStyle>& styles)
        : m_book(book), m_styles(styles), m_made(styles.size(), nullptr)
    {
    }

    lxw_format* get(std::int32_t style)
    {
        if (style <= 0 || std::size_t(style) >= m_styles.size())
            return nullptr;
        lxw_format*& f = m_made[std::size_t(style)];
        if (!f)
            f = make(m_styles[std::size_t(style)]);
        return f;
    }

private:
    lxw_format* make(const xlsx::CellStyle& s)
    {
        lxw_format* f = m_book.format();
        if (!s.numberFormat.isEmpty())
            format_set_num_format(f, s.numberFormat.toUtf8().constData());
        else if (s.numberFormatId > 0 && s.numberFormatId < 164)
            format_set_num_format_index(f, uint8_t(s.numberFormatId));
        if (!s.fontName.isEmpty())
            format_set_font_name(f, s.fontName.toUtf8().constData());
        if (s.fontSize > 0)
            format_set_font_size(f, s.fontSize);
        if (s.bold)
            format_set_bold(f);
        if (s.italic)
            format_set_italic(f);
        if (s.strike)
            format_set_font_strikeout(f);
        if (s.underline)
            format_set_underline(f, uint8_t(s.underline));
        if (s.fontColour != xlsx::kNoColour)
            format_set_font_color(f, s.fontColour);
        if (s.fillColour != xlsx::kNoColour) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, s.fillColour);
        }
        const int styles[4] = {s.borderLeft, s.borderRight, s.borderTop, s.borderBottom};
        void (*const setStyle[4])(lxw_format*, uint8_t) = {format_set_left, format_set_right, format_set_top,
                                                           format_set_bottom};
        void (*const setColour[4])(lxw_format*, lxw_color_t) = {format_set_left_color, format_set_right_color,
                                                                format_set_top_color, format_set_bottom_color};
        for (int side = 0; side < 4; ++side) {
            if (styles[side] == 0)
                continue;
            setStyle[side](f, uint8_t(styles[side]));
            if (s.borderColour[side] != xlsx::kNoColour)
                setColour[side](f, s.borderColour[side]);
        }
        if (s.horizontal)
            format_set_align(f, uint8_t(s.horizontal));
        if (s.vertical)
            format_set_align(f, uint8_t(s.vertical));
        if (s.wrap)
            format_set_text_wrap(f);
        if (s.indent > 0)
            format_set_indent(f, uint8_t(std::min(s.indent, 250)));
        return f;
    }

    Workbook& m_book;
    const std::vector<xlsx::CellStyle>& m_styles;
    std::vector<lxw_format*> m_made;
};

// The work of an export, for its progress: one unit per exported row and per kBytesPerUnit
// bytes of a kept sheet's part, read from the old workbook and read back from the new.
constexpr qint64 kBytesPerUnit = 256;

class WorkMeter {
public:
    WorkMeter(const ExportProgress& progress, qint64 total) : m_progress(progress), m_total(std::max<qint64>(total, 1))
    {
    }
    // Reports `at` units past the work done so far; false when the user cancelled.
    bool report(qint64 at) const { return !m_progress || m_progress(std::min(m_done + at, m_total), m_total); }
    void advance(qint64 units) { m_done += units; }
    // Reports the whole work done.
    bool finish() const { return !m_progress || m_progress(m_total, m_total); }
    void addWork(qint64 units) { m_total += units; }
    // A sheet reader's progress, in units past the work done so far.
    xlsx::WorkbookReader::ReadProgress reading() const
    {
        if (!m_progress)
            return {};
        return [this](qint64 read) { return report(read / kBytesPerUnit); };
    }

private:
    const ExportProgress& m_progress;
    qint64 m_done = 0;
    qint64 m_total;
};

enum class ReadBack { Whole, Broken, Stopped };

// Whether the workbook at `path` opens and every worksheet of it reads to its end.
ReadBack readsBackWhole(const QString& path, WorkMeter& meter)
{
    const DbResult<std::shared_ptr<xlsx::WorkbookReader>> opened = xlsx::WorkbookReader::open(path);
    if (!opened.ok())
        return ReadBack::Broken;
    for (const xlsx::SheetEntry& sheet : opened.value->sheets()) {
        if (sheet.part.isEmpty())
            continue;
        const DbResult<xlsx::KeptSheet> read = opened.value->readSheet(sheet, meter.reading());
        if (read.error.number == xlsx::WorkbookReader::kReadStopped)
            return ReadBack::Stopped;
        if (!read.ok())
            return ReadBack::Broken;
        meter.advance(opened.value->partSize(sheet) / kBytesPerUnit);
    }
    return ReadBack::Whole;
}

// Writes a kept sheet back: columns first, then row by row its row format, the merged ranges
// that start there and its cells, so that a streamed workbook takes it in order too.
// `keepGoing` is asked every kProgressStep rows; false stops the writing (and returns false).
bool writeKeptSheet(lxw_worksheet* ws, const xlsx::KeptSheet& sheet, const std::vector<std::string>& shared,
                    KeptFormats& formats, const std::function<bool()>& keepGoing)
{
    std::uint32_t rowsWritten = 0;
    for (const xlsx::KeptColumns& c : sheet.columns) {
        lxw_row_col_options hidden{};
        hidden.hidden = 1;
        worksheet_set_column_opt(ws, lxw_col_t(c.first), lxw_col_t(c.last), c.width < 0 ? LXW_DEF_COL_WIDTH : c.width,
                                 formats.get(c.style), c.hidden ? &hidden : nullptr);
    }
    auto row = sheet.rows.begin();
    auto merge = sheet.merges.begin();
    auto cell = sheet.cells.begin();
    const auto rowOf = [](const auto& it, const auto& end, std::uint32_t none, auto first) {
        return it == end ? none : first(*it);
    };
    constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    for (;;) {
        const std::uint32_t r =
            std::min({rowOf(row, sheet.rows.end(), kNone, [](const xlsx::KeptRow& x) { return x.row; }),
                      rowOf(merge, sheet.merges.end(), kNone, [](const xlsx::KeptMerge& x) { return x.firstRow; }),
                      rowOf(cell, sheet.cells.end(), kNone, [](const xlsx::KeptCell& x) { return x.row; })});
        if (r == kNone)
            break;
        if (keepGoing && ++rowsWritten % kProgressStep == 0 && !keepGoing())
            return false;
        if (row != sheet.rows.end() && row->row == r) {
            lxw_row_col_options hidden{};
            hidden.hidden = 1;
            worksheet_set_row_opt(ws, r, row->height < 0 ? LXW_DEF_ROW_HEIGHT : row->height, formats.get(row->style),
                                  row->hidden ? &hidden : nullptr);
            ++row;
        }
        for (; merge != sheet.merges.end() && merge->firstRow == r; ++merge) {
            // Records the range only: an empty text without a format writes no cell, and the
            // cells of the range follow with their own values and formats.
            worksheet_merge_range(ws, merge->firstRow, merge->firstCol, merge->lastRow, merge->lastCol, "", nullptr);
        }
        for (; cell != sheet.cells.end() && cell->row == r; ++cell) {
            lxw_format* f = formats.get(cell->style);
            const lxw_col_t col = cell->col;
            switch (cell->kind) {
            case xlsx::KeptCell::Kind::Blank: worksheet_write_blank(ws, r, col, f); break;
            case xlsx::KeptCell::Kind::Number: worksheet_write_number(ws, r, col, cell->number, f); break;
            case xlsx::KeptCell::Kind::Boolean: worksheet_write_boolean(ws, r, col, int(cell->number), f); break;
            case xlsx::KeptCell::Kind::SharedText:
                worksheet_write_string(ws, r, col, shared[std::size_t(cell->text)].c_str(), f);
                break;
            case xlsx::KeptCell::Kind::SheetText:
                worksheet_write_string(ws, r, col, sheet.texts[std::size_t(cell->text)].c_str(), f);
                break;
            }
        }
    }
    return true;
}

// The formats of the exported sheet.
struct ExportFormats {
    lxw_format* titleRow = nullptr;
    lxw_format* blankRow = nullptr;
    lxw_format* dateRow = nullptr;
    lxw_format* headerRow = nullptr;
    lxw_format* header[2] = {};  // [0] "@", [1] "0.00_ "
    lxw_format* body[2] = {};

    explicit ExportFormats(Workbook& book)
    {
        const auto rowFormat = [&](lxw_format_alignments horizontal, double size) {
            lxw_format* f = book.format();
            format_set_align(f, uint8_t(horizontal));
            format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
            if (size > 0)
                format_set_font_size(f, size);
            return f;
        };
        titleRow = rowFormat(LXW_ALIGN_CENTER, 18);
        blankRow = rowFormat(LXW_ALIGN_CENTER, 12);
        dateRow = rowFormat(LXW_ALIGN_RIGHT, 10);
        headerRow = rowFormat(LXW_ALIGN_CENTER, 0);
        for (int numeric = 0; numeric < 2; ++numeric) {
            const char* code = numeric ? "0.00_ " : "@";
            header[numeric] = rowFormat(LXW_ALIGN_CENTER, 10.5);
            body[numeric] = book.format();
            format_set_font_size(body[numeric], 10.5);
            for (lxw_format* f : {header[numeric], body[numeric]}) {
                format_set_num_format(f, code);
                format_set_border(f, LXW_BORDER_THIN);
            }
        }
    }
};

// Excel keeps a text typed into a number-formatted cell as a number when it reads as one.
bool asNumber(const QString& text, double* value)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    *value = t.toDouble(&ok);
    return ok && std::isfinite(*value);
}

bool writeExportSheet(Workbook& book, lxw_worksheet* ws, const ExportSource& source, const ExportRequest& request,
                      const QVector<int>& columns, const ExportProgress& progress)
{
    ExportFormats fmt(book);
    const int k = int(columns.size());
    const int rows = source.rowCount();
    QVector<int> numeric(k);
    for (int c = 0; c < k; ++c) {
        numeric[c] = numberFormatFor(source.alignment(columns[c])) == QLatin1String("0.00_ ") ? 1 : 0;
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), source.widthTwips(columns[c]) / 100.0, nullptr);
    }
    const QByteArray title = request.title.toUtf8();
    const QByteArray date =
        (QStringLiteral("打印日期：") + request.printDate.toString(QStringLiteral("yyyy年MM月dd日"))).toUtf8();
    // Rows are written strictly in order (each row's format first), so that the sheet streams
    // to disk row by row.
    const auto titleLine = [&](lxw_row_t row, double height, const QByteArray& text, lxw_format* f) {
        worksheet_set_row(ws, row, height, f);
        if (k > 1)
            worksheet_merge_range(ws, row, 0, row, lxw_col_t(k - 1), text.constData(), f);
        else
            worksheet_write_string(ws, row, 0, text.constData(), f);
    };
    titleLine(0, 24, title, fmt.titleRow);
    titleLine(1, 16.5, QByteArray(), fmt.blankRow);
    titleLine(2, LXW_DEF_ROW_HEIGHT, date, fmt.dateRow);
    worksheet_set_row(ws, 3, LXW_DEF_ROW_HEIGHT, fmt.headerRow);

    for (int i = 0; i < rows; ++i) {
        const auto sheetRow = lxw_row_t(i + 3);
        for (int c = 0; c < k; ++c) {
            lxw_format* f = i == 0 ? fmt.header[numeric[c]] : fmt.body[numeric[c]];
            const QString text = source.text(i, columns[c]);
            double number = 0;
            if (text.isEmpty())
                worksheet_write_blank(ws, sheetRow, lxw_col_t(c), f);
            else if (numeric[c] && asNumber(text, &number))
                worksheet_write_number(ws, sheetRow, lxw_col_t(c), number, f);
            else
                worksheet_write_string(ws, sheetRow, lxw_col_t(c), text.toUtf8().constData(), f);
        }
        if (progress && (i + 1) % kProgressStep == 0 && !progress(i + 1, rows))
            return false;
    }
    return !progress || progress(rows, rows);
}

DbStatus failed(const QString& message) { return {DbError::make(kExportFailed, message)}; }

DbStatus cancelled() { return {DbError::make(kExportCancelled, QStringLiteral("输出已取消"))}; }

}  // namespace

QString RangeNom(int column, int row)
{
    if (column < 0 || column > 155)
        return {};
    QString letters;
    if (column >= 26)
        letters += QChar(u'A' + column / 26 - 1);
    letters += QChar(u'A' + column % 26);
    return letters + QString::number(row);
}

QString numberFormatFor(int alignment) { return alignment > 5 ? QStringLiteral("0.00_ ") : QStringLiteral("@"); }

DbStatus writeWorkbook(const ExportSource& source, const ExportRequest& request, const ExportProgress& progress)
{
    QVector<int> columns;
    for (int j = 0; j < source.columnCount(); ++j) {
        if (j < request.marked.size() && request.marked[j])
            columns.append(j);
    }
    if (columns.isEmpty())
        return failed(QStringLiteral("没有选择要输出的列"));
    if (columns.size() > kMaxColumns)
        return failed(QStringLiteral("输出的列不能超过%1列").arg(kMaxColumns));

    const QFileInfo target(request.path);
    std::shared_ptr<xlsx::WorkbookReader> existing;
    qint64 keptWork = 0;
    if (target.exists()) {
        auto opened = xlsx::WorkbookReader::open(target.absoluteFilePath());
        if (!opened.ok())
            return {opened.error};
        existing = std::move(opened.value);
        for (const xlsx::SheetEntry& entry : existing->sheets()) {
            if (entry.name != request.sheetName)
                keptWork += existing->partSize(entry) / kBytesPerUnit;
        }
    }

    const QString folder = target.absolutePath();
    const QString temporary = QDir(folder).filePath(
        QStringLiteral(".%1.%2.part").arg(target.fileName(), QString::number(QCoreApplication::applicationPid())));
    const qint64 cells = qint64(source.rowCount()) * columns.size();
    const bool readBack = cells <= kStreamedCells;
    // Kept sheets are read from the old workbook, then with the new table from the new one.
    WorkMeter meter(progress, source.rowCount() + keptWork + (readBack ? keptWork + source.rowCount() : 0));
    const ExportProgress rowsWritten = [&meter](qint64 done, qint64) { return meter.report(done); };
    Workbook book(temporary, folder, !readBack);
    if (!book.get())
        return failed(QStringLiteral("无法创建文件 %1").arg(QDir::toNativeSeparators(temporary)));

    const QByteArray sheetName = request.sheetName.toUtf8();
    lxw_worksheet* exportSheet = nullptr;
    const auto addExportSheet = [&]() -> DbStatus {
        if (const lxw_error e = workbook_validate_sheet_name(book.get(), sheetName.constData()); e != LXW_NO_ERROR)
            return failed(writerMessage(e));
        lxw_worksheet* ws = workbook_add_worksheet(book.get(), sheetName.constData());
        if (!ws)
            return failed(writerMessage(LXW_ERROR_PARAMETER_VALIDATION));
        if (!writeExportSheet(book, ws, source, request, columns, progress ? rowsWritten : ExportProgress()))
            return cancelled();
        meter.advance(source.rowCount());
        exportSheet = ws;
        return {};
    };
    if (existing) {
        KeptFormats formats(book, existing->styles());
        for (const xlsx::SheetEntry& entry : existing->sheets()) {
            if (!exportSheet && entry.name == request.sheetName) {
                if (DbStatus s = addExportSheet(); !s.ok())
                    return s;
                continue;
            }
            const QByteArray name = entry.name.toUtf8();
            lxw_worksheet* ws = workbook_add_worksheet(book.get(), name.constData());
            if (!ws)
                return failed(writerMessage(workbook_validate_sheet_name(book.get(), name.constData())));
            if (entry.hidden)
                worksheet_hide(ws);
            const DbResult<xlsx::KeptSheet> kept = existing->readSheet(entry, meter.reading());
            if (kept.error.number == xlsx::WorkbookReader::kReadStopped)
                return cancelled();
            if (!kept.ok())
                return {kept.error};
            // Written again at the end of its reading's share of the work.
            const qint64 read = existing->partSize(entry) / kBytesPerUnit;
            if (!writeKeptSheet(ws, kept.value, existing->sharedStrings(), formats,
                                [&meter, read] { return meter.report(read); }))
                return cancelled();
            meter.advance(existing->partSize(entry) / kBytesPerUnit);
        }
    }
    if (!exportSheet) {
        if (DbStatus s = addExportSheet(); !s.ok())
            return s;
    }
    worksheet_activate(exportSheet);

    if (const lxw_error e = book.close(); e != LXW_NO_ERROR) {
        QFile::remove(temporary);
        return failed(writerMessage(e));
    }
    // The writer does not hear of writes that a full disk refuses (its temporary parts, the last
    // buffered bytes of the file) and closes without an error, leaving a cut-off workbook: only
    // a reading of the new file tells, and a cut-off one must not replace the old. (A streamed
    // workbook is too large to be read back whole into memory.)
    const ReadBack whole = readBack ? readsBackWhole(temporary, meter) : ReadBack::Whole;
    if (whole == ReadBack::Stopped) {
        QFile::remove(temporary);
        return cancelled();
    }
    if (whole == ReadBack::Whole && !meter.finish()) {
        QFile::remove(temporary);
        return cancelled();
    }
    if (whole == ReadBack::Broken) {
        QFile::remove(temporary);
        return failed(QStringLiteral("文件 %1 没有完整写入，磁盘空间可能不足")
                          .arg(QDir::toNativeSeparators(target.absoluteFilePath())));
    }
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target.absoluteFilePath()).constData())
        != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        return failed(
            QStringLiteral("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(target.absoluteFilePath()), reason));
    }
    return {};
}

}  // namespace quarvel
