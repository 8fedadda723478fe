#pragma once

#include <QString>
#include <QVector>

namespace quarvel {

struct CatalogEntry {
    QString name;
    QString tsql;
};

// Every statement the client sends, in its T-SQL form, so that one test can check that each
// parses as T-SQL and prepares against the SQLite schema.
QVector<CatalogEntry> statementCatalog();

// Statements sent only to SQL Server (SQLite is sent its own form of them): checked as T-SQL.
QVector<CatalogEntry> serverOnlyStatements();

}  // namespace quarvel
