#include "TestSupport.h"

#include "library/UploadPanels.h"
#include "library/frmUpload.h"
#include "login/UserContext.h"
#include "platform/grid/FlexGrid.h"
#include "platform/tree/KeyedTree.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class UploadWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TestPlatform> platform;
    QTemporaryDir files;

    QString makeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = files.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

    void addDocument(const QString& number, const QString& name, const QString& type, const QDateTime& when,
                     const QVariant& bytes = QByteArray("%PDF-1.4 content"), const QString& position = QStringLiteral("G01"))
    {
        QVERIFY(db->insert(QStringLiteral("公司文件信息"),
                           {{QStringLiteral("编号"), number},
                            {QStringLiteral("文件名称"), name},
                            {QStringLiteral("文件类别"), type},
                            {QStringLiteral("文件级别"), 1},
                            {QStringLiteral("上传人工号"), QStringLiteral("0012")},
                            {QStringLiteral("上传日期"), when},
                            {QStringLiteral("部门"), QStringLiteral("D01")},
                            {QStringLiteral("岗位"), position},
                            {QStringLiteral("附件后缀"), QStringLiteral("pdf")},
                            {QStringLiteral("文件"), bytes}}));
    }

    std::unique_ptr<Frm公司资料上传> open()
    {
        auto w = std::make_unique<Frm公司资料上传>(*platform);
        w->setTempFolder(files.filePath(QStringLiteral("temp")));
        return w;
    }

    // Selects a list row the way a click does.
    static void clickRow(Frm公司资料上传& w, int row)
    {
        w.MSFlexGrid1->setRow(row);
        w.MSFlexGrid1_Click();
    }

    void fillNew(Frm公司资料上传& w, const QString& number, const QString& path)
    {
        w.Command1_Click();
        w.Text1[0]->setText(number);
        w.Text1[1]->setText(QStringLiteral("新文件"));
        w.Text1[4]->setText(QStringLiteral("0101 人事制度"));
        w.Text4->setText(QStringLiteral("2"));
        platform->dialogsDouble().answers = {path};
        w.Picture8_Click(1);
    }

    ScriptedMessages& msgs() { return platform->msgs(); }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        platform = std::make_unique<TestPlatform>();
        db->addDepartment(QStringLiteral("D01"), QStringLiteral("财务部"));
        db->addPosition(QStringLiteral("G01"), QStringLiteral("会计"), QStringLiteral("D01"), QStringLiteral("0012"));
        db->addEmployee(QStringLiteral("0012"), QStringLiteral("员工甲"), QStringLiteral("123"));
        for (const auto& [code, name, parent] :
             {std::tuple{"01", "制度", ""}, std::tuple{"0101", "人事制度", "01"}, std::tuple{"0102", "财务制度", "01"}})
            QVERIFY(db->insert(QStringLiteral("资料类型"),
                               {{QStringLiteral("编号"), QString::fromUtf8(code)},
                                {QStringLiteral("名称"), QString::fromUtf8(name)},
                                {QStringLiteral("上级编号"), *parent ? QVariant(QString::fromUtf8(parent)) : QVariant()},
                                {QStringLiteral("级别"), *parent ? 1 : 0}}));
        QVERIFY(db->insert(QStringLiteral("资料上传权限"), {{QStringLiteral("文件编号"), QStringLiteral("0101")},
                                                          {QStringLiteral("岗位代号"), QStringLiteral("G01")}}));
        QVERIFY(db->insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QStringLiteral("Z1")},
                                                        {QStringLiteral("组名称"), QStringLiteral("财务组")}}));
        userContext() = UserContext{};
        userContext().EmployeeNo = QStringLiteral("0012");
        userContext().DeptCode = QStringLiteral("D01");
        userContext().PositionCode = QStringLiteral("G01");
    }

    void cleanup()
    {
        platform.reset();
        db.reset();
        userContext() = UserContext{};
    }

    void opensWithItsListAndTrees()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("年度报告2013"), QStringLiteral("0101"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        addDocument(QStringLiteral("B-1"), QStringLiteral("别人的"), QStringLiteral("0101"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)),
                    QByteArray("x"), QStringLiteral("G99"));
        auto w = open();
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(w->windowTitle(), QStringLiteral("公司资料上传"));
        QCOMPARE(w->MSFlexGrid1->cols(), 10);
        QCOMPARE(w->MSFlexGrid1->rows(), 2);
        QCOMPARE(w->MSFlexGrid1->textMatrix(0, 1), QStringLiteral("编号"));
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, 1), QStringLiteral("A-1"));
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, 2), QStringLiteral("0101 人事制度"));
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, 8), QStringLiteral("2026-03-01 09:05"));
        QCOMPARE(w->MSFlexGrid1->colWidth(9), 0);
        QCOMPARE(w->Command1->text(), QStringLiteral("新增"));
        QCOMPARE(w->TreeView2->picture(QStringLiteral("S0101")), 1);
        QCOMPARE(w->TreeView2->picture(QStringLiteral("S0102")), 2);
        QCOMPARE(w->List1->count(), 1);
        QCOMPARE(w->List1->item(0)->text(), QStringLiteral("Z1 财务组"));
        QVERIFY(!w->txtMC->isEnabled());
        QCOMPARE(w->DTPicker1->date().day(), 1);
        QVERIFY(w->TreeView1->contains(QStringLiteral("$D01")));
    }

    void insertStoresAndResets()
    {
        auto w = open();
        const QString path = makeFile(QStringLiteral("报告.V2.PDF"), QByteArray("%PDF-1.7 abcdefgh"));
        fillNew(*w, QStringLiteral("N'1"), path);
        QCOMPARE(w->Text2->text(), path);
        w->Text1[2]->clear();
        w->Command2_Click();
        QCOMPARE(msgs().texts(), QStringList({QStringLiteral("新增成功!")}));
        QCOMPARE(db->scalar(QStringLiteral("select 附件后缀 from 公司文件信息 where 编号 = ?"), {QStringLiteral("N'1")}).toString(),
                 QStringLiteral("PDF"));
        QVERIFY(db->scalar(QStringLiteral("select 摘要 from 公司文件信息 where 编号 = ?"), {QStringLiteral("N'1")}).isNull());
        QCOMPARE(db->scalar(QStringLiteral("select 文件 from 公司文件信息 where 编号 = ?"), {QStringLiteral("N'1")}).toByteArray(),
                 QByteArray("%PDF-1.7 abcdefgh"));
        QCOMPARE(w->Command1->text(), QStringLiteral("新增"));
        for (QLineEdit* e : w->Text1)
            QVERIFY(e->text().isEmpty());
        QVERIFY(w->Text2->text().isEmpty());
        QCOMPARE(w->MSFlexGrid1->rows(), 2);
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, 1), QStringLiteral("N'1"));
    }

    void insertWithAnExistingNumberKeepsAdding()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("旧"), QStringLiteral("0101"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        auto w = open();
        fillNew(*w, QStringLiteral("A-1"), makeFile(QStringLiteral("a.txt"), "hello world"));
        w->Command2_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("文件编号已经存在,不能新增!"));
        QCOMPARE(w->Command1->text(), QStringLiteral("取消"));
        QCOMPARE(w->Text1[0]->text(), QStringLiteral("A-1"));
        QCOMPARE(w->Text1[1]->text(), QStringLiteral("新文件"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 1);
    }

    void saveChecksInOrder()
    {
        auto w = open();
        w->Command1_Click();
        w->Command2_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("文件编号不能为空!"));
        QCOMPARE(msgs().shown.last().icon, MsgIcon::Information);
        w->Text1[0]->setText(QStringLiteral(" "));
        w->Command2_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("文件名称不能为空!"));
        w->Text1[1]->setText(QStringLiteral("x"));
        w->Command2_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("文件类别不能为空!"));
        w->Text1[4]->setText(QStringLiteral("0101 人事制度"));
        w->Command2_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("文件级别不能为空!"));
        w->Text4->setText(QStringLiteral("1"));
        w->Command2_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("无文件加载,文件路径不能为空!"));
        w->Command1_Click();  // back to viewing: nothing to edit in an empty list
        w->Command2_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("没有可以编辑的信息,请重新选择或新增项目!"));
    }

    void queryMessageComesBeforeTheSuccess()
    {
        auto w = open();
        w->Check2->setChecked(true);
        fillNew(*w, QStringLiteral("Q-1"), makeFile(QStringLiteral("q.txt"), "content!"));
        w->Command2_Click();
        QCOMPARE(msgs().texts(), QStringList({QStringLiteral("请输入查询条件文件名称的值！"), QStringLiteral("新增成功!")}));
        QCOMPARE(w->MSFlexGrid1->rows(), 1);  // not refreshed
    }

    void newThenCancel()
    {
        auto w = open();
        w->Command1_Click();
        QVERIFY(w->Text1[0]->isEnabled());
        w->Text1[0]->setText(QStringLiteral("typed"));
        w->Command1_Click();
        QVERIFY(!w->Text1[0]->isEnabled());
        QCOMPARE(w->Text1[0]->text(), QStringLiteral("typed"));
        QCOMPARE(w->Command1->text(), QStringLiteral("新增"));
    }

    void updateWithoutANewFile()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("旧名"), QStringLiteral("0101"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        auto w = open();
        clickRow(*w, 1);
        QCOMPARE(w->Text1[0]->text(), QStringLiteral("A-1"));
        QVERIFY(!w->Text1[0]->isEnabled());
        w->Text1[1]->setText(QStringLiteral("新名"));
        userContext().DeptCode = QStringLiteral("D01");
        w->Command2_Click();
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(db->scalar(QStringLiteral("select 文件名称 from 公司文件信息")).toString(), QStringLiteral("新名"));
        QCOMPARE(db->scalar(QStringLiteral("select 上传日期 from 公司文件信息")).toString(), QStringLiteral("2026-03-01 09:05:00"));
        QCOMPARE(db->scalar(QStringLiteral("select 文件 from 公司文件信息")).toByteArray(), QByteArray("%PDF-1.4 content"));
        QCOMPARE(w->Text1[1]->text(), QStringLiteral("新名"));  // the row was selected again
    }

    void deleteRemovesTheRightsByNumber()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), QStringLiteral("A-1")},
                                                          {QStringLiteral("岗位代号"), QStringLiteral("G01")}}));
        QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), QStringLiteral("B-1")},
                                                          {QStringLiteral("岗位代号"), QStringLiteral("G01")}}));
        auto w = open();
        clickRow(*w, 1);
        msgs().answers = {MsgAnswer::No};
        w->Command3_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("是否要删除  编号为A-1的信息?"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 1);
        w->Command3_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("删除成功!"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限")).toInt(), 1);
        QCOMPARE(w->MSFlexGrid1->rows(), 1);
        QVERIFY(w->Text1[0]->text().isEmpty());
    }

    void typePanelTakesOnlyUploadableTypes()
    {
        auto w = open();
        w->Picture8_Click(2);
        QVERIFY(!w->Frame3->isHidden());
        QVERIFY(!w->typePanelServesQuery());
        w->TreeView2_NodeClick(QStringLiteral("S0101"));
        QCOMPARE(w->Text1[4]->text(), QStringLiteral("0101 人事制度"));
        w->TreeView2_NodeClick(QStringLiteral("S0102"));
        QVERIFY(w->Text1[4]->text().isEmpty());
        w->Command18_Click();
        QVERIFY(w->Frame3->isHidden());
        w->Picture8_Click(0);
        QVERIFY(w->typePanelServesQuery());
        w->TreeView2_NodeClick(QStringLiteral("S0102"));
        QCOMPARE(w->Text6->text(), QStringLiteral("0102 财务制度"));
    }

    void superUserFindsNoUploadableType()
    {
        userContext() = UserContext{};
        userContext().EmployeeNo = superUserMarker();
        auto w = open();
        for (const QString& key : w->TreeView2->keys())
            QVERIFY(w->TreeView2->picture(key) != 1);
        w->Picture8_Click(2);
        w->TreeView2_NodeClick(QStringLiteral("S0101"));
        QVERIFY(w->Text1[4]->text().isEmpty());
    }

    void fileDialogRemembersTheLastPath()
    {
        auto w = open();
        platform->dialogsDouble().answers = {QStringLiteral("/data/a.pdf"), QString()};
        w->Picture8_Click(1);
        QCOMPARE(w->Text2->text(), QStringLiteral("/data/a.pdf"));
        w->Picture8_Click(1);  // cancelled: the last confirmed path again
        QCOMPARE(w->Text2->text(), QStringLiteral("/data/a.pdf"));
        const auto& asked = platform->dialogsDouble().asked;
        QCOMPARE(asked.first().filters.size(), 5);
        QVERIFY(asked.first().filters.first().startsWith(QStringLiteral("所有文件")));
        QCOMPARE(asked.last().startPath, QStringLiteral("/data/a.pdf"));
    }

    void openingWritesASafeTemporaryCopy()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("../../逃逸/报告"), QStringLiteral("0101"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        addDocument(QStringLiteral("A-2"), QStringLiteral("空"), QStringLiteral("0101"), QDateTime(QDate(2026, 3, 2), QTime(9, 5)));
        db->exec(QStringLiteral("update 公司文件信息 set 文件 = null where 编号 = 'A-2'"));
        auto w = open();
        // The opening list holds only documents with content.
        QCOMPARE(w->MSFlexGrid1->rows(), 2);
        clickRow(*w, 1);
        w->MSFlexGrid1_DblClick();
        const QStringList opened = platform->shellDouble().openedFiles;
        QCOMPARE(opened.size(), 1);
        const QFileInfo copy(opened.first());
        QCOMPARE(copy.absolutePath(), QDir(files.filePath(QStringLiteral("temp"))).absolutePath());
        QVERIFY(copy.fileName().contains(QStringLiteral("报告")));
        QVERIFY(copy.fileName().endsWith(QStringLiteral(".pdf")));
        QFile written(copy.filePath());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("%PDF-1.4 content"));
        QCOMPARE(w->ViewDocumentID, db->scalar(QStringLiteral("select ID from 公司文件信息 where 编号 = 'A-1'")).toLongLong());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载记录")).toInt(), 0);

        w->Check2->setChecked(true);
        w->txtMC->setText(QStringLiteral("空"));
        QVERIFY(w->comLook_Click());
        clickRow(*w, 1);
        w->MSFlexGrid1_DblClick();
        QCOMPARE(msgs().lastText(), QStringLiteral("文件存储内容为空"));

        platform->shellDouble().result = false;
        w->Check2->setChecked(false);
        w->comLook_Click();
        clickRow(*w, 1);  // oldest first: the document with content
        w->MSFlexGrid1_DblClick();
        QCOMPARE(msgs().lastText(), QStringLiteral("没有能够打开所选附件文件，可能您的电脑上没有安装相应的软件"));
    }

    void permissionButtonNeedsADocument()
    {
        auto w = open();
        w->Command7_Click();
        QCOMPARE(msgs().lastText(), QStringLiteral("请选择要设置权限的文件!"));
        addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        w->comLook_Click();
        clickRow(*w, 1);
        w->Command1_Click();  // adding
        w->Command7_Click();
        QCOMPARE(msgs().shown.size(), 2);
    }

    void hostileFiltersAreHarmless()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("年度报告2013"), QStringLiteral("0101"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        auto w = open();
        w->Check2->setChecked(true);
        w->Check5->setChecked(true);
        w->Check4->setChecked(true);
        w->txtMC->setText(QStringLiteral("' or '1'='1"));
        w->txtKey->setText(QStringLiteral("x'; delete from 公司文件信息; --"));
        w->Text6->setText(QStringLiteral("0101' -- 类"));
        QVERIFY(w->comLook_Click());
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(w->MSFlexGrid1->rows(), 1);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 1);
    }

    void dateFilterIncludesTheWholeEndDay()
    {
        addDocument(QStringLiteral("IN"), QStringLiteral("甲"), QStringLiteral("0101"), QDateTime(QDate(2013, 9, 21), QTime(23, 59, 59)));
        addDocument(QStringLiteral("OUT"), QStringLiteral("乙"), QStringLiteral("0101"), QDateTime(QDate(2013, 9, 22), QTime(0, 0)));
        auto w = open();
        w->Check6->setChecked(true);
        w->DTPicker1->setDate(QDate(2013, 9, 1));
        w->DTPicker2->setDate(QDate(2013, 9, 21));
        QVERIFY(w->comLook_Click());
        QCOMPARE(w->MSFlexGrid1->rows(), 2);
        QCOMPARE(w->MSFlexGrid1->textMatrix(1, 1), QStringLiteral("IN"));
        w->DTPicker1->setDate(QDate(2013, 9, 22));
        QVERIFY(!w->comLook_Click());
        QCOMPARE(msgs().lastText(), QStringLiteral("上传日期起始日期的日期范围开始日期不能大于结束日期!"));
    }
};

QTEST_MAIN(UploadWindowTest)
#include "test_upload_window.moc"
