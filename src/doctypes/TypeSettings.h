#pragma once

#include "login/DbError.h"

#include <QDate>
#include <QString>

#include <optional>

namespace quarvel {

// A type row as the settings window writes it.
struct TypeRecord {
    QString code;
    QString name;
    QString parentCode;  // null text for a top-level type
    int level = 0;
    QString description;  // stored as NULL when empty
};

// The statements of the type settings window.
class TypeSettings {
public:
    static const QString& documentOfTypeStatement();
    static const QString& levelStatement();
    static const QString& findStatement();
    static const QString& insertStatement();
    static const QString& updateStatement();
    static const QString& deleteStatement();
    static const QString& voidStatement();
    static const QString& unvoidStatement();

    // True when at least one document has this type.
    static DbResult<bool> hasDocuments(const QString& code);
    // The level of a type; no value when the row does not exist.
    static DbResult<std::optional<int>> level(const QString& code);
    // True when a row with exactly this code exists.
    static DbResult<bool> exists(const QString& code);
    static DbStatus insert(const TypeRecord& record);
    // Updates name, level and description of the row with the record's code.
    static DbStatus update(const TypeRecord& record);
    static DbStatus remove(const QString& code);
    static DbStatus setVoid(const QString& code, const QDate& day);
    static DbStatus clearVoid(const QString& code);
};

}  // namespace quarvel
