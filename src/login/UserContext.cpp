#include "login/UserContext.h"

#include <QStringList>

namespace quarvel {

void UserContext::clearFields() { assign({}, false); }

bool UserContext::isSuperUser() const { return EmployeeNo == superUserMarker(); }

std::array<QString, UserContext::kFieldCount> UserContext::fields() const
{
    return {EmployeeNo,   EmployeeName,  DeptCode,      DeptName,          PositionCode,
            PositionName, DeptClassCode, DeptClassName, PositionClassCode, PositionClassName};
}

void UserContext::assign(const std::array<QString, kFieldCount>& v, bool trim)
{
    auto take = [trim](const QString& s) { return trim ? s.trimmed() : s; };
    EmployeeNo = take(v[0]);
    EmployeeName = take(v[1]);
    DeptCode = take(v[2]);
    DeptName = take(v[3]);
    PositionCode = take(v[4]);
    PositionName = take(v[5]);
    DeptClassCode = take(v[6]);
    DeptClassName = take(v[7]);
    PositionClassCode = take(v[8]);
    PositionClassName = take(v[9]);
}

bool UserContext::assignFromStartParameters(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() < kFieldCount)
        return false;
    std::array<QString, kFieldCount> values;
    for (int i = 0; i < kFieldCount; ++i)
        values[static_cast<size_t>(i)] = parts.at(i);
    assign(values, false);
    return true;
}

UserContext& userContext()
{
    static UserContext context;
    return context;
}

}  // namespace quarvel
