#pragma once

// The setup the window suites share: a database built from the schema and opened as the shared
// connection, a platform of test doubles, an empty user context, and the organisation rows
// (departments, positions, employees, their assignments and the menu rights of positions)
// written from short tables.

#include "TestSupport.h"

#include <QString>
#include <QVariant>

#include <initializer_list>
#include <memory>

namespace quarvel::test {

struct DepartmentRow {
    QString code;
    QString name;
    QString parent = {};  // null for a top-level department
};

struct PositionRow {
    QString code;
    QString name;
    QString department;
    QString holder = {};  // employee number, empty for none
};

struct EmployeeRow {
    QString number;
    QString name;
    QString password;
    bool left = false;
};

struct AssignmentRow {
    QString employee;
    QString position;
    bool mainPosition = true;
    bool ended = false;
};

// The rows most suites start from: the finance department D01 "财务部", its accountant
// position G01 "会计" held by employee 0012 "员工甲" (password "123").
inline const DepartmentRow kFinance{QStringLiteral("D01"), QStringLiteral("财务部")};
inline const PositionRow kAccountant{QStringLiteral("G01"), QStringLiteral("会计"), QStringLiteral("D01"),
                                     QStringLiteral("0012")};
inline const EmployeeRow kClerk{QStringLiteral("0012"), QStringLiteral("员工甲"), QStringLiteral("123")};

class Organisation {
public:
    explicit Organisation(TestDatabase& db) : m_db(db) {}

    // kFinance, kAccountant and kClerk.
    void finance();
    void departments(std::initializer_list<DepartmentRow> rows);
    void positions(std::initializer_list<PositionRow> rows);
    void employees(std::initializer_list<EmployeeRow> rows);
    void assignments(std::initializer_list<AssignmentRow> rows);
    // A menu right: the position belongs to the rights group, which grants (popedom 1) or
    // refuses (0) the menu entry `form`.
    void menuRight(const QString& group, const QString& position, const QString& form, const QVariant& popedom);

private:
    TestDatabase& m_db;
};

// Owns what a window suite's init() builds and its cleanup() releases.
class WindowSuiteFixture {
public:
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TestPlatform> platform;

    // Builds the database (opened as the shared connection when `connect`), the platform and an
    // empty user context. Questions nobody answers fail the test (strict message boxes) unless
    // `strictMessages` is false. False when the database is not usable.
    bool setUp(bool connect = true, bool strictMessages = true);
    void tearDown();

    Organisation organisation() { return Organisation(*db); }
    ScriptedMessages& msgs() { return platform->msgs(); }
    // The user the windows work for.
    static void signIn(const QString& employee, const QString& department = {}, const QString& position = {});
};

}  // namespace quarvel::test
