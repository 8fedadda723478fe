// fulltext_search DATABASE [runs]: times the search inside documents on a database the demo tool
// built with --text-documents N --backfill: words of one, two and four Chinese characters and two
// words at once, for the administrator's position with every type ticked, each run `runs` times
// (the median and the range printed with the hits); then the count of the documents still waiting
// for their text that the browse window reads after a search.

#include "db/Connection.h"
#include "db/Query.h"
#include "library/FullTextIndex.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>

using namespace quarvel;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        out << "usage: fulltext_search DATABASE [runs]\n";
        return 2;
    }
    const int runs = args.size() > 2 ? args.at(2).toInt() : 7;
    if (const DbStatus opened = OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + args.at(1)); !opened.ok()) {
        out << opened.error.description << '\n';
        return 1;
    }
    // The position with the most rights, and every type.
    QString position;
    {
        Query q(QStringLiteral("select top 1 岗位代号 from 资料下载权限 group by 岗位代号 order by count(*) desc"));
        if (q.exec() && q.next())
            position = q.text(u"岗位代号");
    }
    FullTextQuery query;
    {
        Query q(QStringLiteral("select 编号 from 资料类型"));
        q.exec();
        while (q.next())
            query.filters.typeCodes << q.text(u"编号");
    }
    out << "position " << position << ", " << query.filters.typeCodes.size() << " types, " << runs << " runs\n";
    for (const QString& words : {QStringLiteral("制"), QStringLiteral("制度"), QStringLiteral("管理制度"),
                                 QStringLiteral("安全 检查"), QStringLiteral("质量")}) {
        query.words = words;
        QList<double> times;
        qsizetype hits = 0;
        for (int k = 0; k < runs; ++k) {
            QElapsedTimer timer;
            timer.start();
            const auto found = FullTextIndex::search(position, query);
            times << timer.nsecsElapsed() / 1e6;
            hits = found.value.size();
            if (!found.ok()) {
                out << found.error.description << '\n';
                return 1;
            }
        }
        std::sort(times.begin(), times.end());
        out << QStringLiteral("%1: %2 pages, median %3 ms (%4–%5)\n")
                   .arg(words)
                   .arg(hits)
                   .arg(times.at(times.size() / 2), 0, 'f', 1)
                   .arg(times.first(), 0, 'f', 1)
                   .arg(times.last(), 0, 'f', 1);
    }
    QList<double> times;
    int unindexed = 0;
    for (int k = 0; k < runs; ++k) {
        QElapsedTimer timer;
        timer.start();
        const DbResult<int> counted = FullTextIndex::unindexedCount(position, query.filters);
        times << timer.nsecsElapsed() / 1e6;
        unindexed = counted.value;
    }
    std::sort(times.begin(), times.end());
    out << QStringLiteral("not yet indexed: %1 documents, median %2 ms (%3–%4)\n")
               .arg(unindexed)
               .arg(times.at(times.size() / 2), 0, 'f', 1)
               .arg(times.first(), 0, 'f', 1)
               .arg(times.last(), 0, 'f', 1);
    return 0;
}
