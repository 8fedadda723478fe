#include "InputDriving.h"
#include "Organisation.h"
#include "TestSupport.h"
#include "UploadControls.h"
#include "db/TextCollation.h"
#include "widgets/WaitCursor.h"

#include "library/FullTextIndex.h"
#include "library/RightsPanel.h"
#include "library/UploadPanels.h"
#include "library/frmUpload.h"
#include "login/UserContext.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"
#include "widgets/tree/KeyedTreeModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <sqlite3.h>

#include <thread>

using namespace quarvel;
using namespace quarvel::test;

class UploadWindowTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

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
                     const QVariant& bytes = QByteArray("%PDF-1.4 content"),
                     const QString& position = QStringLiteral("G01"))
    {
        QVERIFY(db->insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), number},
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
    // A double click on the list's current row.
    static void doubleClickCurrentRow(Frm公司资料上传& w)
    {
        FlexGrid& grid = *UploadControls(w).MSFlexGrid1;
        doubleClickCell(grid, grid.row());
    }
    static void clickRow(Frm公司资料上传& w, int row) { clickCell(*UploadControls(w).MSFlexGrid1, row); }

    void fillNew(Frm公司资料上传& w, const QString& number, const QString& path)
    {
        UploadControls ui(w);
        click(UploadControls(w).Command1);
        ui.Text1[0]->setText(number);
        ui.Text1[1]->setText(QStringLiteral("新文件"));
        ui.Text1[4]->setText(QStringLiteral("0101 人事制度"));
        ui.Text4->setText(QStringLiteral("2"));
        platform->dialogsDouble().answers = {path};
        click(UploadControls(w).Picture8[1]);
    }


    static QDateTime day(int n) { return QDateTime(QDate(2026, 3, n), QTime(9, 5)); }

    // Every stored document, every column, in the order of the IDs.
    QList<QVariantList> documents()
    {
        QList<QVariantList> rows;
        QSqlQuery q(db->fixtureConnection());
        if (!q.exec(QStringLiteral("select * from 公司文件信息 order by ID")))
            qWarning("documents: %s", qPrintable(q.lastError().text()));
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            rows << row;
        }
        return rows;
    }

    QString nameOf(const QString& number)
    {
        return db->scalar(QStringLiteral("select 文件名称 from 公司文件信息 where 编号 = ?"), {number}).toString();
    }

    // --- what the user does ---

    static bool showWindow(QWidget& w)
    {
        w.show();
        return QTest::qWaitForWindowExposed(&w);
    }


    static void retype(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        typeInto(field, text);
    }

    // Picks the type 0101 from the type panel.
    static void chooseType(Frm公司资料上传& w)
    {
        UploadControls ui(w);
        click(ui.Picture8[2]);
        clickNode(*ui.TreeView2, QStringLiteral("S0101"));
        click(ui.Command18);
    }

    void chooseFile(Frm公司资料上传& w, const QString& path)
    {
        UploadControls ui(w);
        platform->dialogsDouble().answers = {path};
        click(ui.Picture8[1]);
    }

    // "新增" and every required field typed or chosen.
    void enterNewDocument(Frm公司资料上传& w, const QString& number, const QString& name, const QString& path)
    {
        UploadControls ui(w);
        click(ui.Command1);
        typeInto(ui.Text1[0], number);
        typeInto(ui.Text1[1], name);
        chooseType(w);
        typeInto(ui.Text4, QStringLiteral("2"));
        chooseFile(w, path);
    }

    // The shared connection's SQLite handle.
    static sqlite3* sharedHandle()
    {
        const QVariant handle = SharedConnection::database().driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return nullptr;
        return *static_cast<sqlite3* const*>(handle.constData());
    }

    // Notes what the window shows while a statement waits for a locked database, then gives up.
    struct BusyProbe {
        QLabel* status = nullptr;
        int calls = 0;
        int cursor = -1;
        QString statusText;

        static int onBusy(void* self, int)
        {
            auto* probe = static_cast<BusyProbe*>(self);
            ++probe->calls;
            const QCursor* cursor = QApplication::overrideCursor();
            probe->cursor = cursor ? static_cast<int>(cursor->shape()) : -1;
            probe->statusText = probe->status->text();
            return 0;
        }
    };

private slots:
    void init()
    {
        QVERIFY(setUp());
        organisation().finance();
        for (const auto& [code, name, parent] :
             {std::tuple{"01", "制度", ""}, std::tuple{"0101", "人事制度", "01"}, std::tuple{"0102", "财务制度", "01"}})
            QVERIFY(
                db->insert(QStringLiteral("资料类型"),
                           {{QStringLiteral("编号"), QString::fromUtf8(code)},
                            {QStringLiteral("名称"), QString::fromUtf8(name)},
                            {QStringLiteral("上级编号"), *parent ? QVariant(QString::fromUtf8(parent)) : QVariant()},
                            {QStringLiteral("级别"), *parent ? 1 : 0}}));
        QVERIFY(db->insert(QStringLiteral("资料上传权限"), {{QStringLiteral("文件编号"), QStringLiteral("0101")},
                                                            {QStringLiteral("岗位代号"), QStringLiteral("G01")}}));
        QVERIFY(db->insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QStringLiteral("Z1")},
                                                          {QStringLiteral("组名称"), QStringLiteral("财务组")}}));
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));
    }

    void cleanup() { tearDown(); }

    void opensWithItsListAndTrees()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("年度报告2013"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        addDocument(QStringLiteral("B-1"), QStringLiteral("别人的"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 1), QTime(9, 5)), QByteArray("x"), QStringLiteral("G99"));
        auto w = open();
        UploadControls ui(*w);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(w->windowTitle(), QStringLiteral("公司资料上传"));
        QCOMPARE(ui.MSFlexGrid1->cols(), 10);
        QCOMPARE(ui.MSFlexGrid1->rows(), 2);
        QCOMPARE(ui.MSFlexGrid1->textMatrix(0, 1), QStringLiteral("编号"));
        QCOMPARE(ui.MSFlexGrid1->textMatrix(1, 1), QStringLiteral("A-1"));
        QCOMPARE(ui.MSFlexGrid1->textMatrix(1, 2), QStringLiteral("0101 人事制度"));
        QCOMPARE(ui.MSFlexGrid1->textMatrix(1, 8), QStringLiteral("2026-03-01 09:05"));
        QCOMPARE(ui.MSFlexGrid1->colWidth(9), 0);
        QCOMPARE(ui.Command1->text(), QStringLiteral("新增"));
        QCOMPARE(ui.TreeView2->picture(QStringLiteral("S0101")), 1);
        QCOMPARE(ui.TreeView2->picture(QStringLiteral("S0102")), 2);
        QCOMPARE(ui.List1->count(), 1);
        QCOMPARE(ui.List1->item(0)->text(), QStringLiteral("Z1 财务组"));
        QVERIFY(!ui.txtMC->isEnabled());
        QCOMPARE(ui.DTPicker1->date().day(), 1);
        QVERIFY(ui.TreeView1->contains(QStringLiteral("$D01")));
        QCOMPARE(ui.ListCount->text(), QStringLiteral("已显示 1 / 共 1 条"));
        click(ui.comLook);
        QCOMPARE(ui.MSFlexGrid1->rows(), 2);
        QCOMPARE(ui.ListCount->text(), QStringLiteral("已显示 1 / 共 1 条"));
    }

    void insertStoresAndResets()
    {
        auto w = open();
        UploadControls ui(*w);
        const QString path = makeFile(QStringLiteral("报告.V2.PDF"), QByteArray("%PDF-1.7 abcdefgh"));
        fillNew(*w, QStringLiteral("N'1"), path);
        QCOMPARE(ui.Text2->text(), path);
        ui.Text1[2]->clear();
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().texts(), QStringList({QStringLiteral("新增成功!")}));
        QCOMPARE(db->scalar(QStringLiteral("select 附件后缀 from 公司文件信息 where 编号 = ?"), {QStringLiteral("N'1")})
                     .toString(),
                 QStringLiteral("PDF"));
        QVERIFY(db->scalar(QStringLiteral("select 摘要 from 公司文件信息 where 编号 = ?"), {QStringLiteral("N'1")})
                    .isNull());
        QCOMPARE(db->scalar(QStringLiteral("select 文件 from 公司文件信息 where 编号 = ?"), {QStringLiteral("N'1")})
                     .toByteArray(),
                 QByteArray("%PDF-1.7 abcdefgh"));
        QCOMPARE(ui.Command1->text(), QStringLiteral("新增"));
        for (QLineEdit* e : ui.Text1)
            QVERIFY(e->text().isEmpty());
        QVERIFY(ui.Text2->text().isEmpty());
        QCOMPARE(ui.MSFlexGrid1->rows(), 2);
        QCOMPARE(ui.MSFlexGrid1->textMatrix(1, 1), QStringLiteral("N'1"));
    }

    // A picture's text is read in the background: the status line says so until it ends.
    void pictureIndexedInTheBackgroundIsTold()
    {
        auto w = open();
        UploadControls ui(*w);
        QImage blank(200, 100, QImage::Format_RGB32);
        blank.fill(Qt::white);
        const QString path = makeFile(QStringLiteral("图.png"), QByteArray());
        QVERIFY(blank.save(path));
        fillNew(*w, QStringLiteral("P-1"), path);
        click(ui.Command2);
        QCOMPARE(ui.StatusText->text(), QStringLiteral("P-1：正在建立全文索引"));
        QVERIFY(BackgroundIndexing::instance().waitIdle(60000));
        QTRY_COMPARE(ui.StatusText->text(), QStringLiteral("P-1：无可检索的文字"));
    }

    void insertWithAnExistingNumberKeepsAdding()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("旧"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        auto w = open();
        UploadControls ui(*w);
        fillNew(*w, QStringLiteral("A-1"), makeFile(QStringLiteral("a.txt"), "hello world"));
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件编号已经存在,不能新增!"));
        QCOMPARE(ui.Command1->text(), QStringLiteral("取消"));
        QCOMPARE(ui.Text1[0]->text(), QStringLiteral("A-1"));
        QCOMPARE(ui.Text1[1]->text(), QStringLiteral("新文件"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 1);
    }

    void saveChecksInOrder()
    {
        auto w = open();
        UploadControls ui(*w);
        click(UploadControls(*w).Command1);
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件编号不能为空!"));
        QCOMPARE(msgs().shown.last().icon, MsgIcon::Information);
        // Numbers are kept without outer blanks: blanks alone are no number.
        ui.Text1[0]->setText(QStringLiteral(" \u3000"));
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件编号不能为空!"));
        ui.Text1[0]->setText(QStringLiteral(" X "));
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件名称不能为空!"));
        ui.Text1[1]->setText(QStringLiteral("x"));
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件类别不能为空!"));
        ui.Text1[4]->setText(QStringLiteral("0101 人事制度"));
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件级别不能为空!"));
        ui.Text4->setText(QStringLiteral("1"));
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("无文件加载,文件路径不能为空!"));
        click(UploadControls(*w).Command1);  // back to viewing: nothing to edit in an empty list
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("没有可以编辑的信息,请重新选择或新增项目!"));
    }

    void queryMessageComesBeforeTheSuccess()
    {
        auto w = open();
        UploadControls ui(*w);
        ui.Check2->setChecked(true);
        fillNew(*w, QStringLiteral("Q-1"), makeFile(QStringLiteral("q.txt"), "content!"));
        click(UploadControls(*w).Command2);
        QCOMPARE(msgs().texts(),
                 QStringList({QStringLiteral("请输入查询条件文件名称的值！"), QStringLiteral("新增成功!")}));
        QCOMPARE(ui.MSFlexGrid1->rows(), 1);  // not refreshed
    }

    void focusFollowsTheFieldsAndTheRefusals()
    {
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        click(ui.Command1);  // adding: the number takes the focus
        QCOMPARE(QApplication::focusWidget(), ui.Text1[0]);
        QStringList visited;
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited,
                 QStringList({"Text1(1)", "Text1(2)", "Picture8(2)", "Picture8(1)", "Text4", "Text1(3)", "Command1"}));

        // A ticked condition without its value puts the focus in the value's box.
        click(ui.Check2);
        click(ui.comLook);
        QCOMPARE(msgs().lastText(), QStringLiteral("请输入查询条件文件名称的值！"));
        QCOMPARE(QApplication::focusWidget(), ui.txtMC);
        click(ui.Check2);
        click(ui.Check5);
        click(ui.comLook);
        QCOMPARE(msgs().lastText(), QStringLiteral("请输入查询条件关键字的值！"));
        QCOMPARE(QApplication::focusWidget(), ui.txtKey);
    }

    void newThenCancel()
    {
        auto w = open();
        UploadControls ui(*w);
        click(UploadControls(*w).Command1);
        QVERIFY(ui.Text1[0]->isEnabled());
        ui.Text1[0]->setText(QStringLiteral("typed"));
        click(UploadControls(*w).Command1);
        QVERIFY(!ui.Text1[0]->isEnabled());
        QCOMPARE(ui.Text1[0]->text(), QStringLiteral("typed"));
        QCOMPARE(ui.Command1->text(), QStringLiteral("新增"));
    }

    void updateWithoutANewFile()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("旧名"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        auto w = open();
        UploadControls ui(*w);
        clickRow(*w, 1);
        QCOMPARE(ui.Text1[0]->text(), QStringLiteral("A-1"));
        QVERIFY(!ui.Text1[0]->isEnabled());
        ui.Text1[1]->setText(QStringLiteral("新名"));
        userContext().DeptCode = QStringLiteral("D01");
        click(UploadControls(*w).Command2);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(db->scalar(QStringLiteral("select 文件名称 from 公司文件信息")).toString(), QStringLiteral("新名"));
        QCOMPARE(db->scalar(QStringLiteral("select 上传日期 from 公司文件信息")).toString(),
                 QStringLiteral("2026-03-01 09:05:00"));
        QCOMPARE(db->scalar(QStringLiteral("select 文件 from 公司文件信息")).toByteArray(),
                 QByteArray("%PDF-1.4 content"));
        QCOMPARE(ui.Text1[1]->text(), QStringLiteral("新名"));  // the row was selected again
    }

    void deleteRemovesTheRightsByNumber()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), QStringLiteral("A-1")},
                                                            {QStringLiteral("岗位代号"), QStringLiteral("G01")}}));
        QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), QStringLiteral("B-1")},
                                                            {QStringLiteral("岗位代号"), QStringLiteral("G01")}}));
        auto w = open();
        UploadControls ui(*w);
        clickRow(*w, 1);
        msgs().answers = {MsgAnswer::No};
        click(UploadControls(*w).Command3);
        QCOMPARE(msgs().lastText(), QStringLiteral("是否要删除  编号为A-1的信息?"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 1);
        msgs().answers = {MsgAnswer::Yes};
        click(UploadControls(*w).Command3);
        QCOMPARE(msgs().lastText(), QStringLiteral("删除成功!"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限")).toInt(), 1);
        QCOMPARE(ui.MSFlexGrid1->rows(), 1);
        QVERIFY(ui.Text1[0]->text().isEmpty());
    }

    void typePanelTakesOnlyUploadableTypes()
    {
        auto w = open();
        UploadControls ui(*w);
        click(UploadControls(*w).Picture8[2]);
        QVERIFY(!ui.Frame3->isHidden());
        QVERIFY(!w->typePanelServesQuery());
        clickNode(*UploadControls(*w).TreeView2, QStringLiteral("S0101"));
        QCOMPARE(ui.Text1[4]->text(), QStringLiteral("0101 人事制度"));
        clickNode(*UploadControls(*w).TreeView2, QStringLiteral("S0102"));
        QVERIFY(ui.Text1[4]->text().isEmpty());
        click(UploadControls(*w).Command18);
        QVERIFY(ui.Frame3->isHidden());
        click(ui.Check4);  // the query's type is chosen once its box is ticked
        click(ui.Picture8[0]);
        QVERIFY(w->typePanelServesQuery());
        clickNode(*UploadControls(*w).TreeView2, QStringLiteral("S0102"));
        QCOMPARE(ui.Text6->text(), QStringLiteral("0102 财务制度"));
    }

    void superUserFindsNoUploadableType()
    {
        userContext() = UserContext{};
        userContext().EmployeeNo = superUserMarker();
        auto w = open();
        UploadControls ui(*w);
        for (const QString& key : ui.TreeView2->keys())
            QVERIFY(ui.TreeView2->picture(key) != 1);
        click(UploadControls(*w).Picture8[2]);
        clickNode(*UploadControls(*w).TreeView2, QStringLiteral("S0101"));
        QVERIFY(ui.Text1[4]->text().isEmpty());
    }

    void fileDialogStartsInTheDocumentsAndRemembersTheLastPath()
    {
        auto w = open();
        UploadControls ui(*w);
        platform->dialogsDouble().answers = {QStringLiteral("/data/a.pdf"), QString()};
        click(ui.Picture8[1]);
        QCOMPARE(ui.Text2->text(), QStringLiteral("/data/a.pdf"));
        click(ui.Picture8[1]);  // cancelled: the last confirmed path again
        QCOMPARE(ui.Text2->text(), QStringLiteral("/data/a.pdf"));
        const auto& asked = platform->dialogsDouble().asked;
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(asked.first().startPath, QDir(documents).exists() ? documents : QDir::homePath());
        QCOMPARE(asked.first().filters.size(), 5);
        QCOMPARE(asked.first().filters.first(), QStringLiteral("所有文件 (*)"));
        QCOMPARE(asked.last().startPath, QStringLiteral("/data/a.pdf"));
    }

    // The real dialog: Qt's own, in the start folder, and "所有文件" lists every file.
    void realOpenDialogListsEveryFile()
    {
        QTemporaryDir folder;
        QVERIFY(writeFile(folder.filePath(QStringLiteral("说明.txt")), "a"));
        QVERIFY(writeFile(folder.filePath(QStringLiteral("图.png")), "b"));
        int listed = -1;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            const auto close = qScopeGuard([dialog] { dialog->reject(); });
            QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
            QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
            QCOMPARE(dialog->selectedNameFilter(), QStringLiteral("所有文件 (*)"));
            auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
            QVERIFY(list);
            QTRY_COMPARE(list->model()->rowCount(list->rootIndex()), 2);
            listed = list->model()->rowCount(list->rootIndex());
        });
        QtFileDialogs dialogs;
        QVERIFY(
            dialogs.openFileName(nullptr, QStringLiteral("选择文件"), {QStringLiteral("所有文件 (*)")}, folder.path())
                .isEmpty());
        QCOMPARE(listed, 2);
    }

    void openingWritesASafeTemporaryCopy()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("../../逃逸/报告"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        addDocument(QStringLiteral("A-2"), QStringLiteral("空"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 2), QTime(9, 5)));
        db->exec(QStringLiteral("update 公司文件信息 set 文件 = null where 编号 = 'A-2'"));
        auto w = open();
        UploadControls ui(*w);
        // The opening list holds only documents with content.
        QCOMPARE(ui.MSFlexGrid1->rows(), 2);
        clickRow(*w, 1);
        doubleClickCurrentRow(*w);
        const QStringList opened = platform->shellDouble().openedFiles;
        QCOMPARE(opened.size(), 1);
        const QFileInfo copy(opened.first());
        QCOMPARE(copy.absolutePath(), QDir(files.filePath(QStringLiteral("temp"))).absolutePath());
        QVERIFY(copy.fileName().contains(QStringLiteral("报告")));
        QVERIFY(copy.fileName().endsWith(QStringLiteral(".pdf")));
        QFile written(copy.filePath());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("%PDF-1.4 content"));
        QCOMPARE(w->ViewDocumentID,
                 db->scalar(QStringLiteral("select ID from 公司文件信息 where 编号 = 'A-1'")).toLongLong());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载记录")).toInt(), 0);

        ui.Check2->setChecked(true);
        ui.txtMC->setText(QStringLiteral("空"));
        click(UploadControls(*w).comLook);
        clickRow(*w, 1);
        doubleClickCurrentRow(*w);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件存储内容为空"));

        platform->shellDouble().result = false;
        ui.Check2->setChecked(false);
        click(UploadControls(*w).comLook);
        clickRow(*w, 1);  // oldest first: the document with content
        doubleClickCurrentRow(*w);
        QCOMPARE(msgs().lastText(), QStringLiteral("没有能够打开所选附件文件，可能您的电脑上没有安装相应的软件"));
    }

    void aCopyThatCannotBeMadeIsReported()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("报告"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        auto w = open();
        UploadControls ui(*w);
        // The temporary folder cannot be made: a file holds its parent's name.
        const QString blocker = files.filePath(QStringLiteral("blocked"));
        {
            QFile file(blocker);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a folder");
        }
        w->setTempFolder(blocker + QStringLiteral("/temp"));
        clickRow(*w, 1);
        doubleClickCurrentRow(*w);
        QCOMPARE(msgs().shown.size(), 2);
        const auto& failure = msgs().shown.first();
        QCOMPARE(failure.title, QStringLiteral("下载文件出错!"));
        QCOMPARE(failure.icon, MsgIcon::Critical);
        QCOMPARE(failure.buttons, MsgButtons::Ok);
        QVERIFY(!failure.text.isEmpty());
        QCOMPARE(msgs().lastText(), QStringLiteral("没有能够打开所选附件文件，可能您的电脑上没有安装相应的软件"));
        QVERIFY(platform->shellDouble().openedFiles.isEmpty());
    }

    void permissionButtonNeedsADocument()
    {
        auto w = open();
        UploadControls ui(*w);
        click(UploadControls(*w).Command7);
        QCOMPARE(msgs().lastText(), QStringLiteral("请选择要设置权限的文件!"));
        addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        click(UploadControls(*w).comLook);
        clickRow(*w, 1);
        click(UploadControls(*w).Command1);  // adding
        click(UploadControls(*w).Command7);
        QCOMPARE(msgs().shown.size(), 2);
    }

    // --- the document that "确定" changes ---

    // Nothing is loaded into the fields (just opened, after an insert, after "新增" and its
    // cancel): whatever is typed, the save stores nothing.
    void saveWithoutALoadedDocumentWritesNothing_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("just opened") << QString();
        QTest::newRow("after an insert") << QStringLiteral("insert");
        QTest::newRow("new, then cancel") << QStringLiteral("cancel");
    }
    void saveWithoutALoadedDocumentWritesNothing()
    {
        QFETCH(QString, before);
        addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"), day(1));
        addDocument(QStringLiteral("A-2"), QStringLiteral("乙"), QStringLiteral("0101"), day(2));
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        if (before == QLatin1String("insert")) {
            clickCell(*ui.MSFlexGrid1, 1);
            QCOMPARE(w->loadedDocument()->number, QStringLiteral("A-1"));
            enterNewDocument(*w, QStringLiteral("N-1"), QStringLiteral("新"), makeFile(QStringLiteral("a.txt"), "c"));
            click(ui.Command2);
            QCOMPARE(msgs().lastText(), QStringLiteral("新增成功!"));
            msgs().shown.clear();
        } else if (before == QLatin1String("cancel")) {
            clickCell(*ui.MSFlexGrid1, 1);
            click(ui.Command1);
        }
        // (Straight after opening the first row is current, but nothing was loaded from it.)
        const auto stored = documents();
        typeInto(ui.Text1[0], QStringLiteral("NEW-1"));
        typeInto(ui.Text1[1], QStringLiteral("新名称"));
        chooseType(*w);
        typeInto(ui.Text4, QStringLiteral("3"));
        if (before.isEmpty())
            chooseFile(*w, makeFile(QStringLiteral("n.txt"), "new content"));
        if (before == QLatin1String("cancel")) {
            click(ui.Command1);  // the typed values stay in the fields
            QCOMPARE(ui.Command1->text(), QStringLiteral("新增"));
        }
        click(ui.Command2);
        QCOMPARE(msgs().texts(), QStringList({QStringLiteral("没有可以编辑的信息,请重新选择或新增项目!")}));
        QCOMPARE(documents(), stored);
    }

    void saveAfterAQueryChangesOnlyTheLoadedDocument()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("旧文件"), QStringLiteral("0101"), day(1));
        addDocument(QStringLiteral("A-2"), QStringLiteral("报告乙"), QStringLiteral("0101"), day(2));
        addDocument(QStringLiteral("A-3"), QStringLiteral("报告丙"), QStringLiteral("0101"), day(3));
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        clickCell(*ui.MSFlexGrid1, 2);
        QCOMPARE(ui.Text1[0]->text(), QStringLiteral("A-2"));
        // A query that leaves out A-1: the current row 2 now holds A-3.
        click(ui.Check2);
        typeInto(ui.txtMC, QStringLiteral("报告"));
        click(ui.comLook);
        QCOMPARE(ui.MSFlexGrid1->rows(), 3);
        QCOMPARE(ui.MSFlexGrid1->textMatrix(ui.MSFlexGrid1->row(), 1), QStringLiteral("A-3"));
        const auto before = documents();
        retype(ui.Text1[1], QStringLiteral("改过的名称"));
        click(ui.Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("没有可以编辑的信息,请重新选择或新增项目!"));
        QCOMPARE(documents(), before);

        // Selecting a row loads it; the save then changes that document alone.
        clickCell(*ui.MSFlexGrid1, 1);
        QCOMPARE(ui.Text1[0]->text(), QStringLiteral("A-2"));
        retype(ui.Text1[1], QStringLiteral("报告乙改过"));
        click(ui.Command2);
        QVERIFY2(msgs().shown.size() == 1, qPrintable(msgs().lastText()));
        QCOMPARE(nameOf(QStringLiteral("A-2")), QStringLiteral("报告乙改过"));
        QCOMPARE(nameOf(QStringLiteral("A-1")), QStringLiteral("旧文件"));
        QCOMPARE(nameOf(QStringLiteral("A-3")), QStringLiteral("报告丙"));
        QCOMPARE(w->loadedDocument()->number, QStringLiteral("A-2"));
    }

    // The list's current row moves onto a row without a number while the fields still hold the
    // document loaded before: a save must store nothing, whatever moved the row.
    void saveAfterTheCurrentRowLostItsNumberWritesNothing_data()
    {
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("refusal");
        const QString nothingToEdit = QStringLiteral("没有可以编辑的信息,请重新选择或新增项目!");
        QTest::newRow("click") << QStringLiteral("click") << nothingToEdit;
        QTest::newRow("key") << QStringLiteral("key") << nothingToEdit;
        QTest::newRow("query") << QStringLiteral("query") << nothingToEdit;
        // The delete empties the fields, and the number field cannot be typed into while viewing.
        QTest::newRow("delete") << QStringLiteral("delete") << QStringLiteral("文件编号不能为空!");
    }

    void saveAfterTheCurrentRowLostItsNumberWritesNothing()
    {
        QFETCH(QString, move);
        QFETCH(QString, refusal);
        addDocument(QStringLiteral("F-1"), QStringLiteral("原名"), QStringLiteral("0101"), day(1));
        addDocument(QStringLiteral(""), QStringLiteral("无编号"), QStringLiteral("0101"), day(2));
        addDocument(QStringLiteral("F-3"), QStringLiteral("报告丙"), QStringLiteral("0101"), day(3));
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        clickCell(*ui.MSFlexGrid1, 1);
        QCOMPARE(ui.Text1[0]->text(), QStringLiteral("F-1"));
        const QString noInfo = QStringLiteral("没有可以显示的信息,请重新选择或新增项目!");
        if (move == QLatin1String("click")) {
            clickCell(*ui.MSFlexGrid1, 2);
            QCOMPARE(msgs().texts(), QStringList{noInfo});
        } else if (move == QLatin1String("key")) {
            QTest::keyClick(ui.MSFlexGrid1->view(), Qt::Key_Down);
            QCOMPARE(msgs().texts(), QStringList{noInfo});
        } else if (move == QLatin1String("query")) {
            // F-1 leaves the list; the current row 1 now holds the row without a number.
            click(ui.Check2);
            typeInto(ui.txtMC, QStringLiteral("无编号"));
            click(ui.comLook);
            QCOMPARE(ui.MSFlexGrid1->rows(), 2);
        } else {
            // F-1 deleted: the list is queried again and its current row 1 has no number.
            msgs().answers = {MsgAnswer::Yes};
            click(ui.Command3);
            QCOMPARE(msgs().lastText(), QStringLiteral("删除成功!"));
        }
        QCOMPARE(ui.MSFlexGrid1->textMatrix(ui.MSFlexGrid1->row(), 1), QString());
        const auto before = documents();
        msgs().shown.clear();
        // Whatever the fields hold now, and another file chosen.
        retype(ui.Text1[0], QStringLiteral("F-1"));
        retype(ui.Text1[1], QStringLiteral("被改写"));
        chooseType(*w);
        retype(ui.Text4, QStringLiteral("1"));
        chooseFile(*w, makeFile(QStringLiteral("x.doc"), "other bytes"));
        click(ui.Command2);
        QCOMPARE(msgs().texts(), QStringList{refusal});
        QCOMPARE(documents(), before);
        QVERIFY(!w->loadedDocument());
    }

    void newDocumentIsShownWhereItStands()
    {
        for (int i = 1; i <= 40; ++i)
            addDocument(QStringLiteral("K-%1").arg(i, 2, 10, QChar(u'0')), QStringLiteral("名称%1").arg(i),
                        QStringLiteral("0101"), day(1).addSecs(i));
        auto w = open();
        UploadControls ui(*w);
        w->resize(1000, 640);
        QVERIFY(showWindow(*w));
        enterNewDocument(*w, QStringLiteral("N-1"), QStringLiteral("新"), makeFile(QStringLiteral("n.txt"), "content"));
        click(ui.Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("新增成功!"));
        FlexGrid& list = *ui.MSFlexGrid1;
        const int row = list.findRow(1, QStringLiteral("N-1"));
        QVERIFY(row > 0);
        QCOMPARE(list.row(), row);
        QVERIFY(list.view()->viewport()->rect().contains(
            list.view()->viewport()->mapFrom(&list, list.cellRect(row, 1).center())));
    }

    void keyboardMovesSelectTheRowAsAClickDoes()
    {
        for (int i = 1; i <= 40; ++i)
            addDocument(QStringLiteral("K-%1").arg(i, 2, 10, QChar(u'0')), QStringLiteral("名称%1").arg(i),
                        QStringLiteral("0101"), day(1).addSecs(i));
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        QTableView* list = ui.MSFlexGrid1->view();
        clickCell(*ui.MSFlexGrid1, 1);
        const auto loaded = [&] { return w->loadedDocument() ? w->loadedDocument()->number : QString(); };

        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(loaded(), QStringLiteral("K-02"));
        QCOMPARE(ui.Text1[0]->text(), QStringLiteral("K-02"));
        QCOMPARE(ui.Text1[1]->text(), QStringLiteral("名称2"));
        QCOMPARE(ui.Text1[4]->text(), QStringLiteral("0101 人事制度"));
        QVERIFY(!ui.Text1[0]->isEnabled());
        QTest::keyClick(list, Qt::Key_PageDown);
        const int paged = ui.MSFlexGrid1->row();
        QVERIFY(paged > 2);
        QCOMPARE(ui.Text1[0]->text(), ui.MSFlexGrid1->textMatrix(paged, 1));
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(loaded(), QStringLiteral("K-40"));
        QTest::keyClick(list, Qt::Key_PageUp);
        QCOMPARE(ui.Text1[0]->text(), ui.MSFlexGrid1->textMatrix(ui.MSFlexGrid1->row(), 1));
        QVERIFY(ui.MSFlexGrid1->row() < 40);
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(loaded(), QStringLiteral("K-01"));
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(loaded(), QStringLiteral("K-02"));
        QVERIFY(msgs().shown.isEmpty());

        // The save changes the row reached with the keys, and no other.
        retype(ui.Text1[1], QStringLiteral("键盘改名"));
        click(ui.Command2);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
        QCOMPARE(nameOf(QStringLiteral("K-02")), QStringLiteral("键盘改名"));
        QCOMPARE(nameOf(QStringLiteral("K-01")), QStringLiteral("名称1"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息 where 文件名称 like '名称%'")).toInt(),
                 39);
    }

    // --- the rights panel follows the selected row ---

    // Two documents with several rights each, the panel open while the row moves between them by
    // clicks and keys: the rights lists are built and dropped again and again.
    void rightsPanelFollowsTheRowThroughDocumentsWithSeveralRights()
    {
        addDocument(QStringLiteral("R-1"), QStringLiteral("甲"), QStringLiteral("0101"), day(1));
        addDocument(QStringLiteral("R-2"), QStringLiteral("乙"), QStringLiteral("0101"), day(2));
        const auto grant = [this](const char* number, const char* position) {
            QVERIFY(
                db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), QString::fromUtf8(number)},
                                                            {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                            {QStringLiteral("部门名称"), QStringLiteral("财务部")},
                                                            {QStringLiteral("岗位代号"), QString::fromUtf8(position)},
                                                            {QStringLiteral("岗位名称"), QStringLiteral("岗")},
                                                            {QStringLiteral("下载"), 1},
                                                            {QStringLiteral("查阅"), 1}}));
        };
        for (const char* position : {"G01", "G02", "G03"})
            grant("R-1", position);
        for (const char* position : {"G04", "G05", "G06", "G07"})
            grant("R-2", position);
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        clickCell(*ui.MSFlexGrid1, 1);
        click(ui.Command7);
        QVERIFY(!ui.Picture2->isHidden());
        QStringList seen;
        const auto note = [&] {
            seen << ui.MSFlexGrid3->textMatrix(1, 2).left(3) + QString::number(ui.MSFlexGrid3->rows());
        };
        note();
        for (int round = 0; round < 3; ++round) {
            QTest::keyClick(ui.MSFlexGrid1->view(), Qt::Key_Down);
            note();
            clickCell(*ui.MSFlexGrid1, 1);
            note();
        }
        QCOMPARE(seen.join(u' '), QStringLiteral("G015 G046 G015 G046 G015 G046 G015"));
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(msgs().lastText()));
    }

    void rightsPanelServesOnlyTheSelectedRow()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"), day(1));
        // Another position's document: not listed, and its rights are not ours to see.
        addDocument(QStringLiteral("F-1"), QStringLiteral("别人的"), QStringLiteral("0101"), day(1),
                    QByteArray("12345678"), QStringLiteral("G99"));
        for (const auto& [number, position] : {std::pair{"A-1", "G01"}, std::pair{"F-1", "G98"}})
            QVERIFY(
                db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), QString::fromUtf8(number)},
                                                            {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                            {QStringLiteral("部门名称"), QStringLiteral("财务部")},
                                                            {QStringLiteral("岗位代号"), QString::fromUtf8(position)},
                                                            {QStringLiteral("岗位名称"), QStringLiteral("岗")},
                                                            {QStringLiteral("下载"), 1},
                                                            {QStringLiteral("查阅"), 1}}));
        const auto rightsBefore =
            db->scalar(QStringLiteral("select count(*) from 资料下载权限 where 文件编号 = 'F-1'"));
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        const QString refused = QStringLiteral("请选择要设置权限的文件!");

        // A number typed at opening, with the first row current but not selected.
        typeInto(ui.Text1[0], QStringLiteral("F-1"));
        click(ui.Command7);
        QCOMPARE(msgs().lastText(), refused);
        QVERIFY(ui.Picture2->isHidden());

        // A number typed while adding, then cancelled.
        clickCell(*ui.MSFlexGrid1, 1);
        click(ui.Command1);
        typeInto(ui.Text1[0], QStringLiteral("F-1"));
        click(ui.Command1);
        QCOMPARE(ui.Text1[0]->text(), QStringLiteral("F-1"));
        click(ui.Command7);
        QCOMPARE(msgs().shown.size(), 2);
        QCOMPARE(msgs().lastText(), refused);
        QVERIFY(ui.Picture2->isHidden());
        QVERIFY(!ui.Picture2->hasDocument());

        // The selected row opens the panel for its own document.
        clickCell(*ui.MSFlexGrid1, 1);
        click(ui.Command7);
        QVERIFY(!ui.Picture2->isHidden());
        QCOMPARE(ui.MSFlexGrid3->rows(), 3);
        QVERIFY(ui.MSFlexGrid3->textMatrix(1, 2).startsWith(QStringLiteral("G01 ")));
        // "新增" empties the fields for another document: the panel closes with them.
        click(ui.Command1);
        QVERIFY(ui.Picture2->isHidden());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限 where 文件编号 = 'F-1'")), rightsBefore);
    }

    // --- one rule for the document number ---

    void outerBlanksGiveOneNumberEverywhere()
    {
        organisation().positions({{"G02", "出纳", "D01", "0013"}});
        organisation().employees({{"0013", "员工乙", "1"}});
        QVERIFY(db->exec(QStringLiteral("update 员工档案 set 岗位编号 = 'G01' where 工号 = '0012'")));
        QVERIFY(db->exec(QStringLiteral("update 员工档案 set 岗位编号 = 'G02' where 工号 = '0013'")));
        for (const QString& position : {QStringLiteral("G01"), QStringLiteral("G02")})
            QVERIFY(db->insert(QStringLiteral("资料下载组详细"), {{QStringLiteral("组id"), QStringLiteral("Z1")},
                                                                  {QStringLiteral("岗位代号"), position}}));
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));

        // Insert.
        enterNewDocument(*w, QStringLiteral(" D-1 "), QStringLiteral("带空格的编号"),
                         makeFile(QStringLiteral("d.txt"), "d content"));
        click(ui.Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("新增成功!"));
        QCOMPARE(db->scalar(QStringLiteral("select 编号 from 公司文件信息")).toString(), QStringLiteral("D-1"));
        // The same number with other blanks is the same number.
        enterNewDocument(*w, QStringLiteral("D-1  "), QStringLiteral("重复"),
                         makeFile(QStringLiteral("e.txt"), "e content"));
        click(ui.Command2);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件编号已经存在,不能新增!"));
        click(ui.Command1);

        // Grant by position.
        clickCell(*ui.MSFlexGrid1, 1);
        click(ui.Command7);
        QVERIFY(!ui.Picture2->isHidden());
        click(ui.Picture8[7]);
        QVERIFY(!ui.Picture3->isHidden());
        clickNode(*ui.TreeView1, QStringLiteral("$D01"));
        QVERIFY(ui.TreeView1->contains(QStringLiteral("GG01")));
        QTest::keyClick(ui.TreeView1->view(), Qt::Key_Right);  // open the department
        doubleClickNode(*ui.TreeView1, QStringLiteral("GG01"));
        QVERIFY2(msgs().lastText() == QStringLiteral("文件编号已经存在,不能新增!"), qPrintable(msgs().lastText()));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限 where 文件编号 = 'D-1'")).toInt(), 1);
        // List: the right shows in the panel.
        QCOMPARE(ui.MSFlexGrid3->rows(), 3);
        QVERIFY(ui.MSFlexGrid3->textMatrix(1, 2).startsWith(QStringLiteral("G01 ")));

        // Grant by group, twice: only the missing position is added, once.
        for (int round = 0; round < 2; ++round) {
            click(ui.Picture8[7]);
            QVERIFY(!ui.Picture3->isHidden());
            click(ui.Picture2->byGroup);
            QVERIFY(!ui.List1->isHidden());
            clickListItem(*ui.List1, 0);
            QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限")).toInt(), 2);
        }
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限 where 文件编号 = 'D-1'")).toInt(), 2);
        QCOMPARE(ui.MSFlexGrid3->rows(), 4);
        QCOMPARE(msgs().shown.size(), 2);

        // Delete: the document goes with all its rights.
        click(ui.Picture2->Image1);
        msgs().answers = {MsgAnswer::Yes};
        click(ui.Command3);
        QCOMPARE(msgs().lastText(), QStringLiteral("删除成功!"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限")).toInt(), 0);
    }

    // --- two clients adding one number ---

    void racingUploadsOfOneNumberStoreOne()
    {
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        enterNewDocument(*w, QStringLiteral("R-1"), QStringLiteral("我的"),
                         makeFile(QStringLiteral("r.txt"), "my content"));

        // Another client adds the same number and holds its write transaction a moment.
        QSemaphore holding;
        bool otherStored = false;
        std::thread other([&] {
            const QString name = QStringLiteral("other-client");
            {
                QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                c.setDatabaseName(db->path());
                c.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
                const bool opened = c.open() && registerTextCollation(c).ok();
                QSqlQuery q(c);
                const bool begun =
                    opened && q.exec(QStringLiteral("begin immediate"))
                    && q.exec(QStringLiteral(
                        "insert into 公司文件信息 (编号, 文件名称, 部门, 岗位, 上传日期, 文件) "
                        "values ('R-1', '别人的', 'D01', 'G01', '2026-03-01 09:00:00', x'3132333435363738')"));
                holding.release();
                if (begun) {
                    QThread::msleep(800);
                    otherStored = q.exec(QStringLiteral("commit"));
                }
                q.finish();
                c.close();
            }
            QSqlDatabase::removeDatabase(name);
        });
        holding.acquire();
        click(ui.Command2);
        other.join();
        QVERIFY(otherStored);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件编号已经存在,不能新增!"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息 where 编号 = 'R-1'")).toInt(), 1);
        QCOMPARE(nameOf(QStringLiteral("R-1")), QStringLiteral("别人的"));
        QCOMPARE(ui.Command1->text(), QStringLiteral("取消"));
        QCOMPARE(ui.Text1[1]->text(), QStringLiteral("我的"));
    }

    // --- placement, temporary copies, waiting ---

    void opensCentredInTheMainWindow()
    {
        QMainWindow main;
        auto* area = new QMdiArea;
        main.setCentralWidget(area);
        main.resize(1500, 1000);
        QVERIFY(showWindow(main));
        // As the main window shows a child: made first, then placed in the area and shown.
        auto* window = new Frm公司资料上传(*platform);
        UploadControls ui(*window);
        QMdiSubWindow* sub = area->addSubWindow(window);
        sub->show();
        window->show();
        const QSize inner = area->viewport()->size();
        QCOMPARE(sub->pos(), QPoint((inner.width() - sub->width()) / 2, (inner.height() - sub->height()) / 2));
    }

    void copiesOpenedInOneSecondKeepTheirOwnFiles()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("报告/甲"), QStringLiteral("0101"), day(1),
                    QByteArray("%PDF first document"));
        addDocument(QStringLiteral("A-2"), QStringLiteral("报告:甲"), QStringLiteral("0101"), day(2),
                    QByteArray("%PDF second document"));
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        const QDateTime second(QDate(2026, 3, 9), QTime(10, 11, 12));
        platform->setClock(std::make_unique<FixedClock>(second));
        doubleClickCell(*ui.MSFlexGrid1, 1);
        doubleClickCell(*ui.MSFlexGrid1, 2);
        doubleClickCell(*ui.MSFlexGrid1, 1);  // the same one again
        const QStringList opened = platform->shellDouble().openedFiles;
        QCOMPARE(opened.size(), 3);
        QCOMPARE(QSet<QString>(opened.begin(), opened.end()).size(), 3);
        const QList<QByteArray> expected = {"%PDF first document", "%PDF second document", "%PDF first document"};
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(QFileInfo(opened[i]).fileName().startsWith(QStringLiteral("报告_甲-20260309101112")),
                     qPrintable(opened[i]));
            QFile copy(opened[i]);
            QVERIFY(copy.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), expected[i]);
        }
        QVERIFY(msgs().shown.isEmpty());
    }

    void waitShowsWhileTheDatabaseIsLocked()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"), day(1));
        addDocument(QStringLiteral("A-2"), QStringLiteral("乙"), QStringLiteral("0101"), day(2));
        auto w = open();
        UploadControls ui(*w);
        QVERIFY(showWindow(*w));
        QSqlQuery lock(db->fixtureConnection());

        // Each operation runs while another client holds the database; the probe answers
        // the statement's wait by giving up at once.
        const auto probe = [&](const char* what, const std::function<void()>& operate) {
            BusyProbe seen;
            seen.status = ui.StatusText;
            sqlite3* handle = sharedHandle();
            QVERIFY(handle);
            sqlite3_busy_handler(handle, &BusyProbe::onBusy, &seen);
            const qsizetype messages = msgs().shown.size();
            QVERIFY(lock.exec(QStringLiteral("begin exclusive")));
            operate();
            QVERIFY(lock.exec(QStringLiteral("rollback")));
            sqlite3_busy_handler(handle, nullptr, nullptr);
            QVERIFY2(seen.calls > 0, what);
            QVERIFY2(seen.cursor == Qt::WaitCursor, what);
            QVERIFY2(seen.statusText == WaitCursor::databaseText(),
                     qPrintable(QString::fromUtf8(what) + u' ' + seen.statusText));
            // Restored before the failure is told.
            QVERIFY2(!QApplication::overrideCursor(), what);
            QVERIFY2(ui.StatusText->text().isEmpty(), what);
            QVERIFY2(msgs().shown.size() > messages, what);
        };

        clickCell(*ui.MSFlexGrid1, 1);
        probe("save", [&] {
            retype(ui.Text1[1], QStringLiteral("新名"));
            click(ui.Command2);
        });
        clickCell(*ui.MSFlexGrid1, 1);
        probe("delete", [&] {
            msgs().answers = {MsgAnswer::Yes};
            click(ui.Command3);
        });
        clickCell(*ui.MSFlexGrid1, 1);
        click(ui.Command7);
        QVERIFY(!ui.Picture2->isHidden());
        probe("grant by group", [&] {
            click(ui.Picture8[7]);
            click(ui.Picture2->byGroup);
            clickListItem(*ui.List1, 0);
        });
        click(ui.Picture2->Image1);
        // The failed grant left the rights grid hidden, so a row selection no longer reopens
        // the connection (and its handle) to reload it.
        QVERIFY(ui.MSFlexGrid3->isHidden());
        probe("open", [&] { doubleClickCell(*ui.MSFlexGrid1, 2); });
        // Last, as a failed query leaves the list empty.
        probe("query", [&] { click(ui.comLook); });
        QCOMPARE(nameOf(QStringLiteral("A-1")), QStringLiteral("甲"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 2);
    }

    void hostileFiltersAreHarmless()
    {
        addDocument(QStringLiteral("A-1"), QStringLiteral("年度报告2013"), QStringLiteral("0101"),
                    QDateTime(QDate(2026, 3, 1), QTime(9, 5)));
        auto w = open();
        UploadControls ui(*w);
        ui.Check2->setChecked(true);
        ui.Check5->setChecked(true);
        ui.Check4->setChecked(true);
        ui.txtMC->setText(QStringLiteral("' or '1'='1"));
        ui.txtKey->setText(QStringLiteral("x'; delete from 公司文件信息; --"));
        ui.Text6->setText(QStringLiteral("0101' -- 类"));
        click(UploadControls(*w).comLook);
        QVERIFY(msgs().shown.isEmpty());
        QCOMPARE(ui.MSFlexGrid1->rows(), 1);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 1);
    }

    void dateFilterIncludesTheWholeEndDay()
    {
        addDocument(QStringLiteral("IN"), QStringLiteral("甲"), QStringLiteral("0101"),
                    QDateTime(QDate(2013, 9, 21), QTime(23, 59, 59)));
        addDocument(QStringLiteral("OUT"), QStringLiteral("乙"), QStringLiteral("0101"),
                    QDateTime(QDate(2013, 9, 22), QTime(0, 0)));
        auto w = open();
        UploadControls ui(*w);
        ui.Check6->setChecked(true);
        ui.DTPicker1->setDate(QDate(2013, 9, 1));
        ui.DTPicker2->setDate(QDate(2013, 9, 21));
        click(UploadControls(*w).comLook);
        QCOMPARE(ui.MSFlexGrid1->rows(), 2);
        QCOMPARE(ui.MSFlexGrid1->textMatrix(1, 1), QStringLiteral("IN"));
        ui.DTPicker1->setDate(QDate(2013, 9, 22));
        click(UploadControls(*w).comLook);
        QCOMPARE(msgs().lastText(), QStringLiteral("上传日期起始日期的日期范围开始日期不能大于结束日期!"));
    }
};

QTEST_MAIN(UploadWindowTest)
#include "test_upload_window.moc"
