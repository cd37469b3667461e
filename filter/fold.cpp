#include "filter/fold.h"

#include <array>

#include "filter/lower_table.h"
#include "filter/search_filter.h"
#include "textio/utf8.h"

namespace filter {
namespace {

constexpr std::array<char, 128> makeAsciiLower() {
    std::array<char, 128> table{};
    for (int byte = 0; byte < 128; ++byte) {
        table[static_cast<std::size_t>(byte)] =
            static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
    }
    return table;
}

constexpr std::array<char, 128> kAsciiLower = makeAsciiLower();

void appendFoldedUnit(char32_t unit, std::string& out) {
    if (textio::isEscapeUnit(unit)) {
        out.push_back(static_cast<char>(0xED));
        out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        return;
    }
    textio::encodeUnit(unit, out);
}

}  // namespace

char32_t foldUnit(char32_t unit) {
    if (textio::isEscapeUnit(unit)) return unit;  // raw bytes have no case
    char32_t lower = simpleLowercase(unit);
    for (const FoldPair& pair : FoldTable) {
        if (lower == pair.upper) lower = pair.lower;
    }
    return lower;
}

void appendFolded(std::string_view text, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p != end) {
        if (*p < 0x80) {
            out.push_back(kAsciiLower[*p]);
            ++p;
            continue;
        }
        const textio::DecodedUnit decoded =
            textio::decodeUnit(p, static_cast<std::size_t>(end - p));
        appendFoldedUnit(foldUnit(decoded.unit), out);
        p += decoded.length;
    }
}

std::string foldText(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    appendFolded(text, folded);
    return folded;
}

}  // namespace filter
