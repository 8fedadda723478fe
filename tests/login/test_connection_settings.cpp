#include "TestSupport.h"

#include "db/ConnectionCheck.h"
#include "login/frmConnectionSettings.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

// The connection-settings dialog driven as a user does: choosing, typing, clicking.
class ConnectionSettingsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TestPlatform> platform;
    std::unique_ptr<frmConnectionSettings> dialog;

    void open()
    {
        dialog = std::make_unique<frmConnectionSettings>(*platform);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    // Clicks a choice on its round mark, then types each text into its box.
    void fill(QRadioButton* kind, const QList<QPair<QLineEdit*, QString>>& texts)
    {
        QTest::mouseClick(kind, Qt::LeftButton, {}, QPoint(6, kind->height() / 2));
        for (const auto& [box, text] : texts) {
            box->clear();
            QTest::keyClicks(box, text);
        }
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        platform = std::make_unique<TestPlatform>();
        platform->msgs().strict = true;
    }
    void cleanup()
    {
        dialog.reset();
        SharedConnection::release();
        platform.reset();
        db.reset();
    }

    // Saving changes only the four keys' lines: comments, other keys and sections, their order,
    // the byte-order mark, CRLF line ends and a last line without an end stay as they were; the
    // password comes back as typed and reaches the ODBC driver in braces. Cancel writes nothing.
    void savingAmendsOnlyTheFourKeys()
    {
        const QByteArray before("\xEF\xBB\xBF; Corvane\r\n[General]\r\nColour=blue\r\n\r\n[dbconfig]\r\n# server\r\n"
                                "svr = old\r\nUID=first\r\nTimeout=5\r\nUID=second\r\n\r\n[Last]\r\nX=1");
        QVERIFY(writeSettingsText(before));
        const QString password = QStringLiteral("p;w=\"x\\y}");
        for (const bool save : {false, true}) {
            open();
            QCOMPARE(dialog->txtLogin->text(), QStringLiteral("second"));
            fill(dialog->optServer, {{dialog->txtServer, QStringLiteral("dbhost\\SQLEXPRESS")},
                                     {dialog->txtLogin, QStringLiteral("quarvel")},
                                     {dialog->txtPassword, password},
                                     {dialog->txtDatabase, QStringLiteral("CorvaneMIS")}});
            QCOMPARE(dialog->txtPassword->echoMode(), QLineEdit::Password);
            click(save ? dialog->cmdSave : dialog->cmdCancel);
            QCOMPARE(dialog->result(), int(save ? QDialog::Accepted : QDialog::Rejected));
            if (!save)
                QCOMPARE(settingsText(), before);
        }
        QCOMPARE(settingsText(),
                 QByteArray("\xEF\xBB\xBF; Corvane\r\n[General]\r\nColour=blue\r\n\r\n[dbconfig]\r\n"
                            "# server\r\nsvr =dbhost\\SQLEXPRESS\r\nUID=first\r\nTimeout=5\r\n"
                            "UID=quarvel\r\nPWD=p;w=\"x\\y}\r\nDBname=CorvaneMIS\r\n\r\n[Last]\r\nX=1"));
        const ConnectionSettings back = ConnectionSettings::fromStore();
        QCOMPARE(back.pwd, password);
        QVERIFY(resolveTarget(back.uid, back.pwd, back.dbName, back.svr)
                    .databaseName.contains(QStringLiteral(";PWD={p;w=\"x\\y}}};")));
        open();
        QCOMPARE(dialog->txtPassword->text(), password);
        QVERIFY(dialog->lblIntro->isHidden());
    }

    // "测试连接" tries the values in the boxes and answers in the login's words; nothing is saved.
    void testSaysWhatTheLoginWouldSay()
    {
        open();
        fill(dialog->optServer, {});
        click(dialog->cmdTest);
        QCOMPARE(platform->msgs().lastText(), QStringLiteral("请填写数据库服务器。"));
        fill(dialog->optFile, {{dialog->txtFile, db->dir() + QStringLiteral("/missing.db")}});
        click(dialog->cmdTest);
        QCOMPARE(platform->msgs().lastText(), testConnection(dialog->form().toSettings()).failureMessage());
        QVERIFY(platform->msgs().lastText().startsWith(QStringLiteral("数据库连接失败!\n数据库文件不存在")));
        fill(dialog->optFile, {{dialog->txtFile, db->path()}});
        click(dialog->cmdTest);
        QCOMPARE(platform->msgs().lastText(), QStringLiteral("连接成功。"));
        QCOMPARE(settingsText(), QByteArray("<none>"));
    }

    // A fresh installation: the dialog explains the two choices and makes an empty database.
    void firstStartMakesAnEmptyDatabase()
    {
        open();
        QVERIFY(dialog->lblIntro->isVisible());
        const QString path = db->dir() + QStringLiteral("/office/quarvel.db");
        platform->dialogsDouble().answers << path;
        click(dialog->cmdCreate);
        QVERIFY(platform->msgs().lastText().startsWith(QStringLiteral("已新建空数据库：")));
        QVERIFY(dialog->optFile->isChecked());
        click(dialog->cmdSave);
        QCOMPARE(settingsText(), QByteArray("[DBConfig]\nSvr=sqlite:") + path.toUtf8() + "\nUID=\nPWD=\nDBname=\n");
        QVERIFY(openSharedConnection(ConnectionSettings::fromStore()).ok());
    }
};

QTEST_MAIN(ConnectionSettingsTest)
#include "test_connection_settings.moc"
