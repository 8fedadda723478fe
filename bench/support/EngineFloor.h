// What every benchmark program shares: timing (median or best of several runs), the engine's
// floor for a statement (the same statement with the same bound values through libsqlite3 on
// the same file, every row stepped and every column read as text), the value lists filled as
// the client fills them, one printed line per figure, and the process's peak memory.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

#include <functional>
#include <utility>

struct sqlite3;

namespace quarvel::bench {

// The median of `runs` timings of `work`, in milliseconds.
double median(int runs, const std::function<void()>& work);
// `client` and `floor` run in turn, `runs` times each (client, floor, client, …), so that a
// machine growing busier or quieter weighs on both alike: the median of each, in milliseconds.
std::pair<double, double> alternately(int runs, const std::function<void()>& client,
                                      const std::function<void()>& floor);
// The fastest of `runs` timings of `work`, in milliseconds.
double best(int runs, const std::function<void()>& work);

// The fewest pairs a figure is the median of.
constexpr int kMinPairs = 7;

// The timings of one figure: client and floor measured in interleaved pairs, each pair run
// back to back (the client first in even pairs, the floor first in odd ones, so that neither
// always finds the caches the other left), so that a machine growing busier or quieter weighs
// on both alike. Milliseconds.
struct Pairs {
    struct Spread {
        double median = 0, min = 0, max = 0;
    };
    Spread client;
    Spread floor;      // all 0 when the figure has no floor
    double ratio = 0;  // the median of the per-pair ratios client / floor; 0 without a floor
    double ratioMin = 0, ratioMax = 0;
    int count = 0;

    bool hasFloor() const { return floor.median > 0; }
};

// `count` (at least kMinPairs) pairs of `client` and `floor`; an empty `floor` times the client
// alone, `count` times.
Pairs pairs(int count, const std::function<void()>& client, const std::function<void()>& floor = {});
// The same for work that times itself (untimed preparation before the timed part): each
// function returns its own milliseconds, a negative value for a failure (left out).
Pairs timedPairs(int count, const std::function<double()>& client, const std::function<double()>& floor = {});

// One statement as the client sends it: T-SQL text and its bound values.
struct Statement {
    QString tsql;
    QVariantList values;
};

// How a floor connection compares texts: with the client's collation and LIKE, or with the
// engine's own NOCASE (SQLite's ASCII-only case folding) behind the collation's name and the
// engine's own LIKE: the price of the suite's comparison, measured on the same statement.
enum class TextRules { Suite, EngineNocase };

// A libsqlite3 connection of its own on a database file, with the client's text collation.
class EngineFloor {
public:
    explicit EngineFloor(const QString& path, bool readOnly = false, TextRules rules = TextRules::Suite);
    ~EngineFloor();
    EngineFloor(const EngineFloor&) = delete;
    EngineFloor& operator=(const EngineFloor&) = delete;

    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }

    // Runs plain SQL (no values); false on failure, the message on stderr.
    bool exec(const QString& sql);
    // The statement (translated to SQLite's dialect) with its values: every row stepped and
    // every column read as text. The row count, -1 on failure.
    int readAll(const QString& tsql, const QVariantList& values = {});
    // The same, with every column read into the QString a grid shows (the least a client that
    // lists the rows must do with them).
    int readAllAsStrings(const QString& tsql, const QVariantList& values = {});
    // Fills the temporary value list `name` as the client's ValueList does: drop, create, then
    // inserts of up to ValueList::kRowsPerInsert rows each.
    void fillList(const QString& name, const QStringList& values);
    // The statements in order, in one IMMEDIATE transaction when `write`; milliseconds, -1 on
    // failure.
    double timeStatements(const QVector<Statement>& statements, bool write);

private:
    int step(const QString& tsql, const QVariantList& values, bool asStrings);

    sqlite3* m_db = nullptr;
};

// Prints one figure: the client's time beside the engine's floor and their ratio (a floor of
// 0 or less prints none), the row count and the goal.
void printRow(const QString& what, double clientMs, double floorMs, long long rows, const QString& goal);
// Prints a figure measured in pairs: the medians with their ranges (min-max), the median of the
// per-pair ratios, the row count and the goal; `floorName` names the floor column.
void printRow(const QString& what, const Pairs& p, long long rows, const QString& goal,
              const char* floorName = "engine");
void printHeading(const QString& text);

// A size such as "64M", "950M" or "1G" (K, M and G are powers of 1,024); -1 when unreadable.
qint64 parseSize(const QString& text);
// Writes `size` pseudo-random bytes to `path`, 1 MiB at a time; another seed gives other bytes.
bool makeSource(const QString& path, qint64 size, quint64 seed = 0x9E3779B97F4A7C15ull);
// The floor of a transfer: the file copied with read/write in 1 MiB pieces, then fsync of the
// copy. Milliseconds, -1 on failure.
double copyAndSyncMs(const QString& from, const QString& to);

// The first column of every row of a plain statement on the shared connection, as texts.
QStringList firstColumn(const QString& sql);
inline QString firstValue(const QString& sql) { return firstColumn(sql).value(0); }

// The process's peak and current resident memory, in MiB.
double peakMiB();
double residentMiB();

}  // namespace quarvel::bench
