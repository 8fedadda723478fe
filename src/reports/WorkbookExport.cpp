#include "reports/WorkbookExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <xlsxwriter.h>

#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/document.hpp>
#include <orcus/spreadsheet/factory.hpp>
#include <orcus/spreadsheet/sheet.hpp>
#include <orcus/spreadsheet/styles.hpp>

#include <ixion/address.hpp>
#include <ixion/cell.hpp>
#include <ixion/formula_result.hpp>
#include <ixion/model_context.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace quarvel {
namespace {

constexpr int kMaxColumns = 156;     // the letters RangeNom can name
constexpr int kProgressStep = 1000;  // rows between progress reports
// Up to this many table cells the workbook keeps its texts in the shared string table, which
// every reader (including this one's reader of existing workbooks) understands; larger tables
// stream row by row to disk with their texts in the cells, keeping the memory flat.
constexpr qint64 kStreamedCells = 200000;

// --- the sheets kept from an existing workbook --------------------------------------------

struct KeptCell {
    enum class Kind { Number, Text, Boolean };
    int row = 0;
    int col = 0;
    Kind kind = Kind::Text;
    double number = 0;
    std::string text;
    QString numberFormat;  // "" = general
    int builtinFormat = 0;
};

struct KeptSheet {
    std::string name;
    std::vector<KeptCell> cells;   // in row, then column order
    std::map<int, double> widths;  // column → width in characters
};

struct KeptWorkbook {
    std::vector<KeptSheet> sheets;
    QString error;
};

// The width to set for a column that orcus read: orcus keeps the stored width (characters with
// the cell padding) in twips at about 110.4 twips a character; the writer adds the padding of
// 5 pixels (at 7 pixels a character) again.
double widthInCharacters(int twips)
{
    constexpr double kTwipsPerStoredCharacter = 3390.0 / 30.7109375;
    return std::max(0.0, twips / kTwipsPerStoredCharacter - 5.0 / 7.0);
}

KeptWorkbook readWorkbook(const QString& path)
{
    namespace ss = orcus::spreadsheet;
    KeptWorkbook kept;
    try {
        ss::document doc(ss::range_size_t{1048576, 16384});
        ss::import_factory factory(doc);
        factory.set_recalc_formula_cells(false);
        orcus::orcus_xlsx reader(&factory);
        reader.read_file(QFile::encodeName(path).toStdString());

        const ixion::model_context& cxt = doc.get_model_context();
        const ss::styles& styles = doc.get_styles();
        const ss::col_width_t defaultWidth = ss::get_default_column_width();
        std::map<size_t, QString> customFormats;
        for (size_t i = 0; i < styles.get_number_format_count(); ++i) {
            const ss::number_format_t* nf = styles.get_number_format(i);
            if (nf && !nf->format_string.empty())
                customFormats[nf->identifier] = QString::fromUtf8(nf->format_string.data(),
                                                                  qsizetype(nf->format_string.size()));
        }
        for (size_t s = 0; s < doc.get_sheet_count(); ++s) {
            KeptSheet sheet;
            sheet.name = std::string(doc.get_sheet_name(ss::sheet_t(s)));
            const ss::sheet* source = doc.get_sheet(ss::sheet_t(s));
            const ixion::abs_range_t range = source->get_data_range();
            if (range.valid()) {
                for (ss::col_t c = 0; c <= range.last.column; ++c) {
                    const ss::col_width_t w = source->get_col_width(c, nullptr, nullptr);
                    if (w != defaultWidth)
                        sheet.widths[int(c)] = widthInCharacters(w);
                }
                for (ss::row_t r = range.first.row; r <= range.last.row; ++r) {
                    for (ss::col_t c = range.first.column; c <= range.last.column; ++c) {
                        const ixion::abs_address_t at(ss::sheet_t(s), r, c);
                        KeptCell cell;
                        cell.row = int(r);
                        cell.col = int(c);
                        switch (cxt.get_celltype(at)) {
                        case ixion::celltype_t::numeric:
                            cell.kind = KeptCell::Kind::Number;
                            cell.number = cxt.get_numeric_value(at);
                            break;
                        case ixion::celltype_t::string: cell.text = std::string(cxt.get_string_value(at)); break;
                        case ixion::celltype_t::boolean:
                            cell.kind = KeptCell::Kind::Boolean;
                            cell.number = cxt.get_boolean_value(at) ? 1 : 0;
                            break;
                        case ixion::celltype_t::formula: {
                            // A formula keeps the value it last showed.
                            const ixion::formula_cell* f = cxt.get_formula_cell(at);
                            if (!f)
                                continue;
                            try {
                                const ixion::formula_result result =
                                    f->get_result_cache(ixion::formula_result_wait_policy_t::throw_exception);
                                if (result.get_type() == ixion::formula_result::result_type::value) {
                                    cell.kind = KeptCell::Kind::Number;
                                    cell.number = result.get_value();
                                } else if (result.get_type() == ixion::formula_result::result_type::string) {
                                    cell.text = result.get_string();
                                } else {
                                    continue;
                                }
                            } catch (const std::exception&) {
                                continue;
                            }
                            break;
                        }
                        default: continue;
                        }
                        if (const ss::cell_format_t* xf = styles.get_cell_format(source->get_cell_format(r, c))) {
                            // The cell format names its number format by identifier: one of the
                            // workbook's own formats, or else a built-in one.
                            const auto own = customFormats.find(xf->number_format);
                            if (own != customFormats.end())
                                cell.numberFormat = own->second;
                            else
                                cell.builtinFormat = int(xf->number_format);
                        }
                        sheet.cells.push_back(std::move(cell));
                    }
                }
            }
            kept.sheets.push_back(std::move(sheet));
        }
    } catch (const std::exception& e) {
        kept.sheets.clear();
        kept.error =
            QStringLiteral("无法读取工作簿 %1：%2").arg(QDir::toNativeSeparators(path), QString::fromUtf8(e.what()));
    }
    return kept;
}

// --- writing -------------------------------------------------------------------------------

QString writerMessage(lxw_error error) { return QString::fromUtf8(lxw_strerror(error)); }

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

    // A format that carries only a number format, one per distinct format.
    lxw_format* numberFormat(const QString& code, int builtin)
    {
        const QString key = code.isEmpty() ? QStringLiteral("#%1").arg(builtin) : code;
        auto it = m_numberFormats.constFind(key);
        if (it != m_numberFormats.constEnd())
            return *it;
        lxw_format* f = nullptr;
        if (!code.isEmpty()) {
            f = format();
            format_set_num_format(f, code.toUtf8().constData());
        } else if (builtin > 0 && builtin < 256) {
            f = format();
            format_set_num_format_index(f, uint8_t(builtin));
        }
        m_numberFormats.insert(key, f);
        return f;
    }

private:
    QByteArray m_path;
    QByteArray m_tmp;
    lxw_workbook* m_book = nullptr;
    QHash<QString, lxw_format*> m_numberFormats;
};

void writeKeptSheet(Workbook& book, lxw_worksheet* ws, const KeptSheet& sheet)
{
    for (const auto& [col, width] : sheet.widths)
        worksheet_set_column(ws, lxw_col_t(col), lxw_col_t(col), width, nullptr);
    for (const KeptCell& cell : sheet.cells) {
        lxw_format* f = book.numberFormat(cell.numberFormat, cell.builtinFormat);
        const auto row = lxw_row_t(cell.row);
        const auto col = lxw_col_t(cell.col);
        switch (cell.kind) {
        case KeptCell::Kind::Number: worksheet_write_number(ws, row, col, cell.number, f); break;
        case KeptCell::Kind::Boolean: worksheet_write_boolean(ws, row, col, int(cell.number), f); break;
        case KeptCell::Kind::Text: worksheet_write_string(ws, row, col, cell.text.c_str(), f); break;
        }
    }
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

ExportOutcome failed(const QString& message) { return {false, false, message}; }

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

ExportOutcome writeWorkbook(const ExportSource& source, const ExportRequest& request, const ExportProgress& progress)
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
    KeptWorkbook kept;
    if (target.exists()) {
        kept = readWorkbook(target.absoluteFilePath());
        if (!kept.error.isEmpty())
            return failed(kept.error);
    }

    const QString folder = target.absolutePath();
    const QString temporary = QDir(folder).filePath(
        QStringLiteral(".%1.%2.part").arg(target.fileName()).arg(QCoreApplication::applicationPid()));
    const qint64 cells = qint64(source.rowCount()) * columns.size();
    Workbook book(temporary, folder, cells > kStreamedCells);
    if (!book.get())
        return failed(QStringLiteral("无法创建文件 %1").arg(QDir::toNativeSeparators(temporary)));

    const QByteArray sheetName = request.sheetName.toUtf8();
    bool written = false;
    lxw_worksheet* exportSheet = nullptr;
    const auto addExportSheet = [&]() -> ExportOutcome {
        if (const lxw_error e = workbook_validate_sheet_name(book.get(), sheetName.constData()); e != LXW_NO_ERROR)
            return failed(writerMessage(e));
        lxw_worksheet* ws = workbook_add_worksheet(book.get(), sheetName.constData());
        if (!ws)
            return failed(writerMessage(LXW_ERROR_PARAMETER_VALIDATION));
        if (!writeExportSheet(book, ws, source, request, columns, progress))
            return {false, true, {}};
        written = true;
        exportSheet = ws;
        return {true, false, {}};
    };
    for (const KeptSheet& sheet : kept.sheets) {
        if (!written && sheet.name == sheetName.toStdString()) {
            if (ExportOutcome o = addExportSheet(); !o.ok)
                return o;
            continue;
        }
        lxw_worksheet* ws = workbook_add_worksheet(book.get(), sheet.name.c_str());
        if (!ws)
            return failed(writerMessage(workbook_validate_sheet_name(book.get(), sheet.name.c_str())));
        writeKeptSheet(book, ws, sheet);
    }
    if (!written) {
        if (ExportOutcome o = addExportSheet(); !o.ok)
            return o;
    }
    if (exportSheet)
        worksheet_activate(exportSheet);

    if (const lxw_error e = book.close(); e != LXW_NO_ERROR) {
        QFile::remove(temporary);
        return failed(writerMessage(e));
    }
    // The writer does not hear of writes that a full disk refuses (its temporary parts, the last
    // buffered bytes of the file) and closes without an error, leaving a cut-off workbook: only
    // a reading of the new file tells, and a cut-off one must not replace the old. (A streamed
    // workbook is too large to be read back whole into memory.)
    if (cells <= kStreamedCells && !readWorkbook(temporary).error.isEmpty()) {
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
    return {true, false, {}};
}

}  // namespace quarvel
