// The file access that keeps zero-filled pages from the disk, driven directly: random writes
// (zero pages with a header, full pages, pieces), reads, truncations and syncs against a plain
// byte array. Every read returns what a plain file would; after each sync and at the close the
// file on disk holds exactly the bytes written.

#include "db/ZeroPageVfs.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <memory>

using namespace quarvel;

class ZeroPageVfsTest : public QObject {
    Q_OBJECT

private slots:
    void behavesAsAPlainFile_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 4; ++seed)
            QTest::addRow("seed %u", seed) << seed;
    }
    void behavesAsAPlainFile()
    {
        QFETCH(quint32, seed);
        QVERIFY(installZeroPageVfs());
        sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
        QCOMPARE(QByteArray(vfs->zName), QByteArray("quarvel-zero-pages"));
        QTemporaryDir dir;
        const QByteArray path = dir.filePath(QStringLiteral("main.db")).toUtf8();
        std::unique_ptr<char[]> storage(new char[size_t(vfs->szOsFile)]);
        auto* file = reinterpret_cast<sqlite3_file*>(storage.get());
        int outFlags = 0;
        QCOMPARE(vfs->xOpen(vfs, path.constData(), file,
                            SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_CREATE | SQLITE_OPEN_READWRITE, &outFlags),
                 SQLITE_OK);
        const sqlite3_io_methods* io = file->pMethods;

        constexpr int kPage = 4096;
        QRandomGenerator random(seed);
        QByteArray model;  // what a plain file would hold
        const auto onDisk = [&] {
            QFile f(QString::fromUtf8(path));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
        };
        for (int step = 0; step < 2000; ++step) {
            const qint64 offset = random.bounded(24) * kPage;
            QByteArray bytes(kPage, '\0');
            switch (random.bounded(6)) {
            case 0:  // a zero page, its first bytes set
            case 1:
                for (int i = 0; i < random.bounded(9); ++i)
                    bytes[i] = char(random.bounded(256));
                [[fallthrough]];
            case 2: {  // a page of content (or a zero page from above)
                if (bytes.count('\0') == kPage && random.bounded(2))
                    bytes[random.bounded(kPage)] = 'x';
                QCOMPARE(io->xWrite(file, bytes.constData(), kPage, offset), SQLITE_OK);
                if (model.size() < offset + kPage)
                    model.resize(offset + kPage, '\0');
                model.replace(offset, kPage, bytes);
                break;
            }
            case 3: {  // a piece across page edges
                const qint64 at = offset + random.bounded(kPage);
                const QByteArray piece(random.bounded(1, 2 * kPage), char(random.bounded(1, 256)));
                QCOMPARE(io->xWrite(file, piece.constData(), int(piece.size()), at), SQLITE_OK);
                if (model.size() < at + piece.size())
                    model.resize(at + piece.size(), '\0');
                model.replace(at, piece.size(), piece);
                break;
            }
            case 4: {  // a read, a whole page or a piece
                const qint64 at = random.bounded(2) ? offset : offset + random.bounded(kPage);
                const int length = random.bounded(2) ? kPage : random.bounded(1, 2 * kPage);
                QByteArray got(length, '?');
                const int rc = io->xRead(file, got.data(), length, at);
                const QByteArray expected = model.mid(at, length).leftJustified(length, '\0');
                QCOMPARE(rc, at + length <= model.size() ? SQLITE_OK : SQLITE_IOERR_SHORT_READ);
                QCOMPARE(got, expected);
                break;
            }
            default:  // a truncation, a sync or a look at the size
                if (random.bounded(4) == 0) {
                    const qint64 size = qMin<qint64>(model.size(), random.bounded(24 * kPage));
                    QCOMPARE(io->xTruncate(file, size), SQLITE_OK);
                    model.truncate(size);
                } else if (random.bounded(8) == 0) {
                    QCOMPARE(io->xSync(file, SQLITE_SYNC_NORMAL), SQLITE_OK);
                    QCOMPARE(onDisk(), model);
                }
                sqlite3_int64 size = -1;
                QCOMPARE(io->xFileSize(file, &size), SQLITE_OK);
                QCOMPARE(size, sqlite3_int64(model.size()));
            }
        }
        QCOMPARE(io->xClose(file), SQLITE_OK);
        QCOMPARE(onDisk(), model);
    }
};

QTEST_GUILESS_MAIN(ZeroPageVfsTest)
#include "test_zero_page_vfs.moc"
