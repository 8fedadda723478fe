#include "reports/WorkbookExport.h"

#include "reports/WorkbookPackage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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

// The work of an export, for its progress: one unit per exported row, then the new package
// read back (in rows' worth) or, into an existing workbook, one unit per kBytesPerUnit bytes of
// its parts copied.
constexpr qint64 kBytesPerUnit = 4096;

class WorkMeter {
public:
    WorkMeter(const ExportProgress& progress, qint64 total) : m_progress(progress), m_total(std::max<qint64>(total, 1))
    {
    }
    // Reports `at` units past the work done so far; false when the user cancelled.
    bool report(qint64 at) const { return !m_progress || m_progress(std::min(m_done + at, m_total), m_total); }
    void advance(qint64 units) { m_done += units; }
    // Reports the whole work done (a cancel then comes too late to matter).
    void finish() const
    {
        if (m_progress)
            m_progress(m_total, m_total);
    }
    // A package step's progress (done of total) as `units` of the export's work.
    xlsx::PackageProgress share(qint64 units) const
    {
        if (!m_progress)
            return {};
        return [this, units](qint64 done, qint64 total) {
            return report(total > 0 ? qint64(double(done) / double(total) * double(units)) : units);
        };
    }

private:
    const ExportProgress& m_progress;
    qint64 m_done = 0;
    qint64 m_total;
};

// A short name of its own for a temporary file in the folder: a target name of up to 255
// bytes leaves no room for a longer one.
QString temporaryIn(const QString& folder)
{
    for (;;) {
        const QString name =
            QStringLiteral(".~qv%1.tmp").arg(QRandomGenerator::global()->generate() & 0xFFFFFF, 6, 16, QChar(u'0'));
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo::exists(path))
            return path;
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
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir())
        return failed(QStringLiteral("文件夹 %1 不存在").arg(QDir::toNativeSeparators(folder)));
    const bool amend = target.exists();
    if (amend && !target.isFile())
        return failed(QStringLiteral("%1 不是文件").arg(QDir::toNativeSeparators(target.absoluteFilePath())));

    // The new sheet is written alone into a package of its own: into an existing workbook with
    // its texts in the cells (the workbook's shared strings stay as they are), then spliced in.
    const qint64 cells = qint64(source.rowCount()) * columns.size();
    const bool streamed = amend || cells > kStreamedCells;
    const qint64 sheetRows = qint64(source.rowCount()) + 3;
    const qint64 spliceUnits = amend ? std::max<qint64>(target.size() / kBytesPerUnit, 1) : 0;
    WorkMeter meter(progress, source.rowCount() + (amend ? spliceUnits : source.rowCount()));
    const ExportProgress rowsWritten = [&meter](qint64 done, qint64) { return meter.report(done); };

    const QString sheetFile = temporaryIn(folder);
    struct Remove {
        QString path;
        ~Remove()
        {
            if (!path.isEmpty())
                QFile::remove(path);
        }
    } removeSheet{sheetFile};
    {
        Workbook book(sheetFile, folder, streamed);
        if (!book.get())
            return failed(QStringLiteral("无法建立文件 %1：%2")
                              .arg(QDir::toNativeSeparators(sheetFile), xlsx::writeFailureText(errno ? errno : EIO)));
        const QByteArray sheetName = request.sheetName.toUtf8();
        if (const lxw_error e = workbook_validate_sheet_name(book.get(), sheetName.constData()); e != LXW_NO_ERROR)
            return failed(writerMessage(e));
        lxw_worksheet* ws = workbook_add_worksheet(book.get(), sheetName.constData());
        if (!ws)
            return failed(writerMessage(LXW_ERROR_PARAMETER_VALIDATION));
        if (!writeExportSheet(book, ws, source, request, columns, progress ? rowsWritten : ExportProgress()))
            return cancelled();
        meter.advance(source.rowCount());
        if (const lxw_error e = book.close(); e != LXW_NO_ERROR)
            return failed(writerMessage(e));
    }

    QString finished = sheetFile;
    Remove removePackage;
    if (amend) {
        // Everything else of the user's workbook is copied as it is; the result is checked whole.
        removePackage.path = temporaryIn(folder);
        const DbStatus spliced = xlsx::spliceSheet({target.absoluteFilePath(), sheetFile, removePackage.path,
                                                    request.sheetName, sheetRows, target.absoluteFilePath()},
                                                   meter.share(spliceUnits));
        if (!spliced.ok())
            return spliced.error.number == xlsx::kPackageCancelled ? cancelled() : DbStatus{spliced.error};
        finished = removePackage.path;
        QFile::setPermissions(finished, target.permissions());
    } else {
        // The writer does not hear of writes that a full disk or a size limit refuses and closes
        // without an error: only a reading of the new file tells, and a cut-off one is never
        // taken for the workbook.
        const DbStatus whole = xlsx::verifyPackage(sheetFile, QStringLiteral("xl/worksheets/sheet1.xml"), sheetRows,
                                                   meter.share(source.rowCount()));
        if (whole.error.number == xlsx::kPackageCancelled)
            return cancelled();
        if (!whole.ok())
            return failed(QStringLiteral("文件 %1 没有完整写入，磁盘空间可能不足或文件超过了大小限制。")
                              .arg(QDir::toNativeSeparators(target.absoluteFilePath())));
    }
    meter.finish();
    if (const int error = xlsx::replaceFile(finished, target.absoluteFilePath()); error != 0) {
        return failed(QStringLiteral("无法写入文件 %1：%2")
                          .arg(QDir::toNativeSeparators(target.absoluteFilePath()), xlsx::writeFailureText(error)));
    }
    (finished == sheetFile ? removeSheet.path : removePackage.path).clear();
    return {};
}

}  // namespace quarvel
