#include "InputDriving.h"
#include "Organisation.h"
#include "TestSupport.h"
#include "TreeInput.h"

#include "doctypes/frmTypeSettings.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace quarvel;
using namespace quarvel::test;

class TypeSettingsTest : public QObject, WindowSuiteFixture {
    Q_OBJECT


    void addDocument(const QString& type)
    {
        QVERIFY(db->insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), QStringLiteral("D-") + type},
                                                            {QStringLiteral("文件类别"), type},
                                                            {QStringLiteral("文件名称"), QStringLiteral("文件")}}));
    }

    QVariant typeColumn(const QString& code, const QString& column)
    {
        return db->scalar(QStringLiteral("select %1 from 资料类型 where 编号 = ?").arg(column), {code});
    }

    std::unique_ptr<frm资料类型设置> open()
    {
        auto w = std::make_unique<frm资料类型设置>(*platform);
        return w;
    }

    static void click(frm资料类型设置& w, const QString& key) { clickNode(*w.TreeView1, key); }

    // The window shown, as the user sees it.
    std::unique_ptr<frm资料类型设置> show()
    {
        auto w = open();
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        return w;
    }

    static void mouseClickNode(frm资料类型设置& w, const QString& key, Qt::KeyboardModifiers modifiers = {})
    {
        quarvel::test::mouseClickNode(*w.TreeView1, key, modifiers);
    }

    static void press(frm资料类型设置& w, Qt::Key key)
    {
        w.TreeView1->view()->setFocus();
        QTest::keyClick(w.TreeView1->view(), key);
    }

    static void pressButton(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Typing into a box: Latin text key by key, Chinese text as an input method commits it.
    static void type(QWidget* box, const QString& text)
    {
        box->setFocus();
        QString latin;
        const auto flush = [&] {
            if (!latin.isEmpty())
                QTest::keyClicks(box, latin);
            latin.clear();
        };
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                latin += c;
                continue;
            }
            flush();
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(box, &commit);
        }
        flush();
    }

    int typeCount() { return db->scalar(QStringLiteral("select count(*) from 资料类型")).toInt(); }

    QString lastMessage() { return platform->msgs().lastText(); }

    // The answer to the question the next action asks.
    void yes() { platform->msgs().answers = {MsgAnswer::Yes}; }

private slots:
    void init()
    {
        QVERIFY(setUp());
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), {}, 0, QStringLiteral("公司制度"));
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0102"), QStringLiteral("财务制度"), QStringLiteral("01"), 1, {}, true);
        db->addType(QStringLiteral("02"), QStringLiteral("合同"), {}, 0);
    }

    void cleanup()
    {
        // Every answer a test scripted was asked for.
        const qsizetype unused = platform ? platform->msgs().answers.size() : 0;
        tearDown();
        QCOMPARE(unused, 0);
    }

    void opensInEditModeOnTheRoot()
    {
        auto w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("资料类型设置"));
        QCOMPARE(w->TreeView1->selectedKey(), QStringLiteral("ROOT"));
        QVERIFY(w->TreeView1->expanded(QStringLiteral("ROOT")));
        QCOMPARE(w->Command1->text(), QStringLiteral("添加"));
        QVERIFY(!w->Text1->isEnabled());
        QVERIFY(w->Text1->text().isEmpty());
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S0102")), 3);
        QVERIFY(platform->msgs().shown.isEmpty());
    }

    void nodeClickFillsTheFields()
    {
        auto w = open();
        click(*w, QStringLiteral("S01"));
        QCOMPARE(w->Text1->text(), QStringLiteral("01"));
        QCOMPARE(w->Text2->text(), QStringLiteral("制度"));
        QCOMPARE(w->Text3->toPlainText(), QStringLiteral("公司制度"));
        QCOMPARE(w->Command5->text(), QStringLiteral("作废"));
        click(*w, QStringLiteral("S0102"));
        QCOMPARE(w->Command5->text(), QStringLiteral("取消作废"));
        QVERIFY(w->Text3->toPlainText().isEmpty());
    }

    void addUnderTheRoot()
    {
        auto w = open();
        pressButton(w->Command1);
        QCOMPARE(w->Command1->text(), QStringLiteral("取消添加"));
        QVERIFY(w->Text1->isEnabled());
        QVERIFY(!w->Command3->isEnabled());
        w->Text1->setText(QStringLiteral("03"));
        w->Text2->setText(QStringLiteral("表单"));
        pressButton(w->Command2);
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        QVERIFY(typeColumn(QStringLiteral("03"), QStringLiteral("上级编号")).isNull());
        QCOMPARE(typeColumn(QStringLiteral("03"), QStringLiteral("级别")).toInt(), 0);
        QVERIFY(typeColumn(QStringLiteral("03"), QStringLiteral("说明")).isNull());
        QCOMPARE(w->Command1->text(), QStringLiteral("添加"));
        QCOMPARE(w->TreeView1->selectedKey(), QStringLiteral("S03"));
        QCOMPARE(w->TreeView1->parentKey(QStringLiteral("S03")), QStringLiteral("ROOT"));
    }

    void addUnderATypeTakesTheNextLevel()
    {
        auto w = open();
        click(*w, QStringLiteral("S0101"));
        pressButton(w->Command1);
        w->Text1->setText(QStringLiteral("010101"));
        w->Text2->setText(QStringLiteral("招聘"));
        w->Text3->setPlainText(QStringLiteral("说明'带引号"));
        pressButton(w->Command2);
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        QCOMPARE(typeColumn(QStringLiteral("010101"), QStringLiteral("上级编号")).toString(), QStringLiteral("0101"));
        QCOMPARE(typeColumn(QStringLiteral("010101"), QStringLiteral("级别")).toInt(), 2);
        QCOMPARE(typeColumn(QStringLiteral("010101"), QStringLiteral("说明")).toString(),
                 QStringLiteral("说明'带引号"));
        QCOMPARE(w->TreeView1->parentKey(QStringLiteral("S010101")), QStringLiteral("S0101"));
        QCOMPARE(w->Text3->toPlainText(), QStringLiteral("说明'带引号"));
    }

    void saveChecksInOrder()
    {
        auto w = open();
        pressButton(w->Command2);  // the root selected: empty boxes
        QCOMPARE(lastMessage(), QStringLiteral("类型编号不能为空，请输入！"));
        QCOMPARE(platform->msgs().shown.last().icon, MsgIcon::None);
        QCOMPARE(platform->msgs().shown.last().title, QStringLiteral("Quarvel"));
        pressButton(w->Command1);
        w->Text1->setText(QStringLiteral("01"));
        pressButton(w->Command2);
        QCOMPARE(lastMessage(), QStringLiteral("类型名称不能为空，请输入！"));
        w->Text2->setText(QStringLiteral("重复"));
        pressButton(w->Command2);
        QCOMPARE(lastMessage(), QStringLiteral("编号已经存在，请输入新的编号"));
        QCOMPARE(w->Command1->text(), QStringLiteral("取消添加"));
    }

    void addUnderATypeWithDocumentsIsRefused()
    {
        addDocument(QStringLiteral("02"));
        auto w = open();
        click(*w, QStringLiteral("S02"));
        pressButton(w->Command1);
        w->Text1->setText(QStringLiteral("0201"));
        w->Text2->setText(QStringLiteral("子类"));
        pressButton(w->Command2);
        QCOMPARE(lastMessage(), QStringLiteral("02的类型下存在文件，不能添加下级资料类型！"));
        QVERIFY(db->scalar(QStringLiteral("select count(*) from 资料类型 where 编号 = '0201'")).toInt() == 0);
    }

    void editChangesNameAndDescription()
    {
        auto w = open();
        click(*w, QStringLiteral("S0101"));
        w->Text2->setText(QStringLiteral("人事管理"));
        w->Text3->clear();
        pressButton(w->Command2);
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        QCOMPARE(typeColumn(QStringLiteral("0101"), QStringLiteral("名称")).toString(), QStringLiteral("人事管理"));
        QCOMPARE(typeColumn(QStringLiteral("0101"), QStringLiteral("级别")).toInt(), 1);
        QCOMPARE(typeColumn(QStringLiteral("0101"), QStringLiteral("上级编号")).toString(), QStringLiteral("01"));
        QCOMPARE(w->TreeView1->text(QStringLiteral("S0101")), QStringLiteral("0101 人事管理"));
    }

    void editOfADeletedRowFails()
    {
        auto w = open();
        click(*w, QStringLiteral("S0101"));
        QVERIFY(db->exec(QStringLiteral("delete from 资料类型 where 编号 = '0101'")));
        w->Text2->setText(QStringLiteral("改名"));
        pressButton(w->Command2);
        QCOMPARE(platform->msgs().shown.size(), 1);
        QVERIFY(lastMessage().contains(QStringLiteral("0101")));
        QCOMPARE(platform->msgs().shown.last().icon, MsgIcon::None);
        QVERIFY(db->scalar(QStringLiteral("select count(*) from 资料类型 where 编号 = '0101'")).toInt() == 0);
    }

    void cancelAddRefillsTheFields()
    {
        auto w = open();
        click(*w, QStringLiteral("S01"));
        pressButton(w->Command1);
        QVERIFY(w->Text1->text().isEmpty());
        pressButton(w->Command1);
        QCOMPARE(w->Command1->text(), QStringLiteral("添加"));
        QVERIFY(!w->Text1->isEnabled());
        QCOMPARE(w->Text1->text(), QStringLiteral("01"));
    }

    void deleteRules()
    {
        addDocument(QStringLiteral("02"));
        QVERIFY(db->insert(QStringLiteral("资料上传权限"), {{QStringLiteral("文件编号"), QStringLiteral("0101")},
                                                            {QStringLiteral("岗位代号"), QStringLiteral("G1")}}));
        auto w = open();
        w->TreeView1->clearSelection();
        pressButton(w->Command3);
        QCOMPARE(lastMessage(), QStringLiteral("请选择要删除的类型！"));
        click(*w, QStringLiteral("ROOT"));
        const int shown = platform->msgs().shown.size();
        pressButton(w->Command3);
        QCOMPARE(platform->msgs().shown.size(), shown);
        click(*w, QStringLiteral("S01"));
        pressButton(w->Command3);
        QCOMPARE(lastMessage(), QStringLiteral("该资料类型下存在子类型，不能删除！"));
        click(*w, QStringLiteral("S02"));
        pressButton(w->Command3);
        QCOMPARE(lastMessage(), QStringLiteral("02的类型下存在文件，不能删除，如果不用请作废！"));

        click(*w, QStringLiteral("S0101"));
        platform->msgs().answers = {MsgAnswer::No};
        pressButton(w->Command3);
        QCOMPARE(lastMessage(), QStringLiteral("您确定要删除该资料类型吗？"));
        QCOMPARE(platform->msgs().shown.last().title, QStringLiteral("提示"));
        QCOMPARE(platform->msgs().shown.last().icon, MsgIcon::Warning);
        QVERIFY(w->TreeView1->contains(QStringLiteral("S0101")));

        yes();
        pressButton(w->Command3);
        QVERIFY(!w->TreeView1->contains(QStringLiteral("S0101")));
        QVERIFY(w->Text1->text().isEmpty());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料上传权限 where 文件编号 = '0101'")).toInt(), 1);
    }

    void voidRules()
    {
        // Just before midnight: the stored day is the window's, whatever the time when it is read.
        platform->setClock(std::make_unique<FixedClock>(QDateTime(QDate(2031, 12, 31), QTime(23, 59, 59))));
        auto w = open();
        click(*w, QStringLiteral("S01"));
        pressButton(w->Command5);
        QCOMPARE(lastMessage(), QStringLiteral("该资料类型不是子类型，不能作废！"));

        click(*w, QStringLiteral("S0101"));
        platform->msgs().answers = {MsgAnswer::No};
        w->Text2->setText(QStringLiteral("typed"));
        pressButton(w->Command5);
        QCOMPARE(lastMessage(), QStringLiteral("您确定要作废该资料类型吗？"));
        QVERIFY(typeColumn(QStringLiteral("0101"), QStringLiteral("终止日期")).isNull());
        QVERIFY(w->Text2->text().isEmpty());  // reloaded and cleared all the same

        click(*w, QStringLiteral("S0101"));
        yes();
        pressButton(w->Command5);
        QCOMPARE(typeColumn(QStringLiteral("0101"), QStringLiteral("终止日期")).toString().left(10),
                 QStringLiteral("2031-12-31"));
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S0101")), 3);

        click(*w, QStringLiteral("S0101"));
        QCOMPARE(w->Command5->text(), QStringLiteral("取消作废"));
        yes();
        pressButton(w->Command5);
        QCOMPARE(lastMessage(), QStringLiteral("您确定要取消该资料类型作废该吗？"));
        QVERIFY(typeColumn(QStringLiteral("0101"), QStringLiteral("终止日期")).isNull());
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S0101")), 1);
    }

    // The selected node and the text boxes -----------------------------------------------------

    void upTwiceThenSaveKeepsEveryLevel()
    {
        db->addType(QStringLiteral("010101"), QStringLiteral("招聘"), QStringLiteral("0101"), 2);
        auto w = show();
        QVERIFY(w);
        mouseClickNode(*w, QStringLiteral("S010101"));
        QCOMPARE(w->Text1->text(), QStringLiteral("010101"));
        press(*w, Qt::Key_Up);
        QCOMPARE(w->TreeView1->selectedKey(), QStringLiteral("S0101"));
        QCOMPARE(w->Text1->text(), QStringLiteral("0101"));
        press(*w, Qt::Key_Up);
        QCOMPARE(w->TreeView1->selectedKey(), QStringLiteral("S01"));
        QCOMPARE(w->Text1->text(), QStringLiteral("01"));
        QCOMPARE(w->Text2->text(), QStringLiteral("制度"));
        QCOMPARE(w->Text3->toPlainText(), QStringLiteral("公司制度"));

        pressButton(w->Command2);
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        QCOMPARE(typeColumn(QStringLiteral("01"), QStringLiteral("级别")).toInt(), 0);
        QCOMPARE(typeColumn(QStringLiteral("0101"), QStringLiteral("级别")).toInt(), 1);
        QCOMPARE(typeColumn(QStringLiteral("010101"), QStringLiteral("级别")).toInt(), 2);
        // The tree still loads whole, here and in a window opened afresh.
        QCOMPARE(w->TreeView1->count(), 6);
        QCOMPARE(w->TreeView1->selectedKey(), QStringLiteral("S01"));
        auto again = open();
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        QCOMPARE(again->TreeView1->count(), 6);
    }

    void keyboardMovesRunTheNodeClick()
    {
        auto w = show();
        QVERIFY(w);
        mouseClickNode(*w, QStringLiteral("S0101"));
        press(*w, Qt::Key_Down);  // 0102, voided
        QCOMPARE(w->Text1->text(), QStringLiteral("0102"));
        QCOMPARE(w->Text2->text(), QStringLiteral("财务制度"));
        QCOMPARE(w->Command5->text(), QStringLiteral("取消作废"));
        press(*w, Qt::Key_Down);  // 02
        QCOMPARE(w->Text1->text(), QStringLiteral("02"));
        QCOMPARE(w->Command5->text(), QStringLiteral("作废"));

        // A move in add mode leaves it, as a click does.
        pressButton(w->Command1);
        QCOMPARE(w->Command1->text(), QStringLiteral("取消添加"));
        QVERIFY(w->Text1->isEnabled());
        press(*w, Qt::Key_Up);
        QCOMPARE(w->Command1->text(), QStringLiteral("添加"));
        QVERIFY(!w->Text1->isEnabled());
        QVERIFY(w->Command3->isEnabled());
        QCOMPARE(w->Text1->text(), QStringLiteral("0102"));

        press(*w, Qt::Key_Home);  // the root
        QCOMPARE(w->TreeView1->selectedKey(), QStringLiteral("ROOT"));
        QVERIFY(w->Text1->text().isEmpty());
        QVERIFY(w->Text2->text().isEmpty());
    }

    void selectionByTheProgramRunsTheNodeClick()
    {
        auto w = open();
        QVERIFY(w->TreeView1->setSelected(QStringLiteral("S0102")));
        QCOMPARE(w->Text1->text(), QStringLiteral("0102"));
        QCOMPARE(w->Command5->text(), QStringLiteral("取消作废"));
        QVERIFY(w->TreeView1->setSelected(QStringLiteral("S01")));
        QCOMPARE(w->Text3->toPlainText(), QStringLiteral("公司制度"));
    }

    void editTakesTheLevelOfTheEditedRow()
    {
        db->addType(QStringLiteral("010101"), QStringLiteral("招聘"), QStringLiteral("0101"), 2);
        auto w = show();
        QVERIFY(w);
        mouseClickNode(*w, QStringLiteral("S010101"));
        // Ctrl+click takes the selection away; the text boxes keep the type.
        mouseClickNode(*w, QStringLiteral("S010101"), Qt::ControlModifier);
        QVERIFY(w->TreeView1->selectedKey().isEmpty());
        QCOMPARE(w->Text1->text(), QStringLiteral("010101"));
        w->Text2->selectAll();
        type(w->Text2, QStringLiteral("招聘管理"));
        pressButton(w->Command2);
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        QCOMPARE(typeColumn(QStringLiteral("010101"), QStringLiteral("名称")).toString(), QStringLiteral("招聘管理"));
        QCOMPARE(typeColumn(QStringLiteral("010101"), QStringLiteral("级别")).toInt(), 2);
        QCOMPARE(w->TreeView1->count(), 6);
        QCOMPARE(w->TreeView1->selectedKey(), QStringLiteral("S010101"));
    }

    void orphanRowIsReportedAndTheRestIsMarked()
    {
        db->addType(QStringLiteral("0901"), QStringLiteral("孤儿"), QStringLiteral("09"), 1);
        auto w = open();
        QCOMPARE(platform->msgs().shown.size(), 1);
        QCOMPARE(lastMessage(), TreeError::describe(TreeErrorCode::ElementNotFound));
        QCOMPARE(w->TreeView1->count(), 5);                           // the root, 01, 02, 0101, 0102; 0901 is left out
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S0102")), 3);  // marked all the same
        QVERIFY(w->TreeView1->expanded(QStringLiteral("S01")));
        QCOMPARE(w->TreeView1->selectedKey(), QStringLiteral("ROOT"));
        QCOMPARE(w->Command1->text(), QStringLiteral("添加"));
    }

    // Codes and blanks ------------------------------------------------------------------------------

    void newCodeWithABlankIsRefused()
    {
        auto w = show();
        QVERIFY(w);
        const QStringList codes = {QStringLiteral("A B"), QStringLiteral(" AB"), QStringLiteral("AB "),
                                   QStringLiteral("   "), QStringLiteral("A\u3000B")};
        for (const QString& code : codes) {
            pressButton(w->Command1);
            QCOMPARE(w->Command1->text(), QStringLiteral("取消添加"));
            type(w->Text1, code);
            type(w->Text2, QStringLiteral("表单"));
            QCOMPARE(w->Text1->text(), code);
            platform->msgs().shown.clear();
            pressButton(w->Command2);
            QCOMPARE(platform->msgs().texts(), QStringList{QStringLiteral("类型编号中不能有空格，请重新输入！")});
            QCOMPARE(typeCount(), 4);
            QCOMPARE(w->Command1->text(), QStringLiteral("取消添加"));  // still adding, the input kept
            QCOMPARE(w->Text1->text(), code);
            pressButton(w->Command1);  // cancel
        }
    }

    void outerBlanksInStoredCodes()
    {
        db->addType(QStringLiteral(" 03 "), QStringLiteral("表单"), {}, 0);
        db->addType(QStringLiteral("04  "), QStringLiteral("记录"), {}, 0);
        auto w = show();
        QVERIFY(w);
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        const QString blanks03 = QStringLiteral("编号 = ' 03 '");

        // Void and un-void find the row.
        mouseClickNode(*w, QStringLiteral("S03"));
        QCOMPARE(w->Text1->text(), QStringLiteral("03"));
        yes();
        pressButton(w->Command5);
        QCOMPARE(lastMessage(), QStringLiteral("您确定要作废该资料类型吗？"));
        QVERIFY(!db->scalar(QStringLiteral("select 终止日期 from 资料类型 where ") + blanks03).isNull());
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S03")), 3);
        mouseClickNode(*w, QStringLiteral("S03"));
        yes();
        pressButton(w->Command5);
        QCOMPARE(lastMessage(), QStringLiteral("您确定要取消该资料类型作废该吗？"));
        QVERIFY(db->scalar(QStringLiteral("select 终止日期 from 资料类型 where ") + blanks03).isNull());

        // Editing keeps the stored code and level.
        mouseClickNode(*w, QStringLiteral("S04"));
        w->Text2->selectAll();
        type(w->Text2, QStringLiteral("记录表"));
        int shown = platform->msgs().shown.size();
        pressButton(w->Command2);
        QCOMPARE(platform->msgs().shown.size(), shown);
        QCOMPARE(db->scalar(QStringLiteral("select 名称 from 资料类型 where 编号 = '04  '")).toString(),
                 QStringLiteral("记录表"));

        // A new type under a code that only differs by blanks is a repeat.
        pressButton(w->Command1);
        type(w->Text1, QStringLiteral("03"));
        type(w->Text2, QStringLiteral("重复"));
        pressButton(w->Command2);
        QCOMPARE(lastMessage(), QStringLiteral("编号已经存在，请输入新的编号"));

        // Delete finds the row.
        pressButton(w->Command1);  // cancel adding
        mouseClickNode(*w, QStringLiteral("S03"));
        shown = platform->msgs().shown.size();
        yes();
        pressButton(w->Command3);
        QCOMPARE(platform->msgs().shown.size(), shown + 1);
        QCOMPARE(lastMessage(), QStringLiteral("您确定要删除该资料类型吗？"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料类型 where ") + blanks03).toInt(), 0);
        QVERIFY(!w->TreeView1->contains(QStringLiteral("S03")));
        QCOMPARE(typeCount(), 5);
    }

    void changesOfAVanishedRowSaySo()
    {
        auto w = show();
        QVERIFY(w);
        const QString notFound = QStringLiteral("找不到编号为“%1”的资料类型，它可能已被删除，未作任何修改。");

        mouseClickNode(*w, QStringLiteral("S0101"));
        QVERIFY(db->exec(QStringLiteral("delete from 资料类型 where 编号 = '0101'")));
        yes();
        pressButton(w->Command5);
        QCOMPARE(platform->msgs().texts(),
                 QStringList({QStringLiteral("您确定要作废该资料类型吗？"), notFound.arg(QStringLiteral("0101"))}));
        QVERIFY(!w->TreeView1->contains(QStringLiteral("S0101")));  // reloaded all the same

        mouseClickNode(*w, QStringLiteral("S0102"));
        QVERIFY(db->exec(QStringLiteral("delete from 资料类型 where 编号 = '0102'")));
        yes();
        pressButton(w->Command5);  // 取消作废
        QCOMPARE(lastMessage(), notFound.arg(QStringLiteral("0102")));

        mouseClickNode(*w, QStringLiteral("S02"));
        QVERIFY(db->exec(QStringLiteral("delete from 资料类型 where 编号 = '02'")));
        yes();
        pressButton(w->Command3);
        QCOMPARE(lastMessage(), notFound.arg(QStringLiteral("02")));
        QCOMPARE(typeCount(), 1);
    }

    void twoRowsWithTheSameBareCodeAreLeftAlone()
    {
        db->addType(QStringLiteral("05"), QStringLiteral("甲"), {}, 0);
        db->addType(QStringLiteral(" 05"), QStringLiteral("乙"), {}, 0);
        auto w = show();
        QVERIFY(w);
        QCOMPARE(lastMessage(), TreeError::describe(TreeErrorCode::KeyNotUnique));  // the second is refused
        const QString ambiguous =
            QStringLiteral("有2个资料类型的编号去掉前后空格后都是“05”，未作任何修改。请先更正重复的编号。");
        mouseClickNode(*w, QStringLiteral("S05"));
        platform->msgs().shown.clear();
        yes();
        pressButton(w->Command5);
        // The question, the refusal, then the reload meets the repeat again.
        QCOMPARE(platform->msgs().texts(), QStringList({QStringLiteral("您确定要作废该资料类型吗？"), ambiguous,
                                                        TreeError::describe(TreeErrorCode::KeyNotUnique)}));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料类型 where 终止日期 is not null")).toInt(), 1);
        mouseClickNode(*w, QStringLiteral("S05"));
        yes();
        pressButton(w->Command3);
        QCOMPARE(lastMessage(), ambiguous);
        QCOMPARE(typeCount(), 6);
    }

    void quotesInCodesAreSafe()
    {
        auto w = open();
        pressButton(w->Command1);
        w->Text1->setText(QStringLiteral("X'1"));
        w->Text2->setText(QStringLiteral("a' or '1'='1"));
        pressButton(w->Command2);
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        QCOMPARE(typeColumn(QStringLiteral("X'1"), QStringLiteral("名称")).toString(), QStringLiteral("a' or '1'='1"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料类型")).toInt(), 5);
        yes();
        pressButton(w->Command3);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料类型")).toInt(), 4);
    }
};

QTEST_MAIN(TypeSettingsTest)
#include "test_type_settings.moc"
