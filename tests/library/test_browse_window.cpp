// The browse window and the PDF viewer driven as a user does: the list, the filter panel and
// its messages, reading, downloading and the access log.

#include "BrowseFixture.h"
#include "InputDriving.h"
#include "Organisation.h"

#include "library/PdfPageView.h"
#include "library/frmBrowse.h"
#include "library/frmViewer.h"
#include "login/UserContext.h"
#include "widgets/StatusBar.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace quarvel;
using namespace quarvel::test;

namespace {

using Col = Frm公司资料查阅::Column;

// A PDF of `pages` pages, each saying the text and its page number.
QByteArray makePdf(const QString& text, int pages = 2)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    QPainter painter(&writer);
    QFont font = painter.font();
    font.setPointSize(24);
    painter.setFont(font);
    for (int p = 0; p < pages; ++p) {
        if (p > 0)
            writer.newPage();
        painter.drawText(QPointF(60, 120), text + QStringLiteral(" page %1").arg(p + 1));
    }
    painter.end();
    return bytes;
}

}  // namespace

class BrowseWindowTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<BrowseFixture> fx;
    std::unique_ptr<QTemporaryDir> files;


    std::unique_ptr<Frm公司资料查阅> open()
    {
        auto w = std::make_unique<Frm公司资料查阅>(*platform);
        w->setTempFolder(files->filePath(QStringLiteral("temp")));
        w->resize(1200, 700);
        w->show();
        QApplication::setActiveWindow(w.get());
        if (!QTest::qWaitForWindowActive(w.get()))
            qWarning("window not active");
        return w;
    }

    int rowOf(Frm公司资料查阅& w, const QString& number) { return w.MSFlexGrid1->findRow(Col::ColNumber, number); }

private slots:
    void init()
    {
        QVERIFY(setUp());
        fx = std::make_unique<BrowseFixture>(BrowseFixture{*db});
        QVERIFY(fx->setUp());
        files = std::make_unique<QTemporaryDir>();
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));
        userContext().EmployeeName = QStringLiteral("员工甲");
        userContext().DeptName = QStringLiteral("财务部");

        QVERIFY(fx->addDocument(QStringLiteral("P-1"), QStringLiteral("预算手册"), QStringLiteral("0101"), at(3, 1),
                                QStringLiteral("pdf"), makePdf(QStringLiteral("Quarvel budget"))));
        QVERIFY(fx->addDocument(QStringLiteral("P-2"), QStringLiteral("考勤制度"), QStringLiteral("0101"), at(3, 2),
                                QStringLiteral("pdf"), makePdf(QStringLiteral("Attendance rules"), 3)));
        QVERIFY(fx->addDocument(QStringLiteral("U-1"), QStringLiteral("大写扩展名"), QStringLiteral("0102"), at(3, 3),
                                QStringLiteral("PDF"), makePdf(QStringLiteral("Upper"))));
        QVERIFY(fx->addDocument(QStringLiteral("D-1"), QStringLiteral("只可下载"), QStringLiteral("0102"), at(3, 4),
                                QStringLiteral("doc"), QByteArray("DOC content 12345")));
        QVERIFY(fx->grant(QStringLiteral("P-1"), QStringLiteral("G01"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("P-2"), QStringLiteral("G01"), 1, 0));
        QVERIFY(fx->grant(QStringLiteral("U-1"), QStringLiteral("G01"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("D-1"), QStringLiteral("G01"), 0, 1));
    }

    void cleanup()
    {
        fx.reset();
        tearDown();
    }

    void opensWithTheNewestItMaySee()
    {
        auto w = open();
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(w->windowTitle(), QStringLiteral("资料查阅与下载"));
        QCOMPARE(w->MSFlexGrid1->formatString(), Frm公司资料查阅::listFormat());
        QCOMPARE(w->MSFlexGrid1->cols(), int(Col::ColumnCount));
        QCOMPARE(w->MSFlexGrid1->colWidth(Col::ColId), 0);
        QCOMPARE(w->MSFlexGrid1->rows(), 5);
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, Col::ColNumber), QStringLiteral("D-1"));
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, Col::ColRow), QStringLiteral("1"));
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, Col::ColType), QStringLiteral("0102 财务制度"));
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, Col::ColUploader), QStringLiteral("员工甲"));
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, Col::ColUploaded), QStringLiteral("2013-03-04 09:00"));
        // A download-only right: an empty read cell and a blue download cell.
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, Col::ColRead), QString());
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, Col::ColDownload), QStringLiteral("下载"));
        QCOMPARE(w->MSFlexGrid1->cellForeColor(1, Col::ColDownload), QColor(0, 0, 255));
        QCOMPARE(w->MSFlexGrid1->textMatrix(rowOf(*w, QStringLiteral("P-2")), Col::ColRead), QStringLiteral("查阅"));
        QCOMPARE(w->MSFlexGrid1->textMatrix(rowOf(*w, QStringLiteral("P-2")), Col::ColDownload), QString());
        // "pdf" and "PDF" are one format, as the server lists them.
        QCOMPARE(w->List1->count(), 2);
        QVERIFY(w->TreeView1->checkBoxes());
        QVERIFY(w->TreeView1->contains(QStringLiteral("S0101")));
        QCOMPARE(w->StatusBar1->panelText(2), QStringLiteral(" 财务部 员工甲"));
        QCOMPARE(w->DTPicker1->date().day(), 1);
        QVERIFY(w->Picture7->isHidden());
    }

    void aLongListArrivesInStepsWithItsCount()
    {
        const int more = GridModel::kFirstStepRows + 100;
        for (int i = 0; i < more; ++i) {
            const QString number = QStringLiteral("L-%1").arg(i, 3, 10, QLatin1Char('0'));
            QVERIFY(fx->addDocument(number, QStringLiteral("长列表"), QStringLiteral("0101"), at(2, 1 + i % 28)));
            QVERIFY(fx->grant(number, QStringLiteral("G01"), 1, 0));
        }
        const int total = more + 4;
        auto w = open();
        QTest::mouseClick(w->comLook, Qt::LeftButton);
        QTest::mouseClick(w->Check9, Qt::LeftButton);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(w->StatusBar1->panelText(1), QStringLiteral("统计结束，请核对数据！"));
        QCOMPARE(w->StatusBar1->panelText(3),
                 QStringLiteral("已显示 %1 / 共 %2 条").arg(w->MSFlexGrid1->loadedRows()).arg(total));
        QTRY_COMPARE(w->MSFlexGrid1->rows(), 1 + total);
        QCOMPARE(w->StatusBar1->panelText(3), QStringLiteral("已显示 %1 / 共 %1 条").arg(total));
        QCOMPARE(w->MSFlexGrid1->textMatrix(total, Col::ColRow), QString::number(total));
        QCOMPARE(w->MSFlexGrid1->textMatrix(total, Col::ColNumber), QStringLiteral("L-000"));
    }

    void theSuperUserSeesNothing()
    {
        userContext().PositionCode.clear();
        userContext().EmployeeNo = QStringLiteral("超级用户");
        auto w = open();
        QCOMPARE(w->MSFlexGrid1->rows(), 1);
    }

    void searchRefusesInOrderAndThenFinds()
    {
        auto w = open();
        QTest::mouseClick(w->comLook, Qt::LeftButton);
        QVERIFY(w->Picture7->isVisible());
        // Other filters set, but no type ticked.
        QTest::mouseClick(w->Check2, Qt::LeftButton);
        QVERIFY(w->Text1->isEnabled());
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("请选择文件类别"));
        QCOMPARE(msgs().shown.last().icon, MsgIcon::None);

        QTest::mouseClick(w->Check9, Qt::LeftButton);  // every type
        QVERIFY(w->TreeView1->checked(QStringLiteral("S0102")));
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("请输入查询条件文件名称的值！"));
        QCOMPARE(msgs().shown.last().title, QStringLiteral("Quarvel"));
        QCOMPARE(QApplication::focusWidget(), w->Text1);
        typeText(w->Text1, QStringLiteral("制度"));
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("请输入查询条件上传人的值！"));
        QCOMPARE(QApplication::focusWidget(), w->Text2);
        typeText(w->Text2, QStringLiteral("%甲"));
        QTest::mouseClick(w->Check5, Qt::LeftButton);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("请输入查询条件关键字的值！"));
        QTest::mouseClick(w->Check5, Qt::LeftButton);  // off again
        QTest::mouseClick(w->Check6, Qt::LeftButton);
        w->DTPicker1->setDate(QDate(2013, 3, 2));
        w->DTPicker2->setDate(QDate(2013, 3, 1));
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("上传日期起始日期的日期范围开始日期不能大于结束日期!"));
        QCOMPARE(msgs().shown.last().title, executableTitle());
        const int shown = msgs().shown.size();

        // The same day as start and end finds that day's document.
        w->DTPicker1->setDate(QDate(2013, 3, 2));
        w->DTPicker2->setDate(QDate(2013, 3, 2));
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().shown.size(), shown);
        QCOMPARE(w->MSFlexGrid1->rows(), 2);
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, Col::ColNumber), QStringLiteral("P-2"));
        QCOMPARE(w->StatusBar1->panelText(1), QStringLiteral("统计结束，请核对数据！"));
        QVERIFY(w->Picture7->isHidden());

        // Only the selected formats; a search finding nothing leaves the header row.
        QTest::mouseClick(w->comLook, Qt::LeftButton);
        QTest::mouseClick(w->Check6, Qt::LeftButton);
        QTest::mouseClick(w->Check2, Qt::LeftButton);
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        w->List1->findItems(QStringLiteral("doc"), Qt::MatchExactly).first()->setSelected(true);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->rows(), 2);
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, Col::ColNumber), QStringLiteral("D-1"));
        QTest::mouseClick(w->comLook, Qt::LeftButton);
        QTest::mouseClick(w->Check9, Qt::LeftButton);  // no type
        w->TreeView1->setChecked(QStringLiteral("S0101"), true);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(w->MSFlexGrid1->rows(), 1);
        QCOMPARE(w->StatusBar1->panelText(1), QStringLiteral("统计结束，请核对数据！"));
        QTest::mouseClick(w->comLook, Qt::LeftButton);
        QVERIFY(w->Picture7->isVisible());
        QTest::mouseClick(w->Check3, Qt::LeftButton);
        QVERIFY(w->Check3->isChecked());
        QCOMPARE(w->List1->selectedItems().size(), 2);
        QTest::mouseClick(w->Check3, Qt::LeftButton);
        QVERIFY(w->List1->selectedItems().isEmpty());
        QTest::mouseClick(w->Command9, Qt::LeftButton);
        QVERIFY(w->Picture7->isHidden());
    }

    void readingAPdfShowsItInTheOneViewerAndLogs()
    {
        // A stored "PDF" that is none: the viewer cannot show it, and the failed read is not logged.
        QVERIFY(fx->addDocument(QStringLiteral("X-1"), QStringLiteral("坏的"), QStringLiteral("0101"), at(3, 9),
                                QStringLiteral("pdf"), QByteArray("not a pdf at all")));
        QVERIFY(fx->grant(QStringLiteral("X-1"), QStringLiteral("G01"), 1, 0));
        auto w = open();
        qint64 uploadId = 77;
        Frm公司文件浏览 viewer(*platform);
        viewer.setTemporaryPath(files->filePath(QStringLiteral("文件Temp")));
        int shown = 0;
        w->setLinks({[&] { return &uploadId; },
                     [&] {
                         ++shown;
                         return &viewer;
                     }});
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("P-1")), Col::ColRead);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(uploadId, 0);  // the upload window's value is cleared
        QCOMPARE(w->ViewDocumentID, fx->idOf(QStringLiteral("P-1")));
        QCOMPARE(viewer.documentId(), fx->idOf(QStringLiteral("P-1")));
        QCOMPARE(viewer.Title->text(), QStringLiteral("文件编号: P-1     文件类别: 0101     文件名称: 预算手册"));
        QCOMPARE(viewer.PDFView1->pageCount(), 2);
        QCOMPARE(fx->logRows(), 1);
        QCOMPARE(db->scalar(QStringLiteral("select 阅读 from 资料下载记录")).toInt(), 1);

        // A second PDF replaces the first in the same viewer, and is the one logged.
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("P-2")), Col::ColRead);
        QCOMPARE(shown, 2);
        QCOMPARE(viewer.documentId(), fx->idOf(QStringLiteral("P-2")));
        QCOMPARE(viewer.PDFView1->pageCount(), 3);
        QCOMPARE(fx->logRows(), 2);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载记录 where 文件编号 = 'P-2'")).toInt(), 1);

        // An empty action cell does nothing.
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("D-1")), Col::ColRead);
        QCOMPARE(fx->logRows(), 2);

        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("X-1")), Col::ColRead);
        QVERIFY2(msgs().lastText().contains(QStringLiteral("无法显示该PDF文件")), qPrintable(msgs().lastText()));
        QCOMPARE(fx->logRows(), 2);
    }

    void anUpperCasePdfGoesToItsProgram()
    {
        auto w = open();
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("U-1")), Col::ColRead);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(platform->shellDouble().openedFiles.size(), 1);
        const QString opened = platform->shellDouble().openedFiles.first();
        QVERIFY(opened.startsWith(files->filePath(QStringLiteral("temp/"))));
        QVERIFY(opened.endsWith(QStringLiteral(".PDF")));
        QCOMPARE(QFileInfo(opened).size(), makePdf(QStringLiteral("Upper")).size());
        QVERIFY(!w->ownViewer());
        QCOMPARE(fx->logRows(), 1);

        // No program for it: the message, and the read is still logged.
        platform->shellDouble().result = false;
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("U-1")), Col::ColRead);
        QCOMPARE(msgs().lastText(), QStringLiteral("没有能够打开所选附件文件，可能您的电脑上没有安装相应的软件"));
        QCOMPARE(fx->logRows(), 2);
    }

    void aCopyThatCannotBeWrittenIsReported()
    {
        auto w = open();
        // The temporary folder cannot be made: a file holds its parent's name.
        const QString blocker = files->filePath(QStringLiteral("blocked"));
        {
            QFile file(blocker);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a folder");
        }
        w->setTempFolder(blocker + QStringLiteral("/temp"));
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("U-1")), Col::ColRead);
        QCOMPARE(msgs().shown.size(), 2);
        const auto& failure = msgs().shown.first();
        QCOMPARE(failure.title, QStringLiteral("下载文件出错!"));
        QCOMPARE(failure.icon, MsgIcon::Critical);
        QCOMPARE(failure.buttons, MsgButtons::Ok);
        QVERIFY2(failure.text.contains(blocker), qPrintable(failure.text));
        QCOMPARE(msgs().lastText(), QStringLiteral("没有能够打开所选附件文件，可能您的电脑上没有安装相应的软件"));
        QVERIFY(platform->shellDouble().openedFiles.isEmpty());
    }

    void downloadingSavesLogsAndAsksBeforeOverwriting()
    {
        auto w = open();
        const QString target = files->filePath(QStringLiteral("只可下载.doc"));
        platform->dialogsDouble().answers = {target};
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("D-1")), Col::ColDownload);
        QCOMPARE(platform->dialogsDouble().asked.size(), 1);
        QCOMPARE(platform->dialogsDouble().asked.first().filters, QStringList({QStringLiteral("指定文件 (*.doc)")}));
        // The stored extension is proposed, so that the file opens with its program.
        QCOMPARE(platform->dialogsDouble().asked.first().startPath, QStringLiteral("只可下载.doc"));
        // One question before an overwrite, the window's own.
        QCOMPARE(platform->dialogsDouble().saveQuestions.first(), OverwriteQuestion::ByWindow);
        QCOMPARE(msgs().texts(), QStringList({QStringLiteral("文件下载成功!")}));
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("DOC content 12345"));
        saved.close();
        QCOMPARE(db->scalar(QStringLiteral("select 下载 from 资料下载记录 where 文件编号 = 'D-1'")).toInt(), 1);

        // A name typed without an extension gets the stored one.
        platform->dialogsDouble().answers = {files->filePath(QStringLiteral("另存"))};
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("D-1")), Col::ColDownload);
        QVERIFY(QFile::exists(files->filePath(QStringLiteral("另存.doc"))));
        QVERIFY(!QFile::exists(files->filePath(QStringLiteral("另存"))));
        QCOMPARE(fx->logRows(), 2);
        msgs().shown.clear();

        // Declining the overwrite question writes and logs nothing.
        QVERIFY(writeFile(target, "old"));
        platform->dialogsDouble().answers = {target};
        msgs().answers = {MsgAnswer::No};
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("D-1")), Col::ColDownload);
        QCOMPARE(msgs().lastText(), QStringLiteral("该文件已存在，要覆盖吗？"));
        QCOMPARE(msgs().shown.last().title, QStringLiteral("警告"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("old"));
        saved.close();
        QCOMPARE(fx->logRows(), 2);

        // A cancelled dialog does nothing either.
        doubleClickCell(*w->MSFlexGrid1, rowOf(*w, QStringLiteral("D-1")), Col::ColDownload);
        QCOMPARE(fx->logRows(), 2);
    }

    void theViewerChoosesByBothValues()
    {
        Frm公司文件浏览 viewer(*platform);
        viewer.setTemporaryPath(files->filePath(QStringLiteral("文件Temp")));
        const qint64 p1 = fx->idOf(QStringLiteral("P-1"));
        viewer.ShowDocument(0, 0);
        QCOMPARE(viewer.Title->text(), Frm公司文件浏览::designTitle());
        QCOMPARE(viewer.PDFView1->pageCount(), 0);
        viewer.ShowDocument(p1, fx->idOf(QStringLiteral("P-2")));
        QCOMPARE(viewer.documentId(), 0);
        QCOMPARE(viewer.Title->text(), Frm公司文件浏览::designTitle());
        viewer.ShowDocument(p1, 0);
        QCOMPARE(viewer.documentId(), p1);
        QVERIFY(QFile::exists(viewer.temporaryPath()));
        viewer.ShowDocument(0, 0);
        QCOMPARE(viewer.Title->text(), Frm公司文件浏览::designTitle());
        QVERIFY(!QFile::exists(viewer.temporaryPath()));
        QVERIFY(msgs().shown.isEmpty());
    }

    void theViewerPagesZoomsAndFinds()
    {
        Frm公司文件浏览 viewer(*platform);
        viewer.setTemporaryPath(files->filePath(QStringLiteral("文件Temp")));
        viewer.resize(900, 700);
        viewer.show();
        viewer.ShowDocument(0, fx->idOf(QStringLiteral("P-2")));
        PdfPageView* view = viewer.PDFView1;
        QCOMPARE(viewer.pageCount->text(), QStringLiteral("/ 3"));
        QCOMPARE(viewer.pageNumber->value(), 1);
        QVERIFY(!viewer.previousPage->isEnabled());
        QTest::mouseClick(viewer.nextPage, Qt::LeftButton);
        QCOMPARE(view->page(), 1);
        QCOMPARE(viewer.pageNumber->value(), 2);
        QTest::mouseClick(viewer.lastPage, Qt::LeftButton);
        QCOMPARE(view->page(), 2);
        QVERIFY(!viewer.nextPage->isEnabled());
        view->setFocus();
        QTest::keyClick(view, Qt::Key_PageUp);
        QCOMPARE(view->page(), 1);

        // The page is white paper with an edge, opaque wherever the page has nothing.
        const QImage paper = view->pageImage();
        QCOMPARE(paper.pixelColor(paper.width() / 2, paper.height() - 4), QColor(Qt::white));
        QVERIFY(paper.pixelColor(0, paper.height() / 2) != QColor(Qt::white));
        QCOMPARE(paper.pixelColor(0, paper.height() / 2).alpha(), 255);

        QTest::mouseClick(viewer.fitWidth, Qt::LeftButton);
        const int fullWidth = view->pageImage().width();
        QVERIFY(fullWidth > view->viewport()->width() - 40);
        QTest::mouseClick(viewer.fitPage, Qt::LeftButton);
        QVERIFY(view->pageImage().height() <= view->viewport()->height());
        const qreal fitted = view->zoom();
        QTest::mouseClick(viewer.zoomIn, Qt::LeftButton);
        QVERIFY(view->zoom() > fitted);
        QCOMPARE(view->fit(), PdfPageView::Fit::Custom);
        QTest::mouseClick(viewer.zoomOut, Qt::LeftButton);
        QTest::mouseClick(viewer.zoomOut, Qt::LeftButton);
        QVERIFY(view->zoom() < fitted);
        QVERIFY(viewer.zoomText->text().endsWith(u'%'));

        // Find: every page says "Attendance"; the hits are counted and painted.
        QTest::mouseClick(viewer.fitWidth, Qt::LeftButton);
        QTest::keyClicks(viewer.findText, QStringLiteral("Attendance"));
        QTest::keyClick(viewer.findText, Qt::Key_Return);
        QTRY_COMPARE(view->hitCount(), 3);
        QTRY_COMPARE(viewer.findCount->text(), QStringLiteral("第 1 / 3 处"));
        QCOMPARE(view->page(), 0);
        const QImage image = view->pageImage();
        const QRgb highlight = PdfPageView::currentHitColor().rgb();
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; y += 2) {
            for (int x = 0; x < image.width() && !painted; x += 2) {
                const QColor c = image.pixelColor(x, y);
                painted = c.red() > 200 && c.green() > 80 && c.green() < 200 && c.blue() < 120;
            }
        }
        Q_UNUSED(highlight);
        QVERIFY2(painted, "no highlighted hit on the page");
        QTest::mouseClick(viewer.findNext, Qt::LeftButton);
        QCOMPARE(view->currentHit(), 1);
        QCOMPARE(view->page(), 1);
        QTest::mouseClick(viewer.findPrevious, Qt::LeftButton);
        QTest::mouseClick(viewer.findPrevious, Qt::LeftButton);
        QCOMPARE(view->currentHit(), 2);
        QCOMPARE(view->page(), 2);

        // "退出" deletes the viewer's copy.
        QVERIFY(QFile::exists(viewer.temporaryPath()));
        QTest::mouseClick(viewer.Command1, Qt::LeftButton);
        QVERIFY(!QFile::exists(viewer.temporaryPath()));
    }
};

QTEST_MAIN(BrowseWindowTest)
#include "test_browse_window.moc"
