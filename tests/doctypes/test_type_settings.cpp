#include "TestSupport.h"

#include "doctypes/frmTypeSettings.h"
#include "platform/tree/KeyedTree.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class TypeSettingsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TestPlatform> platform;


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

    static void click(frm资料类型设置& w, const QString& key)
    {
        w.TreeView1->setSelected(key);
        w.TreeView1_NodeClick(key);
    }

    QString lastMessage() { return platform->msgs().lastText(); }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        platform = std::make_unique<TestPlatform>();
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), {}, 0, QStringLiteral("公司制度"));
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0102"), QStringLiteral("财务制度"), QStringLiteral("01"), 1, {}, true);
        db->addType(QStringLiteral("02"), QStringLiteral("合同"), {}, 0);
    }

    void cleanup()
    {
        platform.reset();
        db.reset();
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
        w->Command1_Click();
        QCOMPARE(w->Command1->text(), QStringLiteral("取消添加"));
        QVERIFY(w->Text1->isEnabled());
        QVERIFY(!w->Command3->isEnabled());
        w->Text1->setText(QStringLiteral("03"));
        w->Text2->setText(QStringLiteral("表单"));
        w->Command2_Click();
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
        w->Command1_Click();
        w->Text1->setText(QStringLiteral("010101"));
        w->Text2->setText(QStringLiteral("招聘"));
        w->Text3->setPlainText(QStringLiteral("说明'带引号"));
        w->Command2_Click();
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        QCOMPARE(typeColumn(QStringLiteral("010101"), QStringLiteral("上级编号")).toString(), QStringLiteral("0101"));
        QCOMPARE(typeColumn(QStringLiteral("010101"), QStringLiteral("级别")).toInt(), 2);
        QCOMPARE(typeColumn(QStringLiteral("010101"), QStringLiteral("说明")).toString(), QStringLiteral("说明'带引号"));
        QCOMPARE(w->TreeView1->parentKey(QStringLiteral("S010101")), QStringLiteral("S0101"));
        QCOMPARE(w->Text3->toPlainText(), QStringLiteral("说明'带引号"));
    }

    void saveChecksInOrder()
    {
        auto w = open();
        w->Command2_Click();  // the root selected: empty boxes
        QCOMPARE(lastMessage(), QStringLiteral("类型编号不能为空，请输入！"));
        QCOMPARE(platform->msgs().shown.last().icon, MsgIcon::None);
        QCOMPARE(platform->msgs().shown.last().title, QStringLiteral("Quarvel"));
        w->Command1_Click();
        w->Text1->setText(QStringLiteral("01"));
        w->Command2_Click();
        QCOMPARE(lastMessage(), QStringLiteral("类型名称不能为空，请输入！"));
        w->Text2->setText(QStringLiteral("重复"));
        w->Command2_Click();
        QCOMPARE(lastMessage(), QStringLiteral("编号已经存在，请输入新的编号"));
        QCOMPARE(w->Command1->text(), QStringLiteral("取消添加"));
    }

    void addUnderATypeWithDocumentsIsRefused()
    {
        addDocument(QStringLiteral("02"));
        auto w = open();
        click(*w, QStringLiteral("S02"));
        w->Command1_Click();
        w->Text1->setText(QStringLiteral("0201"));
        w->Text2->setText(QStringLiteral("子类"));
        w->Command2_Click();
        QCOMPARE(lastMessage(), QStringLiteral("02的类型下存在文件，不能添加下级资料类型！"));
        QVERIFY(db->scalar(QStringLiteral("select count(*) from 资料类型 where 编号 = '0201'")).toInt() == 0);
    }

    void editChangesNameAndDescription()
    {
        auto w = open();
        click(*w, QStringLiteral("S0101"));
        w->Text2->setText(QStringLiteral("人事管理"));
        w->Text3->clear();
        w->Command2_Click();
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
        w->Command2_Click();
        QCOMPARE(platform->msgs().shown.size(), 1);
        QVERIFY(lastMessage().contains(QStringLiteral("0101")));
        QCOMPARE(platform->msgs().shown.last().icon, MsgIcon::None);
        QVERIFY(db->scalar(QStringLiteral("select count(*) from 资料类型 where 编号 = '0101'")).toInt() == 0);
    }

    void cancelAddRefillsTheFields()
    {
        auto w = open();
        click(*w, QStringLiteral("S01"));
        w->Command1_Click();
        QVERIFY(w->Text1->text().isEmpty());
        w->Command1_Click();
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
        w->Command3_Click();
        QCOMPARE(lastMessage(), QStringLiteral("请选择要删除的类型！"));
        click(*w, QStringLiteral("ROOT"));
        const int shown = platform->msgs().shown.size();
        w->Command3_Click();
        QCOMPARE(platform->msgs().shown.size(), shown);
        click(*w, QStringLiteral("S01"));
        w->Command3_Click();
        QCOMPARE(lastMessage(), QStringLiteral("该资料类型下存在子类型，不能删除！"));
        click(*w, QStringLiteral("S02"));
        w->Command3_Click();
        QCOMPARE(lastMessage(), QStringLiteral("02的类型下存在文件，不能删除，如果不用请作废！"));

        click(*w, QStringLiteral("S0101"));
        platform->msgs().answers = {MsgAnswer::No};
        w->Command3_Click();
        QCOMPARE(lastMessage(), QStringLiteral("您确定要删除该资料类型吗？"));
        QCOMPARE(platform->msgs().shown.last().title, QStringLiteral("提示"));
        QCOMPARE(platform->msgs().shown.last().icon, MsgIcon::Warning);
        QVERIFY(w->TreeView1->contains(QStringLiteral("S0101")));

        w->Command3_Click();  // Yes
        QVERIFY(!w->TreeView1->contains(QStringLiteral("S0101")));
        QVERIFY(w->Text1->text().isEmpty());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料上传权限 where 文件编号 = '0101'")).toInt(), 1);
    }

    void voidRules()
    {
        auto w = open();
        click(*w, QStringLiteral("S01"));
        w->Command5_Click();
        QCOMPARE(lastMessage(), QStringLiteral("该资料类型不是子类型，不能作废！"));

        click(*w, QStringLiteral("S0101"));
        platform->msgs().answers = {MsgAnswer::No};
        w->Text2->setText(QStringLiteral("typed"));
        w->Command5_Click();
        QCOMPARE(lastMessage(), QStringLiteral("您确定要作废该资料类型吗？"));
        QVERIFY(typeColumn(QStringLiteral("0101"), QStringLiteral("终止日期")).isNull());
        QVERIFY(w->Text2->text().isEmpty());  // reloaded and cleared all the same

        click(*w, QStringLiteral("S0101"));
        w->Command5_Click();
        QCOMPARE(typeColumn(QStringLiteral("0101"), QStringLiteral("终止日期")).toString().left(10),
                 QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S0101")), 3);

        click(*w, QStringLiteral("S0101"));
        QCOMPARE(w->Command5->text(), QStringLiteral("取消作废"));
        w->Command5_Click();
        QCOMPARE(lastMessage(), QStringLiteral("您确定要取消该资料类型作废该吗？"));
        QVERIFY(typeColumn(QStringLiteral("0101"), QStringLiteral("终止日期")).isNull());
        QCOMPARE(w->TreeView1->picture(QStringLiteral("S0101")), 1);
    }

    void quotesInCodesAreSafe()
    {
        auto w = open();
        w->Command1_Click();
        w->Text1->setText(QStringLiteral("X'1"));
        w->Text2->setText(QStringLiteral("a' or '1'='1"));
        w->Command2_Click();
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(lastMessage()));
        QCOMPARE(typeColumn(QStringLiteral("X'1"), QStringLiteral("名称")).toString(), QStringLiteral("a' or '1'='1"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料类型")).toInt(), 5);
        platform->msgs().answers = {MsgAnswer::Yes};
        w->Command3_Click();
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料类型")).toInt(), 4);
    }
};

QTEST_MAIN(TypeSettingsTest)
#include "test_type_settings.moc"
