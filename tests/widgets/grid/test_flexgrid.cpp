// The grid widget: format strings, widths, the header row, the current cell, mouse signals,
// merged cells, scrolling and large fills.

#include "GridFormats.h"

#include "widgets/grid/FlexGrid.h"
#include "widgets/grid/Twips.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QFontMetrics>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using namespace quarvel;

class TestFlexGrid : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsLikeAnEmptyGrid();
    void formatStringsSetColumnsHeadersAndAlignments_data();
    void formatStringsSetColumnsHeadersAndAlignments();
    void widthsGrowWithTheHeaderLength();
    void formatStringKeepsRowsAndResetsWidths();
    void columnWidthsInTwips();
    void zeroWidthHidesAColumn();
    void widthsSurviveABulkFill();
    void rowNumberColumnShowsItsLargestNumber();
    void userResizedWidthIsReported();
    void columnsFitTheViewAroundTheStretchingColumn_data();
    void columnsFitTheViewAroundTheStretchingColumn();
    void rowZeroIsTheColumnHeader();
    void withoutFixedRowsRowZeroIsAnOrdinaryRow();
    void rowHeights();
    void textMatrixAndCurrentCellText();
    void setRowsShrinksAndGrows();
    void addItemAndRemoveItem();
    void currentCellAndSelection();
    void selectWholeRowSelectsEveryColumn();
    void currentCellFollowsTheView();
    void clickSendsCellAndMovesCurrent();
    void doubleClickSendsOneClickAndOneDoubleClick();
    void headerClick();
    void cellColoursReachTheModel();
    void findRowByHiddenId();
    void mergesEqualNeighboursInMarkedColumns();
    void restrictColumnsFollowsTheColumnToTheLeft();
    void mergesRowsAndFixedOnly();
    void mergesFollowTheTexts();
    void scrollingAndCellRectangles();
    void clearKeepsTheShape();
    void fillsFiftyThousandRows();

private:
    FlexGrid* m_grid = nullptr;
    QAbstractItemModelTester* m_tester = nullptr;
};

void TestFlexGrid::init()
{
    m_grid = new FlexGrid;
    m_grid->setObjectName(u"MSFlexGrid1"_qs);
    m_grid->resize(800, 400);
    m_tester = new QAbstractItemModelTester(m_grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TestFlexGrid::cleanup()
{
    delete m_tester;
    m_tester = nullptr;
    delete m_grid;
    m_grid = nullptr;
}

// ---- shape and format ----

void TestFlexGrid::startsLikeAnEmptyGrid()
{
    QCOMPARE(m_grid->rows(), 2);
    QCOMPARE(m_grid->cols(), 2);
    QCOMPARE(m_grid->fixedRows(), 1);
    QCOMPARE(m_grid->fixedCols(), 1);
    QCOMPARE(m_grid->row(), 1);
    QCOMPARE(m_grid->col(), 1);
    QCOMPARE(m_grid->selectionMode(), FlexGrid::SelectionMode::ByRow);
    QCOMPARE(m_grid->mergeCells(), FlexGrid::MergeMode::Never);
    QCOMPARE(m_grid->colWidth(0), FlexGrid::DefaultColWidthTwips);
    QCOMPARE(m_grid->view()->accessibleName(), u"MSFlexGrid1"_qs);
    QCOMPARE(m_grid->view()->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestFlexGrid::formatStringsSetColumnsHeadersAndAlignments_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("cols");
    QTest::addColumn<QString>("alignments");  // one letter per column: L, C or G
    QTest::newRow("upload list") << gridformats::UploadList << 10 << u"LLLLLLCCCG"_qs;
    QTest::newRow("rights") << gridformats::Rights << 8 << u"GLLLCCCG"_qs;
    QTest::newRow("browse") << gridformats::Browse << 13 << u"LLLLLLCCCCCCG"_qs;
    QTest::newRow("statistics") << gridformats::Statistics << 7 << u"GLLLLLC"_qs;
    QTest::newRow("details") << gridformats::Details << 9 << u"GLLLLLLLL"_qs;
}

void TestFlexGrid::formatStringsSetColumnsHeadersAndAlignments()
{
    QFETCH(QString, format);
    QFETCH(int, cols);
    QFETCH(QString, alignments);

    m_grid->setRows(1);
    m_grid->setFormatString(format);
    QCOMPARE(m_grid->formatString(), format);
    QCOMPARE(m_grid->cols(), cols);
    QCOMPARE(m_grid->rows(), 1);
    const QStringList pieces = format.split(u'|');
    for (int c = 0; c < cols; ++c) {
        QString header = pieces.at(c);
        if (header.startsWith(u'<') || header.startsWith(u'^'))
            header.remove(0, 1);
        QCOMPARE(m_grid->textMatrix(0, c), header);
        QCOMPARE(m_grid->model()->headerData(c, Qt::Horizontal).toString(), header.trimmed());
        const int expected = alignments.at(c) == u'L'   ? GridAlign::LeftCenter
                             : alignments.at(c) == u'C' ? GridAlign::CenterCenter
                                                        : GridAlign::General;
        QCOMPARE(m_grid->colAlignment(c), expected);
        QCOMPARE(m_grid->fixedAlignment(c), expected);
        QCOMPARE(m_grid->colWidth(c), m_grid->formatWidthTwips(header));
    }
    // The export reads codes above 5 as numeric columns: only the unmarked ones are.
    for (int c = 0; c < cols; ++c)
        QCOMPARE(m_grid->colAlignment(c) > 5, alignments.at(c) == u'G');
}

void TestFlexGrid::widthsGrowWithTheHeaderLength()
{
    const QFontMetrics metrics(m_grid->view()->font());
    QVERIFY(metrics.averageCharWidth() > 0);
    // Equal display lengths give equal widths; every extra character cell adds the same amount.
    QCOMPARE(m_grid->formatWidthTwips(u"序 "_qs), m_grid->formatWidthTwips(u"abc"_qs));
    const int one = m_grid->formatWidthTwips(u"a"_qs);
    const int eleven = m_grid->formatWidthTwips(u"a"_qs + QString(10, u' '));
    const int twentyOne = m_grid->formatWidthTwips(u"a"_qs + QString(20, u' '));
    QVERIFY(eleven > one);
    QVERIFY(qAbs((twentyOne - eleven) - (eleven - one)) <= 2);
    QCOMPARE(m_grid->formatWidthTwips(QString()), pixelsToTwips(2 * FlexGrid::CellPaddingPixels, m_grid));

    // In the grids: a longer header (blanks included) is a wider column.
    for (const QString& format : {gridformats::Rights, gridformats::Browse, gridformats::Statistics,
                                  gridformats::Details, gridformats::UploadList}) {
        m_grid->setFormatString(format);
        for (int a = 0; a < m_grid->cols(); ++a) {
            for (int b = 0; b < m_grid->cols(); ++b) {
                const int lengthA = displayColumns(m_grid->textMatrix(0, a));
                const int lengthB = displayColumns(m_grid->textMatrix(0, b));
                if (lengthA < lengthB)
                    QVERIFY2(m_grid->colWidth(a) < m_grid->colWidth(b), qPrintable(format));
                else if (lengthA == lengthB)
                    QCOMPARE(m_grid->colWidth(a), m_grid->colWidth(b));
            }
        }
    }
    // The department column of the rights grid is its widest.
    m_grid->setFormatString(gridformats::Rights);
    for (int c = 0; c < m_grid->cols(); ++c)
        QVERIFY(m_grid->colWidth(1) >= m_grid->colWidth(c));
}

void TestFlexGrid::formatStringKeepsRowsAndResetsWidths()
{
    m_grid->setRows(0);
    m_grid->setFormatString(u"<a|^b"_qs);
    QCOMPARE(m_grid->rows(), 1);  // at least the header row
    m_grid->setRows(3);
    m_grid->setTextMatrix(2, 1, u"kept"_qs);
    m_grid->setColWidth(1, 0);
    m_grid->setFormatString(u"<a|^b|c"_qs);
    QCOMPARE(m_grid->rows(), 3);
    QCOMPARE(m_grid->cols(), 3);
    QCOMPARE(m_grid->textMatrix(2, 1), u"kept"_qs);
    QCOMPARE(m_grid->colWidth(1), m_grid->formatWidthTwips(u"b"_qs));
    QVERIFY(!m_grid->view()->isColumnHidden(1));
}

void TestFlexGrid::columnWidthsInTwips()
{
    m_grid->setRows(1);
    m_grid->setFormatString(gridformats::UploadList);
    const QList<int> widths{300, 1500, 2500, 2500, 1500, 1500, 450, 800, 1800, 0};
    for (int c = 0; c < widths.size(); ++c)
        m_grid->setColWidth(c, widths.at(c));
    for (int c = 0; c < widths.size(); ++c) {
        QCOMPARE(m_grid->colWidth(c), widths.at(c));
        if (widths.at(c) > 0)
            QCOMPARE(m_grid->view()->columnWidth(c), twipsToPixels(widths.at(c), m_grid));
    }
    QCOMPARE(m_grid->view()->columnWidth(1), qRound(1500.0 * m_grid->logicalDpiX() / 1440));
    m_grid->setColWidth(1, -5);
    QCOMPARE(m_grid->colWidth(1), 0);
    QCOMPARE(m_grid->colWidth(99), 0);
    m_grid->setColWidth(99, 100);  // ignored
    QCOMPARE(m_grid->cols(), 10);
}

void TestFlexGrid::zeroWidthHidesAColumn()
{
    m_grid->setFormatString(gridformats::Browse);
    m_grid->setColWidth(12, 0);
    QVERIFY(m_grid->view()->isColumnHidden(12));
    QCOMPARE(m_grid->colWidth(12), 0);
    m_grid->setTextMatrix(1, 12, u"42"_qs);
    QCOMPARE(m_grid->textMatrix(1, 12), u"42"_qs);
    m_grid->setColWidth(12, 600);
    QVERIFY(!m_grid->view()->isColumnHidden(12));
    QCOMPARE(m_grid->view()->columnWidth(12), twipsToPixels(600, m_grid));
}

void TestFlexGrid::widthsSurviveABulkFill()
{
    m_grid->setFormatString(gridformats::Rights);
    m_grid->setColWidth(7, 0);
    m_grid->setColWidth(1, 3000);
    m_grid->setRows(5);
    m_grid->setRowHeight(2, 600);
    m_grid->setRedraw(false);
    QVERIFY(!m_grid->redraw());
    m_grid->setRows(1);
    for (int r = 1; r <= 20; ++r)
        m_grid->appendRow({QString::number(r), u"D01 总部"_qs});
    m_grid->setRedraw(true);
    QVERIFY(m_grid->redraw());
    QVERIFY(m_grid->view()->isColumnHidden(7));
    QCOMPARE(m_grid->view()->columnWidth(1), twipsToPixels(3000, m_grid));
    QVERIFY(m_grid->view()->isRowHidden(0));
    QCOMPARE(m_grid->view()->rowHeight(2), twipsToPixels(600, m_grid, Qt::Vertical));
    QCOMPARE(m_grid->rows(), 21);
}

void TestFlexGrid::rowNumberColumnShowsItsLargestNumber()
{
    m_grid->setFormatString(u"<序|<编号"_qs);
    m_grid->setColWidth(0, 300);
    m_grid->beginBulk();
    for (int r = 1; r <= 12000; ++r)
        m_grid->appendRow({QString::number(r), u"A-1"_qs});
    m_grid->endBulk();
    const int shown = m_grid->view()->columnWidth(0);
    QVERIFY2(shown > m_grid->view()->fontMetrics().horizontalAdvance(u"12000"_qs), qPrintable(QString::number(shown)));
    QCOMPARE(m_grid->colWidth(0), 300);  // the width set stays what the window asked for
    // Another column keeps its width whatever it holds.
    m_grid->setColWidth(1, 300);
    QCOMPARE(m_grid->view()->columnWidth(1), twipsToPixels(300, m_grid));
}

void TestFlexGrid::userResizedWidthIsReported()
{
    m_grid->setFormatString(gridformats::Statistics);
    m_grid->view()->horizontalHeader()->resizeSection(2, 200);
    QCOMPARE(m_grid->colWidth(2), pixelsToTwips(200, m_grid));
}

// With a stretching column the shown columns fill the view exactly: the spare width goes to
// the stretching column, and when the texts want more than the view, the columns that are cut
// anyway give way first.
void TestFlexGrid::columnsFitTheViewAroundTheStretchingColumn_data()
{
    QTest::addColumn<int>("nameLength");
    QTest::addColumn<int>("summaryLength");
    QTest::addColumn<bool>("nameWhole");
    QTest::newRow("short texts") << 4 << 4 << true;
    QTest::newRow("a long summary") << 16 << 200 << true;
    QTest::newRow("texts wider than the view") << 300 << 300 << false;
}

void TestFlexGrid::columnsFitTheViewAroundTheStretchingColumn()
{
    QFETCH(int, nameLength);
    QFETCH(int, summaryLength);
    QFETCH(bool, nameWhole);
    m_grid->setFormatString(gridformats::Statistics);
    m_grid->setRows(2);
    m_grid->setTextMatrix(1, 2, QString(nameLength, u'名'));
    m_grid->setTextMatrix(1, 3, QString(summaryLength, u'摘'));
    m_grid->setStretchCol(2);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid));
    const QTableView* view = m_grid->view();
    const int last = m_grid->cols() - 1;
    QTRY_COMPARE(view->columnViewportPosition(last) + view->columnWidth(last), view->viewport()->width());
    QCOMPARE(view->columnWidth(2) > view->fontMetrics().horizontalAdvance(m_grid->textMatrix(1, 2)), nameWhole);
    // The nominal widths stay what the format string gave.
    QCOMPARE(m_grid->colWidth(2), m_grid->formatWidthTwips(m_grid->textMatrix(0, 2)));
}

// ---- header row and row heights ----

void TestFlexGrid::rowZeroIsTheColumnHeader()
{
    m_grid->setFormatString(gridformats::Statistics);
    m_grid->setRows(3);
    QTableView* view = m_grid->view();
    QVERIFY(view->isRowHidden(0));
    QVERIFY(!view->isRowHidden(1));
    QVERIFY(!view->horizontalHeader()->isHidden());
    QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(), m_grid->textMatrix(0, 1).trimmed());
    // Header cells take the fixed alignment of their column.
    m_grid->setFixedAlignment(0, GridAlign::CenterCenter);
    QCOMPARE(view->model()->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    QCOMPARE(m_grid->colAlignment(0), int(GridAlign::General));

    // Data rows start at 1 and stay there after the rows are rebuilt.
    m_grid->setRows(1);
    m_grid->appendRow({u"1"_qs, u"A-1"_qs});
    QCOMPARE(m_grid->textMatrix(1, 1), u"A-1"_qs);
    QVERIFY(view->isRowHidden(0));
    m_grid->beginBulk();
    m_grid->setRows(1);
    m_grid->appendRow({u"1"_qs, u"A-2"_qs});
    m_grid->endBulk();
    QVERIFY(view->isRowHidden(0));
    QVERIFY(!view->isRowHidden(1));
}

void TestFlexGrid::withoutFixedRowsRowZeroIsAnOrdinaryRow()
{
    m_grid->setRows(3);
    m_grid->setFixedRows(0);
    QVERIFY(!m_grid->view()->isRowHidden(0));
    QVERIFY(m_grid->view()->horizontalHeader()->isHidden());
    m_grid->setFixedRows(1);
    QVERIFY(m_grid->view()->isRowHidden(0));
    QVERIFY(!m_grid->view()->horizontalHeader()->isHidden());
}

void TestFlexGrid::rowHeights()
{
    m_grid->setRows(5);
    m_grid->setRowHeight(3, 600);
    QCOMPARE(m_grid->rowHeight(3), 600);
    QCOMPARE(m_grid->view()->rowHeight(3), twipsToPixels(600, m_grid, Qt::Vertical));
    QVERIFY(m_grid->rowHeight(2) > 0);
    m_grid->setRowHeight(2, 0);
    QVERIFY(m_grid->view()->isRowHidden(2));
    m_grid->setRowHeight(2, 300);
    QVERIFY(!m_grid->view()->isRowHidden(2));
    m_grid->setRowHeight(0, 450);
    QCOMPARE(m_grid->rowHeight(0), 450);
    QCOMPARE(m_grid->view()->horizontalHeader()->height(), twipsToPixels(450, m_grid, Qt::Vertical));
    // A removed row takes its height with it; the next row moves up.
    m_grid->removeItem(2);
    QCOMPARE(m_grid->rowHeight(2), 600);
    QCOMPARE(m_grid->rowHeight(99), 0);
}

// ---- texts ----

void TestFlexGrid::textMatrixAndCurrentCellText()
{
    m_grid->setFormatString(gridformats::Rights);
    m_grid->setRows(3);
    m_grid->setTextMatrix(1, 4, u"删除"_qs);
    QCOMPARE(m_grid->textMatrix(1, 4), u"删除"_qs);
    QCOMPARE(m_grid->model()->data(m_grid->model()->index(1, 4)).toString(), u"删除"_qs);
    m_grid->setCurrentCell(2, 5);
    m_grid->setText(u"×"_qs);
    QCOMPARE(m_grid->textMatrix(2, 5), u"×"_qs);
    QCOMPARE(m_grid->text(), u"×"_qs);
    QVERIFY(m_grid->textMatrix(3, 0).isEmpty());
}

void TestFlexGrid::setRowsShrinksAndGrows()
{
    m_grid->setFormatString(gridformats::UploadList);
    m_grid->setRows(6);
    for (int r = 1; r < 6; ++r)
        m_grid->setTextMatrix(r, 1, QStringLiteral("A-%1").arg(r));
    m_grid->setCurrentCell(5, 3);
    QSignalSpy moved(m_grid, &FlexGrid::currentCellChanged);
    m_grid->setRows(3);
    QCOMPARE(m_grid->rows(), 3);
    QCOMPARE(m_grid->row(), 2);  // the current row follows the last row
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.at(0).at(0).toInt(), 2);
    m_grid->setRows(1);
    QCOMPARE(m_grid->row(), 0);
    QCOMPARE(m_grid->textMatrix(0, 1), u"编号"_qs);
    m_grid->setRows(4);
    QVERIFY(m_grid->textMatrix(2, 1).isEmpty());
    QCOMPARE(m_grid->row(), 0);
    m_grid->setCols(3);
    QCOMPARE(m_grid->cols(), 3);
    QCOMPARE(m_grid->textMatrix(0, 2), u"文件类别"_qs);
    m_grid->setCols(5);
    QCOMPARE(m_grid->colWidth(4), FlexGrid::DefaultColWidthTwips);
}

void TestFlexGrid::addItemAndRemoveItem()
{
    m_grid->setFormatString(u"序|<编号|<名称"_qs);
    m_grid->setRows(1);
    QCOMPARE(m_grid->addItem(u"1\tA-1\t年度报告"_qs), 1);
    QCOMPARE(m_grid->addItem(u"3\tA-3"_qs), 2);
    QCOMPARE(m_grid->addItem(u"2\tA-2\t月报\textra"_qs, 2), 2);
    QCOMPARE(m_grid->rows(), 4);
    QCOMPARE(m_grid->textMatrix(1, 2), u"年度报告"_qs);
    QCOMPARE(m_grid->textMatrix(2, 1), u"A-2"_qs);
    QCOMPARE(m_grid->textMatrix(3, 1), u"A-3"_qs);
    QVERIFY(m_grid->textMatrix(3, 2).isEmpty());
    m_grid->setCurrentCell(3, 1);
    m_grid->removeItem(2);
    QCOMPARE(m_grid->rows(), 3);
    QCOMPARE(m_grid->textMatrix(2, 1), u"A-3"_qs);
    QCOMPARE(m_grid->row(), 2);
    QCOMPARE(m_grid->view()->currentIndex(), m_grid->model()->index(2, 1));
}

// ---- current cell, selection and mouse ----

void TestFlexGrid::currentCellAndSelection()
{
    m_grid->setFormatString(gridformats::Browse);
    m_grid->setRows(10);
    QSignalSpy moved(m_grid, &FlexGrid::currentCellChanged);
    m_grid->setRow(4);
    QCOMPARE(m_grid->row(), 4);
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.at(0).at(0).toInt(), 4);
    QCOMPARE(moved.at(0).at(1).toInt(), 1);
    m_grid->setCol(10);
    QCOMPARE(m_grid->col(), 10);
    QCOMPARE(moved.size(), 2);
    m_grid->setCol(10);
    QCOMPARE(moved.size(), 2);  // no change, no signal
    QCOMPARE(m_grid->view()->currentIndex(), m_grid->model()->index(4, 10));
    QCOMPARE(m_grid->rowSel(), 4);
    QCOMPARE(m_grid->colSel(), 10);
    // Whole-row selection.
    QItemSelectionModel* selection = m_grid->view()->selectionModel();
    QVERIFY(selection->isRowSelected(4, QModelIndex()));
    QVERIFY(!selection->isRowSelected(3, QModelIndex()));

    // Out of range values are clamped.
    m_grid->setRow(99);
    QCOMPARE(m_grid->row(), 9);
    m_grid->setCol(-3);
    QCOMPARE(m_grid->col(), 0);

    // A block of rows, and free selection.
    m_grid->setSelectionMode(FlexGrid::SelectionMode::Free);
    m_grid->setCurrentCell(2, 1);
    m_grid->setRowSel(3);
    m_grid->setColSel(2);
    QCOMPARE(m_grid->row(), 2);
    QCOMPARE(m_grid->rowSel(), 3);
    QVERIFY(selection->isSelected(m_grid->model()->index(3, 2)));
    QVERIFY(selection->isSelected(m_grid->model()->index(2, 1)));
    QVERIFY(!selection->isSelected(m_grid->model()->index(2, 3)));
    // Setting the row resets the block.
    m_grid->setRow(5);
    QCOMPARE(m_grid->rowSel(), 5);
    QCOMPARE(m_grid->colSel(), 1);
    QVERIFY(!selection->isSelected(m_grid->model()->index(3, 2)));
    QVERIFY(selection->isSelected(m_grid->model()->index(5, 1)));
}

void TestFlexGrid::selectWholeRowSelectsEveryColumn()
{
    m_grid->setSelectionMode(FlexGrid::SelectionMode::Free);
    m_grid->setFormatString(gridformats::UploadList);
    m_grid->setRows(4);
    m_grid->setCurrentCell(2, 5);
    m_grid->selectWholeRow(3);
    QCOMPARE(m_grid->row(), 3);
    QCOMPARE(m_grid->col(), 0);
    QCOMPARE(m_grid->rowSel(), 3);
    QCOMPARE(m_grid->colSel(), 9);
    QItemSelectionModel* selection = m_grid->view()->selectionModel();
    for (int c = 0; c < 10; ++c)
        QVERIFY(selection->isSelected(m_grid->model()->index(3, c)));
    QVERIFY(!selection->isSelected(m_grid->model()->index(2, 5)));
}

void TestFlexGrid::currentCellFollowsTheView()
{
    m_grid->setRows(5);
    m_grid->setCols(4);
    QSignalSpy moved(m_grid, &FlexGrid::currentCellChanged);
    m_grid->view()->setCurrentIndex(m_grid->model()->index(3, 2));
    QCOMPARE(m_grid->row(), 3);
    QCOMPARE(m_grid->col(), 2);
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.at(0), QList<QVariant>({3, 2}));
}

void TestFlexGrid::clickSendsCellAndMovesCurrent()
{
    m_grid->setFormatString(gridformats::Rights);
    m_grid->setRows(4);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid));
    QSignalSpy clicked(m_grid, &FlexGrid::clicked);
    QSignalSpy doubled(m_grid, &FlexGrid::doubleClicked);
    int rowAtClick = -1;
    connect(m_grid, &FlexGrid::clicked, this, [&rowAtClick, this](int, int) { rowAtClick = m_grid->row(); });

    const QRect cell = m_grid->cellRect(2, 4);
    QVERIFY(!cell.isEmpty());
    QWidget* viewport = m_grid->view()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, viewport->mapFrom(m_grid, cell.center()));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.at(0), QList<QVariant>({2, 4}));
    QCOMPARE(doubled.size(), 0);
    QCOMPARE(rowAtClick, 2);  // the current cell has moved before the signal
    QCOMPARE(m_grid->row(), 2);
    QCOMPARE(m_grid->col(), 4);
}

void TestFlexGrid::doubleClickSendsOneClickAndOneDoubleClick()
{
    m_grid->setFormatString(gridformats::Rights);
    m_grid->setRows(4);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid));
    QSignalSpy clicked(m_grid, &FlexGrid::clicked);
    QSignalSpy doubled(m_grid, &FlexGrid::doubleClicked);
    QWidget* viewport = m_grid->view()->viewport();
    const QPoint at = viewport->mapFrom(m_grid, m_grid->cellRect(3, 5).center());
    // What the system sends for a double click: press, release, double click, release.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(doubled.size(), 1);
    QCOMPARE(doubled.at(0), QList<QVariant>({3, 5}));
    // A later single click counts again.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at, 500);
    QCOMPARE(clicked.size(), 2);
}

void TestFlexGrid::headerClick()
{
    m_grid->setFormatString(gridformats::Statistics);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid));
    QSignalSpy header(m_grid, &FlexGrid::headerClicked);
    QSignalSpy clicked(m_grid, &FlexGrid::clicked);
    QHeaderView* h = m_grid->view()->horizontalHeader();
    const QRect rect = m_grid->cellRect(0, 2);
    QVERIFY(!rect.isEmpty());
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, h->viewport()->mapFrom(m_grid, rect.center()));
    QCOMPARE(header.size(), 1);
    QCOMPARE(header.at(0).at(0).toInt(), 2);
    QCOMPARE(clicked.size(), 0);
}

// ---- colours, look-ups ----

void TestFlexGrid::cellColoursReachTheModel()
{
    m_grid->setFormatString(gridformats::Browse);
    m_grid->setRows(3);
    GridModel* model = m_grid->model();
    m_grid->setCellForeColor(1, 10, colorFromNumber(16711680));
    m_grid->setCellForeColor(1, 4, QColor(255, 0, 0));
    m_grid->setCellFontSize(1, 5, 12);
    m_grid->setCellFontBold(1, 6, true);
    m_grid->setCellBackColor(2, 3, Qt::yellow);
    QCOMPARE(model->data(model->index(1, 10), Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
    QCOMPARE(model->data(model->index(1, 4), Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    QCOMPARE(model->data(model->index(1, 5), Qt::FontRole).value<QFont>().pointSizeF(), 12.0);
    QVERIFY(model->data(model->index(1, 6), Qt::FontRole).value<QFont>().bold());
    QCOMPARE(model->data(model->index(2, 3), Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::yellow));
    QCOMPARE(m_grid->cellForeColor(1, 10), QColor(0, 0, 255));
    QCOMPARE(m_grid->cellFontSize(1, 5), 12.0);
    QVERIFY(m_grid->cellFontBold(1, 6));
    QCOMPARE(m_grid->cellBackColor(2, 3), QColor(Qt::yellow));

    // The fixed column is shaded, the others are not.
    QVERIFY(model->data(model->index(2, 0), Qt::BackgroundRole).isValid());
    QVERIFY(!model->data(model->index(2, 1), Qt::BackgroundRole).isValid());

    // A totals row painted light grey from column 0 to the last.
    m_grid->setRowBackColor(2, colorFromNumber(14737632));
    for (int c = 0; c < m_grid->cols(); ++c)
        QCOMPARE(m_grid->cellBackColor(2, c), QColor(224, 224, 224));

    // Font changes of the grid reach the cells that only set a size.
    QFont font = m_grid->font();
    font.setFamily(u"DejaVu Serif"_qs);
    m_grid->setFont(font);
    QCOMPARE(model->data(model->index(1, 5), Qt::FontRole).value<QFont>().family(), font.family());
}

void TestFlexGrid::findRowByHiddenId()
{
    m_grid->setFormatString(gridformats::UploadList);
    m_grid->setColWidth(9, 0);
    m_grid->setRows(1);
    for (int r = 1; r <= 5; ++r)
        m_grid->appendRow(
            {QString::number(r), QStringLiteral("A-%1").arg(r), {}, {}, {}, {}, {}, {}, {}, QString::number(r * 10)});
    QCOMPARE(m_grid->findRowById(9, 30), 3);
    QCOMPARE(m_grid->findRowById(9, 31), -1);
    QCOMPARE(m_grid->findRow(1, u"A-5"_qs), 5);
}

// ---- merged cells ----

void TestFlexGrid::mergesEqualNeighboursInMarkedColumns()
{
    m_grid->setFormatString(gridformats::Statistics);
    m_grid->setFixedCols(0);
    m_grid->setRows(1);
    m_grid->appendRow({u"1"_qs, u"A-1"_qs, u"年度报告"_qs, u"s"_qs, u"3"_qs});
    m_grid->appendRow({u"2"_qs, u"A-1"_qs, u"年度报告"_qs, u"t"_qs, u"1"_qs});
    m_grid->appendRow({u"3"_qs, u"A-1"_qs, u"年度报告"_qs, u"t"_qs, u"1"_qs});
    m_grid->appendRow({u"4"_qs, u"A-2"_qs, u"月报"_qs, u"t"_qs, u"1"_qs});
    m_grid->appendRow({{}, {}, {}, u"合计 "_qs, u"6"_qs});
    m_grid->appendRow({{}, {}, {}, u"x"_qs, u"6"_qs});

    // Marked columns without a merge mode: nothing merges.
    m_grid->setMergeCol(1, true);
    m_grid->setMergeCol(2, true);
    QVERIFY(m_grid->mergeCol(1));
    QVERIFY(!m_grid->mergeCol(3));
    m_grid->updateMerges();
    QCOMPARE(m_grid->rowSpan(1, 1), 1);

    m_grid->setMergeCells(FlexGrid::MergeMode::RestrictColumns);
    m_grid->updateMerges();
    QCOMPARE(m_grid->rowSpan(1, 1), 3);
    QCOMPARE(m_grid->rowSpan(1, 2), 3);
    QCOMPARE(m_grid->rowSpan(4, 1), 1);
    // Equal texts in an unmarked column stay apart; empty cells never merge.
    QCOMPARE(m_grid->rowSpan(2, 3), 1);
    QCOMPARE(m_grid->rowSpan(5, 1), 1);
    // The header row is never part of a merge.
    QCOMPARE(m_grid->rowSpan(0, 1), 1);

    m_grid->setMergeCells(FlexGrid::MergeMode::Never);
    m_grid->updateMerges();
    QCOMPARE(m_grid->rowSpan(1, 1), 1);
}

void TestFlexGrid::restrictColumnsFollowsTheColumnToTheLeft()
{
    m_grid->setCols(3);
    m_grid->setRows(1);
    m_grid->appendRow({{}, u"A-1"_qs, u"报告"_qs});
    m_grid->appendRow({{}, u"A-2"_qs, u"报告"_qs});
    m_grid->appendRow({{}, u"A-2"_qs, u"报告"_qs});
    m_grid->setMergeCol(1, true);
    m_grid->setMergeCol(2, true);

    m_grid->setMergeCells(FlexGrid::MergeMode::Free);
    m_grid->updateMerges();
    QCOMPARE(m_grid->rowSpan(1, 2), 3);  // free: equal names merge across numbers

    m_grid->setMergeCells(FlexGrid::MergeMode::RestrictColumns);
    m_grid->updateMerges();
    QCOMPARE(m_grid->rowSpan(1, 2), 1);  // restricted: only within one number
    QCOMPARE(m_grid->rowSpan(2, 2), 2);
    QCOMPARE(m_grid->rowSpan(2, 1), 2);
}

void TestFlexGrid::mergesRowsAndFixedOnly()
{
    m_grid->setCols(4);
    m_grid->setRows(1);
    m_grid->appendRow({u"a"_qs, u"x"_qs, u"x"_qs, u"x"_qs});
    m_grid->appendRow({u"a"_qs, u"x"_qs, u"y"_qs, u"y"_qs});
    m_grid->setMergeRow(1, true);
    m_grid->setMergeRow(2, true);
    QVERIFY(m_grid->mergeRow(1));
    m_grid->setMergeCells(FlexGrid::MergeMode::Free);
    m_grid->updateMerges();
    QCOMPARE(m_grid->columnSpan(1, 1), 3);
    QCOMPARE(m_grid->columnSpan(2, 2), 2);

    m_grid->setMergeCells(FlexGrid::MergeMode::RestrictRows);
    m_grid->updateMerges();
    QCOMPARE(m_grid->columnSpan(1, 1), 3);
    QCOMPARE(m_grid->columnSpan(2, 2), 2);  // columns 2 and 3 were joined in row 1 too

    // Only the fixed column 0 may merge.
    m_grid->setMergeRow(1, false);
    m_grid->setMergeRow(2, false);
    m_grid->setMergeCol(0, true);
    m_grid->setMergeCol(1, true);
    m_grid->setMergeCells(FlexGrid::MergeMode::FixedOnly);
    m_grid->updateMerges();
    QCOMPARE(m_grid->rowSpan(1, 0), 2);
    QCOMPARE(m_grid->rowSpan(1, 1), 1);
}

void TestFlexGrid::mergesFollowTheTexts()
{
    m_grid->setCols(3);
    m_grid->setRows(1);
    m_grid->appendRow({{}, u"A-1"_qs});
    m_grid->appendRow({{}, u"A-1"_qs});
    m_grid->setMergeCol(1, true);
    m_grid->setMergeCells(FlexGrid::MergeMode::RestrictColumns);
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->rowSpan(1, 1), 2);
    m_grid->appendRow({{}, u"A-1"_qs});
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->rowSpan(1, 1), 3);
    m_grid->setTextMatrix(2, 1, u"A-2"_qs);
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->rowSpan(1, 1), 1);
    m_grid->beginBulk();
    m_grid->setRows(1);
    m_grid->appendRow({{}, u"B"_qs});
    m_grid->appendRow({{}, u"B"_qs});
    m_grid->endBulk();
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->rowSpan(1, 1), 2);
}

// ---- scrolling, geometry ----

void TestFlexGrid::scrollingAndCellRectangles()
{
    m_grid->setFormatString(gridformats::Details);
    m_grid->setRows(1);
    for (int r = 1; r <= 300; ++r)
        m_grid->appendRow({QString::number(r), QStringLiteral("A-%1").arg(r)});
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid));
    QCOMPARE(m_grid->topRow(), 1);

    // Making a row current does not scroll; ensureRowVisible does.
    m_grid->setRow(250);
    QCOMPARE(m_grid->topRow(), 1);
    m_grid->ensureRowVisible(250);
    QVERIFY(m_grid->topRow() > 1);
    QVERIFY(m_grid->cellRect(250, 1).intersects(m_grid->rect()));
    m_grid->setTopRow(100);
    QCOMPARE(m_grid->topRow(), 100);

    // A cell's rectangle is where the view finds that cell.
    const QRect cell = m_grid->cellRect(101, 2);
    QVERIFY(!cell.isEmpty());
    QWidget* viewport = m_grid->view()->viewport();
    QCOMPARE(m_grid->view()->indexAt(viewport->mapFrom(m_grid, cell.center())), m_grid->model()->index(101, 2));
    QVERIFY(qAbs(cell.width() - m_grid->view()->columnWidth(2)) <= 1);  // less the grid line
    // The header cell lies above the first visible row.
    const QRect header = m_grid->cellRect(0, 2);
    QCOMPARE(header.left(), cell.left());
    QVERIFY(header.bottom() < m_grid->cellRect(100, 2).top());
    QVERIFY(m_grid->cellRect(301, 0).isNull());
}

void TestFlexGrid::clearKeepsTheShape()
{
    m_grid->setFormatString(gridformats::Rights);
    m_grid->setColWidth(7, 0);
    m_grid->setRows(3);
    m_grid->setTextMatrix(1, 4, u"删除"_qs);
    m_grid->setCellForeColor(1, 4, Qt::red);
    m_grid->setCurrentCell(2, 3);
    m_grid->clear();
    QCOMPARE(m_grid->rows(), 3);
    QCOMPARE(m_grid->cols(), 8);
    QVERIFY(m_grid->textMatrix(1, 4).isEmpty());
    QVERIFY(m_grid->textMatrix(0, 1).isEmpty());
    QVERIFY(!m_grid->cellForeColor(1, 4).isValid());
    QCOMPARE(m_grid->colWidth(7), 0);
    QCOMPARE(m_grid->colAlignment(4), int(GridAlign::CenterCenter));
    QCOMPARE(m_grid->row(), 2);
}

void TestFlexGrid::fillsFiftyThousandRows()
{
    m_grid->setFormatString(gridformats::Browse);
    m_grid->setColWidth(12, 0);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid));

    // Cell by cell inside one bulk change.
    m_grid->setRedraw(false);
    m_grid->setRows(50001);
    for (int r = 1; r <= 50000; ++r) {
        m_grid->setTextMatrix(r, 0, QString::number(r));
        for (int c = 1; c < 12; ++c)
            m_grid->setTextMatrix(r, c, QStringLiteral("%1-%2").arg(r).arg(c));
        m_grid->setTextMatrix(r, 12, QString::number(r + 7));
    }
    m_grid->setCellForeColor(50000, 10, colorFromNumber(16711680));
    m_grid->setRedraw(true);
    QCOMPARE(m_grid->rows(), 50001);
    QCOMPARE(m_grid->view()->model()->rowCount(), 50001);
    QCOMPARE(m_grid->findRowById(12, 50007), 50000);
    m_grid->ensureRowVisible(50000);
    QCoreApplication::processEvents();
    QVERIFY(m_grid->topRow() > 40000);
    QVERIFY(m_grid->view()->isColumnHidden(12));

    // Row by row, each row made current as it is added.
    m_grid->beginBulk();
    m_grid->setRows(1);
    QStringList texts;
    for (int c = 0; c < 13; ++c)
        texts << QStringLiteral("c%1").arg(c);
    for (int r = 1; r <= 50000; ++r) {
        m_grid->setRow(m_grid->appendRow(texts));
    }
    m_grid->endBulk();
    QCOMPARE(m_grid->rows(), 50001);
    QCOMPARE(m_grid->row(), 50000);
    QCOMPARE(m_grid->view()->currentIndex().row(), 50000);
}

QTEST_MAIN(TestFlexGrid)
#include "test_flexgrid.moc"
