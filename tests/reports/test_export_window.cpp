// The export window driven as a user drives it: the column choice taken from the grid, marking
// and unmarking columns with the mouse, the file dialog, the messages of missing input, a
// written workbook opened with its program, and a refused sheet name keeping the window open.

#include "InputDriving.h"
#include "TestSupport.h"

#include "reports/frmToExcel.h"
#include "widgets/grid/FlexGrid.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace quarvel;
using namespace quarvel::test;


class ExportWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestPlatform> platform;
    std::unique_ptr<FlexGrid> source;
    QTemporaryDir dir;

    ScriptedMessages& msgs() { return platform->msgs(); }

    std::unique_ptr<frmToExcel> open()
    {
        auto w = std::make_unique<frmToExcel>(*platform);
        w->prepare(*source, QStringLiteral("资料下载记录汇总"));
        w->show();
        [&] { QVERIFY(QTest::qWaitForWindowExposed(w.get())); }();
        return w;
    }

private slots:
    void init()
    {
        platform = std::make_unique<TestPlatform>();
        source = std::make_unique<FlexGrid>();
        source->setFixedCols(0);
        source->setRows(1);
        source->setFormatString(QStringLiteral("序|<文件编号     |<文件名称   |<浏览次数|^明细 "));
        source->appendRow(
            {QStringLiteral("1"), QStringLiteral("A-1"), QStringLiteral("年报"), QStringLiteral("2"), QString()});
    }

    void cleanup()
    {
        source.reset();
        platform.reset();
    }

    void takesTheColumnsOfTheGrid()
    {
        auto w = open();
        QCOMPARE(w->Grid1->cols(), 5);
        QCOMPARE(w->Grid1->rows(), 2);
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(w->Grid1->textMatrix(0, c), source->textMatrix(0, c));
            QCOMPARE(w->Grid1->textMatrix(1, c), QStringLiteral("√"));
            QCOMPARE(w->Grid1->colWidth(c), source->colWidth(c));
            QCOMPARE(w->Grid1->fixedAlignment(c), source->fixedAlignment(c));
        }
        QVERIFY(w->Text1[0]->text().isEmpty());
        QCOMPARE(w->Text1[1]->text(), QStringLiteral("资料下载记录汇总"));
        QCOMPARE(w->Text1[2]->text(), QStringLiteral("资料下载记录汇总"));
        QVERIFY(w->Check1->isChecked());
        QCOMPARE(w->Label1[0]->buddy(), w->Text1[0]);

        // A double click unmarks the column; a click marks it again, centred.
        doubleClickCell(*w->Grid1, 1, 2);
        QCOMPARE(w->Grid1->textMatrix(1, 2), QString());
        clickCell(*w->Grid1, 1, 2);
        QCOMPARE(w->Grid1->textMatrix(1, 2), QStringLiteral("√"));
        QCOMPARE(w->Grid1->colAlignment(2), int(GridAlign::CenterCenter));
    }

    void takesEveryRowOfAListStillArriving()
    {
        const int more = GridModel::kFirstStepRows + 300;
        auto next = std::make_shared<int>(0);
        source->setRowSource(
            [this, next, more](int count) {
                for (int n = 0; n < count && *next < more; ++n)
                    source->appendRow({QString::number(++*next), QStringLiteral("B-%1").arg(*next)});
                return *next < more;
            },
            more);
        QVERIFY(source->loading());
        auto w = open();
        QVERIFY(!source->loading());
        QCOMPARE(source->rows(), 2 + more);
        QCOMPARE(source->textMatrix(source->rows() - 1, 1), QStringLiteral("B-%1").arg(more));
    }

    void missingInputIsTold()
    {
        auto w = open();
        w->Text1[1]->clear();
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(msgs().texts(), QStringList{QStringLiteral("请输入标题内容")});
        QTest::keyClicks(w->Text1[1], QStringLiteral("title"));
        msgs().shown.clear();
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(msgs().texts(),
                 (QStringList{QStringLiteral("请确定输出的文件名"), QStringLiteral("输出到Execl失败: ")}));
        QVERIFY(w->isVisible());
    }

    void writesTheWorkbookAndOpensIt()
    {
        auto w = open();
        const QString path = dir.filePath(QStringLiteral("book"));
        platform->dialogsDouble().answers = {path};
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(platform->dialogsDouble().asked.constLast().filters.constFirst(),
                 QStringLiteral("Excel文件 (*.xlsx)"));
        // An existing workbook is amended: the dialog does not ask to replace it.
        QCOMPARE(platform->dialogsDouble().saveQuestions.constLast(), OverwriteQuestion::ByWindow);
        QCOMPARE(w->Text1[0]->text(), path + QStringLiteral(".xlsx"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QVERIFY(QFile::exists(path + QStringLiteral(".xlsx")));
        QCOMPARE(platform->shellDouble().openedFiles, QStringList{path + QStringLiteral(".xlsx")});
        QCOMPARE(w->result(), int(QDialog::Accepted));
        QVERIFY(!w->isVisible());

        // No program to open it: the workbook was written all the same, and the message says so.
        auto again = open();
        again->Text1[0]->setText(path + QStringLiteral(".xlsx"));
        platform->shellDouble().result = false;
        QTest::mouseClick(again->Command2, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("工作簿已写入 ")
                                        + QDir::toNativeSeparators(path + QStringLiteral(".xlsx"))
                                        + QStringLiteral("，但这台电脑上没有登记可以打开它的程序。"));
    }

    void refusedSheetNameKeepsTheWindowOpen()
    {
        const QString path = dir.filePath(QStringLiteral("two.xlsx"));
        {
            auto first = open();
            first->Text1[0]->setText(path);
            QTest::mouseClick(first->Check1, Qt::LeftButton);  // no program this time
            QTest::mouseClick(first->Command2, Qt::LeftButton);
            QVERIFY(platform->shellDouble().openedFiles.isEmpty());
        }
        auto w = open();
        w->Text1[0]->setText(path);
        w->Text1[2]->setText(QStringLiteral("ABC"));
        // Written once as "ABC", then asked for "abc": the writer refuses the name.
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        auto again = open();
        again->Text1[0]->setText(path);
        again->Text1[2]->setText(QStringLiteral("abc"));
        QTest::mouseClick(again->Command2, Qt::LeftButton);
        QVERIFY(msgs().lastText().startsWith(QStringLiteral("输出到Execl失败: ")));
        QVERIFY(msgs().lastText().size() > QStringLiteral("输出到Execl失败: ").size());
        QVERIFY(again->isVisible());
        QTest::mouseClick(again->Command3, Qt::LeftButton);
        QVERIFY(!again->isVisible());
    }
};

QTEST_MAIN(ExportWindowTest)
#include "test_export_window.moc"
