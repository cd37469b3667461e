#include "textio/utf8.h"

namespace textio {
namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

DecodedUnit escape(unsigned char byte) {
    return {kEscapeBase + byte, 1};
}

}  // namespace

DecodedUnit decodeUnit(const unsigned char* bytes, std::size_t size) {
    const unsigned char lead = bytes[0];
    if (lead < 0x80) return {lead, 1};
    // The allowed range of the second byte depends on the lead byte: this
    // rules out overlong forms, surrogates and code points past U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return escape(lead);
    }
    if (size < length || bytes[1] < low || bytes[1] > high) return escape(lead);
    value = (value << 6) | (bytes[1] & 0x3Fu);
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(bytes[i])) return escape(lead);
        value = (value << 6) | (bytes[i] & 0x3Fu);
    }
    return {value, length};
}

void encodeUnit(char32_t unit, std::string& out) {
    if (isEscapeUnit(unit)) {
        out.push_back(static_cast<char>(unit - kEscapeBase));
    } else if (unit < 0x80) {
        out.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
        out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else if (unit < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
        out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (unit >> 18)));
        out.push_back(static_cast<char>(0x80 | ((unit >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
}

std::u32string decodeText(std::string_view bytes) {
    std::u32string units;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        const DecodedUnit decoded = decodeUnit(p, left);
        units.push_back(decoded.unit);
        p += decoded.length;
        left -= decoded.length;
    }
    return units;
}

std::string encodeText(std::u32string_view units) {
    std::string bytes;
    for (const char32_t unit : units) encodeUnit(unit, bytes);
    return bytes;
}

}  // namespace textio
