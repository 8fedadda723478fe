#include "TestSupport.h"

#include "db/Query.h"
#include "db/SqlDialect.h"

#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

class DialectTest : public QObject {
    Q_OBJECT

private slots:
    void sqlServerStatementsStayAsWritten()
    {
        const QString s = QStringLiteral("select top 50 a from t where len(b) > 1 and getdate() > c");
        QCOMPARE(dialect::translate(s, SqlEngine::SqlServer), s);
    }

    void sqliteRewrites_data()
    {
        QTest::addColumn<QString>("tsql");
        QTest::addColumn<QString>("sqlite");
        QTest::newRow("clock") << QStringLiteral("select getdate() as curDate")
                               << QStringLiteral("select datetime('now','localtime') as curDate");
        QTest::newRow("top") << QStringLiteral(" select top 1 文件类别 from 公司文件信息 where 文件类别 = ?")
                             << QStringLiteral(" select 文件类别 from 公司文件信息 where 文件类别 = ? limit 1");
        QTest::newRow("distinct top") << QStringLiteral("select distinct top 50 a from t order by a desc")
                                      << QStringLiteral("select distinct a from t order by a desc limit 50");
        QTest::newRow("len") << QStringLiteral("order by len(职能部门new.职能部门编号),职能部门new.职能部门编号")
                             << QStringLiteral(
                                    "order by length(rtrim(职能部门new.职能部门编号, ' ')),职能部门new.职能部门编号");
        QTest::newRow("nested len") << QStringLiteral("select LEN(rtrim(x)) from t")
                                    << QStringLiteral("select length(rtrim(rtrim(x), ' ')) from t");
        QTest::newRow("quoted len stays")
            << QStringLiteral("select 'len(x)' from t") << QStringLiteral("select 'len(x)' from t");
        QTest::newRow("isnull") << QStringLiteral("select isnull(a, 0) from t")
                                << QStringLiteral("select ifnull(a, 0) from t");
        QTest::newRow("lock hints") << QStringLiteral(
            "select top 1 ID from 公司文件信息 with (updlock, holdlock) where 编号 = ?")
                                    << QStringLiteral("select ID from 公司文件信息 where 编号 = ? limit 1");
        QTest::newRow("one hint, any case")
            << QStringLiteral("select a from t WITH(NOLOCK) join u with ( rowlock ) on 1=1")
            << QStringLiteral("select a from t join u on 1=1");
        QTest::newRow("quoted hint stays")
            << QStringLiteral("select 'x with (updlock)' from t") << QStringLiteral("select 'x with (updlock)' from t");
        QTest::newRow("top in a subquery")
            << QStringLiteral("select a from (select top 5 a from t order by a desc) as x order by a")
            << QStringLiteral("select a from (select a from t order by a desc limit 5) as x order by a");
        QTest::newRow("top in parentheses") << QStringLiteral("select TOP(3) a from t where b = ?")
                                            << QStringLiteral("select a from t where b = ? limit 3");
        QTest::newRow("bound top keeps its place")
            << QStringLiteral("select a from (select top (?) a from t where b = ? order by a desc) as x order by a")
            << QStringLiteral("select a from (with q_top1(n) as (select ?) select a from t where b = ? order by a desc"
                              " limit (select n from q_top1)) as x order by a");
        QTest::newRow("quoted top stays")
            << QStringLiteral("select 'select top 5 x' from t") << QStringLiteral("select 'select top 5 x' from t");
        QTest::newRow("common table expression stays")
            << QStringLiteral("with 最近 (a) as (select a from t) select a from 最近")
            << QStringLiteral("with 最近 (a) as (select a from t) select a from 最近");
        QTest::newRow("binary literals")
            << QStringLiteral("update t set 文件 = 0x, b = 0x0aFF, c = '0x1' where a0x1 = ?")
            << QStringLiteral("update t set 文件 = x'', b = x'0aFF', c = '0x1' where a0x1 = ?");
        QTest::newRow("appending to a long value")
            << QStringLiteral("update 公司文件信息 set 文件.WRITE(?, null, null) where ID = ?")
            << QStringLiteral("update 公司文件信息 set 文件 = cast(文件 || ? as blob) where ID = ?");
        QTest::newRow("a piece of a long value")
            << QStringLiteral("select SUBSTRING(文件, ?, ?) as 片段, 'substring(' from t")
            << QStringLiteral("select substr(文件, ?, ?) as 片段, 'substring(' from t");
    }

    void sqliteRewrites()
    {
        QFETCH(QString, tsql);
        QFETCH(QString, sqlite);
        QCOMPARE(dialect::translate(tsql, SqlEngine::Sqlite), sqlite);
    }

    void dateTimesBindCanonically()
    {
        const QDateTime dt(QDate(2026, 1, 2), QTime(3, 4, 5, 678));
        QCOMPARE(dialect::bindValue(dt, SqlEngine::Sqlite).toString(), QStringLiteral("2026-01-02 03:04:05"));
        QCOMPARE(dialect::bindValue(QDate(2026, 1, 2), SqlEngine::Sqlite).toString(),
                 QStringLiteral("2026-01-02 00:00:00"));
        QCOMPARE(dialect::bindValue(dt, SqlEngine::SqlServer).toDateTime(),
                 QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        QCOMPARE(dialect::toDateTime(QStringLiteral("2026-01-02 03:04:05")),
                 QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        QCOMPARE(dialect::toDateTime(QStringLiteral("2026/01/02 03:04:05")),
                 QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        QVERIFY(!dialect::toDateTime(QVariant()).isValid());
    }

    // The date filters: from the start day inclusive to the day after the end day, exclusive.
    void dateBoundsCompareOnSqlite()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        const QList<QDateTime> times = {
            QDateTime(QDate(2026, 3, 31), QTime(23, 59, 59)), QDateTime(QDate(2026, 4, 1), QTime(0, 0, 0)),
            QDateTime(QDate(2026, 4, 30), QTime(23, 59, 59)), QDateTime(QDate(2026, 5, 1), QTime(0, 0, 0))};
        for (int i = 0; i < times.size(); ++i)
            QVERIFY(db.insert(QStringLiteral("资料下载记录"), {{QStringLiteral("文件编号"), QString::number(i)},
                                                               {QStringLiteral("操作时间"), times[i]}}));
        Query q(
            QStringLiteral("select 文件编号 from 资料下载记录 where 操作时间 >= ? and 操作时间 < ? order by 文件编号"));
        q.bind({QDate(2026, 4, 1), QDate(2026, 4, 30).addDays(1)});
        QVERIFY(q.exec());
        QStringList found;
        while (q.next())
            found << q.text(u"文件编号");
        QCOMPARE(found, QStringList({QStringLiteral("1"), QStringLiteral("2")}));
    }

    // The bound row limit of a subquery binds before the values that follow it, on both engines.
    void boundRowLimitInSubquery()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        for (int i = 1; i <= 6; ++i)
            QVERIFY(db.insert(QStringLiteral("资料类型"),
                              {{QStringLiteral("编号"), QString::number(i)},
                               {QStringLiteral("名称"), i % 2 ? QStringLiteral("单") : QStringLiteral("双")}}));
        Query q(QStringLiteral("select 编号 from (select top (?) 编号 from 资料类型 where 名称 = ? order by 编号 desc)"
                               " as 最近 order by 编号"));
        q.bind({2, QStringLiteral("单")});
        QVERIFY(q.exec());
        QStringList found;
        while (q.next())
            found << q.text(u"编号");
        QCOMPARE(found, QStringList({QStringLiteral("3"), QStringLiteral("5")}));
    }

    // Canonical texts read as the same moment as the local date-time they were written from, also
    // across many rows (the zone offset is kept per hour).
    void canonicalTextsReadAsLocalTimes()
    {
        for (int day = 0; day < 400; day += 7) {
            for (int hour = 0; hour < 24; hour += 5) {
                const QDateTime local(QDate(2025, 1, 1).addDays(day), QTime(hour, 17, 42));
                const QDateTime read = dialect::toDateTime(dialect::canonicalDateTime(local));
                QCOMPARE(read, local);
                QCOMPARE(dialect::canonicalDateTime(read), dialect::canonicalDateTime(local));
            }
        }
        QVERIFY(!dialect::toDateTime(QStringLiteral("2026-02-30 03:04:05")).isValid());
        QVERIFY(!dialect::toDateTime(QStringLiteral("2026-0x-02 03:04:05")).isValid());
        QCOMPARE(dialect::toDateTime(QStringLiteral(" 2026-01-02 03:04:05 ")),
                 QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    }

    void columnsReadInAnyOrderAndSpelling()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        QVERIFY(db.insert(QStringLiteral("资料类型"), {{QStringLiteral("编号"), QStringLiteral("01")},
                                                       {QStringLiteral("名称"), QStringLiteral("制度")}}));
        QVERIFY(db.insert(QStringLiteral("资料类型"), {{QStringLiteral("编号"), QStringLiteral("02")},
                                                       {QStringLiteral("名称"), QStringLiteral("记录")}}));
        Query q(QStringLiteral("select 编号 as Code, 名称 from 资料类型 order by 编号"));
        QVERIFY(q.exec());
        QVERIFY(q.next());
        QCOMPARE(q.text(u"Code"), QStringLiteral("01"));
        QCOMPARE(q.text(u"名称"), QStringLiteral("制度"));
        QCOMPARE(q.text(u"code"), QStringLiteral("01"));
        QVERIFY(!q.hasColumn(u"说明"));
        QVERIFY(q.next());
        QCOMPARE(q.text(u"名称"), QStringLiteral("记录"));
        QCOMPARE(q.text(u"CODE"), QStringLiteral("02"));
        QCOMPARE(q.text(u"资料类型.名称"), QStringLiteral("记录"));
        QVERIFY(!q.hasColumn(u"说明"));
    }

    void lenIgnoresTrailingBlanksLikeSqlServer()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        Query q(QStringLiteral("select len('ab  ') as n, len(' ab') as m"));
        QVERIFY(q.exec());
        QVERIFY(q.next());
        QCOMPARE(q.integer(u"n"), 2);
        QCOMPARE(q.integer(u"m"), 3);
    }

    void nullsReadAsEmptyTextAndColumnsByName()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        QVERIFY(db.insert(QStringLiteral("资料类型"), {{QStringLiteral("编号"), QStringLiteral("01")},
                                                       {QStringLiteral("名称"), QStringLiteral("制度")}}));
        Query q(QStringLiteral("select 资料类型.编号, 说明, 终止日期 from 资料类型"));
        QVERIFY(q.exec());
        QVERIFY(q.next());
        QCOMPARE(q.text(u"资料类型.编号"), QStringLiteral("01"));
        QCOMPARE(q.text(u"编号"), QStringLiteral("01"));
        QVERIFY(q.isNull(u"说明"));
        QCOMPARE(q.text(u"说明"), QString(""));
        QVERIFY(!q.text(u"说明").isNull() || q.text(u"说明").isEmpty());
        QVERIFY(!q.dateTime(u"终止日期").isValid());
        QVERIFY(!q.next());
    }

    void failuresCarryNumberAndDescription()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        Query q(QStringLiteral("select * from 不存在的表"));
        QVERIFY(!q.exec());
        QVERIFY(q.error().number != 0);
        QVERIFY(q.error().description.contains(QStringLiteral("不存在的表")));
        QCOMPARE(formatError(q.error(), ErrorForm::NumberAndDescription),
                 QStringLiteral("错误号：%1\n错误描述：%2").arg(q.error().number).arg(q.error().description));
        QCOMPARE(formatError(DbError{7, QStringLiteral("x")}, ErrorForm::NumberPipeDescription), QStringLiteral("7|x"));
        QCOMPARE(formatError(DbError{7, QStringLiteral("x")}, ErrorForm::DescriptionOnly), QStringLiteral("x"));
    }

    void transactionRollsBackUnlessCommitted()
    {
        TestDatabase db;
        QVERIFY(db.connectShared());
        {
            Transaction t;
            QVERIFY(t.begun());
            QVERIFY(execute(QStringLiteral("insert into 资料下载组 (组ID, 组名称, 备注) values (?, ?, ?)"),
                            {QStringLiteral("G1"), QStringLiteral("组一"), QString()})
                        .ok());
        }
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from 资料下载组")).toInt(), 0);
        {
            Transaction t;
            QVERIFY(execute(QStringLiteral("insert into 资料下载组 (组ID, 组名称, 备注) values (?, ?, ?)"),
                            {QStringLiteral("G1"), QStringLiteral("组一"), QString()})
                        .ok());
            QVERIFY(t.commit());
        }
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from 资料下载组")).toInt(), 1);
    }
};

QTEST_MAIN(DialectTest)
#include "test_dialect.moc"
