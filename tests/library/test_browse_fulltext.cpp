// The browse window's search inside the documents, driven as a user does: the words typed in the
// keyword box with 全文 ticked, the hit pages listed with their words marked, a hit opened on its
// page in the viewer and logged as any read.

#include "BrowseFixture.h"
#include "DocumentFiles.h"
#include "InputDriving.h"

#include "library/FullTextIndex.h"
#include "library/PdfPageView.h"
#include "library/frmBrowse.h"
#include "library/frmViewer.h"
#include "widgets/StatusBar.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/grid/MarkedText.h"
#include "widgets/grid/MarkedTextDelegate.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPdfLink>
#include <QPdfSearchModel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace quarvel;
using namespace quarvel::test;

using Col = Frm公司资料查阅::Column;

class BrowseFullTextTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<BrowseFixture> fx;
    std::unique_ptr<QTemporaryDir> files;

    // A PDF document of these pages, its text indexed, readable by `position`.
    void addIndexed(const QString& number, const QStringList& pages, const QString& position, const QDateTime& when)
    {
        const QString path = files->filePath(number + QStringLiteral(".pdf"));
        QVERIFY(writePdf(path, pages));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(fx->addDocument(number, number + QStringLiteral("文件"), QStringLiteral("0101"), when,
                                QStringLiteral("pdf"), file.readAll()));
        QVERIFY(fx->grant(number, position, 1, 1));
        QCOMPARE(FullTextIndex::indexFile(fx->idOf(number), path, QStringLiteral("pdf")).value, IndexState::Done);
    }

    std::unique_ptr<Frm公司资料查阅> openSearching(const QString& words)
    {
        auto w = std::make_unique<Frm公司资料查阅>(*platform);
        w->setTempFolder(files->filePath(QStringLiteral("temp")));
        w->resize(1200, 700);
        w->show();
        QTest::mouseClick(w->comLook, Qt::LeftButton);
        QTest::mouseClick(w->Check9, Qt::LeftButton);
        QTest::mouseClick(w->chkFullText, Qt::LeftButton);
        typeText(w->Text3, words);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        return w;
    }

private slots:
    void init()
    {
        QVERIFY(setUp());
        fx = std::make_unique<BrowseFixture>(BrowseFixture{*db});
        QVERIFY(fx->setUp());
        files = std::make_unique<QTemporaryDir>();
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));
        addIndexed(QStringLiteral("F-1"),
                   {QStringLiteral("报销总则"), QStringLiteral("差旅"), QStringLiteral("差旅费报销制度")},
                   QStringLiteral("G01"), at(3, 1));
        addIndexed(QStringLiteral("F-2"), {QStringLiteral("出纳流程")}, QStringLiteral("G02"), at(3, 2));
        // A document whose text is still being read.
        QVERIFY(fx->addDocument(QStringLiteral("F-3"), QStringLiteral("新文件"), QStringLiteral("0101"), at(3, 3)));
        QVERIFY(fx->grant(QStringLiteral("F-3"), QStringLiteral("G01"), 1, 1));
        QVERIFY(FullTextIndex::setState(fx->idOf(QStringLiteral("F-3")), at(3, 3), IndexState::Pending).ok());
    }

    void cleanup()
    {
        fx.reset();
        tearDown();
    }

    void wordsAreRequiredAndHitPagesListed()
    {
        auto w = openSearching(QStringLiteral("，。"));
        QCOMPARE(msgs().lastText(), QStringLiteral("要查找的文字只有标点或空格，请输入汉字、字母或数字！"));
        w->Text3->clear();
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(msgs().lastText(), QStringLiteral("请输入要在文件内容中查找的文字！"));

        typeText(w->Text3, QStringLiteral("报销"));
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        FlexGrid& grid = *w->MSFlexGrid1;
        QCOMPARE(grid.cols(), int(Col::HitColumnCount));
        QCOMPARE(grid.rows(), 3);
        QCOMPARE(grid.textMatrix(1, Col::ColRead), QStringLiteral("查阅"));
        QCOMPARE(grid.textMatrix(1, Col::ColPage) + grid.textMatrix(2, Col::ColPage), QStringLiteral("13"));
        QVERIFY(grid.textMatrix(2, Col::ColSnippet).contains(kMatchStart + QStringLiteral("报销") + kMatchEnd));
        // Shown and exported without the marks, drawn with them.
        const QString shown = grid.model()->index(2, Col::ColSnippet).data().toString();
        QCOMPARE(shown, withoutTextMarks(grid.textMatrix(2, Col::ColSnippet)));
        QVERIFY(shown.contains(QStringLiteral("差旅费报销制度")));
        // The words' column takes the room left and ends inside the list.
        QTRY_VERIFY(grid.cellRect(2, Col::ColSnippet).right() < grid.width());
        const QImage cell =
            grid.grab(grid.cellRect(2, Col::ColSnippet)).toImage().convertToFormat(QImage::Format_RGB32);
        const auto* pixels = reinterpret_cast<const QRgb*>(cell.constBits());
        const qsizetype count = cell.sizeInBytes() / 4;
        QVERIFY(std::find(pixels, pixels + count, MarkedTextDelegate::markColor().rgb()) != pixels + count);
        QCOMPARE(w->StatusBar1->panelText(3), Frm公司资料查阅::hitsFoundText(1, 2));
        QVERIFY(w->StatusBar1->panelText(1).contains(QStringLiteral("1 份文件正在建立全文索引")));

        // Another position's document is not found; without 全文 the ordinary list comes back.
        QTest::mouseClick(w->comLook, Qt::LeftButton);
        w->Text3->clear();
        typeText(w->Text3, QStringLiteral("流程"));
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(grid.rows(), 1);
        QCOMPARE(w->StatusBar1->panelText(3), Frm公司资料查阅::hitsFoundText(0, 0));
        QTest::mouseClick(w->comLook, Qt::LeftButton);
        QTest::mouseClick(w->chkFullText, Qt::LeftButton);
        QTest::mouseClick(w->Command10, Qt::LeftButton);
        QCOMPARE(grid.formatString(), Frm公司资料查阅::listFormat());
    }

    // A long list of hits shows its first screen with snippets at once and the rest in steps.
    void manyHitsArriveInSteps()
    {
        const int pages = Frm公司资料查阅::kHitFirstRows + 20;
        addIndexed(QStringLiteral("F-4"), QStringList(pages, QStringLiteral("报销单")), QStringLiteral("G01"),
                   at(3, 4));
        auto w = openSearching(QStringLiteral("报销"));
        FlexGrid& grid = *w->MSFlexGrid1;
        const QString found = Frm公司资料查阅::hitsFoundText(2, pages + 2);
        QVERIFY(grid.loading());
        QCOMPARE(grid.loadedRows(), Frm公司资料查阅::kHitFirstRows);
        QCOMPARE(w->StatusBar1->panelText(3),
                 found + QStringLiteral("，") + FlexGrid::loadedText(grid.loadedRows(), pages + 2));
        QTRY_VERIFY(!grid.loading());
        QCOMPARE(grid.rows(), pages + 3);
        for (int row = 1; row < grid.rows(); ++row)
            QVERIFY(grid.textMatrix(row, Col::ColSnippet).contains(kMatchStart + QStringLiteral("报销") + kMatchEnd));
        QCOMPARE(w->StatusBar1->panelText(3), found);
    }

    void aHitOpensOnItsPageAndIsLogged()
    {
        auto w = openSearching(QStringLiteral("报销"));
        Frm公司文件浏览 viewer(*platform);
        viewer.setTemporaryPath(files->filePath(QStringLiteral("文件Temp")));
        w->setLinks({[] { return nullptr; }, [&] { return &viewer; }});
        const int row = w->MSFlexGrid1->findRow(Col::ColPage, QStringLiteral("3"));
        doubleClickCell(*w->MSFlexGrid1, row, Col::ColSnippet);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(fx->logRows(), 1);
        QCOMPARE(viewer.PDFView1->page(), 2);
        QCOMPARE(viewer.findText->text(), QStringLiteral("报销"));
        QTRY_VERIFY(viewer.PDFView1->currentHit() >= 0);
        QCOMPARE(viewer.PDFView1->searchModel()->resultAtIndex(viewer.PDFView1->currentHit()).page(), 2);
    }
};

QTEST_MAIN(BrowseFullTextTest)
#include "test_browse_fulltext.moc"
