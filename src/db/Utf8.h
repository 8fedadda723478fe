#pragma once

// Reading UTF-8 one code point at a time, for the comparison, the LIKE matcher and the word
// splitter of the embedded engine. Header only and free of Qt and SQLite (the extension module
// carries it too).

namespace quarvel::utf8 {

// The code point starting at s[at] of a text of `length` bytes and how many bytes it takes.
// A malformed or cut sequence is one byte long and not valid; each caller decides what it reads as.
struct CodePoint {
    char32_t value;
    int length;
    bool valid;
};

inline CodePoint decode(const unsigned char* s, int length, int at)
{
    const unsigned char lead = s[at];
    if (lead < 0x80)
        return {lead, 1, true};
    int n = 0;
    char32_t value = 0;
    if ((lead & 0xE0) == 0xC0) {
        n = 2;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        n = 3;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        n = 4;
        value = lead & 0x07;
    } else {
        return {lead, 1, false};
    }
    if (at + n > length)
        return {lead, 1, false};
    for (int k = 1; k < n; ++k) {
        if ((s[at + k] & 0xC0) != 0x80)
            return {lead, 1, false};
        value = (value << 6) | (s[at + k] & 0x3F);
    }
    return {value, n, true};
}

}  // namespace quarvel::utf8
