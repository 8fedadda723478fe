// Building a benchmark's demo database, telling how long it took or why it failed.
#pragma once

#include "demodb/DemoData.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

namespace quarvel::bench {

inline bool buildDemo(const QString& path, const demo::DemoSizes& sizes)
{
    QString error;
    QElapsedTimer built;
    built.start();
    if (!demo::build(path, sizes, &error)) {
        std::fprintf(stderr, "demo database: %s\n", qPrintable(error));
        return false;
    }
    std::printf("demo database %s built in %.1f s\n", qPrintable(path), double(built.elapsed()) / 1000);
    return true;
}

}  // namespace quarvel::bench
