#pragma once

// The tokenizer "quarvel" of the embedded engine's full-text index (FTS5): the words of
// TextTokens.h. Included after <sqlite3.h> by the client and after <sqlite3ext.h> by the
// extension module, so that each calls SQLite its own way; both register the same tokenizer.

#include "db/TextTokens.h"

namespace quarvel::fulltexttokenizer {
namespace {

inline constexpr const char* kName = "quarvel";

char tokenizerInstance;

int create(void*, const char**, int, Fts5Tokenizer** out)
{
    *out = reinterpret_cast<Fts5Tokenizer*>(&tokenizerInstance);
    return SQLITE_OK;
}

void destroy(Fts5Tokenizer*) {}

int tokenizeCallback(Fts5Tokenizer*, void* context, int flags, const char* text, int length,
                     int (*token)(void*, int, const char*, int, int, int))
{
    // Highlights and snippets (FTS5_TOKENIZE_AUX) walk the stored text as it was indexed.
    const texttokens::Mode mode = (flags & FTS5_TOKENIZE_QUERY) ? texttokens::Mode::Query : texttokens::Mode::Document;
    return texttokens::tokenize(text ? text : "", text ? length : 0, mode, [&](const texttokens::Token& t) {
        return token(context, t.colocated ? FTS5_TOKEN_COLOCATED : 0, t.text.constData(), int(t.text.size()), t.start,
                     t.end);
    });
}

// Registers the tokenizer on the handle through the engine's fts5_api; SQLite's result code.
int registerTokenizer(sqlite3* db)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "select fts5(?1)", -1, &statement, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
    rc = sqlite3_finalize(statement);
    if (rc != SQLITE_OK)
        return rc;
    if (!api)
        return SQLITE_ERROR;
    static fts5_tokenizer tokenizer{create, destroy, tokenizeCallback};
    return api->xCreateTokenizer(api, kName, nullptr, &tokenizer, nullptr);
}

}  // namespace
}  // namespace quarvel::fulltexttokenizer
