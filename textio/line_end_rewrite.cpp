#include "textio/line_end_rewrite.h"

#include <array>
#include <cstdint>

#include "textio/simd_targets.h"

namespace textio {
namespace {

// One line end (or one ordinary byte) from `read`, written at `write`.
void rewriteOne(char*& read, char*& write, char* end) {
    const char byte = *read++;
    if (byte == '\r') {
        if (read != end && *read == '\n') ++read;  // CR LF is one line end
        *write++ = '\n';
    } else if (byte == '\0') {
        *write++ = '\n';
    } else {
        *write++ = byte;
    }
}

char* rewriteBytes(char* read, char* write, char* end) {
    while (read != end) rewriteOne(read, write, end);
    return write;
}

#ifdef SEARCHFILTER_X86
constexpr std::size_t kStep = 16;

// Shuffles that drop byte p of sixteen (p < 16), and at 16 one that keeps all.
constexpr std::array<std::array<std::uint8_t, kStep>, kStep + 1> kDropByte = [] {
    std::array<std::array<std::uint8_t, kStep>, kStep + 1> table{};
    for (std::size_t p = 0; p <= kStep; ++p) {
        for (std::size_t i = 0; i < kStep; ++i) {
            const std::size_t from = i < p ? i : i + 1;
            table[p][i] = from < kStep ? static_cast<std::uint8_t>(from) : 0x80;
        }
    }
    return table;
}();

// Sixteen bytes at a time: a step with no CR and no NUL moves down as it is;
// one whose only such byte is a CR followed by LF in the step moves down
// without the CR, one shuffle and one store. Every other step is rewritten
// byte by byte. The write position never passes the read position, and a
// step is loaded before anything is stored over it.
__attribute__((target("ssse3"))) SEARCHFILTER_ALIGN_STACK char* rewriteSsse3(char* from,
                                                                             char* end) {
    char* read = from;
    char* write = from;
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (static_cast<std::size_t>(end - read) >= kStep) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(read));
        const auto crs =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, carriageReturn)));
        const auto nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
        const auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)));
        // At most one CR, and an LF right after it in the step (so never at 15).
        if (nuls == 0 && (crs & (crs - 1)) == 0 && (crs << 1 & ~lfs) == 0 && crs < 0x8000) {
            const auto dropped = static_cast<std::size_t>(__builtin_ctz(crs | 0x10000u));
            const __m128i shuffle =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(kDropByte[dropped].data()));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(write), _mm_shuffle_epi8(bytes, shuffle));
            read += kStep;
            write += kStep - (crs != 0 ? 1 : 0);
            continue;
        }
        const char* const stepEnd = read + kStep;
        while (read < stepEnd) rewriteOne(read, write, end);
    }
    return rewriteBytes(read, write, end);
}

bool ssse3Available() {
    static const bool available = __builtin_cpu_supports("ssse3");
    return available;
}
#endif

}  // namespace

char* rewriteLineEnds(char* from, char* end) {
#ifdef SEARCHFILTER_X86
    if (ssse3Available()) return rewriteSsse3(from, end);
#endif
    return rewriteBytes(from, from, end);
}

}  // namespace textio
