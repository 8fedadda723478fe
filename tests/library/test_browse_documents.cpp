// The browse window's documents on real databases: the permission rule, the opening list, the
// search with every filter, hostile texts, and value lists longer than SQL Server's parameter
// limit.

#include "BrowseFixture.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "db/ValueList.h"
#include "library/BrowseDocuments.h"

#include <QTest>

#include <memory>

using namespace quarvel;
using namespace quarvel::test;

namespace {

QStringList numbersOf(const QVector<BrowseRow>& rows)
{
    QStringList out;
    for (const BrowseRow& r : rows)
        out << r.number;
    return out;
}

BrowseSearch allTypes()
{
    BrowseSearch s;
    s.typeCodes = {QStringLiteral("01"), QStringLiteral("0101"), QStringLiteral("0102")};
    return s;
}

const QString kHostile = QStringLiteral("x' or '1'='1'; drop table 公司文件信息; --");

}  // namespace

class BrowseDocumentsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<BrowseFixture> fx;

    QStringList search(const BrowseSearch& s, const QString& position = QStringLiteral("G01"))
    {
        const auto rows = BrowseDocuments::search(position, s);
        if (!rows.ok())
            qWarning("%s", qPrintable(rows.error.description));
        // Read in steps of one row, the same rows with the same rights, counted beforehand.
        const auto reader = BrowseDocuments::openSearch(position, s);
        const auto rights = [](const BrowseRow& r) {
            return r.number + u':' + QChar(u'0' + r.canRead) + QChar(u'0' + r.canDownload);
        };
        QStringList stepped, whole;
        while (reader->read(1, [&](const BrowseRow& r) { stepped << rights(r); })) {
        }
        for (const BrowseRow& r : rows.value)
            whole << rights(r);
        if (rows.ok() && (stepped != whole || reader->total() != whole.size() || reader->error().isSet()))
            return {QStringLiteral("read in steps: ") + stepped.join(u',')};
        return numbersOf(rows.value);
    }

private slots:
    void init() { QVERIFY(openBrowseDatabase(db, fx)); }

    void cleanup()
    {
        SharedConnection::release();
        fx.reset();
        db.reset();
    }

    void aPositionSeesExactlyItsGrantedDocuments()
    {
        QVERIFY(fx->addDocument(QStringLiteral("A"), QStringLiteral("读写"), QStringLiteral("0101"), at(3, 1)));
        QVERIFY(fx->addDocument(QStringLiteral("B"), QStringLiteral("只读"), QStringLiteral("0101"), at(3, 2)));
        QVERIFY(fx->addDocument(QStringLiteral("C"), QStringLiteral("只下载"), QStringLiteral("0102"), at(3, 3)));
        QVERIFY(fx->addDocument(QStringLiteral("D"), QStringLiteral("别人的"), QStringLiteral("0101"), at(3, 4)));
        QVERIFY(fx->addDocument(QStringLiteral("E"), QStringLiteral("无内容"), QStringLiteral("0101"), at(3, 5),
                                QStringLiteral("pdf"), QVariant(QMetaType::fromType<QByteArray>())));
        QVERIFY(fx->addDocument(QStringLiteral("F"), QStringLiteral("无权"), QStringLiteral("0101"), at(3, 6)));
        QVERIFY(fx->addDocument(QStringLiteral("G"), QStringLiteral("无类型"), QString(), at(3, 7)));
        QVERIFY(fx->grant(QStringLiteral("A"), QStringLiteral("G01"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("B"), QStringLiteral("G01"), 1, 0));
        QVERIFY(fx->grant(QStringLiteral("C"), QStringLiteral("G01"), 0, 1));
        QVERIFY(fx->grant(QStringLiteral("D"), QStringLiteral("G02"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("E"), QStringLiteral("G01"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("F"), QStringLiteral("G01"), 0, 0));
        QVERIFY(fx->grant(QStringLiteral("G"), QStringLiteral("G01"), 1, 1));

        const auto recent = BrowseDocuments::recent(QStringLiteral("G01"));
        QVERIFY2(recent.ok(), qPrintable(recent.error.description));
        QCOMPARE(numbersOf(recent.value), QStringList({"G", "C", "B", "A"}));
        const BrowseRow& c = recent.value.at(1);
        QVERIFY(!c.canRead);
        QVERIFY(c.canDownload);
        QCOMPARE(c.typeText(), QStringLiteral("0102 财务制度"));
        QCOMPARE(c.uploaderName, QStringLiteral("员工甲"));
        QCOMPARE(c.uploadedText(), QStringLiteral("2013-03-03 09:00"));
        QCOMPARE(c.summary, QStringLiteral("只下载的摘要"));
        QCOMPARE(c.id, fx->idOf(QStringLiteral("C")));
        QVERIFY(recent.value.at(2).canRead && !recent.value.at(2).canDownload);
        // A document without a type shows the blank and no name.
        QCOMPARE(recent.value.at(0).typeText(), QStringLiteral(" "));

        QCOMPARE(numbersOf(BrowseDocuments::recent(QStringLiteral("G02")).value), QStringList({"D"}));
        QCOMPARE(search(allTypes()), QStringList({"C", "B", "A"}));
        QCOMPARE(search(allTypes(), QStringLiteral("G02")), QStringList({"D"}));
    }

    void theSuperUserSeesNone()
    {
        QVERIFY(fx->addDocument(QStringLiteral("A"), QStringLiteral("甲"), QStringLiteral("0101"), at(3, 1)));
        QVERIFY(fx->grant(QStringLiteral("A"), QString(""), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("A"), QString(), 1, 1));
        QVERIFY(BrowseDocuments::recent(QString()).value.isEmpty());
        QVERIFY(BrowseDocuments::recent(QStringLiteral("")).value.isEmpty());
        QVERIFY(BrowseDocuments::search(QString(), allTypes()).value.isEmpty());
    }

    void differentRightsRowsListTwiceEqualOnce()
    {
        QVERIFY(fx->addDocument(QStringLiteral("A"), QStringLiteral("甲"), QStringLiteral("0101"), at(3, 1)));
        QVERIFY(fx->addDocument(QStringLiteral("B"), QStringLiteral("乙"), QStringLiteral("0101"), at(3, 2)));
        QVERIFY(fx->grant(QStringLiteral("A"), QStringLiteral("G01"), 1, 0));
        QVERIFY(fx->grant(QStringLiteral("A"), QStringLiteral("G01"), 0, 1));
        QVERIFY(fx->grant(QStringLiteral("B"), QStringLiteral("G01"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("B"), QStringLiteral("G01"), 1, 1));
        QCOMPARE(numbersOf(BrowseDocuments::recent(QStringLiteral("G01")).value), QStringList({"B", "A", "A"}));
        QCOMPARE(search(allTypes()), QStringList({"B", "A", "A"}));
        // A date filter lets the period's documents lead: the same rows.
        BrowseSearch period = allTypes();
        period.byDate = true;
        period.from = at(3, 1).date();
        period.to = at(3, 2).date();
        QCOMPARE(search(period), QStringList({"B", "A", "A"}));
    }

    void theOpeningListHoldsTheFiftyNewest()
    {
        for (int i = 0; i < 60; ++i) {
            const QString number = QStringLiteral("N%1").arg(i, 2, 10, QLatin1Char('0'));
            QVERIFY(fx->addDocument(number, number, QStringLiteral("0101"), at(1, 1).addSecs(i * 3600)));
            QVERIFY(fx->grant(number, QStringLiteral("G01"), 1, 1));
        }
        const auto recent = BrowseDocuments::recent(QStringLiteral("G01"));
        QCOMPARE(recent.value.size(), 50);
        QCOMPARE(recent.value.first().number, QStringLiteral("N59"));
        QCOMPARE(recent.value.last().number, QStringLiteral("N10"));
        QCOMPARE(BrowseDocuments::recent(QStringLiteral("G01"), 5).value.size(), 5);
    }

    void refusalsComeInOrder()
    {
        BrowseSearch s;
        s.byName = s.byUploader = s.byKeywords = s.byDate = true;
        s.from = QDate(2013, 3, 2);
        s.to = QDate(2013, 3, 1);
        // No type ticked refuses first, whatever else is set.
        QCOMPARE(checkSearch(s), SearchRefusal::NoType);
        s.typeCodes = {QStringLiteral("0101")};
        QCOMPARE(checkSearch(s), SearchRefusal::NoName);
        s.name = QStringLiteral("  ");
        QCOMPARE(checkSearch(s), SearchRefusal::NoName);
        s.name = QStringLiteral("甲");
        QCOMPARE(checkSearch(s), SearchRefusal::NoUploader);
        s.uploader = QStringLiteral("乙");
        QCOMPARE(checkSearch(s), SearchRefusal::NoKeywords);
        s.keywords = QStringLiteral("丙");
        QCOMPARE(checkSearch(s), SearchRefusal::DateRange);
        s.to = s.from;
        QCOMPARE(checkSearch(s), SearchRefusal::None);
        // Unticked filters do not care about their texts.
        BrowseSearch plain;
        plain.typeCodes = {QStringLiteral("01")};
        plain.from = QDate(2013, 3, 2);
        plain.to = QDate(2013, 3, 1);
        QCOMPARE(checkSearch(plain), SearchRefusal::None);
    }

    void everyFilterNarrowsTheSearch()
    {
        QVERIFY(fx->addDocument(QStringLiteral("A"), QStringLiteral("年度报告"), QStringLiteral("0101"), at(3, 1, 0, 0),
                                QStringLiteral("pdf"), QByteArray("%PDF-1"), QStringLiteral("0012"),
                                QStringLiteral("预算,年度")));
        QVERIFY(fx->addDocument(QStringLiteral("B"), QStringLiteral("月度报告"), QStringLiteral("0102"),
                                at(3, 1, 23, 59), QStringLiteral("doc"), QByteArray("DOC1"), QStringLiteral("0013"),
                                QStringLiteral("月度")));
        QVERIFY(fx->addDocument(QStringLiteral("C"), QStringLiteral("100%完成_率"), QStringLiteral("0102"),
                                at(3, 2, 0, 0), QStringLiteral("PDF"), QByteArray("%PDF-2"), QStringLiteral("9999")));
        for (const char* n : {"A", "B", "C"})
            QVERIFY(fx->grant(QString::fromLatin1(n), QStringLiteral("G01"), 1, 1));

        BrowseSearch s;
        s.typeCodes = {QStringLiteral("0102")};
        QCOMPARE(search(s), QStringList({"C", "B"}));
        s.formats = {QStringLiteral("doc")};
        QCOMPARE(search(s), QStringList({"B"}));
        s.formats = {QStringLiteral("pdf")};  // formats compare without case, as on the server
        s.typeCodes = allTypes().typeCodes;
        QCOMPARE(search(s), QStringList({"C", "A"}));
        s.formats.clear();

        s.byName = true;
        s.name = QStringLiteral(" 报告 ");
        QCOMPARE(search(s), QStringList({"B", "A"}));
        s.name = QStringLiteral("%");  // a wildcard: every named document
        QCOMPARE(search(s), QStringList({"C", "B", "A"}));
        s.name = QStringLiteral("年_报");  // "_" stands for one character
        QCOMPARE(search(s), QStringList({"A"}));
        s.byName = false;

        s.byUploader = true;
        s.uploader = QStringLiteral("员工");
        QCOMPARE(search(s), QStringList({"A"}));
        s.uploader = QStringLiteral("_%小");  // wildcards match the literal name too
        QCOMPARE(search(s), QStringList({"B"}));
        s.byUploader = false;

        s.byKeywords = true;
        s.keywords = QStringLiteral("年度");
        QCOMPARE(search(s), QStringList({"A"}));
        s.byKeywords = false;

        // The same start and end day finds that whole day, from midnight to 23:59.
        s.byDate = true;
        s.from = s.to = QDate(2013, 3, 1);
        QCOMPARE(search(s), QStringList({"B", "A"}));
        s.to = QDate(2013, 3, 2);
        QCOMPARE(search(s), QStringList({"C", "B", "A"}));
        s.from = s.to = QDate(2013, 2, 28);
        QVERIFY(search(s).isEmpty());

        // An uploader's number held twice: one row per holder whose name matches, with the
        // period's documents leading or not.
        QVERIFY(fx->db.insert(QStringLiteral("员工档案"), {{QStringLiteral("工号"), QStringLiteral("0013")},
                                                           {QStringLiteral("姓名"), QStringLiteral("赵小明")}}));
        s.to = QDate(2013, 3, 2);
        s.byUploader = true;
        for (const bool byDate : {true, false}) {
            s.byDate = byDate;
            s.uploader = QStringLiteral("小明");
            QCOMPARE(search(s), QStringList({"B", "B"}));
            s.uploader = QStringLiteral("赵");
            QCOMPARE(search(s), QStringList({"B"}));
        }
    }

    void hostileTextsAreValues()
    {
        QVERIFY(fx->addDocument(kHostile, kHostile, kHostile, at(3, 1), kHostile, QByteArray("%PDF-1"),
                                QStringLiteral("0012"), kHostile));
        QVERIFY(fx->addDocument(QStringLiteral("B"), QStringLiteral("乙"), QStringLiteral("0101"), at(3, 2)));
        QVERIFY(fx->grant(kHostile, QStringLiteral("G01"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("B"), QStringLiteral("G01"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("B"), kHostile, 1, 1));

        BrowseSearch s;
        s.typeCodes = {kHostile};
        s.formats = {kHostile};
        s.byName = s.byKeywords = true;
        s.name = s.keywords = kHostile;
        QCOMPARE(search(s), QStringList({kHostile}));
        s.byUploader = true;
        s.uploader = kHostile;
        QVERIFY(search(s).isEmpty());
        QCOMPARE(search(allTypes(), kHostile), QStringList({"B"}));
        QCOMPARE(numbersOf(BrowseDocuments::recent(kHostile).value), QStringList({"B"}));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt(), 2);
    }

    void typeListsLongerThanTheParameterLimit()
    {
        QVERIFY(fx->addDocument(QStringLiteral("A"), QStringLiteral("甲"), QStringLiteral("T2100"), at(3, 1)));
        QVERIFY(fx->addDocument(QStringLiteral("B"), QStringLiteral("乙"), QStringLiteral("T0000"), at(3, 2)));
        QVERIFY(fx->addDocument(QStringLiteral("C"), QStringLiteral("丙"), QStringLiteral("T9999"), at(3, 3)));
        for (const char* n : {"A", "B", "C"})
            QVERIFY(fx->grant(QString::fromLatin1(n), QStringLiteral("G01"), 1, 1));
        BrowseSearch s;
        for (int i = 0; i <= 2100; ++i)
            s.typeCodes << QStringLiteral("T%1").arg(i, 4, 10, QLatin1Char('0'));
        QCOMPARE(s.typeCodes.size(), 2101);
        QCOMPARE(search(s), QStringList({"B", "A"}));
        // A company may tick 30,000 types.
        for (int i = 2101; i < 30000; ++i)
            s.typeCodes << QStringLiteral("T%1").arg(i, 4, 10, QLatin1Char('0'));
        s.formats = QStringList(2500, QStringLiteral("pdf"));
        QCOMPARE(search(s), QStringList({"C", "B", "A"}));
    }

    void valueListsAreRefilledAndDropped()
    {
        {
            ValueList list(QStringLiteral("测试列表"));
            QVERIFY(list.fill({QStringLiteral("a'b"), QStringLiteral("c"), QString()}).ok());
            QCOMPARE(list.size(), 3);
            {
                Query count(QStringLiteral("select count(*) as n from ") + list.table()
                            + QStringLiteral(" where 值 in ('a''b', '')"));
                QVERIFY(count.exec() && count.next());
                QCOMPARE(count.integer(u"n"), 2);
            }
            // Filling again replaces the rows.
            QVERIFY(list.fill(QStringList(1001, QStringLiteral("x"))).ok());
            {
                Query again(QStringLiteral("select count(*) as n from (") + list.select() + QStringLiteral(") as t"));
                QVERIFY(again.exec() && again.next());
                QCOMPARE(again.integer(u"n"), 1001);
            }
            QVERIFY(list.fill({}).ok());
        }
        // Gone with its owner.
        Query gone(QStringLiteral("select count(*) as n from [#测试列表]"));
        QVERIFY(!gone.exec());
    }

    void theFormatsOfTheLibrary()
    {
        QVERIFY(fx->addDocument(QStringLiteral("A"), QStringLiteral("甲"), QStringLiteral("0101"), at(3, 1)));
        QVERIFY(fx->addDocument(QStringLiteral("B"), QStringLiteral("乙"), QStringLiteral("0101"), at(3, 2),
                                QStringLiteral("doc")));
        QVERIFY(fx->addDocument(QStringLiteral("C"), QStringLiteral("丙"), QStringLiteral("0101"), at(3, 3),
                                QStringLiteral("pdf")));
        QVERIFY(fx->addDocument(QStringLiteral("D"), QStringLiteral("丁"), QStringLiteral("0101"), at(3, 4)));
        QVERIFY(db->exec(QStringLiteral("update 公司文件信息 set 附件后缀 = null where 编号 = 'D'")));
        const auto formats = BrowseDocuments::formats();
        QVERIFY(formats.ok());
        QStringList sorted = formats.value;
        sorted.sort();
        QCOMPARE(sorted, QStringList({"doc", "pdf"}));
    }

    // The same rows, field by field, whether the list is read through the embedded engine's own
    // handle or through an ODBC driver (the path every server connection takes).
    void theSameRowsThroughOdbc()
    {
        const auto rowText = [](const BrowseRow& r) {
            return QStringList{QString::number(r.id),
                               r.number,
                               r.typeText(),
                               r.name,
                               r.summary,
                               r.keywords,
                               r.level,
                               r.uploaderName,
                               r.extension,
                               r.uploadedText(),
                               r.uploaded.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               QString::number(r.canRead),
                               QString::number(r.canDownload)}
                .join(u'|');
        };
        const auto read = [&](QStringList& out) {
            BrowseSearch s = allTypes();
            s.typeCodes << QStringLiteral("nosuch");
            const auto searched = BrowseDocuments::search(QStringLiteral("G01"), s);
            const auto recent = BrowseDocuments::recent(QStringLiteral("G01"));
            QVERIFY2(searched.ok() && recent.ok(), qPrintable(searched.error.description + recent.error.description));
            for (const BrowseRow& r : searched.value + recent.value)
                out << rowText(r);
        };
        QVERIFY(fx->addDocument(QStringLiteral("A"), QStringLiteral("读写"), QStringLiteral("0101"), at(3, 1)));
        QVERIFY(fx->addDocument(QStringLiteral("B"), QStringLiteral("只读"), QStringLiteral("0101"), at(3, 2)));
        QVERIFY(fx->addDocument(QStringLiteral("C"), QStringLiteral("只下载"), QStringLiteral("0102"), at(3, 3)));
        QVERIFY(fx->addDocument(QStringLiteral("G"), QStringLiteral("无类型"), QString(), at(3, 7)));
        QVERIFY(fx->grant(QStringLiteral("A"), QStringLiteral("G01"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("B"), QStringLiteral("G01"), 1, 0));
        QVERIFY(fx->grant(QStringLiteral("C"), QStringLiteral("G01"), 0, 1));
        QVERIFY(fx->grant(QStringLiteral("G"), QStringLiteral("G01"), 1, 1));
        QStringList embedded;
        read(embedded);
        QCOMPARE(embedded.size(), 7);

        SharedConnection::release();
        const DbStatus opened = db->openSharedThroughOdbc();
        if (!opened.ok())
            QSKIP(qPrintable(QStringLiteral("the SQLite ODBC driver is not available: ") + opened.error.description));
        QCOMPARE(SharedConnection::database().driverName(), QStringLiteral("QODBC"));
        QStringList throughOdbc;
        read(throughOdbc);
        QCOMPARE(throughOdbc, embedded);
    }

    void aBrokenConnectionIsAnError()
    {
        SharedConnection::release();
        QVERIFY(!BrowseDocuments::recent(QStringLiteral("G01")).ok());
        QVERIFY(!BrowseDocuments::search(QStringLiteral("G01"), allTypes()).ok());
        QVERIFY(!BrowseDocuments::formats().ok());
    }
};

QTEST_MAIN(BrowseDocumentsTest)
#include "test_browse_documents.moc"
