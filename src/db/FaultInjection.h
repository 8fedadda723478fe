#pragma once

#include "db/DbError.h"

#include <QString>

#include <atomic>
#include <optional>

namespace quarvel {

// Planned failures for the tests of what a change leaves behind when it breaks off half-way.
// Armed, it counts the statements that the data layer sends on the arming thread (every Query
// executed, and the begin and the commit of every Transaction) and the pieces of every content
// transfer, and makes the one with the chosen number fail with kInjectedFault instead of
// running. It fires once; the counting goes on until it is disarmed. The client never arms it:
// disarmed, the data layer pays one relaxed atomic load per statement and per piece.
class FaultInjection {
public:
    // Error number of a planned failure.
    static constexpr int kInjectedFault = -90;

    // Counting starts again from 0; the statement numbered n (from 1) will fail.
    static void failStatement(int n);
    // Counting starts again from 0; the transfer piece numbered n (from 1) will fail.
    static void failPiece(int n);
    // Counting starts again from 0 and nothing fails.
    static void countOnly();
    static void disarm();

    // Since the last arming: whether the planned failure happened, and what was counted.
    static bool fired();
    static int statements();
    static int pieces();
    // The error that the planned failure gave.
    static DbError injected();

    static bool isArmed() { return s_armed.load(std::memory_order_relaxed); }

    // Asked by the data layer before a statement or a piece: the error to give instead of
    // running it, or nothing.
    static std::optional<DbError> beforeStatement()
    {
        if (!isArmed())
            return std::nullopt;
        return next(Kind::Statement);
    }
    static std::optional<DbError> beforePiece()
    {
        if (!isArmed())
            return std::nullopt;
        return next(Kind::Piece);
    }

private:
    enum class Kind { Statement, Piece };
    static std::optional<DbError> next(Kind kind);
    static void arm(Kind kind, int n);

    static std::atomic<bool> s_armed;
};

}  // namespace quarvel
