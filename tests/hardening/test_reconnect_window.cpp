// The browse window when its database is taken away and comes back: the read that meets the
// loss is reported in the window's own message form, once; the window stays usable, and the
// next read reconnects by itself and is logged again. (test_reconnect runs the same loss
// through the ODBC path.)

#include "BrowseFixture.h"
#include "InputDriving.h"
#include "Organisation.h"

#include "db/ConnectionRecovery.h"
#include "library/frmBrowse.h"
#include "platform/MessageBoxes.h"
#include "widgets/grid/FlexGrid.h"

#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quarvel;
using namespace quarvel::test;

namespace {

using Col = Frm公司资料查阅::Column;

}  // namespace

class ReconnectWindowTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

private slots:
    void cleanup() { tearDown(); }

    void browseWindowReportsTheLossOnceAndReadsAgain()
    {
        QVERIFY(setUp(false));
        BrowseFixture fx{*db};
        QVERIFY(fx.setUp());
        QVERIFY(fx.addDocument(QStringLiteral("D-1"), QStringLiteral("员工手册"), QStringLiteral("0101"), at(3, 4),
                               QStringLiteral("doc"), QByteArray("DOC content")));
        QVERIFY(fx.grant(QStringLiteral("D-1"), QStringLiteral("G01"), 1, 1));
        const DbStatus opened = db->openShared();
        QVERIFY2(opened.ok(), qPrintable(opened.error.description));
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));

        QTemporaryDir files;
        auto w = std::make_unique<Frm公司资料查阅>(*platform);
        w->setTempFolder(files.filePath(QStringLiteral("temp")));
        w->resize(1200, 700);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const int row = w->MSFlexGrid1->findRow(Col::ColNumber, QStringLiteral("D-1"));
        QVERIFY2(row > 0, qPrintable(msgs().texts().join(u'|')));

        doubleClickCell(*w->MSFlexGrid1, row, Col::ColRead);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(fx.logRows(), 1);

        // The database goes away while the window is open.
        const QString away = db->path() + QStringLiteral(".away");
        QVERIFY(QFile::rename(db->path(), away));
        doubleClickCell(*w->MSFlexGrid1, row, Col::ColRead);
        QCOMPARE(msgs().shown.size(), 1);
        const ScriptedMessages::Shown& lost = msgs().shown.first();
        QVERIFY2(lost.text.startsWith(ConnectionRecovery::lostText()), qPrintable(lost.text));
        QCOMPARE(lost.title, executableTitle());
        QCOMPARE(lost.icon, MsgIcon::Information);
        QTest::qWait(1);

        // It is back: the next read reconnects and is logged, without a word.
        QVERIFY(QFile::rename(away, db->path()));
        doubleClickCell(*w->MSFlexGrid1, row, Col::ColRead);
        QCOMPARE(msgs().shown.size(), 1);
        QCOMPARE(fx.logRows(), 2);
        QVERIFY(!ConnectionRecovery::lost());
        QCOMPARE(platform->shellDouble().openedFiles.size(), 3);
    }
};

QTEST_MAIN(ReconnectWindowTest)
#include "test_reconnect_window.moc"
