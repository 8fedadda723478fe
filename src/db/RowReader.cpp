#include "db/RowReader.h"

#include "db/CellValue.h"
#include "db/Connection.h"
#include "db/ConnectionRecovery.h"
#include "db/TextCollation.h"

#include <QHash>
#include <QMutex>
#include <QSqlQuery>
#include <QStringDecoder>

#include <sqlite3.h>

namespace quarvel {
namespace {


DbError engineError(sqlite3* handle, int rc)
{
    const char* text = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
    return DbError::fromEngine(rc, QString::fromUtf8(text));
}

// Binds one value, in the form dialect::bindValue gives, as QSQLITE would.
int bindOne(sqlite3_stmt* statement, int at, const QVariant& value)
{
    if (value.isNull())
        return sqlite3_bind_null(statement, at);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
    case QMetaType::SChar:
    case QMetaType::Long: return sqlite3_bind_int64(statement, at, value.toLongLong());
    case QMetaType::ULongLong:
    case QMetaType::ULong: return sqlite3_bind_int64(statement, at, qint64(value.toULongLong()));
    case QMetaType::Double:
    case QMetaType::Float: return sqlite3_bind_double(statement, at, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob64(statement, at, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
    }
    default: {
        // As UTF-16, as QSQLITE binds it: the engine converts both paths' texts the same way.
        const QString text = value.toString();
        return sqlite3_bind_text16(statement, at, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
    }
    }
}

}  // namespace

RowReader::RowReader(const QString& tsql) : RowReader(tsql, SharedConnection::database(), SharedConnection::engine()) {}

RowReader::RowReader(const QString& tsql, const QSqlDatabase& db, SqlEngine engine)
    : m_db(db), m_engine(engine), m_sql(tsql)
{
}

RowReader::~RowReader() { finalize(); }

void RowReader::finalize()
{
    if (m_statement)
        sqlite3_finalize(m_statement);
    m_statement = nullptr;
}

RowReader& RowReader::bind(const QVariant& value)
{
    m_values.append(value);
    return *this;
}

RowReader& RowReader::bind(std::initializer_list<QVariant> values)
{
    for (const QVariant& v : values)
        bind(v);
    return *this;
}

bool RowReader::exec()
{
    finalize();
    m_query.reset();
    m_error = {};
    m_rowsRead = 0;
    if (m_db.driverName() == QLatin1String("QSQLITE")) {
        m_error = Query::beforeStatement(m_db);
        if (m_error.isSet())
            return false;
        if (const DbResult<sqlite3*> handle = embeddedHandle(m_db); handle.ok())
            return execDirect(handle.value);
        m_error = DbError::make(-1, QStringLiteral("数据库连接未打开"));
        return false;
    }
    m_query = std::make_unique<Query>(m_sql, m_db, m_engine);
    for (const QVariant& v : std::as_const(m_values))
        m_query->bind(v);
    const bool ran = m_query->exec();
    m_error = m_query->error();
    return ran;
}

bool RowReader::execDirect(sqlite3* handle)
{
    const QByteArray sql = dialect::translate(m_sql, m_engine).toUtf8();
    int rc = sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &m_statement, nullptr);
    if (rc != SQLITE_OK) {
        m_error = ConnectionRecovery::examine(m_db, engineError(handle, rc));
        finalize();
        return false;
    }
    if (sqlite3_bind_parameter_count(m_statement) != m_values.size()) {
        m_error = DbError::make(-1, QStringLiteral("绑定的参数个数与语句不符"));
        finalize();
        return false;
    }
    for (qsizetype i = 0; i < m_values.size(); ++i) {
        rc = bindOne(m_statement, int(i + 1), dialect::bindValue(m_values.at(i), m_engine));
        if (rc != SQLITE_OK) {
            m_error = ConnectionRecovery::examine(m_db, engineError(handle, rc));
            finalize();
            return false;
        }
    }
    return true;
}

namespace {
// How many rows each statement text returned when last read to its end. Statements are few
// and fixed (the texts of the program), so the table stays small; it is bounded all the same.
struct RowCounts {
    QMutex lock;
    QHash<QString, qint64> rows;
};
RowCounts& rowCounts()
{
    static RowCounts counts;
    return counts;
}
}  // namespace

qint64 RowReader::rowsLastRead() const
{
    RowCounts& counts = rowCounts();
    const QMutexLocker locked(&counts.lock);
    return counts.rows.value(m_sql, 0);
}

void RowReader::readToEnd()
{
    RowCounts& counts = rowCounts();
    const QMutexLocker locked(&counts.lock);
    if (counts.rows.size() >= 1024 && !counts.rows.contains(m_sql))
        counts.rows.clear();
    counts.rows.insert(m_sql, m_rowsRead);
}

bool RowReader::next()
{
    if (m_query) {
        const bool more = m_query->next();
        if (more)
            ++m_rowsRead;
        else if (!(m_error = m_query->error()).isSet())
            readToEnd();
        return more;
    }
    if (!m_statement)
        return false;
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW) {
        ++m_rowsRead;
        return true;
    }
    if (rc != SQLITE_DONE)
        m_error = ConnectionRecovery::examine(m_db, engineError(sqlite3_db_handle(m_statement), rc));
    else
        readToEnd();
    // The read is over: the statement lets go of the file at once.
    finalize();
    return false;
}

CellValue RowReader::cellAt(int column, QVariant& held) const
{
    if (m_query) {
        held = m_query->raw().value(column);
        return CellValue::of(held);
    }
    if (!m_statement)
        return CellValue::null();
    // One call into the connection per value: the value is read where the statement left it
    // (the connection is used by this thread alone).
    sqlite3_value* value = sqlite3_column_value(m_statement, column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL: return CellValue::null();
    case SQLITE_INTEGER: return CellValue::integer(sqlite3_value_int64(value));
    case SQLITE_FLOAT: return CellValue::real(sqlite3_value_double(value));
    default: break;
    }
    const auto* utf8 = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return CellValue::utf8(QByteArrayView(utf8, sqlite3_value_bytes(value)));
}

bool RowReader::nullAt(int column) const
{
    if (m_query)
        return m_query->raw().isNull(column);
    return !m_statement || sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QString RowReader::textAt(int column) const
{
    QVariant held;
    return cellAt(column, held).text();
}

void RowReader::readTextAt(int column, QString& into) const
{
    sqlite3_value* value = m_query || !m_statement ? nullptr : sqlite3_column_value(m_statement, column);
    const int type = value ? sqlite3_value_type(value) : SQLITE_TEXT;
    if (type == SQLITE_NULL) {  // the memory stays for the texts that follow
        into.truncate(0);
        return;
    }
    if (!value || type != SQLITE_TEXT) {
        into = textAt(column);
        return;
    }
    const auto* utf8 = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const int length = sqlite3_value_bytes(value);
    // A text never has more UTF-16 units than its UTF-8 bytes; a byte order mark stays, as in
    // text().
    into.resize(length);
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QChar* end = decoder.appendToBuffer(into.data(), QByteArrayView(utf8, length));
    into.truncate(end - into.constData());
}

bool RowReader::equalsAt(int column, const QString& known) const
{
    if (m_query || !m_statement)
        return textAt(column) == known;
    sqlite3_value* value = sqlite3_column_value(m_statement, column);
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL)
        return known.isEmpty();
    if (type != SQLITE_TEXT)
        return textAt(column) == known;
    const auto* utf8 = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return QAnyStringView::equal(QUtf8StringView(utf8, sqlite3_value_bytes(value)), known);
}

qlonglong RowReader::longIntegerAt(int column) const
{
    QVariant held;
    return cellAt(column, held).longInteger();
}

int RowReader::integerAt(int column) const
{
    QVariant held;
    return cellAt(column, held).integer();
}

bool RowReader::flagAt(int column) const
{
    QVariant held;
    return cellAt(column, held).flag();
}

double RowReader::realAt(int column) const
{
    QVariant held;
    return cellAt(column, held).real();
}

QDateTime RowReader::dateTimeAt(int column) const
{
    QVariant held;
    return cellAt(column, held).dateTime();
}

}  // namespace quarvel
