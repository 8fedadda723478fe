// The upload permission window driven as a user does, against a real SQLite file.
#include "Organisation.h"
#include "PermissionsFixture.h"
#include "WindowDriving.h"

#include "doctypes/TypeTree.h"
#include "login/UserContext.h"
#include "permissions/frmUploadPermissions.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSqlQuery>

using namespace quarvel;
using namespace quarvel::test;

class UploadPermissionsWindowTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<frm资料上传权限设置> w;

    void permit(const QString& type, const QString& position) { permitUpload(*db, type, position); }

    QStringList storedTypes(const QString& position)
    {
        QStringList types = uploadTypesOf(*db, position);
        types.sort();
        return types;
    }

    void open()
    {
        w = std::make_unique<frm资料上传权限设置>(*platform);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    QStringList listKeys() const
    {
        QStringList keys;
        for (int r = 0; r < w->ListView2->count(); ++r)
            keys << w->ListView2->key(r);
        return keys;
    }

    // Opens the department's positions with a click and selects the position with another.
    void choosePosition(const QString& dept, const QString& position)
    {
        clickNode(*w->TreeView2, dept);
        QVERIFY(w->TreeView2->contains(position));
        clickNode(*w->TreeView2, position);
        QCOMPARE(w->TreeView2->selectedKey(), position);
    }

    QStringList ticked() const
    {
        QStringList keys = w->TreeView1->checkedKeys();
        keys.sort();
        return keys;
    }


    void expectPlainMessage(const QString& text)
    {
        QCOMPARE(msgs().shown.size(), 1);
        QCOMPARE(msgs().lastText(), text);
        QCOMPARE(msgs().shown.last().title, applicationTitle());
        QCOMPARE(msgs().shown.last().icon, MsgIcon::None);
        QCOMPARE(msgs().shown.last().buttons, MsgButtons::Ok);
    }

private slots:
    void init()
    {
        QVERIFY(setUp());
        Organisation org = organisation();
        org.departments({kFinance, {"D02", "人事部"}});
        org.positions({{"P01", "会计", "D01", "0012"},
                       {"P02", "出纳", "D01"},
                       {"P03", QString(), "D02", "0013"},
                       {"P04", "审计", "D02", "0014"}});
        org.employees({{"0012", "张三", "1"}, {"0013", "李四", "1"}, {"0014", "王'五", "1"}});
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), QVariant(), 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0102"), QStringLiteral("财务制度"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0103"), QStringLiteral("旧制度"), QStringLiteral("01"), 1, {}, true);
        db->addType(QStringLiteral("02"), QStringLiteral("表格"), QVariant(), 0);
        permit(QStringLiteral("0101"), QStringLiteral("P04"));
        permit(QStringLiteral("02"), QStringLiteral("P04"));
        permit(QStringLiteral("0102"), QStringLiteral("P03"));
        permit(QStringLiteral("0101"), QStringLiteral("P99"));  // no position row
        signIn(QStringLiteral("0001"));
        open();
    }

    void cleanup()
    {
        w.reset();
        tearDown();
    }

    void opensWithTreesAndList()
    {
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(w->windowTitle(), QStringLiteral("资料上传权限设置"));
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S01")), 3);
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S0101")), 2);
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S0103")), 4);
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S02")), 2);
        QVERIFY(w->TreeView1->expanded(QStringLiteral("S01")));
        QVERIFY(w->TreeView2->contains(QStringLiteral("$D01")));
        QCOMPARE(w->TreeView2->selectedKey(), QStringLiteral("$D01"));
        // Positions without a position row stay out; by department, then code descending.
        QCOMPARE(listKeys(), (QStringList{QStringLiteral("GP04"), QStringLiteral("GP03")}));
        QCOMPARE(w->ListView2->text(0, PositionColumn::Number), QStringLiteral("1"));
        QCOMPARE(w->ListView2->text(0, PositionColumn::Department), QStringLiteral("人事部"));
        QCOMPARE(w->ListView2->text(0, PositionColumn::Position), QStringLiteral("审计"));
        QCOMPARE(w->ListView2->text(0, PositionColumn::Holder), QStringLiteral("王'五"));
        QCOMPARE(w->ListView2->text(1, PositionColumn::Position), QString());
        auto* header = w->ListView2->view()->header();
        QCOMPARE(header->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("序"));
        QCOMPARE(header->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("姓名"));
        QCOMPARE(header->sectionSize(1), twipsToPixelsForTest(2200));
        QCOMPARE(w->Command5->text(), QStringLiteral("添加"));
        QVERIFY(ticked().isEmpty());
    }

    // A list click ticks exactly the position's types and clears the other ticks; moving with
    // the keyboard does the same.
    void listClickTicksExactlyItsTypes()
    {
        clickCheckBox(*w->TreeView1, QStringLiteral("S0102"));
        clickCheckBox(*w->TreeView1, QStringLiteral("S01"));
        QCOMPARE(ticked(), (QStringList{QStringLiteral("S01"), QStringLiteral("S0102")}));
        clickRow(*w->ListView2, 0);
        QCOMPARE(ticked(), (QStringList{QStringLiteral("S0101"), QStringLiteral("S02")}));
        QTest::keyClick(w->ListView2->view(), Qt::Key_Down);
        QCOMPARE(w->ListView2->selectedKey(), QStringLiteral("GP03"));
        QCOMPARE(ticked(), QStringList{QStringLiteral("S0102")});
        QVERIFY(msgs().shown.isEmpty());
    }

    // Ticked parents and voided types are never written, and alone ask for types.
    void parentsAndVoidedTypesIgnored()
    {
        clickCheckBox(*w->TreeView1, QStringLiteral("S01"));
        clickCheckBox(*w->TreeView1, QStringLiteral("S0103"));
        choosePosition(QStringLiteral("$D01"), QStringLiteral("GP01"));
        click(w->Command5);
        expectPlainMessage(QStringLiteral("请选择要设置的文件类别！"));
        QCOMPARE(storedTypes(QStringLiteral("P01")), QStringList());

        msgs().shown.clear();
        clickRow(*w->ListView2, 0);
        clickCheckBox(*w->TreeView1, QStringLiteral("S0101"));
        clickCheckBox(*w->TreeView1, QStringLiteral("S02"));
        clickCheckBox(*w->TreeView1, QStringLiteral("S01"));
        clickCheckBox(*w->TreeView1, QStringLiteral("S0103"));
        click(w->Command7);
        expectPlainMessage(QStringLiteral("请选择要设置的文件类别！"));
        QCOMPARE(storedTypes(QStringLiteral("P04")), (QStringList{QStringLiteral("0101"), QStringLiteral("02")}));
    }

    // "添加" by a double click on the position writes only the ticked leaves and lists it.
    void addByDoubleClick()
    {
        clickCheckBox(*w->TreeView1, QStringLiteral("S01"));
        clickCheckBox(*w->TreeView1, QStringLiteral("S0102"));
        clickCheckBox(*w->TreeView1, QStringLiteral("S02"));
        clickNode(*w->TreeView2, QStringLiteral("$D01"));
        doubleClickNode(*w->TreeView2, QStringLiteral("GP01"));
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(storedTypes(QStringLiteral("P01")), (QStringList{QStringLiteral("0102"), QStringLiteral("02")}));
        QCOMPARE(listKeys(), (QStringList{QStringLiteral("GP01"), QStringLiteral("GP04"), QStringLiteral("GP03")}));
        QCOMPARE(db->scalar(QStringLiteral("select CzyID from 资料上传权限 where 岗位代号 = 'P01' limit 1")).toString(),
                 QStringLiteral("0001"));
        // The upload window's type marking of the position follows at its next opening.
        QStringList permitted = TypeTree::marks(TypeTreeVariant::Upload, QStringLiteral("P01")).value.permittedCodes;
        permitted.sort();
        QCOMPARE(permitted, (QStringList{QStringLiteral("0102"), QStringLiteral("02")}));
    }

    void addChecks()
    {
        clickCheckBox(*w->TreeView1, QStringLiteral("S0102"));
        // A department node: its first click loads the positions, the double click is refused.
        QVERIFY(!w->TreeView2->contains(QStringLiteral("GP01")));
        doubleClickNode(*w->TreeView2, QStringLiteral("$D01"));
        QVERIFY(w->TreeView2->contains(QStringLiteral("GP01")));
        expectPlainMessage(QStringLiteral("请选择要设置的人员！"));
        // A vacant position is refused.
        msgs().shown.clear();
        clickNode(*w->TreeView2, QStringLiteral("GP02"));
        click(w->Command5);
        expectPlainMessage(QStringLiteral("空岗位不可以添加！"));
        QCOMPARE(storedTypes(QStringLiteral("P02")), QStringList());
        // An already listed position is left alone without a word.
        msgs().shown.clear();
        choosePosition(QStringLiteral("$D02"), QStringLiteral("GP04"));
        click(w->Command5);
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(storedTypes(QStringLiteral("P04")), (QStringList{QStringLiteral("0101"), QStringLiteral("02")}));
    }

    // "修改" replaces the whole set and keeps the list as it is.
    void changeKeepsTheRows()
    {
        clickRow(*w->ListView2, 0);
        clickCheckBox(*w->TreeView1, QStringLiteral("S0101"));  // off
        clickCheckBox(*w->TreeView1, QStringLiteral("S0102"));  // on
        click(w->Command7);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(storedTypes(QStringLiteral("P04")), (QStringList{QStringLiteral("0102"), QStringLiteral("02")}));
        QCOMPARE(listKeys(), (QStringList{QStringLiteral("GP04"), QStringLiteral("GP03")}));
        QCOMPARE(w->ListView2->text(1, PositionColumn::Number), QStringLiteral("2"));
        QCOMPARE(w->ListView2->selectedKey(), QStringLiteral("GP04"));
    }

    void changeWithoutPositionName()
    {
        clickRow(*w->ListView2, 1);
        click(w->Command7);
        QCOMPARE(msgs().lastText(), QStringLiteral("请选择要设置的员工!"));
        QCOMPARE(msgs().shown.last().title, QStringLiteral("提示"));
        QCOMPARE(msgs().shown.last().icon, MsgIcon::Information);
    }

    void changeWithoutSelectedItemDoesNothing()
    {
        clickCheckBox(*w->TreeView1, QStringLiteral("S0102"));
        click(w->Command7);
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料上传权限")).toInt(), 4);
    }

    // "删除" and a double click on an item remove at once, without a question.
    void deleteRemovesAtOnce()
    {
        clickRow(*w->ListView2, 0);
        click(w->Command6);
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(storedTypes(QStringLiteral("P04")), QStringList());
        QCOMPARE(listKeys(), QStringList{QStringLiteral("GP03")});
        doubleClickRow(*w->ListView2, 0);
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(w->ListView2->count(), 0);
        QCOMPARE(storedTypes(QStringLiteral("P03")), QStringList());
        QCOMPARE(storedTypes(QStringLiteral("P99")), QStringList{QStringLiteral("0101")});
        click(w->Command6);  // empty list: nothing
        QVERIFY(msgs().shown.isEmpty());
    }

    // A failure between the delete and the inserts keeps the previous set and is reported.
    void failedChangeKeepsThePreviousSet()
    {
        QVERIFY(db->exec(QStringLiteral("create trigger refuse before insert on 资料上传权限 when new.文件编号 = '02' "
                                        "begin select raise(abort, '拒绝写入'); end")));
        clickRow(*w->ListView2, 0);
        clickCheckBox(*w->TreeView1, QStringLiteral("S0102"));
        click(w->Command7);
        QCOMPARE(msgs().lastText(), QStringLiteral("拒绝写入"));
        QCOMPARE(msgs().shown.last().title, executableTitle());
        QCOMPARE(msgs().shown.last().icon, MsgIcon::Information);
        QCOMPARE(storedTypes(QStringLiteral("P04")), (QStringList{QStringLiteral("0101"), QStringLiteral("02")}));
    }

    void failuresShowTheDescription()
    {
        QVERIFY(db->exec(QStringLiteral("drop table 资料上传权限")));
        clickRow(*w->ListView2, 0);
        QCOMPARE(msgs().shown.size(), 1);
        QVERIFY(msgs().lastText().contains(QStringLiteral("资料上传权限")));
        QVERIFY(!msgs().lastText().contains(QStringLiteral("错误号")));
        QCOMPARE(msgs().shown.last().title, executableTitle());
        click(w->Command6);
        QCOMPARE(msgs().shown.size(), 2);
        QCOMPARE(w->ListView2->count(), 2);  // the list stays as it was
    }

    void exitCloses()
    {
        click(w->Command1);
        QVERIFY(!w->isVisible());
    }

private:
    int twipsToPixelsForTest(int twips) const { return qRound(twips * w->logicalDpiX() / 1440.0); }
};

QTEST_MAIN(UploadPermissionsWindowTest)
#include "test_upload_permissions_window.moc"
