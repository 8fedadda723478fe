#pragma once

// The ticked codes of a tree reach a statement through a temporary table of the session: the
// codes are inserted with bound values (in batches, well below SQL Server's 2,100 parameters
// per statement) and the statement reads them with "in (select 编码 from <table>)". Lists of
// any length work on both engines, and no code is ever spliced into statement text.

#include "db/DbError.h"
#include "db/SqlDialect.h"

#include <QString>
#include <QStringList>

namespace quarvel {

// Rows per insert statement.
inline constexpr int kCodeTableBatch = 400;

// The name under which a statement reads the code table `base` ("#" + base on SQL Server,
// "temp." + base on SQLite).
QString codeTableName(const QString& base, SqlEngine engine);

// Creates the code table `base` on the shared connection when it is missing, empties it and
// fills it with the codes (repeated codes once). Returns the name for the statement.
DbResult<QString> fillCodeTable(const QString& base, const QStringList& codes);

// True when the code table `base` exists on the shared connection and holds as many rows as
// the codes (repeated codes once) — as it does after fillCodeTable with them, as long as the
// connection was not reopened and nobody else fills a table of that name.
bool codeTableHolds(const QString& base, const QStringList& codes);

}  // namespace quarvel
