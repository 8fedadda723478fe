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

#include "support/DemoBuild.h"
#include "support/ListTiming.h"

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

using bench::ListRun;
using bench::printRuns;
using bench::timeList;

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
    if (!bench::buildDemo(path, sizes))
        return 1;
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
