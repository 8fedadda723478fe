// Hostile texts through the upload window: the fields of a new and of a changed document, the
// query filters, the rights panel's positions and groups, and the deletion of documents whose
// numbers hold quotes and wildcards. No statement error, only the document's own rows written,
// its texts stored as typed and over-long ones refused with a message.

#include "HostileInputs.h"
#include "Organisation.h"
#include "UploadControls.h"

#include "library/RightsPanel.h"
#include "library/frmUpload.h"
#include "login/UserContext.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"
#include "widgets/tree/KeyedTreeModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

using namespace quarvel;
using namespace quarvel::test;

namespace {

const int kNumberLength = 50, kNameLength = 200, kSummaryLength = 1000, kKeywordsLength = 200;

bool rowIs(const RowChange& c, const QString& column, const QString& value)
{
    const int i = c.after.columns.indexOf(column);
    return i >= 0 && c.after.values[i].toString() == value;
}

QVariant rowValue(const RowChange& c, const QString& column)
{
    const int i = c.after.columns.indexOf(column);
    return i >= 0 ? c.after.values[i] : QVariant();
}

bool storedAsTyped(const QVariant& stored, const QString& typed)
{
    const QString s = stored.toString();
    return s == typed || s == typed.trimmed() || (typed.trimmed().isEmpty() && stored.isNull());
}

}  // namespace

class HostileUploadTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    Tally tally;
    QStringList problems;
    QTemporaryDir files;
    std::unique_ptr<Frm公司资料上传> w;
    std::unique_ptr<test::UploadControls> ui;

    QString makeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = files.filePath(name);
        writeFile(path, bytes);
        return path;
    }

    void addDocument(const QString& number, const QString& name, const QString& position = QStringLiteral("G01"))
    {
        QVERIFY(db->insert(QStringLiteral("公司文件信息"),
                           {{QStringLiteral("编号"), number},
                            {QStringLiteral("文件名称"), name},
                            {QStringLiteral("文件类别"), QStringLiteral("0101")},
                            {QStringLiteral("关键字"), name},
                            {QStringLiteral("文件级别"), 1},
                            {QStringLiteral("上传人工号"), QStringLiteral("0012")},
                            {QStringLiteral("上传日期"), QDateTime(QDate(2026, 3, 1), QTime(9, 5))},
                            {QStringLiteral("部门"), QStringLiteral("D01")},
                            {QStringLiteral("岗位"), position},
                            {QStringLiteral("附件后缀"), QStringLiteral("txt")},
                            {QStringLiteral("文件"), QByteArray("content")}}));
    }

    void grantRow(const QString& number, const QString& position)
    {
        QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), number},
                                                            {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                            {QStringLiteral("岗位代号"), position},
                                                            {QStringLiteral("查阅"), 1},
                                                            {QStringLiteral("下载"), 1}}));
    }


    void chooseType()
    {
        click(ui->Picture8[2]);
        clickNode(*ui->TreeView2, QStringLiteral("S0101"));
        click(ui->Command18);
    }

    // Selects the list row of the document; false when it is not listed.
    bool selectDocument(const QString& number)
    {
        const int row = ui->MSFlexGrid1->findRow(1, number);
        if (row < 1)
            return false;
        clickCell(*ui->MSFlexGrid1, row);
        return w->loadedDocument() && w->loadedDocument()->number == number;
    }

    QStringList listedNumbers() const
    {
        QStringList out;
        for (int r = 1; r < ui->MSFlexGrid1->rows(); ++r)
            out << ui->MSFlexGrid1->textMatrix(r, 1);
        return out;
    }

    // Over-long texts must be refused: which of the four fields are too long.
    static bool anyTooLong(const QString& number, const QString& name, const QString& summary, const QString& keywords)
    {
        return number.trimmed().size() > kNumberLength || name.size() > kNameLength || summary.size() > kSummaryLength
               || keywords.size() > kKeywordsLength;
    }

    void checkDocument(Probe& probe, const QVector<RowChange>& changes, const QString& number, const QString& name,
                       const QString& summary, const QString& keywords)
    {
        const bool tooLong = anyTooLong(number, name, summary, keywords);
        if (changes.isEmpty()) {
            if (probe.messages().isEmpty())
                probe.problem(QStringLiteral("nothing stored and nothing said"));
            else if (!tooLong)
                probe.problem(QStringLiteral("not stored: ") + shortForm(probe.messages().join(u'|')));
            return;
        }
        if (tooLong)
            probe.problem(QStringLiteral("over-long text stored"));
        const RowChange& row = changes.first();
        if (rowValue(row, QStringLiteral("编号")).toString() != number.trimmed())
            probe.problem(QStringLiteral("number read back as ") + shortForm(rowValue(row, "编号").toString()));
        if (!storedAsTyped(rowValue(row, QStringLiteral("文件名称")), name))
            probe.problem(QStringLiteral("name read back as ") + shortForm(rowValue(row, "文件名称").toString()));
        if (!storedAsTyped(rowValue(row, QStringLiteral("摘要")), summary))
            probe.problem(QStringLiteral("summary read back as ") + shortForm(rowValue(row, "摘要").toString()));
        if (!storedAsTyped(rowValue(row, QStringLiteral("关键字")), keywords))
            probe.problem(QStringLiteral("keywords read back as ") + shortForm(rowValue(row, "关键字").toString()));
    }

    void report() { QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n'))); }

private slots:
    void initTestCase() { tally.begin(); }

    void init()
    {
        problems.clear();
        QVERIFY(setUp());
        Organisation org = organisation();
        org.finance();
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), QVariant(), 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        QVERIFY(db->insert(QStringLiteral("资料上传权限"), {{QStringLiteral("文件编号"), QStringLiteral("0101")},
                                                            {QStringLiteral("岗位代号"), QStringLiteral("G01")}}));
        // Documents of the position and of another one, with rights, that wildcards or an
        // injection would reach.
        addDocument(QStringLiteral("U-1"), QStringLiteral("预算手册"));
        addDocument(QStringLiteral("OTHER-1"), QStringLiteral("' or '1'='1 % _ [a-z] 50%_off O'Neil"),
                    QStringLiteral("G99"));
        for (const QString& n : {QStringLiteral("U-1"), QStringLiteral("OTHER-1"), QStringLiteral("X"),
                                 QStringLiteral("a"), QStringLiteral("1")})
            grantRow(n, QStringLiteral("G01"));
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));
        w = std::make_unique<Frm公司资料上传>(*platform);
        ui = std::make_unique<test::UploadControls>(*w);
        w->setTempFolder(files.filePath(QStringLiteral("temp")));
        w->resize(1200, 800);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup()
    {
        ui.reset();
        w.reset();
        tearDown();
    }

    void hostileNewDocumentsThenDeleted()
    {
        tally.places += 4;
        const QString path = makeFile(QStringLiteral("a.txt"), "hostile content");
        QStringList stored;
        for (const HostileText& h : hostileTexts()) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("new document ") + h.label);
            if (w->isAdding())
                click(ui->Command1);
            click(ui->Command1);
            enterText(ui->Text1[0], h.text);
            enterText(ui->Text1[1], h.text);
            enterText(ui->Text1[2], h.text);
            enterText(ui->Text1[3], h.text);
            chooseType();
            enterText(ui->Text4, QStringLiteral("2"));
            platform->dialogsDouble().answers = {path};
            click(ui->Picture8[1]);
            const QString number = boxText(ui->Text1[0]), name = boxText(ui->Text1[1]), summary = boxText(ui->Text1[2]),
                          keywords = boxText(ui->Text1[3]);
            click(ui->Command2);
            const auto changes = probe.finish([](const RowChange& c) {
                return c.table == QStringLiteral("公司文件信息") && c.kind == RowChange::Added;
            });
            if (number.trimmed().isEmpty() || name.isEmpty()) {
                if (!changes.isEmpty())
                    probe.problem(QStringLiteral("stored without a number or name"));
                continue;
            }
            checkDocument(probe, changes, number, name, summary, keywords);
            if (!changes.isEmpty())
                stored << number.trimmed();
        }
        // Rights under each stored number: deleting the document takes exactly those.
        for (const QString& n : stored)
            grantRow(n, QStringLiteral("G01"));
        if (w->isAdding())
            click(ui->Command1);
        for (const QString& n : stored) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("delete ") + shortForm(n));
            if (!selectDocument(n)) {
                probe.problem(QStringLiteral("not listed"));
                continue;
            }
            msgs().answers = {MsgAnswer::Yes};
            click(ui->Command3);
            const auto changes = probe.finish([&](const RowChange& c) {
                return c.kind == RowChange::Removed
                       && ((c.table == QStringLiteral("公司文件信息") && rowIs(c, QStringLiteral("编号"), n))
                           || (c.table == QStringLiteral("资料下载权限") && rowIs(c, QStringLiteral("文件编号"), n)));
            });
            if (changes.size() != 2)
                probe.problem(QStringLiteral("%1 rows removed").arg(changes.size()));
        }
        report();
    }

    void hostileChangesOfADocument()
    {
        tally.places += 3;
        for (const HostileText& h : hostileTexts()) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("changed document ") + h.label);
            if (!selectDocument(QStringLiteral("U-1"))) {
                probe.problem(QStringLiteral("U-1 not listed"));
                break;
            }
            enterText(ui->Text1[1], h.text);
            enterText(ui->Text1[2], h.text);
            enterText(ui->Text1[3], h.text);
            const QString name = boxText(ui->Text1[1]), summary = boxText(ui->Text1[2]),
                          keywords = boxText(ui->Text1[3]);
            click(ui->Command2);
            const auto changes = probe.finish([](const RowChange& c) {
                return c.table == QStringLiteral("公司文件信息") && c.kind == RowChange::Changed
                       && rowIs(c, QStringLiteral("编号"), QStringLiteral("U-1"));
            });
            if (name.isEmpty()) {
                if (!changes.isEmpty())
                    probe.problem(QStringLiteral("stored without a name"));
                continue;
            }
            checkDocument(probe, changes, QStringLiteral("U-1"), name, summary, keywords);
        }
        report();
    }

    void hostileQueryFilters()
    {
        tally.places += 2;
        for (const HostileText& h : hostileTexts()) {
            for (int field = 0; field < 2; ++field) {
                QCheckBox* check = field == 0 ? ui->Check2 : ui->Check5;
                QLineEdit* box = field == 0 ? ui->txtMC : ui->txtKey;
                Probe probe(
                    *db, msgs(), tally, problems,
                    (field == 0 ? QStringLiteral("name filter ") : QStringLiteral("keyword filter ")) + h.label);
                ui->Check2->setChecked(false);
                ui->Check5->setChecked(false);
                click(check);
                enterText(box, h.text);
                click(ui->comLook);
                probe.finish();
                if (listedNumbers().contains(QStringLiteral("OTHER-1")))
                    probe.problem(QStringLiteral("another position's document listed"));
                click(check);
            }
        }
        report();
    }

    void hostilePositionsAndGroupsInTheRightsPanel()
    {
        tally.places += 2;
        // Positions and download groups whose codes and names are hostile texts.
        Organisation org = organisation();
        QStringList codes;
        for (const HostileText& h : hostileTexts()) {
            // Codes are read from the node texts up to their first blank: codes hold none.
            if (h.text.trimmed().isEmpty() || h.text.size() > 20 || h.text.contains(u' '))
                continue;
            codes << h.text;
            org.positions({{h.text, h.text, "D01"}});
        }
        QStringList groups;
        for (const HostileText& h : hostileTexts()) {
            if (h.text.trimmed().isEmpty() || h.text.size() > 10 || h.text.contains(u' '))
                continue;
            groups << h.text;
            QVERIFY(db->insert(QStringLiteral("资料下载组"),
                               {{QStringLiteral("组ID"), h.text}, {QStringLiteral("组名称"), h.text}}));
            QVERIFY(db->insert(QStringLiteral("资料下载组详细"),
                               {{QStringLiteral("组id"), h.text}, {QStringLiteral("岗位代号"), h.text}}));
        }
        ui.reset();
        w.reset();
        w = std::make_unique<Frm公司资料上传>(*platform);
        ui = std::make_unique<test::UploadControls>(*w);
        w->setTempFolder(files.filePath(QStringLiteral("temp")));
        w->resize(1200, 800);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(selectDocument(QStringLiteral("U-1")));
        click(ui->Command7);
        QVERIFY(!ui->Picture2->isHidden());
        const auto rightOfU1 = [](const RowChange& c) {
            return c.table == QStringLiteral("资料下载权限")
                   && rowIs(c, QStringLiteral("文件编号"), QStringLiteral("U-1"));
        };
        for (const QString& code : codes) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("grant position ") + shortForm(code));
            click(ui->Picture8[7]);
            if (ui->Picture2->byPosition && !ui->Picture2->byPosition->isChecked())
                click(ui->Picture2->byPosition);
            clickNode(*ui->TreeView1, QStringLiteral("$D01"));
            ui->TreeView1->view()->expand(ui->TreeView1->model()->indexForKey(QStringLiteral("$D01")));
            // Into the blank last row of the grid: a new right.
            clickCell(*ui->MSFlexGrid3, ui->MSFlexGrid3->rows() - 1, 2);
            doubleClickNode(*ui->TreeView1, QStringLiteral("G") + code);
            const auto changes = probe.finish(rightOfU1);
            if (changes.size() != 1 || !rowIs(changes.value(0), QStringLiteral("岗位代号"), code))
                probe.problem(
                    QStringLiteral("%1 rights written %2").arg(changes.size()).arg(probe.messages().join(u'|')));
        }
        // Each group again: its one position holds the right already, so nothing changes.
        for (int i = 0; i < groups.size(); ++i) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("grant group ") + shortForm(groups[i]));
            click(ui->Picture8[7]);
            click(ui->Picture2->byGroup);
            const auto found = ui->List1->findItems(groups[i] + u' ', Qt::MatchStartsWith);
            if (found.isEmpty()) {
                probe.problem(QStringLiteral("group not listed"));
                probe.finish();
                continue;
            }
            clickListItem(*ui->List1, ui->List1->row(found.first()));
            const auto changes = probe.finish(rightOfU1);
            if (!changes.isEmpty())
                probe.problem(QStringLiteral("%1 rights written again").arg(changes.size()));
        }
        report();
    }

    void cleanupTestCase() { tally.report("upload window"); }
};

QUARVEL_HOSTILE_MAIN(HostileUploadTest)
#include "test_hostile_upload.moc"
