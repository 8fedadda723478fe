// Hostile codes, names and descriptions typed into the type settings window, for new types and
// for changes of an existing one: no statement error, only the type's own row written, its
// texts stored as typed (over-long ones refused with a message).

#include "HostileInputs.h"

#include "doctypes/frmTypeSettings.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class HostileTypesTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    Tally tally;
    QStringList problems;
    std::unique_ptr<frm资料类型设置> w;

    QVariant typeColumn(const QString& code, const QString& column)
    {
        StatementWatch::pause(true);
        const QVariant v = db->scalar(QStringLiteral("select %1 from 资料类型 where 编号 = ?").arg(column), {code});
        StatementWatch::pause(false);
        return v;
    }

    void startAdding(const QString& parentKey)
    {
        if (w->isAddMode())
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        clickNode(*w->TreeView1, parentKey);
        QTest::mouseClick(w->Command1, Qt::LeftButton);
    }

    static bool onlyTypes(const RowChange& c) { return c.table == QStringLiteral("资料类型"); }

    // A stored text is what the box held, or that without outer blanks.
    static bool storedAsTyped(const QVariant& stored, const QString& typed)
    {
        const QString s = stored.toString();
        return s == typed || s == typed.trimmed() || (typed.trimmed().isEmpty() && stored.isNull());
    }

    // Either the row holds the typed texts within their lengths, or a message refused them.
    void checkSaved(Probe& probe, const QVector<RowChange>& changes, const QString& code, const QString& name,
                    const QString& description)
    {
        const bool tooLong = description.size() > 50 || name.size() > 20;
        if (changes.isEmpty()) {
            if (probe.messages().isEmpty())
                probe.problem(QStringLiteral("nothing stored and nothing said"));
            return;
        }
        if (tooLong)
            probe.problem(QStringLiteral("an over-long text was stored"));
        if (!storedAsTyped(typeColumn(code, QStringLiteral("名称")), name))
            probe.problem(QStringLiteral("name read back as ") + shortForm(typeColumn(code, "名称").toString()));
        if (!storedAsTyped(typeColumn(code, QStringLiteral("说明")), description))
            probe.problem(QStringLiteral("description read back as ") + shortForm(typeColumn(code, "说明").toString()));
    }

private slots:
    void initTestCase() { tally.begin(); }

    void init()
    {
        QVERIFY(setUp(/*connect*/ true, /*strictMessages*/ true));
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), {}, 0, QStringLiteral("公司制度"));
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("02"), QStringLiteral("合同"), {}, 0);
        w = std::make_unique<frm资料类型设置>(*platform);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup()
    {
        w.reset();
        tearDown();
    }

    void hostileNamesAndDescriptionsOfNewTypes()
    {
        tally.places += 2;
        int n = 0;
        for (const HostileText& h : hostileTexts()) {
            const QString code = QStringLiteral("H%1").arg(++n);
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("new type ") + h.label);
            startAdding(n % 2 ? QStringLiteral("ROOT") : QStringLiteral("S02"));
            enterText(w->Text1, code);
            enterText(w->Text2, h.text);
            enterText(w->Text3, h.text);
            const QString name = boxText(w->Text2);
            const QString description = boxText(w->Text3);
            QTest::mouseClick(w->Command2, Qt::LeftButton);
            const auto changes = probe.finish(&onlyTypes);
            if (name.isEmpty()) {
                if (!changes.isEmpty())
                    probe.problem(QStringLiteral("stored without a name"));
                continue;
            }
            checkSaved(probe, changes, code, name, description);
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void hostileCodesOfNewTypes()
    {
        tally.places += 1;
        for (const HostileText& h : hostileTexts()) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("new code ") + h.label);
            startAdding(QStringLiteral("ROOT"));
            enterText(w->Text1, h.text);
            enterText(w->Text2, QStringLiteral("名称"));
            const QString code = boxText(w->Text1);
            QTest::mouseClick(w->Command2, Qt::LeftButton);
            const auto changes = probe.finish(&onlyTypes);
            if (changes.isEmpty()) {
                if (probe.messages().isEmpty())
                    probe.problem(QStringLiteral("nothing stored and nothing said"));
                continue;
            }
            if (changes.size() != 1 || changes.first().kind != RowChange::Added)
                probe.problem(QStringLiteral("more than one row written"));
            if (typeColumn(code, QStringLiteral("名称")).toString() != QStringLiteral("名称"))
                probe.problem(QStringLiteral("not found by its code ") + shortForm(code));
            // The new type is shown and selected under its code.
            if (w->Text1->text() != code)
                probe.problem(QStringLiteral("shown as ") + shortForm(w->Text1->text()));
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void hostileChangesOfAnExistingType()
    {
        tally.places += 2;
        for (const HostileText& h : hostileTexts()) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("changed type ") + h.label);
            if (w->isAddMode())
                QTest::mouseClick(w->Command1, Qt::LeftButton);
            clickNode(*w->TreeView1, QStringLiteral("S0101"));
            enterText(w->Text2, h.text);
            enterText(w->Text3, h.text);
            const QString name = boxText(w->Text2);
            const QString description = boxText(w->Text3);
            QTest::mouseClick(w->Command2, Qt::LeftButton);
            const auto changes = probe.finish([](const RowChange& c) {
                return c.table == QStringLiteral("资料类型") && c.kind == RowChange::Changed
                       && c.after.values.value(c.after.columns.indexOf(QStringLiteral("编号")))
                              == QStringLiteral("0101");
            });
            if (name.isEmpty())
                continue;
            if (changes.isEmpty() && name == QStringLiteral("人事制度"))
                continue;
            checkSaved(probe, changes, QStringLiteral("0101"), name, description);
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void cleanupTestCase() { tally.report("type settings"); }
};

QUARVEL_HOSTILE_MAIN(HostileTypesTest)
#include "test_hostile_types.moc"
