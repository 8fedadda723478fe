// Document names and extensions with separators, "..", ":", leading dots, device names and 300
// characters, opened (temporary copies) and downloaded from the browse window and opened from
// the upload window: every file goes directly into the temporary folder or to the path the
// user chose, under a safe name, nothing anywhere else; the save dialog suggests a plain file
// name; the access log keeps the names as stored.

#include "HostileInputs.h"
#include "Organisation.h"

#include "library/frmBrowse.h"
#include "library/frmUpload.h"
#include "login/UserContext.h"
#include "widgets/grid/FlexGrid.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTableView>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

using Col = Frm公司资料查阅::Column;

namespace {

bool rowIs(const RowChange& c, const QString& column, const QString& value)
{
    const int i = c.after.columns.indexOf(column);
    return i >= 0 && c.after.values[i].toString() == value;
}

// Names that reach outside a folder when a program joins them to it unchecked.
const QStringList kEscapes = {QStringLiteral("/tmp/quarvel-escaped"), QStringLiteral("/tmp/quarvel-escaped.txt")};

}  // namespace

class HostileFilesTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    Tally tally;
    QStringList problems;
    std::unique_ptr<QTemporaryDir> outer;
    QString tempFolder, chosenFolder;
    // Number, name and extension of each document.
    struct Doc {
        QString number, name, extension;
    };
    QVector<Doc> docs;

    void report() { QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n'))); }

    QStringList newEntries(const QStringList& before) const
    {
        QStringList now = listTree(outer->path());
        for (const QString& b : before)
            now.removeOne(b);
        return now;
    }

    void checkNoEscape(Probe& probe)
    {
        for (const QString& e : kEscapes)
            if (QFileInfo::exists(e)) {
                probe.problem(QStringLiteral("wrote ") + e);
                QFile::remove(e);
            }
    }

    // One new file directly in the temporary folder, and nothing else.
    void checkTemporaryCopy(Probe& probe, const QStringList& before)
    {
        const QString prefix = QDir(outer->path()).relativeFilePath(tempFolder) + u'/';
        QStringList added = newEntries(before);
        // The temporary folder itself may be made on the first copy.
        added.removeAll(QDir(outer->path()).relativeFilePath(tempFolder));
        for (const QString& a : QDir(outer->path()).relativeFilePath(tempFolder).split(u'/')) {
            Q_UNUSED(a);
        }
        QStringList parents;
        QString p = QDir(outer->path()).relativeFilePath(tempFolder);
        while (p.contains(u'/')) {
            p = p.section(u'/', 0, -2);
            parents << p;
        }
        for (const QString& parent : parents)
            added.removeAll(parent);
        if (added.size() != 1 || !added.first().startsWith(prefix) || added.first().mid(prefix.size()).contains(u'/'))
            probe.problem(
                QStringLiteral("wrote %1 (%2)").arg(shortForm(added.join(u',')), probe.messages().join(u'|')));
        const QStringList opened = platform->shellDouble().openedFiles;
        if (opened.isEmpty() || QFileInfo(opened.last()).absolutePath() != QFileInfo(tempFolder).absoluteFilePath())
            probe.problem(QStringLiteral("opened ") + (opened.isEmpty() ? QString() : shortForm(opened.last())));
        else {
            const QString fileName = QFileInfo(opened.last()).fileName();
            if (fileName.startsWith(u'.') || fileName.toUtf8().size() > 255)
                probe.problem(QStringLiteral("unsafe name ") + shortForm(fileName));
        }
        checkNoEscape(probe);
    }

private slots:
    void initTestCase() { tally.begin(); }

    void init()
    {
        problems.clear();
        docs.clear();
        QVERIFY(setUp());
        outer = std::make_unique<QTemporaryDir>();
        // Deep enough that "../.." stays inside the watched folder.
        tempFolder = outer->filePath(QStringLiteral("a/b/c/temp"));
        chosenFolder = outer->filePath(QStringLiteral("a/b/c/chosen"));
        QVERIFY(QDir().mkpath(chosenFolder));
        Organisation org = organisation();
        org.finance();
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), QVariant(), 0);
        QVector<HostileText> names = hostileFileNames();
        names += hostileTexts().mid(0, 8);
        int n = 0;
        for (const HostileText& h : names) {
            ++n;
            const QString name = h.text.left(200);
            const HostileText& ext = hostileFileNames()[n % hostileFileNames().size()];
            const QString extension = ext.text.size() <= 20 ? ext.text : QStringLiteral("txt");
            const Doc doc{QStringLiteral("F-%1").arg(n), name,
                          extension == QStringLiteral("pdf") ? QStringLiteral("txt") : extension};
            QVERIFY(db->insert(QStringLiteral("公司文件信息"),
                               {{QStringLiteral("编号"), doc.number},
                                {QStringLiteral("文件名称"), doc.name},
                                {QStringLiteral("文件类别"), QStringLiteral("01")},
                                {QStringLiteral("文件级别"), 1},
                                {QStringLiteral("上传人工号"), QStringLiteral("0012")},
                                {QStringLiteral("上传日期"), QDateTime(QDate(2026, 3, 1), QTime(9, 5)).addSecs(n)},
                                {QStringLiteral("部门"), QStringLiteral("D01")},
                                {QStringLiteral("岗位"), QStringLiteral("G01")},
                                {QStringLiteral("附件后缀"), doc.extension},
                                {QStringLiteral("文件"), QByteArray("content of ") + doc.number.toUtf8()}}));
            QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), doc.number},
                                                                {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                                {QStringLiteral("岗位代号"), QStringLiteral("G01")},
                                                                {QStringLiteral("查阅"), 1},
                                                                {QStringLiteral("下载"), 1}}));
            docs << doc;
        }
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));
        userContext().EmployeeName = QStringLiteral("员工甲");
        userContext().DeptName = QStringLiteral("财务部");
    }

    void cleanup()
    {
        outer.reset();
        tearDown();
    }

    void browseOpensAndDownloadsOnlyWhereAllowed()
    {
        tally.places += 2;
        Frm公司资料查阅 w(*platform);
        w.setTempFolder(tempFolder);
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.MSFlexGrid1->rows() - 1, docs.size());
        int n = 0;
        for (const Doc& doc : docs) {
            const int row = w.MSFlexGrid1->findRow(Col::ColNumber, doc.number);
            QVERIFY(row > 0);
            const auto logOf = [&](const RowChange& c) {
                return c.table == QStringLiteral("资料下载记录") && c.kind == RowChange::Added
                       && rowIs(c, QStringLiteral("文件编号"), doc.number);
            };
            {
                Probe probe(*db, msgs(), tally, problems, QStringLiteral("read ") + shortForm(doc.name));
                const QStringList before = listTree(outer->path());
                doubleClickCell(*w.MSFlexGrid1, row, Col::ColRead);
                const auto changes = probe.finish(logOf);
                checkTemporaryCopy(probe, before);
                if (changes.size() != 1 || !rowIs(changes.value(0), QStringLiteral("文件名称"), doc.name))
                    probe.problem(QStringLiteral("access log not written as stored"));
            }
            {
                Probe probe(*db, msgs(), tally, problems, QStringLiteral("download ") + shortForm(doc.name));
                const QStringList before = listTree(outer->path());
                const QString target = chosenFolder + QStringLiteral("/下载%1.dat").arg(++n);
                platform->dialogsDouble().asked.clear();
                platform->dialogsDouble().answers = {target};
                doubleClickCell(*w.MSFlexGrid1, row, Col::ColDownload);
                const auto changes = probe.finish(logOf);
                const QStringList added = newEntries(before);
                if (added != QStringList{QDir(outer->path()).relativeFilePath(target)})
                    probe.problem(QStringLiteral("wrote ") + shortForm(added.join(u',')));
                QFile saved(target);
                if (!saved.open(QIODevice::ReadOnly) || saved.readAll() != "content of " + doc.number.toUtf8())
                    probe.problem(QStringLiteral("saved content differs"));
                if (changes.size() != 1)
                    probe.problem(QStringLiteral("access log not written"));
                checkNoEscape(probe);
                // The dialog suggests a plain file name.
                const QString suggested = platform->dialogsDouble().asked.value(0).startPath;
                if (suggested.isEmpty() || suggested.contains(u'/') || suggested.contains(u'\\')
                    || suggested.contains(u':') || suggested.startsWith(u'.') || suggested.toUtf8().size() > 255)
                    probe.problem(QStringLiteral("suggested ") + shortForm(suggested));
            }
        }
        report();
    }

    void uploadWindowOpensIntoItsTemporaryFolder()
    {
        tally.places += 1;
        Frm公司资料上传 w(*platform);
        w.setTempFolder(tempFolder);
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        FlexGrid* list = w.findChild<FlexGrid*>(QStringLiteral("MSFlexGrid1"));
        QVERIFY(list);
        for (const Doc& doc : docs) {
            const int row = list->findRow(1, doc.number);
            if (row < 1) {
                problems << QStringLiteral("%1 not listed").arg(doc.number);
                continue;
            }
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("open ") + shortForm(doc.name));
            const QStringList before = listTree(outer->path());
            doubleClickCell(*list, row, 1);
            probe.finish();
            checkTemporaryCopy(probe, before);
        }
        report();
    }

    void cleanupTestCase() { tally.report("opening and downloading files"); }
};

QUARVEL_HOSTILE_MAIN(HostileFilesTest)
#include "test_hostile_files.moc"
