// Times the document list of the upload window on a large database: the core's opening list and
// query, a bare grid filled with the query, then the window itself with every document in its
// department and position (all of them moved there for the while): its query from the click to
// the first painted screen, to every row loaded, and the memory the list takes, the median of
// QUARVEL_BENCH_LIST_RUNS runs (7) with their range.
#include "db/Connection.h"
#include "db/Query.h"
#include "demodb/DemoData.h"
#include "library/UploadDocuments.h"
#include "library/frmUpload.h"
#include "login/UserContext.h"
#include "platform/Platform.h"
#include "widgets/grid/FlexGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <malloc.h>

using namespace quarvel;

namespace {

// A line of /proc/self/status in MiB.
double statusMiB(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (QByteArray line = file.readLine(4096); !line.isEmpty(); line = file.readLine(4096)) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// The peak resident size starts again from the present one.
void resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

// "median (min–max)" of the figures.
QString spread(std::vector<double> figures, const char* unit, int decimals = 0)
{
    if (figures.empty())
        return QStringLiteral("-");
    std::sort(figures.begin(), figures.end());
    const size_t n = figures.size();
    const double median = n % 2 ? figures[n / 2] : (figures[n / 2 - 1] + figures[n / 2]) / 2;
    return QStringLiteral("%1 %4 (%2–%3)")
        .arg(median, 0, 'f', decimals)
        .arg(figures.front(), 0, 'f', decimals)
        .arg(figures.back(), 0, 'f', decimals)
        .arg(QString::fromUtf8(unit));
}

// The first paint of a view's rows after it is armed, as time since `clock` started.
struct PaintSeen : QObject {
    QElapsedTimer* clock = nullptr;
    double atMs = -1;
    int rowsThen = 0;
    QTableView* view = nullptr;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && atMs < 0 && view->model()->rowCount() > 1) {
            atMs = double(clock->nsecsElapsed()) / 1e6;
            rowsThen = view->model()->rowCount() - 1;
        }
        return false;
    }
};

struct ListRun {
    double firstPaintMs = 0;
    double allRowsMs = 0;
    double residentMiB = 0;
    double peakMiB = 0;
    int rowsAtFirstPaint = 0;
    int rows = 0;
    QString statusThen, statusAfter;
};

// One click on a window's button that fills `grid` in steps: empties the grid first, then times
// the click to the first painted screen of rows and to the last row, and the memory it took.
ListRun timeList(FlexGrid& grid, const std::function<void()>& click, const std::function<QString()>& status)
{
    grid.setRows(1);
    QCoreApplication::processEvents();
    malloc_trim(0);
    resetPeak();
    const double before = statusMiB("VmRSS");
    QElapsedTimer clock;
    PaintSeen seen;
    seen.clock = &clock;
    seen.view = grid.view();
    grid.view()->viewport()->installEventFilter(&seen);
    ListRun run;
    clock.start();
    click();
    while (seen.atMs < 0 && clock.elapsed() < 60000) {
        QCoreApplication::processEvents();
        if (seen.atMs >= 0 && run.statusThen.isEmpty())
            run.statusThen = status();
    }
    run.statusThen = status();
    while (grid.loading() && clock.elapsed() < 600000)
        QCoreApplication::processEvents();
    run.allRowsMs = double(clock.nsecsElapsed()) / 1e6;
    QCoreApplication::processEvents();
    grid.view()->viewport()->removeEventFilter(&seen);
    run.firstPaintMs = seen.atMs;
    run.rowsAtFirstPaint = seen.rowsThen;
    run.rows = grid.rows() - 1;
    run.residentMiB = statusMiB("VmRSS") - before;
    run.peakMiB = statusMiB("VmHWM") - before;
    run.statusAfter = status();
    return run;
}

void printRuns(const char* name, const std::vector<ListRun>& runs)
{
    if (runs.size() < 2)
        return;
    std::vector<double> paint, all, resident, peak;
    for (size_t i = 1; i < runs.size(); ++i) {  // the first run warms the caches
        paint.push_back(runs[i].firstPaintMs);
        all.push_back(runs[i].allRowsMs);
        resident.push_back(runs[i].residentMiB);
        peak.push_back(runs[i].peakMiB);
    }
    const ListRun& first = runs.front();
    const ListRun& last = runs.back();
    std::printf("%s, %d rows (median of %d runs after a first one, min–max):\n", name, last.rows, int(runs.size()) - 1);
    std::printf("  click to first painted screen  %s   goal <= 500 ms; first run %.0f ms, %d rows then\n",
                qPrintable(spread(paint, "ms")), first.firstPaintMs, last.rowsAtFirstPaint);
    std::printf("  click to every row loaded      %s   first run %.0f ms\n", qPrintable(spread(all, "ms")),
                first.allRowsMs);
    std::printf("  memory growth, resident        %s   goal <= 48 MiB; first run %+.1f MiB\n",
                qPrintable(spread(resident, "MiB", 1)), first.residentMiB);
    std::printf("  memory growth, peak            %s   first run %+.1f MiB\n", qPrintable(spread(peak, "MiB", 1)),
                first.peakMiB);
    std::printf("  shown once the first paint is done: \"%s\"; at the end: \"%s\"\n", qPrintable(last.statusThen),
                qPrintable(last.statusAfter));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int documents = argc > 1 ? std::atoi(argv[1]) : 100000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    demo::DemoSizes sizes;
    sizes.documents = documents;
    sizes.logRows = 0;
    QString error;
    if (!demo::build(path, sizes, &error)) {
        std::fprintf(stderr, "demo database: %s\n", qPrintable(error));
        return 1;
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok())
        return 1;

    // The department and position with the most documents.
    UploaderContext who;
    {
        Query busiest(QStringLiteral("select top 1 部门, 岗位, count(*) as n from 公司文件信息 group by "
                                     "部门, 岗位 order by count(*) desc"));
        if (!busiest.exec() || !busiest.next())
            return 1;
        who = UploaderContext{QStringLiteral("0001"), busiest.text(u"部门"), busiest.text(u"岗位")};
        std::printf("%d documents; the busiest position holds %d\n", documents, busiest.integer(u"n"));
    }

    QElapsedTimer timer;
    timer.start();
    const auto recent = UploadDocuments::recent(who);
    std::printf("opening list (50 newest)        %6lld ms  (%lld rows)\n", static_cast<long long>(timer.elapsed()),
                static_cast<long long>(recent.value.size()));
    timer.restart();
    const auto all = UploadDocuments::query(who, ListFilter{});
    std::printf("query without filters           %6lld ms  (%lld rows)\n", static_cast<long long>(timer.elapsed()),
                static_cast<long long>(all.value.size()));
    ListFilter byName;
    byName.name = QStringLiteral("报告");
    timer.restart();
    const auto named = UploadDocuments::query(who, byName);
    std::printf("query by name \"报告\"             %6lld ms  (%lld rows)\n", static_cast<long long>(timer.elapsed()),
                static_cast<long long>(named.value.size()));

    FlexGrid grid;
    grid.resize(1000, 600);
    grid.show();
    grid.setFormatString(QStringLiteral("<序|<编号|<文件类别|<文件名称|<文件摘要|<关键字|^级别|^文件格式|^上传日期|"));
    timer.restart();
    grid.beginBulk();
    grid.setRows(1);
    int n = 0;
    for (const DocumentRow& r : all.value)
        grid.appendRow({QString::number(++n), r.number, r.typeText(), r.name, r.summary, r.keywords, r.level,
                        r.extension, r.uploadedText(), QString::number(r.id)});
    grid.endBulk();
    QCoreApplication::processEvents();
    std::printf("grid filled with the query      %6lld ms  (%d rows)\n", static_cast<long long>(timer.elapsed()),
                grid.rows() - 1);
    grid.setRows(1);

    // The window, with every document in the busiest department and position.
    if (!execute(QStringLiteral("update 公司文件信息 set 部门 = ?, 岗位 = ?"), {who.deptCode, who.positionCode}).ok())
        return 1;
    const int runs = qEnvironmentVariableIntValue("QUARVEL_BENCH_LIST_RUNS") > 0
                         ? qEnvironmentVariableIntValue("QUARVEL_BENCH_LIST_RUNS")
                         : 7;
    userContext().EmployeeNo = who.employeeNo;
    userContext().DeptCode = who.deptCode;
    userContext().PositionCode = who.positionCode;
    {
        Platform platform;
        Frm公司资料上传 window(platform);
        window.resize(1200, 800);
        window.show();
        QCoreApplication::processEvents();
        auto* list = window.findChild<FlexGrid*>(QStringLiteral("MSFlexGrid1"));
        auto* look = window.findChild<QPushButton*>(QStringLiteral("comLook"));
        auto* count = window.findChild<QLabel*>(QStringLiteral("ListCount"));
        if (!list || !look) {
            std::fprintf(stderr, "the window's list or query button is missing\n");
            return 1;
        }
        std::vector<ListRun> timed;
        for (int i = 0; i <= runs; ++i)
            timed.push_back(timeList(
                *list, [&] { look->click(); }, [&] { return count ? count->text() : QString(); }));
        printRuns("upload window, query without filters", timed);
    }
    SharedConnection::release();
    return 0;
}
