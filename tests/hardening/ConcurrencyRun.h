#pragma once

// Several client processes on one SQLite file: the driver builds the database, starts the
// workers (concurrency_worker), waits for them within a time bound and checks what they left
// behind. Shared by the CTest test and the benchmark command.

#include <QString>
#include <QStringList>

namespace quarvel::concurrency {

// Employees, positions, types and documents that every worker finds at its start.
inline constexpr int kWorkerSlots = 16;         // one employee and position per possible worker
inline constexpr int kSeedDocuments = 12;       // documents present before the workers start
inline constexpr int kTypes = 8;                // leaf types under one top-level type
inline constexpr const char* kGroup = "G-ALL";  // a download group holding every position

// The employee number, position and department of worker `index` (0-based).
QString employeeOf(int index);
QString positionOf(int index);
QString departmentOf(int index);
QString typeCodeOf(int index);

// What one worker reports on its last line of output.
struct WorkerReport {
    int operations = 0;
    int succeeded = 0;
    int numberTaken = 0;    // uploads refused because another client added the number first
    int busyAfterWait = 0;  // "database busy" after the full busy time-out
    int busyTooEarly = 0;   // "database busy" before the busy time-out had passed
    int failed = 0;         // any other failure
    int logged = 0;         // access-log rows the worker was told were written
    int uploaded = 0;       // documents the worker was told were added
    qint64 maxWaitMs = 0;   // the longest single operation
    qint64 elapsedMs = 0;
    QStringList failures;  // the first few failure texts

    QString toLine() const;
    static bool fromLine(const QString& line, WorkerReport* report);
};

struct RunOptions {
    QString folder;  // where the database and the workers' files go
    int workers = 4;
    int operations = 400;       // in all, shared out among the workers
    QString journal;            // "" = as the schema and the connection leave it; "wal"; "delete"
    int timeLimitSeconds = 60;  // workers still running after this are killed and the run fails
    int busyTimeoutMs = 0;      // 0 = the client's own
    quint32 seed = 1;
};

struct RunResult {
    bool completed = false;  // every worker finished in time and reported
    QString journalMode;     // as the database reported it after the run
    int operations = 0;
    int succeeded = 0;
    int numberTaken = 0;
    int busyAfterWait = 0;
    int busyTooEarly = 0;
    int failed = 0;
    qint64 maxWaitMs = 0;
    qint64 elapsedMs = 0;
    int loggedByWorkers = 0;
    int logRows = 0;
    int logRowsPerWorkerMismatch = 0;  // workers whose own rows differ from what they were told
    int uploadedByWorkers = 0;
    int documentRows = 0;      // rows added during the run
    int duplicateNumbers = 0;  // numbers stored more than once
    QStringList failures;

    int lostLogRows() const { return loggedByWorkers - logRows; }
    // Every check of the run holds.
    bool sound() const;
    QString summary() const;
};

// Builds the database in options.folder and runs the workers.
RunResult run(const RunOptions& options);

// The worker's own main: arguments DATABASE INDEX OPERATIONS SEED [BUSY_TIMEOUT_MS].
int workerMain(int argc, char** argv);

}  // namespace quarvel::concurrency
