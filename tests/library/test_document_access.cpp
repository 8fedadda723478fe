// Opening and downloading documents and the access log, on real databases.

#include "BrowseFixture.h"

#include "db/Connection.h"
#include "library/DocumentAccess.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

#include <memory>

using namespace quarvel;
using namespace quarvel::test;

class DocumentAccessTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<BrowseFixture> fx;
    std::unique_ptr<QTemporaryDir> folder;


    AccessedDocument listed() const
    {
        return {QStringLiteral("A-1"), QStringLiteral("0101 人事制度"), QStringLiteral("年度报告"),
                QStringLiteral("摘要一")};
    }
    static Reader reader() { return {QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01")}; }

private slots:
    void init()
    {
        QVERIFY(openBrowseDatabase(db, fx));
        folder = std::make_unique<QTemporaryDir>();
    }

    void cleanup()
    {
        SharedConnection::release();
        fx.reset();
        db.reset();
    }

    void aReadAndADownloadEachAppendOneRow()
    {
        const QDateTime before = serverDate().value.addSecs(-1);
        QVERIFY(DocumentAccess::log(listed(), reader(), AccessKind::Read).ok());
        QCOMPARE(fx->logRows(), 1);
        QVERIFY(DocumentAccess::log(listed(), reader(), AccessKind::Download).ok());
        const QDateTime after = serverDate().value.addSecs(1);
        QCOMPARE(fx->logRows(), 2);

        QSqlQuery q(db->fixtureConnection());
        QVERIFY(
            q.exec(QStringLiteral("select 文件编号, 文件名称, 文件类别, 摘要, 工号, 部门, 岗位, 下载, 阅读, 操作时间 "
                                  "from 资料下载记录 order by 下载")));
        const QList<QPair<int, int>> flags = {{0, 1}, {1, 0}};
        for (const auto& [download, read] : flags) {
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("A-1"));
            QCOMPARE(q.value(1).toString(), QStringLiteral("年度报告"));
            QCOMPARE(q.value(2).toString(), QStringLiteral("0101"));  // the code alone
            QCOMPARE(q.value(3).toString(), QStringLiteral("摘要一"));
            QCOMPARE(q.value(4).toString(), QStringLiteral("0012"));
            QCOMPARE(q.value(5).toString(), QStringLiteral("D01"));
            QCOMPARE(q.value(6).toString(), QStringLiteral("G01"));
            QCOMPARE(q.value(7).toInt(), download);
            QCOMPARE(q.value(8).toInt(), read);
            // The server's time, stored as a date-time the statistics compare.
            const QDateTime when = QDateTime::fromString(q.value(9).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            QVERIFY2(when.isValid(), qPrintable(q.value(9).toString()));
            QVERIFY(when >= before && when <= after);
        }
    }

    void twoOpensGiveTwoRows()
    {
        for (int i = 0; i < 2; ++i)
            QVERIFY(DocumentAccess::log(listed(), reader(), AccessKind::Read).ok());
        Reader other = reader();
        other.employeeNo = QStringLiteral("0013");
        QVERIFY(DocumentAccess::log(listed(), other, AccessKind::Read).ok());
        QCOMPARE(fx->logRows(), 3);
    }

    void hostileTextsAreLoggedAsThey()
    {
        const QString hostile = QStringLiteral("a'); delete from 资料下载记录; --");
        AccessedDocument d{hostile, hostile + QStringLiteral(" 名"), hostile, hostile};
        QVERIFY(DocumentAccess::log(d, {hostile, hostile, hostile}, AccessKind::Read).ok());
        QVERIFY(DocumentAccess::log(d, {}, AccessKind::Read).ok());
        QCOMPARE(fx->logRows(), 2);
        QCOMPARE(
            db->scalar(QStringLiteral("select count(*) from 资料下载记录 where 文件类别 = ?"), {QStringLiteral("a');")})
                .toInt(),
            2);
    }

    void whereAnOpenedDocumentGoes()
    {
        AccessDocument d;
        d.hasContent = true;
        d.extension = QStringLiteral("pdf");
        QCOMPARE(DocumentAccess::targetOf(d), OpenTarget::Viewer);
        d.extension = QStringLiteral("PDF");
        QCOMPARE(DocumentAccess::targetOf(d), OpenTarget::AssociatedProgram);
        d.extension = QStringLiteral("doc");
        QCOMPARE(DocumentAccess::targetOf(d), OpenTarget::AssociatedProgram);
        d.hasContent = false;
        QCOMPARE(DocumentAccess::targetOf(d), OpenTarget::NoContent);
        QCOMPARE(DocumentAccess::saveFilter(QStringLiteral("doc")), QStringLiteral("指定文件 (*.doc)"));
    }

    void theDocumentForOpening()
    {
        QVERIFY(fx->addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"), at(3, 1),
                                QStringLiteral("PDF")));
        QVERIFY(fx->addDocument(QStringLiteral("B-1"), QStringLiteral("乙"), QStringLiteral("0101"), at(3, 1),
                                QStringLiteral("doc"), QVariant(QMetaType::fromType<QByteArray>())));
        const auto a = DocumentAccess::document(fx->idOf(QStringLiteral("A-1")));
        QVERIFY(a.ok() && a.value.has_value());
        QCOMPARE(a.value->number, QStringLiteral("A-1"));
        QCOMPARE(a.value->extension, QStringLiteral("PDF"));
        QVERIFY(a.value->hasContent);
        const auto b = DocumentAccess::document(fx->idOf(QStringLiteral("B-1")));
        QVERIFY(b.ok() && b.value.has_value() && !b.value->hasContent);
        const auto none = DocumentAccess::document(987654);
        QVERIFY(none.ok() && !none.value.has_value());
    }

    void aDownloadReplacesTheTargetOnlyWhenComplete()
    {
        const QByteArray content = randomBytes(3 * 1024 * 1024 + 77, 7);
        QVERIFY(fx->addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"), at(3, 1),
                                QStringLiteral("bin"), content));
        const qint64 id = fx->idOf(QStringLiteral("A-1"));
        const QString target = folder->filePath(QStringLiteral("保存.bin"));

        // A cancel at any piece leaves no file of that name.
        int calls = 0;
        const DbStatus cancelled = DocumentAccess::download(
            id, target, [&](qint64 done, qint64) { return ++calls < 3 || done == 0; });
        QVERIFY(isTransferCancelled(cancelled.error));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList());

        // An existing file stays as it was after a cancel, and is replaced whole by a download.
        QVERIFY(writeFile(target, QByteArray(5 * 1024 * 1024, 'o')));
        QVERIFY(isTransferCancelled(
            DocumentAccess::download(id, target, [](qint64 done, qint64) { return done == 0; }).error));
        QCOMPARE(readFile(target), QByteArray(5 * 1024 * 1024, 'o'));
        qint64 last = -1;
        QVERIFY(DocumentAccess::download(id, target, [&](qint64 done, qint64 total) {
                    last = done;
                    return total == content.size();
                }).ok());
        QCOMPARE(last, content.size());
        QCOMPARE(readFile(target), content);
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList({QStringLiteral("保存.bin")}));
    }

    void nothingStoredIsAFailure()
    {
        QVERIFY(fx->addDocument(QStringLiteral("A-1"), QStringLiteral("甲"), QStringLiteral("0101"), at(3, 1),
                                QStringLiteral("doc"), QVariant(QMetaType::fromType<QByteArray>())));
        const QString target = folder->filePath(QStringLiteral("a.doc"));
        const DbStatus s = DocumentAccess::download(fx->idOf(QStringLiteral("A-1")), target);
        QVERIFY(!s.ok());
        QVERIFY(!QFile::exists(target));
        QVERIFY(!DocumentAccess::download(987654, target).ok());
        // An unwritable place is a failure, not a success.
        QVERIFY(fx->addDocument(QStringLiteral("B-1"), QStringLiteral("乙"), QStringLiteral("0101"), at(3, 1)));
        QVERIFY(!DocumentAccess::download(fx->idOf(QStringLiteral("B-1")),
                                          folder->filePath(QStringLiteral("no/such/x.pdf")))
                     .ok());
    }
};

QTEST_MAIN(DocumentAccessTest)
#include "test_document_access.moc"
