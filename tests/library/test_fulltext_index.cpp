// Search inside the documents on real databases: text indexed at upload and replacement, hits
// under the browse filters and the position's rights, a failed reading that leaves the upload
// intact, a large file indexed in the background, and a database made before the search.

#include "BrowseFixture.h"
#include "DocumentFiles.h"

#include "db/Query.h"
#include "library/FullTextIndex.h"
#include "library/UploadDocuments.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

namespace {

UploaderContext uploader() { return {QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01")}; }

DocumentInput input(const QString& number, const QString& path, const QString& type = QStringLiteral("0101"))
{
    DocumentInput in;
    in.number = number;
    in.name = QStringLiteral("资料") + number;
    in.typeText = type + QStringLiteral(" 制度");
    in.levelText = QStringLiteral("1");
    in.filePath = path;
    return in;
}

}  // namespace

class FullTextIndexTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<BrowseFixture> fx;
    QTemporaryDir files;

    QString file(const QString& name) const { return files.filePath(name); }

    qint64 upload(const QString& number, const QString& path, const QString& type = QStringLiteral("0101"))
    {
        const DbResult<qint64> id = UploadDocuments::insert(input(number, path, type), uploader(), at(5, 1));
        if (!id.ok())
            qWarning("%s", qPrintable(id.error.description));
        return id.value;
    }

    // "number:page" per hit.
    QStringList hits(const QString& words, const QString& position = QStringLiteral("G01"),
                     const BrowseSearch& filters = everyType(), std::optional<FullTextMethod> method = {})
    {
        const DbResult<QVector<FullTextHit>> found = FullTextIndex::search(position, {words, filters, 100}, method);
        if (!found.ok())
            qWarning("%s", qPrintable(found.error.description));
        QStringList out;
        for (const FullTextHit& h : found.value)
            out << QStringLiteral("%1:%2").arg(h.document.number).arg(h.page);
        return out;
    }

    static BrowseSearch everyType()
    {
        BrowseSearch s;
        s.typeCodes = {QStringLiteral("0101"), QStringLiteral("0102")};
        return s;
    }

    IndexState stateOf(qint64 id) { return FullTextIndex::states({id}).value.value(id, IndexState(-1)); }

private slots:
    void init() { QVERIFY(openBrowseDatabase(db, fx)); }

    void cleanup()
    {
        BackgroundIndexing::instance().stop();
        SharedConnection::release();
        fx.reset();
        db.reset();
    }

    void uploadedTextIsFoundWithItsSnippet()
    {
        QVERIFY(writePdf(file(QStringLiteral("a.pdf")), {QStringLiteral("总则"), QStringLiteral("差旅费报销制度")}));
        const qint64 id = upload(QStringLiteral("A"), file(QStringLiteral("a.pdf")));
        QVERIFY(id > 0);
        QVERIFY(fx->grant(QStringLiteral("A"), QStringLiteral("G01"), 1, 0));
        QCOMPARE(stateOf(id), IndexState::Done);
        QCOMPARE(hits(QStringLiteral("报销")), QStringList{QStringLiteral("A:2")});
        QCOMPARE(hits(QStringLiteral("费")), QStringList{QStringLiteral("A:2")});
        QCOMPARE(hits(QStringLiteral("差旅 制度")), QStringList{QStringLiteral("A:2")});
        QCOMPARE(hits(QStringLiteral("报制")), QStringList());
        const auto found = FullTextIndex::search(QStringLiteral("G01"), {QStringLiteral("报销"), everyType(), 10});
        QVERIFY(found.value.at(0).snippet.contains(kMatchStart + QStringLiteral("报销") + kMatchEnd));
        QCOMPARE(found.value.at(0).document.name, QStringLiteral("资料A"));
        QVERIFY(found.value.at(0).document.canRead);
        // A list that shows its rows later builds their snippets then, the same ones.
        auto later = FullTextIndex::search(QStringLiteral("G01"), {QStringLiteral("报销"), everyType(), 10, 0});
        QVERIFY(later.ok() && later.value.at(0).snippet.isEmpty());
        QVERIFY(FullTextIndex::fillSnippets(later.value, 0, 5, {QStringLiteral("报销")}).ok());
        QCOMPARE(later.value.at(0).snippet, found.value.at(0).snippet);
    }

    // Hits follow the browse search's rule exactly: the position's rights and every filter; the
    // server's like over the text (run here on the embedded engine) the same.
    void rightsAndFiltersAsTheBrowseSearch_data()
    {
        QTest::addColumn<FullTextMethod>("method");
        QTest::newRow("index") << FullTextMethod::Fts5;
        QTest::newRow("like") << FullTextMethod::Like;
    }
    void rightsAndFiltersAsTheBrowseSearch()
    {
        QFETCH(FullTextMethod, method);
        QVERIFY(writeDocx(file(QStringLiteral("a.docx")), {QStringLiteral("安全生产规定")}));
        upload(QStringLiteral("READ"), file(QStringLiteral("a.docx")));
        upload(QStringLiteral("NONE"), file(QStringLiteral("a.docx")));
        upload(QStringLiteral("OTHER"), file(QStringLiteral("a.docx")), QStringLiteral("0102"));
        QVERIFY(fx->grant(QStringLiteral("READ"), QStringLiteral("G01"), 1, 0));
        QVERIFY(fx->grant(QStringLiteral("NONE"), QStringLiteral("G01"), 0, 0));
        QVERIFY(fx->grant(QStringLiteral("NONE"), QStringLiteral("G02"), 1, 1));
        QVERIFY(fx->grant(QStringLiteral("OTHER"), QStringLiteral("G01"), 0, 1));
        QCOMPARE(hits(QStringLiteral("安全"), QStringLiteral("G01"), everyType(), method),
                 (QStringList{QStringLiteral("OTHER:1"), QStringLiteral("READ:1")}));
        QCOMPARE(hits(QStringLiteral("安全"), QStringLiteral("G02"), everyType(), method),
                 QStringList{QStringLiteral("NONE:1")});
        QCOMPARE(hits(QStringLiteral("安全"), QString(), everyType(), method), QStringList());
        BrowseSearch oneType;
        oneType.typeCodes = {QStringLiteral("0101")};
        QCOMPARE(hits(QStringLiteral("安全"), QStringLiteral("G01"), oneType, method),
                 QStringList{QStringLiteral("READ:1")});
        BrowseSearch named = everyType();
        named.byName = true;
        named.name = QStringLiteral("OTH");
        QCOMPARE(hits(QStringLiteral("规定"), QStringLiteral("G01"), named, method),
                 QStringList{QStringLiteral("OTHER:1")});
        const auto found = FullTextIndex::search(QStringLiteral("G01"), {QStringLiteral("生产"), everyType(), 10},
                                                 method);
        QCOMPARE(found.value.size(), 2);
        QCOMPARE(found.value.at(0).snippet,
                 QStringLiteral("安全") + kMatchStart + QStringLiteral("生产") + kMatchEnd + QStringLiteral("规定 "));
    }

    // Both ways of the index's search (the index leading, the documents leading) give the same
    // rows in the same order.
    void documentsFirstGivesTheSameRows()
    {
        QVERIFY(
            writeDocx(file(QStringLiteral("a.docx")), {QStringLiteral("安全生产规定"), QStringLiteral("生产安全")}));
        for (const QString& number : {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}) {
            upload(number, file(QStringLiteral("a.docx")),
                   number == QLatin1String("C") ? QStringLiteral("0102") : QStringLiteral("0101"));
            QVERIFY(fx->grant(number, QStringLiteral("G01"), 1, number == QLatin1String("B") ? 1 : 0));
        }
        BrowseSearch oneType;
        oneType.typeCodes = {QStringLiteral("0101")};
        for (const auto& [words, filters] :
             {std::pair{QStringLiteral("安全"), everyType()}, std::pair{QStringLiteral("生产 规定"), everyType()},
              std::pair{QStringLiteral("全"), oneType}}) {
            QStringList rows[2];
            for (const bool documentsFirst : {false, true}) {
                const FullTextQuery query{words, filters, 100};
                QVERIFY(
                    BrowseDocuments::withSearchLists(filters, [&] {
                        Query q(FullTextIndex::searchStatement(query, FullTextMethod::Fts5, documentsFirst));
                        const QVariantList values = BrowseDocuments::searchValues(
                            QStringLiteral("G01"), filters,
                            FullTextIndex::searchWordValues(FullTextIndex::queryWords(words), FullTextMethod::Fts5));
                        for (const QVariant& v : values)
                            q.bind(v);
                        QVERIFY(q.exec());
                        while (q.next())
                            rows[documentsFirst] << q.text(u"编号") + u':' + q.text(u"页码");
                    }).ok());
            }
            QVERIFY(!rows[0].isEmpty());
            QCOMPARE(rows[1], rows[0]);
        }
    }

    void replacedDocumentIsIndexedAgain()
    {
        QVERIFY(writeGbkText(file(QStringLiteral("old.txt")), QStringLiteral("旧版合同条款")));
        QVERIFY(writeGbkText(file(QStringLiteral("new.txt")), QStringLiteral("新版采购流程")));
        const qint64 id = upload(QStringLiteral("R"), file(QStringLiteral("old.txt")));
        QVERIFY(fx->grant(QStringLiteral("R"), QStringLiteral("G01"), 1, 1));
        QCOMPARE(hits(QStringLiteral("合同")), QStringList{QStringLiteral("R:1")});
        QVERIFY(UploadDocuments::update(id, input(QStringLiteral("R"), file(QStringLiteral("new.txt"))), uploader(),
                                        at(6, 1))
                    .ok());
        QCOMPARE(hits(QStringLiteral("合同")), QStringList());
        QCOMPARE(hits(QStringLiteral("采购")), QStringList{QStringLiteral("R:1")});
        QCOMPARE(db->scalar(QStringLiteral("select 版本 from 资料全文状态 where 文件ID = ?"), {id}).toString(),
                 QStringLiteral("2013-06-01 09:00:00"));
        // Text read from a content that was replaced meanwhile is not written.
        ExtractedText stale;
        stale.outcome = ExtractionOutcome::Text;
        stale.pages = {QStringLiteral("过期内容")};
        QVERIFY(FullTextIndex::store(id, at(5, 1), stale).ok());
        QCOMPARE(hits(QStringLiteral("过期")), QStringList());
        // Deleting the document deletes its text.
        QVERIFY(UploadDocuments::remove(id, QStringLiteral("R")).ok());
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料全文")).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料全文状态")).toInt(), 0);
    }

    void failedReadingLeavesTheUploadIntact()
    {
        const QByteArray bytes = randomBytes(5000, 7);
        QVERIFY(writeFile(file(QStringLiteral("bad.pdf")), bytes));
        const qint64 id = upload(QStringLiteral("BAD"), file(QStringLiteral("bad.pdf")));
        QVERIFY(id > 0);
        QCOMPARE(db->scalar(QStringLiteral("select 文件 from 公司文件信息 where ID = ?"), {id}).toByteArray(), bytes);
        QCOMPARE(stateOf(id), IndexState::Failed);
        QVERIFY(
            !db->scalar(QStringLiteral("select 说明 from 资料全文状态 where 文件ID = ?"), {id}).toString().isEmpty());
        QVERIFY(writeFile(file(QStringLiteral("a.dwg")), "drawing"));
        QCOMPARE(stateOf(upload(QStringLiteral("DWG"), file(QStringLiteral("a.dwg")))), IndexState::NoText);
    }

    void largeFileIndexedInTheBackground()
    {
        QString text;
        while (text.size() * 3 < FullTextIndex::kInlineBytes + 1024)
            text += QStringLiteral("普通的一行文字，没有要找的词。\n");
        text += QStringLiteral("末尾的关键条款\n");
        QVERIFY(writeFile(file(QStringLiteral("big.txt")), text.toUtf8()));
        const qint64 id = upload(QStringLiteral("BIG"), file(QStringLiteral("big.txt")));
        QVERIFY(fx->grant(QStringLiteral("BIG"), QStringLiteral("G01"), 1, 0));
        QVERIFY(BackgroundIndexing::instance().waitIdle(60000));
        QCOMPARE(stateOf(id), IndexState::Done);
        QCOMPARE(hits(QStringLiteral("关键条款")).size(), 1);
    }

    // A picture always goes to the background, where its print is recognized.
    void pictureRecognizedInTheBackground()
    {
        QVERIFY(printedPicture({QStringLiteral("出差补贴标准")}).save(file(QStringLiteral("scan.png"))));
        const qint64 id = upload(QStringLiteral("PIC"), file(QStringLiteral("scan.png")));
        QVERIFY(fx->grant(QStringLiteral("PIC"), QStringLiteral("G01"), 1, 0));
        QVERIFY(BackgroundIndexing::instance().waitIdle(120000));
        QCOMPARE(stateOf(id), IndexState::Done);
        QCOMPARE(hits(QStringLiteral("出差补贴")), QStringList{QStringLiteral("PIC:1")});
    }

    // A database made before the search gets its tables at the first use.
    void olderDatabaseGetsTheTables()
    {
        SharedConnection::release();
        QVERIFY(db->exec(QStringLiteral("drop table 资料全文索引")));
        QVERIFY(db->exec(QStringLiteral("drop table 资料全文")));
        QVERIFY(db->exec(QStringLiteral("drop table 资料全文状态")));
        QVERIFY(db->connectShared());
        const DbStatus made = FullTextIndex::ensureTables();
        QVERIFY2(made.ok(), qPrintable(made.error.description));
        QVERIFY(writeDocx(file(QStringLiteral("a.docx")), {QStringLiteral("会议纪要")}));
        upload(QStringLiteral("OLD"), file(QStringLiteral("a.docx")));
        QVERIFY(fx->grant(QStringLiteral("OLD"), QStringLiteral("G01"), 1, 0));
        QCOMPARE(hits(QStringLiteral("纪要")), QStringList{QStringLiteral("OLD:1")});
    }

    void snippetsBuiltFromThePageText()
    {
        const QString page = QStringLiteral("第一行\n这里是关于Budget预算的说明，预算需要审批。");
        const QString s = FullTextIndex::snippetOf(page, {QStringLiteral("预算"), QStringLiteral("budget")}, 4);
        QCOMPARE(s, QStringLiteral("…里是关于") + kMatchStart + QStringLiteral("Budget") + kMatchEnd + kMatchStart
                        + QStringLiteral("预算") + kMatchEnd + QStringLiteral("…"));
        QCOMPARE(FullTextIndex::snippetOf(QStringLiteral("通过ＩＳＯ认证"), {QStringLiteral("iso")}),
                 QStringLiteral("通过") + kMatchStart + QStringLiteral("ＩＳＯ") + kMatchEnd + QStringLiteral("认证"));
        QCOMPARE(FullTextIndex::queryWords(QStringLiteral(" 合同　，, \"x\" ")),
                 (QStringList{QStringLiteral("合同"), QStringLiteral("\"x\"")}));
        QCOMPARE(FullTextIndex::matchExpression({QStringLiteral("a\"b"), QStringLiteral("合同")}),
                 QStringLiteral("\"a\"\"b\" AND \"合同\""));
    }
};

QTEST_MAIN(FullTextIndexTest)
#include "test_fulltext_index.moc"
