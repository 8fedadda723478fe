// concurrency [operations] [workers] [--journal wal|delete|both] [--folder DIR] [--time-limit S]:
// client processes on one embedded database file running uploads, grants, permission changes,
// reads and downloads with their access-log rows; prints the throughput, the longest single
// operation and the checks (lost log rows, duplicate numbers, busy messages), once per journal
// mode asked for. Exits 1 when a check fails.

#include "ConcurrencyRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

using namespace quarvel;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int operations = 10000;
    int workers = 4;
    int timeLimit = 600;
    QStringList journals = {QString()};
    QString folder = QDir::tempPath();
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--journal") && i + 1 < args.size()) {
            const QString j = args.at(++i);
            journals = j == QLatin1String("both") ? QStringList{QStringLiteral("delete"), QStringLiteral("wal")}
                                                  : QStringList{j};
        } else if (a == QLatin1String("--folder") && i + 1 < args.size()) {
            folder = args.at(++i);
        } else if (a == QLatin1String("--time-limit") && i + 1 < args.size()) {
            timeLimit = args.at(++i).toInt();
        } else {
            positional << a;
        }
    }
    if (positional.size() > 0)
        operations = positional.at(0).toInt();
    if (positional.size() > 1)
        workers = positional.at(1).toInt();

    QTextStream out(stdout);
    bool sound = true;
    for (const QString& journal : journals) {
        QTemporaryDir work(QDir(folder).filePath(QStringLiteral("quarvel-concurrency-XXXXXX")));
        concurrency::RunOptions options;
        options.folder = work.path();
        options.workers = workers;
        options.operations = operations;
        options.journal = journal;
        options.timeLimitSeconds = timeLimit;
        const concurrency::RunResult result = concurrency::run(options);
        out << workers << " clients, " << result.summary();
        out.flush();
        sound = sound && result.sound();
    }
    return sound ? 0 : 1;
}
