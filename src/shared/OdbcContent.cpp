// The stored file on a QODBC connection. Storing binds the content as a data-at-execution
// parameter and hands it to the driver piece by piece with SQLPutData; reading fetches the
// row and takes the column piece by piece with SQLGetData. Both run on a statement handle of
// their own on the driver's connection handle, so they take part in its transaction.

#include "db/Connection.h"
#include "shared/ContentPieces.h"

#include <QSqlDriver>

#include <iterator>

#include <sql.h>
#include <sqlext.h>

namespace quarvel::content {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 SQLWCHAR");

bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// The diagnostics of a handle: the first native error number, and the messages joined.
DbError diagnostics(SQLSMALLINT type, SQLHANDLE handle, const QString& fallback)
{
    int number = 0;
    QStringList texts;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message,
                                            SQLSMALLINT(std::size(message)), &length);
        if (!succeeded(rc))
            break;
        if (number == 0)
            number = native;
        const qsizetype used = qMin<qsizetype>(length, qsizetype(std::size(message)) - 1);
        texts << QString::fromUtf16(reinterpret_cast<const char16_t*>(message), used).trimmed();
    }
    const QString text = texts.join(u'\n');
    return DbError::fromEngine(number != 0 ? number : -1, text.isEmpty() ? fallback : text);
}

DbResult<SQLHDBC> connectionHandle()
{
    const QVariant handle = SharedConnection::database().driver()->handle();
    const bool odbcHandle = handle.isValid()
                            && (qstrcmp(handle.typeName(), "SQLHANDLE") == 0
                                || qstrcmp(handle.typeName(), "void*") == 0);
    if (!odbcHandle)
        return DbResult<SQLHDBC>::failure(DbError::make(-1, QStringLiteral("无法取得ODBC连接句柄")));
    SQLHDBC hdbc = *static_cast<const SQLHANDLE*>(handle.constData());
    if (!hdbc)
        return DbResult<SQLHDBC>::failure(DbError::make(-1, QStringLiteral("数据库连接未打开")));
    return {hdbc, {}};
}

// A statement handle on the shared connection, freed on every way out.
class Statement {
public:
    explicit Statement(SQLHDBC hdbc)
    {
        const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &m_stmt);
        if (!succeeded(rc)) {
            m_error = diagnostics(SQL_HANDLE_DBC, hdbc, QStringLiteral("无法分配ODBC语句句柄"));
            m_stmt = SQL_NULL_HSTMT;
        }
    }
    ~Statement()
    {
        if (m_stmt != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLHSTMT handle() const { return m_stmt; }
    const DbError& allocationError() const { return m_error; }
    DbError error(const QString& fallback) const
    {
        return diagnostics(SQL_HANDLE_STMT, m_stmt, fallback);
    }

    SQLRETURN prepare(const QString& sql)
    {
        m_sql = sql;  // the driver may keep the pointer until execution
        return SQLPrepareW(m_stmt, reinterpret_cast<SQLWCHAR*>(const_cast<ushort*>(m_sql.utf16())),
                           SQL_NTS);
    }

private:
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
    DbError m_error;
    QString m_sql;
};

// Marks the content parameter in SQLParamData's answer.
char g_contentToken;

}  // namespace

QString odbcUpdateStatement()
{
    return QStringLiteral("update 公司文件信息 set 文件 = ? where ID = ?");
}

QString odbcSelectStatement() { return QStringLiteral("select 文件 from 公司文件信息 where ID = ?"); }

DbStatus odbcStore(qint64 documentId, QFileDevice& source, const PiecePlan& plan,
                   const TransferProgress& progress)
{
    const DbResult<SQLHDBC> hdbc = connectionHandle();
    if (!hdbc.ok())
        return {hdbc.error};
    Statement stmt(hdbc.value);
    if (stmt.handle() == SQL_NULL_HSTMT)
        return {stmt.allocationError()};
    if (!succeeded(stmt.prepare(odbcUpdateStatement())))
        return {stmt.error(QStringLiteral("语句准备失败"))};

    // The content is sent at execution time, whatever its length (also zero).
    SQLLEN contentIndicator = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(plan.size()));
    SQLRETURN rc = SQLBindParameter(stmt.handle(), 1, SQL_PARAM_INPUT, SQL_C_BINARY,
                                    SQL_LONGVARBINARY, static_cast<SQLULEN>(qMax<qint64>(plan.size(), 1)),
                                    0, &g_contentToken, 0, &contentIndicator);
    if (!succeeded(rc))
        return {stmt.error(QStringLiteral("参数绑定失败"))};
    SQLBIGINT id = documentId;
    SQLLEN idIndicator = 0;
    rc = SQLBindParameter(stmt.handle(), 2, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &id, 0,
                          &idIndicator);
    if (!succeeded(rc))
        return {stmt.error(QStringLiteral("参数绑定失败"))};

    rc = SQLExecute(stmt.handle());
    if (rc != SQL_NEED_DATA) {
        if (rc == SQL_NO_DATA)
            return {noRowError(documentId)};
        return {stmt.error(QStringLiteral("驱动程序没有请求文件内容"))};
    }
    SQLPOINTER token = nullptr;
    rc = SQLParamData(stmt.handle(), &token);
    if (rc != SQL_NEED_DATA || token != &g_contentToken)
        return {stmt.error(QStringLiteral("驱动程序没有请求文件内容"))};

    DbStatus moved;
    if (plan.size() == 0) {
        moved = announceEmpty(progress);
        if (moved.ok()) {
            static char none = 0;
            if (!succeeded(SQLPutData(stmt.handle(), &none, 0)))
                moved = {stmt.error(QStringLiteral("写入文件内容失败"))};
        }
    } else {
        moved = movePieces(
            plan, progress,
            [&](char* buffer, qint64 length, qint64) { return readPiece(source, buffer, length); },
            [&](const char* buffer, qint64 length, qint64) {
                const SQLRETURN put = SQLPutData(stmt.handle(), const_cast<char*>(buffer),
                                                 static_cast<SQLLEN>(length));
                return succeeded(put) ? DbStatus{}
                                      : DbStatus{stmt.error(QStringLiteral("写入文件内容失败"))};
            });
    }
    if (!moved.ok()) {
        SQLCancel(stmt.handle());  // ends the data-at-execution sequence; nothing was updated
        return moved;
    }

    rc = SQLParamData(stmt.handle(), &token);
    if (rc == SQL_NO_DATA)
        return {noRowError(documentId)};
    if (!succeeded(rc))
        return {stmt.error(QStringLiteral("保存文件内容失败"))};
    SQLLEN rows = -1;
    if (succeeded(SQLRowCount(stmt.handle(), &rows)) && rows == 0)
        return {noRowError(documentId)};
    return {};
}

DbStatus odbcWrite(qint64 documentId, QFileDevice& sink, const PiecePlan& plan,
                   const TransferProgress& progress)
{
    if (plan.size() == 0)
        return announceEmpty(progress);
    const DbResult<SQLHDBC> hdbc = connectionHandle();
    if (!hdbc.ok())
        return {hdbc.error};
    Statement stmt(hdbc.value);
    if (stmt.handle() == SQL_NULL_HSTMT)
        return {stmt.allocationError()};
    if (!succeeded(stmt.prepare(odbcSelectStatement())))
        return {stmt.error(QStringLiteral("语句准备失败"))};
    SQLBIGINT id = documentId;
    SQLLEN idIndicator = 0;
    SQLRETURN rc = SQLBindParameter(stmt.handle(), 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT,
                                    0, 0, &id, 0, &idIndicator);
    if (!succeeded(rc))
        return {stmt.error(QStringLiteral("参数绑定失败"))};
    if (!succeeded(SQLExecute(stmt.handle())))
        return {stmt.error(QStringLiteral("读取文件内容失败"))};
    rc = SQLFetch(stmt.handle());
    if (rc == SQL_NO_DATA)
        return {noRowError(documentId)};
    if (!succeeded(rc))
        return {stmt.error(QStringLiteral("读取文件内容失败"))};

    const qint64 last = plan.count() - 1;
    qint64 index = 0;
    const DbStatus moved = movePieces(
        plan, progress,
        [&](char* buffer, qint64 length, qint64) -> DbStatus {
            SQLLEN available = 0;
            const SQLRETURN got = SQLGetData(stmt.handle(), 1, SQL_C_BINARY, buffer,
                                             static_cast<SQLLEN>(length), &available);
            const bool isLast = index++ == last;
            if (got == SQL_NO_DATA)
                return {sizeChangedError()};
            if (!succeeded(got))
                return {stmt.error(QStringLiteral("读取文件内容失败"))};
            if (available == SQL_NULL_DATA)
                return {DbError::make(-1, QStringLiteral("资料内容为空"))};
            // "available" is what remained before this call, or unknown while more follows.
            if (available != SQL_NO_TOTAL && available < static_cast<SQLLEN>(length))
                return {sizeChangedError()};
            if (isLast && (available == SQL_NO_TOTAL || available > static_cast<SQLLEN>(length)))
                return {sizeChangedError()};
            return {};
        },
        [&](const char* buffer, qint64 length, qint64) { return writePiece(sink, buffer, length); });
    SQLCloseCursor(stmt.handle());
    return moved;
}

}  // namespace quarvel::content
