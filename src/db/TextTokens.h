#pragma once

// The words of a text as the full-text index of the embedded engine sees them. Plain C++ over
// UTF-8 bytes, shared by the client and the extension module (see FullTextTokenizer.h).
//
// - Full-width forms are folded to their half-width letters, digits and signs first
//   (U+FF01..U+FF5E, and the ideographic space U+3000 as a blank).
// - A run of letters and digits outside the CJK scripts is one word, case folded.
// - In a run of CJK characters (Han, kana, Hangul) every character is a word of its own and every
//   two neighbours are a word too, standing at the position of the first of the two: "资料管理"
//   gives 资 资料 | 料 料管 | 管 管理 | 理, four positions. A query of one character finds it alone,
//   of two characters the one pair, of more characters the pairs in a row ("资料管" = 资料 料管).
// - Everything else (blanks, punctuation, symbols) separates words.

#include <QByteArray>

#include <functional>

namespace quarvel::texttokens {

enum class Mode {
    Document,  // a stored text: single characters and pairs at the same positions
    Query,     // a typed phrase: a CJK run of one character gives it, a longer run only its pairs
};

// One word: its UTF-8 bytes, where it stands in the input (bytes), and whether it shares the
// position of the word before it.
struct Token {
    QByteArray text;
    int start = 0;
    int end = 0;
    bool colocated = false;
};

// Called for each word in order; a non-zero return stops the walk and is returned.
using TokenSink = std::function<int(const Token&)>;

int tokenize(const char* utf8, int length, Mode mode, const TokenSink& sink);

// Code point classes, exposed for the tests and the snippets built outside the engine.
char32_t foldWidth(char32_t c);
bool isCjk(char32_t c);

}  // namespace quarvel::texttokens
