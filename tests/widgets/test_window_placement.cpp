// Centring child windows in the main window.

#include "widgets/WindowPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

using namespace quarvel;

class WindowPlacementTest : public QObject {
    Q_OBJECT

private slots:
    void mdiChildMovesItsSubwindowToTheCentre()
    {
        QMainWindow main;
        auto* area = new QMdiArea;
        main.setCentralWidget(area);
        main.resize(1000, 700);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        auto* child = new QWidget;
        QMdiSubWindow* sub = area->addSubWindow(child);
        sub->resize(300, 200);
        sub->show();
        const QSize inner = area->viewport()->size();

        sub->move(0, 0);
        CenterInMainWindow(child);  // the window itself, as its own code calls it
        QCOMPARE(sub->pos(), QPoint((inner.width() - 300) / 2, (inner.height() - 200) / 2));

        sub->move(5, 5);
        CenterInMainWindow(sub);
        QCOMPARE(sub->pos(), QPoint((inner.width() - 300) / 2, (inner.height() - 200) / 2));
    }

    void largerWindowGoesPastTheTopLeft()
    {
        QMainWindow main;
        auto* area = new QMdiArea;
        main.setCentralWidget(area);
        main.resize(400, 300);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QMdiSubWindow* sub = area->addSubWindow(new QWidget);
        sub->show();
        sub->resize(area->viewport()->width() + 100, area->viewport()->height() + 60);
        CenterInMainWindow(sub);
        QCOMPARE(sub->pos(), QPoint(-50, -30));
    }

    void childWidgetIsCentredInItsParentsInnerArea()
    {
        QWidget parent;
        parent.resize(640, 480);
        parent.setContentsMargins(0, 0, 0, 0);
        auto* child = new QWidget(&parent);
        child->resize(201, 100);
        CenterInMainWindow(child);
        QCOMPARE(child->pos(), QPoint((640 - 201) / 2, (480 - 100) / 2));
    }

    void dialogIsCentredOverTheMainWindowsInnerArea()
    {
        QMainWindow main;
        auto* area = new QMdiArea;
        main.setCentralWidget(area);
        main.setGeometry(100, 80, 900, 600);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QDialog dialog(&main);
        dialog.resize(300, 200);
        CenterInMainWindow(&dialog);
        const QRect inner(area->viewport()->mapToGlobal(QPoint(0, 0)), area->viewport()->size());
        const QSize frame = dialog.frameGeometry().size();
        QCOMPARE(dialog.frameGeometry().topLeft(),
                 inner.topLeft() + QPoint((inner.width() - frame.width()) / 2, (inner.height() - frame.height()) / 2));
    }

    void nothingHappensWithoutAWindow() { CenterInMainWindow(nullptr); }
};

QTEST_MAIN(WindowPlacementTest)
#include "test_window_placement.moc"
