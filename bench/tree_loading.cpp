// Where the time of a type tree load goes, step by step, each beside the engine's floor for the
// load statement:
//
//   tree_loading [TYPES DEPARTMENTS] [--database PATH] [--runs N] [--cpu]
//
// Without --database it builds a demo database of that size (30,000 types and 10,000
// departments by default). The steps: the statement stepped through Qt SQL alone, the node
// list, the model filled without a view, the whole load into a shown tree (with the view's
// layout and paint), each window's marking pass, the department tree and a check propagated
// from every top-level type. Every figure is the median of --runs (at least 7) interleaved pairs
// of the step and the floor, with its range and the median of the per-pair ratios.
#include "db/Connection.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "demodb/DemoData.h"
#include "directory/DepartmentDirectory.h"
#include "directory/DepartmentTree.h"
#include "doctypes/TypeTree.h"
#include "doctypes/TypeTreeView.h"
#include "widgets/tree/KeyedTree.h"

#include "support/DemoBuild.h"
#include "support/EngineFloor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace quarvel;

namespace {

int g_runs = bench::kMinPairs;
bool g_cpu = false;

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// One timing: wall-clock time, or with --cpu the thread's processor time, which a machine shared
// with other work disturbs less.
double timeOf(const std::function<void()>& work)
{
    if (g_cpu) {
        const double start = threadCpuMs();
        work();
        return threadCpuMs() - start;
    }
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The step in interleaved pairs with its floor (alone without one).
bench::Pairs pairs(const std::function<void()>& step, const std::function<void()>& floor = {})
{
    std::function<double()> timedFloor;
    if (floor)
        timedFloor = [&floor] { return timeOf(floor); };
    return bench::timedPairs(
        g_runs, [&step] { return timeOf(step); }, timedFloor);
}

void row(const char* what, const bench::Pairs& p, long long count)
{
    bench::printRow(QString::fromUtf8(what), p, count, QString());
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString path;
    QList<int> sizes;
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QStringLiteral("--database") && i + 1 < args.size())
            path = args.at(++i);
        else if (args.at(i) == QStringLiteral("--cpu"))
            g_cpu = true;
        else if (args.at(i) == QStringLiteral("--runs") && i + 1 < args.size())
            g_runs = std::max(bench::kMinPairs, args.at(++i).toInt());
        else
            sizes << args.at(i).toInt();
    }

    QTemporaryDir dir;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("bench.db"));
        demo::DemoSizes demoSizes;
        demoSizes.types = sizes.value(0, 30000);
        demoSizes.departments = sizes.value(1, 10000);
        demoSizes.logRows = 0;
        if (!bench::buildDemo(path, demoSizes))
            return 1;
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok()) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    bench::EngineFloor engine(path, true);
    if (!engine.isOpen())
        return 1;
    std::printf("type tree load, step by step, medians of %d interleaved pairs (%s), %s\n", g_runs,
                g_cpu ? "processor time" : "wall-clock time", qPrintable(path));

    const QString load = TypeTree::loadStatement();
    const auto floor = [&] { engine.readAll(load); };
    row("engine floor of the load statement", pairs(floor), 0);

    long long rows = 0;
    const bench::Pairs qtSql = pairs(
        [&] {
            QSqlQuery q(SharedConnection::database());
            q.setForwardOnly(true);
            q.exec(dialect::translate(load, SharedConnection::engine()));
            rows = 0;
            while (q.next()) {
                for (int c = 0; c < 6; ++c)
                    q.value(c);
                ++rows;
            }
        },
        floor);
    row("the statement stepped through Qt SQL alone", qtSql, rows);

    TypeTreeNodes nodes;
    const bench::Pairs list = pairs([&] { nodes = TypeTree::load(TypeTreeVariant::Browse).value; }, floor);
    row("the node list (TypeTree::load)", list, nodes.nodes.size());

    KeyedTreeModel model;
    const bench::Pairs fill = pairs(
        [&] {
            model.clear();
            model.load(nodes.nodes);
        },
        floor);
    row("the model filled from the list, no view", fill, model.count());

    const auto shown = [](KeyedTree& tree, TypeTreeVariant variant) {
        tree.setImageList(typeTreeIcons(variant));
        tree.resize(400, 600);
        tree.show();
    };
    {
        KeyedTree tree;
        shown(tree, TypeTreeVariant::Browse);
        const bench::Pairs whole = pairs(
            [&] {
                LoadTypeTree(tree, TypeTreeVariant::Browse);
                QCoreApplication::processEvents();
            },
            floor);
        row("browse window: load into a shown tree, painted", whole, tree.count());
        const bench::Pairs paint = pairs([&] { tree.view()->viewport()->repaint(); }, floor);
        row("  one paint of the view", paint, tree.count());
    }
    {
        KeyedTree tree;
        shown(tree, TypeTreeVariant::Settings);
        LoadTypeTree(tree, TypeTreeVariant::Settings);
        TypeMarks marks;
        const bench::Pairs read = pairs([&] { marks = TypeTree::marks(TypeTreeVariant::Settings).value; }, floor);
        row("settings window: the marks read", read, marks.permittedCodes.size() + marks.voidedCodes.size());
        const bench::Pairs marking = pairs(
            [&] {
                LoadTypeTree(tree, TypeTreeVariant::Settings);
                QCoreApplication::processEvents();
            },
            floor);
        row("settings window: load, painted", marking, tree.count());
        const bench::Pairs marked = pairs(
            [&] {
                markTypeSettings(tree, marks);
                QCoreApplication::processEvents();
            },
            floor);
        row("settings window: the marking pass, painted", marked, tree.count());
    }
    {
        KeyedTree tree;
        shown(tree, TypeTreeVariant::UploadPermission);
        LoadTypeTree(tree, TypeTreeVariant::UploadPermission);
        const QStringList voided = TypeTree::voidedCodes().value;
        const bench::Pairs marked = pairs(
            [&] {
                markLeavesAndVoided(tree, voided);
                QCoreApplication::processEvents();
            },
            floor);
        row("upload permissions: the marking pass, painted", marked, tree.count());
    }
    {
        KeyedTree departments;
        departments.resize(400, 600);
        departments.show();
        QVector<DepartmentEntry> entries;
        const QString departmentStatement = DepartmentDirectory::departmentStatement();
        const bench::Pairs client = pairs(
            [&] {
                departments.clear();
                LoadDepartmentTree(departments, entries);
                QCoreApplication::processEvents();
            },
            [&] { engine.readAll(departmentStatement); });
        row("department tree", client, departments.count());
    }
    {
        KeyedTree browse;
        browse.setCheckBoxes(true);
        shown(browse, TypeTreeVariant::Browse);
        LoadTypeTree(browse, TypeTreeVariant::Browse);
        const QStringList tops = browse.childKeys(QString());
        const bench::Pairs propagated = bench::timedPairs(g_runs, [&] {
            for (const QString& top : tops) {
                browse.setChecked(top, false);
                子节点联动(browse, top);
            }
            QCoreApplication::processEvents();
            return timeOf([&] {
                for (const QString& top : tops) {
                    browse.setChecked(top, true);
                    子节点联动(browse, top);
                }
                QCoreApplication::processEvents();
            });
        });
        row("check propagated from every top-level type", propagated, browse.checkedKeys().size());
    }
    SharedConnection::release();
    return 0;
}
