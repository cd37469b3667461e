// UTF-8 with escapes. Well-formed sequences decode to their code points; every
// byte of an ill-formed sequence (stray continuation bytes, truncated or
// overlong forms, encoded surrogates, bytes F5..FF) decodes to an escape unit
// of its own, U+DC00 + the byte, a lone low surrogate as no well-formed input
// can produce. Encoding turns an escape unit back into its byte, so
// encode(decode(bytes)) == bytes for any bytes at all.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace textio {

inline constexpr char32_t kEscapeBase = 0xDC00;

inline bool isEscapeUnit(char32_t unit) {
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

struct DecodedUnit {
    char32_t unit;
    std::size_t length;  // bytes consumed, 1 to 4
};

// Decodes the unit starting at `bytes` (size >= 1).
DecodedUnit decodeUnit(const unsigned char* bytes, std::size_t size);

// Appends the UTF-8 form of a code point; an escape unit appends its byte.
void encodeUnit(char32_t unit, std::string& out);

std::u32string decodeText(std::string_view bytes);
std::string encodeText(std::u32string_view units);

}  // namespace textio
