#pragma once

// Shared by the permission tests: the statement checks against the schema and T-SQL.

#include "TestSupport.h"

#include "db/NamedStatement.h"
#include "db/SqlDialect.h"

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTest>

namespace quarvel::test {

// A row of 资料上传权限.
inline void permitUpload(TestDatabase& db, const QString& type, const QString& position)
{
    QVERIFY(db.insert(QStringLiteral("资料上传权限"),
                      {{QStringLiteral("文件编号"), type}, {QStringLiteral("岗位代号"), position}}));
}

// The stored types of the position in the order of writing.
inline QStringList uploadTypesOf(TestDatabase& db, const QString& position)
{
    QStringList out;
    QSqlQuery q(db.fixtureConnection());
    q.prepare(QStringLiteral("select 文件编号 from 资料上传权限 where 岗位代号 = ? order by rowid"));
    q.addBindValue(position);
    q.exec();
    while (q.next())
        out << q.value(0).toString();
    return out;
}

// Every statement prepares against the SQLite schema once translated.
inline void checkStatementsPrepare(TestDatabase& db, const QVector<NamedStatement>& statements)
{
    for (const auto& [name, sql] : statements) {
        QSqlQuery q(db.fixtureConnection());
        QVERIFY2(q.prepare(dialect::translate(sql, SqlEngine::Sqlite)),
                 qPrintable(name + QStringLiteral(": ") + q.lastError().text()));
    }
}

// Every statement parses as T-SQL (skipped when python3-sqlglot is missing).
inline void checkStatementsParseAsTsql(const QVector<NamedStatement>& statements)
{
    QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    QTemporaryFile file;
    QVERIFY(file.open());
    QString text;
    for (const auto& [name, sql] : statements)
        text += name + u'\n' + sql + QStringLiteral("\n----\n");
    file.write(text.toUtf8());
    file.close();
    QProcess p;
    p.start(python, {QStringLiteral(QUARVEL_SOURCE_DIR "/tests/db/check_tsql.py"), file.fileName()});
    QVERIFY(p.waitForFinished(120000));
    if (p.exitCode() == 3)
        QSKIP("python3-sqlglot is not installed");
    QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
}

}  // namespace quarvel::test
