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

// The tables of full-text search (资料全文, 资料全文状态 and, on SQLite, the index 资料全文索引),
// created from the script's statements when the database lacks them: a database made before the
// search existed gets them on first use. Nothing is done when they exist. On SQLite the
// statements run in one transaction; the full-text catalog and index of SQL Server cannot, and
// each is guarded by the script itself.
DbStatus ensureFullText(QSqlDatabase db, SqlEngine engine);

}  // namespace quarvel::schema
