#pragma once

// The company of the statistics tests with positions, a document, its rights, download groups
// and upload rights, for the reports on readers, reading coverage and effective rights:
//   G1 会计 (D01, E1 张三), G2 出纳 (D01, E2 李四, E1 part-time), G3 销售代表 (D02, E3 王五),
//   G4 销售内勤 (D02, vacant);
//   document ZD-1 "考勤制度" of type 0101; rights: G1 read and download, G2 read only,
//   G3 download only, G4 read; group Z1 "财务组" holds G1 and G2, Z2 "全员" holds G3;
//   G1 may upload to 0101 and 02.

#include "StatisticsFixture.h"

namespace quarvel::test {

inline void addReaderReportsCompany(TestDatabase& db)
{
    addStatisticsCompany(db);
    db.addPosition(QStringLiteral("G1"), QStringLiteral("会计"), QStringLiteral("D01"), QStringLiteral("E1"));
    db.addPosition(QStringLiteral("G2"), QStringLiteral("出纳"), QStringLiteral("D01"), QStringLiteral("E2"));
    db.addPosition(QStringLiteral("G3"), QStringLiteral("销售代表"), QStringLiteral("D02"), QStringLiteral("E3"));
    db.addPosition(QStringLiteral("G4"), QStringLiteral("销售内勤"), QStringLiteral("D02"));
    db.assign(QStringLiteral("E1"), QStringLiteral("G1"), true);
    db.assign(QStringLiteral("E2"), QStringLiteral("G2"), true);
    db.assign(QStringLiteral("E1"), QStringLiteral("G2"), false);
    db.assign(QStringLiteral("E3"), QStringLiteral("G3"), true);
    db.assign(QStringLiteral("E3"), QStringLiteral("G4"), false, true);  // ended: no holder
    db.insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), QStringLiteral("ZD-1")},
                                               {QStringLiteral("文件名称"), QStringLiteral("考勤制度")},
                                               {QStringLiteral("文件类别"), QStringLiteral("0101")},
                                               {QStringLiteral("附件后缀"), QStringLiteral("pdf")}});
    db.insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), QStringLiteral("HT-2")},
                                               {QStringLiteral("文件名称"), QStringLiteral("销售合同范本")},
                                               {QStringLiteral("文件类别"), QStringLiteral("02")},
                                               {QStringLiteral("附件后缀"), QStringLiteral("doc")}});
    const auto right = [&db](const char* doc, const char* dept, const char* deptName, const char* pos,
                             const char* posName, int download, int read) {
        db.insert(QStringLiteral("资料下载权限"),
                  {{QStringLiteral("文件编号"), QString::fromUtf8(doc)},
                   {QStringLiteral("部门编号"), QString::fromUtf8(dept)},
                   {QStringLiteral("部门名称"), QString::fromUtf8(deptName)},
                   {QStringLiteral("岗位代号"), QString::fromUtf8(pos)},
                   {QStringLiteral("岗位名称"), QString::fromUtf8(posName)},
                   {QStringLiteral("下载"), download},
                   {QStringLiteral("查阅"), read},
                   {QStringLiteral("updatedate"), QStringLiteral("2026/05/01 09:00:00")},
                   {QStringLiteral("CzyID"), QStringLiteral("E1")}});
    };
    right("ZD-1", "D01", "财务部", "G1", "会计", 1, 1);
    right("ZD-1", "D01", "财务部", "G2", "出纳", 0, 1);
    right("ZD-1", "D02", "销售部", "G3", "销售代表", 1, 0);
    right("ZD-1", "D02", "销售部", "G4", "销售内勤", 0, 1);
    right("HT-2", "D02", "销售部", "G3", "销售代表", 1, 1);
    db.insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QStringLiteral("Z1")},
                                             {QStringLiteral("组名称"), QStringLiteral("财务组")},
                                             {QStringLiteral("备注"), QStringLiteral("")}});
    db.insert(QStringLiteral("资料下载组"), {{QStringLiteral("组ID"), QStringLiteral("Z2")},
                                             {QStringLiteral("组名称"), QStringLiteral("全员")},
                                             {QStringLiteral("备注"), QStringLiteral("")}});
    for (const auto& [group, position] : {std::pair{"Z1", "G1"}, {"Z1", "G2"}, {"Z2", "G3"}})
        db.insert(QStringLiteral("资料下载组详细"), {{QStringLiteral("组id"), QString::fromUtf8(group)},
                                                     {QStringLiteral("岗位代号"), QString::fromUtf8(position)}});
    for (const char* type : {"0101", "02"})
        db.insert(QStringLiteral("资料上传权限"), {{QStringLiteral("文件编号"), QString::fromUtf8(type)},
                                                   {QStringLiteral("岗位代号"), QStringLiteral("G1")}});
}

// One access of an employee from a position.
inline bool addAccess(TestDatabase& db, const QString& number, const QString& employee, const QString& department,
                      const QString& position, bool read, const QDateTime& time)
{
    return db.insert(QStringLiteral("资料下载记录"), {{QStringLiteral("文件编号"), number},
                                                      {QStringLiteral("文件名称"), QStringLiteral("考勤制度")},
                                                      {QStringLiteral("文件类别"), QStringLiteral("0101")},
                                                      {QStringLiteral("摘要"), QStringLiteral("摘要")},
                                                      {QStringLiteral("工号"), employee},
                                                      {QStringLiteral("部门"), department},
                                                      {QStringLiteral("岗位"), position},
                                                      {QStringLiteral("阅读"), read ? 1 : 0},
                                                      {QStringLiteral("下载"), read ? 0 : 1},
                                                      {QStringLiteral("操作时间"), time}});
}

}  // namespace quarvel::test
