// Times the landed windows' work on a large demo database beside the engine's floor for the same
// work in the same run, and prints the ratio.
//
//   engine_bound DATABASE [--runs N] [--content-size SIZE[K|M|G]] [--content-runs N] [--folder DIR]
//
// DATABASE is a demo database (quarvel-demodb). The floor of a statement is the same statement
// with the same bound values through libsqlite3 on the same file, every row stepped and every
// column read as text. The floor of storing or writing back a document is a copy of the same
// file (read and written in pieces of 1 MiB, as cp does) followed by fsync. Every figure is the
// median of --runs interleaved client/floor pairs (at least 7) with its range and the median of
// the per-pair ratios; the contents also print the peak resident memory of the process.

#include "db/Connection.h"
#include "db/Query.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/TextCollation.h"
#include "directory/DepartmentDirectory.h"
#include "directory/DepartmentTree.h"
#include "doctypes/TypeTree.h"
#include "doctypes/TypeTreeView.h"
#include "library/UploadDocuments.h"
#include "shared/ContentTransfer.h"
#include "widgets/tree/KeyedTree.h"

#include "support/EngineFloor.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeView>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace quarvel;

namespace {

int g_runs = bench::kMinPairs;

bench::Pairs pairs(const std::function<void()>& client, const std::function<void()>& floor = {})
{
    return bench::pairs(g_runs, client, floor);
}

void heading(const char* text) { bench::printHeading(QString::fromUtf8(text)); }

void row(const char* name, const bench::Pairs& p, long long count, const char* goal)
{
    bench::printRow(QString::fromUtf8(name), p, count, QString::fromUtf8(goal));
}

using bench::peakMiB;

QString recentStatement()
{
    for (const auto& [name, sql] : UploadDocuments::statements()) {
        if (name == QStringLiteral("newest documents of a position"))
            return sql;
    }
    return {};
}

// The upload window: its opening list and its query with each filter.
void uploadWindow(bench::EngineFloor& db)
{
    heading("upload window (the position with the most documents)");
    UploaderContext who;
    QString type;
    QDate from;
    QDate to;
    {
        Query busiest(QStringLiteral("select top 1 部门, 岗位, count(*) as n from 公司文件信息 group by 部门, 岗位"
                                     " order by count(*) desc"));
        if (!busiest.exec() || !busiest.next())
            return;
        who = UploaderContext{QStringLiteral("0001"), busiest.text(u"部门"), busiest.text(u"岗位")};
        Query common(QStringLiteral("select top 1 文件类别, count(*) as n from 公司文件信息 where 部门 = ? and 岗位 = ?"
                                    " group by 文件类别 order by count(*) desc"));
        common.bind({who.deptCode, who.positionCode});
        if (common.exec() && common.next())
            type = common.text(u"文件类别");
        // A date range that holds about an eighth of the position's documents.
        Query dates(
            QStringLiteral("select 上传日期 from 公司文件信息 where 部门 = ? and 岗位 = ? order by 上传日期 desc"));
        dates.bind({who.deptCode, who.positionCode});
        QList<QDate> all;
        if (dates.exec()) {
            while (dates.next())
                all.append(dates.dateTime(u"上传日期").date());
        }
        if (!all.isEmpty()) {
            to = all.first();
            from = all.at(all.size() / 8);
        }
    }
    const QVariantList position{who.deptCode, who.positionCode};

    long long n = 0;
    const QString recent = recentStatement();
    // The pairs first: the count is known only once they ran.
    const bench::Pairs opening = pairs([&] { n = UploadDocuments::recent(who).value.size(); },
                                       [&] { db.readAll(recent, QVariantList{50} + position); });
    row("opening list (50 newest)", opening, n, "<= 2 ms");

    const auto query = [&](const char* name, const ListFilter& filter, const QVariantList& extra, const char* goal) {
        long long rows = 0;
        const QString sql = UploadDocuments::queryStatement(filter);
        const bench::Pairs p = pairs([&] { rows = UploadDocuments::query(who, filter).value.size(); },
                                     [&] { db.readAll(sql, position + extra); });
        row(name, p, rows, goal);
    };
    query("query, no filter", ListFilter{}, {}, "<= 1.3x");
    ListFilter byName;
    byName.name = QStringLiteral("报告");
    query("query by name \"报告\"", byName, {QStringLiteral("%报告%")}, "<= 1.3x");
    ListFilter byDate;
    byDate.from = from;
    byDate.to = to;
    query("query by date", byDate, {from, to.addDays(1)}, "<= 1.3x");
    ListFilter byType;
    byType.typeCode = type;
    query("query by type", byType, {type}, "<= 1.3x");
}

// The type tree as each window loads and marks it, and the department tree.
void trees(bench::EngineFloor& db)
{
    heading("trees");
    QString position;
    {
        Query q(QStringLiteral(
            "select top 1 岗位代号, count(*) as n from 资料上传权限 group by 岗位代号 order by count(*) desc"));
        if (q.exec() && q.next())
            position = q.text(u"岗位代号");
    }
    struct Variant {
        const char* name;
        TypeTreeVariant variant;
        std::function<void(KeyedTree&)> mark;
        QVector<QPair<QString, QVariantList>> floor;
    };
    const QString load = TypeTree::loadStatement();
    const QString voided = TypeTree::voidedCodesStatement();
    const QVector<Variant> variants = {
        {"type tree, settings window (load, marks, marking)",
         TypeTreeVariant::Settings,
         [](KeyedTree& t) { markTypeSettings(t, TypeTree::marks(TypeTreeVariant::Settings).value); },
         {{load, {}}, {TypeTree::permittedCodesStatement(), {}}, {voided, {}}}},
        {"type tree, upload window (load, marks, marking)",
         TypeTreeVariant::Upload,
         [position](KeyedTree& t) { markUploadTypes(t, TypeTree::marks(TypeTreeVariant::Upload, position).value); },
         {{load, {}}, {TypeTree::positionPermittedCodesStatement(), {position}}, {voided, {}}}},
        {"type tree, upload permissions (load, marking)",
         TypeTreeVariant::UploadPermission,
         [](KeyedTree& t) { markLeavesAndVoided(t, TypeTree::voidedCodes().value); },
         {{load, {}}, {voided, {}}}},
        {"type tree, browse window", TypeTreeVariant::Browse, {}, {{load, {}}}},
        {"type tree, statistics window", TypeTreeVariant::Statistics, {}, {{load, {}}}},
    };
    for (const Variant& v : variants) {
        KeyedTree tree;
        tree.setImageList(typeTreeIcons(v.variant));
        tree.resize(400, 600);
        tree.show();
        // As the windows load them: the marking in the same update as the load.
        const bench::Pairs p = pairs(
            [&] {
                if (v.mark)
                    LoadAndMarkTypeTree(tree, v.variant, [&] {
                        v.mark(tree);
                        return DbError{};
                    });
                else
                    LoadTypeTree(tree, v.variant);
                QCoreApplication::processEvents();
            },
            [&] {
                for (const auto& [sql, values] : v.floor)
                    db.readAll(sql, values);
            });
        row(v.name, p, tree.count(), "<= 2x");
    }

    // The share of the statement and the node list in the browse window's load.
    {
        long long nodes = 0;
        const bench::Pairs p = pairs([&] { nodes = TypeTree::load(TypeTreeVariant::Browse).value.nodes.size(); },
                                     [&] { db.readAll(load); });
        row("  of which the type rows and the node list", p, nodes, "");
    }

    KeyedTree departments;
    departments.resize(400, 600);
    departments.show();
    QVector<DepartmentEntry> entries;
    const QString departmentStatement = DepartmentDirectory::departmentStatement();
    const bench::Pairs p = pairs(
        [&] {
            LoadDepartmentTree(departments, entries);
            QCoreApplication::processEvents();
        },
        [&] { db.readAll(departmentStatement); });
    row("department tree", p, departments.count(), "<= 2x");

    // Ticks as the user makes them (a check box clicked in the browse window's tree).
    KeyedTree browse;
    browse.setCheckBoxes(true);
    browse.resize(400, 600);
    browse.show();
    LoadTypeTree(browse, TypeTreeVariant::Browse);
    browse.setAllExpanded(true);
    QObject::connect(&browse, &KeyedTree::nodeChecked, &browse,
                     [&browse](const QString& key) { 子节点联动(browse, key); });
    QCoreApplication::processEvents();
    QString largest;
    QString small;
    qsizetype largestSize = -1;
    for (int i = 1; i <= browse.count(); ++i) {
        const QString key = browse.keyAt(i);
        if (browse.parentKey(key).isEmpty()) {
            const qsizetype size = browse.descendants(key).size();
            if (size > largestSize) {
                largestSize = size;
                largest = key;
            }
        }
        if (small.isEmpty() && browse.descendants(key).size() == 8)
            small = key;
    }
    const auto tick = [&browse](const QString& key) {
        KeyedTreeModel* model = browse.model();
        const QModelIndex index = model->indexForKey(key);
        const bool on = !browse.checked(key);
        model->setData(index, on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
        QCoreApplication::processEvents();
    };
    browse.view()->scrollTo(browse.model()->indexForKey(largest), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    row("tick at the largest top-level type", pairs([&] { tick(largest); }), largestSize + 1, "follows the branch");
    if (!small.isEmpty()) {
        // In sight, so that each tick also repaints the branch.
        browse.view()->scrollTo(browse.model()->indexForKey(small), QAbstractItemView::PositionAtTop);
        QCoreApplication::processEvents();
        row("tick on an 8-node branch", pairs([&] { tick(small); }), 9, "<= 1 ms");
    }
}

// Storing a document of `size` bytes and writing it back, beside cp + fsync of the same file.
bool contents(const QString& folder, qint64 size, int runs)
{
    heading("contents");
    QTemporaryDir dir(folder + QStringLiteral("/quarvel-bench-XXXXXX"));
    if (!dir.isValid())
        return false;
    const QString dbPath = dir.filePath(QStringLiteral("contents.db"));
    {
        QSqlDatabase setup = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("contents"));
        setup.setDatabaseName(dbPath);
        const bool made = setup.open() && schema::create(setup, SqlEngine::Sqlite).ok();
        setup.close();
        if (!made)
            return false;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("contents"));
    const QString main = SharedConnection::database().databaseName();
    SharedConnection::release();
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + dbPath).ok())
        return false;

    const QString source = dir.filePath(QStringLiteral("source.bin"));
    const QString copy = dir.filePath(QStringLiteral("copy.bin"));
    const QString target = dir.filePath(QStringLiteral("target.bin"));
    if (!bench::makeSource(source, size))
        return false;
    const DocumentContent content;
    const double before = peakMiB();
    // Each run stores into a new row, as an upload does; the row of the run before is deleted
    // first (untimed), so that from the second run on the value reuses the pages it freed.
    qint64 id = 0;
    const auto newRow = [&id] {
        if (id != 0)
            execute(QStringLiteral("delete from 公司文件信息 where ID = ?"), {id});
        execute(QStringLiteral("insert into 公司文件信息 (编号, 文件名称, 附件后缀) values ('B-1', '基准', 'bin')"));
        Query q(QStringLiteral("select max(ID) as id from 公司文件信息"));
        id = q.exec() && q.next() ? q.longInteger(u"id") : 0;
    };
    const auto copyMs = [&] { return bench::copyAndSyncMs(source, copy); };
    const bench::Pairs store = bench::timedPairs(
        runs,
        [&] {
            newRow();
            QElapsedTimer timer;
            timer.start();
            return content.storeFile(id, source).ok() ? double(timer.nsecsElapsed()) / 1e6 : -1.0;
        },
        copyMs);
    const double storePeak = peakMiB();
    const bench::Pairs back = bench::pairs(
        runs, [&] { content.writeToFile(id, target); }, copyMs);
    const double backPeak = peakMiB();
    if (store.count == 0)
        return false;
    const long long mib = size >> 20;
    std::printf("  %lld MiB; the floor is cp + fsync of the same file\n", mib);
    bench::printRow(QStringLiteral("storing a document"), store, 1, QStringLiteral("ratio <= 1.43 (cp's share >= 0.7)"),
                    "cp+fsync");
    std::printf("  %-44s peak %.1f MiB (%.1f before)\n", "", storePeak, before);
    bench::printRow(QStringLiteral("writing it back"), back, 1, QStringLiteral("ratio <= 1.43 (cp's share >= 0.7)"),
                    "cp+fsync");
    std::printf("  %-44s peak %.1f MiB\n", "", backPeak);
    SharedConnection::release();
    return OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + main).ok();
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString path;
    QString folder = QDir::tempPath();
    qint64 contentSize = qint64(64) << 20;
    int contentRuns = 3;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QStringLiteral("--runs") && i + 1 < args.size())
            g_runs = std::max(bench::kMinPairs, args.at(++i).toInt());
        else if (a == QStringLiteral("--content-size") && i + 1 < args.size())
            contentSize = bench::parseSize(args.at(++i));
        else if (a == QStringLiteral("--content-runs") && i + 1 < args.size())
            contentRuns = std::max(1, args.at(++i).toInt());
        else if (a == QStringLiteral("--folder") && i + 1 < args.size())
            folder = args.at(++i);
        else
            path = a;
    }
    if (path.isEmpty() || contentSize <= 0) {
        std::fprintf(stderr, "usage: engine_bound DATABASE [--runs N] [--content-size SIZE[K|M|G]] "
                             "[--content-runs N] [--folder DIR]\n");
        return 2;
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    auto db = std::make_unique<bench::EngineFloor>(path);
    if (!db->isOpen())
        return 1;
    std::printf("engine-bound figures, medians of %d interleaved pairs (contents: %d), %s\n", g_runs,
                std::max(bench::kMinPairs, contentRuns), qPrintable(path));
    uploadWindow(*db);
    trees(*db);
    db.reset();
    if (!contents(folder, contentSize, contentRuns)) {
        std::fprintf(stderr, "the contents could not be measured in %s\n", qPrintable(folder));
        return 1;
    }
    SharedConnection::release();
    return 0;
}
