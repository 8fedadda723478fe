#include "widgets/StatusBar.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;

class StatusBarTest : public QObject {
    Q_OBJECT

    static void light(const QString& folder, const QString& name, const QByteArray& value)
    {
        QDir(folder).mkpath(name);
        QFile f(folder + u'/' + name + QStringLiteral("/brightness"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(value);
    }

private slots:
    void lockStateFollowsTheKeyboardLights()
    {
        QTemporaryDir leds;
        QVERIFY(!InfoStatusBar::lockKeyLit(QStringLiteral("capslock"), leds.path()).has_value());
        light(leds.path(), QStringLiteral("input3::capslock"), "0\n");
        QCOMPARE(InfoStatusBar::lockKeyLit(QStringLiteral("capslock"), leds.path()), std::optional<bool>(false));
        light(leds.path(), QStringLiteral("input7::capslock"), "1\n");  // a second keyboard
        QCOMPARE(InfoStatusBar::lockKeyLit(QStringLiteral("capslock"), leds.path()), std::optional<bool>(true));
        QVERIFY(!InfoStatusBar::lockKeyLit(QStringLiteral("numlock"), leds.path()).has_value());
    }

    void panelsInOrder()
    {
        InfoStatusBar bar(2);
        QCOMPARE(bar.panelCount(), 6);
        bar.setPanelText(1, QStringLiteral("请稍候"));
        QCOMPARE(bar.panelText(1), QStringLiteral("请稍候"));
        QCOMPARE(bar.panelText(3), QStringLiteral("NUM"));
        QCOMPARE(bar.panelText(4), QStringLiteral("CAPS"));
        QVERIFY(!bar.panelText(6).isEmpty());  // the time
        bar.setPanelText(9, QStringLiteral("ignored"));
    }

    void dateAndTimeComeFromTheGivenClock()
    {
        InfoStatusBar bar(1);
        const QDateTime fixed(QDate(2024, 2, 29), QTime(23, 59, 58));
        bar.setClock([fixed] { return fixed; });
        QCOMPARE(bar.panelText(4), QLocale().toString(fixed.date(), QLocale::ShortFormat));
        QCOMPARE(bar.panelText(5), QStringLiteral("23:59:58"));
    }
};

QTEST_MAIN(StatusBarTest)
#include "test_status_bar.moc"
