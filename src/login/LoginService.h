#pragma once

#include "db/DbError.h"
#include "login/UserContext.h"

#include <QString>
#include <QVector>

#include <array>

namespace quarvel {

// One line of the position list: the ten user-context values in order (the employee number as
// typed first) and whether the assignment is the employee's main position.
struct PositionChoice {
    std::array<QString, UserContext::kFieldCount> values;
    bool mainPosition = false;

    // 职能部门名称 + " " + 岗位名称 + "(主要)" or "(兼职)".
    QString listText() const;
};

// The statements of the login: the employee check and the positions of an employee.
class LoginService {
public:
    static const QString& employeeCheckStatement();
    static const QString& positionStatement();

    // The built-in super user: "sysOp" / "lantor", compared exactly.
    static bool isSuperUserLogin(const QString& userName, const QString& password);

    // True when an employee has this number (as typed) and password (trimmed here).
    static DbResult<bool> checkEmployee(const QString& userName, const QString& password);

    // The current positions of an employee who has not left, in the server's order.
    static DbResult<QVector<PositionChoice>> positions(const QString& userName);
};

}  // namespace quarvel
