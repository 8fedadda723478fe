#pragma once

#include <QString>

namespace quarvel {

// A statement a plain class sends, in its T-SQL form, with a name that says what it does. Each
// plain class lists its statements as `static QVector<NamedStatement> statements()`, for the
// checks that every statement parses as T-SQL and prepares against the embedded schema.
struct NamedStatement {
    QString name;
    QString tsql;
};

}  // namespace quarvel
