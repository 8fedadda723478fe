// The reports on readers, reading coverage and effective rights driven as a user drives them:
// the per-reader mode of the statistics window with its own-department scope, drill-down and
// export; finding a document and listing who of the granted positions never opened it; asking
// why a position may see a document, by document, by position and for the two together.

#include "InputDriving.h"
#include "Organisation.h"
#include "ReaderReportsFixture.h"

#include "login/UserContext.h"
#include "reports/DocumentChooser.h"
#include "reports/frmEffectiveRights.h"
#include "reports/frmReadingCoverage.h"
#include "reports/frmStatistics.h"
#include "reports/frmToExcel.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

using namespace quarvel;
using namespace quarvel::test;

namespace {

QStringList rowTexts(const FlexGrid& grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid.cols(); ++c)
        texts << grid.textMatrix(row, c);
    return texts;
}

// Types the text into the chooser and presses Enter: the first match is chosen.
void find(DocumentChooser& chooser, const QString& text)
{
    chooser.Text1->clear();
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 128;
    if (ascii)
        QTest::keyClicks(chooser.Text1, text);
    else
        chooser.Text1->insert(text);  // as an input method commits it
    QTest::keyClick(chooser.Text1, Qt::Key_Return);
}

// Answers the export window that opens next and records its title and column count.
void answerExport(QObject* context, QStringList& seen)
{
    QTimer::singleShot(0, context, [&seen] {
        auto* dialog = dynamic_cast<frmToExcel*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen << dialog->Text1[1]->text() << QString::number(dialog->Grid1->cols());
        QTest::mouseClick(dialog->Command3, Qt::LeftButton);
    });
}

QDateTime at(int day, int hour = 10) { return QDateTime(QDate(2026, 5, day), QTime(hour, 0)); }

}  // namespace

class ReaderWindowsTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    template <class W>
    std::unique_ptr<W> show(std::unique_ptr<W> w)
    {
        w->resize(1200, 700);
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

    void access(const char* employee, const char* dept, const char* position, bool read, const QDateTime& time)
    {
        QVERIFY(addAccess(*db, QStringLiteral("ZD-1"), QString::fromUtf8(employee), QString::fromUtf8(dept),
                          QString::fromUtf8(position), read, time));
    }

private slots:
    void init()
    {
        QVERIFY(setUp());
        addReaderReportsCompany(*db);
        signIn(QStringLiteral("E1"), QStringLiteral("D01"), QStringLiteral("G1"));
        userContext().EmployeeName = QStringLiteral("张三");
        userContext().DeptName = QStringLiteral("财务部");
    }

    void cleanup() { tearDown(); }

    void readersOfTheOwnDepartmentWithDrillDownAndExport()
    {
        access("E1", "D01", "G1", true, at(3));
        access("E1", "D01", "G1", false, at(4));
        access("E2", "D01", "G2", true, at(5));
        access("E3", "D02", "G3", true, at(6));  // another department: not for this user
        auto w = show(std::make_unique<frm资料下载汇总>(*platform, nullptr, StatisticsMode::Readers));
        QCOMPARE(w->windowTitle(), QStringLiteral("阅读人员统计"));
        QCOMPARE(w->MSFlexGrid1->formatString(), frm资料下载汇总::readersFormat());
        QCOMPARE(w->TreeView1->count(), 1);
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QTest::mouseClick(w->Check2, Qt::LeftButton);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        FlexGrid& grid = *w->MSFlexGrid1;
        QCOMPARE(grid.rows(), 4);
        QCOMPARE(rowTexts(grid, 1),
                 (QStringList{"1", "E1", "张三", "D01 财务部", "1", "1", "1", "2026/05/04 10:00", ""}));
        QCOMPARE(rowTexts(grid, 2).mid(1, 3), (QStringList{"E2", "李四", "D01 财务部"}));
        QCOMPARE(rowTexts(grid, 3).mid(3, 3), (QStringList{"合计 ", "2", "1"}));
        QVERIFY(!w->Picture7->isVisible());

        // The "明细" cell of a reader offers his accesses.
        clickCell(grid, 3, 8);
        QVERIFY(!w->Command5->isVisible());
        clickCell(grid, 1, 8);
        QVERIFY(w->Command5->isVisible());
        QTest::mouseClick(w->Command5, Qt::LeftButton);
        QVERIFY(w->Picture2->isVisible());
        QCOMPARE(w->Label6->text(), QStringLiteral("阅读人员明细"));
        FlexGrid& details = *w->MSFlexGrid2;
        QCOMPARE(details.rows(), 4);
        QCOMPARE(details.textMatrix(1, 5), QStringLiteral("张三"));
        QCOMPARE(details.textMatrix(2, 8), QStringLiteral("2026/05/04 10:00"));
        QCOMPARE(rowTexts(details, 3).mid(5, 3), (QStringList{"合计 ", "1", "1"}));

        QStringList seen;
        answerExport(this, seen);
        QTest::mouseClick(w->Command8, Qt::LeftButton);
        QCOMPARE(seen, (QStringList{QStringLiteral("阅读人员明细"), QStringLiteral("9")}));
        QTest::mouseClick(w->Command4, Qt::LeftButton);
        seen.clear();
        answerExport(this, seen);
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        QCOMPARE(seen, (QStringList{QStringLiteral("阅读人员统计"), QStringLiteral("9")}));
    }

    void auditRightCountsEveryDepartmentAndDatesNarrow()
    {
        grantAudit();
        access("E1", "D01", "G1", true, QDateTime(QDate(2026, 4, 30), QTime(23, 59)));
        access("E3", "D02", "G3", true, at(6));
        auto w = show(std::make_unique<frm资料下载汇总>(*platform, nullptr, StatisticsMode::Readers));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QTest::mouseClick(w->Check2, Qt::LeftButton);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->rows(), 4);
        // What was read in May: the reader of the 30th of April drops out.
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTest::mouseClick(w->Check6, Qt::LeftButton);
        w->DTPicker1->setDate(QDate(2026, 5, 1));
        w->DTPicker2->setDate(QDate(2026, 5, 31));
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->rows(), 3);
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, 1), QStringLiteral("E3"));
    }

    void coverageListsTheNeverOpenedFirst()
    {
        grantAudit();
        access("E1", "D01", "G1", true, at(3));
        access("E3", "D02", "G3", false, at(5));
        auto w = show(std::make_unique<frm资料阅读覆盖>(*platform));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("请先查找并选择资料"));
        find(*w->Chooser, QStringLiteral("考勤"));
        QCOMPARE(w->Chooser->List1->count(), 1);
        QCOMPARE(w->Chooser->List1->item(0)->text(), QStringLiteral("ZD-1 考勤制度"));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        FlexGrid& grid = *w->MSFlexGrid1;
        QCOMPARE(grid.rows(), 5);
        QCOMPARE(rowTexts(grid, 1),
                 (QStringList{"1", "G2 出纳", "D01 财务部", "√", "×", "E1 张三、E2 李四", "0", "0", "", ""}));
        QCOMPARE(grid.textMatrix(2, 1), QStringLiteral("G4 销售内勤"));
        QCOMPARE(grid.textMatrix(3, 8), QStringLiteral("2026/05/03 10:00"));
        QCOMPARE(grid.cellBackColor(1, 2), QColor(255, 228, 225));
        QVERIFY(grid.cellBackColor(3, 2) != QColor(255, 228, 225));
        QCOMPARE(w->Label2->text(),
                 QStringLiteral("资料 ZD-1 考勤制度：有权限的岗位 4 个，已打开 2 个，从未打开 2 个（排在前面）。"));

        // A search without matches says so.
        find(*w->Chooser, QStringLiteral("无此资料"));
        QCOMPARE(msgs().lastText(), QStringLiteral("没有找到符合条件的资料"));

        QStringList seen;
        answerExport(this, seen);
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        QCOMPARE(seen, (QStringList{QStringLiteral("资料阅读覆盖"), QStringLiteral("10")}));
    }

    void coverageOfTheOwnDepartmentOnly()
    {
        auto w = show(std::make_unique<frm资料阅读覆盖>(*platform));
        find(*w->Chooser, QStringLiteral("ZD"));
        // A double click on the document runs the report.
        QListWidget* list = w->Chooser->List1;
        const QRect item = list->visualItemRect(list->item(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(w->MSFlexGrid1->rows(), 3);
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, 1), QStringLiteral("G1 会计"));
        QCOMPARE(w->MSFlexGrid1->textMatrix(2, 1), QStringLiteral("G2 出纳"));
    }

    void rightsExplainedByDocumentPositionAndBoth()
    {
        grantAudit();
        auto w = show(std::make_unique<frm资料权限说明>(*platform));
        QCOMPARE(w->TreeView1->keys(),
                 (QStringList{QStringLiteral("$D01"), QStringLiteral("$D0101"), QStringLiteral("$D02")}));
        QTest::mouseClick(w->Command4, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("请在岗位列表中选择岗位"));

        find(*w->Chooser, QStringLiteral("ZD-1"));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->formatString(), frm资料权限说明::documentFormat());
        QCOMPARE(w->MSFlexGrid1->rows(), 5);
        QCOMPARE(rowTexts(*w->MSFlexGrid1, 1).mid(1, 6),
                 (QStringList{"G1 会计", "D01 财务部", "√", "√", "Z1 财务组", "√"}));
        QVERIFY(w->Text2->toPlainText().contains(QStringLiteral("共有 4 行权限记录")));

        // Why may the sales representative download it?
        clickNode(*w->TreeView1, QStringLiteral("$D02"));
        QVERIFY(w->TreeView1->contains(QStringLiteral("GG3")));
        clickNode(*w->TreeView1, QStringLiteral("GG3"));
        QTest::mouseClick(w->Command5, Qt::LeftButton);
        QVERIFY2(msgs().shown.size() == 1, qPrintable(msgs().lastText()));
        const QString text = w->Text2->toPlainText();
        QVERIFY2(text.startsWith(QStringLiteral("岗位 G3 销售代表 对资料 ZD-1 考勤制度只可下载（不可在线查阅）。")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("权限表第 3 行直接授予该岗位")));
        QVERIFY(text.contains(QStringLiteral("下载组 Z2 全员")));
        QCOMPARE(w->MSFlexGrid1->rows(), 2);

        // Everything the position holds.
        QTest::mouseClick(w->Command4, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->formatString(), frm资料权限说明::positionFormat());
        QCOMPARE(w->MSFlexGrid1->rows(), 3);
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, 1), QStringLiteral("HT-2"));
        QCOMPARE(w->ListCount->text(), QStringLiteral("已显示 2 / 共 2 条"));
        QVERIFY(w->Text2->toPlainText().contains(QStringLiteral("该岗位不能上传资料。")));

        QStringList seen;
        answerExport(this, seen);
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        QCOMPARE(seen, (QStringList{QStringLiteral("资料权限说明"), QStringLiteral("10")}));
    }

    // Two documents with several rights rows each (HT-2 three, ZD-1 four), one after the other,
    // chosen with the keys: the lists of rows are built and dropped again and again.
    void rightsOfSeveralDocumentsInTurn()
    {
        grantAudit();
        for (const auto& [pos, name] : {std::pair{"G1", "会计"}, {"G2", "出纳"}})
            QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), QStringLiteral("HT-2")},
                                                                {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                                {QStringLiteral("部门名称"), QStringLiteral("财务部")},
                                                                {QStringLiteral("岗位代号"), QString::fromUtf8(pos)},
                                                                {QStringLiteral("岗位名称"), QString::fromUtf8(name)},
                                                                {QStringLiteral("下载"), 1},
                                                                {QStringLiteral("查阅"), 1}}));
        auto w = show(std::make_unique<frm资料权限说明>(*platform));
        find(*w->Chooser, QStringLiteral("-"));
        QListWidget* list = w->Chooser->List1;
        QCOMPARE(list->count(), 2);
        QStringList seen;
        for (int round = 0; round < 3; ++round) {
            for (int item = 0; item < 2; ++item) {
                list->setFocus();
                QTest::keyClick(list, item == 0 ? Qt::Key_Home : Qt::Key_End);
                QTest::keyClick(list, Qt::Key_Return);
                QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
                seen << QString::number(w->MSFlexGrid1->rows() - 1);
            }
        }
        QCOMPARE(seen.join(u' '), QStringLiteral("3 4 3 4 3 4"));
        // Every position of the second document, then the position with rows on both.
        clickNode(*w->TreeView1, QStringLiteral("$D02"));
        clickNode(*w->TreeView1, QStringLiteral("GG3"));
        QTest::mouseClick(w->Command4, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->rows(), 3);
        QTest::mouseClick(w->Command5, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->rows(), 2);
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->rows(), 5);
    }

    void rightsWithoutAuditShowTheOwnDepartment()
    {
        auto w = show(std::make_unique<frm资料权限说明>(*platform));
        QCOMPARE(w->TreeView1->keys(), QStringList{QStringLiteral("$D01")});
        find(*w->Chooser, QStringLiteral("考勤"));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->rows(), 3);  // G1 and G2 of D01 only
        QVERIFY(msgs().shown.isEmpty());
    }
};

QTEST_MAIN(ReaderWindowsTest)
#include "test_reader_windows.moc"
