// Hostile texts through the statistics window (file name and employee filters, departments
// and types with hostile codes ticked, the details of documents with hostile numbers) and the
// export window (title, sheet name, file). No statement error, nothing written to the
// database, each filter finding its own rows, and an export writing the chosen file only.

#include "HostileInputs.h"
#include "Organisation.h"
#include "StatisticsFixture.h"

#include "login/UserContext.h"
#include "reports/frmStatistics.h"
#include "reports/frmToExcel.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace quarvel;
using namespace quarvel::test;

namespace {


void setTicked(QCheckBox* box, bool on)
{
    if (box->isChecked() != on)
        click(box);
}

bool fitsACode(const QString& text)
{
    return !text.trimmed().isEmpty() && text.size() <= 20 && text == text.trimmed() && !text.contains(u' ');
}

}  // namespace

class HostileReportsTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    Tally tally;
    QStringList problems;
    // Each hostile text with the document number of its log row.
    QList<QPair<QString, QString>> logged;
    QStringList departmentCodes, typeCodes;

    void report() { QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n'))); }

    std::unique_ptr<frm资料下载汇总> open()
    {
        auto w = std::make_unique<frm资料下载汇总>(*platform);
        w->resize(1100, 700);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        return w;
    }

    static QStringList numbers(const FlexGrid& grid)
    {
        QStringList out;
        for (int r = 1; r < grid.rows(); ++r)
            if (!grid.textMatrix(r, 1).isEmpty())
                out << grid.textMatrix(r, 1);
        return out;
    }

private slots:
    void initTestCase() { tally.begin(); }

    void init()
    {
        problems.clear();
        logged.clear();
        departmentCodes.clear();
        typeCodes.clear();
        QVERIFY(setUp());
        addStatisticsCompany(*db);
        QVERIFY(db->insert(QStringLiteral("专项审核权限表"), {{QStringLiteral("类型"), QStringLiteral("公司Quarvel")},
                                                              {QStringLiteral("部门代号"), QStringLiteral("D01")},
                                                              {QStringLiteral("岗位代号"), QStringLiteral("G1")}}));
        Organisation org = organisation();
        int n = 0;
        for (const HostileText& h : hostileTexts()) {
            ++n;
            const QString employee = QStringLiteral("H%1").arg(n);
            org.employees({{employee, h.text, "1"}});
            QString department = QStringLiteral("D01"), type = QStringLiteral("0101");
            if (fitsACode(h.text)) {
                org.departments({{h.text, h.text}});
                db->addType(h.text, h.text, QVariant(), 0);
                departmentCodes << h.text;
                typeCodes << h.text;
                department = type = h.text;
            }
            const QString number = h.text.trimmed().isEmpty() || h.text.size() > 50 ? QStringLiteral("L-%1").arg(n)
                                                                                    : h.text;
            QVERIFY(addLog(*db, LogRow{number, h.text, type, employee, department}));
            logged.append({h.text, number});
        }
        signIn(QStringLiteral("E1"), QStringLiteral("D01"), QStringLiteral("G1"));
    }

    void cleanup() { tearDown(); }

    void hostileNameAndEmployeeFilters()
    {
        tally.places += 2;
        auto w = open();
        QVERIFY(w);
        for (const auto& [text, number] : logged) {
            for (int field = 0; field < 2; ++field) {
                Probe probe(*db, msgs(), tally, problems,
                            (field ? QStringLiteral("employee filter ") : QStringLiteral("file name filter "))
                                + shortForm(text));
                if (!w->Picture7->isVisible())
                    click(w->Command1);
                setTicked(w->Check1, true);
                setTicked(w->Check2, true);
                setTicked(w->Check6, false);
                setTicked(w->Check7, field == 0);
                setTicked(w->Check5, field == 1);
                enterText(field ? w->Text2 : w->Text1, text);
                const QString typed = boxText(field ? w->Text2 : w->Text1);
                const bool ran = w->Command10_Click();
                probe.finish();
                if (ran && !typed.trimmed().isEmpty() && !numbers(*w->MSFlexGrid1).contains(number))
                    probe.problem(QStringLiteral("its own row not found among ")
                                  + shortForm(numbers(*w->MSFlexGrid1).join(u',')));
                if (!ran && probe.messages().isEmpty())
                    probe.problem(QStringLiteral("refused without a word"));
            }
        }
        report();
    }

    void hostileDepartmentsAndTypesTicked()
    {
        tally.places += 2;
        auto w = open();
        QVERIFY(w);
        for (int i = 0; i < departmentCodes.size(); ++i) {
            const QString& code = departmentCodes[i];
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("department and type ") + shortForm(code));
            if (!w->Picture7->isVisible())
                click(w->Command1);
            for (QCheckBox* c : {w->Check4, w->Check6, w->Check7, w->Check5})
                setTicked(c, false);
            w->TreeView1->setAllChecked(false);
            w->TreeView2->setAllChecked(false);
            setTicked(w->Check1, false);
            setTicked(w->Check2, false);
            clickCheckBox(*w->TreeView1, QStringLiteral("$") + code);
            clickCheckBox(*w->TreeView2, QStringLiteral("S") + code);
            const bool ran = w->Command10_Click();
            probe.finish();
            if (!ran || numbers(*w->MSFlexGrid1) != QStringList{code})
                probe.problem(QStringLiteral("found ") + shortForm(numbers(*w->MSFlexGrid1).join(u',')));
        }
        report();
    }

    void detailsOfHostileNumbers()
    {
        tally.places += 1;
        auto w = open();
        QVERIFY(w);
        click(w->Command1);
        setTicked(w->Check1, true);
        setTicked(w->Check2, true);
        QVERIFY(w->Command10_Click());
        for (int row = 1; row < w->MSFlexGrid1->rows(); ++row) {
            const QString number = w->MSFlexGrid1->textMatrix(row, 1);
            if (number.isEmpty())
                continue;
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("details of ") + shortForm(number));
            const int detailsColumn = w->MSFlexGrid1->cols() - 1;
            w->MSFlexGrid1->ensureRowVisible(row);
            QWidget* viewport = w->MSFlexGrid1->view()->viewport();
            QTest::mouseClick(viewport, Qt::LeftButton, {},
                              viewport->mapFrom(w->MSFlexGrid1, w->MSFlexGrid1->cellRect(row, detailsColumn).center()));
            if (!w->Command5->isVisible()) {
                probe.finish();
                probe.problem(QStringLiteral("no details button"));
                continue;
            }
            click(w->Command5);
            probe.finish();
            if (numbers(*w->MSFlexGrid2) != QStringList{number})
                probe.problem(QStringLiteral("details of ") + shortForm(numbers(*w->MSFlexGrid2).join(u',')));
            click(w->Command4);
        }
        report();
    }

    // The statistics grid handed to the export window, with hostile titles, sheet names and
    // file names: the workbook goes to the chosen file or a message says why not.
    void hostileExportTitlesSheetsAndFiles()
    {
        tally.places += 3;
        auto w = open();
        QVERIFY(w);
        click(w->Command1);
        setTicked(w->Check1, true);
        setTicked(w->Check2, true);
        QVERIFY(w->Command10_Click());
        QTemporaryDir outer;
        const QString folder = outer.filePath(QStringLiteral("chosen"));
        QVERIFY(QDir().mkpath(folder));
        platform->shellDouble().result = true;

        // Every hostile file name, and the other hostile texts that a title or sheet name
        // can trip over.
        QVector<HostileText> texts = hostileFileNames();
        const QStringList others{QStringLiteral("single quote"), QStringLiteral("brackets"),
                                 QStringLiteral("open bracket"), QStringLiteral("newlines"),
                                 QStringLiteral("outside BMP"),  QStringLiteral("emoji ZWJ"),
                                 QStringLiteral("percent"),      QStringLiteral("10000 characters")};
        for (const HostileText& h : hostileTexts())
            if (others.contains(h.label))
                texts << h;
        int n = 0;
        for (const HostileText& h : texts) {
            for (int field = 0; field < 3; ++field) {
                // A file dialog answers with a name inside the chosen folder: no separators.
                if (field == 0 && (h.text.contains(u'/') || h.text.isEmpty()))
                    continue;
                const char* names[] = {"export file ", "export title ", "export sheet "};
                Probe probe(*db, msgs(), tally, problems, QLatin1String(names[field]) + h.label);
                const QStringList before = listTree(outer.path());
                const QString chosen = folder + u'/' + (field == 0 ? h.text : QStringLiteral("book%1").arg(++n))
                                       + QStringLiteral(".xlsx");
                bool shown = false;
                QTimer::singleShot(0, this, [&] {
                    auto* dialog = dynamic_cast<frmToExcel*>(QApplication::activeModalWidget());
                    if (!dialog)
                        return;
                    shown = true;
                    setTicked(dialog->Check1, false);
                    platform->dialogsDouble().answers = {chosen};
                    click(dialog->Command1);
                    if (field > 0)
                        enterText(dialog->Text1[field], h.text);
                    click(dialog->Command2);
                    if (dialog->isVisible())
                        click(dialog->Command3);
                });
                click(w->Command3);
                probe.finish();
                if (!shown)
                    probe.problem(QStringLiteral("no export window"));
                QStringList added = listTree(outer.path());
                for (const QString& b : before)
                    added.removeOne(b);
                const QString expected = QDir(outer.path()).relativeFilePath(chosen);
                if (!added.isEmpty() && added != QStringList{expected}
                    && !(field == 0 && added.size() <= 2 && added.last() == expected))
                    probe.problem(QStringLiteral("wrote ") + shortForm(added.join(u',')));
                if (added.isEmpty() && probe.messages().isEmpty())
                    probe.problem(QStringLiteral("nothing written and nothing said"));
                for (const QString& a : added)
                    if (a.startsWith(QStringLiteral(".."))
                        || !QFileInfo(outer.filePath(a))
                                .canonicalFilePath()
                                .startsWith(QFileInfo(outer.path()).canonicalFilePath()))
                        probe.problem(QStringLiteral("wrote outside: ") + a);
                for (const QString& a : added)
                    QFile::remove(outer.filePath(a));
                QDir(outer.path()).removeRecursively();
                QDir().mkpath(folder);
            }
        }
        report();
    }

    void cleanupTestCase() { tally.report("statistics and export windows"); }
};

QUARVEL_HOSTILE_MAIN(HostileReportsTest)
#include "test_hostile_reports.moc"
