#pragma once

// Breaks a change off at every one of its statements (or transfer pieces) in turn, through the
// window that sends it, and checks what each break leaves: the database exactly as before (or,
// for a break after the change was stored, exactly as a clean run leaves it), the failure
// reported in the window's own message form, and the window still able to do the change.

#include "DatabaseFingerprint.h"
#include "TestSupport.h"

#include "db/FaultInjection.h"
#include "platform/MessageBoxes.h"

#include <QSet>
#include <QSqlQuery>
#include <QTest>
#include <QVector>

#include <functional>

namespace quarvel::test {

// One way a window reports a failed change.
struct FailureReport {
    ErrorForm form;
    QString title;
    MsgIcon icon = MsgIcon::Information;
};

// A change driven through its window.
struct ChangeUnderTest {
    // Opens the window and takes every step of the user up to the last one; nothing counted.
    std::function<void()> prepare;
    // The user's last step, which sends the change. Runs again after a failure, in the same
    // window, so it queues its own answers to questions.
    std::function<void()> perform;
    // Closes the window and removes what the run left outside the database.
    std::function<void()> finish = [] {};
    // Further checks after a failed run (files, fields of the window).
    std::function<void()> checkUndone = [] {};
    // How a failure of the change may be reported.
    QVector<FailureReport> reports;
    // Columns that differ between clean runs (time stamps of the server clock).
    QSet<QString> ignoredColumns;
};

struct SweepCounts {
    int sent = 0;       // statements (or pieces) the change sends when nothing fails
    int faults = 0;     // planned failures that happened
    int undone = 0;     // ... that left the database exactly as before
    int completed = 0;  // ... that hit a statement after the change was stored whole
    qint64 rowsLost = 0;
};

enum class FaultKind { Statement, Piece };

inline QString describe(const ScriptedMessages& msgs)
{
    QStringList out;
    for (const auto& s : msgs.shown)
        out << QStringLiteral("[%1] %2").arg(s.title, s.text);
    return out.join(QStringLiteral(" / "));
}

// True when one of the shown messages reports `error` in one of the forms.
inline bool reported(const ScriptedMessages& msgs, const DbError& error, const QVector<FailureReport>& forms)
{
    for (const auto& shown : msgs.shown) {
        for (const FailureReport& f : forms) {
            if (shown.text == formatError(error, f.form) && shown.title == f.title && shown.icon == f.icon)
                return true;
        }
    }
    return false;
}

inline bool mentioned(const ScriptedMessages& msgs, const DbError& error)
{
    for (const auto& shown : msgs.shown) {
        if (shown.text.contains(error.description))
            return true;
    }
    return false;
}

// Runs the sweep; the counts go to `counts`. Fails the running test on the first fault.
inline void sweep(TestDatabase& db, ScriptedMessages& msgs, const ChangeUnderTest& change, FaultKind kind,
                  SweepCounts& counts)
{
    const QSqlDatabase fixture = db.fixtureConnection();
    // Many commits and restores follow: durability against a power cut does not matter here, so
    // neither connection waits for the disk to sync.
    for (const QSqlDatabase& connection : {fixture, SharedConnection::database()})
        QSqlQuery(connection).exec(QStringLiteral("PRAGMA synchronous = OFF"));
    DatabaseSnapshot start(fixture);
    QVERIFY2(start.isValid(), qPrintable(start.error()));
    const auto fingerprint = [&] { return DatabaseFingerprint::of(fixture, change.ignoredColumns); };
    const DatabaseFingerprint before = fingerprint();
    QVERIFY2(before.isValid(), qPrintable(before.error()));

    // A clean run: how many statements or pieces the change sends, and what it leaves.
    msgs.shown.clear();
    change.prepare();
    if (QTest::currentTestFailed())
        return;
    msgs.shown.clear();
    FaultInjection::countOnly();
    change.perform();
    counts.sent = kind == FaultKind::Statement ? FaultInjection::statements() : FaultInjection::pieces();
    FaultInjection::disarm();
    if (QTest::currentTestFailed())
        return;
    const DatabaseFingerprint after = fingerprint();
    QVERIFY2(after != before, qPrintable(QStringLiteral("the change stored nothing: ") + describe(msgs)));
    change.finish();
    QVERIFY2(start.restore(fixture), qPrintable(start.error()));
    QVERIFY(counts.sent > 0);

    for (int k = 1; k <= counts.sent; ++k) {
        const QString at = QStringLiteral("%1 %2 of %3")
                               .arg(kind == FaultKind::Statement ? QStringLiteral("statement")
                                                                 : QStringLiteral("piece"))
                               .arg(k)
                               .arg(counts.sent);
        msgs.shown.clear();
        change.prepare();
        if (QTest::currentTestFailed())
            return;
        msgs.shown.clear();
        if (kind == FaultKind::Statement)
            FaultInjection::failStatement(k);
        else
            FaultInjection::failPiece(k);
        change.perform();
        const bool fired = FaultInjection::fired();
        const DbError injected = FaultInjection::injected();
        FaultInjection::disarm();
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(fired, qPrintable(at + QStringLiteral(": the change sent less than in the clean run")));
        ++counts.faults;

        const DatabaseFingerprint now = fingerprint();
        QVERIFY2(now.isValid(), qPrintable(now.error()));
        if (now == before) {
            ++counts.undone;
            QVERIFY2(reported(msgs, injected, change.reports),
                     qPrintable(at + QStringLiteral(": not reported in the window's form: ") + describe(msgs)));
            change.checkUndone();
            if (QTest::currentTestFailed())
                return;
            // The window goes on: the same step again stores the whole change.
            msgs.shown.clear();
            change.perform();
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(fingerprint() == after,
                     qPrintable(at + QStringLiteral(": the retry after the failure stored ")
                                + fingerprint().differenceFrom(after) + QStringLiteral(" / ") + describe(msgs)));
        } else {
            // Only a whole change may have stayed, and the failure still may not go unsaid.
            QVERIFY2(now == after, qPrintable(at + QStringLiteral(": a part of the change stayed: ")
                                              + now.differenceFrom(before) + QStringLiteral(" / ") + describe(msgs)));
            QVERIFY2(mentioned(msgs, injected), qPrintable(at + QStringLiteral(": the failure went unsaid")));
            ++counts.completed;
        }
        counts.rowsLost += qMax<qint64>(0, qMin(before.totalRows(), after.totalRows()) - now.totalRows());
        change.finish();
        QVERIFY2(start.restore(fixture), qPrintable(start.error()));
    }
}

}  // namespace quarvel::test
