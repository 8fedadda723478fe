#pragma once

// A small company with an access log for the statistics tests: departments D01 (with D0101
// below it) and D02, types 01 (with 0101) and 02, employees E1 to E3, and log rows added by
// the tests.

#include "Organisation.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QTest>

namespace quarvel::test {

inline void addStatisticsCompany(TestDatabase& db)
{
    Organisation org(db);
    org.departments({kFinance, {"D0101", "会计组", "D01"}, {"D02", "销售部"}});
    org.employees({{"E1", "张三", "1"}, {"E2", "李四", "1"}, {"E3", "王五", "1"}});
    db.addType(QStringLiteral("01"), QStringLiteral("制度"), QVariant(), 0);
    db.addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
    db.addType(QStringLiteral("02"), QStringLiteral("合同"), QVariant(), 0);
}

struct LogRow {
    QString number, name, type, employee, department;
    bool read = true;
    QDateTime time = QDateTime(QDate(2026, 5, 10), QTime(10, 0));
    QString summary = QStringLiteral("摘要");
};

inline bool addLog(TestDatabase& db, const LogRow& r)
{
    return db.insert(QStringLiteral("资料下载记录"), {{QStringLiteral("文件编号"), r.number},
                                                      {QStringLiteral("文件名称"), r.name},
                                                      {QStringLiteral("文件类别"), r.type},
                                                      {QStringLiteral("摘要"), r.summary},
                                                      {QStringLiteral("工号"), r.employee},
                                                      {QStringLiteral("部门"), r.department},
                                                      {QStringLiteral("岗位"), QStringLiteral("G1")},
                                                      {QStringLiteral("阅读"), r.read ? 1 : 0},
                                                      {QStringLiteral("下载"), r.read ? 0 : 1},
                                                      {QStringLiteral("操作时间"), r.time}});
}

}  // namespace quarvel::test
