#include "EngineFloor.h"

#include "db/SqlDialect.h"
#include "db/TextCollation.h"
#include "db/ValueList.h"

#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace quarvel::bench {

namespace {

std::vector<double> timings(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < std::max(1, runs); ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times;
}

void bindValue(sqlite3_stmt* s, int index, const QVariant& value)
{
    const QVariant bound = dialect::bindValue(value, SqlEngine::Sqlite);
    if (bound.typeId() == QMetaType::Int || bound.typeId() == QMetaType::LongLong) {
        sqlite3_bind_int64(s, index, bound.toLongLong());
        return;
    }
    const QByteArray text = bound.toString().toUtf8();
    sqlite3_bind_text(s, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

qint64 statusKiB(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

}  // namespace

double median(int runs, const std::function<void()>& work)
{
    const std::vector<double> times = timings(runs, work);
    return times[times.size() / 2];
}

double best(int runs, const std::function<void()>& work) { return timings(runs, work).front(); }

EngineFloor::EngineFloor(const QString& path, bool readOnly)
{
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) != SQLITE_OK
        || registerTextCollation(m_db) != SQLITE_OK) {
        std::fprintf(stderr, "engine: cannot open %s: %s\n", qPrintable(path), m_db ? sqlite3_errmsg(m_db) : "");
        sqlite3_close(m_db);
        m_db = nullptr;
        return;
    }
    sqlite3_busy_timeout(m_db, 30000);
}

EngineFloor::~EngineFloor() { sqlite3_close(m_db); }

bool EngineFloor::exec(const QString& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "engine: %s\n", message ? message : "");
    sqlite3_free(message);
    return false;
}

int EngineFloor::readAll(const QString& tsql, const QVariantList& values)
{
    sqlite3_stmt* s = nullptr;
    const QByteArray sql = dialect::translate(tsql, SqlEngine::Sqlite).toUtf8();
    if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &s, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "engine: %s\n", sqlite3_errmsg(m_db));
        return -1;
    }
    for (int i = 0; i < values.size(); ++i)
        bindValue(s, i + 1, values.at(i));
    int rows = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(s); ++c)
            sqlite3_column_text(s, c);
        ++rows;
    }
    if (rc != SQLITE_DONE) {
        std::fprintf(stderr, "engine: %s\n", sqlite3_errmsg(m_db));
        rows = -1;
    }
    sqlite3_finalize(s);
    return rows;
}

void EngineFloor::fillList(const QString& name, const QStringList& values)
{
    exec(QStringLiteral("drop table if exists temp.[#%1]").arg(name));
    exec(QStringLiteral("create temp table [#%1] (值 text not null)").arg(name));
    for (qsizetype from = 0; from < values.size(); from += ValueList::kRowsPerInsert) {
        const int rows = int(std::min<qsizetype>(ValueList::kRowsPerInsert, values.size() - from));
        QString sql = QStringLiteral("insert into temp.[#%1] (值) values ").arg(name);
        for (int i = 0; i < rows; ++i)
            sql += i == 0 ? QStringLiteral("(?)") : QStringLiteral(",(?)");
        sqlite3_stmt* s = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &s, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "engine: %s\n", sqlite3_errmsg(m_db));
            return;
        }
        for (int i = 0; i < rows; ++i)
            bindValue(s, i + 1, values.at(from + i));
        sqlite3_step(s);
        sqlite3_finalize(s);
    }
}

double EngineFloor::timeStatements(const QVector<Statement>& statements, bool write)
{
    QElapsedTimer timer;
    timer.start();
    bool ok = !write || exec(QStringLiteral("BEGIN IMMEDIATE"));
    for (const Statement& s : statements) {
        if (!ok)
            break;
        ok = readAll(s.tsql, s.values) >= 0;
    }
    if (write)
        ok = exec(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK")) && ok;
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    return ok ? ms : -1;
}

void printRow(const QString& what, double clientMs, double floorMs, long long rows, const QString& goal)
{
    const QByteArray name = what.toUtf8();
    const QByteArray aim = goal.toUtf8();
    if (floorMs > 0)
        std::printf("  %-44s client %9.2f ms  engine %9.2f ms  ratio %6.2f  %8lld rows  goal %s\n", name.constData(),
                    clientMs, floorMs, clientMs / floorMs, rows, aim.constData());
    else
        std::printf("  %-44s client %9.3f ms  engine         -     ratio      -  %8lld rows  goal %s\n",
                    name.constData(), clientMs, rows, aim.constData());
    std::fflush(stdout);
}

void printHeading(const QString& text)
{
    std::printf("\n%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

double peakMiB() { return double(statusKiB("VmHWM")) / 1024.0; }
double residentMiB() { return double(statusKiB("VmRSS")) / 1024.0; }

}  // namespace quarvel::bench
