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
    // An error as the database engine reported it. The faults a user can meet (the file held by
    // another connection past the busy time-out, damaged, read-only, a full disk, a file or
    // folder that cannot be opened, a failed read or write) get a description that says in
    // words what happened and that nothing was changed, followed by the engine's own text.
    static DbError fromEngine(int number, const QString& engineText);
};

// The words that start the description of a database held by another user.
inline QString databaseBusyText() { return QStringLiteral("数据库正被其他用户占用，请稍后再试。"); }

// The words that start the description of a damaged database file (and of every write refused
// on it for the rest of the session).
inline QString databaseDamagedText()
{
    return QStringLiteral("数据库文件已损坏，本次运行不再写入它；没有作任何修改。请通知系统管理员从备份恢复。");
}

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
