#pragma once

// The LIKE operator of the embedded engine, case folded as the text collation folds (see
// TextCompare.h). Included after <sqlite3.h> by the client and after <sqlite3ext.h> by the
// extension module, so that each calls SQLite its own way; both register the same function.

#include "db/TextCompare.h"

#include <cstddef>

namespace quarvel::likefunction {
namespace {

// A compiled pattern, kept with the statement while its pattern stays the same.
struct Compiled {
    char32_t escape;
    int count;
    LikeToken tokens[1];
};

void freeCompiled(void* p) { sqlite3_free(p); }

void like(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    for (int k = 0; k < argc; ++k) {
        if (sqlite3_value_type(argv[k]) == SQLITE_NULL)
            return;  // null
    }
    char32_t escape = 0;
    if (argc == 3) {
        const auto* e = sqlite3_value_text(argv[2]);
        const int n = sqlite3_value_bytes(argv[2]);
        int used = 0;
        escape = firstCodePoint(e, n, &used);
        if (escape == 0 || used != n) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    auto* compiled = static_cast<Compiled*>(sqlite3_get_auxdata(context, 0));
    if (!compiled || compiled->escape != escape) {
        const unsigned char* pattern = sqlite3_value_text(argv[0]);
        const int length = sqlite3_value_bytes(argv[0]);
        if (length > sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
            sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
            return;
        }
        const int capacity = length > 0 ? length : 1;
        compiled = static_cast<Compiled*>(
            sqlite3_malloc64(sizeof(Compiled) + sizeof(LikeToken) * static_cast<std::size_t>(capacity)));
        if (!compiled) {
            sqlite3_result_error_nomem(context);
            return;
        }
        compiled->escape = escape;
        compiled->count = compileLikePattern(pattern, length, escape, compiled->tokens, capacity);
        // Kept with the statement; SQLite frees it (at once when it cannot keep it).
        sqlite3_set_auxdata(context, 0, compiled, freeCompiled);
        compiled = static_cast<Compiled*>(sqlite3_get_auxdata(context, 0));
        if (!compiled) {
            // Not kept: compile once more for this row alone.
            Compiled* once = static_cast<Compiled*>(
                sqlite3_malloc64(sizeof(Compiled) + sizeof(LikeToken) * static_cast<std::size_t>(capacity)));
            if (!once) {
                sqlite3_result_error_nomem(context);
                return;
            }
            once->count = compileLikePattern(pattern, length, escape, once->tokens, capacity);
            const bool matched = matchLikePattern(once->tokens, once->count, sqlite3_value_text(argv[1]),
                                                  sqlite3_value_bytes(argv[1]));
            sqlite3_free(once);
            sqlite3_result_int(context, matched ? 1 : 0);
            return;
        }
    }
    const unsigned char* text = sqlite3_value_text(argv[1]);
    const int length = sqlite3_value_bytes(argv[1]);
    sqlite3_result_int(context, matchLikePattern(compiled->tokens, compiled->count, text, length) ? 1 : 0);
}

// Replaces LIKE (with and without ESCAPE) on the connection; SQLite's result code.
int registerLike(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function_v2(db, "like", 2, flags, nullptr, like, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db, "like", 3, flags, nullptr, like, nullptr, nullptr, nullptr);
    return rc;
}

}  // namespace
}  // namespace quarvel::likefunction
