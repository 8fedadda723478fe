// The workbook written by the export, read back by an independent reader (openpyxl): layout,
// merges, number formats, widths, borders, font sizes, the column choice, existing workbooks
// and their other sheets, refused sheet names, cancelling, and the cell addresses of RangeNom.

#include "reports/WorkbookExport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <xlsxwriter.h>

using namespace quarvel;

namespace {

// A grid as plain vectors.
class TableSource final : public ExportSource {
public:
    QVector<QStringList> cells;
    QVector<int> widths;
    QVector<int> alignments;

    int rowCount() const override { return int(cells.size()); }
    int columnCount() const override { return int(widths.size()); }
    QString text(int row, int col) const override { return cells.at(row).value(col); }
    int widthTwips(int col) const override { return widths.at(col); }
    int alignment(int col) const override { return alignments.at(col); }
};

// The statistics grid after a run: general "序", left-aligned texts and counts, centred "明细".
TableSource statisticsGrid()
{
    TableSource s;
    s.widths = {600, 2400, 2700, 2100, 1050, 900, 750};
    s.alignments = {9, 1, 1, 1, 1, 1, 4};
    s.cells = {
        {QStringLiteral("序"), QStringLiteral("文件编号"), QStringLiteral("文件名称"), QStringLiteral("摘要"),
         QStringLiteral("浏览次数"), QStringLiteral("下载次数"), QStringLiteral("明细")},
        {QStringLiteral("1"), QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("全年"),
         QStringLiteral("12"), QStringLiteral("3"), QString()},
        {QStringLiteral("2"), QStringLiteral("B-2"), QStringLiteral("合同"), QStringLiteral("x"), QStringLiteral("1"),
         QStringLiteral("0"), QString()},
        {QStringLiteral("3"), QStringLiteral("C'3"), QStringLiteral("=SUM(1)"), QString(), QStringLiteral("0"),
         QStringLiteral("0"), QString()},
        {QString(), QString(), QString(), QStringLiteral("合计 "), QStringLiteral("13"), QStringLiteral("3"),
         QString()},
    };
    return s;
}

TableSource smallGrid()
{
    TableSource s;
    s.widths = {500, 500};
    s.alignments = {9, 1};
    s.cells = {{QStringLiteral("序"), QStringLiteral("名称")}, {QStringLiteral("1"), QStringLiteral("甲")}};
    return s;
}

// A numbered table of `rows` rows under a heading; the description of row i is "说明" with i
// modulo `descriptions`.
TableSource bigTable(int rows, int descriptions)
{
    TableSource s;
    s.widths = {800, 1600, 1600};
    s.alignments = {9, 1, 1};
    s.cells.append({QStringLiteral("序"), QStringLiteral("名称"), QStringLiteral("说明")});
    for (int i = 1; i <= rows; ++i)
        s.cells.append(
            {QString::number(i), QStringLiteral("名称%1").arg(i), QStringLiteral("说明%1").arg(i % descriptions)});
    return s;
}

ExportRequest requestFor(const QString& path, const ExportSource& source, const QString& sheet)
{
    ExportRequest r;
    r.path = path;
    r.title = sheet;
    r.sheetName = sheet;
    r.marked = QVector<bool>(source.columnCount(), true);
    r.printDate = QDate::currentDate();
    return r;
}

// A workbook as a spreadsheet program stores it (shared strings): a first sheet with a text, a
// number and a formatted date in a widened column, an old sheet of the export's name with more
// rows and columns than the export, and a third sheet.
bool makeExisting(const QString& path)
{
    lxw_workbook* book = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet* first = workbook_add_worksheet(book, "Sheet1");
    worksheet_set_column(first, 0, 0, 30, nullptr);
    worksheet_write_string(first, 0, 0, "保留的文字", nullptr);
    worksheet_write_number(first, 1, 1, 42.5, nullptr);
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    worksheet_write_number(first, 2, 2, 45351, date);  // 2024-02-29
    lxw_worksheet* old = workbook_add_worksheet(book, "资料下载记录汇总");
    for (int r = 0; r < 40; ++r) {
        for (int c = 0; c < 12; ++c)
            worksheet_write_string(old, lxw_row_t(r), lxw_col_t(c),
                                   QStringLiteral("旧%1-%2").arg(r + 1).arg(c + 1).toUtf8().constData(), nullptr);
    }
    lxw_worksheet* other = workbook_add_worksheet(book, "其他");
    worksheet_write_string(other, 0, 0, "第三张", nullptr);
    worksheet_write_number(other, 8, 3, 7, nullptr);
    return workbook_close(book) == LXW_NO_ERROR;
}

// A workbook whose texts are all inline in the cells (the form a streaming writer uses, and
// this export's own for large tables): a merged bold title in a tall row, a boxed and filled
// text, a formatted number, a boolean, a formula with its last value, a text with blanks at
// both ends, a rich text of two runs, a hidden row and a widened column; then a second sheet.
bool makeInline(const QString& path)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_format* title = workbook_add_format(book);
    format_set_bold(title);
    format_set_font_size(title, 14);
    format_set_font_color(title, 0xFF0000);
    lxw_format* boxed = workbook_add_format(book);
    format_set_border(boxed, LXW_BORDER_THIN);
    format_set_pattern(boxed, LXW_PATTERN_SOLID);
    format_set_bg_color(boxed, 0xFFFF00);
    format_set_align(boxed, LXW_ALIGN_CENTER);
    lxw_format* money = workbook_add_format(book);
    format_set_num_format(money, "#,##0.00");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);

    lxw_worksheet* ws = workbook_add_worksheet(book, "内联");
    worksheet_set_column(ws, 0, 0, 25, nullptr);
    worksheet_set_row(ws, 0, 30, nullptr);
    worksheet_merge_range(ws, 0, 0, 0, 2, "内联标题", title);
    worksheet_write_string(ws, 1, 0, "第一行文字", boxed);
    worksheet_write_number(ws, 1, 1, 1234.5, money);
    worksheet_write_boolean(ws, 1, 2, 1, nullptr);
    worksheet_write_string(ws, 2, 0, "  前后空格  ", nullptr);
    worksheet_write_formula_num(ws, 2, 1, "=B2*2", nullptr, 2469);
    lxw_row_col_options hidden{};
    hidden.hidden = 1;
    worksheet_set_row_opt(ws, 3, LXW_DEF_ROW_HEIGHT, nullptr, &hidden);
    worksheet_write_string(ws, 3, 0, "隐藏行", nullptr);
    lxw_rich_string_tuple first = {bold, const_cast<char*>("粗体")};
    lxw_rich_string_tuple second = {nullptr, const_cast<char*>("普通")};
    lxw_rich_string_tuple* runs[] = {&first, &second, nullptr};
    worksheet_write_rich_string(ws, 4, 0, runs, nullptr);
    worksheet_write_formula_str(ws, 5, 0, "=A2&\"!\"", nullptr, "第一行文字!");
    lxw_worksheet* other = workbook_add_worksheet(book, "其他");
    worksheet_write_string(other, 0, 0, "第二张", nullptr);
    return workbook_close(book) == LXW_NO_ERROR;
}

QByteArray digestOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

}  // namespace

class WorkbookExportTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString python;

    // Runs the reader; fails the test with its complaints.
    bool reader(const QString& command, const QString& path, const QString& original = {})
    {
        QProcess p;
        QStringList arguments{QStringLiteral(QUARVEL_SOURCE_DIR "/tests/reports/check_workbook.py"), command};
        if (!original.isEmpty())
            arguments << original;
        p.start(python, arguments << path);
        if (!p.waitForFinished(120000)) {
            qWarning() << "reader did not finish";
            return false;
        }
        if (p.exitCode() != 0) {
            qWarning().noquote() << p.readAllStandardOutput() << p.readAllStandardError();
            return false;
        }
        return true;
    }

    QStringList filesInDir() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        QProcess p;
        p.start(python, {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
        p.waitForFinished();
        if (p.exitCode() != 0)
            QSKIP("python3-openpyxl is not installed");
    }

    void cellAddresses()
    {
        QCOMPARE(RangeNom(0, 5), QStringLiteral("A5"));
        QCOMPARE(RangeNom(25, 4), QStringLiteral("Z4"));
        QCOMPARE(RangeNom(26, 4), QStringLiteral("AA4"));
        QCOMPARE(RangeNom(27, 10), QStringLiteral("AB10"));
        QCOMPARE(RangeNom(51, 1), QStringLiteral("AZ1"));
        QCOMPARE(RangeNom(52, 1), QStringLiteral("BA1"));
        QCOMPARE(RangeNom(155, 9), QStringLiteral("EZ9"));
        QCOMPARE(RangeNom(156, 9), QString());
        QCOMPARE(RangeNom(-1, 9), QString());
        QCOMPARE(numberFormatFor(9), QStringLiteral("0.00_ "));
        QCOMPARE(numberFormatFor(6), QStringLiteral("0.00_ "));
        QCOMPARE(numberFormatFor(5), QStringLiteral("@"));
        QCOMPARE(numberFormatFor(1), QStringLiteral("@"));
    }

    void statisticsGridLayout()
    {
        const QString path = dir.filePath(QStringLiteral("统计.xlsx"));
        const TableSource grid = statisticsGrid();
        const DbStatus o = writeWorkbook(grid, requestFor(path, grid, QStringLiteral("资料下载记录汇总")));
        QVERIFY2(o.ok(), qPrintable(o.error.description));
        QVERIFY(reader(QStringLiteral("statistics"), path));
        // Only the workbook is left in the folder: the temporary file became it.
        QCOMPARE(filesInDir(), QStringList{QStringLiteral("统计.xlsx")});
    }

    void unmarkedColumnLeavesNoGap()
    {
        TableSource s;
        s.widths = {1000, 1100, 1200, 1300, 1400};
        s.alignments = {1, 1, 1, 1, 1};
        s.cells = {
            {QStringLiteral("c0"), QStringLiteral("c1"), QStringLiteral("c2"), QStringLiteral("c3"),
             QStringLiteral("c4")},
            {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("e")}};
        const QString path = dir.filePath(QStringLiteral("gap.xlsx"));
        ExportRequest r = requestFor(path, s, QStringLiteral("表"));
        r.marked[2] = false;
        QVERIFY(writeWorkbook(s, r).ok());
        QVERIFY(reader(QStringLiteral("unmarked"), path));
    }

    void existingWorkbookKeepsItsOtherSheets()
    {
        const QString path = dir.filePath(QStringLiteral("existing.xlsx"));
        QVERIFY(makeExisting(path));
        const TableSource grid = smallGrid();
        ExportRequest r = requestFor(path, grid, QStringLiteral("资料下载记录汇总"));
        r.title = QStringLiteral("标题");
        const DbStatus o = writeWorkbook(grid, r);
        QVERIFY2(o.ok(), qPrintable(o.error.description));
        QVERIFY(reader(QStringLiteral("existing"), path));

        const QString second = dir.filePath(QStringLiteral("existing2.xlsx"));
        QVERIFY(makeExisting(second));
        r.path = second;
        r.sheetName = QStringLiteral("新表");
        QVERIFY(writeWorkbook(grid, r).ok());
        QVERIFY(reader(QStringLiteral("appended"), second));
    }

    void inlineTextsOfOtherSheetsAreKept()
    {
        const QString path = dir.filePath(QStringLiteral("inline.xlsx"));
        QVERIFY(makeInline(path));
        QVERIFY(reader(QStringLiteral("inline-source"), path));  // the texts really are inline
        const TableSource grid = smallGrid();
        ExportRequest r = requestFor(path, grid, QStringLiteral("新表"));
        r.title = QStringLiteral("标题");
        const DbStatus o = writeWorkbook(grid, r);
        QVERIFY2(o.ok(), qPrintable(o.error.description));
        QVERIFY(reader(QStringLiteral("inline"), path));
    }

    // A first export, then a second one into the same workbook: both sheets stay whole. The
    // statistics, then the details; or a table above the streaming size (written with inline
    // texts), read back into the next export.
    void secondExportKeepsTheFirst_data()
    {
        QTest::addColumn<bool>("large");
        QTest::newRow("statistics, then details") << false;
        QTest::newRow("above the streaming size") << true;
    }
    void secondExportKeepsTheFirst()
    {
        QFETCH(bool, large);
        const QString path = dir.filePath(large ? QStringLiteral("large.xlsx") : QStringLiteral("both.xlsx"));
        const TableSource first = large ? bigTable(70000, 7) : statisticsGrid();
        QVERIFY(writeWorkbook(
                    first, requestFor(path, first, large ? QStringLiteral("大表") : QStringLiteral("资料下载记录汇总")))
                    .ok());
        if (large)
            QVERIFY(reader(QStringLiteral("inline-source"), path));
        const TableSource small = smallGrid();
        ExportRequest r = requestFor(path, small, large ? QStringLiteral("小表") : QStringLiteral("资料下载记录明细"));
        r.title = QStringLiteral("标题");
        const DbStatus o = writeWorkbook(small, r);
        QVERIFY2(o.ok(), qPrintable(o.error.description));
        QVERIFY(reader(large ? QStringLiteral("large") : QStringLiteral("both"), path));
    }

    void caseDifferentSheetNameFails()
    {
        const QString path = dir.filePath(QStringLiteral("case.xlsx"));
        QVERIFY(makeExisting(path));
        const QByteArray before = digestOf(path);
        const TableSource grid = smallGrid();
        const DbStatus o = writeWorkbook(grid, requestFor(path, grid, QStringLiteral("SHEET1")));
        QVERIFY(!o.ok());
        QVERIFY(!isExportCancelled(o.error));
        QVERIFY2(o.error.description.contains(QStringLiteral("already"), Qt::CaseInsensitive),
                 qPrintable(o.error.description));
        QCOMPARE(digestOf(path), before);  // the workbook is untouched
        // A name the writer refuses for its characters fails the same way.
        const DbStatus bad = writeWorkbook(grid, requestFor(path, grid, QStringLiteral("a/b")));
        QVERIFY(!bad.ok());
        QVERIFY(!bad.error.description.isEmpty());
        QCOMPARE(digestOf(path), before);
    }

    void refusals()
    {
        const TableSource grid = smallGrid();
        const QString path = dir.filePath(QStringLiteral("none.xlsx"));
        ExportRequest r = requestFor(path, grid, QStringLiteral("表"));
        r.marked = {false, false};
        DbStatus o = writeWorkbook(grid, r);
        QVERIFY(!o.ok());
        QVERIFY(!o.error.description.isEmpty());
        QVERIFY(!QFile::exists(path));

        // Not a workbook: nothing is overwritten.
        const QString text = dir.filePath(QStringLiteral("text.xlsx"));
        {
            QFile f(text);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("plain text, not a workbook");
        }
        const QByteArray before = digestOf(text);
        o = writeWorkbook(grid, requestFor(text, grid, QStringLiteral("表")));
        QVERIFY(!o.ok());
        QVERIFY(!o.error.description.isEmpty());
        QCOMPARE(digestOf(text), before);

        // A folder that does not exist.
        o = writeWorkbook(grid, requestFor(dir.filePath(QStringLiteral("missing/x.xlsx")), grid, QStringLiteral("表")));
        QVERIFY(!o.ok());
        QVERIFY(!o.error.description.isEmpty());
    }

    void cancellingLeavesTheTargetAlone()
    {
        TableSource s = smallGrid();
        for (int i = 1; i <= 5000; ++i)
            s.cells.append({QString::number(i), QStringLiteral("行%1").arg(i)});
        const QString path = dir.filePath(QStringLiteral("cancel.xlsx"));
        const TableSource small = smallGrid();
        QVERIFY(writeWorkbook(small, requestFor(path, small, QStringLiteral("表"))).ok());
        const QByteArray before = digestOf(path);
        const QStringList filesBefore = filesInDir();

        QVector<qint64> seen;
        qint64 lastTotal = 0;
        const DbStatus o = writeWorkbook(s, requestFor(path, s, QStringLiteral("表")), [&](qint64 done, qint64 total) {
            seen.append(done);
            lastTotal = total;
            return done < 2000;
        });
        QVERIFY(!o.ok());
        QVERIFY(isExportCancelled(o.error));
        QCOMPARE(seen, (QVector<qint64>{1000, 2000}));
        // The rows written, then the workbook's parts copied.
        QVERIFY(lastTotal > 5002);
        QCOMPARE(digestOf(path), before);
        QCOMPARE(filesInDir(), filesBefore);

        // Uncancelled, the progress ends with the whole work.
        seen.clear();
        QVERIFY(writeWorkbook(s, requestFor(path, s, QStringLiteral("表")), [&](qint64 done, qint64 total) {
                    seen.append(done);
                    lastTotal = total;
                    return true;
                }).ok());
        QCOMPARE(seen.constLast(), lastTotal);
        QVERIFY(digestOf(path) != before);
        QCOMPARE(filesInDir(), filesBefore);
    }

    // The other sheets of an existing workbook take their time to be read and written again:
    // the progress goes on while they are, and a cancel stops it there.
    void keptSheetsReportProgressAndCancel()
    {
        const TableSource big = bigTable(30000, 30001);
        const QString path = dir.filePath(QStringLiteral("kept.xlsx"));
        QVERIFY(writeWorkbook(big, requestFor(path, big, QStringLiteral("大表"))).ok());
        const QByteArray before = digestOf(path);
        const QStringList filesBefore = filesInDir();
        const TableSource small = smallGrid();

        QVector<qint64> seen;
        qint64 lastTotal = 0;
        const DbStatus stopped = writeWorkbook(small, requestFor(path, small, QStringLiteral("小表")),
                                               [&](qint64 done, qint64 total) {
                                                   seen.append(done);
                                                   lastTotal = total;
                                                   return seen.size() < 3;
                                               });
        QVERIFY(isExportCancelled(stopped.error));
        QCOMPARE(seen.size(), 3);
        QVERIFY(seen.at(0) > 0 && seen.at(0) <= seen.at(2));
        QVERIFY(seen.at(2) < lastTotal);
        QCOMPARE(digestOf(path), before);
        QCOMPARE(filesInDir(), filesBefore);

        seen.clear();
        const DbStatus written = writeWorkbook(
            small, requestFor(path, small, QStringLiteral("小表")), [&](qint64 done, qint64 total) {
                if (!seen.isEmpty() && done < seen.constLast())
                    qWarning("progress went back from %lld to %lld", seen.constLast(), done);
                seen.append(done);
                lastTotal = total;
                return done <= total;
            });
        QVERIFY2(written.ok(), qPrintable(written.error.description));
        // Reports while the kept sheet was copied, after the small table's few rows.
        QVERIFY(seen.size() > 3);
        QVERIFY(std::is_sorted(seen.cbegin(), seen.cend()));
        QCOMPARE(seen.constLast(), lastTotal);
    }

    // A workbook with everything a user's sheets hold: after the export every part of the other
    // sheets is the same byte for byte, and the replaced sheet holds the new table alone.
    void everyOtherPartIsKeptByteForByte()
    {
        const QString original = dir.filePath(QStringLiteral("rich-original.xlsx"));
        QVERIFY(reader(QStringLiteral("make-rich"), original));
        const QString path = dir.filePath(QStringLiteral("rich.xlsx"));
        QVERIFY(QFile::copy(original, path));
        const TableSource grid = smallGrid();
        ExportRequest r = requestFor(path, grid, QStringLiteral("导出"));
        r.title = QStringLiteral("标题");
        const DbStatus o = writeWorkbook(grid, r);
        QVERIFY2(o.ok(), qPrintable(o.error.description));
        QVERIFY(reader(QStringLiteral("rich"), path, original));
    }

    // Workbooks that would hang or exhaust the client if it read them whole: refused, or handled
    // without reading the sheet that holds the trap; the file is never changed by a refusal.
    void hostileWorkbooks_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("written");
        QTest::newRow("huge merged ranges in another sheet") << QStringLiteral("merged") << true;
        QTest::newRow("many styles") << QStringLiteral("styles") << true;
        QTest::newRow("styles that unpack to 200 MB") << QStringLiteral("bomb") << false;
        QTest::newRow("deeply nested workbook part") << QStringLiteral("deep") << false;
        QTest::newRow("cut off") << QStringLiteral("truncated") << false;
        QTest::newRow("not a zip") << QStringLiteral("text") << false;
    }
    void hostileWorkbooks()
    {
        QFETCH(QString, kind);
        QFETCH(bool, written);
        const QString path = dir.filePath(kind + QStringLiteral(".xlsx"));
        QVERIFY(reader(QStringLiteral("make-hostile-") + kind, path));
        const QByteArray before = digestOf(path);
        const QStringList filesBefore = filesInDir();
        const TableSource grid = smallGrid();
        ExportRequest r = requestFor(path, grid, QStringLiteral("新表"));
        r.title = QStringLiteral("标题");
        const DbStatus o = writeWorkbook(grid, r);
        QCOMPARE(o.ok(), written);
        if (!written) {
            QVERIFY(o.error.description.contains(QDir::toNativeSeparators(path)));
            QCOMPARE(digestOf(path), before);
        }
        QCOMPARE(filesInDir(), filesBefore);
    }

    // A name of 255 bytes is legal: the temporary file beside it has a short name of its own.
    void longestFileName()
    {
        const QString name = QString(80, QChar(0x8868)) + QStringLiteral(".xlsx");  // 245 bytes
        QVERIFY(name.toUtf8().size() >= 244);
        const QString path = dir.filePath(name);
        const TableSource grid = smallGrid();
        DbStatus o = writeWorkbook(grid, requestFor(path, grid, QStringLiteral("表")));
        QVERIFY2(o.ok(), qPrintable(o.error.description));
        o = writeWorkbook(grid, requestFor(path, grid, QStringLiteral("表二")));
        QVERIFY2(o.ok(), qPrintable(o.error.description));
        QVERIFY(QFile::remove(path));
        const DbStatus missing = writeWorkbook(
            grid, requestFor(dir.filePath(QStringLiteral("无此文件夹/x.xlsx")), grid, QStringLiteral("表")));
        QVERIFY(missing.error.description.startsWith(QStringLiteral("文件夹 ")));
        QVERIFY(missing.error.description.endsWith(QStringLiteral(" 不存在")));
    }
};

QTEST_MAIN(WorkbookExportTest)
#include "test_workbook_export.moc"
