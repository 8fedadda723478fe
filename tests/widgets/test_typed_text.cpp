// What a box lets in: typed and pasted text as a user enters it, with the tip that says why
// something was not taken.

#include "widgets/TypedText.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>

using namespace quarvel;

class TypedTextTest : public QObject {
    Q_OBJECT

    static void paste(QLineEdit& box, const QString& text)
    {
        QApplication::clipboard()->setText(text);
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    }

private slots:
    void pastedTextIsMadeValidOrRefused_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("tip");
        const QString none;
        QTest::newRow("plain") << QStringLiteral("报告") << 0 << QStringLiteral("ab报告") << none;
        QTest::newRow("lone high surrogate")
            << (QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y")) << 0 << QStringLiteral("abx?y") << none;
        QTest::newRow("lone low surrogate")
            << (QChar(0xDC00) + QStringLiteral("z")) << 0 << QStringLiteral("ab?z") << none;
        QTest::newRow("pair kept") << QStringLiteral("𠀀") << 0 << QStringLiteral("ab𠀀") << none;
        QTest::newRow("NUL") << (QStringLiteral("c") + QChar(u'\0') + QStringLiteral("d")) << 0 << QStringLiteral("ab")
                             << QStringLiteral("输入中含有不能使用的字符（空字符），没有输入。");
        QTest::newRow("too long") << QStringLiteral("长长长长长长") << 5 << QStringLiteral("ab长长长")
                                  << QStringLiteral("最多可输入 5 个字符，多出的部分没有输入。");
    }
    void pastedTextIsMadeValidOrRefused()
    {
        QFETCH(QString, pasted);
        QFETCH(int, maxLength);
        QFETCH(QString, kept);
        QFETCH(QString, tip);
        QWidget window;
        auto* box = new QLineEdit(&window);
        guardTypedTexts(&window);
        if (maxLength > 0)
            guardTypedText(box, maxLength);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClicks(box, QStringLiteral("ab"));
        QToolTip::hideText();
        paste(*box, pasted);
        QCOMPARE(box->text(), kept);
        QVERIFY(box->text().isValidUtf16());
        if (tip.isEmpty())
            QVERIFY(!QToolTip::isVisible());
        else
            QTRY_COMPARE(QToolTip::text(), tip);
    }
};

QTEST_MAIN(TypedTextTest)
#include "test_typed_text.moc"
