// Hostile texts through the permission windows: download groups created and changed with
// hostile codes, names and descriptions, positions with hostile codes joined, found with
// "定位" and removed, groups with wildcard codes deleted; upload permissions added, changed and
// deleted for positions and types with hostile codes. No statement error, only the target's
// rows written, texts stored as typed, over-long ones refused with a message.

#include "HostileInputs.h"
#include "Organisation.h"

#include "login/UserContext.h"
#include "permissions/PositionList.h"
#include "permissions/frmDownloadGroups.h"
#include "permissions/frmUploadPermissions.h"
#include "widgets/tree/KeyedTree.h"
#include "widgets/tree/KeyedTreeModel.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace quarvel;
using namespace quarvel::test;

namespace {

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

// A text that can be a code of a 20-character column, shown in a tree key.
bool fitsACode(const QString& text, int length = 20)
{
    return !text.trimmed().isEmpty() && text.size() <= length && text == text.trimmed() && !text.contains(u' ');
}


}  // namespace

class HostilePermissionsTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    Tally tally;
    QStringList problems;
    QStringList positionCodes;

    void report() { QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n'))); }

    int listRowOf(QListWidget* list, const QString& code)
    {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().startsWith(code + u' '))
                return i;
        return -1;
    }

    void clickListRow(QListWidget* list, int row)
    {
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }

private slots:
    void initTestCase() { tally.begin(); }

    void init()
    {
        problems.clear();
        positionCodes.clear();
        QVERIFY(setUp());
        Organisation org = organisation();
        org.departments({kFinance});
        org.positions({{"P01", "会计", "D01", "0012"}});
        org.employees({{"0012", "张三", "1"}});
        int n = 0;
        for (const HostileText& h : hostileTexts()) {
            if (!fitsACode(h.text))
                continue;
            const QString holder = QStringLiteral("E%1").arg(++n);
            org.positions({{h.text, h.text, "D01", holder}});
            org.employees({{holder, h.text, "1"}});
            positionCodes << h.text;
        }
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), QVariant(), 0);
        QVERIFY(db->insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QStringLiteral("Z1")},
                                                          {QStringLiteral("组名称"), QStringLiteral("财务组")}}));
        QVERIFY(db->insert(QStringLiteral("资料下载组详细"), {{QStringLiteral("组id"), QStringLiteral("Z1")},
                                                              {QStringLiteral("岗位代号"), QStringLiteral("P01")}}));
        signIn(QStringLiteral("0001"));
    }

    void cleanup() { tearDown(); }

    void hostileDownloadGroups()
    {
        tally.places += 5;
        frm资料下载组设置 w(*platform);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto startCreating = [&] {
            if (w.mode() == GroupEditMode::Create)
                click(w.Command1);
            click(w.Command1);
        };
        // Codes.
        QStringList created;
        int n = 0;
        for (const HostileText& h : hostileTexts()) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("group code ") + h.label);
            startCreating();
            enterText(w.Text1, h.text);
            enterText(w.Text2, QStringLiteral("组%1").arg(++n));
            const QString code = boxText(w.Text1);
            click(w.Command2);
            const auto changes = probe.finish([](const RowChange& c) {
                return c.table == QStringLiteral("资料下载组") && c.kind == RowChange::Added;
            });
            if (changes.isEmpty()) {
                if (probe.messages().isEmpty())
                    probe.problem(QStringLiteral("nothing stored and nothing said"));
                else if (code.trimmed().size() <= 10 && !code.trimmed().isEmpty())
                    probe.problem(QStringLiteral("refused: ") + probe.messages().join(u'|'));
                continue;
            }
            if (rowValue(changes.first(), QStringLiteral("组ID")).toString() != code.trimmed())
                probe.problem(QStringLiteral("code read back as ") + rowValue(changes.first(), "组ID").toString());
            created << code.trimmed();
        }
        // Names and descriptions.
        for (const HostileText& h : hostileTexts()) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("group name ") + h.label);
            startCreating();
            enterText(w.Text1, QStringLiteral("N%1").arg(++n));
            enterText(w.Text2, h.text);
            enterText(w.Text3, h.text);
            const QString name = boxText(w.Text2), description = boxText(w.Text3);
            click(w.Command2);
            const auto changes = probe.finish([](const RowChange& c) {
                return c.table == QStringLiteral("资料下载组") && c.kind == RowChange::Added;
            });
            const bool tooLong = name.trimmed().size() > 50 || description.size() > 200;
            if (changes.isEmpty()) {
                if (probe.messages().isEmpty())
                    probe.problem(QStringLiteral("nothing stored and nothing said"));
                else if (!tooLong && !name.trimmed().isEmpty())
                    probe.problem(QStringLiteral("refused: ") + probe.messages().join(u'|'));
                continue;
            }
            if (tooLong)
                probe.problem(QStringLiteral("over-long text stored"));
            if (!storedAsTyped(rowValue(changes.first(), QStringLiteral("组名称")), name))
                probe.problem(QStringLiteral("name read back as ")
                              + shortForm(rowValue(changes.first(), "组名称").toString()));
            if (!storedAsTyped(rowValue(changes.first(), QStringLiteral("备注")), description))
                probe.problem(QStringLiteral("description read back as ")
                              + shortForm(rowValue(changes.first(), "备注").toString()));
        }
        if (w.mode() == GroupEditMode::Create)
            click(w.Command1);
        // Changes of Z1.
        for (const HostileText& h : hostileTexts()) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("group change ") + h.label);
            clickListRow(w.List1, listRowOf(w.List1, QStringLiteral("Z1")));
            enterText(w.Text2, h.text);
            enterText(w.Text3, h.text);
            const QString name = boxText(w.Text2), description = boxText(w.Text3);
            click(w.Command2);
            const auto changes = probe.finish([](const RowChange& c) {
                return c.table == QStringLiteral("资料下载组") && c.kind == RowChange::Changed
                       && rowIs(c, QStringLiteral("组ID"), QStringLiteral("Z1"));
            });
            const bool tooLong = name.trimmed().size() > 50 || description.size() > 200;
            if (!changes.isEmpty() && tooLong)
                probe.problem(QStringLiteral("over-long text stored"));
            if (!changes.isEmpty() && !storedAsTyped(rowValue(changes.first(), QStringLiteral("组名称")), name))
                probe.problem(QStringLiteral("name read back as ")
                              + shortForm(rowValue(changes.first(), "组名称").toString()));
            if (changes.isEmpty() && probe.messages().isEmpty())
                probe.problem(QStringLiteral("nothing stored and nothing said"));
        }
        // Members with hostile codes join the groups whose codes hold quotes or wildcards, are
        // found by "定位" and leave.
        QStringList joined;
        for (const QString& group : created)
            if (joined.size() < 4 && (group.contains(u'\'') || group.contains(u'%') || group.contains(u'_')))
                joined << group;
        for (const QString& group : joined) {
            const int row = listRowOf(w.List1, group);
            if (row < 0) {
                problems << QStringLiteral("group %1 not listed").arg(shortForm(group));
                continue;
            }
            clickListRow(w.List1, row);
            if (!w.TreeView2->contains(QStringLiteral("G") + positionCodes.first()))
                clickNode(*w.TreeView2, QStringLiteral("$D01"));
            for (const QString& code : positionCodes) {
                Probe probe(*db, msgs(), tally, problems,
                            QStringLiteral("member %1 of %2").arg(shortForm(code), shortForm(group)));
                doubleClickNode(*w.TreeView2, QStringLiteral("G") + code);
                const auto changes = probe.finish([&](const RowChange& c) {
                    return c.table == QStringLiteral("资料下载组详细") && c.kind == RowChange::Added
                           && rowIs(c, QStringLiteral("组id"), group) && rowIs(c, QStringLiteral("岗位代号"), code);
                });
                if (changes.size() != 1)
                    probe.problem(QStringLiteral("%1 members written").arg(changes.size()));
            }
            for (const QString& code : positionCodes) {
                Probe probe(*db, msgs(), tally, problems, QStringLiteral("定位 ") + shortForm(code));
                enterText(w.Text5, code);
                click(w.Command8);
                probe.finish();
                const auto selected = w.ListView2->view()->selectionModel()->selectedRows();
                if (selected.size() != 1 || w.ListView2->key(selected.first().row()) != QStringLiteral("G") + code)
                    probe.problem(QStringLiteral("not found"));
            }
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("member leaves ") + shortForm(group));
            const int before = w.ListView2->count();
            w.ListView2->view()->scrollTo(w.ListView2->model()->index(0, 0));
            const QPoint at = w.ListView2->itemRect(0).center();
            QTest::mouseClick(w.ListView2->view()->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(w.ListView2->view()->viewport(), Qt::LeftButton, {}, at);
            const auto changes = probe.finish([&](const RowChange& c) {
                return c.table == QStringLiteral("资料下载组详细") && c.kind == RowChange::Removed
                       && rowIs(c, QStringLiteral("组id"), group);
            });
            if (changes.size() != 1 || w.ListView2->count() != before - 1)
                probe.problem(QStringLiteral("%1 members removed").arg(changes.size()));
        }
        // Deleting each created group takes its own rows only.
        for (const QString& group : created) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("delete group ") + shortForm(group));
            const int row = listRowOf(w.List1, group);
            if (row < 0) {
                probe.problem(QStringLiteral("not listed"));
                probe.finish();
                continue;
            }
            clickListRow(w.List1, row);
            msgs().answers = {MsgAnswer::Yes};
            click(w.Command3);
            const auto changes = probe.finish([&](const RowChange& c) {
                return c.kind == RowChange::Removed
                       && ((c.table == QStringLiteral("资料下载组") && rowIs(c, QStringLiteral("组ID"), group))
                           || (c.table == QStringLiteral("资料下载组详细") && rowIs(c, QStringLiteral("组id"), group)));
            });
            if (changes.isEmpty())
                probe.problem(QStringLiteral("nothing removed"));
        }
        report();
    }

    void hostileUploadPermissions()
    {
        tally.places += 4;
        QStringList typeCodes;
        for (const HostileText& h : hostileTexts())
            if (fitsACode(h.text)) {
                db->addType(h.text, h.text, QVariant(), 0);
                typeCodes << h.text;
            }
        frm资料上传权限设置 w(*platform);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        clickNode(*w.TreeView2, QStringLiteral("$D01"));
        const auto onlyPosition = [](const QString& code) {
            return [code](const RowChange& c) {
                return c.table == QStringLiteral("资料上传权限") && rowIs(c, QStringLiteral("岗位代号"), code);
            };
        };
        for (int i = 0; i < positionCodes.size(); ++i) {
            const QString& code = positionCodes[i];
            // Add: the position with two hostile types ticked.
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("add permission ") + shortForm(code));
            w.TreeView1->setAllChecked(false);
            const QStringList types{typeCodes[i % typeCodes.size()], typeCodes[(i + 1) % typeCodes.size()]};
            for (const QString& t : types)
                clickCheckBox(*w.TreeView1, QStringLiteral("S") + t);
            clickNode(*w.TreeView2, QStringLiteral("G") + code);
            click(w.Command5);
            auto changes = probe.finish(onlyPosition(code));
            QStringList stored;
            for (const RowChange& c : changes)
                stored << rowValue(c, QStringLiteral("文件编号")).toString();
            stored.sort();
            QStringList expected = types;
            expected.sort();
            if (stored != expected)
                probe.problem(QStringLiteral("stored types ") + stored.join(u','));

            // Change: the list row chosen ticks its types; one more type, then "修改".
            Probe change(*db, msgs(), tally, problems, QStringLiteral("change permission ") + shortForm(code));
            int row = -1;
            for (int r = 0; r < w.ListView2->count(); ++r)
                if (w.ListView2->key(r) == QStringLiteral("G") + code)
                    row = r;
            if (row < 0) {
                change.problem(QStringLiteral("not listed"));
                change.finish();
                continue;
            }
            w.ListView2->view()->scrollTo(w.ListView2->model()->index(row, 0));
            QTest::mouseClick(w.ListView2->view()->viewport(), Qt::LeftButton, {}, w.ListView2->itemRect(row).center());
            QStringList ticked = w.TreeView1->checkedKeys();
            ticked.sort();
            if (ticked != QStringList{QStringLiteral("S") + expected[0], QStringLiteral("S") + expected[1]}
                && expected[0] != expected[1])
                change.problem(QStringLiteral("ticked ") + ticked.join(u','));
            clickCheckBox(*w.TreeView1, QStringLiteral("S01"));
            click(w.Command7);
            changes = change.finish(onlyPosition(code));
            if (changes.isEmpty())
                change.problem(QStringLiteral("nothing changed"));

            // Delete.
            Probe remove(*db, msgs(), tally, problems, QStringLiteral("delete permission ") + shortForm(code));
            QTest::mouseClick(w.ListView2->view()->viewport(), Qt::LeftButton, {}, w.ListView2->itemRect(row).center());
            msgs().answers = {MsgAnswer::Yes};
            click(w.Command6);
            changes = remove.finish(onlyPosition(code));
            if (changes.size() != 3)
                remove.problem(QStringLiteral("%1 rows removed").arg(changes.size()));
            msgs().answers.clear();
        }
        report();
    }

    void cleanupTestCase() { tally.report("permission windows"); }
};

QUARVEL_HOSTILE_MAIN(HostilePermissionsTest)
#include "test_hostile_permissions.moc"
