#include "db/TextTokens.h"

#include "db/Utf8.h"

#include <QChar>

#include <vector>

namespace quarvel::texttokens {
namespace {

void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

// The code point at `at` and the length of its bytes; a malformed sequence reads as one byte of
// U+FFFD, which separates words.
char32_t decode(const unsigned char* s, int length, int at, int* used)
{
    const utf8::CodePoint cp = utf8::decode(s, length, at);
    *used = cp.length;
    return cp.valid ? cp.value : char32_t(0xFFFD);
}

struct Char {
    char32_t c;
    int start, end;
};

}  // namespace

char32_t foldWidth(char32_t c)
{
    if (c >= 0xFF01 && c <= 0xFF5E)
        return c - 0xFF01 + 0x21;
    if (c == 0x3000)
        return u' ';
    return c;
}

bool isCjk(char32_t c)
{
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x20000 && c <= 0x3FFFF)
           || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x3040 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF)
           || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F)
           || c == 0x3005 || c == 0x3007;
}

int tokenize(const char* utf8, int length, Mode mode, const TokenSink& sink)
{
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    std::vector<Char> cjk;
    Token word;
    bool inWord = false;

    const auto flushWord = [&]() -> int {
        if (!inWord)
            return 0;
        inWord = false;
        const int rc = sink(word);
        word.text.clear();
        return rc;
    };
    const auto flushCjk = [&]() -> int {
        const int n = int(cjk.size());
        const auto single = [&](int i, bool colocated) {
            Token t;
            appendUtf8(t.text, cjk[i].c);
            t.start = cjk[i].start;
            t.end = cjk[i].end;
            t.colocated = colocated;
            return sink(t);
        };
        const auto pair = [&](int i, bool colocated) {
            Token t;
            appendUtf8(t.text, cjk[i].c);
            appendUtf8(t.text, cjk[i + 1].c);
            t.start = cjk[i].start;
            t.end = cjk[i + 1].end;
            t.colocated = colocated;
            return sink(t);
        };
        int rc = 0;
        if (mode == Mode::Query && n > 1) {
            for (int i = 0; i + 1 < n && rc == 0; ++i)
                rc = pair(i, false);
        } else {
            for (int i = 0; i < n && rc == 0; ++i) {
                rc = single(i, false);
                if (rc == 0 && i + 1 < n)
                    rc = pair(i, true);
            }
        }
        cjk.clear();
        return rc;
    };

    for (int at = 0; at < length;) {
        int used = 1;
        const char32_t c = foldWidth(decode(s, length, at, &used));
        const int start = at;
        at += used;
        int rc = 0;
        if (isCjk(c)) {
            rc = flushWord();
            cjk.push_back({c, start, at});
        } else if (QChar::isLetterOrNumber(c) || (inWord && QChar::isMark(c))) {
            if (!cjk.empty())
                rc = flushCjk();
            if (!inWord) {
                inWord = true;
                word.start = start;
            }
            appendUtf8(word.text, QChar::toCaseFolded(c));
            word.end = at;
        } else {
            rc = flushWord();
            if (rc == 0 && !cjk.empty())
                rc = flushCjk();
        }
        if (rc != 0)
            return rc;
    }
    const int rc = flushWord();
    return rc != 0 ? rc : (cjk.empty() ? 0 : flushCjk());
}

}  // namespace quarvel::texttokens
