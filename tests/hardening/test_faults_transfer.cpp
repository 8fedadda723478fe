// The content transfer broken off at each of its statements and pieces, on both ways to the
// stored file: SQLite's blob I/O (QSQLITE) and one statement per piece (QODBC, through the
// SQLite ODBC driver). Storing leaves the row as it was; writing a file leaves an existing file
// as it was and nothing beside it.
#include "DatabaseFingerprint.h"
#include "FaultSweep.h"

#include "library/UploadDocuments.h"
#include "shared/ContentTransfer.h"

#include <QDir>
#include <QFile>

Q_DECLARE_METATYPE(quarvel::test::TestDatabase::Access)

using namespace quarvel;
using namespace quarvel::test;

namespace {

using Access = TestDatabase::Access;

// Pieces of two transfer units keep the contents small; five of them with a short first one.
constexpr qint64 kUnit = 2 * kTransferUnit;
constexpr qint64 kSize = 4 * kUnit + 100;


}  // namespace

class TransferFaultsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QTemporaryDir files;
    ScriptedMessages msgs;
    qint64 documentId = 0;
    int faults = 0;

    // Reports a failure as a window would, so that the sweep finds it.
    void report(const DbError& error)
    {
        if (error.isSet())
            msgs.show(nullptr, formatError(error, ErrorForm::DescriptionOnly), QStringLiteral("传输"),
                      MsgIcon::Information, MsgButtons::Ok);
    }

    static QVector<FailureReport> reports()
    {
        return {{ErrorForm::DescriptionOnly, QStringLiteral("传输"), MsgIcon::Information}};
    }

    void count(const SweepCounts& c)
    {
        faults += c.faults;
        QCOMPARE(c.rowsLost, 0);
    }

private slots:
    void init()
    {
        QFETCH(Access, access);
        db = std::make_unique<TestDatabase>(access);
        QVERIFY(db->isValid());
        if (access == Access::Odbc && !QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
            QSKIP("Qt's ODBC driver is not installed");
        const DbStatus opened = db->openShared();
        if (!opened.ok() && access == Access::Odbc)
            QSKIP(qPrintable(QStringLiteral("the SQLite ODBC driver is not available: ") + opened.error.description));
        QVERIFY2(opened.ok(), qPrintable(opened.error.description));
        QVERIFY(db->insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), QStringLiteral("T-1")},
                                                            {QStringLiteral("文件名称"), QStringLiteral("制度")},
                                                            {QStringLiteral("附件后缀"), QStringLiteral("pdf")},
                                                            {QStringLiteral("文件"), randomBytes(kSize, 1)}}));
        documentId = db->scalar(QStringLiteral("select ID from 公司文件信息")).toLongLong();
        msgs.shown.clear();
    }

    void cleanup()
    {
        FaultInjection::disarm();
        db.reset();
    }

    void cleanupTestCase() { qInfo("content transfer: %d faults injected", faults); }

    void storing_data()
    {
        QTest::addColumn<Access>("access");
        QTest::newRow("QSQLITE") << Access::Sqlite;
        QTest::newRow("QODBC") << Access::Odbc;
    }

    // Replacing the stored file: the old content stays whole, or the new one is there whole.
    void storing()
    {
        const QString path = files.filePath(QStringLiteral("new.bin"));
        QVERIFY(writeFile(path, randomBytes(kSize + 7, 2)));
        ChangeUnderTest c;
        c.prepare = [] {};
        c.perform = [&] { report(DocumentContent(kUnit).storeFile(documentId, path).error); };
        c.reports = reports();
        for (const FaultKind kind : {FaultKind::Statement, FaultKind::Piece}) {
            SweepCounts counts;
            sweep(*db, msgs, c, kind, counts);
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(counts.undone, counts.sent);
            if (kind == FaultKind::Piece)
                QCOMPARE(counts.sent, 5);
            count(counts);
        }
    }

    void uploading_data() { storing_data(); }

    // A new document with its file, as the upload window adds it.
    void uploading()
    {
        const QString path = files.filePath(QStringLiteral("upload.pdf"));
        QVERIFY(writeFile(path, randomBytes(3000, 3)));
        ChangeUnderTest c;
        c.prepare = [] {};
        c.perform = [&] {
            const DocumentInput input{QStringLiteral("U-1"),     QStringLiteral("新文件"), {},  {},
                                      QStringLiteral("01 制度"), QStringLiteral("1"),      path};
            report(UploadDocuments::insert(input,
                                           {QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01")},
                                           QDateTime(QDate(2026, 3, 1), QTime(9, 0)))
                       .error);
        };
        c.reports = reports();
        SweepCounts counts;
        sweep(*db, msgs, c, FaultKind::Statement, counts);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(counts.undone, counts.sent);
        count(counts);
    }

    void writingAFile_data() { storing_data(); }

    // Writing the stored file over an existing one: on a break the old file stays as it was and
    // no other file is left in its folder.
    void writingAFile()
    {
        const QString folder = files.filePath(QStringLiteral("out-%1").arg(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/saved.pdf");
        const DatabaseFingerprint before = DatabaseFingerprint::of(db->fixtureConnection());
        for (const FaultKind kind : {FaultKind::Statement, FaultKind::Piece}) {
            QVERIFY(writeFile(target, "the old file"));
            FaultInjection::countOnly();
            QVERIFY(DocumentContent(kUnit).writeToFile(documentId, target).ok());
            const int sent = kind == FaultKind::Statement ? FaultInjection::statements() : FaultInjection::pieces();
            FaultInjection::disarm();
            QCOMPARE(readFile(target), randomBytes(kSize, 1));
            for (int k = 1; k <= sent; ++k) {
                QVERIFY(writeFile(target, "the old file"));
                if (kind == FaultKind::Statement)
                    FaultInjection::failStatement(k);
                else
                    FaultInjection::failPiece(k);
                const DbStatus written = DocumentContent(kUnit).writeToFile(documentId, target);
                const bool fired = FaultInjection::fired();
                FaultInjection::disarm();
                QVERIFY(fired);
                ++faults;
                QCOMPARE(written.error.number, FaultInjection::kInjectedFault);
                QCOMPARE(readFile(target), QByteArray("the old file"));
                QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("saved.pdf")});
            }
        }
        QCOMPARE(DatabaseFingerprint::of(db->fixtureConnection()), before);
    }
};

QTEST_MAIN(TransferFaultsTest)
#include "test_faults_transfer.moc"
