// The statistics window driven as a user drives it: the department tree the audit right
// allows, ticking, the checks of the filter panel in their order, a run without matches, the
// totals rows, the details button over the "明细" cell, details that follow the last run, and
// the hand-over of a grid to the export window.

#include "InputDriving.h"
#include "Organisation.h"
#include "StatisticsFixture.h"

#include "login/UserContext.h"
#include "reports/frmStatistics.h"
#include "reports/frmToExcel.h"
#include "widgets/StatusBar.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

using namespace quarvel;
using namespace quarvel::test;

namespace {

// Ticks a node's check box with the mouse.
void tick(KeyedTree& tree, const QString& key)
{
    QTreeView* view = tree.view();
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(tree.model()->indexForKey(key));
    option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QVERIFY(box.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
}

QStringList rowTexts(const FlexGrid& grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid.cols(); ++c)
        texts << grid.textMatrix(row, c);
    return texts;
}

}  // namespace

class StatisticsWindowTest : public QObject, WindowSuiteFixture {
    Q_OBJECT


    std::unique_ptr<frm资料下载汇总> open()
    {
        auto w = std::make_unique<frm资料下载汇总>(*platform);
        w->resize(1100, 700);
        w->show();
        [&] { QVERIFY(QTest::qWaitForWindowExposed(w.get())); }();
        return w;
    }

    void grantAudit()
    {
        QVERIFY(db->insert(QStringLiteral("专项审核权限表"), {{QStringLiteral("类型"), QStringLiteral("公司Quarvel")},
                                                              {QStringLiteral("部门代号"), QStringLiteral("D01")},
                                                              {QStringLiteral("岗位代号"), QStringLiteral("G1")}}));
    }

    void log(const QString& number, const QString& name, const QString& employee, const QString& dept, bool read)
    {
        QVERIFY(addLog(*db, LogRow{number, name, QStringLiteral("0101"), employee, dept, read}));
    }

    // Opens the filter panel, ticks every department and type, runs.
    void runAll(frm资料下载汇总& w)
    {
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QVERIFY(w.Picture7->isVisible());
        if (!w.Check1->isChecked())
            QTest::mouseClick(w.Check1, Qt::LeftButton);
        if (!w.Check2->isChecked())
            QTest::mouseClick(w.Check2, Qt::LeftButton);
        QTest::mouseClick(w.Command10, Qt::LeftButton);
    }

private slots:
    void init()
    {
        QVERIFY(setUp());
        addStatisticsCompany(*db);
        signIn(QStringLiteral("E1"), QStringLiteral("D01"), QStringLiteral("G1"));
        userContext().EmployeeName = QStringLiteral("张三");
        userContext().DeptName = QStringLiteral("财务部");
    }

    void cleanup() { tearDown(); }

    void withoutAuditRightOnlyTheOwnDepartment()
    {
        auto w = open();
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(w->TreeView1->count(), 1);
        QCOMPARE(w->TreeView1->keyAt(1), QStringLiteral("$D01"));
        QCOMPARE(w->TreeView1->text(QStringLiteral("$D01")), QStringLiteral("D01 财务部"));
        QVERIFY(!w->TreeView1->checked(QStringLiteral("$D01")));
        QCOMPARE(w->TreeView2->count(), 3);
        QVERIFY(!w->Picture7->isVisible());
        QVERIFY(!w->Picture2->isVisible());
        QCOMPARE(w->MSFlexGrid1->rows(), 1);
        QCOMPARE(w->MSFlexGrid1->formatString(), frm资料下载汇总::statisticsFormat());
        QCOMPARE(w->MSFlexGrid2->formatString(), frm资料下载汇总::detailsFormat());
        QCOMPARE(w->StatusBar1->panelText(2), QStringLiteral(" 财务部 张三"));
        // The empty window says what to choose.
        QCOMPARE(w->StatusBar1->panelText(1), QStringLiteral("请按“统计条件”，选择部门、文件类别和日期后按“确定”。"));
        QCOMPARE(w->DTPicker1->date(), QDate(QDate::currentDate().year(), QDate::currentDate().month(), 1));
        QVERIFY(!w->DTPicker1->isEnabled());

        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().texts(), QStringList{QStringLiteral("请选择员工所在部门")});
        QCOMPARE(msgs().shown.constLast().icon, MsgIcon::None);
        QCOMPARE(msgs().shown.constLast().title, QStringLiteral("Quarvel"));
        tick(*w->TreeView1, QStringLiteral("$D01"));
        QVERIFY(w->TreeView1->checked(QStringLiteral("$D01")));
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("请选择文件类别"));
    }

    void auditRightShowsTheWholeTreeAndTicksFollowTreeOrder()
    {
        grantAudit();
        auto w = open();
        QCOMPARE(w->TreeView1->keys(),
                 (QStringList{QStringLiteral("$D01"), QStringLiteral("$D0101"), QStringLiteral("$D02")}));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        // Passing a tick on to the descendants, or not.
        tick(*w->TreeView1, QStringLiteral("$D01"));
        QVERIFY(w->TreeView1->checked(QStringLiteral("$D0101")));
        tick(*w->TreeView1, QStringLiteral("$D01"));
        QVERIFY(!w->TreeView1->checked(QStringLiteral("$D0101")));
        QTest::mouseClick(w->Check4, Qt::LeftButton);
        QVERIFY(!w->Check4->isChecked());
        QVERIFY(!w->TreeView1->checked(QStringLiteral("$D01")));
        QVERIFY(!w->TreeView1->checked(QStringLiteral("$D0101")));
        tick(*w->TreeView1, QStringLiteral("$D01"));
        QVERIFY(w->TreeView1->checked(QStringLiteral("$D01")));
        QVERIFY(!w->TreeView1->checked(QStringLiteral("$D0101")));

        // D02 ticked before D01: the list follows the tree.
        w->TreeView1->setAllChecked(false);
        tick(*w->TreeView1, QStringLiteral("$D02"));
        tick(*w->TreeView1, QStringLiteral("$D01"));
        QTest::mouseClick(w->Check2, Qt::LeftButton);
        QVERIFY(w->Command10_Click());
        QVERIFY(w->statistics().hasStoredFilter());
        QCOMPARE(w->statistics().storedFilter()->departmentCodes,
                 (QStringList{QStringLiteral("D01"), QStringLiteral("D02")}));
        // Types in the order the nodes were added: top-level types first.
        QCOMPARE(w->TreeView2->keys(),
                 (QStringList{QStringLiteral("S01"), QStringLiteral("S02"), QStringLiteral("S0101")}));
        QCOMPARE(w->statistics().storedFilter()->typeCodes,
                 (QStringList{QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("0101")}));
    }

    void departmentListedTwiceIsReportedOnceAndTheWindowCarriesOn()
    {
        grantAudit();
        // D0101 is listed under D01 and, with the same starting date, under D02 too.
        QVERIFY(db->insert(QStringLiteral("上级部门new"),
                           {{QStringLiteral("职能部门编号"), QStringLiteral("D0101")},
                            {QStringLiteral("上级部门编号"), QStringLiteral("D02")},
                            {QStringLiteral("起始日期"), QDateTime(QDate(2020, 1, 1), QTime(0, 0))}}));
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("E1"), QStringLiteral("D0101"), true);
        auto w = open();
        QCOMPARE(msgs().shown.size(), 1);
        QCOMPARE(msgs().lastText().count(QStringLiteral("D0101")), 1);
        QCOMPARE(w->TreeView1->keys(),
                 (QStringList{QStringLiteral("$D01"), QStringLiteral("$D0101"), QStringLiteral("$D02")}));
        QCOMPARE(w->TreeView2->count(), 3);
        QCOMPARE(w->MSFlexGrid1->formatString(), frm资料下载汇总::statisticsFormat());
        QCOMPARE(w->DTPicker2->date(), QDate::currentDate());
        msgs().shown.clear();
        runAll(*w);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, 1), QStringLiteral("A-1"));
    }

    void checksComeInTheirOrder()
    {
        auto w = open();
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QTest::mouseClick(w->Check2, Qt::LeftButton);
        QTest::mouseClick(w->Check6, Qt::LeftButton);
        QVERIFY(w->DTPicker1->isEnabled());
        w->DTPicker1->setDate(QDate(2026, 5, 2));
        w->DTPicker2->setDate(QDate(2026, 5, 1));
        QTest::mouseClick(w->Check7, Qt::LeftButton);
        QTest::mouseClick(w->Check5, Qt::LeftButton);
        QVERIFY(w->Text1->isEnabled() && w->Text2->isEnabled());
        QTest::keyClicks(w->Text1, QStringLiteral("   "));
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("起始日期的日期范围开始日期不能大于结束日期!"));
        QCOMPARE(msgs().shown.constLast().icon, MsgIcon::Information);
        w->DTPicker1->setDate(QDate(2026, 5, 1));
        msgs().shown.clear();
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        // Both texts blank: only the file name is asked for, and the focus goes there.
        QCOMPARE(msgs().texts(), QStringList{QStringLiteral("请填写文件名称！")});
        QTRY_COMPARE(QApplication::focusWidget(), w->Text1);
        w->Text1->insert(QStringLiteral("报告"));  // as an input method commits it
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("请填写阅览员工姓名！"));
        QTRY_COMPARE(QApplication::focusWidget(), w->Text2);
        QVERIFY(!w->statistics().hasStoredFilter());  // nothing ran
    }

    void noMatchingRows()
    {
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("E1"), QStringLiteral("D01"), true);
        auto w = open();
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QTest::mouseClick(w->Check2, Qt::LeftButton);
        QTest::mouseClick(w->Check7, Qt::LeftButton);
        QTest::keyClicks(w->Text1, QStringLiteral("no such name"));
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(w->MSFlexGrid1->rows(), 1);
        QCOMPARE(w->StatusBar1->panelText(1), QStringLiteral("统计结束，请核对数据！"));
        QVERIFY(!w->Picture7->isVisible());
        QVERIFY(!w->Picture2->isVisible());
        // The details button has nothing to offer.
        QVERIFY(!w->Command5->isVisible());
    }

    void totalsAndDetailsFollowTheLastRun()
    {
        // Reads only: the totals row is there all the same.
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("E1"), QStringLiteral("D01"), true);
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("E2"), QStringLiteral("D01"), true);
        log(QStringLiteral("B-1"), QStringLiteral("合同"), QStringLiteral("E3"), QStringLiteral("D01"), true);
        auto w = open();
        runAll(*w);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        FlexGrid& grid = *w->MSFlexGrid1;
        QCOMPARE(grid.rows(), 4);
        QCOMPARE(rowTexts(grid, 1),
                 (QStringList{QStringLiteral("1"), QStringLiteral("A-1"), QStringLiteral("年报"),
                              QStringLiteral("摘要"), QStringLiteral("2"), QStringLiteral("0"), QString()}));
        QCOMPARE(rowTexts(grid, 3), (QStringList{QString(), QString(), QString(), QStringLiteral("合计 "),
                                                 QStringLiteral("3"), QStringLiteral("0"), QString()}));
        for (int c = 0; c < grid.cols(); ++c)
            QCOMPARE(grid.cellBackColor(3, c), QColor(224, 224, 224));
        QVERIFY(grid.mergeCol(1) && grid.mergeCol(2) && !grid.mergeCol(3));
        QCOMPARE(grid.mergeCells(), FlexGrid::MergeMode::RestrictColumns);

        // The totals row's "明细" cell and the other columns offer nothing.
        clickCell(grid, 3, 6);
        QVERIFY(!w->Command5->isVisible());
        clickCell(grid, 1, 1);
        QVERIFY(!w->Command5->isVisible());
        clickCell(grid, 1, 6);
        QVERIFY(w->Command5->isVisible());
        QCOMPARE(w->Command5->geometry(),
                 QRect(grid.mapTo(w.get(), grid.cellRect(1, 6).topLeft()), grid.cellRect(1, 6).size()));

        // The filter panel changes without a new run: the details keep the last run's filter.
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QVERIFY(!w->Command5->isVisible());
        QTest::mouseClick(w->Check5, Qt::LeftButton);
        w->Text2->insert(QStringLiteral("李四"));
        QTest::mouseClick(w->Command9, Qt::LeftButton);
        clickCell(grid, 1, 6);
        QTest::mouseClick(w->Command5, Qt::LeftButton);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QVERIFY(w->Picture2->isVisible());
        FlexGrid& details = *w->MSFlexGrid2;
        QCOMPARE(details.rows(), 4);  // both readers and the totals
        QCOMPARE(details.textMatrix(1, 4), QStringLiteral("财务部"));
        QCOMPARE(details.textMatrix(1, 8), QStringLiteral("2026/05/10 10:00"));
        QCOMPARE(rowTexts(details, 3).mid(5, 3),
                 (QStringList{QStringLiteral("合计 "), QStringLiteral("2"), QStringLiteral("0")}));
        QCOMPARE(details.cellBackColor(3, 0), QColor(224, 224, 224));
        QCOMPARE(details.fixedCols(), 1);
        QCOMPARE(w->Picture2->geometry().topLeft(), QPoint(0, 0));
        QCOMPARE(w->Picture2->width(), grid.width());
        QTest::mouseClick(w->Command4, Qt::LeftButton);
        QVERIFY(!w->Picture2->isVisible());
    }

    void exportHandsTheGridOver()
    {
        log(QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("E1"), QStringLiteral("D01"), false);
        auto w = open();
        runAll(*w);
        QStringList seen;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = dynamic_cast<frmToExcel*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen << dialog->Text1[1]->text() << dialog->Text1[2]->text() << QString::number(dialog->Grid1->cols())
                 << dialog->Grid1->textMatrix(0, 6) << dialog->Grid1->textMatrix(1, 6);
            QTest::mouseClick(dialog->Command3, Qt::LeftButton);
        });
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        QCOMPARE(seen, (QStringList{QStringLiteral("资料下载记录汇总"), QStringLiteral("资料下载记录汇总"),
                                    QStringLiteral("7"), QStringLiteral("明细   "), QStringLiteral("√")}));
    }
};

QTEST_MAIN(StatisticsWindowTest)
#include "test_statistics_window.moc"
