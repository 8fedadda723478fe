#include "InputDriving.h"
#include "Organisation.h"
#include "TestSupport.h"
#include "UploadControls.h"

#include "directory/DepartmentTree.h"
#include "library/DocumentRights.h"
#include "library/RightsPanel.h"
#include "library/UploadDocuments.h"
#include "library/frmUpload.h"
#include "login/UserContext.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class DocumentRightsTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<RightsPanel> panel;
    QVector<DepartmentEntry> departments;

    const QString doc = QStringLiteral("W'01");

    void right(const QString& position, const QString& name, int download, int read, const QString& document = {})
    {
        QVERIFY(db->insert(QStringLiteral("资料下载权限"),
                           {{QStringLiteral("文件编号"), document.isEmpty() ? doc : document},
                            {QStringLiteral("部门编号"), QStringLiteral("D01")},
                            {QStringLiteral("部门名称"), QStringLiteral("财务部")},
                            {QStringLiteral("岗位代号"), position},
                            {QStringLiteral("岗位名称"), name},
                            {QStringLiteral("下载"), download},
                            {QStringLiteral("查阅"), read}}));
    }

    int flag(const QString& position, const QString& column)
    {
        return db
            ->scalar(QStringLiteral("select %1 from 资料下载权限 where 文件编号 = ? and 岗位代号 = ?").arg(column),
                     {doc, position})
            .toInt();
    }

    int rightsCount() { return db->scalar(QStringLiteral("select count(*) from 资料下载权限")).toInt(); }

    FlexGrid& grid() { return *panel->MSFlexGrid3; }

    // The grid row of a position code, or -1.
    int rowOf(const QString& position)
    {
        for (int r = 1; r < grid().rows(); ++r)
            if (grid().textMatrix(r, 2).startsWith(position + u' '))
                return r;
        return -1;
    }

    void chooseNode(const QString& key) { doubleClickNode(*panel->TreeView1, key); }

private slots:
    void init()
    {
        QVERIFY(setUp());
        Organisation org = organisation();
        org.departments({kFinance});
        org.positions({kAccountant, {"G02", "出纳", "D01", "0013"}, {"G'3", "审'计", "D01", "0015"}});
        org.employees({{"0012", "张三", "1"}, {"0013", "李四", "1"}, {"0014", "王五", "1"}, {"0015", "赵'六", "1"}});
        db->exec(QStringLiteral("update 员工档案 set 岗位编号 = 'G01' where 工号 = '0012'"));
        db->exec(QStringLiteral("update 员工档案 set 岗位编号 = 'G02' where 工号 in ('0013', '0014')"));
        db->exec(QStringLiteral("update 员工档案 set 岗位编号 = 'G''3' where 工号 = '0015'"));
        QVERIFY(db->insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QStringLiteral("Z1")},
                                                          {QStringLiteral("组名称"), QStringLiteral("全体")}}));
        for (const QString& p :
             {QStringLiteral("G01"), QStringLiteral("G02"), QStringLiteral("G'3"), QStringLiteral("G-none")})
            QVERIFY(db->insert(QStringLiteral("资料下载组详细"),
                               {{QStringLiteral("组id"), QStringLiteral("Z1")}, {QStringLiteral("岗位代号"), p}}));
        signIn(QStringLiteral("0001"));

        panel = std::make_unique<RightsPanel>(*platform);
        panel->setDocument(doc);
        panel->List1->addItem(QStringLiteral("Z1 全体"));
        QVERIFY(!LoadDepartmentTree(*panel->TreeView1, departments).isSet());
        clickNode(*panel->TreeView1, QStringLiteral("$D01"));
        QCOMPARE(panel->TreeView1->tag(QStringLiteral("$D01")), QStringLiteral("OK"));
    }

    void cleanup()
    {
        panel.reset();
        tearDown();
    }

    void gridShowsRightsAndABlankRow()
    {
        right(QStringLiteral("G01"), QStringLiteral("会计"), 1, 0);
        QVERIFY(panel->LoadRights());
        QCOMPARE(grid().cols(), 8);
        QCOMPARE(grid().textMatrix(0, 0), QStringLiteral("  "));
        QCOMPARE(grid().rows(), 3);
        QCOMPARE(grid().textMatrix(1, 1), QStringLiteral("D01 财务部"));
        QCOMPARE(grid().textMatrix(1, 2), QStringLiteral("G01 会计"));
        QCOMPARE(grid().textMatrix(1, 3), QStringLiteral("张三"));
        QCOMPARE(grid().textMatrix(1, 4), QStringLiteral("删除"));
        QCOMPARE(grid().textMatrix(1, 5), QStringLiteral("×"));
        QCOMPARE(grid().textMatrix(1, 6), QStringLiteral("√"));
        QCOMPARE(grid().model()->cellForeColor(1, 6), QColor(0, 0, 255));
        QCOMPARE(grid().model()->cellForeColor(1, 4), QColor(255, 0, 0));
        QCOMPARE(grid().colWidth(7), 0);
        QCOMPARE(grid().textMatrix(2, 0), QStringLiteral("2"));
        QCOMPARE(grid().textMatrix(2, 5), QStringLiteral("×"));
        QCOMPARE(grid().row(), 2);
        QVERIFY(!grid().isHidden());
    }

    void grantByPositionIntoTheBlankRow()
    {
        QVERIFY(panel->LoadRights());
        chooseNode(QStringLiteral("GG'3"));
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(platform->msgs().lastText()));
        QCOMPARE(rightsCount(), 1);
        QCOMPARE(flag(QStringLiteral("G'3"), QStringLiteral("下载")), 1);
        QCOMPARE(flag(QStringLiteral("G'3"), QStringLiteral("查阅")), 1);
        QCOMPARE(db->scalar(QStringLiteral("select 岗位名称 from 资料下载权限")).toString(), QStringLiteral("审'计"));
        QCOMPARE(db->scalar(QStringLiteral("select CzyID from 资料下载权限")).toString(), QStringLiteral("0001"));
        QCOMPARE(grid().rows(), 3);
        QCOMPARE(grid().textMatrix(1, 3), QStringLiteral("赵'六"));
        QVERIFY(panel->Picture3->isHidden());
    }

    void aListedPositionIsRefused()
    {
        right(QStringLiteral("G01"), QStringLiteral("会计"), 1, 1);
        QVERIFY(panel->LoadRights());
        chooseNode(QStringLiteral("GG01"));
        QCOMPARE(platform->msgs().lastText(), QStringLiteral("G01 会计  权限已经存在"));
        QCOMPARE(platform->msgs().shown.last().title, QStringLiteral("系统提示"));
        QCOMPARE(rightsCount(), 1);
        // The row that holds the position may take it again.
        clickCell(grid(), 1, 2);
        chooseNode(QStringLiteral("GG01"));
        QCOMPARE(platform->msgs().shown.size(), 1);
    }

    // The decision of a chosen position, without the panel.
    void chosenPositionTexts()
    {
        const ChosenPosition c = ChosenPosition::parse(QStringLiteral("D01 财务部"), QStringLiteral("G02 出纳 [李四]"));
        QVERIFY(c.complete);
        QCOMPARE(c.position, QStringLiteral("G02 出纳 "));
        QCOMPARE(c.holder, QStringLiteral("李四"));
        QCOMPARE(c.deptCode, QStringLiteral("D01"));
        QCOMPARE(c.deptName, QStringLiteral("财务部"));
        QCOMPARE(c.positionCode, QStringLiteral("G02"));
        QCOMPARE(c.positionName, QStringLiteral("出纳"));
        const ChosenPosition open = ChosenPosition::parse(QStringLiteral("D01 财务部"),
                                                          QStringLiteral("G02 出纳[李四"));
        QCOMPARE(open.holder, QStringLiteral("李四"));
        QVERIFY(!ChosenPosition::parse(QStringLiteral("D01"), QStringLiteral("G02 出纳")).complete);
        QVERIFY(!ChosenPosition::parse(QStringLiteral("D01 财务部"), QStringLiteral("G02[李四]")).complete);
        // A code with brackets of its own: the holder's bracket comes after the code.
        const ChosenPosition bracketed = ChosenPosition::parse(QStringLiteral("D01 财务部"),
                                                               QStringLiteral("[a-z] 岗 [李四]"));
        QVERIFY(bracketed.complete);
        QCOMPARE(bracketed.positionCode, QStringLiteral("[a-z]"));
        QCOMPARE(bracketed.positionName, QStringLiteral("岗"));
        QCOMPARE(bracketed.holder, QStringLiteral("李四"));
    }

    void placeGrantsMovesAndRefuses()
    {
        const QDateTime now(QDate(2024, 5, 6), QTime(7, 8, 9));
        const ChosenPosition g01 = ChosenPosition::parse(QStringLiteral("D01 财务部"),
                                                         QStringLiteral("G01 会计[张三]"));
        const ChosenPosition g02 = ChosenPosition::parse(QStringLiteral("D01 财务部"), QStringLiteral("G02 出纳"));
        QCOMPARE(DocumentRights::place(QStringLiteral(" W'01 "), std::nullopt, g01, now, QStringLiteral("0001")).kind,
                 PlaceOutcome::Granted);
        QCOMPARE(rightsCount(), 1);
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("下载")), 1);
        const qint64 id = db->scalar(QStringLiteral("select ID from 资料下载权限")).toLongLong();
        // The same position again, on the blank row or on another right: refused.
        QCOMPARE(DocumentRights::place(doc, std::nullopt, g01, now, QStringLiteral("0001")).kind,
                 PlaceOutcome::AlreadyListed);
        right(QStringLiteral("G02"), QStringLiteral("出纳"), 0, 1);
        const qint64 other =
            db->scalar(QStringLiteral("select ID from 资料下载权限 where 岗位代号 = 'G02'")).toLongLong();
        QCOMPARE(DocumentRights::place(doc, other, g01, now, QStringLiteral("0001")).kind, PlaceOutcome::AlreadyListed);
        QCOMPARE(rightsCount(), 2);
        // A right may take its own position again, and move to a free one.
        QCOMPARE(DocumentRights::place(doc, id, g01, now, QStringLiteral("0001")).kind, PlaceOutcome::Moved);
        QVERIFY(db->exec(QStringLiteral("delete from 资料下载权限 where ID = ?"), {other}));
        QCOMPARE(DocumentRights::place(doc, id, g02, now, QStringLiteral("0001")).kind, PlaceOutcome::Moved);
        QCOMPARE(db->scalar(QStringLiteral("select ID from 资料下载权限 where 岗位代号 = 'G02'")).toLongLong(), id);
        // Another document's rights do not count.
        QCOMPARE(DocumentRights::place(QStringLiteral("W02"), std::nullopt, g02, now, QStringLiteral("0001")).kind,
                 PlaceOutcome::Granted);
    }

    void placeThatCannotWriteChangesNothing()
    {
        const QDateTime now(QDate(2024, 5, 6), QTime(7, 8, 9));
        const ChosenPosition partial = ChosenPosition::parse(QStringLiteral("D01"), QStringLiteral("G01 会计"));
        QCOMPARE(DocumentRights::place(doc, std::nullopt, partial, now, QStringLiteral("0001")).kind,
                 PlaceOutcome::MissingPart);
        const ChosenPosition g01 = ChosenPosition::parse(QStringLiteral("D01 财务部"), QStringLiteral("G01 会计"));
        QCOMPARE(DocumentRights::place(QString(), std::nullopt, g01, now, QStringLiteral("0001")).kind,
                 PlaceOutcome::NoDocument);
        QCOMPARE(rightsCount(), 0);

        // The check passes, then the write fails: the failure is told and nothing is kept.
        QVERIFY(db->exec(QStringLiteral("create trigger refuse before insert on 资料下载权限 "
                                        "begin select raise(abort, '拒绝写入'); end")));
        const PlaceOutcome refused = DocumentRights::place(doc, std::nullopt, g01, now, QStringLiteral("0001"));
        QCOMPARE(refused.kind, PlaceOutcome::Failed);
        QVERIFY(refused.error.description.contains(QStringLiteral("拒绝写入")));
        QCOMPARE(rightsCount(), 0);
        QVERIFY(db->exec(QStringLiteral("drop trigger refuse")));
        QCOMPARE(DocumentRights::place(doc, std::nullopt, g01, now, QStringLiteral("0001")).kind,
                 PlaceOutcome::Granted);
        QCOMPARE(rightsCount(), 1);
    }

    void movingARightKeepsFlagsAndId()
    {
        right(QStringLiteral("G01"), QStringLiteral("会计"), 0, 1);
        const qint64 id = db->scalar(QStringLiteral("select ID from 资料下载权限")).toLongLong();
        QVERIFY(panel->LoadRights());
        clickCell(grid(), 1, 2);
        chooseNode(QStringLiteral("GG02"));
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(platform->msgs().lastText()));
        QCOMPARE(rightsCount(), 1);
        QCOMPARE(db->scalar(QStringLiteral("select ID from 资料下载权限 where 岗位代号 = 'G02'")).toLongLong(), id);
        QCOMPARE(flag(QStringLiteral("G02"), QStringLiteral("下载")), 0);
        QCOMPARE(flag(QStringLiteral("G02"), QStringLiteral("查阅")), 1);
        QCOMPARE(grid().textMatrix(1, 2), QStringLiteral("G02 出纳 "));
        QCOMPARE(grid().row(), grid().rows() - 1);
    }

    void switchingRules()
    {
        right(QStringLiteral("G01"), QStringLiteral("会计"), 1, 1);
        QVERIFY(panel->LoadRights());
        const auto doubleClick = [this](int col) { doubleClickCell(grid(), 1, col); };
        doubleClick(5);  // reading off: download stays on
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("查阅")), 0);
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("下载")), 1);
        QCOMPARE(grid().textMatrix(1, 5), QStringLiteral("×"));
        QCOMPARE(grid().textMatrix(1, 6), QStringLiteral("√"));
        doubleClick(6);  // download off: reading stays off
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("下载")), 0);
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("查阅")), 0);
        doubleClick(6);  // download on turns reading on
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("下载")), 1);
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("查阅")), 1);
        QCOMPARE(grid().textMatrix(1, 5), QStringLiteral("√"));
        QCOMPARE(grid().model()->cellForeColor(1, 5), QColor(0, 0, 255));
        doubleClick(5);
        doubleClick(5);  // reading on again leaves download
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("查阅")), 1);
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("下载")), 1);
        doubleClick(3);  // other columns do nothing
        QCOMPARE(grid().textMatrix(1, 3), QStringLiteral("张三"));
    }

    void removing()
    {
        right(QStringLiteral("G01"), QStringLiteral("会计"), 1, 1);
        right(QStringLiteral("G01"), QStringLiteral("会计"), 1, 1, QStringLiteral("OTHER"));
        QVERIFY(panel->LoadRights());
        clickCell(grid(), 2, 4);  // the blank row
        QVERIFY(platform->msgs().shown.isEmpty());
        platform->msgs().answers = {MsgAnswer::No};
        clickCell(grid(), 1, 4);
        QCOMPARE(platform->msgs().lastText(), QStringLiteral("确认要删除财务部 会计"));
        QCOMPARE(platform->msgs().shown.last().icon, MsgIcon::None);
        QCOMPARE(rightsCount(), 2);
        platform->msgs().answers = {MsgAnswer::Yes};
        clickCell(grid(), 1, 4);
        QCOMPARE(rightsCount(), 1);
        QCOMPARE(grid().rows(), 2);
        QCOMPARE(grid().textMatrix(1, 0), QStringLiteral("1"));
        QVERIFY(grid().textMatrix(1, 1).isEmpty());
    }

    void positionWithTwoHoldersIsListedTwice()
    {
        right(QStringLiteral("G02"), QStringLiteral("出纳"), 1, 1);
        QVERIFY(panel->LoadRights());
        QCOMPARE(grid().rows(), 4);
        QCOMPARE(grid().textMatrix(1, 7), grid().textMatrix(2, 7));
        QCOMPARE(QSet<QString>({grid().textMatrix(1, 3), grid().textMatrix(2, 3)}),
                 QSet<QString>({QStringLiteral("李四"), QStringLiteral("王五")}));
        platform->msgs().answers = {MsgAnswer::Yes};
        clickCell(grid(), 2, 4);
        QCOMPARE(rightsCount(), 0);
    }

    void grantByGroupAddsOnlyTheMissing()
    {
        right(QStringLiteral("G01"), QStringLiteral("会计"), 0, 1);
        QVERIFY(panel->LoadRights());
        clickListItem(*panel->List1, 0);
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(platform->msgs().lastText()));
        // G-none has no department row: not listed, no right.
        QCOMPARE(rightsCount(), 3);
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("下载")), 0);
        QCOMPARE(flag(QStringLiteral("G02"), QStringLiteral("下载")), 1);
        QCOMPARE(flag(QStringLiteral("G'3"), QStringLiteral("查阅")), 1);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限 where 岗位代号 = 'G02'")).toInt(), 1);
        QVERIFY(!grid().isHidden());
        QVERIFY(rowOf(QStringLiteral("G'3")) > 0);
    }

    void grantByGroupIsAllOrNothing()
    {
        QVERIFY(
            db->exec(QStringLiteral("create trigger refuse before insert on 资料下载权限 when new.岗位代号 = 'G''3' "
                                    "begin select raise(abort, '拒绝写入'); end")));
        QVERIFY(panel->LoadRights());
        clickListItem(*panel->List1, 0);
        QVERIFY(platform->msgs().lastText().contains(QStringLiteral("拒绝写入")));
        QCOMPARE(platform->msgs().shown.last().title, executableTitle());
        QCOMPARE(rightsCount(), 0);
    }

    void outerBlanksNameTheSameDocument()
    {
        right(QStringLiteral("G01"), QStringLiteral("会计"), 0, 1);
        // The number as a list row may show it, with blanks around it.
        panel->setDocument(QStringLiteral("  W'01 "));
        QVERIFY(panel->LoadRights());
        QCOMPARE(grid().rows(), 3);
        chooseNode(QStringLiteral("GG'3"));
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(platform->msgs().lastText()));
        clickListItem(*panel->List1, 0);
        clickListItem(*panel->List1, 0);
        QVERIFY2(platform->msgs().shown.isEmpty(), qPrintable(platform->msgs().lastText()));
        QCOMPARE(rightsCount(), 3);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限 where 文件编号 = ?"), {doc}).toInt(), 3);
        QCOMPARE(flag(QStringLiteral("G01"), QStringLiteral("下载")), 0);
        QVERIFY(rowOf(QStringLiteral("G'3")) > 0);
        QVERIFY(rowOf(QStringLiteral("G02")) > 0);
        QVERIFY(UploadDocuments::remove(0, QStringLiteral(" W'01  ")).ok());
        QCOMPARE(rightsCount(), 0);
    }

    void withoutADocumentNothingIsGranted()
    {
        right(QStringLiteral("G01"), QStringLiteral("会计"), 1, 1);
        QVERIFY(panel->LoadRights());
        panel->clearDocument();
        QVERIFY(!panel->hasDocument());
        QVERIFY(panel->isHidden());
        QCOMPARE(grid().rows(), 1);
        QVERIFY(panel->LoadRights());
        QCOMPARE(grid().rows(), 1);
        clickListItem(*panel->List1, 0);
        QCOMPARE(rightsCount(), 1);
    }

    void chooserToggles()
    {
        QVERIFY(panel->LoadRights());
        click(panel->addButton);
        QVERIFY(!panel->Picture3->isHidden());
        QVERIFY(panel->byPosition->isChecked());
        QVERIFY(!panel->TreeView1->isHidden());
        QVERIFY(panel->List1->isHidden());
        click(panel->byGroup);
        QVERIFY(!panel->List1->isHidden());
        QVERIFY(panel->TreeView1->isHidden());
        QTest::mouseClick(panel->backLink, Qt::LeftButton);
        QVERIFY(panel->Picture3->isHidden());
        click(panel->addButton);
        clickCell(grid(), 1, 1);
        QVERIFY(panel->Picture3->isHidden());
    }

    void failedFillLeavesTheGridHidden()
    {
        QVERIFY(db->exec(QStringLiteral("drop table 资料下载权限")));
        QVERIFY(!panel->LoadRights());
        QVERIFY(grid().isHidden());
        QCOMPARE(platform->msgs().shown.size(), 1);
    }

    void windowOpensAndClosesThePanel()
    {
        right(QStringLiteral("G01"), QStringLiteral("会计"), 1, 1);
        userContext().DeptCode = QStringLiteral("D01");
        userContext().PositionCode = QStringLiteral("G01");
        QVERIFY(db->insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), doc},
                                                            {QStringLiteral("文件名称"), QStringLiteral("制度")},
                                                            {QStringLiteral("部门"), QStringLiteral("D01")},
                                                            {QStringLiteral("岗位"), QStringLiteral("G01")},
                                                            {QStringLiteral("上传日期"), QDateTime::currentDateTime()},
                                                            {QStringLiteral("文件"), QByteArray("0123456789")}}));
        Frm公司资料上传 w(*platform);
        UploadControls ui(w);
        QCOMPARE(ui.MSFlexGrid1->rows(), 2);
        QVERIFY(ui.Picture2->isHidden());
        clickCell(*ui.MSFlexGrid1, 1);
        QCOMPARE(ui.MSFlexGrid3->rows(), 3);  // reloaded by the row selection while hidden
        click(ui.Command7);
        QVERIFY(!ui.Picture2->isHidden());
        QCOMPARE(ui.MSFlexGrid3->textMatrix(1, 2), QStringLiteral("G01 会计"));
        click(ui.Command7);
        QVERIFY(ui.Picture2->isHidden());
        click(ui.Command1);
        click(ui.Command7);
        QCOMPARE(platform->msgs().lastText(), QStringLiteral("请选择要设置权限的文件!"));
        QCOMPARE(ui.List1->count(), 1);
    }
};

QTEST_MAIN(DocumentRightsTest)
#include "test_document_rights.moc"
