#pragma once

// Kept free of SQLite and Qt SQL, so that the extension module (TextCollationExtension.cpp)
// carries the same comparison as the client.

namespace quarvel {

// How the suite's SQL Server compares texts by default, for the embedded SQLite engine:
// trailing blanks are ignored and letter case is ignored ("0012 " equals "0012", "g01" equals
// "G01"). The SQLite schema declares it on every text column, so comparisons, joins, indexes,
// ORDER BY, GROUP BY and DISTINCT all follow it.
//
// Every SQLite connection that touches those columns must know the collation: the client
// registers it on its QSQLITE connection; other programs call registerTextCollation on their
// own sqlite3 handle, or load the extension module libquarveltext (the SQLite ODBC driver with
// "LoadExt=", the sqlite3 shell with ".load"). Without it SQLite stops with
// "no such collation sequence: NOCASE_RTRIM".
inline constexpr const char* kTextCollation = "NOCASE_RTRIM";

// The comparison itself, on UTF-8 texts of the given byte lengths: trailing U+0020 blanks are
// dropped, then the texts are compared code point by code point after Unicode simple case
// folding; a text that is a prefix of the other sorts first. Negative, zero or positive.
int compareSuiteText(int lengthA, const void* a, int lengthB, const void* b);

// One character of a LIKE pattern as the matcher reads it: any run of characters ("%"), any one
// character ("_"), or a character compared after case folding.
struct LikeToken {
    enum Kind : unsigned char { AnyRun, AnyOne, Literal };
    Kind kind;
    char32_t folded;  // of a literal
};

// The LIKE pattern of `length` UTF-8 bytes as tokens, into `out` (at most `capacity`; the count
// is returned, or -1 when the pattern has more tokens). `escape` (0 for none) makes the
// character after it literal, "%" and "_" too.
int compileLikePattern(const void* pattern, int length, char32_t escape, LikeToken* out, int capacity);

// Whether the UTF-8 text matches the compiled pattern: case folded as compareSuiteText folds it,
// so that LIKE finds what "=" finds on the embedded engine (and on the suite's server). Blanks
// are compared as any other character. Time at most proportional to text times pattern length.
bool matchLikePattern(const LikeToken* tokens, int count, const void* text, int length);

// The code point at the start of UTF-8 bytes (0 for none), for an ESCAPE argument; `used`, when
// given, receives how many bytes it took.
char32_t firstCodePoint(const void* text, int length, int* used = nullptr);

}  // namespace quarvel
