#pragma once

#include <QString>

#include <array>

namespace quarvel {

// Who is logged in and in which position: ten process-wide texts in a fixed order (the order
// of the start parameters and of a position choice), and the start parameters themselves.
struct UserContext {
    static constexpr int kFieldCount = 10;

    QString EmployeeNo;
    QString EmployeeName;
    QString DeptCode;
    QString DeptName;
    QString PositionCode;
    QString PositionName;
    QString DeptClassCode;
    QString DeptClassName;
    QString PositionClassCode;
    QString PositionClassName;

    // The whole command-line text; non-empty when the module launcher started the client.
    QString StartParameters;

    void clearFields();
    bool isSuperUser() const;

    // The ten fields in order.
    std::array<QString, kFieldCount> fields() const;
    // Copies ten values in order, trimmed of leading and trailing blanks when asked.
    void assign(const std::array<QString, kFieldCount>& values, bool trim);
    // Cuts the text at every "," and assigns the first ten parts, untrimmed. Fewer than ten
    // parts leave the fields unchanged and return false.
    bool assignFromStartParameters(const QString& text);
};

// The marker of the built-in super user in EmployeeNo.
inline QString superUserMarker() { return QStringLiteral("超级用户"); }

// The process-wide user context.
UserContext& userContext();

}  // namespace quarvel
