#include "EngineFloor.h"

#include "db/Query.h"
#include "db/SqlDialect.h"
#include "db/TextCollation.h"
#include "db/ValueList.h"

#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace quarvel::bench {

namespace {

volatile qsizetype g_chars = 0;  // keeps the strings read from being optimised away

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

std::pair<double, double> alternately(int runs, const std::function<void()>& client, const std::function<void()>& floor)
{
    std::vector<double> clientTimes, floorTimes;
    for (int i = 0; i < std::max(1, runs); ++i) {
        clientTimes.push_back(timings(1, client).front());
        floorTimes.push_back(timings(1, floor).front());
    }
    std::sort(clientTimes.begin(), clientTimes.end());
    std::sort(floorTimes.begin(), floorTimes.end());
    return {clientTimes[clientTimes.size() / 2], floorTimes[floorTimes.size() / 2]};
}

double best(int runs, const std::function<void()>& work) { return timings(runs, work).front(); }

namespace {

double timeOnce(const std::function<void()>& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

Pairs::Spread spread(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double middle = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {middle, values.front(), values.back()};
}

}  // namespace

Pairs timedPairs(int count, const std::function<double()>& client, const std::function<double()>& floor)
{
    std::vector<double> clientTimes, floorTimes, ratios;
    for (int i = 0; i < std::max(kMinPairs, count); ++i) {
        double c = -1;
        double f = -1;
        if (!floor || i % 2 == 0) {
            c = client();
            if (floor)
                f = floor();
        } else {
            f = floor();
            c = client();
        }
        if (c >= 0)
            clientTimes.push_back(c);
        if (f > 0)
            floorTimes.push_back(f);
        if (c >= 0 && f > 0)
            ratios.push_back(c / f);
    }
    Pairs p;
    p.count = int(clientTimes.size());
    p.client = spread(clientTimes);
    p.floor = spread(floorTimes);
    const Pairs::Spread r = spread(ratios);
    p.ratio = r.median;
    p.ratioMin = r.min;
    p.ratioMax = r.max;
    return p;
}

Pairs pairs(int count, const std::function<void()>& client, const std::function<void()>& floor)
{
    std::function<double()> timedFloor;
    if (floor)
        timedFloor = [&floor] { return timeOnce(floor); };
    return timedPairs(
        count, [&client] { return timeOnce(client); }, timedFloor);
}

// SQLite's NOCASE (the engine's own ASCII folding) after trailing blanks are set aside, under the
// collation name the schema gives its text columns.
int engineNocaseRtrim(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    const auto* sa = static_cast<const char*>(a);
    const auto* sb = static_cast<const char*>(b);
    while (lengthA > 0 && sa[lengthA - 1] == ' ')
        --lengthA;
    while (lengthB > 0 && sb[lengthB - 1] == ' ')
        --lengthB;
    const int n = std::min(lengthA, lengthB);
    const int r = sqlite3_strnicmp(sa, sb, n);
    return r != 0 ? r : lengthA - lengthB;
}

int registerRules(sqlite3* db, TextRules rules)
{
    if (rules == TextRules::Suite)
        return registerTextCollation(db);
    return sqlite3_create_collation(db, "NOCASE_RTRIM", SQLITE_UTF8, nullptr, engineNocaseRtrim);
}

EngineFloor::EngineFloor(const QString& path, bool readOnly, TextRules rules)
{
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) != SQLITE_OK
        || registerRules(m_db, rules) != SQLITE_OK) {
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

int EngineFloor::readAll(const QString& tsql, const QVariantList& values) { return step(tsql, values, false); }

int EngineFloor::readAllAsStrings(const QString& tsql, const QVariantList& values) { return step(tsql, values, true); }

int EngineFloor::step(const QString& tsql, const QVariantList& values, bool asStrings)
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
        for (int c = 0; c < sqlite3_column_count(s); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
            if (asStrings)
                g_chars = g_chars + QString::fromUtf8(text, sqlite3_column_bytes(s, c)).size();
        }
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

void printRow(const QString& what, const Pairs& p, long long rows, const QString& goal, const char* floorName)
{
    const QByteArray name = what.toUtf8();
    const QByteArray aim = goal.toUtf8();
    std::printf("  %-44s client %9.2f ms (%.2f-%.2f)", name.constData(), p.client.median, p.client.min, p.client.max);
    if (p.hasFloor())
        std::printf("  %s %9.2f ms (%.2f-%.2f)  pair ratio %5.2f (%.2f-%.2f)", floorName, p.floor.median, p.floor.min,
                    p.floor.max, p.ratio, p.ratioMin, p.ratioMax);
    std::printf("  %lld rows  %d %s  goal %s\n", rows, p.count, p.hasFloor() ? "pairs" : "runs", aim.constData());
    std::fflush(stdout);
}

void printHeading(const QString& text)
{
    std::printf("\n%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

qint64 parseSize(const QString& text)
{
    qint64 factor = 1;
    QString digits = text.trimmed().toUpper();
    if (digits.endsWith(u'K'))
        factor = qint64(1) << 10;
    else if (digits.endsWith(u'M'))
        factor = qint64(1) << 20;
    else if (digits.endsWith(u'G'))
        factor = qint64(1) << 30;
    if (factor != 1)
        digits.chop(1);
    bool ok = false;
    const double value = digits.toDouble(&ok);
    return ok && value >= 0 ? qint64(value * double(factor)) : -1;
}

bool makeSource(const QString& path, qint64 size, quint64 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    quint64 state = seed;
    for (qint64 written = 0; written < size;) {
        auto* words = reinterpret_cast<quint64*>(chunk.data());
        for (qsizetype i = 0; i < chunk.size() / 8; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[i] = state;
        }
        const qint64 n = qMin<qint64>(chunk.size(), size - written);
        if (file.write(chunk.constData(), n) != n)
            return false;
        written += n;
    }
    return file.flush();
}

double copyAndSyncMs(const QString& from, const QString& to)
{
    QElapsedTimer timer;
    timer.start();
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            return -1;
    }
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

QStringList firstColumn(const QString& sql)
{
    QStringList out;
    Query q(sql);
    if (q.exec()) {
        while (q.next())
            out << q.raw().value(0).toString();
    }
    return out;
}

double peakMiB() { return double(statusKiB("VmHWM")) / 1024.0; }
double residentMiB() { return double(statusKiB("VmRSS")) / 1024.0; }

}  // namespace quarvel::bench
