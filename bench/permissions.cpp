// Times the upload permission window on a large database, each row beside its engine floor:
// the same statements with the same bound values run through libsqlite3 on the same file.
#include "db/Connection.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "demodb/DemoData.h"
#include "directory/DepartmentDirectory.h"
#include "doctypes/TypeTree.h"
#include "permissions/PositionList.h"
#include "permissions/UploadPermissions.h"
#include "permissions/frmUploadPermissions.h"
#include "platform/Platform.h"
#include "widgets/tree/KeyedTree.h"

#include "support/EngineFloor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using namespace quarvel;

namespace {

using bench::Statement;

// The statements through libsqlite3 on a connection of its own; milliseconds, -1 on failure.
double engineFloor(const QString& path, const QVector<Statement>& statements, bool write)
{
    bench::EngineFloor engine(path);
    return engine.isOpen() ? engine.timeStatements(statements, write) : -1;
}

void row(const char* what, double ms, double floorMs, const char* goal)
{
    std::printf("%-46s %9.1f ms   floor %8.1f ms   ratio %5.2f   goal %s\n", what, ms, floorMs,
                floorMs > 0 ? ms / floorMs : 0.0, goal);
    std::fflush(stdout);
}

QString firstValue(const QString& sql)
{
    Query q(sql);
    return q.exec() && q.next() ? q.value(u"v").toString() : QString();
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int types = argc > 1 ? std::atoi(argv[1]) : 30000;
    const int departments = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int setSize = argc > 3 ? std::atoi(argv[3]) : 5000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    demo::DemoSizes sizes;
    sizes.types = types;
    sizes.departments = departments;
    sizes.logRows = 0;
    QString error;
    if (!demo::build(path, sizes, &error)) {
        std::fprintf(stderr, "demo database: %s\n", qPrintable(error));
        return 1;
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok()) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    std::printf("%d types, %d departments; a position's set of %d types\n", types, departments, setSize);

    // A held position of an open department, given a large set before the window opens.
    const QString position = firstValue(QStringLiteral(
        "select top 1 p.岗位代号 as v from 岗位信息new p inner join 职能部门new d on p.职能部门代号 = d.职能部门编号"
        " inner join 员工档案 e on e.工号 = p.工号 where p.终止日期 is null and d.终止日期 is null"
        " and p.岗位名称 is not null order by p.岗位代号"));
    QStringList leaves;
    {
        Query q(QStringLiteral("select t.编号 as v from 资料类型 t where t.终止日期 is null and not exists"
                               " (select 1 from 资料类型 c where c.上级编号 = t.编号) order by t.编号"));
        q.exec();
        while (q.next() && leaves.size() < setSize)
            leaves << q.text(u"v");
    }
    const ChangeAuthor author{QStringLiteral("0001"), QDateTime::currentDateTime()};
    if (position.isEmpty() || !UploadPermissions::replace(position, leaves, author).ok()) {
        std::fprintf(stderr, "no position to give permissions to\n");
        return 1;
    }

    // Opening: the type tree with its marking, the department tree and the list.
    const QVector<Statement> openingSelects = {
        {TypeTree::loadStatement(), {}},
        {TypeTree::voidedCodesStatement(), {}},
        {DepartmentDirectory::departmentStatement(), {}},
        {UploadPermissions::positionsStatement(), {}},
    };
    // The best of three runs each, after one that warms the file cache.
    engineFloor(path, openingSelects, false);
    double openingFloor = 1e12;
    for (int i = 0; i < 3; ++i)
        openingFloor = qMin(openingFloor, engineFloor(path, openingSelects, false));
    Platform platform;
    QElapsedTimer timer;
    std::unique_ptr<frm资料上传权限设置> window;
    double opening = 1e12;
    for (int i = 0; i < 3; ++i) {
        window.reset();
        QCoreApplication::processEvents();
        timer.start();
        window = std::make_unique<frm资料上传权限设置>(platform);
        window->resize(1000, 600);
        window->show();
        QCoreApplication::processEvents();
        opening = qMin(opening, timer.nsecsElapsed() / 1e6);
    }
    row("opening the upload permission window", opening, openingFloor, "<= 2x floor");
    std::printf("  (%d type nodes, %d department nodes, %d listed positions)\n", window->TreeView1->count(),
                window->TreeView2->count(), window->ListView2->count());

    // A click on the listed position ticks its types.
    const int listed = window->ListView2->findKey(QStringLiteral("G") + position);
    window->ListView2->select(listed);
    const double clickFloor = engineFloor(path, {{UploadPermissions::typesOfStatement(), {position}}}, false);
    timer.restart();
    window->ListView2_Click();
    QCoreApplication::processEvents();
    const double clickMs = timer.nsecsElapsed() / 1e6;
    row("list click ticks the position's types", clickMs, clickFloor, "<= 50 ms");
    timer.restart();
    const auto again = UploadPermissions::typesOf(position);
    std::printf("  (%lld types ticked; the select alone through Qt %.1f ms)\n",
                static_cast<long long>(window->TreeView1->checkedKeys().size()), timer.nsecsElapsed() / 1e6);

    // "修改" with the whole set ticked: the delete and the inserts in one transaction.
    const QDateTime now = QDateTime::currentDateTime();
    QVector<Statement> change = {{UploadPermissions::deleteStatement(), {position}}};
    for (qsizetype from = 0; from < leaves.size(); from += UploadPermissions::kRowsPerInsert) {
        const int n = int(qMin<qsizetype>(UploadPermissions::kRowsPerInsert, leaves.size() - from));
        Statement s{UploadPermissions::insertStatement(n), {}};
        for (int i = 0; i < n; ++i)
            s.values << leaves[from + i] << position << author.employeeNo << dialect::canonicalDateTime(now);
        change.append(s);
    }
    const double changeFloor = engineFloor(path, change, true);
    timer.restart();
    window->Command7_Click();
    const double changeMs = timer.nsecsElapsed() / 1e6;
    const int stored = firstValue(QStringLiteral("select count(*) as v from 资料上传权限 where 岗位代号 = '") + position
                                  + QStringLiteral("'"))
                           .toInt();
    row("\"修改\" of the ticked set", changeMs, changeFloor, "<= 1000 ms");
    std::printf("  (%d types stored)\n", stored);

    window.reset();
    SharedConnection::release();
    return 0;
}
