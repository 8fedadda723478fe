#include "db/TextCollation.h"

#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include "db/FullTextTokenizer.h"
#include "db/LikeFunction.h"

namespace quarvel {
namespace {

int compareCallback(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    return compareSuiteText(lengthA, a, lengthB, b);
}

}  // namespace

int registerTextCollation(sqlite3* handle)
{
    if (!handle)
        return SQLITE_MISUSE;
    const int rc = sqlite3_create_collation_v2(handle, kTextCollation, SQLITE_UTF8, nullptr, compareCallback, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    const int like = likefunction::registerLike(handle);
    return like == SQLITE_OK ? fulltexttokenizer::registerTokenizer(handle) : like;
}

DbResult<sqlite3*> embeddedHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return DbResult<sqlite3*>::failure(DbError::make(-1, QStringLiteral("无法取得SQLite连接句柄")));
    sqlite3* raw = *static_cast<sqlite3* const*>(handle.constData());
    if (!raw)
        return DbResult<sqlite3*>::failure(DbError::make(-1, QStringLiteral("数据库连接未打开")));
    return {raw, {}};
}

DbStatus registerTextCollation(const QSqlDatabase& db)
{
    if (!db.isValid() || db.driverName() != QLatin1String("QSQLITE"))
        return {};
    const DbResult<sqlite3*> raw = embeddedHandle(db);
    if (!raw.ok())
        return {raw.error};
    const int rc = registerTextCollation(raw.value);
    if (rc != SQLITE_OK)
        return {DbError::make(rc, QString::fromUtf8(sqlite3_errstr(rc)))};
    return {};
}

}  // namespace quarvel
