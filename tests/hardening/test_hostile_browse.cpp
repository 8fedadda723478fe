// Hostile texts through the browse window's filters: file name, uploader and keywords typed,
// types with hostile codes ticked and hostile formats selected. No statement error, nothing
// written, only the position's own documents listed, and a ticked type or selected format
// finds exactly its own documents.

#include "HostileInputs.h"
#include "Organisation.h"

#include "library/frmBrowse.h"
#include "login/UserContext.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

using Col = Frm公司资料查阅::Column;

class HostileBrowseTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    Tally tally;
    QStringList problems;
    QTemporaryDir files;
    std::unique_ptr<Frm公司资料查阅> w;
    // Hostile type codes and extensions, each with the number of its one document.
    QList<QPair<QString, QString>> typeDocuments, formatDocuments;

    void addDocument(const QString& number, const QString& name, const QString& type, const QString& extension,
                     const QString& position = QStringLiteral("G01"))
    {
        QVERIFY(db->insert(QStringLiteral("公司文件信息"),
                           {{QStringLiteral("编号"), number},
                            {QStringLiteral("文件名称"), name},
                            {QStringLiteral("文件类别"), type},
                            {QStringLiteral("关键字"), name},
                            {QStringLiteral("文件级别"), 1},
                            {QStringLiteral("上传人工号"), QStringLiteral("0013")},
                            {QStringLiteral("上传日期"), QDateTime(QDate(2026, 3, 1), QTime(9, 5))},
                            {QStringLiteral("部门"), QStringLiteral("D01")},
                            {QStringLiteral("岗位"), QStringLiteral("G01")},
                            {QStringLiteral("附件后缀"), extension},
                            {QStringLiteral("文件"), QByteArray("content")}}));
        QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), number},
                                                            {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                            {QStringLiteral("岗位代号"), position},
                                                            {QStringLiteral("查阅"), 1},
                                                            {QStringLiteral("下载"), 1}}));
    }

    QStringList listedNumbers() const
    {
        QStringList out;
        for (int r = 1; r < w->MSFlexGrid1->rows(); ++r)
            out << w->MSFlexGrid1->textMatrix(r, Col::ColNumber);
        return out;
    }

    void openFilters()
    {
        if (!w->Picture7->isVisible())
            QTest::mouseClick(w->comLook, Qt::LeftButton);
    }

    static void setTicked(QCheckBox* box, bool on)
    {
        if (box->isChecked() != on)
            QTest::mouseClick(box, Qt::LeftButton);
    }

    void report() { QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n'))); }

private slots:
    void initTestCase() { tally.begin(); }

    void init()
    {
        problems.clear();
        typeDocuments.clear();
        formatDocuments.clear();
        QVERIFY(setUp());
        Organisation org = organisation();
        org.finance();
        org.positions({{"G02", "出纳", "D01"}});
        org.employees({{"0013", "王_%小明", "123"}});
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), QVariant(), 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        addDocument(QStringLiteral("P-1"), QStringLiteral("预算手册"), QStringLiteral("0101"), QStringLiteral("pdf"));
        addDocument(QStringLiteral("OTHER-1"), QStringLiteral("' or '1'='1 % _ [a-z] O'Neil"), QStringLiteral("0101"),
                    QStringLiteral("pdf"), QStringLiteral("G02"));
        int n = 0;
        for (const HostileText& h : hostileTexts()) {
            if (h.text.trimmed().isEmpty() || h.text.size() > 20 || h.text != h.text.trimmed() || h.text.contains(u' '))
                continue;
            ++n;
            db->addType(h.text, QStringLiteral("类") + h.text, QVariant(), 0);
            const QString number = QStringLiteral("T-%1").arg(n);
            addDocument(number, h.text, h.text, QStringLiteral("txt"));
            typeDocuments.append({h.text, number});
            const QString other = QStringLiteral("F-%1").arg(n);
            addDocument(other, h.text, QStringLiteral("0101"), h.text);
            formatDocuments.append({h.text, other});
        }
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));
        w = std::make_unique<Frm公司资料查阅>(*platform);
        w->setTempFolder(files.filePath(QStringLiteral("temp")));
        w->resize(1200, 800);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup()
    {
        w.reset();
        tearDown();
    }

    void hostileTypedFilters()
    {
        tally.places += 3;
        const std::array<std::pair<QCheckBox*, QLineEdit*>, 3> filters{
            {{w->Check2, w->Text1}, {w->Check1, w->Text2}, {w->Check5, w->Text3}}};
        const char* names[] = {"file name ", "uploader ", "keywords "};
        for (const HostileText& h : hostileTexts()) {
            for (size_t f = 0; f < filters.size(); ++f) {
                Probe probe(*db, msgs(), tally, problems, QLatin1String(names[f]) + h.label);
                openFilters();
                setTicked(w->Check9, true);
                for (const auto& [check, box] : filters)
                    setTicked(check, false);
                setTicked(filters[f].first, true);
                enterText(filters[f].second, h.text);
                QTest::mouseClick(w->Command10, Qt::LeftButton);
                probe.finish();
                if (listedNumbers().contains(QStringLiteral("OTHER-1")))
                    probe.problem(QStringLiteral("another position's document listed"));
                // A name that is one document's whole name finds that document.
                const int index = [&] {
                    for (int i = 0; i < typeDocuments.size(); ++i)
                        if (typeDocuments[i].first == h.text)
                            return i;
                    return -1;
                }();
                if (f != 1 && index >= 0 && !listedNumbers().contains(typeDocuments[index].second))
                    probe.problem(QStringLiteral("its own document not found: ") + listedNumbers().join(u','));
            }
        }
        report();
    }

    void hostileTypesTicked()
    {
        tally.places += 1;
        for (const auto& [code, number] : typeDocuments) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("type ") + shortForm(code));
            openFilters();
            setTicked(w->Check9, true);
            setTicked(w->Check9, false);
            for (QCheckBox* c : {w->Check2, w->Check1, w->Check5, w->Check6})
                setTicked(c, false);
            clickCheckBox(*w->TreeView1, QStringLiteral("S") + code);
            QTest::mouseClick(w->Command10, Qt::LeftButton);
            probe.finish();
            if (listedNumbers() != QStringList{number})
                probe.problem(QStringLiteral("listed ") + listedNumbers().join(u','));
        }
        report();
    }

    void hostileFormatsSelected()
    {
        tally.places += 1;
        for (const auto& [format, number] : formatDocuments) {
            Probe probe(*db, msgs(), tally, problems, QStringLiteral("format ") + shortForm(format));
            openFilters();
            setTicked(w->Check9, true);
            for (QCheckBox* c : {w->Check2, w->Check1, w->Check5, w->Check6})
                setTicked(c, false);
            w->List1->clearSelection();
            const auto found = w->List1->findItems(format, Qt::MatchExactly);
            if (found.size() != 1) {
                probe.problem(QStringLiteral("format listed %1 times").arg(found.size()));
                probe.finish();
                continue;
            }
            w->List1->scrollToItem(found.first());
            QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {},
                              w->List1->visualItemRect(found.first()).center());
            QTest::mouseClick(w->Command10, Qt::LeftButton);
            probe.finish();
            if (listedNumbers() != QStringList{number})
                probe.problem(QStringLiteral("listed ") + listedNumbers().join(u','));
        }
        report();
    }

    void cleanupTestCase() { tally.report("browse window"); }
};

QUARVEL_HOSTILE_MAIN(HostileBrowseTest)
#include "test_hostile_browse.moc"
