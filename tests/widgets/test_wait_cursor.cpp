#include "widgets/StatusBar.h"
#include "widgets/WaitCursor.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

#include <stdexcept>

using namespace quarvel;

namespace {

// Records the text a label shows each time it is painted, and counts the paints of a window.
class PaintRecorder : public QObject {
public:
    QStringList labelPaints;
    int windowPaints = 0;
    QWidget* window = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            if (watched == window)
                ++windowPaints;
            else if (auto* label = qobject_cast<QLabel*>(watched))
                labelPaints << label->text();
        }
        return false;
    }
};

bool waitPointerShown()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

}  // namespace

class WaitCursorTest : public QObject {
    Q_OBJECT

    QWidget* window_ = nullptr;
    QLabel* status_ = nullptr;
    PaintRecorder recorder_;

private slots:
    void init()
    {
        window_ = new QWidget;
        status_ = new QLabel(QStringLiteral("就绪"), window_);
        auto* layout = new QVBoxLayout(window_);
        layout->addWidget(status_);
        window_->resize(300, 100);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
        recorder_.window = window_;
        recorder_.labelPaints.clear();
        recorder_.windowPaints = 0;
        status_->installEventFilter(&recorder_);
        window_->installEventFilter(&recorder_);
    }

    void cleanup()
    {
        delete window_;
        window_ = nullptr;
        QVERIFY(!QApplication::overrideCursor());
    }

    void statusTextIsPaintedBeforeTheWorkAndRestoredAfter()
    {
        bool seenInTheWork = false;
        const auto work = [&] {
            // What the user sees while the event loop is blocked.
            seenInTheWork = waitPointerShown() && status_->text() == WaitCursor::databaseText()
                            && recorder_.labelPaints.contains(WaitCursor::databaseText());
        };
        {
            WaitCursor wait(status_);
            work();
        }
        QVERIFY(seenInTheWork);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(status_->text(), QStringLiteral("就绪"));
        QCOMPARE(recorder_.labelPaints.last(), QStringLiteral("就绪"));
    }

    void windowIsRedrawnWhenTheWorkEnds()
    {
        {
            WaitCursor wait(status_, QStringLiteral("正在装入……"));
            QCOMPARE(recorder_.labelPaints, QStringList{QStringLiteral("正在装入……")});
            recorder_.windowPaints = 0;
        }
        QTRY_VERIFY(recorder_.windowPaints > 0);
    }

    void restoredWhenTheWorkFails()
    {
        try {
            WaitCursor wait(status_);
            QVERIFY(waitPointerShown());
            throw std::runtime_error("the work failed");
        } catch (const std::runtime_error&) {
        }
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(status_->text(), QStringLiteral("就绪"));
    }

    void nestedScopesRestoreEachOnce()
    {
        {
            WaitCursor outer(status_, QStringLiteral("外层"));
            {
                WaitCursor inner(status_, QStringLiteral("内层"));
                QCOMPARE(status_->text(), QStringLiteral("内层"));
            }
            QVERIFY(waitPointerShown());
            QCOMPARE(status_->text(), QStringLiteral("外层"));
        }
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(status_->text(), QStringLiteral("就绪"));
    }

    void statusBarPanelIsPaintedAtOnceAndKept()
    {
        auto* bar = new InfoStatusBar(1, window_);
        window_->layout()->addWidget(bar);
        bar->show();
        QApplication::processEvents();
        for (QLabel* panel : bar->findChildren<QLabel*>())
            panel->installEventFilter(&recorder_);
        recorder_.labelPaints.clear();
        bool seenInTheWork = false;
        {
            WaitCursor wait(bar, 1, QStringLiteral("请稍候，正在进行统计..."));
            seenInTheWork = waitPointerShown() && bar->panelText(1) == QStringLiteral("请稍候，正在进行统计...")
                            && recorder_.labelPaints.contains(QStringLiteral("请稍候，正在进行统计..."));
        }
        QVERIFY(seenInTheWork);
        QVERIFY(!QApplication::overrideCursor());
        // The window writes what follows; until then the text stays.
        QCOMPARE(bar->panelText(1), QStringLiteral("请稍候，正在进行统计..."));
    }

    void pointerAloneWithoutStatus()
    {
        {
            WaitCursor wait;
            QVERIFY(waitPointerShown());
            WaitCursor none(static_cast<QLabel*>(nullptr));
            QVERIFY(waitPointerShown());
        }
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(WaitCursorTest)
#include "test_wait_cursor.moc"
