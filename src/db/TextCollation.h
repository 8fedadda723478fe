#pragma once

#include "db/DbError.h"
#include "db/TextCompare.h"

#include <QSqlDatabase>

struct sqlite3;

namespace quarvel {

// The engine's own handle behind an open QSQLITE connection, or why there is none.
DbResult<sqlite3*> embeddedHandle(const QSqlDatabase& db);

// Registers the collation on a raw SQLite handle; returns SQLite's result code (0 = SQLITE_OK).
int registerTextCollation(sqlite3* handle);

// The same on an open QSQLITE connection (nothing to do, and no error, for other drivers).
DbStatus registerTextCollation(const QSqlDatabase& db);

}  // namespace quarvel
