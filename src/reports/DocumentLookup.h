#pragma once

// Finding a document by part of its number or name, for the report windows that explain one
// document. No widgets here.

#include "db/DbError.h"
#include "db/NamedStatement.h"

#include <QString>
#include <QVector>

namespace quarvel {

struct FoundDocument {
    QString number, name;
    QString typeCode, typeName;  // type name empty when the type is unknown

    // "number name" as the lists show it.
    QString caption() const;
};

class DocumentLookup {
public:
    // At most this many documents come back from one search.
    static constexpr int kLimit = 200;

    // Documents whose number or name contains the text ("%" and "_" act as wildcards), ordered
    // by number. A blank text finds the first documents by number.
    static DbResult<QVector<FoundDocument>> find(const QString& text);
    // The one document with this number, if any.
    static DbResult<QVector<FoundDocument>> byNumber(const QString& number);

    static QVector<NamedStatement> statements();
};

}  // namespace quarvel
