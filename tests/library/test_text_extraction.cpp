// The text of document files: a PDF's text layer page by page, Office packages, plain text in
// UTF-8 and GBK, and the limits that bound what is read from outside.

#include "DocumentFiles.h"
#include "TestSupport.h"
#include "library/TextExtraction.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;

class TestTextExtraction : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void pdfPageByPage()
    {
        QVERIFY(test::writePdf(path(QStringLiteral("a.pdf")),
                               {QStringLiteral("第一页 财务制度"), QStringLiteral("Second page 报销流程")}));
        const ExtractedText text = TextExtraction::extract(path(QStringLiteral("a.pdf")), QStringLiteral("PDF"));
        QCOMPARE(text.outcome, ExtractionOutcome::Text);
        QCOMPARE(text.pages.size(), 2);
        QVERIFY2(text.pages[0].contains(QStringLiteral("财务制度")), qPrintable(text.pages[0]));
        QVERIFY2(text.pages[1].contains(QStringLiteral("报销流程")), qPrintable(text.pages[1]));
    }

    // A picture, and a PDF page that is a picture of print: read by recognition when asked to,
    // else only marked as needing it.
    void printOnPicturesReadByRecognition_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("picture") << "png";
        QTest::newRow("scanned pdf page") << "pdf";
    }
    void printOnPicturesReadByRecognition()
    {
        QFETCH(QString, format);
        const QString file = path(QStringLiteral("scan.") + format);
        const QImage print = test::printedPicture({QStringLiteral("出差补贴标准")});
        QVERIFY(format == u"pdf" ? test::writeScannedPdf(file, print) : print.save(file));
        const ExtractedText layer = TextExtraction::extract(file, format);
        QCOMPARE(layer.outcome, ExtractionOutcome::NoText);
        QVERIFY(layer.needsRecognition);
        ExtractionLimits limits;
        limits.recognize = true;
        const ExtractedText text = TextExtraction::extract(file, format, limits);
        QCOMPARE(text.outcome, ExtractionOutcome::Text);
        QVERIFY2(text.pages.value(0).contains(QStringLiteral("出差补贴")), qPrintable(text.pages.value(0)));
    }

    void docxBody()
    {
        QVERIFY(test::writeDocx(path(QStringLiteral("a.docx")),
                                {QStringLiteral("员工手册"), QStringLiteral("第二段 <安全> & 规定")}));
        const ExtractedText text = TextExtraction::extract(path(QStringLiteral("a.docx")), QStringLiteral("docx"));
        QCOMPARE(text.outcome, ExtractionOutcome::Text);
        QCOMPARE(text.pages, QStringList{QStringLiteral("员工手册\n第二段 <安全> & 规定\n")});
    }

    void xlsxSheetsAndPptxSlides()
    {
        const QByteArray shared = "<sst><si><t>预算</t></si><si><r><t>合</t></r><r><t>计</t></r></si></sst>";
        const QByteArray sheet = "<worksheet><sheetData><row><c t=\"s\"><v>0</v></c><c><v>12.5</v></c></row>"
                                 "<row><c t=\"inlineStr\"><is><t>备注</t></is></c><c t=\"s\"><v>1</v></c></row>"
                                 "</sheetData></worksheet>";
        QVERIFY(test::writePackage(path(QStringLiteral("a.xlsx")),
                                   {{QStringLiteral("xl/sharedStrings.xml"), shared},
                                    {QStringLiteral("xl/worksheets/sheet2.xml"), "<worksheet/>"},
                                    {QStringLiteral("xl/worksheets/sheet1.xml"), sheet}}));
        const ExtractedText book = TextExtraction::extract(path(QStringLiteral("a.xlsx")), QStringLiteral("xlsx"));
        QCOMPARE(book.pages, (QStringList{QStringLiteral("预算\t12.5\n备注\t合计\n"), QString()}));

        const QByteArray slide = "<p:sld xmlns:a=\"a\" xmlns:p=\"p\"><a:p><a:r><a:t>季度</a:t></a:r></a:p></p:sld>";
        QVERIFY(test::writePackage(path(QStringLiteral("a.pptx")),
                                   {{QStringLiteral("ppt/slides/slide10.xml"), slide},
                                    {QStringLiteral("ppt/slides/slide9.xml"), "<p:sld xmlns:p=\"p\"/>"}}));
        const ExtractedText deck = TextExtraction::extract(path(QStringLiteral("a.pptx")), QStringLiteral("pptx"));
        QCOMPARE(deck.pages, (QStringList{QString(), QStringLiteral("季度\n")}));
    }

    void plainTextEncodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = QStringLiteral("通知：明天开会 meeting");
        QTest::newRow("utf-8") << text.toUtf8();
        QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QStringEncoder gbk("GB18030");
        QTest::newRow("gbk") << QByteArray(gbk.encode(text));
    }
    void plainTextEncodings()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(test::writeFile(path(QStringLiteral("a.txt")), bytes));
        const ExtractedText text = TextExtraction::extract(path(QStringLiteral("a.txt")), QStringLiteral("txt"));
        QCOMPARE(text.pages, QStringList{QStringLiteral("通知：明天开会 meeting")});
    }

    void longTextInPagesWithinLimits()
    {
        QString text;
        for (int k = 0; k < 100; ++k)
            text += QStringLiteral("第%1行文字\n").arg(k, 3, 10, QLatin1Char('0'));
        QVERIFY(test::writeGbkText(path(QStringLiteral("long.txt")), text));
        ExtractionLimits limits;
        limits.plainPageCharacters = 100;
        limits.pages = 3;
        const ExtractedText cut = TextExtraction::extract(path(QStringLiteral("long.txt")), QStringLiteral("txt"),
                                                          limits);
        QCOMPARE(cut.pages.size(), 3);
        QVERIFY(cut.truncated);
        QVERIFY(cut.pages[0].endsWith(u'\n') && cut.pages[0].size() <= 100);
        QVERIFY(cut.pages[1].startsWith(QStringLiteral("第0")));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<ExtractionOutcome>("outcome");
        QTest::newRow("unknown format") << "a.dwg" << QByteArray("x") << "dwg" << ExtractionOutcome::NoText;
        QTest::newRow("empty text") << "e.txt" << QByteArray(" \n") << "txt" << ExtractionOutcome::NoText;
        QTest::newRow("not a pdf") << "b.pdf" << QByteArray("not a pdf") << "pdf" << ExtractionOutcome::Failed;
        QTest::newRow("not a package") << "b.docx" << QByteArray("PK broken") << "docx" << ExtractionOutcome::Failed;
        QTest::newRow("too large") << "big.txt" << QByteArray(2048, 'a') << "txt" << ExtractionOutcome::NoText;
    }
    void refusals()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, extension);
        QFETCH(ExtractionOutcome, outcome);
        QVERIFY(test::writeFile(path(name), bytes));
        ExtractionLimits limits;
        limits.fileBytes = 1024;
        const ExtractedText text = TextExtraction::extract(path(name), extension, limits);
        QCOMPARE(text.outcome, outcome);
        QVERIFY(text.pages.isEmpty());
        QVERIFY(!text.reason.isEmpty());
    }

    // A part that unpacks beyond the limit or nests too deep is refused, not read.
    void hostilePackages()
    {
        ExtractionLimits limits;
        limits.package.partBytes = 64 * 1024;
        limits.package.depth = 16;
        QVERIFY(test::writePackage(path(QStringLiteral("bomb.docx")),
                                   {{QStringLiteral("word/document.xml"), QByteArray(1 << 20, ' ')}}));
        QCOMPARE(TextExtraction::extract(path(QStringLiteral("bomb.docx")), QStringLiteral("docx"), limits).outcome,
                 ExtractionOutcome::Failed);
        QVERIFY(test::writePackage(path(QStringLiteral("deep.docx")),
                                   {{QStringLiteral("word/document.xml"), QByteArray("<a>").repeated(100)}}));
        QCOMPARE(TextExtraction::extract(path(QStringLiteral("deep.docx")), QStringLiteral("docx"), limits).outcome,
                 ExtractionOutcome::Failed);
    }
};

QTEST_MAIN(TestTextExtraction)
#include "test_text_extraction.moc"
