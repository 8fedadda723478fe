#pragma once

#include "db/DbError.h"
#include "db/NamedStatement.h"

#include <QDate>
#include <QString>
#include <QVector>

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

// What the settings window asks to save.
struct TypeSaveRequest {
    bool adding = false;
    QString code;
    QString name;
    QString description;  // stored as NULL when empty
    // The code of the selected node; a new type goes under it unless the root is selected.
    QString selectedCode;
    bool rootSelected = true;
};

// How a save ended; `error` holds the failure of Failed (including a row that has vanished).
struct TypeSaveOutcome {
    enum Kind { Saved, ParentHoldsDocuments, CodeExists, CodeNotFound, Failed };
    Kind kind = Saved;
    DbError error;
};

// The statements of the type settings window.
//
// A type is found by its code without outer blanks, whatever blanks its stored code holds
// around it (the tree shows it under that code). Every change of a type runs in a transaction
// of its own and must change exactly one row: when no row or more than one row matches, nothing
// is changed and the failure says so.
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
    // Every statement in T-SQL form.
    static QVector<NamedStatement> statements();

    // True when the code holds a blank (or any other white space): a new type's code must not,
    // since documents and code lists take a type's code from its node text up to the first blank.
    static bool codeHoldsBlank(const QString& code);

    // True when at least one document has this type.
    static DbResult<bool> hasDocuments(const QString& code);
    // The level of a type; no value when the row does not exist.
    static DbResult<std::optional<int>> level(const QString& code);
    // True when a row with this code (outer blanks aside) exists.
    static DbResult<bool> exists(const QString& code);
    static DbStatus insert(const TypeRecord& record);
    // Updates name, level and description of the row with the record's code.
    static DbStatus update(const TypeRecord& record);
    static DbStatus remove(const QString& code);
    static DbStatus setVoid(const QString& code, const QDate& day);
    static DbStatus clearVoid(const QString& code);

    // Saves the type the window shows, deciding in one transaction whether it may: a new type
    // goes under the selected type (or the root) with the level after its parent's, and only
    // when the parent holds no documents and the code is new; an edited type keeps the level of
    // its own row and must still exist. Nothing is written unless the outcome is Saved.
    static TypeSaveOutcome save(const TypeSaveRequest& request);

    // The failures of a change that found no row, or several rows, with the code.
    static DbError notFound(const QString& code);
    static DbError ambiguous(const QString& code, int rows);
};

}  // namespace quarvel
