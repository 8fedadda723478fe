#pragma once

#include <QSqlError>
#include <QString>

namespace quarvel {

// A failed database operation: a number and a readable description, which the
// windows turn into one of their message forms.
struct DbError {
    int number = 0;
    QString description;

    bool isSet() const { return number != 0 || !description.isEmpty(); }

    static DbError fromSql(const QSqlError& error);
    static DbError make(int number, const QString& description) { return {number, description}; }
};

// Result of an operation that returns a value or fails.
template <class T>
struct DbResult {
    T value{};
    DbError error;

    bool ok() const { return !error.isSet(); }
    static DbResult failure(DbError e) { return DbResult{T{}, std::move(e)}; }
};

// Result of an operation without a value.
struct DbStatus {
    DbError error;
    bool ok() const { return !error.isSet(); }
};

}  // namespace quarvel
