// A deliberately plain UTF-8 decoder for the fuzz targets to compare with:
// each well-formed byte sequence of the Unicode standard's table of
// well-formed UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF) becomes its code point; any other byte becomes the escape unit
// U+DC00 + the byte. It shares no code with the program's decoder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace reference {

inline constexpr char32_t kEscapeBase = 0xDC00;

// One row of the table: lead bytes [leadLow, leadHigh], the range allowed for
// the second byte, and the length; third and fourth bytes are 80..BF.
struct WellFormedRow {
    unsigned leadLow, leadHigh, secondLow, secondHigh;
    std::size_t length;
};

inline constexpr WellFormedRow kWellFormed[] = {
    {0x00, 0x7F, 0x00, 0x00, 1}, {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
    {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
    {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
};

inline unsigned byteAt(std::string_view bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

// The length of the well-formed sequence starting at `at`, or 0.
inline std::size_t wellFormedLength(std::string_view bytes, std::size_t at) {
    const unsigned lead = byteAt(bytes, at);
    for (const WellFormedRow& row : kWellFormed) {
        if (lead < row.leadLow || lead > row.leadHigh) continue;
        if (at + row.length > bytes.size()) return 0;
        for (std::size_t k = 1; k < row.length; ++k) {
            const unsigned low = k == 1 ? row.secondLow : 0x80;
            const unsigned high = k == 1 ? row.secondHigh : 0xBF;
            const unsigned byte = byteAt(bytes, at + k);
            if (byte < low || byte > high) return 0;
        }
        return row.length;
    }
    return 0;
}

inline std::u32string decode(std::string_view bytes) {
    std::u32string units;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t length = wellFormedLength(bytes, at);
        if (length == 0) {
            units.push_back(kEscapeBase + byteAt(bytes, at));
            ++at;
            continue;
        }
        // The lead keeps 7, 5, 4 or 3 value bits; each further byte adds 6.
        char32_t value = byteAt(bytes, at) & (length == 1 ? 0x7Fu : 0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length; ++k)
            value = (value << 6) | (byteAt(bytes, at + k) & 0x3Fu);
        units.push_back(value);
        at += length;
    }
    return units;
}

// Plain UTF-8 of a code point, surrogates included (three bytes, ED A0 80 to
// ED BF BF): the form a folded text gives every unit, escapes too.
inline void encodeCodePoint(char32_t value, std::string& out) {
    auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (value < 0x80) {
        put(value);
    } else if (value < 0x800) {
        put(0xC0 | (value >> 6));
        put(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        put(0xE0 | (value >> 12));
        put(0x80 | ((value >> 6) & 0x3F));
        put(0x80 | (value & 0x3F));
    } else {
        put(0xF0 | (value >> 18));
        put(0x80 | ((value >> 12) & 0x3F));
        put(0x80 | ((value >> 6) & 0x3F));
        put(0x80 | (value & 0x3F));
    }
}

}  // namespace reference
