#pragma once

#include "db/DbError.h"
#include "db/SqlDialect.h"

#include <QSqlDatabase>
#include <QStringList>

namespace quarvel::schema {

// The statements of the schema script for the engine (sql/sqlite or sql/sqlserver), split at
// the ";" that ends a line. Comment lines ("--") are dropped.
QStringList statements(SqlEngine engine);

// Creates every table of the schema in db. Used by the demo tool and the tests; the client
// itself never creates tables. On a QSQLITE connection the text collation is registered first
// (and stays registered on that connection).
DbStatus create(QSqlDatabase db, SqlEngine engine);

}  // namespace quarvel::schema
