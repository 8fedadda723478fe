#include "db/RowReader.h"

#include "db/Connection.h"
#include "db/ConnectionRecovery.h"

#include <QLocale>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringDecoder>

#include <sqlite3.h>

namespace quarvel {
namespace {

// The engine handle behind a QSQLITE connection; null for every other driver.
sqlite3* engineHandle(const QSqlDatabase& db)
{
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

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
    if (m_db.driverName() == QLatin1String("QSQLITE")) {
        m_error = Query::beforeStatement(m_db);
        if (m_error.isSet())
            return false;
        if (sqlite3* handle = engineHandle(m_db))
            return execDirect(handle);
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

bool RowReader::next()
{
    if (m_query) {
        const bool more = m_query->next();
        if (!more)
            m_error = m_query->error();
        return more;
    }
    if (!m_statement)
        return false;
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_error = ConnectionRecovery::examine(m_db, engineError(sqlite3_db_handle(m_statement), rc));
    // The read is over: the statement lets go of the file at once.
    finalize();
    return false;
}

bool RowReader::nullAt(int column) const
{
    if (m_query)
        return m_query->raw().isNull(column);
    return !m_statement || sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QString RowReader::textAt(int column) const
{
    if (m_query)
        return Query::textOf(m_query->raw().value(column));
    if (!m_statement)
        return {};
    // One call into the connection per value: the value is read where the statement left it
    // (the connection is used by this thread alone).
    sqlite3_value* value = sqlite3_column_value(m_statement, column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: {
        // Flags and small counts, on every row of a long list: shared texts, not one each.
        static const QString digits[] = {
            QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
            QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")};
        const sqlite3_int64 n = sqlite3_value_int64(value);
        if (n >= 0 && n <= 9)
            return digits[n];
        return QString::number(n);
    }
    // As a variant holding the number would write it ("1" for 1.0).
    case SQLITE_FLOAT: return QString::number(sqlite3_value_double(value), 'g', QLocale::FloatingPointShortest);
    default: break;
    }
    const auto* utf8 = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const int length = sqlite3_value_bytes(value);
    if (length == 0)
        return QStringLiteral("");
    return QString::fromUtf8(utf8, length);
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
    if (m_query)
        return m_query->raw().value(column).toLongLong();
    if (!m_statement)
        return 0;
    const int type = sqlite3_column_type(m_statement, column);
    if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
        // A text counts only when it is a whole number, as a variant holding it reads.
        bool ok = false;
        const qlonglong n = textAt(column).toLongLong(&ok);
        return ok ? n : 0;
    }
    // A real is rounded, not cut, as a variant holding it reads.
    if (type == SQLITE_FLOAT)
        return qRound64(sqlite3_column_double(m_statement, column));
    return sqlite3_column_int64(m_statement, column);
}

double RowReader::realAt(int column) const
{
    if (m_query)
        return m_query->raw().value(column).toDouble();
    if (!m_statement)
        return 0.0;
    const int type = sqlite3_column_type(m_statement, column);
    if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
        bool ok = false;
        const double n = textAt(column).toDouble(&ok);
        return ok ? n : 0.0;
    }
    return sqlite3_column_double(m_statement, column);
}

QDateTime RowReader::dateTimeAt(int column) const
{
    if (m_query)
        return dialect::toDateTime(m_query->raw().value(column));
    if (nullAt(column))
        return {};
    // Date-times are stored in the canonical form: read it straight from the engine's bytes (on
    // long lists it is the bulk of the work), anything else through the dialect.
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    const QDateTime canonical =
        dialect::fromCanonicalUtf8(QByteArrayView(bytes, sqlite3_column_bytes(m_statement, column)));
    if (canonical.isValid())
        return canonical;
    return dialect::toDateTime(QVariant(textAt(column)));
}

}  // namespace quarvel
