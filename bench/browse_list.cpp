// Times the browse window on a large database: the opening list, a search with every filter
// set and a search of about 20,000 rows, each beside its engine floor (the same statement with
// the same values through libsqlite3 on the same file); the window filling its grid with that
// search and what it shows meanwhile; and a 100 MiB PDF opened in the viewer from the list,
// beside cp + fsync of the file plus QtPdf loading it from disk, with the memory it takes. Then
// the lists of 100,000 rows (the busiest position granted every document for the while): the
// browse window's search and the rights explained for that position, each from the click to the
// first painted screen, to every row loaded, and the memory the list takes, medians of
// QUARVEL_BENCH_LIST_RUNS runs (7) with their range (QUARVEL_BENCH_ONLY_LISTS: those alone).
//
//   browse_list [documents] [rights] [database to keep]
//
// A kept database (and the generated PDF beside it) is reused by the next run.
#include "db/Connection.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "db/ValueList.h"
#include "demodb/DemoData.h"
#include "directory/DepartmentDirectory.h"
#include "library/BrowseDocuments.h"
#include "library/PdfPageView.h"
#include "library/frmBrowse.h"
#include "library/frmViewer.h"
#include "login/UserContext.h"
#include "platform/Platform.h"
#include "reports/frmEffectiveRights.h"
#include "shared/ContentTransfer.h"
#include "widgets/StatusBar.h"
#include "widgets/grid/FlexGrid.h"

#include "support/ListTiming.h"
#include "widgets/tree/KeyedTree.h"

#include "support/DemoBuild.h"
#include "support/EngineFloor.h"

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <malloc.h>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <unistd.h>

using namespace quarvel;

namespace {

using bench::ListRun;
using bench::printRuns;
using bench::timeList;

// Writes a PDF of at least `bytes` bytes: pages of incompressible pictures with a line of text.
bool writeLargePdf(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QPdfWriter writer(&file);
    writer.setResolution(150);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    QImage picture(1600, 1200, QImage::Format_RGB32);
    quint32 state = 0x9E3779B9u;
    for (int page = 1; file.pos() < bytes; ++page) {
        if (page > 1)
            writer.newPage();
        for (int y = 0; y < picture.height(); ++y) {
            auto* line = reinterpret_cast<quint32*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                line[x] = 0xFF000000u | (state & 0xFFFFFFu);
            }
        }
        painter.drawText(QPointF(100, 100), QStringLiteral("第 %1 页").arg(page));
        painter.drawImage(QRectF(100, 200, 1000, 750), picture);
    }
    return painter.end() && file.error() == QFileDevice::NoError;
}

// Opening a 100 MiB PDF through the window (double click on "查阅"), beside writing the file
// with cp + fsync and QtPdf loading it from disk and rendering its first page.
void largePdf(const QString& position, const QString& folder)
{
    const QString path = folder + QStringLiteral("/large.pdf");
    const qint64 size = qint64(100) << 20;
    if (!QFileInfo::exists(path) || QFileInfo(path).size() < size) {
        QElapsedTimer made;
        made.start();
        if (!writeLargePdf(path, size)) {
            std::printf("the large PDF could not be written\n");
            return;
        }
        std::printf("large PDF written in %.1f s\n", made.elapsed() / 1000.0);
    }
    const QString number = QStringLiteral("BENCH-PDF");
    const auto cleanUp = [&] {
        execute(QStringLiteral("delete from 资料下载权限 where 文件编号 = ?"), {number});
        execute(QStringLiteral("delete from 资料下载记录 where 文件编号 = ?"), {number});
        execute(QStringLiteral("delete from 公司文件信息 where 编号 = ?"), {number});
    };
    cleanUp();
    // Newest of all, so that it heads the opening list.
    if (!execute(QStringLiteral("insert into 公司文件信息 (编号, 文件类别, 文件名称, 上传人工号, 上传日期, 附件后缀) "
                                "select ?, min(编号), ?, '0001', ?, 'pdf' from 资料类型"),
                 {number, QStringLiteral("大文件浏览"), QDateTime(QDate(2099, 1, 1), QTime(0, 0))})
             .ok()
        || !execute(QStringLiteral("insert into 资料下载权限 (文件编号, 岗位代号, 下载, 查阅) values (?, ?, 1, 1)"),
                    {number, position})
                .ok()) {
        std::printf("the large PDF could not be listed\n");
        return;
    }
    qint64 id = 0;
    {
        Query q(QStringLiteral("select ID from 公司文件信息 where 编号 = ?"));
        q.bind(number);
        if (q.exec() && q.next())
            id = q.longInteger(u"ID");
    }
    if (id == 0 || !DocumentContent().storeFile(id, path).ok()) {
        std::printf("the large PDF could not be stored\n");
        cleanUp();
        return;
    }

    const double cp = bench::copyAndSyncMs(path, folder + QStringLiteral("/large-copy.pdf"));
    QFile::remove(folder + QStringLiteral("/large-copy.pdf"));
    double loadAndRender = 0;
    {
        QElapsedTimer timer;
        timer.start();
        QPdfDocument direct;
        direct.load(path);
        const QSizeF points = direct.pagePointSize(0);
        const QImage first = direct.render(0, (points * 1.5).toSize());
        loadAndRender = double(timer.nsecsElapsed()) / 1e6;
        if (first.isNull())
            std::printf("QtPdf could not render the large PDF\n");
    }

    Platform platform;
    Frm公司资料查阅 window(platform);
    window.resize(1200, 800);
    window.show();
    QCoreApplication::processEvents();
    const double residentBefore = bench::residentMiB();
    const double peakBefore = bench::peakMiB();
    window.MSFlexGrid1->setRow(1);
    window.MSFlexGrid1->setCol(Frm公司资料查阅::ColRead);
    QElapsedTimer timer;
    timer.start();
    window.MSFlexGrid1_DblClick();
    QCoreApplication::processEvents();
    const double shown = double(timer.nsecsElapsed()) / 1e6;
    Frm公司文件浏览* viewer = window.ownViewer();
    const bool firstPage = viewer && !viewer->PDFView1->pageImage().isNull() && viewer->PDFView1->page() == 0;
    bench::printRow(QStringLiteral("100 MiB PDF, first page shown"), shown, cp + loadAndRender, 1,
                    QStringLiteral("<= 1000 ms"));
    std::printf("  floor: cp + fsync %.1f ms, QtPdf load and first page from disk %.1f ms; page shown %s, %d pages\n",
                cp, loadAndRender, firstPage ? "yes" : "NO", viewer ? viewer->PDFView1->pageCount() : 0);
    std::printf("  memory growth: resident %+.1f MiB, peak %+.1f MiB  goal <= %.0f MiB\n",
                bench::residentMiB() - residentBefore, bench::peakMiB() - peakBefore,
                double(QFileInfo(path).size()) / 1048576.0 + 64);
    if (viewer)
        viewer->close();
    delete viewer;
    cleanUp();
}


// ---- lists of 100,000 rows ----


// The busiest position is granted every document it lacks (marked so that they go again), then
// the browse window lists them all and the rights window explains the position.
void hundredThousandRows(const QString& position)
{
    const QString mark = QStringLiteral("BENCH-LIST");
    const auto cleanUp = [&] { execute(QStringLiteral("delete from 资料下载权限 where CzyID = ?"), {mark}); };
    cleanUp();
    if (!execute(QStringLiteral("insert into 资料下载权限 (文件编号, 岗位代号, 下载, 查阅, CzyID) "
                                "select 编号, ?, 1, 1, ? from 公司文件信息 where 文件 is not null and 编号 not in "
                                "(select 文件编号 from 资料下载权限 where 岗位代号 = ?)"),
                 {position, mark, position})
             .ok()) {
        std::printf("the position could not be granted every document\n");
        return;
    }
    const int runs = std::max(qEnvironmentVariableIntValue("QUARVEL_BENCH_LIST_RUNS"), 0) > 0
                         ? qEnvironmentVariableIntValue("QUARVEL_BENCH_LIST_RUNS")
                         : 7;
    userContext().PositionCode = position;
    {
        Platform platform;
        Frm公司资料查阅 window(platform);
        window.resize(1200, 800);
        window.show();
        QCoreApplication::processEvents();
        window.Check9->setChecked(true);
        window.Check6->setChecked(false);
        std::vector<ListRun> all;
        for (int i = 0; i <= runs; ++i) {
            window.comLook->click();  // the filter panel, then its search button
            all.push_back(timeList(
                *window.MSFlexGrid1, [&] { window.Command10->click(); },
                [&] {
                    return window.StatusBar1->panelText(1) + QStringLiteral(" | ") + window.StatusBar1->panelText(3);
                }));
        }
        printRuns("browse window, every type", all);
    }
    {
        // The user works in the position's department, whose positions the window lists.
        QString department;
        {
            Query q(QStringLiteral("select 职能部门代号 from 岗位信息new where 岗位代号 = ?"));
            q.bind(position);
            if (q.exec() && q.next())
                department = q.text(u"职能部门代号");
        }
        userContext().DeptCode = department;
        Platform platform;
        frm资料权限说明 window(platform);
        window.resize(1200, 800);
        window.show();
        QCoreApplication::processEvents();
        window.TreeView1_NodeClick(DepartmentDirectory::departmentKey(department));
        if (!window.TreeView1->setSelected(DepartmentDirectory::positionKey(position))) {
            std::printf("the position is not in the rights window's tree\n");
        } else {
            std::vector<ListRun> all;
            for (int i = 0; i <= runs; ++i)
                all.push_back(timeList(
                    *window.MSFlexGrid1, [&] { window.Command4->click(); }, [&] { return window.ListCount->text(); }));
            printRuns("rights window, the position's rights", all);
        }
    }
    cleanUp();
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int documents = argc > 1 ? std::atoi(argv[1]) : 100000;
    const qint64 rights = argc > 2 ? std::atoll(argv[2]) : 2000000;
    const QString keep = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();

    QTemporaryDir dir;
    const QString path = keep.isEmpty() ? dir.filePath(QStringLiteral("bench.db")) : keep;
    if (keep.isEmpty() || !QFileInfo::exists(path)) {
        demo::DemoSizes sizes;
        sizes.documents = documents;
        sizes.rights = rights;
        sizes.logRows = 0;
        sizes.fileSize = 64;
        if (!bench::buildDemo(path, sizes))
            return 1;
    }
    if (!OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path).ok())
        return 1;
    bench::EngineFloor engine(path);
    if (!engine.isOpen())
        return 1;

    // QUARVEL_BENCH_CACHE_KIB: the page cache of both connections, in KiB (SQLite's default
    // is 2,000 KiB: 500 pages of 4 KiB, but only 31 of 64 KiB).
    if (const int cacheKib = qEnvironmentVariableIntValue("QUARVEL_BENCH_CACHE_KIB"); cacheKib > 0) {
        const QString pragma = QStringLiteral("PRAGMA cache_size = -%1").arg(cacheKib);
        if (!execute(pragma).ok() || !engine.exec(pragma))
            return 1;
        std::printf("page cache of both connections: %d KiB\n", cacheKib);
    }

    // The position with the most rights.
    QString position;
    {
        Query busiest(QStringLiteral("select top 1 岗位代号, count(*) as n from 资料下载权限 group by 岗位代号 "
                                     "order by count(*) desc"));
        Query counts(QStringLiteral(
            "select (select count(*) from 公司文件信息) as d, (select count(*) from 资料下载权限) as r"));
        if (!busiest.exec() || !busiest.next() || !counts.exec() || !counts.next())
            return 1;
        position = busiest.text(u"岗位代号");
        std::printf("%d documents, %d rights rows; position %s holds %d rights\n", counts.integer(u"d"),
                    counts.integer(u"r"), qPrintable(position), busiest.integer(u"n"));
    }

    // QUARVEL_BENCH_ONLY_LISTS: the lists of 100,000 rows alone.
    if (qEnvironmentVariableIsSet("QUARVEL_BENCH_ONLY_LISTS")) {
        hundredThousandRows(position);
        std::fflush(stdout);
        SharedConnection::release();
        return 0;
    }

    int clientRows = 0;
    int engineRows = 0;
    const bench::Pairs recentPairs = bench::pairs(
        21, [&] { clientRows = int(BrowseDocuments::recent(position).value.size()); },
        [&] { engineRows = engine.readAll(BrowseDocuments::recentStatement(), {position}); });
    bench::printRow(QStringLiteral("opening list (50 newest)"), recentPairs, clientRows,
                    QStringLiteral("<= 5 ms, ratio <= 1.3"));
    if (clientRows != engineRows)
        std::printf("  rows differ: %d / %d\n", clientRows, engineRows);

    // Every filter set, with values the demo data matches: every type, four formats, part of a
    // name and of the keywords, one uploader's surname and the newest half year.
    BrowseSearch search;
    {
        Query types(QStringLiteral("select 编号 from 资料类型"));
        types.exec();
        while (types.next())
            search.typeCodes << types.text(u"编号");
    }
    QDate newest;
    {
        Query last(QStringLiteral("select max(上传日期) as d from 公司文件信息"));
        if (!last.exec() || !last.next())
            return 1;
        newest = last.dateTime(u"d").date();
    }
    search.formats = {QStringLiteral("txt"), QStringLiteral("pdf"), QStringLiteral("png"), QStringLiteral("xlsx")};
    search.byName = true;
    search.name = QStringLiteral("管理");
    search.byUploader = true;
    search.uploader = QStringLiteral("赵");
    search.byKeywords = true;
    search.keywords = QStringLiteral("管理");
    search.byDate = true;
    search.to = newest;
    search.from = newest.addMonths(-6);
    const auto searchFloor = [&](const BrowseSearch& s) {
        engine.fillList(BrowseDocuments::typeListName(), s.typeCodes);
        engine.fillList(BrowseDocuments::formatListName(), s.formats);
        engineRows = engine.readAll(BrowseDocuments::searchStatement(s), BrowseDocuments::searchValues(position, s));
    };
    const bench::Pairs searchPairs = bench::pairs(
        9, [&] { clientRows = int(BrowseDocuments::search(position, search).value.size()); },
        [&] { searchFloor(search); });
    bench::printRow(QStringLiteral("search, every filter (%1 types)").arg(search.typeCodes.size()), searchPairs,
                    clientRows, QStringLiteral("ratio <= 1.3"));
    if (clientRows != engineRows)
        std::printf("  rows differ: %d / %d\n", clientRows, engineRows);

    // Every type and the days that hold the position's 20,000 newest documents.
    BrowseSearch large;
    large.typeCodes = search.typeCodes;
    large.byDate = true;
    large.to = newest;
    large.from = newest;
    {
        const QVector<BrowseRow> recent = BrowseDocuments::recent(position, 20000).value;
        if (!recent.isEmpty())
            large.from = recent.last().uploaded.date();
    }
    const bench::Pairs largePairs = bench::pairs(
        7, [&] { clientRows = int(BrowseDocuments::search(position, large).value.size()); },
        [&] { searchFloor(large); });
    bench::printRow(QStringLiteral("search, every type, newest days"), largePairs, clientRows,
                    QStringLiteral("ratio <= 1.3"));
    const double largeEngine = largePairs.floor.median;
    if (clientRows != engineRows)
        std::printf("  rows differ: %d / %d\n", clientRows, engineRows);

    // The window: every type ticked and the same days, filling its grid.
    userContext().PositionCode = position;
    Platform platform;
    Frm公司资料查阅 window(platform);
    window.resize(1200, 800);
    window.show();
    QCoreApplication::processEvents();
    window.Check9->setChecked(true);
    window.Check6->setChecked(true);
    window.DTPicker1->setDate(large.from);
    window.DTPicker2->setDate(large.to);
    // The status bar repaints at once when the search starts: what it shows then, and the pointer.
    struct WaitSeen : QObject {
        InfoStatusBar* bar = nullptr;
        QString text;
        bool busyPointer = false;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && text.isEmpty()) {
                text = bar->panelText(1);
                busyPointer = QApplication::overrideCursor() != nullptr
                              && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            }
            return false;
        }
    } seen;
    seen.bar = window.StatusBar1;
    window.StatusBar1->installEventFilter(&seen);
    QElapsedTimer timer;
    timer.start();
    window.Command10_Click();
    QCoreApplication::processEvents();
    // The list arrives in steps: filled once the last has come.
    while (window.MSFlexGrid1->loading())
        QCoreApplication::processEvents();
    const double filled = double(timer.nsecsElapsed()) / 1e6;
    bench::printRow(QStringLiteral("window search, grid filled"), filled, largeEngine, window.MSFlexGrid1->rows() - 1,
                    QStringLiteral("<= 1000 ms at 20,000 rows"));
    std::printf("  while running: status \"%s\", busy pointer %s; after: \"%s\"\n", qPrintable(seen.text),
                seen.busyPointer ? "yes" : "no", qPrintable(window.StatusBar1->panelText(1)));

    largePdf(position, QFileInfo(path).absolutePath());
    std::fflush(stdout);
    hundredThousandRows(position);
    std::fflush(stdout);

    SharedConnection::release();
    return 0;
}
