// The documents of the upload window on real databases: storing and changing a document with
// its file, deleting it with its rights, the opening list, the query, and the names of the
// temporary copies of opened documents.

#include "TestSupport.h"

#include "db/Query.h"
#include "library/UploadDocuments.h"
#include "shared/Module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <limits>

using namespace quarvel;
using namespace quarvel::test;

namespace {

const QDateTime kNow(QDate(2013, 9, 21), QTime(14, 5, 9));
const QDateTime kLater(QDate(2013, 10, 2), QTime(8, 30, 0));

UploaderContext uploader() { return {QStringLiteral("E001"), QStringLiteral("D01"), QStringLiteral("G01")}; }
UploaderContext editor() { return {QStringLiteral("E002"), QStringLiteral("D02"), QStringLiteral("G02")}; }
// The super user's context: every code unset.
UploaderContext superUser() { return {QStringLiteral("超级用户"), QString(), QString()}; }

QByteArray someBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(random.bounded(256));
    if (size > 2)
        bytes[1] = '\0';  // a NUL inside must survive
    return bytes;
}

QStringList numbersOf(const QVector<DocumentRow>& rows)
{
    QStringList out;
    for (const DocumentRow& r : rows)
        out << r.number;
    return out;
}

}  // namespace

class UploadDocumentsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<QTemporaryDir> files;
    QTemporaryDir cache{QDir::tempPath() + QStringLiteral("/quarvel-cache-XXXXXX")};

    QString makeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = files->filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qWarning("cannot write %s", qPrintable(path));
        return path;
    }

    DocumentInput input(const QString& number, const QString& path)
    {
        DocumentInput in;
        in.number = number;
        in.name = QStringLiteral("年度报告") + number;
        in.summary = QStringLiteral("摘要") + number;
        in.keywords = QStringLiteral("关键") + number;
        in.typeText = QStringLiteral("0101 人事制度");
        in.levelText = QStringLiteral("3");
        in.filePath = path;
        return in;
    }

    QVariant column(qint64 id, const QString& name)
    {
        return db->scalar(QStringLiteral("select %1 from 公司文件信息 where ID = ?").arg(name), {id});
    }

    qint64 count(const QString& table)
    {
        return db->scalar(QStringLiteral("select count(*) from ") + table).toLongLong();
    }

    // Every row of a table, every column, for before-and-after comparisons.
    QList<QVariantList> snapshot(const QString& table)
    {
        QList<QVariantList> rows;
        QSqlQuery q(db->fixtureConnection());
        if (!q.exec(QStringLiteral("select * from %1 order by rowid").arg(table)))
            qWarning("snapshot: %s", qPrintable(q.lastError().text()));
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            rows << row;
        }
        return rows;
    }

    // A document written directly, for the list tests.
    void addDocument(const QString& number, const QString& name, const QString& type, const QDateTime& when,
                     const QVariant& content = QByteArray("%PDF-1.4"), const QString& dept = QStringLiteral("D01"),
                     const QString& position = QStringLiteral("G01"), const QVariant& keywords = {})
    {
        QVERIFY(db->insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), number},
                                                            {QStringLiteral("文件类别"), type},
                                                            {QStringLiteral("文件名称"), name},
                                                            {QStringLiteral("关键字"), keywords},
                                                            {QStringLiteral("文件级别"), 1},
                                                            {QStringLiteral("上传人工号"), QStringLiteral("E001")},
                                                            {QStringLiteral("上传日期"), when},
                                                            {QStringLiteral("部门"), dept},
                                                            {QStringLiteral("岗位"), position},
                                                            {QStringLiteral("文件下载"), 0},
                                                            {QStringLiteral("附件后缀"), QStringLiteral("pdf")},
                                                            {QStringLiteral("文件"), content}}));
    }

    void addType(const QString& code, const QString& name, const QVariant& parent = {})
    {
        QVERIFY(db->insert(
            QStringLiteral("资料类型"),
            {{QStringLiteral("编号"), code}, {QStringLiteral("名称"), name}, {QStringLiteral("上级编号"), parent}}));
    }

    void addRight(const QString& documentNumber, const QString& position)
    {
        QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), documentNumber},
                                                            {QStringLiteral("岗位代号"), position},
                                                            {QStringLiteral("下载"), 1},
                                                            {QStringLiteral("查阅"), 1}}));
    }

    qint64 idOf(const QString& number)
    {
        return db->scalar(QStringLiteral("select max(ID) from 公司文件信息 where 编号 = ?"), {number}).toLongLong();
    }

private slots:
    void initTestCase()
    {
        // The private cache (and so the temporary copies) lives in a folder of this test.
        QVERIFY(cache.isValid());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    }

    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        // A folder without "." in its path, so that a file name without "." is a path without one.
        files = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quarvel-upload-XXXXXX"));
        QVERIFY(files->isValid());
        QVERIFY(!files->path().contains(u'.'));
    }

    void cleanup()
    {
        db.reset();
        files.reset();
    }

    // --- texts of the input fields ---

    void extensionOf_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("extension");
        QTest::newRow("last dot, case kept") << QStringLiteral("D:\\资料\\report.V2.PDF") << QStringLiteral("PDF");
        QTest::newRow("plain") << QStringLiteral("/home/a/合同.docx") << QStringLiteral("docx");
        QTest::newRow("no dot: whole path") << QStringLiteral("D:\\资料\\report") << QStringLiteral("D:\\资料\\report");
        QTest::newRow("dot in a folder only") << QStringLiteral("C:\\a.b\\file") << QStringLiteral("b\\file");
        QTest::newRow("trailing dot") << QStringLiteral("report.") << QString();
        QTest::newRow("empty") << QString() << QString();
    }

    void extensionOf()
    {
        QFETCH(QString, path);
        QFETCH(QString, extension);
        QCOMPARE(quarvel::extensionOf(path), extension);
    }

    void levelOf_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("level");
        QTest::newRow("number then letters") << QStringLiteral("12abc") << qint64(12);
        QTest::newRow("letters") << QStringLiteral("abc") << qint64(0);
        QTest::newRow("blanks and a sign") << QStringLiteral(" -3x") << qint64(-3);
        QTest::newRow("plus") << QStringLiteral("+7") << qint64(7);
        QTest::newRow("tab") << QStringLiteral("\t5") << qint64(5);
        QTest::newRow("fraction cut off") << QStringLiteral("12.7") << qint64(12);
        QTest::newRow("empty") << QString() << qint64(0);
        QTest::newRow("sign alone") << QStringLiteral("-") << qint64(0);
        QTest::newRow("blank after sign") << QStringLiteral("- 3") << qint64(0);
        QTest::newRow("leading zeros") << QStringLiteral("007") << qint64(7);
        QTest::newRow("full-width digits") << QStringLiteral("１２") << qint64(0);
        QTest::newRow("largest") << QStringLiteral("9223372036854775807") << std::numeric_limits<qint64>::max();
        QTest::newRow("smallest") << QStringLiteral("-9223372036854775808") << std::numeric_limits<qint64>::min();
        QTest::newRow("overflow") << QStringLiteral("9223372036854775808") << qint64(0);
        QTest::newRow("negative overflow") << QStringLiteral("-9223372036854775809") << qint64(0);
        QTest::newRow("far too long") << QStringLiteral("99999999999999999999999x") << qint64(0);
    }

    void levelOf()
    {
        QFETCH(QString, text);
        QFETCH(qint64, level);
        QCOMPARE(quarvel::levelOf(text), level);
    }

    void typeCodeOf_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("code");
        QTest::newRow("code and name") << QStringLiteral("0101 人事制度") << QStringLiteral("0101");
        QTest::newRow("name with blanks") << QStringLiteral("01 a b c") << QStringLiteral("01");
        QTest::newRow("code alone") << QStringLiteral("0101") << QStringLiteral("0101");
        QTest::newRow("code alone, padded") << QStringLiteral("0101\t") << QStringLiteral("0101");
        QTest::newRow("leading blank") << QStringLiteral(" 01 制度") << QString();
        QTest::newRow("empty") << QString() << QString();
    }

    void typeCodeOf()
    {
        QFETCH(QString, text);
        QFETCH(QString, code);
        QCOMPARE(quarvel::typeCodeOf(text), code);
    }

    void rowTexts()
    {
        DocumentRow r;
        r.typeCode = QStringLiteral("99");
        QCOMPARE(r.typeText(), QStringLiteral("99 "));
        QCOMPARE(r.uploadedText(), QString());
        r.typeName = QStringLiteral("合同");
        r.uploaded = kNow;
        QCOMPARE(r.typeText(), QStringLiteral("99 合同"));
        QCOMPARE(r.uploadedText(), QStringLiteral("2013-09-21 14:05"));
    }

    // --- insert ---

    void insertStoresEveryColumn()
    {
        const QByteArray bytes = someBytes(5000, 1);
        const QString path = makeFile(QStringLiteral("D:\\资料\\report.V2.PDF"), bytes);
        DocumentInput in = input(QStringLiteral("A-001"), path);
        in.summary.clear();
        in.keywords.clear();
        in.levelText = QStringLiteral("12abc");
        const DbResult<qint64> id = UploadDocuments::insert(in, uploader(), kNow);
        QVERIFY2(id.ok(), qPrintable(id.error.description));
        QCOMPARE(id.value, idOf(QStringLiteral("A-001")));

        QCOMPARE(column(id.value, QStringLiteral("编号")).toString(), QStringLiteral("A-001"));
        QCOMPARE(column(id.value, QStringLiteral("文件名称")).toString(), QStringLiteral("年度报告A-001"));
        QCOMPARE(column(id.value, QStringLiteral("文件类别")).toString(), QStringLiteral("0101"));
        QVERIFY(column(id.value, QStringLiteral("摘要")).isNull());
        QVERIFY(column(id.value, QStringLiteral("关键字")).isNull());
        QCOMPARE(column(id.value, QStringLiteral("文件级别")).toLongLong(), 12);
        QCOMPARE(column(id.value, QStringLiteral("上传人工号")).toString(), QStringLiteral("E001"));
        QCOMPARE(column(id.value, QStringLiteral("上传日期")).toString(), QStringLiteral("2013-09-21 14:05:09"));
        QCOMPARE(column(id.value, QStringLiteral("部门")).toString(), QStringLiteral("D01"));
        QCOMPARE(column(id.value, QStringLiteral("岗位")).toString(), QStringLiteral("G01"));
        QCOMPARE(column(id.value, QStringLiteral("文件下载")).toInt(), 0);
        QVERIFY(!column(id.value, QStringLiteral("文件下载")).isNull());
        QCOMPARE(column(id.value, QStringLiteral("附件后缀")).toString(), QStringLiteral("PDF"));
        QCOMPARE(column(id.value, QStringLiteral("文件")).toByteArray(), bytes);
    }

    void insertStoresTextsAsTyped()
    {
        DocumentInput in = input(QStringLiteral("B'1"), makeFile(QStringLiteral("a.doc"), "abcdefgh"));
        in.summary = QStringLiteral("  带空格 '摘要'  ");
        in.keywords = QStringLiteral("甲;乙");
        in.name = QStringLiteral("O'Brien \"报告\"");
        const DbResult<qint64> id = UploadDocuments::insert(in, uploader(), kNow);
        QVERIFY2(id.ok(), qPrintable(id.error.description));
        QCOMPARE(column(id.value, QStringLiteral("编号")).toString(), QStringLiteral("B'1"));
        QCOMPARE(column(id.value, QStringLiteral("摘要")).toString(), in.summary);
        QCOMPARE(column(id.value, QStringLiteral("关键字")).toString(), in.keywords);
        QCOMPARE(column(id.value, QStringLiteral("文件名称")).toString(), in.name);
    }

    void insertStoresLevel_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("stored");
        QTest::newRow("12abc") << QStringLiteral("12abc") << qint64(12);
        QTest::newRow("abc") << QStringLiteral("abc") << qint64(0);
        QTest::newRow(" -3x") << QStringLiteral(" -3x") << qint64(-3);
    }

    void insertStoresLevel()
    {
        QFETCH(QString, typed);
        QFETCH(qint64, stored);
        DocumentInput in = input(QStringLiteral("L"), makeFile(QStringLiteral("l.pdf"), "12345678"));
        in.levelText = typed;
        const DbResult<qint64> id = UploadDocuments::insert(in, uploader(), kNow);
        QVERIFY2(id.ok(), qPrintable(id.error.description));
        const QVariant level = column(id.value, QStringLiteral("文件级别"));
        QVERIFY(!level.isNull());
        QCOMPARE(level.toLongLong(), stored);
    }

    void insertOfPathWithoutDotStoresWholePath()
    {
        const QString path = makeFile(QStringLiteral("report"), "12345678");
        const DbResult<qint64> id = UploadDocuments::insert(input(QStringLiteral("N"), path), uploader(), kNow);
        QVERIFY2(id.ok(), qPrintable(id.error.description));
        QCOMPARE(column(id.value, QStringLiteral("附件后缀")).toString(), path);
    }

    void insertRefusesATakenNumber()
    {
        const QString path = makeFile(QStringLiteral("a.pdf"), "first file");
        const QString quoted = QStringLiteral("O'Brien-'1'");
        const DbResult<qint64> first = UploadDocuments::insert(input(quoted, path), uploader(), kNow);
        QVERIFY2(first.ok(), qPrintable(first.error.description));
        const auto before = snapshot(QStringLiteral("公司文件信息"));
        // The same number, also with outer blanks, is refused and stores nothing.
        for (const QString& again : {quoted, QStringLiteral("  O'Brien-'1'\t")}) {
            const DbResult<qint64> second = UploadDocuments::insert(input(again, path), editor(), kLater);
            QVERIFY(!second.ok());
            QVERIFY2(isDocumentNumberTaken(second.error), qPrintable(second.error.description));
            QCOMPARE(snapshot(QStringLiteral("公司文件信息")), before);
        }
        // Numbers that only look alike are other numbers.
        for (const QString& other : {QStringLiteral("O'Brien"), QStringLiteral("' or '1'='1"), QStringLiteral("%"),
                                     QStringLiteral("O'Brien-'_'")}) {
            const DbResult<qint64> id = UploadDocuments::insert(input(other, path), uploader(), kNow);
            QVERIFY2(id.ok(), qPrintable(other + u' ' + id.error.description));
        }
        QCOMPARE(count(QStringLiteral("公司文件信息")), 5);
    }

    void insertStoresTheNumberWithoutOuterBlanks()
    {
        const QString path = makeFile(QStringLiteral("a.pdf"), "12345678");
        const DbResult<qint64> id = UploadDocuments::insert(input(QStringLiteral(" D-1 \u3000"), path), uploader(),
                                                            kNow);
        QVERIFY2(id.ok(), qPrintable(id.error.description));
        QCOMPARE(column(id.value, QStringLiteral("编号")).toString(), QStringLiteral("D-1"));
        // A number of blanks alone is no number.
        const DbResult<qint64> blank = UploadDocuments::insert(input(QStringLiteral("   "), path), uploader(), kNow);
        QVERIFY(!blank.ok());
        QCOMPARE(count(QStringLiteral("公司文件信息")), 1);
    }

    void insertOfUnreadableFileStoresNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << QStringLiteral("/nonexistent/quarvel/x.pdf");
        QTest::newRow("a folder") << QDir::tempPath();
        QTest::newRow("no path") << QString();
    }

    void insertOfUnreadableFileStoresNothing()
    {
        QFETCH(QString, path);
        addDocument(QStringLiteral("OLD"), QStringLiteral("旧"), QStringLiteral("01"), kNow);
        const auto before = snapshot(QStringLiteral("公司文件信息"));
        const DbResult<qint64> id = UploadDocuments::insert(input(QStringLiteral("M"), path), uploader(), kNow);
        QVERIFY(!id.ok());
        QVERIFY(!id.error.description.isEmpty());
        QCOMPARE(snapshot(QStringLiteral("公司文件信息")), before);
    }

    void zeroLengthFileStoresNull()
    {
        const QString path = makeFile(QStringLiteral("empty.txt"), QByteArray());
        QCOMPARE(QFileInfo(path).size(), 0);
        const DbResult<qint64> id = UploadDocuments::insert(input(QStringLiteral("Z"), path), uploader(), kNow);
        QVERIFY2(id.ok(), qPrintable(id.error.description));
        QCOMPARE(count(QStringLiteral("公司文件信息")), 1);
        QVERIFY(column(id.value, QStringLiteral("文件")).isNull());
        QCOMPARE(column(id.value, QStringLiteral("附件后缀")).toString(), QStringLiteral("txt"));
    }

    void cancelledProgressStoresNothing_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("cancelAtCall");
        QTest::newRow("before the first piece") << qint64(5000) << 1;
        QTest::newRow("after the first piece") << kStreamUnit + 100 << 2;
        QTest::newRow("after the last piece") << kStreamUnit + 100 << 3;
        QTest::newRow("empty file") << qint64(0) << 1;
    }

    void cancelledProgressStoresNothing()
    {
        QFETCH(qint64, size);
        QFETCH(int, cancelAtCall);
        const QString path = makeFile(QStringLiteral("big.pdf"), someBytes(size, 7));
        int calls = 0;
        const TransferProgress cancel = [&](qint64, qint64) { return ++calls < cancelAtCall; };
        const DbResult<qint64> id = UploadDocuments::insert(input(QStringLiteral("C"), path), uploader(), kNow, cancel);
        QVERIFY(!id.ok());
        QVERIFY(isTransferCancelled(id.error));
        QCOMPARE(calls, cancelAtCall);
        QCOMPARE(count(QStringLiteral("公司文件信息")), 0);
    }

    void progressHearsOfTheWholeFile()
    {
        const qint64 size = kStreamUnit * 2 + 3;
        const QByteArray bytes = someBytes(size, 9);
        const QString path = makeFile(QStringLiteral("p.pdf"), bytes);
        QList<qint64> done;
        const TransferProgress record = [&](qint64 d, qint64 total) {
            if (total != size)
                qWarning("total %lld", static_cast<long long>(total));
            done << d;
            return true;
        };
        const DbResult<qint64> id = UploadDocuments::insert(input(QStringLiteral("P"), path), uploader(), kNow, record);
        QVERIFY2(id.ok(), qPrintable(id.error.description));
        QCOMPARE(done.first(), 0);
        QCOMPARE(done.last(), size);
        QCOMPARE(column(id.value, QStringLiteral("文件")).toByteArray(), bytes);
    }

    // --- update ---

    void updateWithoutFileKeepsTheStoredFile()
    {
        const QByteArray bytes = someBytes(3000, 2);
        const DbResult<qint64> id = UploadDocuments::insert(
            input(QStringLiteral("U-1"), makeFile(QStringLiteral("u.xls"), bytes)), uploader(), kNow);
        QVERIFY(id.ok());
        DocumentInput in = input(QStringLiteral("CHANGED"), QString());
        in.name = QStringLiteral("新名称");
        in.typeText = QStringLiteral("02 合同");
        in.summary.clear();
        in.keywords = QStringLiteral("新关键字");
        in.levelText = QStringLiteral("5级");
        const DbStatus s = UploadDocuments::update(id.value, in, editor(), kLater);
        QVERIFY2(s.ok(), qPrintable(s.error.description));

        QCOMPARE(column(id.value, QStringLiteral("编号")).toString(), QStringLiteral("U-1"));
        QCOMPARE(column(id.value, QStringLiteral("文件名称")).toString(), QStringLiteral("新名称"));
        QCOMPARE(column(id.value, QStringLiteral("文件类别")).toString(), QStringLiteral("02"));
        QVERIFY(column(id.value, QStringLiteral("摘要")).isNull());
        QCOMPARE(column(id.value, QStringLiteral("关键字")).toString(), QStringLiteral("新关键字"));
        QCOMPARE(column(id.value, QStringLiteral("文件级别")).toLongLong(), 5);
        QCOMPARE(column(id.value, QStringLiteral("部门")).toString(), QStringLiteral("D02"));
        QCOMPARE(column(id.value, QStringLiteral("岗位")).toString(), QStringLiteral("G02"));
        // Unchanged without a new file.
        QCOMPARE(column(id.value, QStringLiteral("上传日期")).toString(), QStringLiteral("2013-09-21 14:05:09"));
        QCOMPARE(column(id.value, QStringLiteral("上传人工号")).toString(), QStringLiteral("E001"));
        QCOMPARE(column(id.value, QStringLiteral("附件后缀")).toString(), QStringLiteral("xls"));
        QCOMPARE(column(id.value, QStringLiteral("文件")).toByteArray(), bytes);
    }

    void updateWithFileReplacesIt()
    {
        const DbResult<qint64> id = UploadDocuments::insert(
            input(QStringLiteral("U-2"), makeFile(QStringLiteral("u.xls"), someBytes(kStreamUnit + 5, 3))), uploader(),
            kNow);
        QVERIFY(id.ok());
        const QByteArray shorter = someBytes(700, 4);
        const DbStatus s = UploadDocuments::update(
            id.value, input(QStringLiteral("U-2"), makeFile(QStringLiteral("新.Docx"), shorter)), editor(), kLater);
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QCOMPARE(column(id.value, QStringLiteral("上传日期")).toString(), QStringLiteral("2013-10-02 08:30:00"));
        QCOMPARE(column(id.value, QStringLiteral("上传人工号")).toString(), QStringLiteral("E002"));
        QCOMPARE(column(id.value, QStringLiteral("附件后缀")).toString(), QStringLiteral("Docx"));
        QCOMPARE(column(id.value, QStringLiteral("文件")).toByteArray(), shorter);
        QCOMPARE(column(id.value, QStringLiteral("部门")).toString(), QStringLiteral("D02"));
    }

    void updateWithZeroLengthFileStoresNull()
    {
        const DbResult<qint64> id = UploadDocuments::insert(
            input(QStringLiteral("U-3"), makeFile(QStringLiteral("u.pdf"), "12345678")), uploader(), kNow);
        QVERIFY(id.ok());
        const DbStatus s = UploadDocuments::update(
            id.value, input(QStringLiteral("U-3"), makeFile(QStringLiteral("empty.pdf"), QByteArray())), editor(),
            kLater);
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QVERIFY(column(id.value, QStringLiteral("文件")).isNull());
        QCOMPARE(column(id.value, QStringLiteral("上传日期")).toString(), QStringLiteral("2013-10-02 08:30:00"));
    }

    void failedUpdateChangesNothing_data()
    {
        QTest::addColumn<bool>("missingFile");
        QTest::newRow("file cannot be read") << true;
        QTest::newRow("progress cancels") << false;
    }

    void failedUpdateChangesNothing()
    {
        QFETCH(bool, missingFile);
        const DbResult<qint64> id = UploadDocuments::insert(
            input(QStringLiteral("U-4"), makeFile(QStringLiteral("u.pdf"), "12345678")), uploader(), kNow);
        QVERIFY(id.ok());
        const auto before = snapshot(QStringLiteral("公司文件信息"));
        DocumentInput in = input(QStringLiteral("U-4"), missingFile
                                                            ? files->filePath(QStringLiteral("gone.pdf"))
                                                            : makeFile(QStringLiteral("n.pdf"), someBytes(9000, 5)));
        in.name = QStringLiteral("不应写入");
        const DbStatus s = UploadDocuments::update(id.value, in, editor(), kLater,
                                                   [](qint64 done, qint64) { return done == 0; });
        QVERIFY(!s.ok());
        QCOMPARE(isTransferCancelled(s.error), !missingFile);
        QCOMPARE(snapshot(QStringLiteral("公司文件信息")), before);
    }

    void updateOfMissingIdDoesNothing()
    {
        const DbResult<qint64> id = UploadDocuments::insert(
            input(QStringLiteral("U-5"), makeFile(QStringLiteral("u.pdf"), "12345678")), uploader(), kNow);
        QVERIFY(id.ok());
        const auto before = snapshot(QStringLiteral("公司文件信息"));
        DbStatus s = UploadDocuments::update(id.value + 1, input(QStringLiteral("X"), QString()), editor(), kLater);
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        s = UploadDocuments::update(
            id.value + 1, input(QStringLiteral("X"), makeFile(QStringLiteral("x.pdf"), "abcdefgh")), editor(), kLater);
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QCOMPARE(snapshot(QStringLiteral("公司文件信息")), before);
    }

    // --- delete ---

    void removeDeletesTheRightsOfTheNumber()
    {
        addDocument(QStringLiteral("N1"), QStringLiteral("甲"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("N1"), QStringLiteral("乙, same number"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("N2"), QStringLiteral("丙"), QStringLiteral("01"), kNow);
        const qint64 first = db->scalar(QStringLiteral("select min(ID) from 公司文件信息")).toLongLong();
        addRight(QStringLiteral("N1"), QStringLiteral("G01"));
        addRight(QStringLiteral("N1"), QStringLiteral("G02"));
        addRight(QStringLiteral("N2"), QStringLiteral("G01"));

        // The number as the list shows it, outer blanks and all.
        const DbStatus s = UploadDocuments::remove(first, QStringLiteral(" N1 "));
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QCOMPARE(column(first, QStringLiteral("ID")), QVariant());
        QCOMPARE(count(QStringLiteral("公司文件信息")), 2);
        // The other document of number N1 loses its rights too: they are kept by number.
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限 where 文件编号 = 'N1'")).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限 where 文件编号 = 'N2'")).toInt(), 1);
        QCOMPARE(count(QStringLiteral("资料下载权限")), 1);
        // Trailing blanks do not count in a comparison, as on the server: "N1 " is number N1.
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载权限 where 文件编号 = 'N1 '")).toInt(), 0);
    }

    void removeWithHostileNumberDeletesOnlyItsRights()
    {
        const QString hostile = QStringLiteral("N' or '1'='1");
        addDocument(hostile, QStringLiteral("甲"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("N2"), QStringLiteral("乙"), QStringLiteral("01"), kNow);
        addRight(hostile, QStringLiteral("G01"));
        addRight(QStringLiteral("N2"), QStringLiteral("G01"));
        addRight(QStringLiteral("%"), QStringLiteral("G01"));
        const DbStatus s = UploadDocuments::remove(idOf(hostile), hostile);
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QCOMPARE(count(QStringLiteral("公司文件信息")), 1);
        QCOMPARE(count(QStringLiteral("资料下载权限")), 2);
    }

    void removeIsAtomic()
    {
        addDocument(QStringLiteral("N1"), QStringLiteral("甲"), QStringLiteral("01"), kNow);
        const qint64 id = idOf(QStringLiteral("N1"));
        // The second statement cannot run: the document must stay.
        QVERIFY(db->exec(QStringLiteral("drop table 资料下载权限")));
        const DbStatus s = UploadDocuments::remove(id, QStringLiteral("N1"));
        QVERIFY(!s.ok());
        QVERIFY(!s.error.description.isEmpty());
        QCOMPARE(column(id, QStringLiteral("ID")).toLongLong(), id);
    }

    // --- the opening list ---

    void recentListsTheFiftyNewest()
    {
        // Added in scrambled order, so that the identities say nothing about the dates.
        QList<int> order;
        for (int i = 0; i < 60; ++i)
            order << i;
        std::shuffle(order.begin(), order.end(), *QRandomGenerator::global());
        for (const int i : std::as_const(order))
            addDocument(QStringLiteral("R%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("文件%1").arg(i),
                        QStringLiteral("01"), kNow.addSecs(3600 * i));

        const auto rows = UploadDocuments::recent(uploader());
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QStringList expected;
        for (int i = 10; i < 60; ++i)
            expected << QStringLiteral("R%1").arg(i);
        QCOMPARE(numbersOf(rows.value), expected);  // the newest 50, oldest first
        QCOMPARE(rows.value.first().uploaded, kNow.addSecs(3600 * 10));

        const auto three = UploadDocuments::recent(uploader(), 3);
        QVERIFY(three.ok());
        QCOMPARE(numbersOf(three.value),
                 (QStringList{QStringLiteral("R57"), QStringLiteral("R58"), QStringLiteral("R59")}));
    }

    void recentListsOnlyTheContextsDocumentsWithContent()
    {
        addDocument(QStringLiteral("MINE"), QStringLiteral("我的"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("EMPTY"), QStringLiteral("无内容"), QStringLiteral("01"), kLater,
                    QVariant(QMetaType::fromType<QByteArray>()));
        addDocument(QStringLiteral("DEPT"), QStringLiteral("别的部门"), QStringLiteral("01"), kLater, QByteArray("x"),
                    QStringLiteral("D02"));
        addDocument(QStringLiteral("POS"), QStringLiteral("别的岗位"), QStringLiteral("01"), kLater, QByteArray("x"),
                    QStringLiteral("D01"), QStringLiteral("G02"));
        const auto rows = UploadDocuments::recent(uploader());
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), QStringList{QStringLiteral("MINE")});
        // The query lists the document without content too.
        const auto all = UploadDocuments::query(uploader(), {});
        QVERIFY(all.ok());
        QCOMPARE(numbersOf(all.value), (QStringList{QStringLiteral("MINE"), QStringLiteral("EMPTY")}));
    }

    void listsOrderTiesAsTheQuery()
    {
        // Same time: by number, then type, then name descending.
        addDocument(QStringLiteral("B"), QStringLiteral("n"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("02"), kNow);
        addDocument(QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("02"), kNow);
        addDocument(QStringLiteral("A"), QStringLiteral("z"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("C"), QStringLiteral("c"), QStringLiteral("01"), kNow.addSecs(-1));
        const QStringList expected = {QStringLiteral("C c"), QStringLiteral("A z"), QStringLiteral("A b"),
                                      QStringLiteral("A a"), QStringLiteral("B n")};
        const auto label = [](const QVector<DocumentRow>& rows) {
            QStringList out;
            for (const DocumentRow& r : rows)
                out << r.number + u' ' + r.name;
            return out;
        };
        const auto recent = UploadDocuments::recent(uploader());
        QVERIFY2(recent.ok(), qPrintable(recent.error.description));
        QCOMPARE(label(recent.value), expected);
        const auto queried = UploadDocuments::query(uploader(), {});
        QVERIFY(queried.ok());
        QCOMPARE(label(queried.value), expected);
        // Read in steps of one row: documents of one upload time still come together, in order.
        const auto reader = UploadDocuments::openQuery(uploader(), {});
        QCOMPARE(reader->total(), expected.size());
        QVector<DocumentRow> stepped;
        while (reader->read(1, [&](const DocumentRow& r) { stepped.append(r); })) {
        }
        QVERIFY(!reader->error().isSet());
        QCOMPARE(label(stepped), expected);
    }

    void listRowsCarryEveryColumn()
    {
        addType(QStringLiteral("01"), QStringLiteral("制度"));
        const QByteArray bytes("%PDF-1.4 content");
        DocumentInput in = input(QStringLiteral("F-1"), makeFile(QStringLiteral("f.pdf"), bytes));
        in.typeText = QStringLiteral("01 制度");
        in.levelText = QStringLiteral("7");
        const DbResult<qint64> id = UploadDocuments::insert(in, uploader(), kNow);
        QVERIFY(id.ok());
        for (const auto& rows : {UploadDocuments::recent(uploader()), UploadDocuments::query(uploader(), {})}) {
            QVERIFY2(rows.ok(), qPrintable(rows.error.description));
            QCOMPARE(rows.value.size(), 1);
            const DocumentRow& r = rows.value.first();
            QCOMPARE(r.id, id.value);
            QCOMPARE(r.number, QStringLiteral("F-1"));
            QCOMPARE(r.typeText(), QStringLiteral("01 制度"));
            QCOMPARE(r.name, QStringLiteral("年度报告F-1"));
            QCOMPARE(r.summary, QStringLiteral("摘要F-1"));
            QCOMPARE(r.keywords, QStringLiteral("关键F-1"));
            QCOMPARE(r.level, QStringLiteral("7"));
            QCOMPARE(r.uploader, QStringLiteral("E001"));
            QCOMPARE(r.extension, QStringLiteral("pdf"));
            QCOMPARE(r.uploaded, kNow);
            QCOMPARE(r.uploadedText(), QStringLiteral("2013-09-21 14:05"));
        }
    }

    // --- the query ---

    void queryByNameFindsASubstring()
    {
        addDocument(QStringLiteral("1"), QStringLiteral("年度报告2013"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("2"), QStringLiteral("合同"), QStringLiteral("01"), kNow);
        ListFilter f;
        f.name = QStringLiteral("  报告 ");
        const auto rows = UploadDocuments::query(uploader(), f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), QStringList{QStringLiteral("1")});
    }

    void queryByTypeListsOnlyTheTypesOwnDocuments()
    {
        addType(QStringLiteral("01"), QStringLiteral("制度"));
        addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"));
        addDocument(QStringLiteral("P"), QStringLiteral("父"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("C"), QStringLiteral("子"), QStringLiteral("0101"), kNow);
        ListFilter f;
        f.typeCode = quarvel::typeCodeOf(QStringLiteral("01 制度"));
        const auto rows = UploadDocuments::query(uploader(), f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), QStringList{QStringLiteral("P")});
        QCOMPARE(rows.value.first().typeName, QStringLiteral("制度"));
    }

    void queryByKeywords()
    {
        addDocument(QStringLiteral("1"), QStringLiteral("甲"), QStringLiteral("01"), kNow, QByteArray("x"),
                    QStringLiteral("D01"), QStringLiteral("G01"), QStringLiteral("财务;预算"));
        addDocument(QStringLiteral("2"), QStringLiteral("乙"), QStringLiteral("01"), kNow, QByteArray("x"),
                    QStringLiteral("D01"), QStringLiteral("G01"), QStringLiteral("人事"));
        addDocument(QStringLiteral("3"), QStringLiteral("丙"), QStringLiteral("01"), kNow);
        ListFilter f;
        f.keywords = QStringLiteral(" 预算");
        auto rows = UploadDocuments::query(uploader(), f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), QStringList{QStringLiteral("1")});
        // "%" matches every document that has keywords at all.
        f.keywords = QStringLiteral("%");
        rows = UploadDocuments::query(uploader(), f);
        QCOMPARE(numbersOf(rows.value), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    }

    void queryByDateIncludesTheWholeEndDay()
    {
        addDocument(QStringLiteral("before"), QStringLiteral("a"), QStringLiteral("01"),
                    QDateTime(QDate(2013, 8, 31), QTime(23, 59, 59)));
        addDocument(QStringLiteral("first"), QStringLiteral("b"), QStringLiteral("01"),
                    QDateTime(QDate(2013, 9, 1), QTime(0, 0, 0)));
        addDocument(QStringLiteral("last"), QStringLiteral("c"), QStringLiteral("01"),
                    QDateTime(QDate(2013, 9, 21), QTime(23, 59, 59)));
        addDocument(QStringLiteral("after"), QStringLiteral("d"), QStringLiteral("01"),
                    QDateTime(QDate(2013, 9, 22), QTime(0, 0, 0)));
        ListFilter f;
        f.from = QDate(2013, 9, 1);
        f.to = QDate(2013, 9, 21);
        const auto rows = UploadDocuments::query(uploader(), f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), (QStringList{QStringLiteral("first"), QStringLiteral("last")}));
        // One day: from = to.
        f.from = QDate(2013, 9, 21);
        QCOMPARE(numbersOf(UploadDocuments::query(uploader(), f).value), QStringList{QStringLiteral("last")});
    }

    void queryCombinesConditions()
    {
        addDocument(QStringLiteral("1"), QStringLiteral("年度报告"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("2"), QStringLiteral("年度报告"), QStringLiteral("02"), kNow);
        addDocument(QStringLiteral("3"), QStringLiteral("年度报告"), QStringLiteral("01"), kLater);
        addDocument(QStringLiteral("4"), QStringLiteral("月度"), QStringLiteral("01"), kNow);
        ListFilter f;
        f.name = QStringLiteral("报告");
        f.typeCode = QStringLiteral("01");
        f.from = kNow.date();
        f.to = kNow.date();
        const auto rows = UploadDocuments::query(uploader(), f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), QStringList{QStringLiteral("1")});
    }

    void documentOfUnknownTypeListsWithEmptyTypeName()
    {
        addType(QStringLiteral("01"), QStringLiteral("制度"));
        addDocument(QStringLiteral("U"), QStringLiteral("孤儿"), QStringLiteral("99"), kNow);
        for (const auto& rows : {UploadDocuments::recent(uploader()), UploadDocuments::query(uploader(), {})}) {
            QVERIFY2(rows.ok(), qPrintable(rows.error.description));
            QCOMPARE(rows.value.size(), 1);
            QCOMPARE(rows.value.first().typeName, QString());
            QCOMPARE(rows.value.first().typeText(), QStringLiteral("99 "));
        }
    }

    void superUserListsOnlyDocumentsWithoutDepartmentAndPosition()
    {
        const QString path = makeFile(QStringLiteral("s.pdf"), "12345678");
        const DbResult<qint64> own = UploadDocuments::insert(input(QStringLiteral("SU"), path), superUser(), kNow);
        QVERIFY2(own.ok(), qPrintable(own.error.description));
        QCOMPARE(column(own.value, QStringLiteral("部门")).toString(), QString());
        QVERIFY(!column(own.value, QStringLiteral("部门")).isNull());
        QVERIFY(!column(own.value, QStringLiteral("岗位")).isNull());
        addDocument(QStringLiteral("DEPT"), QStringLiteral("部门的"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("HALF"), QStringLiteral("只有部门"), QStringLiteral("01"), kNow, QByteArray("x"),
                    QStringLiteral("D01"), QStringLiteral(""));
        for (const auto& rows : {UploadDocuments::recent(superUser()), UploadDocuments::query(superUser(), {})}) {
            QVERIFY2(rows.ok(), qPrintable(rows.error.description));
            QCOMPARE(numbersOf(rows.value), QStringList{QStringLiteral("SU")});
        }
        // And an ordinary user does not see it.
        QCOMPARE(numbersOf(UploadDocuments::query(uploader(), {}).value), QStringList{QStringLiteral("DEPT")});
    }

    // --- hostile texts ---

    void hostileFieldsAreStoredAsTyped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quote") << QStringLiteral("O'Brien");
        QTest::newRow("injection") << QStringLiteral("' or '1'='1");
        QTest::newRow("statement") << QStringLiteral("x'); delete from 公司文件信息; --");
        QTest::newRow("percent") << QStringLiteral("%");
        QTest::newRow("underscore") << QStringLiteral("_");
        QTest::newRow("brackets") << QStringLiteral("[a-z]");
        QTest::newRow("double quote") << QStringLiteral("\"名\"");
    }

    void hostileFieldsAreStoredAsTyped()
    {
        QFETCH(QString, text);
        addDocument(QStringLiteral("OTHER"), QStringLiteral("别的"), QStringLiteral("01"), kNow);
        const auto others = snapshot(QStringLiteral("公司文件信息"));
        const UploaderContext context{text, text + u'd', text + u'p'};
        DocumentInput in;
        in.number = text;
        in.name = text;
        in.summary = text;
        in.keywords = text;
        in.typeText = text + QStringLiteral(" 名");
        in.levelText = text;
        in.filePath = makeFile(QStringLiteral("h.pdf"), "12345678");
        const DbResult<qint64> id = UploadDocuments::insert(in, context, kNow);
        QVERIFY2(id.ok(), qPrintable(id.error.description));
        QVERIFY(isDocumentNumberTaken(UploadDocuments::insert(in, context, kNow).error));
        for (const QString& c : {QStringLiteral("编号"), QStringLiteral("文件名称"), QStringLiteral("摘要"),
                                 QStringLiteral("关键字"), QStringLiteral("上传人工号")})
            QCOMPARE(column(id.value, c).toString(), text);
        QCOMPARE(column(id.value, QStringLiteral("文件类别")).toString(), quarvel::typeCodeOf(in.typeText));
        QCOMPARE(column(id.value, QStringLiteral("部门")).toString(), text + u'd');

        in.name = text + text;
        DbStatus s = UploadDocuments::update(id.value, in, context, kLater);
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QCOMPARE(column(id.value, QStringLiteral("文件名称")).toString(), text + text);

        const auto rows = UploadDocuments::query(context, {});
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), QStringList{text});

        // The other document is untouched, before and after the delete.
        QCOMPARE(snapshot(QStringLiteral("公司文件信息")).first(), others.first());
        s = UploadDocuments::remove(id.value, text);
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QCOMPARE(snapshot(QStringLiteral("公司文件信息")), others);
    }

    void hostileFilters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("byName");
        QTest::addColumn<QStringList>("byType");
        QTest::addColumn<QStringList>("byKeywords");
        const QStringList all = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
        // A typed "%" or "_" is a wildcard: "%" finds every document, "_" every one whose text
        // has at least one character. Quotes are plain characters.
        QTest::newRow("injection") << QStringLiteral("' or '1'='1") << QStringList{QStringLiteral("3")}
                                   << QStringList{QStringLiteral("3")} << QStringList{QStringLiteral("3")};
        QTest::newRow("quote") << QStringLiteral("'") << QStringList{QStringLiteral("3")} << QStringList{}
                               << QStringList{QStringLiteral("3")};
        QTest::newRow("percent") << QStringLiteral("%") << all << QStringList{} << all;
        QTest::newRow("underscore") << QStringLiteral("_") << all << QStringList{} << all;
        QTest::newRow("percent quote") << QStringLiteral("%'%") << QStringList{QStringLiteral("3")} << QStringList{}
                                       << QStringList{QStringLiteral("3")};
        QTest::newRow("comment") << QStringLiteral("--") << QStringList{} << QStringList{} << QStringList{};
    }

    void hostileFilters()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, byName);
        QFETCH(QStringList, byType);
        QFETCH(QStringList, byKeywords);
        addDocument(QStringLiteral("1"), QStringLiteral("年度报告"), QStringLiteral("01"), kNow, QByteArray("x"),
                    QStringLiteral("D01"), QStringLiteral("G01"), QStringLiteral("财务"));
        addDocument(QStringLiteral("2"), QStringLiteral("合同"), QStringLiteral("02"), kNow.addSecs(1), QByteArray("x"),
                    QStringLiteral("D01"), QStringLiteral("G01"), QStringLiteral("人事"));
        addDocument(QStringLiteral("3"), QStringLiteral("' or '1'='1"), QStringLiteral("' or '1'='1"), kNow.addSecs(2),
                    QByteArray("x"), QStringLiteral("D01"), QStringLiteral("G01"), QStringLiteral("' or '1'='1"));
        const auto before = snapshot(QStringLiteral("公司文件信息"));

        ListFilter f;
        f.name = text;
        auto rows = UploadDocuments::query(uploader(), f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), byName);
        f = {};
        f.typeCode = text;
        rows = UploadDocuments::query(uploader(), f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), byType);
        f = {};
        f.keywords = text;
        rows = UploadDocuments::query(uploader(), f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), byKeywords);

        // A hostile context finds nothing of the others.
        const UploaderContext hostile{text, text, text};
        rows = UploadDocuments::query(hostile, {});
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QVERIFY(rows.value.isEmpty());
        const auto recent = UploadDocuments::recent(hostile);
        QVERIFY2(recent.ok(), qPrintable(recent.error.description));
        QVERIFY(recent.value.isEmpty());
        QCOMPARE(snapshot(QStringLiteral("公司文件信息")), before);
    }

    // --- opening and the download groups ---

    void storedDocument()
    {
        addDocument(QStringLiteral("1"), QStringLiteral("有内容"), QStringLiteral("01"), kNow);
        addDocument(QStringLiteral("2"), QStringLiteral("无内容"), QStringLiteral("01"), kNow,
                    QVariant(QMetaType::fromType<QByteArray>()));
        auto d = UploadDocuments::stored(idOf(QStringLiteral("1")));
        QVERIFY2(d.ok(), qPrintable(d.error.description));
        QVERIFY(d.value.has_value());
        QCOMPARE(d.value->id, idOf(QStringLiteral("1")));
        QCOMPARE(d.value->name, QStringLiteral("有内容"));
        QCOMPARE(d.value->extension, QStringLiteral("pdf"));
        QVERIFY(d.value->hasContent);
        d = UploadDocuments::stored(idOf(QStringLiteral("2")));
        QVERIFY(d.ok() && d.value.has_value());
        QVERIFY(!d.value->hasContent);
        d = UploadDocuments::stored(idOf(QStringLiteral("2")) + 100);
        QVERIFY(d.ok());
        QVERIFY(!d.value.has_value());
    }

    void downloadGroups()
    {
        auto groups = UploadDocuments::downloadGroups();
        QVERIFY2(groups.ok(), qPrintable(groups.error.description));
        QVERIFY(groups.value.isEmpty());
        QVERIFY(db->insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QStringLiteral("G2")},
                                                          {QStringLiteral("组名称"), QStringLiteral("财务组")}}));
        QVERIFY(db->insert(QStringLiteral("资料下载组"),
                           {{QStringLiteral("组ID"), QStringLiteral("G1")}, {QStringLiteral("组名称"), QVariant()}}));
        groups = UploadDocuments::downloadGroups();
        QVERIFY(groups.ok());
        QCOMPARE(groups.value, (QStringList{QStringLiteral("G2 财务组"), QStringLiteral("G1 ")}));
    }

    void failuresAreReported()
    {
        SharedConnection::release();
        QVERIFY(!UploadDocuments::recent(uploader()).ok());
        QVERIFY(!UploadDocuments::query(uploader(), {}).ok());
        QVERIFY(!UploadDocuments::stored(1).ok());
        QVERIFY(!UploadDocuments::downloadGroups().ok());
        QVERIFY(!UploadDocuments::remove(1, QStringLiteral("1")).ok());
        const QString path = makeFile(QStringLiteral("a.pdf"), "12345678");
        QVERIFY(!UploadDocuments::insert(input(QStringLiteral("1"), path), uploader(), kNow).ok());
        QVERIFY(!UploadDocuments::update(1, input(QStringLiteral("1"), path), uploader(), kNow).ok());
    }

    // --- the same through ODBC ---

    void odbcRoundTrip()
    {
        db.reset();
        TestDatabase odbc(TestDatabase::Access::Odbc);
        QVERIFY(odbc.isValid());
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
            QSKIP("Qt's ODBC driver is not installed");
        const DbStatus opened = odbc.openShared();
        if (!opened.ok())
            QSKIP(qPrintable(QStringLiteral("the SQLite ODBC driver is not available: ") + opened.error.description));
        const auto stored = [&](qint64 id, const QString& c) {
            return odbc.scalar(QStringLiteral("select %1 from 公司文件信息 where ID = ?").arg(c), {id});
        };

        const QByteArray first = someBytes(kStreamUnit + 2049, 11);
        DocumentInput in = input(QStringLiteral("O'1"), makeFile(QStringLiteral("o.PDF"), first));
        in.summary.clear();
        const DbResult<qint64> id = UploadDocuments::insert(in, uploader(), kNow);
        QVERIFY2(id.ok(), qPrintable(id.error.description));
        QCOMPARE(stored(id.value, QStringLiteral("文件")).toByteArray(), first);
        QCOMPARE(stored(id.value, QStringLiteral("附件后缀")).toString(), QStringLiteral("PDF"));
        QVERIFY(stored(id.value, QStringLiteral("摘要")).isNull());
        QCOMPARE(stored(id.value, QStringLiteral("上传日期")).toString(), QStringLiteral("2013-09-21 14:05:09"));
        QVERIFY(isDocumentNumberTaken(UploadDocuments::insert(in, uploader(), kNow).error));

        const auto recent = UploadDocuments::recent(uploader());
        QVERIFY2(recent.ok(), qPrintable(recent.error.description));
        QCOMPARE(numbersOf(recent.value), QStringList{QStringLiteral("O'1")});
        QCOMPARE(recent.value.first().uploaded, kNow);

        const QByteArray second = someBytes(4000, 12);
        in.filePath = makeFile(QStringLiteral("o2.docx"), second);
        DbStatus s = UploadDocuments::update(id.value, in, editor(), kLater);
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QCOMPARE(stored(id.value, QStringLiteral("文件")).toByteArray(), second);
        QCOMPARE(stored(id.value, QStringLiteral("附件后缀")).toString(), QStringLiteral("docx"));
        QCOMPARE(stored(id.value, QStringLiteral("上传人工号")).toString(), QStringLiteral("E002"));

        in.filePath.clear();
        in.name = QStringLiteral("只改名称");
        s = UploadDocuments::update(id.value, in, uploader(), kNow);
        QVERIFY2(s.ok(), qPrintable(s.error.description));
        QCOMPARE(stored(id.value, QStringLiteral("文件")).toByteArray(), second);
        QCOMPARE(stored(id.value, QStringLiteral("文件名称")).toString(), QStringLiteral("只改名称"));
        QCOMPARE(stored(id.value, QStringLiteral("上传日期")).toString(), QStringLiteral("2013-10-02 08:30:00"));

        ListFilter f;
        f.name = QStringLiteral("改");
        f.from = kLater.date();
        f.to = kLater.date();
        const auto rows = UploadDocuments::query(uploader(), f);
        QVERIFY2(rows.ok(), qPrintable(rows.error.description));
        QCOMPARE(numbersOf(rows.value), QStringList{QStringLiteral("O'1")});
    }

    // --- temporary copies of opened documents ---

    void temporaryPathStaysInsideTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::newRow("parent folders") << QStringLiteral("../../etc/passwd") << QStringLiteral("pdf");
        QTest::newRow("both separators") << QStringLiteral("a/b\\c") << QStringLiteral("pdf");
        QTest::newRow("dot dot") << QStringLiteral("..") << QStringLiteral("pdf");
        QTest::newRow("dot") << QStringLiteral(".") << QStringLiteral("pdf");
        QTest::newRow("empty") << QString() << QStringLiteral("pdf");
        QTest::newRow("reserved characters") << QStringLiteral("con:*?") << QStringLiteral("pdf");
        QTest::newRow("device name") << QStringLiteral("NUL.txt") << QStringLiteral("pdf");
        QTest::newRow("long") << QString(300, u'长') << QStringLiteral("pdf");
        QTest::newRow("long ascii") << QString(300, u'a') << QStringLiteral("pdf");
        QTest::newRow("long, four-byte characters")
            << QStringLiteral("\U0001F4C4").repeated(100) << QStringLiteral("pdf");
        QTest::newRow("newline") << QStringLiteral("第一行\n第二行\r\t") << QStringLiteral("pdf");
        QTest::newRow("hidden") << QStringLiteral(".bashrc") << QStringLiteral("pdf");
        QTest::newRow("direction override") << QStringLiteral("abc\u202Efdp.exe") << QStringLiteral("pdf");
        QTest::newRow("lone surrogate") << (QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"))
                                        << QStringLiteral("pdf");
        QTest::newRow("hostile extension") << QStringLiteral("报告") << QStringLiteral("../../x");
        QTest::newRow("extension is a path") << QStringLiteral("报告") << QStringLiteral("D:\\资料\\report");
        QTest::newRow("long extension") << QStringLiteral("报告") << QString(300, u'e');
        QTest::newRow("empty extension") << QStringLiteral("报告") << QString();
        QTest::newRow("nul") << (QStringLiteral("a") + QChar(0) + QStringLiteral("/b"))
                             << (QChar(0) + QStringLiteral("/"));
    }

    void temporaryPathStaysInsideTheFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        const QString folder = files->path();
        const QString path = temporaryDocumentPath(folder, name, kNow, extension);
        const QFileInfo info(path);
        QCOMPARE(info.absolutePath(), QFileInfo(folder).absoluteFilePath());
        QCOMPARE(QDir::cleanPath(path), path);
        const QString fileName = info.fileName();
        QCOMPARE(path, folder + u'/' + fileName);
        QVERIFY(!fileName.startsWith(u'.'));
        QVERIFY(fileName.toUtf8().size() <= 255);
        QVERIFY(fileName.contains(QStringLiteral("-20130921140509")));
        for (const QChar c : fileName) {
            QVERIFY2(!QStringLiteral("/\\:*?\"<>|").contains(c), qPrintable(fileName));
            QVERIFY2(c.category() != QChar::Other_Control && c.category() != QChar::Other_Format, qPrintable(fileName));
        }
        QVERIFY(fileName.isValidUtf16());  // no lone half of a surrogate pair
        // The file can be written there.
        QFile f(path);
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(f.errorString()));
        f.close();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QVERIFY(f.remove());
    }

    void temporaryPathKeepsOrdinaryNames()
    {
        QCOMPARE(
            temporaryDocumentPath(QStringLiteral("/t"), QStringLiteral("年度报告2013"), kNow, QStringLiteral("pdf")),
            QStringLiteral("/t/年度报告2013-20130921140509.pdf"));
        QCOMPARE(temporaryDocumentPath(QStringLiteral("/t/"), QStringLiteral("合同 v1.2 (草稿)"), kNow,
                                       QStringLiteral("Docx")),
                 QStringLiteral("/t/合同 v1.2 (草稿)-20130921140509.Docx"));
        QCOMPARE(temporaryDocumentPath(QStringLiteral("/t"), QStringLiteral("../../etc/passwd"), kNow,
                                       QStringLiteral("pdf")),
                 QStringLiteral("/t/_.._etc_passwd-20130921140509.pdf"));
        QCOMPARE(temporaryDocumentPath(QStringLiteral("/t"), QStringLiteral(".."), kNow, QStringLiteral("pdf")),
                 QStringLiteral("/t/文件-20130921140509.pdf"));
        QCOMPARE(temporaryDocumentPath(QStringLiteral("/t"), QStringLiteral("con"), kNow, QStringLiteral("txt")),
                 QStringLiteral("/t/_con-20130921140509.txt"));
        QCOMPARE(temporaryDocumentPath(QStringLiteral("/t"), QStringLiteral("报告"), kNow, QString()),
                 QStringLiteral("/t/报告-20130921140509"));
        // A long name keeps its beginning.
        const QString longName = QString(300, u'长');
        const QString fileName =
            QFileInfo(temporaryDocumentPath(QStringLiteral("/t"), longName, kNow, QStringLiteral("pdf"))).fileName();
        QVERIFY(fileName.startsWith(QString(60, u'长')));
        QVERIFY(fileName.endsWith(QStringLiteral("长-20130921140509.pdf")));
        QVERIFY(fileName.toUtf8().size() > 240);
    }

    void temporaryFilesOfOneSecondGetTheirOwnNames()
    {
        const QString folder = files->path();
        // Two names that read alike once made safe, in the same second.
        const QString first =
            createTemporaryDocumentFile(folder, QStringLiteral("报告/甲"), kNow, QStringLiteral("pdf")).value;
        const QString second =
            createTemporaryDocumentFile(folder, QStringLiteral("报告:甲"), kNow, QStringLiteral("pdf")).value;
        const QString third =
            createTemporaryDocumentFile(folder, QStringLiteral("报告/甲"), kNow, QStringLiteral("pdf")).value;
        QCOMPARE(first, folder + QStringLiteral("/报告_甲-20130921140509.pdf"));
        QCOMPARE(second, folder + QStringLiteral("/报告_甲-20130921140509-2.pdf"));
        QCOMPARE(third, folder + QStringLiteral("/报告_甲-20130921140509-3.pdf"));
        for (const QString& path : {first, second, third})
            QVERIFY(QFileInfo(path).isFile());
        // A name taken by a link counts as taken too.
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/target"),
                            temporaryDocumentPath(folder, QStringLiteral("链接"), kNow, QStringLiteral("pdf"))));
        QCOMPARE(createTemporaryDocumentFile(folder, QStringLiteral("链接"), kNow, QStringLiteral("pdf")).value,
                 folder + QStringLiteral("/链接-20130921140509-2.pdf"));
        // A long name keeps room for the serial.
        const QString longName =
            createTemporaryDocumentFile(folder, QString(300, u'长'), kNow, QStringLiteral("pdf")).value;
        const QString longAgain =
            createTemporaryDocumentFile(folder, QString(300, u'长'), kNow, QStringLiteral("pdf")).value;
        QVERIFY(longAgain != longName);
        QVERIFY(QFileInfo(longAgain).fileName().toUtf8().size() <= 255);
        QVERIFY(QFileInfo(longAgain).fileName().endsWith(QStringLiteral("-2.pdf")));
        // No file can be made in a missing folder.
        const DbResult<QString> missing = createTemporaryDocumentFile(folder + QStringLiteral("/missing"),
                                                                      QStringLiteral("a"), kNow, QStringLiteral("pdf"));
        QVERIFY(!missing.ok());
        QVERIFY(missing.value.isEmpty());
        QVERIFY(!missing.error.description.isEmpty());
    }

    void documentTempFolderIsCreatedWhenMissing()
    {
        const QString folder = documentTempFolder();
        QCOMPARE(QFileInfo(folder).absolutePath(), QFileInfo(GetTempFilePath()).absolutePath());
        QCOMPARE(QFileInfo(folder).fileName(), QStringLiteral("Temp"));
        QVERIFY(folder.startsWith(cache.path()));
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(!QFileInfo::exists(folder));

        QCOMPARE(documentTempFolder(), folder);
        const QFileInfo info(folder);
        QVERIFY(info.isDir());
        QCOMPARE(info.permissions()
                     & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                        | QFile::ExeOther),
                 QFile::Permissions());
        QVERIFY(info.permissions() & QFile::WriteOwner);

        // An existing folder is kept with its files.
        QFile kept(folder + QStringLiteral("/kept.pdf"));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.close();
        QCOMPARE(documentTempFolder(), folder);
        QVERIFY(kept.exists());
        const QString path = temporaryDocumentPath(folder, QStringLiteral("报告"), kNow, QStringLiteral("pdf"));
        QFile copy(path);
        QVERIFY(copy.open(QIODevice::WriteOnly));
    }
};

QTEST_MAIN(UploadDocumentsTest)
#include "test_upload_documents.moc"
