// Plain folding and containment for the fuzz targets: decode with the
// reference decoder, fold unit by unit with the program's foldUnit (the
// lowercase table and the FoldTable are what is being relied on, not the
// bulk folding around them), and test containment position by position.
#pragma once

#include <string>
#include <string_view>

#include "filter/fold.h"
#include "reference_utf8.h"

namespace reference {

inline std::u32string foldUnits(std::string_view bytes) {
    std::u32string units = decode(bytes);
    for (char32_t& unit : units) unit = filter::foldUnit(unit);
    return units;
}

inline std::string encodeUnits(std::u32string_view units) {
    std::string out;
    for (const char32_t unit : units) encodeCodePoint(unit, out);
    return out;
}

inline std::string foldBytes(std::string_view bytes) {
    return encodeUnits(foldUnits(bytes));
}

inline bool occursAt(std::u32string_view haystack, std::u32string_view needle, std::size_t at) {
    if (at + needle.size() > haystack.size()) return false;
    for (std::size_t k = 0; k < needle.size(); ++k) {
        if (haystack[at + k] != needle[k]) return false;
    }
    return true;
}

// Never true for an empty haystack or needle.
inline bool contains(std::u32string_view haystack, std::u32string_view needle) {
    if (haystack.empty() || needle.empty()) return false;
    for (std::size_t at = 0; at < haystack.size(); ++at) {
        if (occursAt(haystack, needle, at)) return true;
    }
    return false;
}

}  // namespace reference
