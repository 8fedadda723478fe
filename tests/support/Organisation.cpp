#include "Organisation.h"

#include "login/UserContext.h"

namespace quarvel::test {

void Organisation::finance()
{
    departments({kFinance});
    positions({kAccountant});
    employees({kClerk});
}

void Organisation::departments(std::initializer_list<DepartmentRow> rows)
{
    for (const DepartmentRow& r : rows)
        m_db.addDepartment(r.code, r.name, r.parent);
}

void Organisation::positions(std::initializer_list<PositionRow> rows)
{
    for (const PositionRow& r : rows)
        m_db.addPosition(r.code, r.name, r.department, r.holder);
}

void Organisation::employees(std::initializer_list<EmployeeRow> rows)
{
    for (const EmployeeRow& r : rows)
        m_db.addEmployee(r.number, r.name, r.password, r.left);
}

void Organisation::assignments(std::initializer_list<AssignmentRow> rows)
{
    for (const AssignmentRow& r : rows)
        m_db.assign(r.employee, r.position, r.mainPosition, r.ended);
}

void Organisation::menuRight(const QString& group, const QString& position, const QString& form,
                             const QVariant& popedom)
{
    if (!m_db.scalar(QStringLiteral("select count(*) from 岗位权限设置 where 组代号 = ? and 岗位代号 = ?"),
                     {group, position})
             .toInt())
        m_db.insert(
            QStringLiteral("岗位权限设置"),
            {{QStringLiteral("组代号"), group}, {QStringLiteral("岗位代号"), position}, {QStringLiteral("授权"), 1}});
    m_db.insert(
        QStringLiteral("GroupPrivilege"),
        {{QStringLiteral("GroupID"), group}, {QStringLiteral("FormName"), form}, {QStringLiteral("Popedom"), popedom}});
}

bool WindowSuiteFixture::setUp(bool connect, bool strictMessages)
{
    userContext() = UserContext{};
    db = std::make_unique<TestDatabase>();
    if (!db->isValid() || (connect && !db->connectShared()))
        return false;
    platform = std::make_unique<TestPlatform>();
    platform->msgs().strict = strictMessages;
    return true;
}

void WindowSuiteFixture::tearDown()
{
    platform.reset();
    SharedConnection::release();
    db.reset();
    userContext() = UserContext{};
}

void WindowSuiteFixture::signIn(const QString& employee, const QString& department, const QString& position)
{
    userContext() = UserContext{};
    userContext().EmployeeNo = employee;
    userContext().DeptCode = department;
    userContext().PositionCode = position;
}

}  // namespace quarvel::test
