// Where the time of a type tree load goes, step by step, each beside the engine's floor for the
// load statement:
//
//   tree_loading [TYPES DEPARTMENTS] [--database PATH] [--runs N] [--cpu]
//
// Without --database it builds a demo database of that size (30,000 types and 10,000
// departments by default). The steps: the statement stepped through Qt SQL alone, the node
// list, the model filled without a view, the whole load into a shown tree (with the view's
// layout and paint), each window's marking pass, the department tree and a check propagated
// from every top-level type. Every figure is the median of the runs.
#include "db/Connection.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "demodb/DemoData.h"
#include "directory/DepartmentDirectory.h"
#include "directory/DepartmentTree.h"
#include "doctypes/TypeTree.h"
#include "doctypes/TypeTreeView.h"
#include "widgets/tree/KeyedTree.h"

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

int g_runs = 5;
bool g_cpu = false;

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The median of the runs: wall-clock time, or with --cpu the thread's processor time, which a
// machine shared with other work disturbs less.
double median(const std::function<void()>& work)
{
    if (!g_cpu)
        return median(work);
    std::vector<double> times;
    for (int i = 0; i < g_runs; ++i) {
        const double start = threadCpuMs();
        work();
        times.push_back(threadCpuMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void row(const char* what, double ms, double floorMs, long long count)
{
    bench::printRow(QString::fromUtf8(what), ms, floorMs, count, QString());
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
            g_runs = std::max(1, args.at(++i).toInt());
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
        QString error;
        if (!demo::build(path, demoSizes, &error)) {
            std::fprintf(stderr, "demo database: %s\n", qPrintable(error));
            return 1;
        }
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok()) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    bench::EngineFloor engine(path, true);
    if (!engine.isOpen())
        return 1;
    std::printf("type tree load, step by step, median of %d runs (%s), %s\n", g_runs,
                g_cpu ? "processor time" : "wall-clock time", qPrintable(path));

    const QString load = TypeTree::loadStatement();
    const double floor = median([&] { engine.readAll(load); });
    row("engine floor of the load statement", floor, floor, 0);

    long long rows = 0;
    const double qtSql = median([&] {
        QSqlQuery q(SharedConnection::database());
        q.setForwardOnly(true);
        q.exec(dialect::translate(load, SharedConnection::engine()));
        rows = 0;
        while (q.next()) {
            for (int c = 0; c < 6; ++c)
                q.value(c);
            ++rows;
        }
    });
    row("the statement stepped through Qt SQL alone", qtSql, floor, rows);

    TypeTreeNodes nodes;
    const double list = median([&] { nodes = TypeTree::load(TypeTreeVariant::Browse).value; });
    row("the node list (TypeTree::load)", list, floor, nodes.nodes.size());

    KeyedTreeModel model;
    const double fill = median([&] {
        model.clear();
        model.load(nodes.nodes);
    });
    row("the model filled from the list, no view", fill, floor, model.count());

    const auto shown = [](KeyedTree& tree, TypeTreeVariant variant) {
        tree.setImageList(typeTreeIcons(variant));
        tree.resize(400, 600);
        tree.show();
    };
    {
        KeyedTree tree;
        shown(tree, TypeTreeVariant::Browse);
        const double whole = median([&] {
            LoadTypeTree(tree, TypeTreeVariant::Browse);
            QCoreApplication::processEvents();
        });
        row("browse window: load into a shown tree, painted", whole, floor, tree.count());
        const double paint = median([&] { tree.view()->viewport()->repaint(); });
        row("  one paint of the view", paint, floor, tree.count());
    }
    {
        KeyedTree tree;
        shown(tree, TypeTreeVariant::Settings);
        LoadTypeTree(tree, TypeTreeVariant::Settings);
        TypeMarks marks;
        const double read = median([&] { marks = TypeTree::marks(TypeTreeVariant::Settings).value; });
        row("settings window: the marks read", read, floor, marks.permittedCodes.size() + marks.voidedCodes.size());
        const double marking = median([&] {
            LoadTypeTree(tree, TypeTreeVariant::Settings);
            QCoreApplication::processEvents();
        });
        row("settings window: load, painted", marking, floor, tree.count());
        const double marked = median([&] {
            markTypeSettings(tree, marks);
            QCoreApplication::processEvents();
        });
        row("settings window: the marking pass, painted", marked, floor, tree.count());
    }
    {
        KeyedTree tree;
        shown(tree, TypeTreeVariant::UploadPermission);
        LoadTypeTree(tree, TypeTreeVariant::UploadPermission);
        const QStringList voided = TypeTree::voidedCodes().value;
        const double marked = median([&] {
            markLeavesAndVoided(tree, voided);
            QCoreApplication::processEvents();
        });
        row("upload permissions: the marking pass, painted", marked, floor, tree.count());
    }
    {
        KeyedTree departments;
        departments.resize(400, 600);
        departments.show();
        QVector<DepartmentEntry> entries;
        const double floorDepartments = bench::median(
            g_runs, [&] { engine.readAll(DepartmentDirectory::departmentStatement()); });
        const double client = median([&] {
            departments.clear();
            LoadDepartmentTree(departments, entries);
            QCoreApplication::processEvents();
        });
        row("department tree", client, floorDepartments, departments.count());
    }
    {
        KeyedTree browse;
        browse.setCheckBoxes(true);
        shown(browse, TypeTreeVariant::Browse);
        LoadTypeTree(browse, TypeTreeVariant::Browse);
        QElapsedTimer timer;
        timer.start();
        for (const QString& top : browse.childKeys(QString())) {
            browse.setChecked(top, true);
            子节点联动(browse, top);
        }
        QCoreApplication::processEvents();
        row("check propagated from every top-level type", timer.nsecsElapsed() / 1e6, 0, browse.checkedKeys().size());
    }
    SharedConnection::release();
    return 0;
}
