#pragma once

// Rows that the browse tests share: one department with two positions, an uploader, three
// types, and helpers for documents and their rights.

#include "Organisation.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QTest>

#include <memory>

namespace quarvel::test {

struct BrowseFixture {
    TestDatabase& db;

    bool setUp()
    {
        Organisation org(db);
        org.finance();
        org.positions({{"G02", "出纳", "D01"}});
        org.employees({{"0013", "王_%小明", "123"}});
        db.addType(QStringLiteral("01"), QStringLiteral("制度"), QVariant(), 0);
        db.addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        db.addType(QStringLiteral("0102"), QStringLiteral("财务制度"), QStringLiteral("01"), 1);
        return true;
    }

    // A document; `content` null for none.
    bool addDocument(const QString& number, const QString& name, const QString& type, const QDateTime& when,
                     const QString& extension = QStringLiteral("pdf"),
                     const QVariant& content = QByteArray("%PDF-1.4 content"),
                     const QString& uploader = QStringLiteral("0012"), const QVariant& keywords = QVariant())
    {
        return db.insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), number},
                                                          {QStringLiteral("文件名称"), name},
                                                          {QStringLiteral("文件类别"), type},
                                                          {QStringLiteral("摘要"), name + QStringLiteral("的摘要")},
                                                          {QStringLiteral("关键字"), keywords},
                                                          {QStringLiteral("文件级别"), 1},
                                                          {QStringLiteral("上传人工号"), uploader},
                                                          {QStringLiteral("上传日期"), when},
                                                          {QStringLiteral("部门"), QStringLiteral("D01")},
                                                          {QStringLiteral("岗位"), QStringLiteral("G01")},
                                                          {QStringLiteral("附件后缀"), extension},
                                                          {QStringLiteral("文件"), content}});
    }

    bool grant(const QString& number, const QString& position, int read, int download)
    {
        return db.insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), number},
                                                          {QStringLiteral("部门编号"), QStringLiteral("D01")},
                                                          {QStringLiteral("岗位代号"), position},
                                                          {QStringLiteral("下载"), download},
                                                          {QStringLiteral("查阅"), read}});
    }

    qint64 idOf(const QString& number)
    {
        return db.scalar(QStringLiteral("select ID from 公司文件信息 where 编号 = ?"), {number}).toLongLong();
    }

    int logRows() { return db.scalar(QStringLiteral("select count(*) from 资料下载记录")).toInt(); }
};

// A database of its own, shared as the client's connection, with the fixture's rows.
inline bool openBrowseDatabase(std::unique_ptr<TestDatabase>& db, std::unique_ptr<BrowseFixture>& fx)
{
    db = std::make_unique<TestDatabase>();
    if (!db->isValid() || !db->connectShared())
        return false;
    fx = std::make_unique<BrowseFixture>(BrowseFixture{*db});
    return fx->setUp();
}

inline QDateTime at(int month, int day, int hour = 9, int minute = 0)
{
    return QDateTime(QDate(2013, month, day), QTime(hour, minute));
}

}  // namespace quarvel::test
