// The grid's model, its format strings, alignment codes, colour numbers and twips.

#include "GridFormats.h"

#include "widgets/grid/GridFormat.h"
#include "widgets/grid/GridModel.h"
#include "widgets/grid/Twips.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include <memory>

using namespace quarvel;

namespace {

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

struct Expected {
    QString header;
    int alignment;
};

void checkColumns(const QString& format, const QList<Expected>& expected)
{
    const QList<FormatColumn> columns = parseFormatString(format);
    QCOMPARE(columns.size(), expected.size());
    for (int c = 0; c < expected.size(); ++c) {
        QCOMPARE(columns.at(c).header, expected.at(c).header);
        QCOMPARE(columns.at(c).alignment, expected.at(c).alignment);
    }
}

constexpr int L = GridAlign::LeftCenter;
constexpr int C = GridAlign::CenterCenter;
constexpr int G = GridAlign::General;

}  // namespace

class TestGridModel : public QObject {
    Q_OBJECT

private slots:
    // Format strings
    void uploadListFormat();
    void rightsFormat();
    void browseFormat();
    void statisticsAndDetailsFormats();
    void formatMarksAndEdges();
    void displayColumnsCountWideCharactersTwice();

    // Alignment codes and colour numbers
    void alignmentCodesMapToQtFlags_data();
    void alignmentCodesMapToQtFlags();
    void generalAlignmentDependsOnText();
    void colourNumbersStoreBlueInTheHighByte();

    // Model
    void passesTheModelTester();
    void textMatrixRoundTrip();
    void outOfRangeCellsAreEmptyAndIgnoreWrites();
    void setRowsGrowsAndShrinks();
    void setColsKeepsTextsOfRemainingColumns();
    void insertAndRemoveRows();
    void clearEmptiesCellsAndKeepsShape();
    void cellFormatsReachTheRoles();
    void fixedCellsAreShadedAndUseFixedAlignment();
    void headerDataIsRowZero();
    void findRowById();
    void bulkChangesSendOneReset();
    void fillsFiftyThousandRows();
    void rowsArriveInSteps();
    void rewrittenTextsAndFormatsStayInPlace();

    // Twips
    void twipsAndPixels();
};

// A source of `count` rows "r<n>" whose second cell is blue, as a window's reader gives them.
GridModel::RowSource countingSource(GridModel& model, int count)
{
    auto next = std::make_shared<int>(0);
    return [&model, count, next](int maxRows) {
        for (int n = 0; n < maxRows && *next < count; ++n) {
            const int row = model.appendRow({QStringLiteral("r%1").arg(++*next), QStringLiteral("查阅")});
            model.setCellForeColor(row, 1, Qt::blue);
        }
        return *next < count;
    };
}

// ---- format strings ----

void TestGridModel::uploadListFormat()
{
    checkColumns(gridformats::UploadList, {{u"序"_qs, L},
                                           {u"编号"_qs, L},
                                           {u"文件类别"_qs, L},
                                           {u"文件名称"_qs, L},
                                           {u"文件摘要"_qs, L},
                                           {u"关键字"_qs, L},
                                           {u"级别"_qs, C},
                                           {u"文件格式"_qs, C},
                                           {u"上传日期"_qs, C},
                                           {QString(), G}});
}

void TestGridModel::rightsFormat()
{
    // The first column has no mark and a header of two blanks; the final "|" adds the ID column.
    checkColumns(gridformats::Rights, {{blanks(2), G},
                                       {u"部门"_qs + blanks(36), L},
                                       {u"岗位"_qs + blanks(29), L},
                                       {u"姓名"_qs + blanks(17), L},
                                       {u"操作"_qs + blanks(5), C},
                                       {u"查阅"_qs + blanks(5), C},
                                       {u"下载"_qs + blanks(5), C},
                                       {QString(), G}});
}

void TestGridModel::browseFormat()
{
    const QList<FormatColumn> columns = parseFormatString(gridformats::Browse);
    QCOMPARE(columns.size(), 13);
    const QStringList trimmed{u"序"_qs,     u"编号"_qs,     u"文件类别"_qs,   u"文件名称"_qs, u"文件摘要"_qs,
                              u"关键字"_qs, u"文件级别"_qs, u"上传人姓名"_qs, u"上传日期"_qs, u"文件格式"_qs,
                              u"操作"_qs,   u"操作"_qs,     QString()};
    for (int c = 0; c < 13; ++c) {
        QCOMPARE(columns.at(c).header.trimmed(), trimmed.at(c));
        QCOMPARE(columns.at(c).alignment, c < 6 ? L : c < 12 ? C : G);
    }
    QCOMPARE(columns.at(1).header, u"编号"_qs + blanks(20));
    QCOMPARE(columns.at(2).header, u"文件类别"_qs + blanks(32));
    QCOMPARE(columns.at(9).header, u"文件格式"_qs);
    QCOMPARE(columns.at(10).header, u"操作"_qs + blanks(2));
}

void TestGridModel::statisticsAndDetailsFormats()
{
    checkColumns(gridformats::Statistics, {{u"序"_qs, G},
                                           {u"文件编号"_qs + blanks(16), L},
                                           {u"文件名称"_qs + blanks(18), L},
                                           {u"摘要"_qs + blanks(17), L},
                                           {u"浏览次数"_qs + blanks(2), L},
                                           {u"下载次数"_qs + blanks(1), L},
                                           {u"明细"_qs + blanks(3), C}});
    checkColumns(gridformats::Details, {{u"序"_qs, G},
                                        {u"文件编号"_qs + blanks(16), L},
                                        {u"文件名称"_qs + blanks(18), L},
                                        {u"摘要"_qs + blanks(17), L},
                                        {u"部门"_qs + blanks(15), L},
                                        {u"姓名"_qs + blanks(11), L},
                                        {u"阅读"_qs + blanks(3), L},
                                        {u"下载"_qs + blanks(3), L},
                                        {u"操作日期"_qs + blanks(11), L}});
}

void TestGridModel::formatMarksAndEdges()
{
    QVERIFY(parseFormatString(QString()).isEmpty());
    checkColumns(u"a"_qs, {{u"a"_qs, G}});
    checkColumns(u">金额|<|^"_qs, {{u"金额"_qs, GridAlign::RightCenter}, {QString(), L}, {QString(), C}});
    // Only the first character is a mark; later ones belong to the text.
    checkColumns(u"<<a| ^b"_qs, {{u"<a"_qs, L}, {u" ^b"_qs, G}});
    checkColumns(u"|"_qs, {{QString(), G}, {QString(), G}});
}

void TestGridModel::displayColumnsCountWideCharactersTwice()
{
    QCOMPARE(displayColumns(QString()), 0);
    QCOMPARE(displayColumns(u"序"_qs), 2);
    QCOMPARE(displayColumns(u"ab c"_qs), 4);
    QCOMPARE(displayColumns(u"部门  "_qs), 6);
    QCOMPARE(displayColumns(u"ＡＢ"_qs), 4);        // full-width letters
    QCOMPARE(displayColumns(u"\U00020000"_qs), 2);  // beyond the basic plane: one character
    QCOMPARE(displayColumns(u"√×"_qs), 2);
}

// ---- alignment codes and colours ----

void TestGridModel::alignmentCodesMapToQtFlags_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("flags");
    QTest::newRow("0 left top") << 0 << int(Qt::AlignLeft | Qt::AlignTop);
    QTest::newRow("1 left centre") << 1 << int(Qt::AlignLeft | Qt::AlignVCenter);
    QTest::newRow("2 left bottom") << 2 << int(Qt::AlignLeft | Qt::AlignBottom);
    QTest::newRow("3 centre top") << 3 << int(Qt::AlignHCenter | Qt::AlignTop);
    QTest::newRow("4 centre centre") << 4 << int(Qt::AlignHCenter | Qt::AlignVCenter);
    QTest::newRow("5 centre bottom") << 5 << int(Qt::AlignHCenter | Qt::AlignBottom);
    QTest::newRow("6 right top") << 6 << int(Qt::AlignRight | Qt::AlignTop);
    QTest::newRow("7 right centre") << 7 << int(Qt::AlignRight | Qt::AlignVCenter);
    QTest::newRow("8 right bottom") << 8 << int(Qt::AlignRight | Qt::AlignBottom);
    QTest::newRow("9 general, text") << 9 << int(Qt::AlignLeft | Qt::AlignVCenter);
}

void TestGridModel::alignmentCodesMapToQtFlags()
{
    QFETCH(int, code);
    QFETCH(int, flags);
    QCOMPARE(int(alignmentFlags(code, u"文本"_qs)), flags);

    // The model hands the column's code to the view.
    GridModel model;
    model.setRows(2);
    model.setCols(2);
    model.setFixedCols(0);
    model.setTextMatrix(1, 1, u"文本"_qs);
    model.setColAlignment(1, code);
    QCOMPARE(model.colAlignment(1), code);
    QCOMPARE(model.data(model.index(1, 1), Qt::TextAlignmentRole).toInt(), flags);
    QCOMPARE(model.data(model.index(1, 1), GridModel::AlignmentCodeRole).toInt(), code);
}

void TestGridModel::generalAlignmentDependsOnText()
{
    const int right = int(Qt::AlignRight | Qt::AlignVCenter);
    const int left = int(Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(int(alignmentFlags(GridAlign::General, u"12"_qs)), right);
    QCOMPARE(int(alignmentFlags(GridAlign::General, u" -3.5 "_qs)), right);
    QCOMPARE(int(alignmentFlags(GridAlign::General, u"2013-09-01"_qs)), left);
    QCOMPARE(int(alignmentFlags(GridAlign::General, QString())), left);
    QCOMPARE(int(alignmentFlags(42, u"7"_qs)), right);  // unknown codes act as general

    GridModel model;
    model.setRows(1);
    model.setCols(1);
    model.setColAlignment(0, 42);  // refused
    QCOMPARE(model.colAlignment(0), int(GridAlign::General));
}

void TestGridModel::colourNumbersStoreBlueInTheHighByte()
{
    QCOMPARE(colorFromNumber(16711680), QColor(0, 0, 255));
    QCOMPARE(colorFromNumber(255), QColor(255, 0, 0));
    QCOMPARE(colorFromNumber(14737632), QColor(224, 224, 224));
    QCOMPARE(colorToNumber(QColor(0, 0, 255)), 16711680u);
    QCOMPARE(colorToNumber(colorFromNumber(0x123456)), 0x123456u);
}

// ---- model ----

void TestGridModel::passesTheModelTester()
{
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRows(3);
    model.setCols(4);
    model.setTextMatrix(0, 0, u"序"_qs);
    model.setTextMatrix(2, 3, u"12"_qs);
    model.setCellForeColor(2, 3, Qt::blue);
    model.setCellFontSize(2, 3, 12);
    model.appendRow({u"a"_qs, u"b"_qs});
    model.insertRowAt(1, {u"x"_qs});
    model.removeRowAt(0);
    model.setCols(2);
    model.setFixedRows(2);
    model.setFixedCols(0);
    {
        GridModel::BatchUpdate batch(model);
        model.setRows(1);
        for (int r = 0; r < 100; ++r)
            model.appendRow({QString::number(r), u"x"_qs});
        model.setCols(5);
    }
    model.clear();
    model.setRows(0);
    model.setCols(0);
    model.setRows(4);
    model.setCols(1);
}

void TestGridModel::textMatrixRoundTrip()
{
    GridModel model;
    model.setRows(3);
    model.setCols(3);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setTextMatrix(1, 2, u"文件名称"_qs));
    QCOMPARE(model.textMatrix(1, 2), u"文件名称"_qs);
    QCOMPARE(model.data(model.index(1, 2)).toString(), u"文件名称"_qs);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, 2));
    // Writing the same text again changes nothing.
    QVERIFY(model.setTextMatrix(1, 2, u"文件名称"_qs));
    QCOMPARE(changed.size(), 1);
    // Blanks are kept.
    model.setTextMatrix(2, 0, u" 合计 "_qs);
    QCOMPARE(model.textMatrix(2, 0), u" 合计 "_qs);

    model.setRowTexts(2, {u"a"_qs, u"b"_qs, u"c"_qs, u"ignored"_qs});
    QCOMPARE(model.rowTexts(2), QStringList({u"a"_qs, u"b"_qs, u"c"_qs}));
    model.setRowTexts(2, {u"z"_qs});
    QCOMPARE(model.rowTexts(2), QStringList({u"z"_qs, u"b"_qs, u"c"_qs}));

    QVERIFY(model.setData(model.index(1, 1), u"edit"_qs));
    QCOMPARE(model.textMatrix(1, 1), u"edit"_qs);
}

void TestGridModel::outOfRangeCellsAreEmptyAndIgnoreWrites()
{
    GridModel model;
    model.setRows(2);
    model.setCols(2);
    QVERIFY(!model.setTextMatrix(2, 0, u"x"_qs));
    QVERIFY(!model.setTextMatrix(0, -1, u"x"_qs));
    QVERIFY(model.textMatrix(5, 5).isEmpty());
    model.setCellForeColor(9, 9, Qt::red);
    QVERIFY(!model.cellForeColor(9, 9).isValid());
    QCOMPARE(model.rows(), 2);
    QCOMPARE(model.cols(), 2);
    QVERIFY(!model.removeRowAt(2));
}

void TestGridModel::setRowsGrowsAndShrinks()
{
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setCols(2);
    model.setRows(3);
    model.setTextMatrix(0, 0, u"序"_qs);
    model.setTextMatrix(2, 1, u"last"_qs);
    model.setCellBackColor(2, 1, Qt::gray);

    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.setRows(1);  // header row only
    QCOMPARE(model.rows(), 1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(model.textMatrix(0, 0), u"序"_qs);

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.setRows(4);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(model.rows(), 4);
    // Rows that come back are empty, formats included.
    QVERIFY(model.textMatrix(2, 1).isEmpty());
    QVERIFY(!model.cellBackColor(2, 1).isValid());
    model.setRows(-3);
    QCOMPARE(model.rows(), 0);
}

void TestGridModel::setColsKeepsTextsOfRemainingColumns()
{
    GridModel model;
    model.setRows(3);
    model.setCols(3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            model.setTextMatrix(r, c, QStringLiteral("%1,%2").arg(r).arg(c));
    model.setColAlignment(1, GridAlign::CenterCenter);
    model.setCellForeColor(2, 1, Qt::red);

    model.setCols(5);
    QCOMPARE(model.cols(), 5);
    QCOMPARE(model.textMatrix(2, 2), u"2,2"_qs);
    QVERIFY(model.textMatrix(2, 4).isEmpty());
    QCOMPARE(model.colAlignment(1), int(GridAlign::CenterCenter));
    QCOMPARE(model.colAlignment(4), int(GridAlign::General));
    QCOMPARE(model.cellForeColor(2, 1), QColor(Qt::red));

    model.setCols(2);
    QCOMPARE(model.textMatrix(1, 1), u"1,1"_qs);
    QCOMPARE(model.rowTexts(2), QStringList({u"2,0"_qs, u"2,1"_qs}));
    QCOMPARE(model.cellForeColor(2, 1), QColor(Qt::red));
}

void TestGridModel::insertAndRemoveRows()
{
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setCols(3);
    model.setRows(1);
    QCOMPARE(model.appendRow({u"1"_qs, u"a"_qs}), 1);
    QCOMPARE(model.appendRow({u"3"_qs, u"c"_qs, u"x"_qs, u"extra"_qs}), 2);
    QCOMPARE(model.insertRowAt(2, {u"2"_qs, u"b"_qs}), 2);
    QCOMPARE(model.rows(), 4);
    QCOMPARE(model.textMatrix(1, 1), u"a"_qs);
    QCOMPARE(model.textMatrix(2, 1), u"b"_qs);
    QCOMPARE(model.textMatrix(3, 1), u"c"_qs);
    QCOMPARE(model.textMatrix(3, 2), u"x"_qs);
    QVERIFY(model.textMatrix(1, 2).isEmpty());

    QVERIFY(model.removeRowAt(2));
    QCOMPARE(model.rows(), 3);
    QCOMPARE(model.textMatrix(2, 1), u"c"_qs);
    QCOMPARE(model.insertRowAt(99), 3);  // beyond the end: appended
}

void TestGridModel::clearEmptiesCellsAndKeepsShape()
{
    GridModel model;
    model.setRows(3);
    model.setCols(2);
    model.setTextMatrix(0, 1, u"h"_qs);
    model.setTextMatrix(2, 1, u"x"_qs);
    model.setCellBackColor(2, 1, Qt::yellow);
    model.setColAlignment(1, GridAlign::RightCenter);
    model.clear();
    QCOMPARE(model.rows(), 3);
    QCOMPARE(model.cols(), 2);
    QVERIFY(model.textMatrix(0, 1).isEmpty());
    QVERIFY(model.textMatrix(2, 1).isEmpty());
    QVERIFY(!model.cellBackColor(2, 1).isValid());
    QCOMPARE(model.colAlignment(1), int(GridAlign::RightCenter));
}

void TestGridModel::cellFormatsReachTheRoles()
{
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRows(4);
    model.setCols(8);
    const QModelIndex cell = model.index(2, 5);
    QVERIFY(!model.data(cell, Qt::ForegroundRole).isValid());
    QVERIFY(!model.data(cell, Qt::BackgroundRole).isValid());
    QVERIFY(!model.data(cell, Qt::FontRole).isValid());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setCellForeColor(2, 5, colorFromNumber(16711680));
    QCOMPARE(changed.size(), 1);
    QVERIFY(changed.at(0).at(2).value<QList<int>>().contains(Qt::ForegroundRole));
    QCOMPARE(model.data(cell, Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
    QCOMPARE(model.cellForeColor(2, 5), QColor(0, 0, 255));

    model.setCellBackColor(2, 5, QColor(224, 224, 224));
    QCOMPARE(model.data(cell, Qt::BackgroundRole).value<QBrush>().color(), QColor(224, 224, 224));

    QFont base;
    base.setPointSize(9);
    model.setBaseFont(base);
    model.setCellFontSize(2, 5, 12);
    QCOMPARE(model.cellFontSize(2, 5), 12.0);
    QCOMPARE(model.data(cell, Qt::FontRole).value<QFont>().pointSizeF(), 12.0);
    QVERIFY(!model.data(cell, Qt::FontRole).value<QFont>().bold());
    model.setCellFontBold(2, 5, true);
    QVERIFY(model.cellFontBold(2, 5));
    QVERIFY(model.data(cell, Qt::FontRole).value<QFont>().bold());

    // Other cells keep their defaults.
    QVERIFY(!model.data(model.index(2, 4), Qt::ForegroundRole).isValid());
    QVERIFY(!model.data(model.index(3, 5), Qt::FontRole).isValid());

    // An invalid colour restores the default; clearCellFormat removes every format.
    model.setCellForeColor(2, 5, QColor());
    QVERIFY(!model.data(cell, Qt::ForegroundRole).isValid());
    model.clearCellFormat(2, 5);
    QVERIFY(!model.data(cell, Qt::BackgroundRole).isValid());
    QVERIFY(!model.data(cell, Qt::FontRole).isValid());

    // A totals row: every cell, the fixed one included.
    model.setRowBackColor(3, colorFromNumber(14737632));
    for (int c = 0; c < 8; ++c)
        QCOMPARE(model.data(model.index(3, c), Qt::BackgroundRole).value<QBrush>().color(), QColor(224, 224, 224));
    model.setRowForeColor(3, Qt::red);
    QCOMPARE(model.cellForeColor(3, 7), QColor(Qt::red));
}

void TestGridModel::fixedCellsAreShadedAndUseFixedAlignment()
{
    GridModel model;
    model.setRows(3);
    model.setCols(3);
    model.setFixedBackColor(QColor(200, 200, 200));
    QVERIFY(model.isFixedCell(0, 2));
    QVERIFY(model.isFixedCell(2, 0));
    QVERIFY(!model.isFixedCell(1, 1));
    QCOMPARE(model.data(model.index(2, 0), Qt::BackgroundRole).value<QBrush>().color(), QColor(200, 200, 200));
    QVERIFY(!model.data(model.index(2, 1), Qt::BackgroundRole).isValid());
    QVERIFY(model.data(model.index(2, 0), GridModel::FixedCellRole).toBool());

    model.setColAlignment(0, GridAlign::LeftCenter);
    model.setFixedAlignment(0, GridAlign::CenterCenter);
    QCOMPARE(model.data(model.index(2, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    model.setFixedCols(0);
    QVERIFY(!model.data(model.index(2, 0), Qt::BackgroundRole).isValid());
    QCOMPARE(model.data(model.index(2, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));

    // An explicit colour wins over the shading.
    model.setFixedCols(1);
    model.setCellBackColor(1, 0, Qt::green);
    QCOMPARE(model.data(model.index(1, 0), Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::green));
}

void TestGridModel::headerDataIsRowZero()
{
    GridModel model;
    model.setRows(2);
    model.setCols(3);
    QSignalSpy header(&model, &QAbstractItemModel::headerDataChanged);
    model.setTextMatrix(0, 1, u"编号"_qs);
    QCOMPARE(header.size(), 1);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), u"编号"_qs);
    // The blanks that give a column its width are not shown.
    model.setTextMatrix(0, 2, u"日期      "_qs);
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), u"日期"_qs);
    QCOMPARE(model.textMatrix(0, 2), u"日期      "_qs);
    model.setFixedAlignment(1, GridAlign::CenterCenter);
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    model.setCellForeColor(0, 1, Qt::red);
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    QVERIFY(!model.headerData(1, Qt::Horizontal, Qt::BackgroundRole).isValid());
    QVERIFY(!model.headerData(7, Qt::Horizontal).isValid());
}

void TestGridModel::findRowById()
{
    GridModel model;
    model.setCols(10);
    model.setRows(1);
    model.setTextMatrix(0, 9, u"17"_qs);  // the header row is never a match
    model.appendRow({u"1"_qs, u"A-1"_qs, {}, {}, {}, {}, {}, {}, {}, u"5"_qs});
    model.appendRow({u"2"_qs, u"A-2"_qs, {}, {}, {}, {}, {}, {}, {}, u" 17 "_qs});
    model.appendRow({u"3"_qs, u"A-3"_qs, {}, {}, {}, {}, {}, {}, {}, u"17"_qs});
    model.appendRow({u"4"_qs, u"A-4"_qs, {}, {}, {}, {}, {}, {}, {}, u"9000000000"_qs});
    QCOMPARE(model.findRowById(9, 5), 1);
    QCOMPARE(model.findRowById(9, 17), 2);  // the first one, blanks ignored
    QCOMPARE(model.findRowById(9, 9000000000LL), 4);
    QCOMPARE(model.findRowById(9, 6), -1);
    QCOMPARE(model.findRowById(10, 5), -1);
    QCOMPARE(model.findRowById(-1, 5), -1);
    QCOMPARE(model.findRow(1, u"A-3"_qs), 3);
    QCOMPARE(model.findRow(1, u"A-3"_qs, 4), -1);
}

void TestGridModel::bulkChangesSendOneReset()
{
    GridModel model;
    model.setRows(1);
    model.setCols(3);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    {
        GridModel::BatchUpdate outer(model);
        model.setRows(101);
        {
            GridModel::BatchUpdate inner(model);
            for (int r = 1; r <= 100; ++r)
                model.setTextMatrix(r, 1, QString::number(r));
        }
        QVERIFY(model.inBulk());
        QCOMPARE(reset.size(), 0);
        model.appendRow({u"x"_qs});
        model.setCellForeColor(5, 1, Qt::red);
    }
    QVERIFY(!model.inBulk());
    QCOMPARE(reset.size(), 1);
    QCOMPARE(changed.size(), 0);
    QCOMPARE(inserted.size(), 0);
    QCOMPARE(model.rowCount(), 102);
    QCOMPARE(model.textMatrix(100, 1), u"100"_qs);
    QCOMPARE(model.textMatrix(101, 0), u"x"_qs);

    model.endBulk();  // unbalanced: ignored
    QVERIFY(!model.inBulk());
    QCOMPARE(reset.size(), 1);
}

void TestGridModel::rowsArriveInSteps()
{
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setCols(2);
    model.setRows(1);
    QSignalSpy progress(&model, &GridModel::loadProgress);
    QSignalSpy finished(&model, &GridModel::loadingFinished);
    const int total = GridModel::kFirstStepRows + GridModel::kStepRows + 50;
    model.setRowSource(countingSource(model, total), total);

    // The first step at once, the next when the view asks, the rest while idle.
    QCOMPARE(model.rowCount(), 1 + GridModel::kFirstStepRows);
    QCOMPARE(progress.constLast(), (QVariantList{GridModel::kFirstStepRows, total}));
    QVERIFY(model.loading() && model.canFetchMore({}));
    model.fetchMore({});
    QCOMPARE(model.loadedRows(), GridModel::kFirstStepRows + GridModel::kStepRows);
    QCOMPARE(model.textMatrix(model.rows() - 1, 0), QStringLiteral("r%1").arg(model.loadedRows()));
    QTRY_VERIFY(!model.loading());
    QCOMPARE(model.rowCount(), 1 + total);
    QCOMPARE(model.expectedRows(), total);
    QCOMPARE(progress.constLast(), (QVariantList{total, total}));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(model.cellForeColor(total, 1), QColor(Qt::blue));
    QCOMPARE(model.data(model.index(total, 1), Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::blue));

    // fetchAll completes at once; refilling the grid drops a source.
    model.setRows(1);
    model.setRowSource(countingSource(model, total), total);
    model.fetchAll();
    QCOMPARE(model.loadedRows(), total);
    model.setRowSource(countingSource(model, total), total);
    model.setRows(1);
    QVERIFY(!model.loading());
    QCOMPARE(model.expectedRows(), 0);
}

void TestGridModel::rewrittenTextsAndFormatsStayInPlace()
{
    // Texts written again and again (their old copies are dropped now and then), rows inserted
    // and removed among cells with formats.
    GridModel model;
    model.setCols(3);
    model.setRows(2001);
    for (int round = 0; round < 5; ++round)
        for (int r = 1; r <= 2000; ++r)
            model.setTextMatrix(r, 1, QStringLiteral("第%1轮的第%2行").arg(round).arg(r));
    model.setCellBackColor(10, 2, Qt::red);
    model.insertRowAt(5, {u"new"_qs});
    model.removeRowAt(1);
    QCOMPARE(model.textMatrix(4, 0), u"new"_qs);
    QCOMPARE(model.textMatrix(2000, 1), u"第4轮的第2000行"_qs);
    QCOMPARE(model.textMatrix(10, 1), u"第4轮的第10行"_qs);
    QCOMPARE(model.cellBackColor(10, 2), QColor(Qt::red));
    QCOMPARE(model.cellBackColor(9, 2), QColor());
    QCOMPARE(model.findRow(1, u"第4轮的第1999行"_qs), 1999);
}

void TestGridModel::fillsFiftyThousandRows()
{
    GridModel model;
    model.setCols(10);
    model.setRows(1);
    {
        GridModel::BatchUpdate batch(model);
        model.setRows(50001);
        for (int r = 1; r <= 50000; ++r) {
            model.setTextMatrix(r, 0, QString::number(r));
            for (int c = 1; c < 9; ++c)
                model.setTextMatrix(r, c, QStringLiteral("文件%1-%2").arg(r).arg(c));
            model.setTextMatrix(r, 9, QString::number(100000 + r));
        }
    }
    QCOMPARE(model.rowCount(), 50001);
    QCOMPARE(model.textMatrix(50000, 8), u"文件50000-8"_qs);
    QCOMPARE(model.findRowById(9, 150000), 50000);

    GridModel appended;
    appended.setCols(10);
    appended.setRows(1);
    appended.beginBulk();
    QStringList texts;
    for (int c = 0; c < 10; ++c)
        texts << QStringLiteral("c%1").arg(c);
    for (int r = 0; r < 50000; ++r)
        appended.appendRow(texts);
    appended.endBulk();
    QCOMPARE(appended.rows(), 50001);
    QCOMPARE(appended.textMatrix(50000, 9), u"c9"_qs);
}

// ---- twips ----

void TestGridModel::twipsAndPixels()
{
    QWidget widget;
    const int dpi = widget.logicalDpiX();
    QCOMPARE(twipsToPixels(1440, &widget), dpi);
    QCOMPARE(twipsToPixels(0, &widget), 0);
    QCOMPARE(twipsToPixels(720, &widget), qRound(dpi / 2.0));
    QCOMPARE(pixelsToTwips(dpi, &widget), 1440);
    QCOMPARE(twipsToPixels(-1440, &widget), -dpi);
    // Round trips within one pixel's worth of twips.
    for (int twips : {15, 300, 450, 800, 1500, 1800, 2500}) {
        const int back = pixelsToTwips(twipsToPixels(twips, &widget), &widget);
        QVERIFY2(qAbs(back - twips) <= 1440 / dpi, qPrintable(QString::number(twips)));
    }
    QCOMPARE(twipsToPixels(1440, nullptr), qRound(logicalDpi(nullptr)));
    QCOMPARE(twipsToPixels(0, 0, 1440, 2880, &widget), QRect(0, 0, dpi, qRound(2.0 * widget.logicalDpiY())));
}

QTEST_MAIN(TestGridModel)
#include "test_grid_model.moc"
