#include "ConcurrencyRun.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "db/Schema.h"
#include "db/TextCollation.h"
#include "library/BrowseDocuments.h"
#include "library/DocumentAccess.h"
#include "library/DocumentRights.h"
#include "library/UploadDocuments.h"
#include "permissions/DownloadGroups.h"
#include "permissions/UploadPermissions.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <vector>

namespace quarvel::concurrency {
namespace {

// The client's busy time-out: a write that finds the file held waits this long.
constexpr qint64 kClientBusyTimeoutMs = 30000;
// Scheduling slack of the time-out's own sleeps.
constexpr qint64 kBusySlackMs = 200;

constexpr int kFailuresKept = 5;

QString seedNumber(int index) { return QStringLiteral("DOC-%1").arg(index, 4, 10, QLatin1Char('0')); }

}  // namespace

QString employeeOf(int index) { return QStringLiteral("E%1").arg(index, 3, 10, QLatin1Char('0')); }
QString positionOf(int index) { return QStringLiteral("P%1").arg(index, 2, 10, QLatin1Char('0')); }
QString departmentOf(int index) { return QStringLiteral("D%1").arg(index, 2, 10, QLatin1Char('0')); }
QString typeCodeOf(int index) { return QStringLiteral("T%1").arg(index % kTypes + 1, 2, 10, QLatin1Char('0')); }

// --- reports ---

QString WorkerReport::toLine() const
{
    return QStringLiteral("REPORT ops=%1 ok=%2 taken=%3 busy=%4 early=%5 failed=%6 logged=%7 uploaded=%8 max=%9 "
                          "elapsed=%10")
        .arg(operations)
        .arg(succeeded)
        .arg(numberTaken)
        .arg(busyAfterWait)
        .arg(busyTooEarly)
        .arg(failed)
        .arg(logged)
        .arg(uploaded)
        .arg(maxWaitMs)
        .arg(elapsedMs);
}

bool WorkerReport::fromLine(const QString& line, WorkerReport* report)
{
    if (!line.startsWith(QLatin1String("REPORT ")))
        return false;
    WorkerReport r;
    const QStringList fields = line.mid(7).split(u' ', Qt::SkipEmptyParts);
    for (const QString& field : fields) {
        const qsizetype eq = field.indexOf(u'=');
        if (eq < 0)
            return false;
        const QString key = field.left(eq);
        bool ok = false;
        const qint64 value = field.mid(eq + 1).toLongLong(&ok);
        if (!ok)
            return false;
        if (key == QLatin1String("ops"))
            r.operations = int(value);
        else if (key == QLatin1String("ok"))
            r.succeeded = int(value);
        else if (key == QLatin1String("taken"))
            r.numberTaken = int(value);
        else if (key == QLatin1String("busy"))
            r.busyAfterWait = int(value);
        else if (key == QLatin1String("early"))
            r.busyTooEarly = int(value);
        else if (key == QLatin1String("failed"))
            r.failed = int(value);
        else if (key == QLatin1String("logged"))
            r.logged = int(value);
        else if (key == QLatin1String("uploaded"))
            r.uploaded = int(value);
        else if (key == QLatin1String("max"))
            r.maxWaitMs = value;
        else if (key == QLatin1String("elapsed"))
            r.elapsedMs = value;
    }
    *report = r;
    return true;
}

bool RunResult::sound() const
{
    return completed && busyTooEarly == 0 && failed == 0 && lostLogRows() == 0 && logRowsPerWorkerMismatch == 0
           && duplicateNumbers == 0 && documentRows == uploadedByWorkers;
}

QString RunResult::summary() const
{
    QString s;
    QTextStream out(&s);
    out << "journal " << journalMode << ": " << operations << " operations in " << elapsedMs << " ms ("
        << (elapsedMs > 0 ? operations * 1000 / elapsedMs : 0) << " per second), longest " << maxWaitMs << " ms\n";
    out << "  succeeded " << succeeded << ", number taken by another client " << numberTaken << ", busy after the "
        << "time-out " << busyAfterWait << ", busy before it " << busyTooEarly << ", other failures " << failed << "\n";
    out << "  access log: " << loggedByWorkers << " rows reported, " << logRows << " stored, lost " << lostLogRows()
        << ", workers whose rows differ " << logRowsPerWorkerMismatch << "\n";
    out << "  documents: " << uploadedByWorkers << " added, " << documentRows << " stored, duplicate numbers "
        << duplicateNumbers << "\n";
    if (!completed)
        out << "  NOT COMPLETED within the time limit\n";
    for (const QString& f : failures)
        out << "  failure: " << f << "\n";
    return s;
}

// --- the database ---

namespace {

class Seeder {
public:
    explicit Seeder(const QString& path, const QString& name = QStringLiteral("quarvel-concurrency-seed"))
    {
        m_name = name;
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(path);
        m_ok = m_db.open();
        if (!m_ok) {
            m_error = m_db.lastError().text();
            return;
        }
        const DbStatus collation = registerTextCollation(m_db);
        if (!collation.ok())
            fail(collation.error.description);
    }
    ~Seeder()
    {
        m_db.close();
        m_db = {};
        QSqlDatabase::removeDatabase(m_name);
    }

    bool ok() const { return m_ok; }
    const QString& error() const { return m_error; }
    QSqlDatabase& db() { return m_db; }

    bool exec(const QString& sql, const QVariantList& values = {})
    {
        if (!m_ok)
            return false;
        QSqlQuery q(m_db);
        if (!q.prepare(sql)) {
            fail(q.lastError().text() + QStringLiteral(": ") + sql);
            return false;
        }
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (!q.exec()) {
            fail(q.lastError().text() + QStringLiteral(": ") + sql);
            return false;
        }
        return true;
    }

    QVariant scalar(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(m_db);
        q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (!q.exec() || !q.next()) {
            fail(q.lastError().text() + QStringLiteral(": ") + sql);
            return {};
        }
        return q.value(0);
    }

private:
    void fail(const QString& why)
    {
        m_ok = false;
        if (m_error.isEmpty())
            m_error = why;
    }

    QString m_name;
    QSqlDatabase m_db;
    bool m_ok = false;
    QString m_error;
};

QString buildDatabase(const QString& path, const QString& journal)
{
    QFile::remove(path);
    Seeder s(path);
    if (!s.ok())
        return s.error();
    const DbStatus created = schema::create(s.db(), SqlEngine::Sqlite);
    if (!created.ok())
        return created.error.description;
    if (!journal.isEmpty())
        s.exec(QStringLiteral("PRAGMA journal_mode=%1").arg(journal));
    s.exec(QStringLiteral("BEGIN"));
    const QString at = QStringLiteral("2026-01-05 09:00:00");
    s.exec(QStringLiteral("insert into 资料类型 (编号, 名称, 上级编号, 级别) values ('T', '公司文件', null, 1)"));
    for (int t = 0; t < kTypes; ++t)
        s.exec(QStringLiteral("insert into 资料类型 (编号, 名称, 上级编号, 级别) values (?, ?, 'T', 2)"),
               {typeCodeOf(t), QStringLiteral("类型%1").arg(t + 1)});
    s.exec(QStringLiteral("insert into 资料下载组 (组ID, 组名称, 备注) values (?, '全体岗位', '')"),
           {QString::fromLatin1(kGroup)});
    for (int i = 0; i < kWorkerSlots; ++i) {
        s.exec(QStringLiteral(
                   "insert into 职能部门new (职能部门编号, 职能部门名称, 职能部门类别代号) values (?, ?, 'C1')"),
               {departmentOf(i), QStringLiteral("部门%1").arg(i)});
        s.exec(QStringLiteral("insert into 岗位信息new (岗位代号, 岗位名称, 职能部门代号, 岗位类别代号, 工号) "
                              "values (?, ?, ?, 'P1', ?)"),
               {positionOf(i), QStringLiteral("岗位%1").arg(i), departmentOf(i), employeeOf(i)});
        s.exec(QStringLiteral("insert into 员工档案 (工号, 姓名, 帐号密码) values (?, ?, '123')"),
               {employeeOf(i), QStringLiteral("员工%1").arg(i)});
        s.exec(QStringLiteral("insert into 岗位员工new (员工代号, 岗位代号, 主要岗位) values (?, ?, 1)"),
               {employeeOf(i), positionOf(i)});
        s.exec(QStringLiteral("insert into 资料下载组详细 (组id, 岗位代号, Czyid) values (?, ?, 'seed')"),
               {QString::fromLatin1(kGroup), positionOf(i)});
    }
    s.exec(QStringLiteral("insert into 职能部门类别 (部门类别代号, 部门类别名称) values ('C1', 'C1类')"));
    s.exec(QStringLiteral("insert into 岗位类别 (岗位类别编号, 岗位类别名称) values ('P1', 'P1类')"));
    const QByteArray content(3000, 'x');
    for (int d = 0; d < kSeedDocuments; ++d) {
        const int owner = d % kWorkerSlots;
        s.exec(QStringLiteral("insert into 公司文件信息 (编号, 文件类别, 文件名称, 摘要, 关键字, 文件级别, 上传人工号, "
                              "上传日期, 部门, 岗位, 文件下载, 附件后缀, 文件) "
                              "values (?, ?, ?, '摘要', '关键字', 1, ?, ?, ?, ?, 0, 'txt', ?)"),
               {seedNumber(d), typeCodeOf(d), QStringLiteral("文件%1").arg(d), employeeOf(owner), at,
                departmentOf(owner), positionOf(owner), content});
        for (int i = 0; i < kWorkerSlots; ++i)
            s.exec(QStringLiteral(
                       "insert into 资料下载权限 (文件编号, 部门编号, 部门名称, 岗位代号, 岗位名称, 下载, 查阅, "
                       "updatedate, CzyID) values (?, ?, ?, ?, ?, 1, 1, ?, 'seed')"),
                   {seedNumber(d), departmentOf(i), QStringLiteral("部门%1").arg(i), positionOf(i),
                    QStringLiteral("岗位%1").arg(i), at});
    }
    s.exec(QStringLiteral("COMMIT"));
    return s.ok() ? QString() : s.error();
}

}  // namespace

RunResult run(const RunOptions& options)
{
    RunResult result;
    QDir().mkpath(options.folder);
    const QString path = QDir(options.folder).filePath(QStringLiteral("concurrency.db"));
    const QString built = buildDatabase(path, options.journal);
    if (!built.isEmpty()) {
        result.failures << QStringLiteral("building the database: ") + built;
        return result;
    }

    // The client turns a write-ahead-log file back to the rollback journal when it is the file's
    // only user; to measure the write-ahead log, another connection keeps it open meanwhile.
    std::unique_ptr<Seeder> keeper;
    if (options.journal.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0) {
        keeper = std::make_unique<Seeder>(path, QStringLiteral("quarvel-concurrency-keeper"));
        keeper->scalar(QStringLiteral("select count(*) from 资料类型"));
    }

    const int workers = std::clamp(options.workers, 1, kWorkerSlots);
    std::vector<std::unique_ptr<QProcess>> processes;
    QElapsedTimer clock;
    clock.start();
    for (int w = 0; w < workers; ++w) {
        const int share = options.operations / workers + (w < options.operations % workers ? 1 : 0);
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->start(QStringLiteral(QUARVEL_CONCURRENCY_WORKER),
                 {path, QString::number(w), QString::number(share), QString::number(options.seed * 1000 + w),
                  options.folder});
        processes.push_back(std::move(p));
    }
    result.completed = true;
    for (int w = 0; w < workers; ++w) {
        QProcess& p = *processes[w];
        const qint64 left = std::max<qint64>(1000, options.timeLimitSeconds * 1000LL - clock.elapsed());
        if (!p.waitForFinished(int(left))) {
            result.completed = false;
            p.kill();
            p.waitForFinished(5000);
            result.failures << QStringLiteral("worker %1 did not finish in time").arg(w);
            continue;
        }
        const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        const QString errors = QString::fromUtf8(p.readAllStandardError()).trimmed();
        WorkerReport report;
        if (lines.isEmpty() || !WorkerReport::fromLine(lines.constLast(), &report) || p.exitCode() != 0) {
            result.completed = false;
            result.failures << QStringLiteral("worker %1 ended without a report (exit %2): %3")
                                   .arg(w)
                                   .arg(p.exitCode())
                                   .arg(errors.left(500));
            continue;
        }
        for (const QString& line : lines) {
            if (line.startsWith(QLatin1String("FAILURE ")) && result.failures.size() < 20)
                result.failures << QStringLiteral("worker %1: ").arg(w) + line.mid(8);
        }
        result.operations += report.operations;
        result.succeeded += report.succeeded;
        result.numberTaken += report.numberTaken;
        result.busyAfterWait += report.busyAfterWait;
        result.busyTooEarly += report.busyTooEarly;
        result.failed += report.failed;
        result.loggedByWorkers += report.logged;
        result.uploadedByWorkers += report.uploaded;
        result.maxWaitMs = std::max(result.maxWaitMs, report.maxWaitMs);

        Seeder check(path);
        const int own =
            check.scalar(QStringLiteral("select count(*) from 资料下载记录 where 工号 = ?"), {employeeOf(w)}).toInt();
        if (own != report.logged) {
            ++result.logRowsPerWorkerMismatch;
            result.failures << QStringLiteral("worker %1 was told of %2 log rows, %3 are stored")
                                   .arg(w)
                                   .arg(report.logged)
                                   .arg(own);
        }
    }
    result.elapsedMs = clock.elapsed();
    keeper.reset();

    Seeder check(path);
    if (!check.ok()) {
        result.completed = false;
        result.failures << check.error();
        return result;
    }
    result.journalMode = check.scalar(QStringLiteral("PRAGMA journal_mode")).toString();
    result.logRows = check.scalar(QStringLiteral("select count(*) from 资料下载记录")).toInt();
    result.documentRows = check.scalar(QStringLiteral("select count(*) from 公司文件信息")).toInt() - kSeedDocuments;
    result.duplicateNumbers =
        check
            .scalar(QStringLiteral("select count(*) from (select 编号 from 公司文件信息 group by 编号 "
                                   "having count(*) > 1)"))
            .toInt();
    const QString integrity = check.scalar(QStringLiteral("PRAGMA integrity_check")).toString();
    if (integrity != QLatin1String("ok")) {
        result.completed = false;
        result.failures << QStringLiteral("integrity check: ") + integrity;
    }
    return result;
}

// --- the worker ---

namespace {

class Worker {
public:
    Worker(int index, int operations, quint32 seed, const QString& folder)
        : m_index(index), m_operations(operations), m_random(seed), m_folder(folder)
    {
        m_context = {employeeOf(index), departmentOf(index), positionOf(index)};
        for (int d = 0; d < kSeedDocuments; ++d)
            m_numbers << seedNumber(d);
        m_uploadFile = QDir(folder).filePath(QStringLiteral("w%1-upload.txt").arg(index));
        m_downloadFile = QDir(folder).filePath(QStringLiteral("w%1-download.txt").arg(index));
        QFile f(m_uploadFile);
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(int(1024 + m_random.bounded(16 * 1024)), char('a' + index % 26)));
    }

    WorkerReport run()
    {
        QElapsedTimer total;
        total.start();
        for (int i = 0; i < m_operations; ++i) {
            QElapsedTimer one;
            one.start();
            const DbError error = operation(i);
            const qint64 took = one.elapsed();
            m_report.maxWaitMs = std::max(m_report.maxWaitMs, took);
            ++m_report.operations;
            if (!error.isSet()) {
                ++m_report.succeeded;
            } else if (error.description.startsWith(databaseBusyText())) {
                if (took >= kClientBusyTimeoutMs - kBusySlackMs)
                    ++m_report.busyAfterWait;
                else {
                    ++m_report.busyTooEarly;
                    note(QStringLiteral("busy after %1 ms: %2").arg(took).arg(error.description));
                }
            } else {
                ++m_report.failed;
                note(QStringLiteral("%1 %2").arg(error.number).arg(error.description));
            }
        }
        m_report.elapsedMs = total.elapsed();
        return m_report;
    }

private:
    void note(const QString& text)
    {
        if (m_noted++ < kFailuresKept)
            QTextStream(stdout) << "FAILURE " << QString(text).replace(u'\n', u' ') << "\n";
    }

    QString anyNumber() { return m_numbers.at(int(m_random.bounded(quint32(m_numbers.size())))); }
    int otherSlot() { return int(m_random.bounded(quint32(kWorkerSlots))); }

    QDateTime now()
    {
        const DbResult<QDateTime> t = serverDate();
        return t.value;
    }

    DbError operation(int i)
    {
        const quint32 r = m_random.bounded(100u);
        if (r < 15)
            return upload(i);
        if (r < 25)
            return grant();
        if (r < 30)
            return grantGroup();
        if (r < 40)
            return changeUploadPermissions();
        if (r < 45)
            return changeGroupMember();
        if (r < 75)
            return readOrDownload(AccessKind::Read);
        if (r < 90)
            return readOrDownload(AccessKind::Download);
        return UploadDocuments::recent(m_context).error;
    }

    DbError upload(int i)
    {
        // A share of the numbers is common to every worker: of two clients adding the same
        // number, one must be told that it is taken.
        const bool shared = m_random.bounded(100u) < 30;
        const QString number =
            shared ? QStringLiteral("S-%1").arg(m_random.bounded(quint32(std::max(4, m_operations / 10))))
                   : QStringLiteral("W%1-%2").arg(m_index).arg(i);
        DocumentInput input;
        input.number = number;
        input.name = QStringLiteral("并发文件%1").arg(number);
        input.summary = QStringLiteral("摘要");
        input.keywords = QStringLiteral("并发");
        const QString type = typeCodeOf(int(m_random.bounded(quint32(kTypes))));
        input.typeText = type + QStringLiteral(" 类型");
        input.levelText = QStringLiteral("1");
        input.filePath = m_uploadFile;
        const DbResult<qint64> added = UploadDocuments::insert(input, m_context, now());
        if (isDocumentNumberTaken(added.error)) {
            ++m_report.numberTaken;
            return {};
        }
        if (!added.ok())
            return added.error;
        ++m_report.uploaded;
        m_numbers << number;
        // The uploader lets his own position read it.
        return DocumentRights::grant(number, m_context.deptCode, QStringLiteral("部门"), m_context.positionCode,
                                     QStringLiteral("岗位"), now(), m_context.employeeNo)
            .error;
    }

    DbError grant()
    {
        const int slot = otherSlot();
        const ChosenPosition chosen = ChosenPosition::parse(
            departmentOf(slot) + QStringLiteral(" 部门%1").arg(slot),
            positionOf(slot) + QStringLiteral(" 岗位%1[员工%1]").arg(slot));
        const PlaceOutcome placed = DocumentRights::place(anyNumber(), std::nullopt, chosen, now(),
                                                          m_context.employeeNo);
        if (placed.kind == PlaceOutcome::Failed)
            return placed.error;
        return {};
    }

    DbError grantGroup()
    {
        return DocumentRights::grantGroup(anyNumber(), QString::fromLatin1(kGroup), now(), m_context.employeeNo).error;
    }

    DbError changeUploadPermissions()
    {
        QStringList types;
        for (int t = 0; t < kTypes; ++t) {
            if (m_random.bounded(2u))
                types << typeCodeOf(t);
        }
        if (types.isEmpty())
            types << typeCodeOf(0);
        return UploadPermissions::replace(positionOf(otherSlot()), types, {m_context.employeeNo, now()}).error;
    }

    DbError changeGroupMember()
    {
        const ShownGroup group{GroupEditMode::Edit, QString::fromLatin1(kGroup), true};
        const int slot = otherSlot();
        GroupResult result;
        if (m_random.bounded(2u)) {
            PositionNode node{QStringLiteral("G") + positionOf(slot), QStringLiteral("岗位%1 员工%1").arg(slot), 2};
            result = DownloadGroups::addMember(group, node, m_context.employeeNo);
        } else {
            result = DownloadGroups::removeMember(group, QStringLiteral("G") + positionOf(slot));
        }
        return result.outcome == GroupOutcome::Failed ? result.error : DbError{};
    }

    DbError readOrDownload(AccessKind kind)
    {
        const DbResult<QVector<BrowseRow>> listed = BrowseDocuments::recent(m_context.positionCode);
        if (!listed.ok())
            return listed.error;
        if (listed.value.isEmpty())
            return {};
        const BrowseRow& row = listed.value.at(int(m_random.bounded(quint32(listed.value.size()))));
        if (kind == AccessKind::Read) {
            const DbResult<std::optional<AccessDocument>> doc = DocumentAccess::document(row.id);
            if (!doc.ok())
                return doc.error;
        } else {
            const DbStatus saved = DocumentAccess::download(row.id, m_downloadFile);
            if (!saved.ok())
                return saved.error;
        }
        const DbStatus logged = DocumentAccess::log({row.number, row.typeText(), row.name, row.summary},
                                                    {m_context.employeeNo, m_context.deptCode, m_context.positionCode},
                                                    kind);
        if (logged.ok())
            ++m_report.logged;
        return logged.error;
    }

    int m_index;
    int m_operations;
    QRandomGenerator m_random;
    QString m_folder;
    UploaderContext m_context;
    QStringList m_numbers;
    QString m_uploadFile, m_downloadFile;
    WorkerReport m_report;
    int m_noted = 0;
};

}  // namespace

int workerMain(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 6) {
        QTextStream(stderr) << "usage: concurrency_worker DATABASE INDEX OPERATIONS SEED FOLDER\n";
        return 2;
    }
    const DbStatus opened = OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + args.at(1));
    if (!opened.ok()) {
        QTextStream(stderr) << "cannot open the database: " << opened.error.description << "\n";
        return 1;
    }
    Worker worker(args.at(2).toInt(), args.at(3).toInt(), args.at(4).toUInt(), args.at(5));
    const WorkerReport report = worker.run();
    SharedConnection::release();
    QTextStream(stdout) << report.toLine() << "\n";
    return 0;
}

}  // namespace quarvel::concurrency
