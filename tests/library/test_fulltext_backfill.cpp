// Indexing the documents stored before the search: read from the database into temporary files,
// resumed after a cancel, done again for a content of a newer version.

#include "BrowseFixture.h"
#include "DocumentFiles.h"

#include "library/FullTextBackfill.h"

#include <QFile>
#include <QSet>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class FullTextBackfillTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<BrowseFixture> fx;


    static BrowseSearch ofType0101()
    {
        BrowseSearch s;
        s.typeCodes = {QStringLiteral("0101")};
        return s;
    }

private slots:
    void init()
    {
        QVERIFY(openBrowseDatabase(db, fx));
        QTemporaryDir files;
        QVERIFY(writeDocx(files.filePath(QStringLiteral("a.docx")), {QStringLiteral("设备维护规程")}));
        QVERIFY(writePdf(files.filePath(QStringLiteral("a.pdf")), {QStringLiteral("质量手册")}));
        QVERIFY(fx->addDocument(QStringLiteral("D"), QStringLiteral("规程"), QStringLiteral("0101"), at(3, 1),
                                QStringLiteral("docx"), readFile(files.filePath(QStringLiteral("a.docx")))));
        QVERIFY(fx->addDocument(QStringLiteral("P"), QStringLiteral("手册"), QStringLiteral("0101"), at(3, 2),
                                QStringLiteral("pdf"), readFile(files.filePath(QStringLiteral("a.pdf")))));
        QStringEncoder gbk("GB18030");
        QVERIFY(fx->addDocument(QStringLiteral("T"), QStringLiteral("通知"), QStringLiteral("0101"), at(3, 3),
                                QStringLiteral("TXT"), QByteArray(gbk.encode(QStringLiteral("放假通知")))));
        QVERIFY(fx->addDocument(QStringLiteral("G"), QStringLiteral("图"), QStringLiteral("0101"), at(3, 4),
                                QStringLiteral("png"), QByteArray("\x89PNG")));
        QVERIFY(fx->addDocument(QStringLiteral("N"), QStringLiteral("无内容"), QStringLiteral("0101"), at(3, 5),
                                QStringLiteral("txt"), QVariant()));
        for (const char* number : {"D", "P", "T", "G"})
            QVERIFY(fx->grant(QString::fromLatin1(number), QStringLiteral("G01"), 1, 0));
    }

    void cleanup()
    {
        SharedConnection::release();
        fx.reset();
        db.reset();
    }

    void indexesWhatIsStoredAndResumesAfterACancel()
    {
        QCOMPARE(FullTextBackfill::pending().value.size(), 4);  // not the document without content
        // Cancelled after the first document: that one is done, the rest wait.
        const auto first = FullTextBackfill::run({}, [](const BackfillProgress& p) { return p.done < 1; });
        QVERIFY(first.ok());
        QVERIFY(first.value.cancelled);
        QCOMPARE(FullTextBackfill::pending().value.size(), 3);
        int calls = 0;
        QSet<QString> reading;  // the names shown while documents are read
        const auto rest = FullTextBackfill::run({}, [&](const BackfillProgress& p) {
            ++calls;
            if (p.reading != 0)
                reading.insert(p.name);
            return p.total == 3;
        });
        QVERIFY(rest.ok());
        QVERIFY(!rest.value.cancelled);
        QCOMPARE(rest.value.indexed, 2);
        QCOMPARE(rest.value.failed, 1);  // the picture that is not one
        QVERIFY(calls >= 4);
        QVERIFY(!reading.isEmpty() && !reading.contains(QString()));
        QVERIFY(FullTextBackfill::pending().value.isEmpty());
        for (const char* word : {"维护", "手册", "放假"}) {
            const auto hits = FullTextIndex::search(QStringLiteral("G01"), {QString::fromUtf8(word), ofType0101(), 10});
            QCOMPARE(hits.value.size(), 1);
        }
        QCOMPARE(db->scalar(QStringLiteral("select 状态 from 资料全文状态 where 文件ID = ?"),
                            {fx->idOf(QStringLiteral("G"))})
                     .toInt(),
                 int(IndexState::Failed));
    }

    void aNewerContentIsIndexedAgain()
    {
        QVERIFY(FullTextBackfill::run().ok());
        QVERIFY(FullTextBackfill::pending().value.isEmpty());
        QStringEncoder gbk("GB18030");
        QVERIFY(
            db->exec(QStringLiteral("update 公司文件信息 set 文件 = ?, 上传日期 = ? where 编号 = 'T'"),
                     {QByteArray(gbk.encode(QStringLiteral("新的加班通知"))), QStringLiteral("2013-04-01 08:00:00")}));
        QCOMPARE(FullTextBackfill::pending().value, QVector<qint64>{fx->idOf(QStringLiteral("T"))});
        QVERIFY(FullTextBackfill::run().ok());
        const auto hits = FullTextIndex::search(QStringLiteral("G01"), {QStringLiteral("加班"), ofType0101(), 10});
        QCOMPARE(hits.value.size(), 1);
        QCOMPARE(FullTextIndex::search(QStringLiteral("G01"), {QStringLiteral("放假"), ofType0101(), 10}).value.size(),
                 0);
    }
};

QTEST_MAIN(FullTextBackfillTest)
#include "test_fulltext_backfill.moc"
