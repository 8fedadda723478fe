// The administrators' window that builds the full-text index: how many wait, a stop that is
// resumed by starting again, the summary, and a close while it runs.

#include "BrowseFixture.h"
#include "InputDriving.h"

#include "library/frmFullTextIndex.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace quarvel;
using namespace quarvel::test;

class FullTextWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TestPlatform> platform;

    QString text(const QWidget& w, const QString& name) { return control<QLabel>(w, name)->text(); }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        BrowseFixture fx{*db};
        QVERIFY(fx.setUp());
        for (const char* number : {"A", "B"})
            QVERIFY(fx.addDocument(QString::fromLatin1(number), QStringLiteral("通知"), QStringLiteral("0101"),
                                   at(3, 1), QStringLiteral("txt"), QByteArray("放假通知")));
        platform = std::make_unique<TestPlatform>();
    }

    void cleanup()
    {
        SharedConnection::release();
        db.reset();
    }

    void stoppedThenResumedUntilDone()
    {
        frmFullTextIndex w(*platform);
        w.show();
        QCOMPARE(text(w, QStringLiteral("PendingCount")), QStringLiteral("2 份"));
        // "停止" while it runs: nothing read yet, so both still wait.
        QTimer::singleShot(0, &w, [&] { clickButton(w, QStringLiteral("StopButton")); });
        clickButton(w, QStringLiteral("StartButton"));
        QVERIFY(text(w, QStringLiteral("Summary")).contains(QStringLiteral("已停止")));
        QCOMPARE(text(w, QStringLiteral("PendingCount")), QStringLiteral("2 份"));
        clickButton(w, QStringLiteral("StartButton"));
        QCOMPARE(text(w, QStringLiteral("Summary")),
                 QStringLiteral("已建立索引 2 份，无可检索的文字 0 份，读取失败 0 份。"));
        QCOMPARE(text(w, QStringLiteral("ProgressText")), QStringLiteral("已完成 2 / 2"));
        QCOMPARE(text(w, QStringLiteral("PendingCount")), QStringLiteral("0 份"));
        QVERIFY(!control<QPushButton>(w, QStringLiteral("StartButton"))->isEnabled());
        QVERIFY(platform->msgs().shown.isEmpty());
    }

    void closedWhileRunningStopsAndCloses()
    {
        frmFullTextIndex w(*platform);
        w.show();
        QTimer::singleShot(0, &w, [&] { QVERIFY(!w.close()); });
        clickButton(w, QStringLiteral("StartButton"));
        QVERIFY(!w.isRunning());
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(FullTextWindowTest)
#include "test_fulltext_window.moc"
