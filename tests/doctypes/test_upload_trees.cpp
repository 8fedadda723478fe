// The type and department trees as the upload window opens them, with data of the wider suite
// that the trees cannot show whole.
#include "InputDriving.h"
#include "Organisation.h"
#include "TestSupport.h"
#include "TreeInput.h"
#include "UploadControls.h"

#include "library/UploadPanels.h"
#include "library/frmUpload.h"
#include "login/UserContext.h"
#include "widgets/tree/KeyedTree.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace quarvel;
using namespace quarvel::test;

class UploadTreesTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    QTemporaryDir files;

    std::unique_ptr<Frm公司资料上传> show()
    {
        auto w = std::make_unique<Frm公司资料上传>(*platform);
        w->setTempFolder(files.filePath(QStringLiteral("temp")));
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        return w;
    }

    void permit(const QString& type, const QString& position)
    {
        QVERIFY(db->insert(QStringLiteral("资料上传权限"),
                           {{QStringLiteral("文件编号"), type}, {QStringLiteral("岗位代号"), position}}));
    }

    // "新增", the type button beside the type box, then a click on the type's node.
    static void chooseType(Frm公司资料上传& w, const QString& key)
    {
        UploadControls ui(w);
        if (ui.Command1->text() == QStringLiteral("新增"))
            QTest::mouseClick(ui.Command1, Qt::LeftButton);
        if (!ui.Frame3->isVisible())
            QTest::mouseClick(ui.Picture8.at(2), Qt::LeftButton);
        QVERIFY(ui.Frame3->isVisible());
        mouseClickNode(*ui.TreeView2, key);
    }


private slots:
    void init()
    {
        QVERIFY(setUp());
        organisation().finance();
        organisation().departments({{"D02", "人事部"}});
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), {}, 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("0102"), QStringLiteral("财务制度"), QStringLiteral("01"), 1);
        permit(QStringLiteral("0101"), QStringLiteral("G01"));
        QVERIFY(db->insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QStringLiteral("Z1")},
                                                          {QStringLiteral("组名称"), QStringLiteral("财务组")}}));
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));
    }

    void cleanup() { tearDown(); }

    void orphanTypeRowLeavesTheOthersChoosable()
    {
        db->addType(QStringLiteral("0901"), QStringLiteral("孤儿"), QStringLiteral("09"), 1);
        auto w = show();
        QVERIFY(w);
        UploadControls ui(*w);
        // Reported once; the types loaded before the orphan are marked.
        QCOMPARE(msgs().texts(), QStringList{TreeError::describe(TreeErrorCode::ElementNotFound)});
        QCOMPARE(msgs().shown[0].title, executableTitle());
        QCOMPARE(msgs().shown[0].icon, MsgIcon::Information);
        QCOMPARE(ui.TreeView2->keys(), QStringList({"S01", "S0101", "S0102"}));
        QCOMPARE(ui.TreeView2->picture(QStringLiteral("S0101")), 1);
        QCOMPARE(ui.TreeView2->picture(QStringLiteral("S0102")), 2);

        chooseType(*w, QStringLiteral("S0101"));
        QCOMPARE(ui.Text1[4]->text(), QStringLiteral("0101 人事制度"));
        chooseType(*w, QStringLiteral("S0102"));
        QVERIFY(ui.Text1[4]->text().isEmpty());
        QCOMPARE(ui.List1->count(), 1);
    }

    void superUserMayUploadToTypesOfTheEmptyPosition()
    {
        permit(QStringLiteral("0102"), QString(""));
        userContext() = UserContext{};
        userContext().EmployeeNo = superUserMarker();
        QVERIFY(userContext().PositionCode.isNull());
        auto w = show();
        QVERIFY(w);
        UploadControls ui(*w);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(ui.TreeView2->picture(QStringLiteral("S0102")), 1);
        QCOMPARE(ui.TreeView2->picture(QStringLiteral("S0101")), 2);
        chooseType(*w, QStringLiteral("S0102"));
        QCOMPARE(ui.Text1[4]->text(), QStringLiteral("0102 财务制度"));
    }

    void departmentListedTwiceIsReportedOnceAndTheWindowOpens()
    {
        // X has two parent rows on the same day, under D01 and under D02; Y comes after it.
        db->addDepartment(QStringLiteral("X"), QStringLiteral("审计部"), QStringLiteral("D01"));
        db->addDepartment(QStringLiteral("Y"), QStringLiteral("法务部"), QStringLiteral("D02"));
        QVERIFY(db->insert(QStringLiteral("上级部门new"),
                           {{QStringLiteral("职能部门编号"), QStringLiteral("X")},
                            {QStringLiteral("上级部门编号"), QStringLiteral("D02")},
                            {QStringLiteral("起始日期"), QDateTime(QDate(2020, 1, 1), QTime(0, 0))}}));
        auto w = show();
        QVERIFY(w);
        UploadControls ui(*w);
        QCOMPARE(msgs().shown.size(), 1);
        QVERIFY2(msgs().lastText().startsWith(QStringLiteral("错误号：35602\n错误描述：")),
                 qPrintable(msgs().lastText()));
        // The whole department tree, X once; then the rest of the opening: types and groups.
        QCOMPARE(ui.TreeView1->count(), 4);
        QCOMPARE(ui.TreeView1->parentKey(QStringLiteral("$X")), QStringLiteral("$D01"));
        QCOMPARE(ui.TreeView1->parentKey(QStringLiteral("$Y")), QStringLiteral("$D02"));
        QCOMPARE(ui.TreeView2->picture(QStringLiteral("S0101")), 1);
        QCOMPARE(ui.List1->count(), 1);
        chooseType(*w, QStringLiteral("S0101"));
        QCOMPARE(ui.Text1[4]->text(), QStringLiteral("0101 人事制度"));
        // The message names the department.
        QVERIFY2(msgs().shown[0].text.contains(QStringLiteral("“X”")), qPrintable(msgs().shown[0].text));
    }
};

QTEST_MAIN(UploadTreesTest)
#include "test_upload_trees.moc"
