// Times the upload permission window on a large database, each row beside its engine floor:
// the same statements with the same bound values run through libsqlite3 on the same file, in
// interleaved client/floor pairs (at least 7).
//
//   permissions [types] [departments] [set size] [--runs N]
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

#include "support/DemoBuild.h"
#include "support/EngineFloor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
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

void row(const char* what, const bench::Pairs& p, long long rows, const char* goal)
{
    bench::printRow(QString::fromUtf8(what), p, rows, QString::fromUtf8(goal));
}

QString firstValue(const QString& sql, const QVariantList& values = {})
{
    Query q(sql);
    for (const QVariant& v : values)
        q.bind(v);
    return q.exec() && q.next() ? q.value(u"v").toString() : QString();
}

double elapsedMs(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> sizesGiven;
    int runs = bench::kMinPairs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else
            sizesGiven << std::atoi(argv[i]);
    }
    const int types = sizesGiven.value(0, 30000);
    const int departments = sizesGiven.value(1, 10000);
    const int setSize = sizesGiven.value(2, 5000);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    demo::DemoSizes sizes;
    sizes.types = types;
    sizes.departments = departments;
    sizes.logRows = 0;
    if (!bench::buildDemo(path, sizes))
        return 1;
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
    // One run of each first, to warm the file cache.
    engineFloor(path, openingSelects, false);
    Platform platform;
    std::unique_ptr<frm资料上传权限设置> window;
    const bench::Pairs opening = bench::timedPairs(
        runs,
        [&] {
            window.reset();
            QCoreApplication::processEvents();
            QElapsedTimer timer;
            timer.start();
            window = std::make_unique<frm资料上传权限设置>(platform);
            window->resize(1000, 600);
            window->show();
            QCoreApplication::processEvents();
            return elapsedMs(timer);
        },
        [&] { return engineFloor(path, openingSelects, false); });
    row("opening the upload permission window", opening, window->TreeView1->count(), "ratio <= 2");
    std::printf("  (%d type nodes, %d department nodes, %d listed positions)\n", window->TreeView1->count(),
                window->TreeView2->count(), window->ListView2->count());

    // A click on the listed position ticks its types.
    const int listed = window->ListView2->findKey(QStringLiteral("G") + position);
    window->ListView2->select(listed);
    const QVector<Statement> click = {{UploadPermissions::typesOfStatement(), {position}}};
    const bench::Pairs clickPairs = bench::pairs(
        runs,
        [&] {
            window->ListView2_Click();
            QCoreApplication::processEvents();
        },
        [&] { engineFloor(path, click, false); });
    row("list click ticks the position's types", clickPairs, window->TreeView1->checkedKeys().size(), "<= 50 ms");
    QElapsedTimer timer;
    timer.start();
    const auto again = UploadPermissions::typesOf(position);
    std::printf("  (the select alone through Qt %.1f ms)\n", elapsedMs(timer));

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
    const bench::Pairs changePairs = bench::timedPairs(
        runs,
        [&] {
            QElapsedTimer t;
            t.start();
            window->Command7_Click();
            return elapsedMs(t);
        },
        [&] { return engineFloor(path, change, true); });
    const int stored =
        firstValue(QStringLiteral("select count(*) as v from 资料上传权限 where 岗位代号 = ?"), {position}).toInt();
    row("\"修改\" of the ticked set", changePairs, stored, "<= 1000 ms");

    window.reset();
    SharedConnection::release();
    return 0;
}
