// Folding one character of raw text, whatever it is: the step every
// variant of the block folding kernel takes where its wide steps stop.
#pragma once

#include <cstddef>

#include "filter/fold.h"
#include "textio/utf8.h"

namespace filter {

inline char* putFoldedByte(char* out, unsigned value) {
    *out = static_cast<char>(value);
    return out + 1;
}

// UTF-8 of the folded unit; an escape unit takes the three-byte form of its
// surrogate code point, so it can never equal part of a real character.
inline char* putFoldedUnit(char32_t unit, char* out) {
    if (unit < 0x80) return putFoldedByte(out, unit);
    if (unit < 0x800) {
        out = putFoldedByte(out, 0xC0 | (unit >> 6));
        return putFoldedByte(out, 0x80 | (unit & 0x3F));
    }
    if (unit < 0x10000) {
        out = putFoldedByte(out, 0xE0 | (unit >> 12));
        out = putFoldedByte(out, 0x80 | ((unit >> 6) & 0x3F));
        return putFoldedByte(out, 0x80 | (unit & 0x3F));
    }
    out = putFoldedByte(out, 0xF0 | (unit >> 18));
    out = putFoldedByte(out, 0x80 | ((unit >> 12) & 0x3F));
    out = putFoldedByte(out, 0x80 | ((unit >> 6) & 0x3F));
    return putFoldedByte(out, 0x80 | (unit & 0x3F));
}

// Folds the character at p (p < end) into out and moves both past it.
inline void foldCharacter(const unsigned char*& p, const unsigned char* end, char*& out) {
    if (*p < 0x80) {
        const unsigned byte = *p++;
        *out++ = static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
        return;
    }
    // Latin-1 letters, the usual accented ones: capitals U+00C0..U+00DE
    // (but U+00D7, the multiplication sign) lowercase 0x20 higher.
    if (*p == 0xC3 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
        const unsigned second = p[1];
        const bool capital = second <= 0x9E && second != 0x97;
        out = putFoldedByte(out, 0xC3);
        out = putFoldedByte(out, capital ? second + 0x20 : second);
        p += 2;
        return;
    }
    const textio::DecodedUnit decoded = textio::decodeUnit(p, static_cast<std::size_t>(end - p));
    out = putFoldedUnit(foldUnit(decoded.unit), out);
    p += decoded.length;
}

}  // namespace filter
