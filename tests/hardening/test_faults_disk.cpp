// Faults of disks and files, driven through the windows: a disk that fills up while a download,
// a temporary copy, an export or the database itself is written; the chosen file vanishing or
// becoming unreadable before the upload; a database that can only be read; a temporary folder
// that is missing or cannot be made. Each gives a clear message, leaves nothing half-written
// and loses nothing, and the same step succeeds once the fault is gone.
#include "DatabaseFingerprint.h"
#include "FaultSweep.h"
#include "Organisation.h"
#include "WindowLookup.h"

#include "db/ConnectionRecovery.h"
#include "library/frmBrowse.h"
#include "library/frmUpload.h"
#include "login/UserContext.h"
#include "reports/frmToExcel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSqlQuery>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace quarvel;
using namespace quarvel::test;

namespace {

constexpr qint64 kDocumentSize = 2 * 512 * 1024 + 100;

const QSet<QString> kClockColumns = {QStringLiteral("公司文件信息.上传日期"), QStringLiteral("资料下载组.updatedate"),
                                     QStringLiteral("资料下载记录.操作时间")};

// A full disk for this process: no file it writes can grow past `bytes` (writes beyond fail with
// EFBIG, as they fail with ENOSPC on a full disk). Works without privileges and in any folder.
class FullDisk {
public:
    explicit FullDisk(qint64 bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_old;
        limited.rlim_cur = static_cast<rlim_t>(bytes);
        m_ok = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FullDisk()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

// While it lives, this thread obeys the modes of files and folders even as root (which
// otherwise writes anywhere): the overriding capabilities leave its effective set.
class ModesApply {
public:
    ModesApply()
    {
        if (::syscall(SYS_capget, &m_header, m_old) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_old[0], m_old[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_changed = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~ModesApply()
    {
        if (m_changed)
            ::syscall(SYS_capset, &m_header, m_old);
    }
    ModesApply(const ModesApply&) = delete;
    ModesApply& operator=(const ModesApply&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_old[2]{};
    bool m_changed = false;
};

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}


}  // namespace

class DiskFaultsTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> files;
    std::unique_ptr<Frm公司资料上传> upload;
    std::unique_ptr<Frm公司资料查阅> browse;
    QByteArray stored;  // the content of document B-1

    DatabaseFingerprint fingerprint() { return DatabaseFingerprint::of(db->fixtureConnection(), kClockColumns); }

    QString folder(const QString& name)
    {
        const QString path = files->filePath(name);
        QDir().mkpath(path);
        return path;
    }

    void openUpload()
    {
        upload = std::make_unique<Frm公司资料上传>(*platform);
        upload->setTempFolder(files->filePath(QStringLiteral("temp")));
        upload->resize(1100, 760);
        upload->show();
        QVERIFY(QTest::qWaitForWindowExposed(upload.get()));
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(describe(msgs())));
    }

    void openBrowse()
    {
        browse = std::make_unique<Frm公司资料查阅>(*platform);
        browse->setTempFolder(files->filePath(QStringLiteral("temp")));
        browse->resize(1200, 700);
        browse->show();
        QApplication::setActiveWindow(browse.get());
        QVERIFY(QTest::qWaitForWindowExposed(browse.get()));
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(describe(msgs())));
    }

    QLineEdit* field(const QString& name) { return control<QLineEdit>(*upload, name); }

    // "新增" with every field filled and the file chosen.
    void enterNewDocument(const QString& path)
    {
        clickButton(*upload, QStringLiteral("Command1"));
        typeInto(field(QStringLiteral("Text1(0)")), QStringLiteral("N-1"));
        typeInto(field(QStringLiteral("Text1(1)")), QStringLiteral("新制度"));
        clickButton(*upload, QStringLiteral("Picture8(2)"));
        clickNode(*control<KeyedTree>(*upload, QStringLiteral("TreeView2")), QStringLiteral("S0101"));
        clickButton(*upload, QStringLiteral("Command18"));
        typeInto(field(QStringLiteral("Text4")), QStringLiteral("2"));
        platform->dialogsDouble().answers = {path};
        clickButton(*upload, QStringLiteral("Picture8(1)"));
        QCOMPARE(field(QStringLiteral("Text2"))->text(), path);
    }

    // The failure as the upload window reports a failed save: number and description.
    void expectSaveFailure(const QString& mentioning)
    {
        QCOMPARE(msgs().shown.size(), 1);
        const auto& shown = msgs().shown.constFirst();
        QVERIFY2(shown.text.startsWith(QStringLiteral("错误号：")), qPrintable(shown.text));
        QVERIFY2(shown.text.contains(QStringLiteral("\n错误描述：")), qPrintable(shown.text));
        QVERIFY2(mentioning.isEmpty() || shown.text.contains(mentioning), qPrintable(shown.text));
        QCOMPARE(shown.title, executableTitle());
        QCOMPARE(shown.icon, MsgIcon::Information);
        QCOMPARE(control<QAbstractButton>(*upload, QStringLiteral("Command1"))->text(), QStringLiteral("取消"));
        msgs().shown.clear();
    }

    void expectStored(const QByteArray& content)
    {
        QCOMPARE(msgs().lastText(), QStringLiteral("新增成功!"));
        QCOMPARE(db->scalar(QStringLiteral("select 文件 from 公司文件信息 where 编号 = 'N-1'")).toByteArray(), content);
    }

    void downloadB1(const QString& target)
    {
        FlexGrid& list = *control<FlexGrid>(*browse, QStringLiteral("MSFlexGrid1"));
        const int row = list.findRow(Frm公司资料查阅::ColNumber, QStringLiteral("B-1"));
        QVERIFY(row > 0);
        platform->dialogsDouble().answers = {target};
        if (QFileInfo::exists(target))
            msgs().answers = {MsgAnswer::Yes};
        doubleClickCell(list, row, Frm公司资料查阅::ColDownload);
        msgs().answers.clear();
    }

private slots:
    void init()
    {
        files = std::make_unique<QTemporaryDir>();
        QVERIFY(setUp());
        Organisation org = organisation();
        org.finance();
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), QVariant(), 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        QVERIFY(db->insert(QStringLiteral("资料上传权限"), {{QStringLiteral("文件编号"), QStringLiteral("0101")},
                                                            {QStringLiteral("岗位代号"), QStringLiteral("G01")}}));
        stored = randomBytes(kDocumentSize, 7);
        QVERIFY(db->insert(QStringLiteral("公司文件信息"),
                           {{QStringLiteral("编号"), QStringLiteral("B-1")},
                            {QStringLiteral("文件名称"), QStringLiteral("报销制度")},
                            {QStringLiteral("文件类别"), QStringLiteral("0101")},
                            {QStringLiteral("文件级别"), 1},
                            {QStringLiteral("上传人工号"), QStringLiteral("0012")},
                            {QStringLiteral("上传日期"), QDateTime(QDate(2026, 3, 1), QTime(9, 0))},
                            {QStringLiteral("部门"), QStringLiteral("D01")},
                            {QStringLiteral("岗位"), QStringLiteral("G01")},
                            {QStringLiteral("附件后缀"), QStringLiteral("doc")},
                            {QStringLiteral("文件"), stored}}));
        QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), QStringLiteral("B-1")},
                                                            {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                            {QStringLiteral("岗位代号"), QStringLiteral("G01")},
                                                            {QStringLiteral("查阅"), 1},
                                                            {QStringLiteral("下载"), 1}}));
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));
    }

    void cleanup()
    {
        upload.reset();
        browse.reset();
        tearDown();
        files.reset();
    }

    // --- a full disk ---

    // The download goes to a file beside the target that replaces it only when complete: the
    // old file stays as it was, nothing else is left, nothing is logged.
    void downloadOntoAFullDisk()
    {
        openBrowse();
        const QString downloads = folder(QStringLiteral("downloads"));
        const QString target = downloads + QStringLiteral("/报销制度.doc");
        QVERIFY(writeFile(target, "the old file"));
        const DatabaseFingerprint before = fingerprint();
        {
            FullDisk full(64 * 1024);
            QVERIFY(full.ok());
            downloadB1(target);
        }
        QCOMPARE(msgs().shown.size(), 2);  // the overwrite question, then the failure
        const auto& failure = msgs().shown.constLast();
        QVERIFY2(failure.text.startsWith(QStringLiteral("错误号：")), qPrintable(failure.text));
        QVERIFY2(failure.text.contains(target), qPrintable(failure.text));
        // The reason in words, as the system gives it.
        QVERIFY2(failure.text.contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(failure.text));
        QCOMPARE(failure.title, applicationTitle());
        QCOMPARE(failure.icon, MsgIcon::Information);
        QCOMPARE(readFile(target), QByteArray("the old file"));
        QCOMPARE(filesIn(downloads), QStringList{QStringLiteral("报销制度.doc")});
        QCOMPARE(fingerprint(), before);  // no log row

        msgs().shown.clear();
        downloadB1(target);
        QCOMPARE(msgs().lastText(), QStringLiteral("文件下载成功!"));
        QCOMPARE(readFile(target), stored);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载记录 where 下载 = 1")).toInt(), 1);
    }

    // Opening writes a temporary copy: on a full disk the copy is not left half-written.
    void temporaryCopyOnAFullDisk()
    {
        openBrowse();
        const QString temp = folder(QStringLiteral("temp"));
        FlexGrid& list = *control<FlexGrid>(*browse, QStringLiteral("MSFlexGrid1"));
        const int row = list.findRow(Frm公司资料查阅::ColNumber, QStringLiteral("B-1"));
        {
            FullDisk full(64 * 1024);
            QVERIFY(full.ok());
            // A read that could not be made is not logged: no third message from a log row
            // that the full disk would refuse too.
            doubleClickCell(list, row, Frm公司资料查阅::ColRead);
        }
        QCOMPARE(msgs().shown.size(), 2);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载记录 where 阅读 = 1")).toInt(), 0);
        QCOMPARE(msgs().shown.at(0).title, QStringLiteral("下载文件出错!"));
        QVERIFY2(msgs().shown.at(0).text.contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(msgs().shown.at(0).text));
        QCOMPARE(msgs().shown.at(0).icon, MsgIcon::Critical);
        QCOMPARE(msgs().shown.at(1).text, QStringLiteral("没有能够打开所选附件文件，可能您的电脑上没有安装相应的软件"));
        QCOMPARE(filesIn(temp), QStringList());
        QVERIFY(platform->shellDouble().openedFiles.isEmpty());

        msgs().shown.clear();
        doubleClickCell(list, row, Frm公司资料查阅::ColRead);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(describe(msgs())));
        QCOMPARE(platform->shellDouble().openedFiles.size(), 1);
        QCOMPARE(readFile(platform->shellDouble().openedFiles.constFirst()), stored);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料下载记录 where 阅读 = 1")).toInt(), 1);
    }

    // The database cannot grow: the upload fails whole and the next one succeeds.
    void uploadOntoAFullDisk()
    {
        openUpload();
        const QString path = files->filePath(QStringLiteral("新制度.pdf"));
        const QByteArray content = randomBytes(kDocumentSize, 9);
        QVERIFY(writeFile(path, content));
        enterNewDocument(path);
        const DatabaseFingerprint before = fingerprint();
        {
            FullDisk full(QFileInfo(db->path()).size() + 16 * 1024);
            QVERIFY(full.ok());
            clickButton(*upload, QStringLiteral("Command2"));
        }
        expectSaveFailure(QStringLiteral("错误描述：读写数据库文件时出错"));
        QCOMPARE(fingerprint(), before);
        QVERIFY(db->scalar(QStringLiteral("pragma integrity_check")).toString() == QStringLiteral("ok"));

        clickButton(*upload, QStringLiteral("Command2"));
        expectStored(content);
    }

    // An export replaces the workbook only when the new one is complete.
    void exportOntoAFullDisk()
    {
        FlexGrid grid;
        grid.setFixedCols(0);
        grid.setRows(1);
        grid.setFormatString(QStringLiteral("序|<文件编号     |<文件名称   |<浏览次数"));
        for (int i = 1; i <= 3000; ++i)
            grid.appendRow({QString::number(i), QStringLiteral("N-%1").arg(i * 7919),
                            QString::fromLatin1(randomBytes(24, i).toHex()), QString::number(i % 17)});
        const QString exports = folder(QStringLiteral("exports"));
        const QString target = exports + QStringLiteral("/统计.xlsx");
        const auto exportOnce = [&] {
            frmToExcel w(*platform);
            w.prepare(grid, QStringLiteral("资料下载记录汇总"));
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.Text1[0]->setText(target);
            w.Check1->setChecked(false);  // no program to open it
            QTest::mouseClick(w.Command2, Qt::LeftButton);
        };
        exportOnce();
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(describe(msgs())));
        const QByteArray first = readFile(target);
        QVERIFY(first.size() > 16 * 1024);
        {
            FullDisk full(16 * 1024);
            QVERIFY(full.ok());
            exportOnce();
        }
        QCOMPARE(msgs().shown.size(), 1);
        QVERIFY2(msgs().lastText().startsWith(QStringLiteral("输出到Execl失败: ")), qPrintable(msgs().lastText()));
        QVERIFY2(msgs().lastText().contains(target), qPrintable(msgs().lastText()));
        QCOMPARE(readFile(target), first);
        QCOMPARE(filesIn(exports), QStringList{QStringLiteral("统计.xlsx")});
        msgs().shown.clear();
        exportOnce();
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(describe(msgs())));
    }

    // --- the chosen file ---

    void chosenFileVanishesBeforeTheUpload()
    {
        openUpload();
        const QString path = files->filePath(QStringLiteral("会消失.pdf"));
        QVERIFY(writeFile(path, "%PDF-1.4 soon gone"));
        enterNewDocument(path);
        QVERIFY(QFile::remove(path));
        const DatabaseFingerprint before = fingerprint();
        clickButton(*upload, QStringLiteral("Command2"));
        expectSaveFailure(path);
        QCOMPARE(fingerprint(), before);
        QVERIFY(writeFile(path, "%PDF-1.4 back again"));
        clickButton(*upload, QStringLiteral("Command2"));
        expectStored("%PDF-1.4 back again");
    }

    void chosenFileBecomesUnreadable()
    {
        openUpload();
        const QString path = files->filePath(QStringLiteral("读不了.pdf"));
        QVERIFY(writeFile(path, "%PDF-1.4 readable"));
        enterNewDocument(path);
        const DatabaseFingerprint before = fingerprint();
        // A folder now holds the name: no process, root included, can read it as a file.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        clickButton(*upload, QStringLiteral("Command2"));
        expectSaveFailure(path);
        QCOMPARE(fingerprint(), before);
        if (::geteuid() != 0) {
            // Without the right to read it (root reads any file, so only for other users).
            QVERIFY(QDir().rmdir(path));
            QVERIFY(writeFile(path, "%PDF-1.4 readable"));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            clickButton(*upload, QStringLiteral("Command2"));
            expectSaveFailure(path);
            QCOMPARE(fingerprint(), before);
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        } else {
            QVERIFY(QDir().rmdir(path));
            QVERIFY(writeFile(path, "%PDF-1.4 readable"));
        }
        clickButton(*upload, QStringLiteral("Command2"));
        expectStored("%PDF-1.4 readable");
    }

    // --- a database that can only be read ---

    // Opened read-only, or a file without the write permission (the modes hold for root too):
    // the save says so in words and writes nothing; once writable, the same save stores.
    void readOnlyDatabase_data()
    {
        QTest::addColumn<bool>("byModes");
        QTest::newRow("opened read-only") << false;
        QTest::newRow("file modes") << true;
    }
    void readOnlyDatabase()
    {
        QFETCH(bool, byModes);
        ModesApply modes;
        QSqlDatabase shared = SharedConnection::database();
        const QString options = shared.connectOptions();
        if (byModes)
            QVERIFY(QFile::setPermissions(db->path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        else
            shared.setConnectOptions(options + QStringLiteral(";QSQLITE_OPEN_READONLY"));
        QVERIFY(SharedConnection::reopen().ok());

        openUpload();
        const QString path = files->filePath(QStringLiteral("只读.pdf"));
        QVERIFY(writeFile(path, "%PDF-1.4 read-only"));
        enterNewDocument(path);
        const DatabaseFingerprint before = fingerprint();
        clickButton(*upload, QStringLiteral("Command2"));
        expectSaveFailure(
            byModes ? QStringLiteral("错误描述：数据库文件或它所在的文件夹是只读的")
                    : QStringLiteral("错误描述：数据库文件或它所在的文件夹是只读的，不能写入；没有作任何修改"));
        QCOMPARE(fingerprint(), before);

        if (byModes)
            QVERIFY(QFile::setPermissions(db->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        else
            shared.setConnectOptions(options);
        QVERIFY(SharedConnection::reopen().ok());
        clickButton(*upload, QStringLiteral("Command2"));
        expectStored("%PDF-1.4 read-only");
    }

    // The folder of the database is read-only: a write cannot make the journal it needs. The save
    // says so in words, nothing is written, and reading goes on.
    void readOnlyDatabaseFolder()
    {
        openUpload();
        const QString path = files->filePath(QStringLiteral("文件夹只读.pdf"));
        QVERIFY(writeFile(path, "%PDF-1.4 folder"));
        enterNewDocument(path);
        const QFileDevice::Permissions folderModes = QFileInfo(db->dir()).permissions();
        const DatabaseFingerprint before = fingerprint();
        {
            ModesApply modesApply;
            QVERIFY(QFile::setPermissions(db->dir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            clickButton(*upload, QStringLiteral("Command2"));
            expectSaveFailure(QStringLiteral("错误描述：数据库文件或它所在的文件夹是只读的"));
            clickButton(*upload, QStringLiteral("comLook"));
            QVERIFY2(msgs().shown.isEmpty(), qPrintable(describe(msgs())));
        }
        QVERIFY(QFile::setPermissions(db->dir(), folderModes));
        QCOMPARE(fingerprint(), before);
        QCOMPARE(control<FlexGrid>(*upload, QStringLiteral("MSFlexGrid1"))->textMatrix(1, 1), QStringLiteral("B-1"));
        clickButton(*upload, QStringLiteral("Command2"));
        expectStored("%PDF-1.4 folder");
    }

    // Flipped bytes in a page of the documents table: the first statement that meets them says
    // the database is damaged, the client neither crashes nor writes to the file again.
    void damagedDatabaseIsNeverWritten()
    {
        const int pageSize = db->scalar(QStringLiteral("pragma page_size")).toInt();
        const int root =
            db->scalar(QStringLiteral("select rootpage from sqlite_master where name = '公司文件信息'")).toInt();
        QVERIFY(pageSize > 0 && root > 1);
        SharedConnection::release();
        {
            QFile file(db->path());
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(qint64(root - 1) * pageSize));
            QVERIFY(file.write(QByteArray(16, '\xff')) == 16);
        }
        QVERIFY(db->connectShared());
        const QByteArray damagedBytes = readFile(db->path());
        upload = std::make_unique<Frm公司资料上传>(*platform);
        upload->setTempFolder(files->filePath(QStringLiteral("temp")));
        upload->show();
        QVERIFY(QTest::qWaitForWindowExposed(upload.get()));
        QVERIFY2(!msgs().shown.isEmpty() && msgs().shown.constFirst().text.contains(databaseDamagedText()),
                 qPrintable(describe(msgs())));
        QVERIFY(ConnectionRecovery::damaged());
        msgs().shown.clear();

        // A new document would touch no damaged page, yet it is not written.
        const QString path = files->filePath(QStringLiteral("损坏.pdf"));
        QVERIFY(writeFile(path, "%PDF-1.4 damaged"));
        enterNewDocument(path);
        clickButton(*upload, QStringLiteral("Command2"));
        expectSaveFailure(databaseDamagedText());
        QCOMPARE(readFile(db->path()), damagedBytes);
        QVERIFY(!QFileInfo::exists(db->path() + QStringLiteral("-journal")));
    }

    // --- the temporary folder ---

    void temporaryFolderMissing()
    {
        openUpload();
        const QString temp = files->filePath(QStringLiteral("temp"));
        QDir(temp).removeRecursively();
        FlexGrid& list = *control<FlexGrid>(*upload, QStringLiteral("MSFlexGrid1"));
        doubleClickCell(list, list.findRow(1, QStringLiteral("B-1")), 1);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(describe(msgs())));
        QCOMPARE(platform->shellDouble().openedFiles.size(), 1);
        QCOMPARE(readFile(platform->shellDouble().openedFiles.constFirst()), stored);
    }

    void temporaryFolderCannotBeMade()
    {
        openUpload();
        // A file holds the name of the folder's parent: the folder cannot be made, by root neither.
        const QString blocker = files->filePath(QStringLiteral("blocked"));
        QVERIFY(writeFile(blocker, "not a folder"));
        upload->setTempFolder(blocker + QStringLiteral("/temp"));
        FlexGrid& list = *control<FlexGrid>(*upload, QStringLiteral("MSFlexGrid1"));
        doubleClickCell(list, list.findRow(1, QStringLiteral("B-1")), 1);
        QCOMPARE(msgs().shown.size(), 2);
        QCOMPARE(msgs().shown.at(0).title, QStringLiteral("下载文件出错!"));
        QCOMPARE(msgs().shown.at(0).icon, MsgIcon::Critical);
        QVERIFY(!msgs().shown.at(0).text.isEmpty());
        QCOMPARE(msgs().shown.at(1).text, QStringLiteral("没有能够打开所选附件文件，可能您的电脑上没有安装相应的软件"));
        QVERIFY(platform->shellDouble().openedFiles.isEmpty());
        QCOMPARE(readFile(blocker), QByteArray("not a folder"));

        msgs().shown.clear();
        upload->setTempFolder(files->filePath(QStringLiteral("temp")));
        doubleClickCell(list, list.findRow(1, QStringLiteral("B-1")), 1);
        QVERIFY2(msgs().shown.isEmpty(), qPrintable(describe(msgs())));
        QCOMPARE(platform->shellDouble().openedFiles.size(), 1);
    }
};

QTEST_MAIN(DiskFaultsTest)
#include "test_faults_disk.moc"
