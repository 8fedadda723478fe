// Long lists are read by the columns their table declares, straight from the embedded engine's handle (QSQLITE)
// or through Query (every other driver). Both must give what Query gives for every kind of
// stored value and every kind of bound value, count for the fault seam and report failures.

#include "TestSupport.h"

#include "db/Connection.h"
#include "db/FaultInjection.h"
#include "db/Query.h"
#include "db/RowReader.h"

#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

namespace {

enum class Column { Number, Name, Level, Uploaded, Id, Count };
constexpr auto kColumns = columnTable<Column>({
    {Column::Number, u"编号"},
    {Column::Name, u"文件名称"},
    {Column::Level, u"文件级别"},
    {Column::Uploaded, u"上传日期"},
    {Column::Id, u"ID"},
});
const QList<Column> kAll{Column::Number, Column::Name, Column::Level, Column::Uploaded, Column::Id};
const QString kValues = QStringLiteral("select ") + kColumns.selectList()
                        + QStringLiteral(" from 公司文件信息 order by ID");

// A column is named by its table's enum on RowReader, by its name on Query, never by a number.
template <typename Reader, typename Key>
concept ReadsBy = requires(const Reader& r, Key k)
{
    r.text(k);
    r.longInteger(k);
};
static_assert(ReadsBy<RowReader, Column> && ReadsBy<Query, QStringView>);
static_assert(!ReadsBy<RowReader, int> && !ReadsBy<RowReader, qlonglong> && !ReadsBy<Query, int>);

// Every reading of one column of the current row: as text, numbers, date-time and flag, and
// whether it is null.
template <typename Reader, typename Column>
QString readings(const Reader& q, const Column& c)
{
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(q.isNull(c) ? QStringLiteral("null") : q.text(c))
        .arg(q.longInteger(c))
        .arg(q.dateTime(c).toString(Qt::ISODate))
        .arg(q.text(c).isNull())
        .arg(q.integer(c))
        .arg(q.flag(c));
}

// The readings of the given columns of every row, or the failure.
template <typename Reader, typename Column>
QStringList readAll(Reader& q, const QList<Column>& columns, const QVariantList& values)
{
    for (const QVariant& v : values)
        q.bind(v);
    if (!q.exec())
        return {QStringLiteral("<failed> ") + q.error().description};
    QStringList out;
    while (q.next()) {
        for (const Column& c : columns)
            out << readings(q, c);
    }
    return q.error().isSet() ? QStringList{QStringLiteral("<failed> ") + q.error().description} : out;
}

// As RowReader reads the five columns by their enum.
QStringList readByColumns(const QString& sql, const QVariantList& values = {})
{
    RowReader q(sql);
    return readAll(q, kAll, values);
}

// As Query reads them by name.
QStringList readByName(const QString& sql, const QStringList& names, const QVariantList& values = {})
{
    Query q(sql);
    return readAll(q, names, values);
}

}  // namespace

class RowReaderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;

    void fill()
    {
        const auto add = [this](const QVariant& number, const QVariant& name, const QVariant& level,
                                const QVariant& uploaded) {
            QVERIFY(db->insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), number},
                                                                {QStringLiteral("文件名称"), name},
                                                                {QStringLiteral("文件级别"), level},
                                                                {QStringLiteral("上传日期"), uploaded}}));
        };
        add(QStringLiteral("A1"), QStringLiteral("制度汇编 x' or '1'='1"), 3, QStringLiteral("2026-03-01 08:09:10"));
        add(QStringLiteral(""), QVariant(), 2.5, QStringLiteral("2026/03/02 10:11:12"));
        add(QStringLiteral("B3"), QStringLiteral("   "), 1.0, QVariant());
        add(42, QByteArray("字节"), QStringLiteral("12"), QStringLiteral("2026-02-30 00:00:00"));
    }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        fill();
    }

    void cleanup()
    {
        FaultInjection::disarm();
        SharedConnection::release();
        db.reset();
    }

    // Texts, numbers stored as integers and as reals, nulls, empty texts, blobs, canonical and
    // other date-times: read by position they are what Query reads by name, on the embedded
    // engine's handle and through ODBC.
    void readsWhatQueryReads_data()
    {
        QTest::addColumn<bool>("odbc");
        QTest::newRow("embedded engine") << false;
        QTest::newRow("odbc") << true;
    }
    void readsWhatQueryReads()
    {
        QFETCH(bool, odbc);
        const QStringList names{QStringLiteral("编号"), QStringLiteral("文件名称"), QStringLiteral("文件级别"),
                                QStringLiteral("上传日期"), QStringLiteral("ID")};
        if (!odbc) {
            QVERIFY(db->connectShared());
        } else {
            const DbStatus opened = db->openSharedThroughOdbc();
            if (!opened.ok())
                QSKIP(
                    qPrintable(QStringLiteral("the SQLite ODBC driver is not available: ") + opened.error.description));
        }
        const QStringList expected = readByName(kValues, names);
        QCOMPARE(expected.size(), 20);
        QCOMPARE(readByColumns(kValues), expected);
        // The canonical form is read as the local time it names; other forms through the dialect.
        QVERIFY2(expected.at(3).startsWith(QStringLiteral("2026-03-01 08:09:10|0|2026-03-01T08:09:10")),
                 qPrintable(expected.at(3)));
        QVERIFY2(expected.at(8).startsWith(QStringLiteral("2026/03/02 10:11:12|0|2026-03-02T10:11:12")),
                 qPrintable(expected.at(8)));

        // A column equals the text it reads as, and nothing else: null and empty alike, as
        // QString compares; Chinese, numbers and blobs as their texts.
        // Read into one reused text, it is what text() reads (null as empty), however long the
        // text read before.
        RowReader q(kValues);
        QVERIFY(q.exec());
        int compared = 0;
        QString reused = QStringLiteral("一段比任何值都长得多的文字，留在重复使用的缓冲区里");
        while (q.next()) {
            for (const Column c : kAll) {
                ++compared;
                const QString text = q.text(c);
                q.readText(c, reused);
                QCOMPARE(reused, text.isNull() ? QStringLiteral("") : text);
                QVERIFY2(q.equals(c, text), qPrintable(text));
                QCOMPARE(q.equals(c, QStringLiteral("")), text.isEmpty());
                QVERIFY(!q.equals(c, text + u'汇'));
                if (text.size() > 1)
                    QVERIFY(!q.equals(c, text.left(text.size() - 1)));
            }
        }
        QCOMPARE(compared, 20);
    }

    // Values of every kind are bound, never spliced, and compare as Query's do.
    void boundValuesOfEveryKind()
    {
        QVERIFY(db->connectShared());
        const QString sql = QStringLiteral(
            "select 编号, 文件名称, 文件级别, 上传日期, ID from 公司文件信息 where 文件名称 = ? or 编号 = ? or 文件级别 = ?"
            " or 上传日期 = ? or 编号 = ? or ID = ? order by ID");
        const QVariantList values{QStringLiteral("制度汇编 x' or '1'='1"),
                                  QStringLiteral("a1 "),  // the collation ignores case and trailing blanks
                                  2.5,
                                  QDateTime(QDate(2026, 3, 1), QTime(8, 9, 10)),
                                  QVariant(),
                                  qlonglong(4)};
        const QStringList names{QStringLiteral("编号"), QStringLiteral("文件名称"), QStringLiteral("文件级别"),
                                QStringLiteral("上传日期"), QStringLiteral("ID")};
        const QStringList expected = readByName(sql, names, values);
        QCOMPARE(expected.size(), 15);
        QCOMPARE(readByColumns(sql, values), expected);
        QCOMPARE(readByColumns(QStringLiteral("select ?, ?, ?, ?, ?"),
                               {true, QDate(2026, 1, 2), QByteArray("ab"), QStringLiteral(""), 7.25})
                     .join(u' '),
                 QStringLiteral("1|1||0|1|1 2026-01-02 00:00:00|0|%1|0|0|0 ab|0||0|0|0 |0||0|0|0 7.25|7||0|7|1")
                     .arg(dialect::localDateTime(QDate(2026, 1, 2), QTime(0, 0)).toString(Qt::ISODate)));
    }

    void failuresAreReported()
    {
        // No connection.
        RowReader closed(kValues);
        QVERIFY(!closed.exec());
        QVERIFY(closed.error().isSet());

        QVERIFY(db->connectShared());
        RowReader wrong(QStringLiteral("select nothing from 没有这张表"));
        QVERIFY(!wrong.exec());
        QVERIFY(wrong.error().isSet());
        QVERIFY(!wrong.next());

        RowReader missing(QStringLiteral("select 编号 from 公司文件信息 where 编号 = ?"));
        QVERIFY(!missing.exec());
        QVERIFY(missing.error().isSet());

        // Run again after a failure: the statement is prepared anew.
        RowReader again(QStringLiteral("select 编号 from 公司文件信息 where ID = ?"));
        again.bind(1);
        QVERIFY(again.exec());
        QVERIFY(again.next());
        QVERIFY(again.exec());
        QVERIFY(again.next());
        QCOMPARE(again.text(Column::Number), QStringLiteral("A1"));
        QVERIFY(!again.next());
        QVERIFY(!again.error().isSet());
    }

    // A read to its end tells the next reader of the same statement how many rows to expect; a
    // read left half-way does not.
    void remembersTheRowsOfTheLastRead()
    {
        QVERIFY(db->connectShared());
        const QString sql = kValues + QStringLiteral(" -- rows");
        RowReader first(sql);
        QCOMPARE(first.rowsLastRead(), 0);
        QVERIFY(first.exec() && first.next() && first.next());
        QCOMPARE(RowReader(sql).rowsLastRead(), 0);
        while (first.next()) {
        }
        QCOMPARE(RowReader(sql).rowsLastRead(), 4);
        RowReader half(sql);
        QVERIFY(half.exec() && half.next());
        QCOMPARE(RowReader(sql).rowsLastRead(), 4);
    }

    void countsForTheFaultSeam()
    {
        QVERIFY(db->connectShared());
        FaultInjection::countOnly();
        QCOMPARE(readByColumns(kValues).size(), 20);
        QCOMPARE(FaultInjection::statements(), 1);

        FaultInjection::failStatement(1);
        RowReader q(kValues);
        QVERIFY(!q.exec());
        QCOMPARE(q.error().number, FaultInjection::kInjectedFault);
        QVERIFY(FaultInjection::fired());
        QVERIFY(!q.next());
    }
};

QTEST_MAIN(RowReaderTest)
#include "test_row_reader.moc"
