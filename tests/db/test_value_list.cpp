// Value lists through Qt's ODBC driver on an SQLite file (the path the client takes to SQL
// Server): more values than SQL Server takes parameters in one statement, texts that must
// arrive as typed, the database's text comparison in joins, refills, two lists of one name,
// and the T-SQL that a fill sends, parsed as T-SQL.

#include "db/Connection.h"
#include "db/Query.h"
#include "db/ValueList.h"

#include "TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

namespace {

const QString kName = QStringLiteral("测试代码");

qlonglong count(const QString& sql, const QVariantList& values = {})
{
    Query q(sql);
    for (const QVariant& v : values)
        q.bind(v);
    if (!q.exec() || !q.next())
        return -1;
    return q.longInteger(u"n");
}

// 2,600 codes with the awkward ones among them: a quote, an empty text, a null, blanks at the
// end, other letter case, Chinese, wildcard characters and a repeat.
QStringList manyCodes()
{
    QStringList codes;
    for (int i = 0; i < 2590; ++i)
        codes << QStringLiteral("T%1").arg(i, 4, 10, QLatin1Char('0'));
    codes << QStringLiteral("a'b") << QString() << QStringLiteral("") << QStringLiteral("g01 ")
          << QStringLiteral("财务类") << QStringLiteral("50%_x") << QStringLiteral("T0001") << QStringLiteral("x\"y")
          << QStringLiteral("--") << QStringLiteral(";drop table 资料类型");
    return codes;
}

}  // namespace

class ValueListTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>(TestDatabase::Access::Odbc);
        QVERIFY(db->isValid());
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
            QSKIP("Qt's ODBC driver is not installed");
        db->addType(QStringLiteral("G01"), QStringLiteral("制度"), {}, 1);
        db->addType(QStringLiteral("a'b"), QStringLiteral("引号"), {}, 1);
        db->addType(QStringLiteral("Z99"), QStringLiteral("不在列表"), {}, 1);
        const DbStatus opened = db->openShared();
        if (!opened.ok())
            QSKIP(qPrintable(QStringLiteral("the SQLite ODBC driver is not available: ") + opened.error.description));
        QCOMPARE(SharedConnection::database().driverName(), QStringLiteral("QODBC"));
    }

    void cleanup()
    {
        SharedConnection::release();
        db.reset();
    }

    void moreValuesThanOneStatementTakes()
    {
        const QStringList codes = manyCodes();
        ValueList list(kName);
        const DbStatus filled = list.fill(codes);
        QVERIFY2(filled.ok(), qPrintable(filled.error.description));
        QVERIFY(list.isCurrent());
        QCOMPARE(list.size(), codes.size());
        QCOMPARE(count(QStringLiteral("select count(*) as n from ") + list.table()), qlonglong(codes.size()));
        // Every text arrived as it was typed (a null as an empty text).
        QCOMPARE(count(QStringLiteral("select count(*) as n from ") + list.table() + QStringLiteral(" where 值 = ?"),
                       {QStringLiteral(";drop table 资料类型")}),
                 1);
        QCOMPARE(count(QStringLiteral("select count(*) as n from ") + list.table() + QStringLiteral(" where 值 = ?"),
                       {QStringLiteral("")}),
                 2);
        QCOMPARE(count(QStringLiteral("select count(*) as n from ") + list.table() + QStringLiteral(" where 值 = ?"),
                       {QStringLiteral("50%_x")}),
                 1);
        // Joined with a table, the list compares as the database does: "g01 " finds G01.
        QCOMPARE(count(QStringLiteral("select count(*) as n from 资料类型 where 编号 in (") + list.select()
                       + QStringLiteral(")")),
                 2);

        // Filled again with fewer: only those.
        QVERIFY(list.fill(codes.mid(0, 2101)).ok());
        QCOMPARE(count(QStringLiteral("select count(*) as n from ") + list.table()), 2101);
        QCOMPARE(count(QStringLiteral("select count(*) as n from 资料类型 where 编号 in (") + list.select()
                       + QStringLiteral(")")),
                 0);
        QVERIFY(list.fill({}).ok());
        QCOMPARE(count(QStringLiteral("select count(*) as n from ") + list.table()), 0);
    }

    void twoListsOfOneName()
    {
        auto first = std::make_unique<ValueList>(kName);
        QVERIFY(first->fill({QStringLiteral("G01")}).ok());
        ValueList second(kName);
        QVERIFY(second.fill({QStringLiteral("Z99"), QStringLiteral("a'b")}).ok());
        QVERIFY(!first->isCurrent());
        QVERIFY(second.isCurrent());
        // The first one's end leaves the table to the second.
        first.reset();
        QCOMPARE(count(QStringLiteral("select count(*) as n from ") + second.table()), 2);
        second.drop();
        {
            Query gone(QStringLiteral("select count(*) as n from ") + second.table());
            QVERIFY(!gone.exec());
        }

        // A new shared connection has none of the old one's tables.
        ValueList third(kName);
        QVERIFY(third.fill({QStringLiteral("G01")}).ok());
        QVERIFY(db->openShared().ok());
        QVERIFY(!third.isCurrent());
    }

    void fillStatementsAreBoundTsql()
    {
        const QStringList codes = manyCodes();
        const auto sent = ValueList::fillStatements(kName, SqlEngine::Sqlite, codes.size());
        const auto tsql = ValueList::fillStatements(kName, SqlEngine::SqlServer, codes.size());
        QCOMPARE(sent.size(), tsql.size());
        QCOMPARE(sent.size(), 2 + 6);  // drop, create, five inserts of 500 and one of 100
        // The parser reads no IF statement: the drop's guard is checked on its own, the drop
        // without it.
        static const QRegularExpression guard(QStringLiteral(R"(^if object_id\('tempdb\.\.#测试代码'\) is not null )"));
        QVERIFY(guard.match(tsql.at(0).tsql).hasMatch());
        qsizetype bound = 0;
        QString text;
        for (qsizetype i = 0; i < tsql.size(); ++i) {
            const ValueList::Statement& s = tsql.at(i);
            QCOMPARE(s.tsql.count(u'?'), s.values);
            QVERIFY(s.values <= ValueList::kRowsPerInsert);
            QVERIFY(s.values < 2100);
            if (s.values > 0)
                QCOMPARE(sent.at(i).tsql, s.tsql);               // the inserts are the same T-SQL on both engines
            QVERIFY(!s.tsql.contains(QStringLiteral("T0001")));  // no value in any text
            bound += s.values;
            text += QStringLiteral("fill %1\n").arg(i) + QString(s.tsql).remove(guard) + QStringLiteral("\n----\n");
        }
        QCOMPARE(bound, codes.size());

        // Debian's own interpreter first: python3-sqlglot is installed for it.
        QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
        if (python.isEmpty())
            python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        const QString checker = QStringLiteral(QUARVEL_SOURCE_DIR "/tests/db/check_tsql.py");
        QVERIFY2(QFileInfo::exists(checker), qPrintable(checker));
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(text.toUtf8());
        file.close();
        QProcess p;
        p.start(python, {checker, file.fileName()});
        QVERIFY(p.waitForFinished(120000));
        if (p.exitCode() == 3)
            QSKIP("python3-sqlglot is not installed");
        QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
    }
};

QTEST_GUILESS_MAIN(ValueListTest)
#include "test_value_list.moc"
