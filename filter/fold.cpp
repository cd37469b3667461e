#include "filter/fold.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "filter/lower_table.h"
#include "filter/search_filter.h"
#include "textio/simd_targets.h"
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

char* putByte(char* out, unsigned value) {
    *out = static_cast<char>(value);
    return out + 1;
}

// UTF-8 of the folded unit; an escape unit takes the three-byte form of its
// surrogate code point, so it can never equal part of a real character.
char* putFoldedUnit(char32_t unit, char* out) {
    if (unit < 0x80) return putByte(out, unit);
    if (unit < 0x800) {
        out = putByte(out, 0xC0 | (unit >> 6));
        return putByte(out, 0x80 | (unit & 0x3F));
    }
    if (unit < 0x10000) {
        out = putByte(out, 0xE0 | (unit >> 12));
        out = putByte(out, 0x80 | ((unit >> 6) & 0x3F));
        return putByte(out, 0x80 | (unit & 0x3F));
    }
    out = putByte(out, 0xF0 | (unit >> 18));
    out = putByte(out, 0x80 | ((unit >> 12) & 0x3F));
    out = putByte(out, 0x80 | ((unit >> 6) & 0x3F));
    return putByte(out, 0x80 | (unit & 0x3F));
}

#ifndef SEARCHFILTER_SSE2
// Lowercases eight ASCII bytes at once: no byte has its high bit set, so the
// per-byte additions below cannot carry into a neighbour.
std::uint64_t lowerAsciiWord(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const std::uint64_t atLeastA = word + kOnes * (0x80 - 'A');
    const std::uint64_t pastZ = word + kOnes * (0x80 - 'Z' - 1);
    return word | ((atLeastA & ~pastZ & kHighs) >> 2);
}
#endif

#ifdef SEARCHFILTER_SSE2
// Folds the sixteen bytes at p into out when they are ASCII and whole
// two-byte Latin-1 letters (lead byte C3), the bulk of accented text, and
// returns 16; otherwise folds only the ASCII bytes before the first other
// one and returns how many. Both keep every byte's length.
int foldStep(const unsigned char* p, char* out) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i asciiUpper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                             _mm_cmpgt_epi8(_mm_set1_epi8('Z' + 1), bytes));
    __m128i folded = _mm_or_si128(bytes, _mm_and_si128(asciiUpper, _mm_set1_epi8(0x20)));
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    if (high == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), folded);
        return 16;
    }
    // Signed compares: bytes 0x80..0xBF are the ones below -64.
    const __m128i isLead = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xC3)));
    const auto lead = static_cast<unsigned>(_mm_movemask_epi8(isLead));
    const auto continuation = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xC0)))));
    const bool latinPairsOnly =
        (lead & 0x8000u) == 0 && ((lead << 1) & ~continuation) == 0 && high == (lead | (lead << 1));
    if (latinPairsOnly) {
        // After a C3 lead, 0x80..0x9E but 0x97 are capitals: set bit 5.
        const __m128i capital = _mm_andnot_si128(
            _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x97))),
            _mm_and_si128(_mm_slli_si128(isLead, 1),
                          _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x9F)))));
        folded = _mm_or_si128(folded, _mm_and_si128(capital, _mm_set1_epi8(0x20)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), folded);
        return 16;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), folded);
    return std::countr_zero(high);
}
#endif

}  // namespace

char32_t foldUnit(char32_t unit) {
    if (textio::isEscapeUnit(unit)) return unit;  // raw bytes have no case
    char32_t lower = simpleLowercase(unit);
    for (const FoldPair& pair : FoldTable) {
        if (lower == pair.upper) lower = pair.lower;
    }
    return lower;
}

char* foldInto(std::string_view text, char* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p != end) {
        // Most text is ASCII: lowercase sixteen (or eight) bytes at once and
        // keep the ASCII ones. `out` has room for three bytes per byte left,
        // so storing a whole step is safe even when only part of it counts.
#ifdef SEARCHFILTER_SSE2
        if (end - p >= 16) {
            const int folded = foldStep(p, out);
            p += folded;
            out += folded;
            if (folded == 16) continue;
        }
#else
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ULL) == 0) {
                word = lowerAsciiWord(word);
                std::memcpy(out, &word, sizeof word);
                p += 8;
                out += 8;
                continue;
            }
        }
#endif
        if (p == end) break;
        if (*p < 0x80) {
            *out++ = kAsciiLower[*p++];
            continue;
        }
        // Latin-1 letters, the usual accented ones: capitals U+00C0..U+00DE
        // (but U+00D7, the multiplication sign) lowercase 0x20 higher.
        if (*p == 0xC3 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            const unsigned second = p[1];
            const bool capital = second <= 0x9E && second != 0x97;
            out = putByte(out, 0xC3);
            out = putByte(out, capital ? second + 0x20 : second);
            p += 2;
            continue;
        }
        const textio::DecodedUnit decoded =
            textio::decodeUnit(p, static_cast<std::size_t>(end - p));
        out = putFoldedUnit(foldUnit(decoded.unit), out);
        p += decoded.length;
    }
    return out;
}

void appendFolded(std::string_view text, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + kMaxFoldGrowth * text.size());
    char* end = foldInto(text, out.data() + start);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string foldText(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    appendFolded(text, folded);
    return folded;
}

}  // namespace filter
