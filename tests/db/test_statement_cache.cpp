// Reading statements run again reuse their prepared form: the results must be those of a
// fresh statement every time, nested runs of the same text must not disturb each other, a
// statement left unread must not keep the database locked, and a connection closed and opened
// again must still run them.

#include "TestSupport.h"

#include "db/Connection.h"
#include "db/Query.h"

#include <QTest>

#include <sqlite3.h>

using namespace quarvel;
using namespace quarvel::test;

namespace {

const QString kByNumber = QStringLiteral("select 文件名称 from 公司文件信息 where 编号 = ?");
const QString kFrom = QStringLiteral("select 编号 from 公司文件信息 where ID >= ? order by ID");

void addDocuments(TestDatabase& db, int count)
{
    for (int i = 1; i <= count; ++i)
        db.insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), QStringLiteral("N%1").arg(i)},
                                                   {QStringLiteral("文件名称"), QStringLiteral("文件%1").arg(i)}});
}

QString nameOf(const QString& number)
{
    Query q(kByNumber);
    q.bind(number);
    if (!q.exec() || !q.next())
        return QStringLiteral("<none>");
    return q.text(u"文件名称");
}

QStringList numbersFrom(int id)
{
    Query q(kFrom);
    q.bind(id);
    QStringList out;
    if (!q.exec())
        return {QStringLiteral("<failed>")};
    while (q.next())
        out << q.text(u"编号");
    return out;
}

}  // namespace

class StatementCacheTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SharedConnection::release(); }

    void runAgainWithOtherValues()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        addDocuments(db, 5);
        QVERIFY(db.connectShared());
        for (int round = 0; round < 3; ++round) {
            QCOMPARE(nameOf(QStringLiteral("N2")), QStringLiteral("文件2"));
            QCOMPARE(nameOf(QStringLiteral("N5")), QStringLiteral("文件5"));
            QCOMPARE(nameOf(QStringLiteral("N9")), QStringLiteral("<none>"));
        }
        // One object run twice with the values it was given.
        Query q(kFrom);
        q.bind(4);
        QVERIFY(q.exec());
        QVERIFY(q.next());
        QVERIFY(q.exec());
        QStringList again;
        while (q.next())
            again << q.text(u"编号");
        QCOMPARE(again, QStringList({QStringLiteral("N4"), QStringLiteral("N5")}));
    }

    void rowsWrittenMeanwhileAreRead()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        addDocuments(db, 2);
        QVERIFY(db.connectShared());
        QCOMPARE(numbersFrom(1).size(), 2);
        QVERIFY(execute(QStringLiteral("insert into 公司文件信息 (编号, 文件名称) values (?, ?)"),
                        {QStringLiteral("N3"), QStringLiteral("文件3")})
                    .ok());
        QVERIFY(db.exec(QStringLiteral("insert into 公司文件信息 (编号, 文件名称) values ('N4', '文件4')")));
        QCOMPARE(numbersFrom(1),
                 QStringList({QStringLiteral("N1"), QStringLiteral("N2"), QStringLiteral("N3"), QStringLiteral("N4")}));
    }

    void nestedRunsOfOneStatementAreIndependent()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        addDocuments(db, 4);
        QVERIFY(db.connectShared());
        Query outer(kFrom);
        outer.bind(1);
        QVERIFY(outer.exec());
        QStringList seen;
        int id = 1;
        while (outer.next()) {
            seen << outer.text(u"编号");
            // The same text while the outer one is still being read.
            QCOMPARE(numbersFrom(id).size(), 4 - id + 1);
            QCOMPARE(nameOf(outer.text(u"编号")), QStringLiteral("文件%1").arg(id));
            ++id;
        }
        QVERIFY(!outer.error().isSet());
        QCOMPARE(seen,
                 QStringList({QStringLiteral("N1"), QStringLiteral("N2"), QStringLiteral("N3"), QStringLiteral("N4")}));
    }

    void unfinishedReadKeepsNoLock()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        addDocuments(db, 50);
        QVERIFY(db.connectShared());
        {
            // One row of fifty read, then the statement goes (it stays kept for the next run).
            Query q(kFrom);
            q.bind(1);
            QVERIFY(q.exec() && q.next());
        }
        // Another program commits a write at once: no read of ours is pending.
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open_v2(db.path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        const int rc = sqlite3_exec(other, "BEGIN IMMEDIATE; delete from 资料下载组; COMMIT;", nullptr, nullptr,
                                    nullptr);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QCOMPARE(rc, SQLITE_OK);
        QCOMPARE(numbersFrom(50), QStringList({QStringLiteral("N50")}));
    }

    void reopenedConnectionRunsThemAgain()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        addDocuments(db, 3);
        QVERIFY(db.connectShared());
        QCOMPARE(numbersFrom(2).size(), 2);
        // Closed and opened again on the same connection object.
        QSqlDatabase shared = SharedConnection::database();
        shared.close();
        QVERIFY(shared.open());
        QCOMPARE(numbersFrom(2).size(), 2);
        // Released and opened anew.
        SharedConnection::release();
        QVERIFY(db.connectShared());
        QCOMPARE(numbersFrom(3), QStringList({QStringLiteral("N3")}));
    }

    void faultyStatementFailsEveryTime()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.connectShared());
        for (int round = 0; round < 2; ++round) {
            Query q(QStringLiteral("select 没有的列 from 公司文件信息 where ID = ?"));
            q.bind(1);
            QVERIFY(!q.exec());
            QVERIFY(q.error().isSet());
        }
        QCOMPARE(numbersFrom(1), QStringList());
    }
};

QTEST_GUILESS_MAIN(StatementCacheTest)
#include "test_statement_cache.moc"
