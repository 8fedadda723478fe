#include "InputDriving.h"
#include "Organisation.h"
#include "TestSupport.h"

#include "login/UserContext.h"
#include "login/frmLogin.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class LoginTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<frmLogin> login;
    RecordingSettingsEditor* settingsDialog = nullptr;
    int mainShown = 0;

    // Department D01 with category; positions G01 (main of 0012), G02 (part-time of 0012 in the
    // same department), G03 (only part-time of 0020).
    void fillOrganisation()
    {
        Organisation org = organisation();
        org.departments({kFinance, {"D02", "人事部"}});
        org.positions({kAccountant, {"G02", "出纳", "D01", "0012"}, {"G03", "专员", "D02", "0020"}});
        org.employees(
            {kClerk, {"0020", "员工乙", "pw"}, {"0030", "离职者", "123", /*left*/ true}, {"O'Neil", "欧尼尔", "it's"}});
        org.assignments({{"0012", "G01"},
                         {"0012", "G02", false},
                         {"0012", "G03", true, /*ended*/ true},
                         {"0020", "G03", false},
                         {"0030", "G03"},
                         {"O'Neil", "G03"}});
    }

    void typeAndLogin(const QString& user, const QString& password)
    {
        login->TxtUser->setText(user);
        login->txtPassword->setText(password);
        login->cmdOK_Click();
    }


    // Types the user name and the password and clicks OK, as the user does.
    void typeAndClickOk(const QString& user, const QString& password)
    {
        if (!login->isVisible()) {
            login->show();
            QVERIFY(QTest::qWaitForWindowExposed(login.get()));
        }
        login->TxtUser->clear();
        login->txtPassword->clear();
        QTest::keyClicks(login->TxtUser, user);
        QTest::keyClicks(login->txtPassword, password);
        QTest::mouseClick(login->cmdOK, Qt::LeftButton);
    }

private slots:
    void init()
    {
        QVERIFY(setUp(/*connect*/ false));
        fillOrganisation();
        db->useAsSettings();
        login = std::make_unique<frmLogin>(*platform);
        auto editor = std::make_unique<RecordingSettingsEditor>();
        settingsDialog = editor.get();
        login->setSettingsEditor(std::move(editor));
        mainShown = 0;
        login->showMainWindow = [this] { ++mainShown; };
        QVERIFY(!login->Form_Load(QString()));
    }

    void cleanup()
    {
        login.reset();
        tearDown();
    }

    void versionLabelAndHiddenList()
    {
        QCOMPARE(login->Label1->text(), QStringLiteral("V1.0版"));
        QVERIFY(login->Label2->isHidden());
        QVERIFY(login->List1->isHidden());
        QCOMPARE(login->windowTitle(), QStringLiteral("CorvaneMIS系统"));
    }

    void emptyFieldsAreRefusedBeforeConnecting()
    {
        typeAndLogin(QString(), QStringLiteral("x"));
        QCOMPARE(msgs().lastText(), QStringLiteral("用户名不能为空!"));
        typeAndLogin(QStringLiteral("0012"), QString());
        QCOMPARE(msgs().lastText(), QStringLiteral("密码不能为空!"));
        QCOMPARE(msgs().shown.last().title, QStringLiteral("Quarvel"));
        QCOMPARE(msgs().shown.last().icon, MsgIcon::Information);
        QCOMPARE(SharedConnection::generation() > 0 && SharedConnection::isOpen(), false);
    }

    void superUserLogsInWithoutLookup()
    {
        typeAndLogin(QStringLiteral("sysOp"), QStringLiteral("lantor"));
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(userContext().EmployeeNo, QStringLiteral("超级用户"));
        QVERIFY(userContext().PositionCode.isEmpty());
        QVERIFY(userContext().isSuperUser());
        QCOMPARE(mainShown, 1);
    }

    void superUserIsCaseSensitiveAndUntrimmed()
    {
        typeAndLogin(QStringLiteral("sysop"), QStringLiteral("lantor"));
        QCOMPARE(msgs().lastText(), QStringLiteral("用户名或密码不正确,请重新输入!"));
        typeAndLogin(QStringLiteral("sysOp"), QStringLiteral("lantor "));
        QCOMPARE(msgs().lastText(), QStringLiteral("用户名或密码不正确,请重新输入!"));
        QCOMPARE(mainShown, 0);
    }

    void superUserNeedsAReachableDatabase()
    {
        ConnectionSettings s;
        s.svr = QStringLiteral("sqlite:") + db->dir() + QStringLiteral("/missing.db");
        s.toStore();
        // The user puts the settings right in the dialog that the failure offers.
        settingsDialog->onEdit = [this] { db->useAsSettings(); };
        settingsDialog->saved = true;
        typeAndLogin(QStringLiteral("sysOp"), QStringLiteral("lantor"));
        QVERIFY2(msgs().lastText().startsWith(QStringLiteral("数据库连接失败!\n数据库文件不存在")),
                 qPrintable(msgs().lastText()));
        QVERIFY(msgs().lastText().endsWith(db->dir() + QStringLiteral("/missing.db")));
        QCOMPARE(msgs().shown.last().title, QStringLiteral("连接提示"));
        QCOMPARE(settingsDialog->opened, 1);
        QCOMPARE(platform->proc().endCount, 0);
        QVERIFY(userContext().EmployeeNo.isEmpty());
        QCOMPARE(mainShown, 0);
        QVERIFY(!QFile::exists(db->dir() + QStringLiteral("/missing.db")));

        // The next OK uses the saved settings.
        typeAndLogin(QStringLiteral("sysOp"), QStringLiteral("lantor"));
        QCOMPARE(mainShown, 1);
        QCOMPARE(msgs().shown.size(), 1);
    }

    // The link to the settings is a click away and out of the keyboard's way.
    void settingsLinkStaysOutOfTheTabOrder()
    {
        login->show();
        QVERIFY(QTest::qWaitForWindowExposed(login.get()));
        QCOMPARE(login->cmdSettings->focusPolicy(), Qt::NoFocus);
        login->TxtUser->setFocus();
        const QList<QWidget*> expected = {login->txtPassword, login->cmdOK, login->cmdCancel, login->TxtUser};
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QTest::mouseClick(login->cmdSettings, Qt::LeftButton);
        QCOMPARE(settingsDialog->opened, 1);
        QCOMPARE(QApplication::focusWidget(), login->TxtUser);
    }

    void wrongPasswordAndUnknownUserLookTheSame()
    {
        typeAndLogin(QStringLiteral("0012"), QStringLiteral("wrong"));
        const auto first = msgs().shown.last();
        typeAndLogin(QStringLiteral("9999"), QStringLiteral("123"));
        const auto second = msgs().shown.last();
        QCOMPARE(first.text, QStringLiteral("用户名或密码不正确,请重新输入!"));
        QCOMPARE(second.text, first.text);
        QCOMPARE(second.icon, first.icon);
        QCOMPARE(second.title, first.title);
        QCOMPARE(mainShown, 0);
    }

    void hostileUserNamesAreRefused_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("or-true") << QStringLiteral("' or '1'='1") << QStringLiteral("' or '1'='1");
        QTest::newRow("comment") << QStringLiteral("x' --") << QStringLiteral("x");
        QTest::newRow("known-user-comment") << QStringLiteral("0012' --") << QStringLiteral("anything");
        QTest::newRow("semicolon") << QStringLiteral("0012'; delete from 员工档案; --") << QStringLiteral("x");
    }

    void hostileUserNamesAreRefused()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        typeAndLogin(user, password);
        QCOMPARE(msgs().lastText(), QStringLiteral("用户名或密码不正确,请重新输入!"));
        QCOMPARE(mainShown, 0);
        QVERIFY(userContext().EmployeeNo.isEmpty());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 员工档案")).toInt(), 4);
    }

    void employeeWithQuoteLogsIn()
    {
        typeAndLogin(QStringLiteral("O'Neil"), QStringLiteral("it's"));
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(userContext().EmployeeNo, QStringLiteral("O'Neil"));
        QCOMPARE(userContext().PositionCode, QStringLiteral("G03"));
        QCOMPARE(mainShown, 1);
    }

    void partTimeOnlyUserLogsInAtOnce()
    {
        typeAndLogin(QStringLiteral("0020"), QStringLiteral("pw"));
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(login->List1->count(), 1);
        QCOMPARE(login->List1->item(0)->text(), QStringLiteral("人事部 专员(兼职)"));
        QVERIFY(login->List1->isHidden());
        QCOMPARE(mainShown, 1);
        const UserContext& c = userContext();
        QCOMPARE(c.EmployeeNo, QStringLiteral("0020"));
        QCOMPARE(c.EmployeeName, QStringLiteral("员工乙"));
        QCOMPARE(c.DeptCode, QStringLiteral("D02"));
        QCOMPARE(c.DeptName, QStringLiteral("人事部"));
        QCOMPARE(c.PositionCode, QStringLiteral("G03"));
        QCOMPARE(c.PositionName, QStringLiteral("专员"));
        QCOMPARE(c.DeptClassCode, QStringLiteral("C1"));
        QCOMPARE(c.DeptClassName, QStringLiteral("C1类"));
        QCOMPARE(c.PositionClassCode, QStringLiteral("P1"));
        QCOMPARE(c.PositionClassName, QStringLiteral("P1类"));
    }

    void twoPositionsWaitForDoubleClick()
    {
        typeAndLogin(QStringLiteral("0012"), QStringLiteral("123"));
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(mainShown, 0);
        QVERIFY(!login->List1->isHidden());
        QVERIFY(!login->Label2->isHidden());
        // The ended assignment does not count; the other two keep the server's order.
        QCOMPARE(login->List1->count(), 2);
        QCOMPARE(login->List1->item(0)->text(), QStringLiteral("财务部 会计(主要)"));
        QCOMPARE(login->List1->item(1)->text(), QStringLiteral("财务部 出纳(兼职)"));
        login->List1->setCurrentRow(1);
        login->List1_DblClick();
        QCOMPARE(mainShown, 1);
        QCOMPARE(userContext().PositionCode, QStringLiteral("G02"));
    }

    void positionListStartsWithoutAChoice()
    {
        typeAndClickOk(QStringLiteral("0012"), QStringLiteral("123"));
        QVERIFY(msgs().shown.isEmpty());
        QTRY_VERIFY(login->List1->isVisible());
        QVERIFY(login->List1->selectedItems().isEmpty());
        QCOMPARE(login->List1->currentRow(), -1);
        QTRY_VERIFY(login->List1->hasFocus());

        // Enter before a line is picked does nothing.
        QTest::keyClick(login->List1, Qt::Key_Return);
        QCOMPARE(mainShown, 0);
        QVERIFY(userContext().PositionCode.isEmpty());

        // The first arrow key picks the first line, the next one the second; Enter logs in.
        QTest::keyClick(login->List1, Qt::Key_Down);
        QCOMPARE(login->List1->selectedItems().size(), 1);
        QCOMPARE(login->List1->currentRow(), 0);
        QTest::keyClick(login->List1, Qt::Key_Down);
        QCOMPARE(login->List1->currentRow(), 1);
        QCOMPARE(mainShown, 0);
        QTest::keyClick(login->List1, Qt::Key_Return);
        QCOMPARE(mainShown, 1);
        QCOMPARE(userContext().PositionCode, QStringLiteral("G02"));
    }

    void doubleClickChoosesThePositionOnce()
    {
        typeAndClickOk(QStringLiteral("0012"), QStringLiteral("123"));
        QTRY_VERIFY(login->List1->isVisible());
        const QRect line = login->List1->visualItemRect(login->List1->item(1));
        QTest::mouseClick(login->List1->viewport(), Qt::LeftButton, {}, line.center());
        QCOMPARE(mainShown, 0);  // a click only picks the line
        QTest::mouseDClick(login->List1->viewport(), Qt::LeftButton, {}, line.center());
        QCOMPARE(mainShown, 1);
        QCOMPARE(userContext().PositionCode, QStringLiteral("G02"));
    }

    void passwordShowsStars()
    {
        login->show();
        QVERIFY(QTest::qWaitForWindowExposed(login.get()));
        QTest::keyClicks(login->txtPassword, QStringLiteral("secret"));
        QCOMPARE(login->txtPassword->text(), QStringLiteral("secret"));
        QCOMPARE(login->txtPassword->displayText(), QStringLiteral("******"));
    }

    void userNameWithTrailingBlankLogsInAsOnTheServer_data()
    {
        QTest::addColumn<bool>("odbc");
        QTest::newRow("QSQLITE") << false;
        QTest::newRow("QODBC") << true;
    }
    void userNameWithTrailingBlankLogsInAsOnTheServer()
    {
        QFETCH(bool, odbc);
        if (odbc) {
            if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
                QSKIP("Qt's ODBC driver is not installed");
            db = std::make_unique<TestDatabase>(TestDatabase::Access::Odbc);
            QVERIFY(db->isValid());
            fillOrganisation();
            db->useAsSettings();
        }
        // The suite's server ignores trailing blanks and letter case in the comparison.
        typeAndClickOk(QStringLiteral("0020 "), QStringLiteral("PW"));
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(mainShown, 1);
        QCOMPARE(userContext().EmployeeNo, QStringLiteral("0020"));
        QCOMPARE(userContext().PositionCode, QStringLiteral("G03"));
        QCOMPARE(SharedConnection::database().driverName(), odbc ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE"));
    }

    void retypingTheUserNameHidesTheList()
    {
        login->show();
        QVERIFY(QTest::qWaitForWindowExposed(login.get()));
        typeAndLogin(QStringLiteral("0012"), QStringLiteral("123"));
        QVERIFY(login->List1->isVisible());
        login->TxtUser->setFocus();
        QTRY_VERIFY(login->List1->isHidden());
        QVERIFY(login->Label2->isHidden());
        QTRY_COMPARE(login->TxtUser->selectedText(), QStringLiteral("0012"));
    }

    void enterMovesOnLikeTab()
    {
        login->show();
        QVERIFY(QTest::qWaitForWindowExposed(login.get()));
        login->TxtUser->setFocus();
        QTRY_VERIFY(login->TxtUser->hasFocus());
        QTest::keyClick(login->TxtUser, Qt::Key_Return);
        QTRY_VERIFY(login->txtPassword->hasFocus());
        QTest::keyClick(login->txtPassword, Qt::Key_Enter);
        QTRY_VERIFY(login->cmdOK->hasFocus());
        QVERIFY(msgs().shown.isEmpty());  // Enter did not press OK
    }

    void passwordIsTrimmedUserNameIsNot()
    {
        typeAndLogin(QStringLiteral("0020"), QStringLiteral("  pw  "));
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(mainShown, 1);
        typeAndLogin(QStringLiteral(" 0020"), QStringLiteral("pw"));
        QCOMPARE(msgs().lastText(), QStringLiteral("用户名或密码不正确,请重新输入!"));
    }

    void leftEmployeeHasNoPosition()
    {
        typeAndLogin(QStringLiteral("0030"), QStringLiteral("123"));
        QCOMPARE(msgs().lastText(), QStringLiteral("对不起，您没有岗位，请选择系统管理员"));
        QCOMPARE(msgs().shown.last().icon, MsgIcon::None);
        QCOMPARE(mainShown, 0);
    }

    void failedAttemptClearsTheContext()
    {
        typeAndLogin(QStringLiteral("0020"), QStringLiteral("pw"));
        QCOMPARE(userContext().EmployeeNo, QStringLiteral("0020"));
        typeAndLogin(QStringLiteral("0020"), QStringLiteral("bad"));
        QVERIFY(userContext().EmployeeNo.isEmpty());
        QVERIFY(userContext().PositionCode.isEmpty());
    }

    void databaseErrorKeepsTheWindowOpen()
    {
        QVERIFY(db->exec(QStringLiteral("drop table 岗位类别")));
        typeAndLogin(QStringLiteral("0020"), QStringLiteral("pw"));
        QVERIFY(msgs().lastText().contains(QStringLiteral("岗位类别")));
        QCOMPARE(mainShown, 0);
        QCOMPARE(platform->proc().endCount, 0);
    }

    void switchOfUserClosesInsteadOfShowingMain()
    {
        login->Tag = QStringLiteral("切换");
        login->show();
        typeAndLogin(QStringLiteral("sysOp"), QStringLiteral("lantor"));
        QCOMPARE(mainShown, 0);
        QCOMPARE(login->result(), int(QDialog::Accepted));
        QVERIFY(login->isHidden());
    }

    void cancelEndsTheProgram()
    {
        QTest::mouseClick(login->cmdCancel, Qt::LeftButton);
        QCOMPARE(platform->proc().endCount, 1);
    }

    void startParametersWithTenParts()
    {
        frmLogin other(*platform);
        int shown = 0;
        other.showMainWindow = [&] { ++shown; };
        QVERIFY(other.Form_Load(QStringLiteral("0012,员工甲,D01,财务部,G0103,,C1,管理部门,PL2,职员")));
        QCOMPARE(shown, 1);
        const UserContext& c = userContext();
        QCOMPARE(c.StartParameters, QStringLiteral("0012,员工甲,D01,财务部,G0103,,C1,管理部门,PL2,职员"));
        QCOMPARE(c.EmployeeNo, QStringLiteral("0012"));
        QCOMPARE(c.PositionCode, QStringLiteral("G0103"));
        QVERIFY(c.PositionName.isEmpty());
        QCOMPARE(c.PositionClassName, QStringLiteral("职员"));
        QVERIFY(SharedConnection::isOpen());
    }

    void startParametersAreNotTrimmed()
    {
        frmLogin other(*platform);
        other.showMainWindow = [] {};
        QVERIFY(other.Form_Load(QStringLiteral(" 0012 ,a,b,c,d,e,f,g,h,i")));
        QCOMPARE(userContext().EmployeeNo, QStringLiteral(" 0012 "));
    }

    void fewerThanTenPartsShowTheLogin()
    {
        frmLogin other(*platform);
        int shown = 0;
        other.showMainWindow = [&] { ++shown; };
        QVERIFY(!other.Form_Load(QStringLiteral("0012,员工甲,D01")));
        QCOMPARE(shown, 0);
        QCOMPARE(other.Label1->text(), QStringLiteral("V1.0版"));
        QVERIFY(userContext().EmployeeNo.isEmpty());
        // Rejected parameters do not make a launcher session.
        QVERIFY(userContext().StartParameters.isEmpty());
    }

    void startParametersWithoutDatabaseFallBack()
    {
        ConnectionSettings{}.toStore();
        frmLogin other(*platform);
        int shown = 0;
        other.showMainWindow = [&] { ++shown; };
        QVERIFY(!other.Form_Load(QStringLiteral("a,b,c,d,e,f,g,h,i,j")));
        QCOMPARE(shown, 0);
        QVERIFY(msgs().lastText().startsWith(QStringLiteral("数据库连接失败!\n尚未设置数据库连接")));
        QCOMPARE(platform->proc().endCount, 0);
    }
};

QTEST_MAIN(LoginTest)
#include "test_login.moc"
