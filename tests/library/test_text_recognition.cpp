// Printed text read off pictures: a Chinese phrase and a Latin word printed into a picture are
// found; the engine's blanks between Chinese characters go; a cancel stops it; a picture file
// that claims more pixels than it may is refused without being decoded.

#include "DocumentFiles.h"

#include "library/TextRecognition.h"

#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace quarvel;

using quarvel::test::printedPicture;

class TextRecognitionTest : public QObject {
    Q_OBJECT

private slots:
    void joinsChineseButKeepsOtherBlanks_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("joined");
        QTest::newRow("chinese") << QStringLiteral("出 差 补 贴") << QStringLiteral("出差补贴");
        QTest::newRow("latin") << QStringLiteral("Hello  World") << QStringLiteral("Hello  World");
        QTest::newRow("mixed") << QStringLiteral("报 告 ABC 文 件 2026 年") << QStringLiteral("报告 ABC 文件 2026 年");
        QTest::newRow("lines and the page end")
            << QStringLiteral("保 密\n期 限 \n\n\f") << QStringLiteral("保密\n期限");
        QTest::newRow("punctuation") << QStringLiteral("第 一 条 ， 总 则 。") << QStringLiteral("第一条，总则。");
    }
    void joinsChineseButKeepsOtherBlanks()
    {
        QFETCH(QString, engine);
        QFETCH(QString, joined);
        QCOMPARE(joinRecognizedText(engine), joined);
    }

    void readsPrintedChineseAndLatin()
    {
        TextRecognizer ocr;
        QVERIFY2(ocr.isReady(), qPrintable(ocr.whyNotReady()));
        const DbResult<QString> text =
            ocr.recognize(printedPicture({QStringLiteral("出差补贴标准"), QStringLiteral("Quarvel 2026")}));
        QVERIFY2(text.ok(), qPrintable(text.error.description));
        QVERIFY2(text.value.contains(QStringLiteral("出差补贴")), qPrintable(text.value));
        QVERIFY2(text.value.contains(QStringLiteral("2026")), qPrintable(text.value));
        // A blank picture has no text.
        QImage blank(400, 300, QImage::Format_RGB32);
        blank.fill(Qt::white);
        QCOMPARE(ocr.recognize(blank).value, QString());
    }

    void cancelledBeforeItEnds()
    {
        TextRecognizer ocr;
        const std::atomic_bool cancelled{true};
        const DbResult<QString> text = ocr.recognize(printedPicture({QStringLiteral("保密期限")}), &cancelled);
        QVERIFY(!text.ok());
        QCOMPARE(text.error.description, QStringLiteral("文字识别已取消"));
    }

    void filesWithinLimits()
    {
        QTemporaryDir dir;
        TextRecognizer ocr;
        // A picture file saved by the test is read.
        const QString good = dir.filePath(QStringLiteral("扫描件.png"));
        QVERIFY(printedPicture({QStringLiteral("保密期限")}).save(good));
        const DbResult<QString> text = ocr.recognizeFile(good);
        QVERIFY2(text.value.contains(QStringLiteral("保密")), qPrintable(text.value + text.error.description));
        // A bitmap of a few bytes whose header claims 60,000 x 60,000 pixels.
        QByteArray bmp(54, '\0');
        bmp[0] = 'B';
        bmp[1] = 'M';
        qToLittleEndian<quint32>(54, bmp.data() + 10);
        qToLittleEndian<quint32>(40, bmp.data() + 14);
        qToLittleEndian<qint32>(60000, bmp.data() + 18);
        qToLittleEndian<qint32>(60000, bmp.data() + 22);
        qToLittleEndian<quint16>(1, bmp.data() + 26);
        qToLittleEndian<quint16>(24, bmp.data() + 28);
        const QString huge = dir.filePath(QStringLiteral("huge.bmp"));
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bmp) == bmp.size());
        f.close();
        QVERIFY(!ocr.recognizeFile(huge).ok());
        QVERIFY(!ocr.recognizeFile(dir.filePath(QStringLiteral("none.jpg"))).ok());
    }
};

QTEST_MAIN(TextRecognitionTest)
#include "test_text_recognition.moc"
