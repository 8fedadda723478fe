// libquarveltext: an SQLite extension module that adds the text collation of the embedded
// database (see TextCollation.h), the LIKE operator that folds case as it does, and the full-text tokenizer
// "quarvel" (FullTextTokenizer.h), to connections that do not belong
// to the client: the SQLite ODBC driver ("LoadExt=/path/libquarveltext.so" in the connection text) and the sqlite3
// shell
// (".load /path/libquarveltext").

#include "db/TextCompare.h"

#include <sqlite3ext.h>

SQLITE_EXTENSION_INIT1

#include "db/FullTextTokenizer.h"
#include "db/LikeFunction.h"

namespace {

int compareCallback(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    return quarvel::compareSuiteText(lengthA, a, lengthB, b);
}

}  // namespace

// The entry point SQLite derives from the file name "libquarveltext".
extern "C" int sqlite3_quarveltext_init(sqlite3* db, char** /*error*/, const sqlite3_api_routines* api)
{
    SQLITE_EXTENSION_INIT2(api);
    const int rc = sqlite3_create_collation_v2(db, quarvel::kTextCollation, SQLITE_UTF8, nullptr, compareCallback,
                                               nullptr);
    if (rc != SQLITE_OK)
        return rc;
    const int like = quarvel::likefunction::registerLike(db);
    return like == SQLITE_OK ? quarvel::fulltexttokenizer::registerTokenizer(db) : like;
}
