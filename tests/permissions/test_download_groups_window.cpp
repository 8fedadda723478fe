// The download group window driven as a user does, against a real SQLite file.
#include "Organisation.h"
#include "TestSupport.h"
#include "WindowDriving.h"

#include "library/DocumentRights.h"
#include "login/UserContext.h"
#include "permissions/frmDownloadGroups.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace quarvel;
using namespace quarvel::test;

class DownloadGroupsWindowTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<frm资料下载组设置> w;

    void group(const QString& code, const QString& name, const QString& description = {})
    {
        QVERIFY(db->insert(
            QStringLiteral("资料下载组"),
            {{QStringLiteral("组ID"), code}, {QStringLiteral("组名称"), name}, {QStringLiteral("备注"), description}}));
    }

    void member(const QString& groupCode, const QString& position)
    {
        QVERIFY(db->insert(QStringLiteral("资料下载组详细"),
                           {{QStringLiteral("组id"), groupCode}, {QStringLiteral("岗位代号"), position}}));
    }

    int count(const QString& sql) { return db->scalar(sql).toInt(); }
    int members(const QString& groupCode)
    {
        return db->scalar(QStringLiteral("select count(*) from 资料下载组详细 where 组id = ?"), {groupCode}).toInt();
    }

    void open()
    {
        w = std::make_unique<frm资料下载组设置>(*platform);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void clickGroup(int row)
    {
        QListWidgetItem* item = w->List1->item(row);
        QVERIFY(item);
        w->List1->scrollToItem(item);
        QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {}, w->List1->visualItemRect(item).center());
    }

    QStringList memberKeys() const
    {
        QStringList keys;
        for (int r = 0; r < w->ListView2->count(); ++r)
            keys << w->ListView2->key(r);
        return keys;
    }

    QStringList entries() const
    {
        QStringList out;
        for (int i = 0; i < w->List1->count(); ++i)
            out << w->List1->item(i)->text();
        return out;
    }

    // Double-clicks a position of the department, loading its positions first.
    void doubleClickPosition(const QString& dept, const QString& position)
    {
        if (!w->TreeView2->contains(position))
            clickNode(*w->TreeView2, dept);
        doubleClickNode(*w->TreeView2, position);
    }


    void expectTip(const QString& text)
    {
        QVERIFY(!msgs().shown.isEmpty());
        QCOMPARE(msgs().lastText(), text);
        QCOMPARE(msgs().shown.last().title, QStringLiteral("提示"));
        QCOMPARE(msgs().shown.last().icon, MsgIcon::Information);
        msgs().shown.clear();
    }

private slots:
    void init()
    {
        QVERIFY(setUp());
        Organisation org = organisation();
        org.departments({kFinance});
        org.positions({{"P01", "会计", "D01", "0012"}, {"P02", "出纳", "D01"}, {"P03", "审计", "D01", "0015"}});
        org.employees({{"0012", "张三", "1"}, {"0015", "张三", "1"}});
        group(QStringLiteral("Z1"), QStringLiteral("财务组"), QStringLiteral("财务的人"));
        group(QStringLiteral("Z'2"), QStringLiteral("审'计组"));
        member(QStringLiteral("Z1"), QStringLiteral("P03"));
        member(QStringLiteral("Z1"), QStringLiteral("P01"));
        signIn(QStringLiteral("0001"));
        open();
    }

    void cleanup()
    {
        w.reset();
        tearDown();
    }

    void opensInEditMode()
    {
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(w->windowTitle(), QStringLiteral("资料下载组设置"));
        QCOMPARE(entries(), (QStringList{QStringLiteral("Z1 财务组"), QStringLiteral("Z'2 审'计组")}));
        QCOMPARE(w->Command1->text(), QStringLiteral("新增"));
        QVERIFY(!w->Text1->isEnabled());
        QCOMPARE(w->TreeView2->selectedKey(), QStringLiteral("$D01"));
        QCOMPARE(w->ListView2->count(), 0);
        // Nothing is shown yet: "确定" asks for a group.
        click(w->Command2);
        expectTip(QStringLiteral("请选择需要修改的范围!"));
    }

    void choosingAGroupShowsItsFieldsAndMembers()
    {
        clickGroup(0);
        QCOMPARE(w->Text1->text(), QStringLiteral("Z1"));
        QCOMPARE(w->Text2->text(), QStringLiteral("财务组"));
        QCOMPARE(w->Text3->toPlainText(), QStringLiteral("财务的人"));
        QVERIFY(!w->Text1->isEnabled());
        QCOMPARE(memberKeys(), (QStringList{QStringLiteral("GP03"), QStringLiteral("GP01")}));  // order of adding
        QCOMPARE(w->ListView2->text(1, PositionColumn::Department), QStringLiteral("财务部"));
        QTest::keyClick(w->List1, Qt::Key_Down);
        QCOMPARE(w->Text1->text(), QStringLiteral("Z'2"));
        QCOMPARE(w->Text3->toPlainText(), QString());
        QCOMPARE(w->ListView2->count(), 0);
    }

    // Creating a group: the mode follows Command1; members wait until the group is chosen.
    void createThenChooseBeforeAddingMembers()
    {
        clickGroup(0);
        click(w->Command1);
        QCOMPARE(w->Command1->text(), QStringLiteral("取消"));
        QCOMPARE(w->mode(), GroupEditMode::Create);
        QVERIFY(w->Text1->isEnabled());
        QVERIFY(w->Text1->text().isEmpty());
        QVERIFY(w->Text2->text().isEmpty());
        QVERIFY(w->Text1->hasFocus());
        // Members are refused while creating.
        doubleClickPosition(QStringLiteral("$D01"), QStringLiteral("GP02"));
        expectTip(QStringLiteral("现在正处于新增组模式不能修改权限，请取消新增再操作！"));
        // Deleting is refused while creating.
        click(w->Command3);
        expectTip(QStringLiteral("现在正处于新增模式不能删除"));

        typeText(w->Text1, QStringLiteral("ABCDEFGHIJ"));
        typeText(w->Text2, QStringLiteral(" 新组 "));
        typeText(w->Text3, QStringLiteral("说明"));
        click(w->Command2);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(w->Command1->text(), QStringLiteral("新增"));
        QCOMPARE(entries().last(), QStringLiteral("ABCDEFGHIJ 新组"));
        QCOMPARE(count(QStringLiteral("select count(*) from 资料下载组 where 组ID = 'ABCDEFGHIJ' and 组名称 = '新组'"
                                      " and 备注 = '说明' and CzyID = '0001'")),
                 1);
        QVERIFY(w->Text1->isEnabled());
        doubleClickNode(*w->TreeView2, QStringLiteral("GP02"));
        expectTip(QStringLiteral("请选择要设置下载的组!"));
        QCOMPARE(members(QStringLiteral("ABCDEFGHIJ")), 0);

        clickGroup(2);
        QVERIFY(!w->Text1->isEnabled());
        doubleClickNode(*w->TreeView2, QStringLiteral("GP02"));  // a vacant position may join
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(memberKeys(), QStringList{QStringLiteral("GP02")});
        // The rights panel grants by the new group.
        const auto granted = DocumentRights::members(QStringLiteral("ABCDEFGHIJ"));
        QVERIFY(granted.ok());
        QCOMPARE(granted.value.size(), 1);
    }

    void cancelReturnsToTheChosenGroup()
    {
        clickGroup(1);
        click(w->Command1);
        click(w->Command1);
        QCOMPARE(w->Command1->text(), QStringLiteral("新增"));
        QVERIFY(!w->Text1->isEnabled());
        QCOMPARE(w->Text1->text(), QStringLiteral("Z'2"));
        QCOMPARE(w->Text2->text(), QStringLiteral("审'计组"));
    }

    // The code: ten characters accepted, eleven refused, also when the extra ones are blanks.
    void codeLengthAndEmptyFields()
    {
        click(w->Command1);
        click(w->Command2);
        expectTip(QStringLiteral("编号不能为空!"));
        typeText(w->Text1, QStringLiteral("ABCDEFGHIJK"));
        typeText(w->Text2, QStringLiteral("组"));
        click(w->Command2);
        expectTip(QStringLiteral("类别编号不能超过10个字符"));
        QVERIFY(w->Text1->hasFocus());
        typeInto(w->Text1, QStringLiteral("ABCDEFGHIJ "));
        click(w->Command2);
        expectTip(QStringLiteral("类别编号不能超过10个字符"));
        typeInto(w->Text1, QStringLiteral("   "));
        click(w->Command2);
        expectTip(QStringLiteral("编号不能为空!"));
        typeInto(w->Text1, QStringLiteral("Z9"));
        typeInto(w->Text2, QString());
        click(w->Command2);
        expectTip(QStringLiteral("名称不能为空!"));
        QVERIFY(w->Text2->hasFocus());
        QCOMPARE(count(QStringLiteral("select count(*) from 资料下载组")), 2);
        QCOMPARE(w->mode(), GroupEditMode::Create);
    }

    // Duplicates are refused on creation; a change may take another group's name.
    void duplicates()
    {
        click(w->Command1);
        typeText(w->Text1, QStringLiteral(" Z1"));
        typeText(w->Text2, QStringLiteral("别的组"));
        click(w->Command2);
        expectTip(QStringLiteral("编号已存在,不能重复！"));
        typeInto(w->Text1, QStringLiteral("Z3"));
        typeInto(w->Text2, QStringLiteral("审'计组"));
        click(w->Command2);
        expectTip(QStringLiteral("名称已存在,不能重复！"));
        QCOMPARE(count(QStringLiteral("select count(*) from 资料下载组")), 2);

        click(w->Command1);  // cancel
        clickGroup(0);
        typeInto(w->Text2, QStringLiteral("审'计组"));
        click(w->Command2);
        expectTip(QStringLiteral("修改成功"));
        QCOMPARE(entries(), (QStringList{QStringLiteral("Z1 审'计组"), QStringLiteral("Z'2 审'计组")}));
        QCOMPARE(w->List1->currentRow(), 0);
        QCOMPARE(members(QStringLiteral("Z1")), 2);
    }

    void memberTwiceAndRemoval()
    {
        clickGroup(0);
        doubleClickPosition(QStringLiteral("$D01"), QStringLiteral("GP01"));
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(members(QStringLiteral("Z1")), 2);
        doubleClickNode(*w->TreeView2, QStringLiteral("$D01"));  // a department adds nothing
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(members(QStringLiteral("Z1")), 2);
        doubleClickRow(*w->ListView2, 0);
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(memberKeys(), QStringList{QStringLiteral("GP01")});
        QCOMPARE(members(QStringLiteral("Z1")), 1);
    }

    void deleteAsksFirst()
    {
        member(QStringLiteral("Z'2"), QStringLiteral("P01"));
        click(w->Command3);
        expectTip(QStringLiteral("请选择要删除的组!"));
        clickGroup(0);
        msgs().answers = {MsgAnswer::No};
        click(w->Command3);
        QCOMPARE(msgs().lastText(), QStringLiteral("是否需要删除组：财务组"));
        QCOMPARE(msgs().shown.last().buttons, MsgButtons::YesNo);
        QCOMPARE(msgs().shown.last().icon, MsgIcon::Question);
        QCOMPARE(msgs().shown.last().title, QStringLiteral("提示"));
        QCOMPARE(members(QStringLiteral("Z1")), 2);
        msgs().answers = {MsgAnswer::Yes};
        click(w->Command3);
        QCOMPARE(members(QStringLiteral("Z1")), 0);
        QCOMPARE(count(QStringLiteral("select count(*) from 资料下载组 where 组ID = 'Z1'")), 0);
        QCOMPARE(members(QStringLiteral("Z'2")), 1);
        QCOMPARE(entries(), QStringList{QStringLiteral("Z'2 审'计组")});
        QVERIFY(w->Text1->text().isEmpty() && w->Text2->text().isEmpty());
        QCOMPARE(w->ListView2->count(), 0);
    }

    // A failure of the member deletion keeps the group and is reported with its number.
    void deleteIsAllOrNothing()
    {
        QVERIFY(db->exec(QStringLiteral("create trigger refuse before delete on 资料下载组详细 "
                                        "begin select raise(abort, '拒绝删除'); end")));
        clickGroup(0);
        msgs().answers = {MsgAnswer::Yes};
        click(w->Command3);
        QVERIFY(msgs().lastText().startsWith(QStringLiteral("错误号：")));
        QVERIFY(msgs().lastText().contains(QStringLiteral("拒绝删除")));
        QCOMPARE(msgs().shown.last().title, executableTitle());
        QCOMPARE(count(QStringLiteral("select count(*) from 资料下载组 where 组ID = 'Z1'")), 1);
        QCOMPARE(members(QStringLiteral("Z1")), 2);
        QCOMPARE(w->Text1->text(), QStringLiteral("Z1"));
    }

    // "定位": with two matches the later one stays selected; Enter in Text5 does the same.
    void locateByName()
    {
        clickGroup(0);
        w->Text5->setFocus();
        QTest::keyClick(w->Text5, Qt::Key_Return);
        QCOMPARE(w->ListView2->selectedRow(), -1);
        typeText(w->Text5, QStringLiteral(" 张三 "));
        click(w->Command8);
        QCOMPARE(w->ListView2->selectedRow(), 1);
        QVERIFY(w->ListView2->view()->hasFocus());
        w->ListView2->select(0);
        w->Text5->setFocus();
        QTest::keyClick(w->Text5, Qt::Key_Enter);
        QCOMPARE(w->ListView2->selectedRow(), 1);
        QVERIFY(msgs().shown.isEmpty());
    }

    void exitCloses()
    {
        click(w->Command4);
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(DownloadGroupsWindowTest)
#include "test_download_groups_window.moc"
