#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QVariant>

namespace quarvel {

enum class SqlEngine { SqlServer, Sqlite };

// Statements are written in their T-SQL form. For SQLite this layer rewrites the few
// constructs that differ (row limits, len, the server clock, isnull) and stores date-times
// in one canonical text form, "yyyy-MM-dd HH:mm:ss", which sorts and compares correctly
// against bound date bounds.
namespace dialect {

QString translate(const QString& tsql, SqlEngine engine);

// The value as it is bound for the engine (date-times become canonical text on SQLite, a LIKE
// pattern is escaped for SQL Server, a text with a lone surrogate is made valid).
QVariant bindValue(const QVariant& value, SqlEngine engine);

// A LIKE pattern that finds the typed text anywhere: "%" + typed + "%". A "%" or "_" typed stays
// a wildcard; every other character means itself on both engines: "[" opens a character class
// on SQL Server, so it is bound there as "[[]". Bind the value this returns.
QVariant containsPattern(const QString& typed);

// A date-time read back from either engine (a QDateTime from ODBC, text from SQLite).
QDateTime toDateTime(const QVariant& value);

QString canonicalDateTime(const QDateTime& value);

// The local date-time of a date and a time read from the database, the offset from UTC looked
// up once per local hour.
QDateTime localDateTime(QDate date, QTime time);

// The local date-time that text in the canonical form names, read from its UTF-8 bytes; an
// invalid date-time for any other text.
QDateTime fromCanonicalUtf8(QByteArrayView text);

inline constexpr const char* kCanonicalFormat = "yyyy-MM-dd HH:mm:ss";

}  // namespace dialect
}  // namespace quarvel
