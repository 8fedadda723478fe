#include "db/TextCompare.h"

#include "db/Utf8.h"

#include <QChar>

namespace quarvel {
namespace {

// Decodes the code point at s[i] (advancing i); an invalid sequence yields its first byte.
char32_t nextCodePoint(const unsigned char* s, int length, int& i)
{
    const utf8::CodePoint cp = utf8::decode(s, length, i);
    i += cp.length;
    return cp.value;
}

char32_t folded(char32_t cp)
{
    if (cp < 0x80)
        return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
    // CJK punctuation, kana, the CJK ideographs and Hangul syllables have no case: the bulk of
    // the texts compared here need no table lookup.
    if ((cp >= 0x3000 && cp < 0xA000) || (cp >= 0xAC00 && cp < 0xD7A4))
        return cp;
    return QChar::toCaseFolded(cp);
}

}  // namespace

int compareSuiteText(int lengthA, const void* a, int lengthB, const void* b)
{
    const auto* sa = static_cast<const unsigned char*>(a);
    const auto* sb = static_cast<const unsigned char*>(b);
    while (lengthA > 0 && sa[lengthA - 1] == ' ')
        --lengthA;
    while (lengthB > 0 && sb[lengthB - 1] == ' ')
        --lengthB;
    // Identical bytes compare equal whatever they encode: the common start is skipped at byte
    // speed, back to the code point the first difference falls in (every byte that is not a
    // continuation byte starts a code point, so the folding from there on is what it would have
    // been from the start).
    const int shorter = lengthA < lengthB ? lengthA : lengthB;
    int same = 0;
    while (same < shorter && sa[same] == sb[same])
        ++same;
    if (same == lengthA && same == lengthB)
        return 0;
    const auto continues = [](const unsigned char* s, int length, int at) {
        return at < length && (s[at] & 0xC0) == 0x80;
    };
    while (same > 0 && (continues(sa, lengthA, same) || continues(sb, lengthB, same)))
        --same;
    int i = same;
    int j = same;
    while (i < lengthA && j < lengthB) {
        const unsigned char ca = sa[i];
        const unsigned char cb = sb[j];
        if (ca < 0x80 && cb < 0x80) {
            // The common case: two ASCII characters.
            const unsigned char fa = ca >= 'A' && ca <= 'Z' ? ca + 32 : ca;
            const unsigned char fb = cb >= 'A' && cb <= 'Z' ? cb + 32 : cb;
            if (fa != fb)
                return fa < fb ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const char32_t fa = folded(nextCodePoint(sa, lengthA, i));
        const char32_t fb = folded(nextCodePoint(sb, lengthB, j));
        if (fa != fb)
            return fa < fb ? -1 : 1;
    }
    if (i < lengthA)
        return 1;
    if (j < lengthB)
        return -1;
    return 0;
}

int compileLikePattern(const void* pattern, int length, char32_t escape, LikeToken* out, int capacity)
{
    const auto* p = static_cast<const unsigned char*>(pattern);
    int count = 0;
    int i = 0;
    while (i < length) {
        if (count == capacity)
            return -1;
        char32_t cp = nextCodePoint(p, length, i);
        if (escape != 0 && cp == escape && i < length) {
            out[count++] = {LikeToken::Literal, folded(nextCodePoint(p, length, i))};
            continue;
        }
        if (cp == '%') {
            // Runs of "%" mean what one does.
            if (count == 0 || out[count - 1].kind != LikeToken::AnyRun)
                out[count++] = {LikeToken::AnyRun, 0};
        } else if (cp == '_') {
            out[count++] = {LikeToken::AnyOne, 0};
        } else {
            out[count++] = {LikeToken::Literal, folded(cp)};
        }
    }
    return count;
}

bool matchLikePattern(const LikeToken* tokens, int count, const void* text, int length)
{
    const auto* s = static_cast<const unsigned char*>(text);
    int t = 0;  // the next token
    int i = 0;  // the next byte of the text
    // Where the last "%" was met: the token after it and the text position it now stands for.
    int starToken = -1;
    int starText = 0;
    while (i < length) {
        if (t < count && tokens[t].kind == LikeToken::AnyRun) {
            starToken = ++t;
            starText = i;
            continue;
        }
        if (t < count) {
            int next = i;
            const char32_t cp = nextCodePoint(s, length, next);
            if (tokens[t].kind == LikeToken::AnyOne || tokens[t].folded == folded(cp)) {
                ++t;
                i = next;
                continue;
            }
        }
        // A mismatch: let the last "%" take one more character, or fail without one.
        if (starToken < 0)
            return false;
        nextCodePoint(s, length, starText);
        t = starToken;
        i = starText;
    }
    while (t < count && tokens[t].kind == LikeToken::AnyRun)
        ++t;
    return t == count;
}

char32_t firstCodePoint(const void* text, int length, int* used)
{
    int i = 0;
    const char32_t cp = length > 0 ? nextCodePoint(static_cast<const unsigned char*>(text), length, i) : 0;
    if (used)
        *used = i;
    return cp;
}

}  // namespace quarvel
