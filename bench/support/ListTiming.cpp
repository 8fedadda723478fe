#include "support/ListTiming.h"

#include "widgets/grid/FlexGrid.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTableView>

#include <algorithm>
#include <cstdio>

#include <malloc.h>

namespace quarvel::bench {
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


}  // namespace

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


}  // namespace quarvel::bench
