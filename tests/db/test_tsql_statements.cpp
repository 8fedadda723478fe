#include "TestSupport.h"

#include "StatementCatalog.h"
#include "db/SqlDialect.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class TsqlStatementsTest : public QObject {
    Q_OBJECT

private slots:
    void everyStatementPreparesOnSqlite()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        const auto catalog = statementCatalog();
        QVERIFY(!catalog.isEmpty());
        // Value lists ("[#name]") are temporary tables that the client fills before the
        // statement that reads them runs; here they are created empty, as ValueList does.
        static const QRegularExpression valueList(QStringLiteral(R"(\[#([^\]]+)\])"));
        for (const CatalogEntry& e : catalog) {
            for (auto it = valueList.globalMatch(e.tsql); it.hasNext();) {
                const QString table = it.next().captured(0);
                QSqlQuery create(db.fixtureConnection());
                QVERIFY2(create.exec(QStringLiteral("create temp table if not exists ") + table
                                     + QStringLiteral(" (值 text not null)")),
                         qPrintable(e.name + QStringLiteral(": ") + create.lastError().text()));
            }
            QSqlQuery q(db.fixtureConnection());
            QVERIFY2(q.prepare(dialect::translate(e.tsql, SqlEngine::Sqlite)),
                     qPrintable(e.name + QStringLiteral(": ") + q.lastError().text()));
        }
    }

    void everyStatementParsesAsTsql()
    {
        // Debian's own interpreter first: python3-sqlglot is installed for it.
        QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
        if (python.isEmpty())
            python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        QTemporaryFile file;
        QVERIFY(file.open());
        QString text;
        for (const CatalogEntry& e : statementCatalog() + serverOnlyStatements())
            text += e.name + u'\n' + e.tsql + QStringLiteral("\n----\n");
        file.write(text.toUtf8());
        file.close();

        QProcess p;
        p.start(python, {QStringLiteral(QUARVEL_SOURCE_DIR "/tests/db/check_tsql.py"), file.fileName()});
        QVERIFY(p.waitForFinished(120000));
        if (p.exitCode() == 3)
            QSKIP("python3-sqlglot is not installed");
        QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
    }
};

QTEST_MAIN(TsqlStatementsTest)
#include "test_tsql_statements.moc"
