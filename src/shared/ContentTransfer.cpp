#include "shared/ContentTransfer.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "shared/ContentPieces.h"

#include <QFile>
#include <QSaveFile>

#include <optional>

namespace quarvel {

PiecePlan::PiecePlan(qint64 size, qint64 unit)
    : m_size(qMax<qint64>(size, 0)), m_unit(qMax<qint64>(unit, 1)), m_remainder(m_size % m_unit)
{
}

qint64 PiecePlan::count() const { return m_size / m_unit + (m_remainder != 0 ? 1 : 0); }

qint64 PiecePlan::piece(qint64 index) const { return index == 0 && m_remainder != 0 ? m_remainder : m_unit; }

qint64 PiecePlan::offset(qint64 index) const
{
    if (index == 0)
        return 0;
    return m_remainder != 0 ? m_remainder + (index - 1) * m_unit : index * m_unit;
}

QList<qint64> PiecePlan::pieces() const
{
    QList<qint64> out;
    out.reserve(static_cast<qsizetype>(count()));
    for (qint64 i = 0; i < count(); ++i)
        out.append(piece(i));
    return out;
}

namespace {

enum class Access { SqliteBlob, Odbc };

DbResult<Access> accessOf(const QSqlDatabase& db)
{
    if (!db.isValid() || !db.isOpen())
        return DbResult<Access>::failure(DbError::make(-1, QStringLiteral("数据库连接未打开")));
    if (db.driverName() == QLatin1String("QSQLITE"))
        return {Access::SqliteBlob, {}};
    if (db.driverName() == QLatin1String("QODBC"))
        return {Access::Odbc, {}};
    return DbResult<Access>::failure(DbError::make(-1, QStringLiteral("不支持的数据库驱动：") + db.driverName()));
}

QString sizeStatement(SqlEngine engine)
{
    // SQLite's length() counts the bytes of a blob without reading its content.
    return engine == SqlEngine::SqlServer
               ? QStringLiteral("select datalength(文件) as stored_size from 公司文件信息 where ID = ?")
               : QStringLiteral("select length(文件) as stored_size from 公司文件信息 where ID = ?");
}

QString rowCountStatement() { return QStringLiteral("select count(*) as row_count from 公司文件信息 where ID = ?"); }

}  // namespace

DocumentContent::DocumentContent(qint64 unit) : m_unit(unit > 0 && unit % kTransferUnit == 0 ? unit : kStreamUnit) {}

DbStatus DocumentContent::storeFile(qint64 documentId, const QString& path, const TransferProgress& progress) const
{
    return store(documentId, path, progress, true);
}

DbStatus DocumentContent::storeFileWithinTransaction(qint64 documentId, const QString& path,
                                                     const TransferProgress& progress) const
{
    return store(documentId, path, progress, false);
}

DbStatus DocumentContent::store(qint64 documentId, const QString& path, const TransferProgress& progress,
                                bool ownTransaction) const
{
    const DbResult<Access> access = accessOf(SharedConnection::database());
    if (!access.ok())
        return {access.error};

    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        return {content::fileError(source, QStringLiteral("无法打开文件"))};
    const PiecePlan plan(source.size(), m_unit);

    std::optional<Transaction> transaction;
    if (ownTransaction) {
        transaction.emplace();
        if (!transaction->begun())
            return {transaction->error()};
    }
    {
        Query q(rowCountStatement());
        q.bind(documentId);
        if (!q.exec())
            return {q.error()};
        if (!q.next())
            return {q.error().isSet() ? q.error() : content::noRowError(documentId)};
        if (q.longInteger(u"row_count") == 0)
            return {content::noRowError(documentId)};
    }

    const DbStatus moved = access.value == Access::SqliteBlob ? content::sqliteStore(documentId, source, plan, progress)
                                                              : content::odbcStore(documentId, source, plan, progress);
    if (!moved.ok())
        return moved;  // an own transaction rolls back as it goes out of scope
    if (transaction && !transaction->commit())
        return {transaction->error()};
    return {};
}

DbResult<qint64> DocumentContent::storedSize(qint64 documentId) const
{
    Query q(sizeStatement(SharedConnection::engine()));
    q.bind(documentId);
    if (!q.exec())
        return DbResult<qint64>::failure(q.error());
    if (!q.next())
        return DbResult<qint64>::failure(q.error().isSet() ? q.error() : content::noRowError(documentId));
    if (q.isNull(u"stored_size"))
        return {-1, {}};
    return {q.longInteger(u"stored_size"), {}};
}

DbStatus DocumentContent::writeToFile(qint64 documentId, const QString& path, const TransferProgress& progress) const
{
    return write(documentId, path, progress, false);
}

DbStatus DocumentContent::writeTemporaryFile(qint64 documentId, const QString& path,
                                             const TransferProgress& progress) const
{
    return write(documentId, path, progress, true);
}

DbStatus DocumentContent::write(qint64 documentId, const QString& path, const TransferProgress& progress,
                                bool temporary) const
{
    const DbResult<Access> access = accessOf(SharedConnection::database());
    if (!access.ok())
        return {access.error};
    const DbResult<qint64> size = storedSize(documentId);
    if (!size.ok())
        return {size.error};
    if (size.value < 0)
        return {DbError::make(-1, QStringLiteral("资料内容为空"))};
    const PiecePlan plan(size.value, m_unit);
    const auto move = [&](QFileDevice& sink) {
        return access.value == Access::SqliteBlob ? content::sqliteWrite(documentId, sink, plan, progress)
                                                  : content::odbcWrite(documentId, sink, plan, progress);
    };

    if (temporary) {
        QFile sink(path);
        if (!sink.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {content::fileError(sink, QStringLiteral("无法创建文件"))};
        DbStatus moved = move(sink);
        if (moved.ok() && !sink.flush())
            moved = {content::fileError(sink, QStringLiteral("无法保存文件"))};
        sink.close();
        if (!moved.ok())
            sink.remove();
        return moved;
    }

    // The new content goes to a file beside the target and replaces it only when complete.
    QSaveFile sink(path);
    if (!sink.open(QIODevice::WriteOnly))
        return {content::fileError(sink, QStringLiteral("无法创建文件"))};
    const DbStatus moved = move(sink);
    if (!moved.ok()) {
        sink.cancelWriting();
        return moved;
    }
    if (!sink.commit())
        return {content::fileError(sink, QStringLiteral("无法保存文件"))};
    return {};
}

QVector<DocumentContent::Statement> DocumentContent::statements()
{
    return {
        {QStringLiteral("stored file size"), sizeStatement(SqlEngine::SqlServer)},
        {QStringLiteral("document row check"), rowCountStatement()},
        {QStringLiteral("stored file emptying"), content::odbcClearStatement()},
        {QStringLiteral("stored file piece append"), content::odbcAppendStatement()},
        {QStringLiteral("stored file piece read"), content::odbcPieceStatement()},
    };
}

}  // namespace quarvel
