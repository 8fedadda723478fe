// The changes of the permission windows broken off at each of their statements in turn: upload
// permissions "添加" and "修改", download groups created, changed and deleted. Each leaves the
// database exactly as it was (or holds the whole change when the break came after it was
// stored), is reported in the window's own form, and the same step then succeeds.
#include "FaultSweep.h"
#include "Organisation.h"
#include "PermissionsFixture.h"
#include "WindowDriving.h"

#include "login/UserContext.h"
#include "permissions/frmDownloadGroups.h"
#include "permissions/frmUploadPermissions.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace quarvel;
using namespace quarvel::test;

namespace {

const QSet<QString> kClockColumns = {QStringLiteral("资料上传权限.updatedate"),
                                     QStringLiteral("资料下载组.updatedate")};

}  // namespace

class PermissionFaultsTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<frm资料上传权限设置> permissions;
    std::unique_ptr<frm资料下载组设置> groups;
    SweepCounts total;
    int changes = 0;

    template <class Window>
    void show(std::unique_ptr<Window>& w)
    {
        w = std::make_unique<Window>(*platform);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(describe(msgs())));
    }

    void run(const ChangeUnderTest& change, int atLeastUndone)
    {
        SweepCounts counts;
        sweep(*db, msgs(), change, FaultKind::Statement, counts);
        total.sent += counts.sent;
        total.faults += counts.faults;
        total.undone += counts.undone;
        total.completed += counts.completed;
        total.rowsLost += counts.rowsLost;
        ++changes;
        qInfo("%d statements, %d faults: %d undone, %d after the change was stored", counts.sent, counts.faults,
              counts.undone, counts.completed);
        QVERIFY(counts.undone >= atLeastUndone);
    }

    void retype(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        typeText(edit, text);
    }

    void clickGroup(int row)
    {
        QListWidgetItem* item = groups->List1->item(row);
        QVERIFY(item);
        QTest::mouseClick(groups->List1->viewport(), Qt::LeftButton, {}, groups->List1->visualItemRect(item).center());
    }

private slots:
    void init()
    {
        QVERIFY(setUp());
        Organisation org = organisation();
        org.departments({kFinance, {"D02", "人事部"}});
        org.positions({{"P01", "会计", "D01", "0012"}, {"P02", "出纳", "D01"}, {"P04", "审计", "D02", "0014"}});
        org.employees({{"0012", "张三", "1"}, {"0014", "王五", "1"}});
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), QVariant(), 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0102"), QStringLiteral("财务制度"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("02"), QStringLiteral("表格"), QVariant(), 0);
        permitUpload(*db, QStringLiteral("0101"), QStringLiteral("P04"));
        permitUpload(*db, QStringLiteral("02"), QStringLiteral("P04"));
        for (const auto& [code, name] : {std::pair{"Z1", "财务组"}, std::pair{"Z2", "审计组"}})
            QVERIFY(db->insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QString::fromUtf8(code)},
                                                              {QStringLiteral("组名称"), QString::fromUtf8(name)}}));
        for (const char* position : {"P01", "P02"})
            QVERIFY(db->insert(QStringLiteral("资料下载组详细"),
                               {{QStringLiteral("组id"), QStringLiteral("Z1")},
                                {QStringLiteral("岗位代号"), QString::fromUtf8(position)}}));
        QVERIFY(db->insert(QStringLiteral("资料下载组详细"), {{QStringLiteral("组id"), QStringLiteral("Z2")},
                                                              {QStringLiteral("岗位代号"), QStringLiteral("P04")}}));
        signIn(QStringLiteral("0001"));
    }

    void cleanup()
    {
        FaultInjection::disarm();
        permissions.reset();
        groups.reset();
        tearDown();
    }

    void cleanupTestCase()
    {
        qInfo("permission changes: %d sweeps, %d statements, %d faults injected (%d undone, %d after storing), "
              "%lld rows lost",
              changes, total.sent, total.faults, total.undone, total.completed, total.rowsLost);
    }

    // "添加": the position's types are written, all of them or none.
    void uploadPermissionAdd()
    {
        ChangeUnderTest c;
        c.prepare = [this] {
            show(permissions);
            clickCheckBox(*permissions->TreeView1, QStringLiteral("S0102"));
            clickCheckBox(*permissions->TreeView1, QStringLiteral("S02"));
            clickNode(*permissions->TreeView2, QStringLiteral("$D01"));
            clickNode(*permissions->TreeView2, QStringLiteral("GP01"));
        };
        c.perform = [this] { click(permissions->Command5); };
        c.checkUndone = [this] { QCOMPARE(permissions->ListView2->count(), 1); };
        c.finish = [this] { permissions.reset(); };
        c.reports = {{ErrorForm::DescriptionOnly, executableTitle()}};
        c.ignoredColumns = kClockColumns;
        run(c, 3);
    }

    // "修改": the old set is replaced by the new one, or kept whole.
    void uploadPermissionChange()
    {
        ChangeUnderTest c;
        c.prepare = [this] {
            show(permissions);
            clickRow(*permissions->ListView2, 0);
            clickCheckBox(*permissions->TreeView1, QStringLiteral("S0101"));  // off
            clickCheckBox(*permissions->TreeView1, QStringLiteral("S0102"));  // on
        };
        c.perform = [this] { click(permissions->Command7); };
        c.checkUndone = [this] { QCOMPARE(permissions->ListView2->selectedKey(), QStringLiteral("GP04")); };
        c.finish = [this] { permissions.reset(); };
        c.reports = {{ErrorForm::DescriptionOnly, executableTitle()}};
        c.ignoredColumns = kClockColumns;
        run(c, 3);
    }

    void downloadGroupCreate()
    {
        ChangeUnderTest c;
        c.prepare = [this] {
            show(groups);
            click(groups->Command1);
            typeText(groups->Text1, QStringLiteral("Z9"));
            typeText(groups->Text2, QStringLiteral("新组"));
            typeText(groups->Text3, QStringLiteral("说明"));
        };
        c.perform = [this] { click(groups->Command2); };
        c.checkUndone = [this] {
            QCOMPARE(groups->Command1->text(), QStringLiteral("取消"));
            QCOMPARE(groups->Text1->text(), QStringLiteral("Z9"));
        };
        c.finish = [this] { groups.reset(); };
        c.reports = {{ErrorForm::NumberAndDescription, executableTitle()}};
        c.ignoredColumns = kClockColumns;
        run(c, 4);
    }

    void downloadGroupChange()
    {
        ChangeUnderTest c;
        c.prepare = [this] {
            show(groups);
            clickGroup(0);
            retype(groups->Text2, QStringLiteral("改名的组"));
        };
        c.perform = [this] { click(groups->Command2); };
        c.checkUndone = [this] { QCOMPARE(groups->Text2->text(), QStringLiteral("改名的组")); };
        c.finish = [this] { groups.reset(); };
        c.reports = {{ErrorForm::NumberAndDescription, executableTitle()}};
        c.ignoredColumns = kClockColumns;
        run(c, 2);
    }

    // The group and its members go together, or neither goes.
    void downloadGroupDelete()
    {
        ChangeUnderTest c;
        c.prepare = [this] {
            show(groups);
            clickGroup(0);
        };
        c.perform = [this] {
            msgs().answers = {MsgAnswer::Yes};
            click(groups->Command3);
        };
        c.checkUndone = [this] { QCOMPARE(groups->Text1->text(), QStringLiteral("Z1")); };
        c.finish = [this] { groups.reset(); };
        c.reports = {{ErrorForm::NumberAndDescription, executableTitle()}};
        run(c, 4);
    }
};

QTEST_MAIN(PermissionFaultsTest)
#include "test_faults_permissions.moc"
