// Times the loading of large type and department trees and the check propagation.
#include "db/Connection.h"
#include "demodb/DemoData.h"
#include "directory/DepartmentTree.h"
#include "doctypes/TypeTreeView.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace quarvel;

namespace {
void report(const char* what, qint64 ms, int nodes)
{
    std::printf("%-44s %7lld ms  (%d nodes)\n", what, static_cast<long long>(ms), nodes);
}
}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int types = argc > 1 ? std::atoi(argv[1]) : 30000;
    const int departments = argc > 2 ? std::atoi(argv[2]) : 10000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    demo::DemoSizes sizes;
    sizes.types = types;
    sizes.departments = departments;
    sizes.logRows = 0;
    QString error;
    QElapsedTimer timer;
    timer.start();
    if (!demo::build(path, sizes, &error)) {
        std::fprintf(stderr, "demo database: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("database with %d types and %d departments built in %lld ms\n", types, departments,
                static_cast<long long>(timer.elapsed()));
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok()) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }

    KeyedTree typeTree;
    typeTree.resize(400, 600);
    typeTree.show();
    QStringList descriptions;
    timer.restart();
    DbError failed = LoadTypeTree(typeTree, TypeTreeVariant::Settings, &descriptions);
    report("type tree, settings window (load)", timer.elapsed(), typeTree.count());
    if (failed.isSet())
        std::fprintf(stderr, "type tree: %s\n", qPrintable(failed.description));
    timer.restart();
    markTypeSettings(typeTree, TypeTree::marks(TypeTreeVariant::Settings).value);
    report("type tree, settings marking pass", timer.elapsed(), typeTree.count());

    KeyedTree browseTree;
    browseTree.setCheckBoxes(true);
    browseTree.show();
    timer.restart();
    LoadTypeTree(browseTree, TypeTreeVariant::Browse);
    report("type tree, browse window (load)", timer.elapsed(), browseTree.count());
    timer.restart();
    int propagated = 0;
    for (const QString& top : browseTree.childKeys(QString())) {
        browseTree.setChecked(top, true);
        子节点联动(browseTree, top);
        ++propagated;
    }
    report("check propagated from every top-level type", timer.elapsed(), browseTree.checkedKeys().size());

    KeyedTree departmentTree;
    departmentTree.show();
    QVector<DepartmentEntry> entries;
    timer.restart();
    failed = LoadDepartmentTree(departmentTree, entries);
    report("department tree (load)", timer.elapsed(), departmentTree.count());
    if (failed.isSet())
        std::fprintf(stderr, "department tree: %s\n", qPrintable(failed.description));
    SharedConnection::release();
    return 0;
}
