#include "TestSupport.h"
// Piece plans and the file procedures that need no database.

#include "shared/ContentTransfer.h"
#include "shared/Module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace quarvel;
using namespace quarvel::test;

namespace {


QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

class ContentPiecesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // --- piece plans ---

    void piecePlan_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("unit");
        QTest::addColumn<QList<qint64>>("expected");
        QTest::newRow("empty") << qint64(0) << kTransferUnit << QList<qint64>{};
        QTest::newRow("one byte") << qint64(1) << kTransferUnit << QList<qint64>{1};
        QTest::newRow("one unit") << qint64(2048) << kTransferUnit << QList<qint64>{2048};
        QTest::newRow("three units") << qint64(3 * 2048) << kTransferUnit << QList<qint64>{2048, 2048, 2048};
        QTest::newRow("5000") << qint64(5000) << kTransferUnit << QList<qint64>{904, 2048, 2048};
        QTest::newRow("2049") << qint64(2049) << kTransferUnit << QList<qint64>{1, 2048};
        QTest::newRow("stream unit") << 2 * kStreamUnit + 5 << kStreamUnit
                                     << QList<qint64>{5, kStreamUnit, kStreamUnit};
    }
    void piecePlan()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, unit);
        QFETCH(QList<qint64>, expected);
        const PiecePlan plan(size, unit);
        QCOMPARE(plan.pieces(), expected);
        QCOMPARE(plan.count(), expected.size());
        qint64 offset = 0;
        for (qint64 i = 0; i < plan.count(); ++i) {
            QCOMPARE(plan.offset(i), offset);
            offset += plan.piece(i);
        }
        QCOMPARE(offset, size);
    }

    void fullUnitsGiveNoShortPiece()
    {
        for (qint64 n = 1; n <= 64; ++n) {
            const PiecePlan plan(kTransferUnit * n, kTransferUnit);
            QCOMPARE(plan.count(), n);
            const QList<qint64> pieces = plan.pieces();
            QVERIFY(std::all_of(pieces.begin(), pieces.end(), [](qint64 p) { return p == kTransferUnit; }));
        }
    }

    void streamUnitIsAMultipleOfTheTransferUnit()
    {
        QCOMPARE(kStreamUnit % kTransferUnit, 0);
        QCOMPARE(DocumentContent().unit(), kStreamUnit);
        QCOMPARE(DocumentContent(kTransferUnit).unit(), kTransferUnit);
        // A unit that would break the piece boundaries falls back to the default.
        QCOMPARE(DocumentContent(3000).unit(), kStreamUnit);
    }

    // --- ReadFileBytes ---

    void readingAnEmptyFileGivesTheEmptyArray()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("empty.pdf"));
        QVERIFY(writeFile(path, {}));
        const DbResult<QByteArray> bytes = ReadFileBytes(path);
        QVERIFY(bytes.ok());
        QVERIFY(bytes.value.isNull());
        QVERIFY(IsByteArrayEmpty(bytes.value));
    }

    void readingGivesTheFileUnchanged_data()
    {
        QTest::addColumn<qint64>("size");
        for (const qint64 size : {qint64(1), qint64(7), qint64(2047), qint64(2048), qint64(2049), qint64(5000),
                                  qint64(3 * 2048), qint64(1024 * 1024 + 3)})
            QTest::addRow("%lld", size) << size;
    }
    void readingGivesTheFileUnchanged()
    {
        QFETCH(qint64, size);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("报告.V2.PDF"));
        const QByteArray content = randomBytes(size, quint32(size));
        QVERIFY(writeFile(path, content));
        const DbResult<QByteArray> bytes = ReadFileBytes(path);
        QVERIFY(bytes.ok());
        QVERIFY(!bytes.error.isSet());
        QCOMPARE(bytes.value.size(), content.size());
        QVERIFY(bytes.value == content);
    }

    void readingAMissingFileFails()
    {
        QTemporaryDir dir;
        const DbResult<QByteArray> bytes = ReadFileBytes(dir.filePath(QStringLiteral("missing.doc")));
        QVERIFY(!bytes.ok());
        QVERIFY(bytes.value.isEmpty());
        QVERIFY(bytes.error.isSet());
        QVERIFY(bytes.error.description.contains(QStringLiteral("missing.doc")));
    }

    void readingAFolderFails()
    {
        QTemporaryDir dir;
        const DbResult<QByteArray> bytes = ReadFileBytes(dir.path());
        QVERIFY(!bytes.ok());
        QVERIFY(bytes.value.isEmpty());
    }

    // --- WriteBytesToFile and IsByteArrayEmpty ---

    void emptyArrays()
    {
        QVERIFY(IsByteArrayEmpty(QByteArray()));
        QVERIFY(IsByteArrayEmpty(QByteArray("")));
        QVERIFY(!IsByteArrayEmpty(QByteArray(1, '\0')));
    }

    void writingAnEmptyArrayTouchesNothing()
    {
        QTemporaryDir dir;
        const QString fresh = dir.filePath(QStringLiteral("new.pdf"));
        const DbResult<bool> nothing = WriteBytesToFile(QByteArray(), fresh);
        QVERIFY(nothing.ok());
        QVERIFY(!nothing.value);
        QVERIFY(!QFileInfo::exists(fresh));

        const QString existing = dir.filePath(QStringLiteral("old.pdf"));
        QVERIFY(writeFile(existing, "old content"));
        QVERIFY(!WriteBytesToFile(QByteArray(""), existing).value);
        QCOMPARE(readFile(existing), QByteArray("old content"));
        QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("old.pdf")});
    }

    void writingShortContentsWorks()
    {
        // Contents of 1 to 7 bytes are files for WriteBytesToFile.
        QTemporaryDir dir;
        for (int n = 1; n <= 7; ++n) {
            const QString path = dir.filePath(QStringLiteral("short%1.txt").arg(n));
            const QByteArray content = randomBytes(n, quint32(n));
            QVERIFY(WriteBytesToFile(content, path).value);
            QCOMPARE(readFile(path), content);
        }
    }

    void overwritingALongerFileLeavesNoOldBytes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("文件.xls"));
        QVERIFY(writeFile(path, randomBytes(10000, 1)));
        const QByteArray shorter = randomBytes(100, 2);
        QVERIFY(WriteBytesToFile(shorter, path).value);
        QCOMPARE(readFile(path), shorter);
        QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("文件.xls")});
    }

    void writingIntoAMissingFolderFails()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Temp/a.doc"));
        const DbResult<bool> written = WriteBytesToFile("content", path);
        QVERIFY(!written.ok());
        QVERIFY(!written.value);
        QVERIFY(!written.error.description.isEmpty());
        QVERIFY(!QFileInfo::exists(path));
    }

    void writingIntoAReadOnlyFolderKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("fileSystem");
        QTest::newRow("folder without write permission") << false;
        // Permissions do not bind the superuser (as CI runs); a file system that refuses new
        // files does, whoever asks: /proc holds files but takes no new ones.
        QTest::newRow("file system that refuses writes") << true;
    }
    void writingIntoAReadOnlyFolderKeepsTheOldFile()
    {
        QFETCH(bool, fileSystem);
        QTemporaryDir dir;
        QString path;
        if (fileSystem) {
            path = QStringLiteral("/proc/version");
            if (!QFileInfo::exists(path))
                QSKIP("no /proc file system");
        } else {
            if (::geteuid() == 0)
                QSKIP("file permissions do not bind the superuser");
            const QString folder = dir.filePath(QStringLiteral("locked"));
            QVERIFY(QDir().mkdir(folder));
            path = folder + QStringLiteral("/a.doc");
            QVERIFY(writeFile(path, "old content"));
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        const QByteArray before = readFile(path);
        QVERIFY(!before.isEmpty());
        const DbResult<bool> written = WriteBytesToFile("new content that is longer", path);
        if (!fileSystem)
            QFile::setPermissions(QFileInfo(path).absolutePath(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!written.ok());
        QVERIFY(!written.value);
        QVERIFY(written.error.description.contains(path));
        QCOMPARE(readFile(path), before);
    }

    // --- GetTempFilePath ---

    void tempFileIsOneFixedFileInAPrivateFolder()
    {
        const QString path = GetTempFilePath();
        QVERIFY(path.endsWith(QStringLiteral("/文件Temp")));
        QCOMPARE(GetTempFilePath(), path);
        const QFileInfo folder(QFileInfo(path).absolutePath());
        QVERIFY(folder.isDir());
        QCOMPARE(folder.ownerId(), uint(::geteuid()));
        QCOMPARE(folder.permissions() & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(folder.absoluteFilePath() != QDir(QDir::tempPath()).absolutePath());

        // The viewer writes each document into it.
        QVERIFY(WriteBytesToFile("%PDF-1.4 first", path).value);
        QVERIFY(WriteBytesToFile("%PDF", path).value);
        QCOMPARE(readFile(path), QByteArray("%PDF"));
        QFile::remove(path);
    }

    void tempFolderOpenToOthersIsRestricted()
    {
        const QString folder = QFileInfo(GetTempFilePath()).absolutePath();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                                  | QFile::WriteOther | QFile::ExeOther));
        GetTempFilePath();
        QCOMPARE(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
                 QFile::Permissions());
    }

    void missingTempFolderIsCreatedPrivate()
    {
        const QString folder = QFileInfo(GetTempFilePath()).absolutePath();
        QVERIFY(QDir(folder).removeRecursively());
        const QString path = GetTempFilePath();
        const QFileInfo info(QFileInfo(path).absolutePath());
        QVERIFY(info.isDir());
        QCOMPARE(info.permissions()
                     & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                        | QFile::ExeOther),
                 QFile::Permissions());
    }
};

QTEST_GUILESS_MAIN(ContentPiecesTest)
#include "test_content_pieces.moc"
