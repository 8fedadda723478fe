#include "db/FaultInjection.h"

#include <QMutex>
#include <QMutexLocker>

#include <thread>

namespace quarvel {
namespace {

struct Plan {
    QMutex mutex;
    std::thread::id thread;
    bool failStatements = false;  // which counter the target applies to
    int target = 0;               // 0: count only
    int statements = 0;
    int pieces = 0;
    bool fired = false;
    DbError error;
};

Plan& plan()
{
    static Plan p;
    return p;
}

}  // namespace

std::atomic<bool> FaultInjection::s_armed{false};

void FaultInjection::arm(Kind kind, int n)
{
    Plan& p = plan();
    QMutexLocker lock(&p.mutex);
    p.thread = std::this_thread::get_id();
    p.failStatements = kind == Kind::Statement;
    p.target = n;
    p.statements = 0;
    p.pieces = 0;
    p.fired = false;
    p.error = {};
    s_armed.store(true, std::memory_order_relaxed);
}

void FaultInjection::failStatement(int n) { arm(Kind::Statement, n); }

void FaultInjection::failPiece(int n) { arm(Kind::Piece, n); }

void FaultInjection::countOnly() { arm(Kind::Statement, 0); }

void FaultInjection::disarm() { s_armed.store(false, std::memory_order_relaxed); }

bool FaultInjection::fired()
{
    Plan& p = plan();
    QMutexLocker lock(&p.mutex);
    return p.fired;
}

int FaultInjection::statements()
{
    Plan& p = plan();
    QMutexLocker lock(&p.mutex);
    return p.statements;
}

DbError FaultInjection::injected()
{
    Plan& p = plan();
    QMutexLocker lock(&p.mutex);
    return p.error;
}

int FaultInjection::pieces()
{
    Plan& p = plan();
    QMutexLocker lock(&p.mutex);
    return p.pieces;
}

std::optional<DbError> FaultInjection::next(Kind kind)
{
    Plan& p = plan();
    QMutexLocker lock(&p.mutex);
    if (std::this_thread::get_id() != p.thread)
        return std::nullopt;  // other clients' threads run as they are
    const bool statement = kind == Kind::Statement;
    const int number = statement ? ++p.statements : ++p.pieces;
    if (p.fired || p.target == 0 || statement != p.failStatements || number != p.target)
        return std::nullopt;
    p.fired = true;
    p.error = DbError::make(kInjectedFault, (statement ? QStringLiteral("模拟故障：第%1条语句未能执行")
                                                       : QStringLiteral("模拟故障：第%1段内容未能传输"))
                                                .arg(number));
    return p.error;
}

}  // namespace quarvel
