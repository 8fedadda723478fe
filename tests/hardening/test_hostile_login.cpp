// Hostile employee numbers, passwords and launcher start parameters through the login window
// and the main window's menu permissions: no statement error, nothing written, and only the
// employee or position that the text names exactly is found.

#include "HostileInputs.h"
#include "Organisation.h"

#include "db/Query.h"
#include "login/UserContext.h"
#include "login/frmLogin.h"
#include "mainwindow/MDIForm1.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class HostileLoginTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<frmLogin> login;
    int mainShown = 0;
    Tally tally;
    QStringList problems;

    void typeAndClickOk(const QString& user, const QString& password)
    {
        enterText(login->TxtUser, user);
        enterText(login->txtPassword, password);
        QTest::mouseClick(login->cmdOK, Qt::LeftButton);
    }

    // A text that can be an employee number or position code of its column.
    static bool fitsACode(const QString& text)
    {
        return !text.trimmed().isEmpty() && text.size() <= 20 && text == text.trimmed() && !text.contains(u',');
    }

    static QStringList enabledEntries(const MDIForm1& w)
    {
        QStringList out;
        for (QAction* a : w.menuControls())
            if (a->isEnabled() && !a->isSeparator())
                out << a->objectName();
        return out;
    }

private slots:
    void initTestCase() { tally.begin(); }

    void init()
    {
        QVERIFY(setUp(/*connect*/ false));
        Organisation org = organisation();
        org.departments({kFinance});
        org.positions({kAccountant});
        org.employees({kClerk});
        org.assignments({{"0012", "G01"}});
        db->useAsSettings();
        login = std::make_unique<frmLogin>(*platform);
        mainShown = 0;
        login->showMainWindow = [this] { ++mainShown; };
        QVERIFY(!login->Form_Load(QString()));
        login->show();
        QVERIFY(QTest::qWaitForWindowExposed(login.get()));
    }

    void cleanup()
    {
        login.reset();
        tearDown();
    }

    // The watch that every suite relies on sees statements and their errors.
    void theWatchSeesStatementsAndErrors()
    {
        QVERIFY(db->connectShared());
        StatementWatch::clearErrors();
        const qint64 before = StatementWatch::statements();
        Query good(QStringLiteral("select count(*) as n from 员工档案"));
        QVERIFY(good.exec());
        QVERIFY(StatementWatch::statements() > before);
        QVERIFY(StatementWatch::errors().isEmpty());
        Query bad(QStringLiteral("select * from 没有这个表"));
        QVERIFY(!bad.exec());
        QVERIFY(!StatementWatch::errors().isEmpty());
        StatementWatch::clearErrors();
    }

    void hostileNumbersAndPasswordsFindNobody()
    {
        tally.places += 2;
        for (const HostileText& h : hostileTexts()) {
            {
                Probe probe(*db, msgs(), tally, problems, QStringLiteral("number ") + h.label);
                typeAndClickOk(h.text, QStringLiteral("123"));
                probe.finish();
                if (mainShown != 0)
                    probe.problem(QStringLiteral("logged in"));
            }
            {
                Probe probe(*db, msgs(), tally, problems, QStringLiteral("password ") + h.label);
                typeAndClickOk(QStringLiteral("0012"), h.text);
                probe.finish();
                if (mainShown != 0 || !login->List1->isHidden())
                    probe.problem(QStringLiteral("logged in"));
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void anEmployeeWithAHostileNumberLogsInAsHimself()
    {
        tally.places += 1;
        Organisation org = organisation();
        int n = 0;
        for (const HostileText& h : hostileTexts()) {
            if (!fitsACode(h.text))
                continue;
            const QString position = QStringLiteral("GH%1").arg(++n);
            org.positions({{position, h.text.left(20), "D01", h.text}});
            org.employees({{h.text, QStringLiteral("员工") + h.text, h.text}});
            org.assignments({{h.text, position}});
        }
        n = 0;
        for (const HostileText& h : hostileTexts()) {
            if (!fitsACode(h.text))
                continue;
            const QString position = QStringLiteral("GH%1").arg(++n);
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("own number ") + h.label);
            mainShown = 0;
            typeAndClickOk(h.text, h.text);
            probe.finish();
            if (mainShown != 1)
                probe.problem(QStringLiteral("not logged in: ") + probe.messages().join(u'|'));
            if (userContext().EmployeeNo != h.text || userContext().PositionCode != position)
                probe.problem(
                    QStringLiteral("logged in as %1 / %2").arg(userContext().EmployeeNo, userContext().PositionCode));
            // Another's password does not open it.
            Probe wrong(*db, msgs(), tally, problems, QStringLiteral("own number, other password ") + h.label);
            mainShown = 0;
            typeAndClickOk(h.text, QStringLiteral("123"));
            wrong.finish();
            if (mainShown != 0)
                wrong.problem(QStringLiteral("logged in with another password"));
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void hostilePositionsFromTheLauncherGetOnlyTheirOwnMenu()
    {
        tally.places += 1;
        Organisation org = organisation();
        // A reference position with the same grants, and another position with more.
        org.menuRight(QStringLiteral("R0"), QStringLiteral("GCLEAN"), QStringLiteral("公司Quarvel"), 1);
        org.menuRight(QStringLiteral("R0"), QStringLiteral("GCLEAN"), QStringLiteral("公司资料查阅"), 1);
        org.menuRight(QStringLiteral("RX"), QStringLiteral("GOTHER"), QStringLiteral("资料基础设置"), 1);
        org.menuRight(QStringLiteral("RX"), QStringLiteral("GOTHER"), QStringLiteral("资料类型设置"), 1);
        int n = 0;
        for (const HostileText& h : hostileTexts()) {
            if (!fitsACode(h.text))
                continue;
            const QString group = QStringLiteral("R%1").arg(++n);
            org.menuRight(group, h.text, QStringLiteral("公司Quarvel"), 1);
            org.menuRight(group, h.text, QStringLiteral("公司资料查阅"), 1);
        }
        QStringList expected;
        {
            userContext() = UserContext{};
            userContext().EmployeeNo = QStringLiteral("0012");
            userContext().PositionCode = QStringLiteral("GCLEAN");
            QVERIFY(db->connectShared());
            MDIForm1 reference(*platform, *login);
            expected = enabledEntries(reference);
            QVERIFY(expected.contains(QStringLiteral("公司资料查阅")));
        }
        for (const HostileText& h : hostileTexts()) {
            if (!fitsACode(h.text))
                continue;
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("launcher position ") + h.label);
            std::unique_ptr<MDIForm1> main;
            frmLogin starter(*platform);
            starter.showMainWindow = [&] { main = std::make_unique<MDIForm1>(*platform, starter); };
            const bool started =
                starter.Form_Load(QStringLiteral("0012,员工甲,D01,财务部,%1,会计,C1,管理部门,PL2,职员").arg(h.text));
            if (!main) {
                probe.finish();
                probe.problem(QStringLiteral("no main window (%1)").arg(started));
                continue;
            }
            main->权限设置();
            probe.finish();
            if (userContext().PositionCode != h.text)
                probe.problem(QStringLiteral("position read as ") + userContext().PositionCode);
            if (enabledEntries(*main) != expected)
                probe.problem(QStringLiteral("menu ") + enabledEntries(*main).join(u','));
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void cleanupTestCase() { tally.report("login and main window"); }
};

QUARVEL_HOSTILE_MAIN(HostileLoginTest)
#include "test_hostile_login.moc"
