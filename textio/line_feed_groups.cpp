#include "textio/line_feed_groups.h"

#include <algorithm>
#include <cstdint>

#include "textio/simd_targets.h"

namespace textio {
namespace {

#if defined(SEARCHFILTER_SSE2) || defined(SEARCHFILTER_AVX2)
constexpr std::size_t kGroup = 64;
// Lines are a few dozen bytes, so this many offsets are written per group
// whether or not it has that many LFs (the extra ones are written over by
// the next group or never counted): most groups take no branch on their LFs.
constexpr std::size_t kAlways = 4;
// Room is made once per this many bytes, for one LF per byte at most.
constexpr std::size_t kChunk = 4096;

// The offset of the lowest set bit of `mask` from `here`; the high bit set
// apart keeps the count defined once the mask runs out.
inline std::size_t lowestAt(std::size_t here, std::uint64_t mask) {
    return here + static_cast<std::size_t>(__builtin_ctzll(mask | std::uint64_t{1} << 63));
}

// Writes the offsets of the `count` set bits of `mask` (a group's LFs) from
// `out`: kAlways of them whatever the count, the rest in a loop.
inline std::size_t* writeOffsets(std::size_t* out, std::size_t here, std::uint64_t mask,
                                 std::size_t count) {
    static_assert(kAlways == 4);
    out[0] = lowestAt(here, mask);
    mask &= mask - 1;
    out[1] = lowestAt(here, mask);
    mask &= mask - 1;
    out[2] = lowestAt(here, mask);
    mask &= mask - 1;
    out[3] = lowestAt(here, mask);
    mask &= mask - 1;
    for (std::size_t i = kAlways; i < count; ++i) {
        out[i] = lowestAt(here, mask);
        mask &= mask - 1;
    }
    return out + count;
}

// The next chunk of whole groups from `at`, with room made for its LFs.
struct Chunk {
    std::size_t end;
    std::size_t* firstOut;
};

Chunk startChunk(LineFeedOffsets& noted, std::size_t at, std::size_t size) {
    const std::size_t end = at + std::min(kChunk, (size - at) / kGroup * kGroup);
    reserveLineFeeds(noted, end - at + kAlways);
    return {end, noteData(noted) + noted.count};
}
#endif

#ifdef SEARCHFILTER_SSE2
// The smaller of a byte and itself XOR CR is 0 exactly for CR and NUL.
__m128i carriageReturnsOrNuls16(__m128i bytes) {
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    return _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_xor_si128(bytes, carriageReturn)),
                          _mm_setzero_si128());
}

std::size_t bitCount64(std::uint64_t mask) {
    mask = mask - ((mask >> 1) & 0x5555555555555555u);
    mask = (mask & 0x3333333333333333u) + ((mask >> 2) & 0x3333333333333333u);
    mask = (mask + (mask >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<std::size_t>((mask * 0x0101010101010101u) >> 56);
}

std::size_t noteGroupsSse2(const char* begin, std::size_t size, std::size_t base,
                           LineFeedOffsets& noted) {
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const auto maskOf = [&](__m128i bytes) {
        return static_cast<std::uint64_t>(
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed))));
    };
    std::size_t at = 0;
    while (size - at >= kGroup) {
        const Chunk chunk = startChunk(noted, at, size);
        std::size_t* out = chunk.firstOut;
        for (; at != chunk.end; at += kGroup) {
            const auto* p = reinterpret_cast<const __m128i*>(begin + at);
            const __m128i b0 = _mm_loadu_si128(p);
            const __m128i b1 = _mm_loadu_si128(p + 1);
            const __m128i b2 = _mm_loadu_si128(p + 2);
            const __m128i b3 = _mm_loadu_si128(p + 3);
            const __m128i others = _mm_or_si128(
                _mm_or_si128(carriageReturnsOrNuls16(b0), carriageReturnsOrNuls16(b1)),
                _mm_or_si128(carriageReturnsOrNuls16(b2), carriageReturnsOrNuls16(b3)));
            if (_mm_movemask_epi8(others) != 0) break;
            const std::uint64_t mask =
                maskOf(b0) | maskOf(b1) << 16 | maskOf(b2) << 32 | maskOf(b3) << 48;
            out = writeOffsets(out, base + at, mask, bitCount64(mask));
        }
        noted.count += static_cast<std::size_t>(out - chunk.firstOut);
        if (at != chunk.end) break;
    }
    return at;
}
#endif

#ifdef SEARCHFILTER_AVX2
__attribute__((target("avx2"))) __m256i carriageReturnsOrNuls32(__m256i bytes) {
    const __m256i carriageReturn = _mm256_set1_epi8('\r');
    return _mm256_cmpeq_epi8(_mm256_min_epu8(bytes, _mm256_xor_si256(bytes, carriageReturn)),
                             _mm256_setzero_si256());
}

__attribute__((target("avx2"))) std::uint64_t lineFeedMask32(__m256i bytes) {
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n'))));
}

__attribute__((target("avx2,bmi,popcnt"))) std::size_t noteGroupsAvx2(const char* begin,
                                                                      std::size_t size,
                                                                      std::size_t base,
                                                                      LineFeedOffsets& noted) {
    std::size_t at = 0;
    while (size - at >= kGroup) {
        const Chunk chunk = startChunk(noted, at, size);
        std::size_t* out = chunk.firstOut;
        for (; at != chunk.end; at += kGroup) {
            const auto* p = reinterpret_cast<const __m256i*>(begin + at);
            const __m256i b0 = _mm256_loadu_si256(p);
            const __m256i b1 = _mm256_loadu_si256(p + 1);
            const __m256i others =
                _mm256_or_si256(carriageReturnsOrNuls32(b0), carriageReturnsOrNuls32(b1));
            if (!_mm256_testz_si256(others, others)) break;
            const std::uint64_t mask = lineFeedMask32(b0) | lineFeedMask32(b1) << 32;
            out = writeOffsets(out, base + at, mask,
                               static_cast<std::size_t>(__builtin_popcountll(mask)));
        }
        noted.count += static_cast<std::size_t>(out - chunk.firstOut);
        if (at != chunk.end) break;
    }
    return at;
}
#endif

}  // namespace

bool lineFeedKernelAvailable(LineFeedKernel kernel) {
    switch (kernel) {
        case LineFeedKernel::None:
            return true;
#ifdef SEARCHFILTER_SSE2
        case LineFeedKernel::Sse2:
            return true;  // built only where the base instruction set has it
#endif
#ifdef SEARCHFILTER_AVX2
        case LineFeedKernel::Avx2: {
            static const bool available = __builtin_cpu_supports("avx2") &&
                                          __builtin_cpu_supports("bmi") &&
                                          __builtin_cpu_supports("popcnt");
            return available;
        }
#endif
        default:
            return false;
    }
}

std::size_t noteLineFeedGroups(LineFeedKernel kernel, const char* begin, std::size_t size,
                               std::size_t base, LineFeedOffsets& noted) {
    if (!lineFeedKernelAvailable(kernel)) return 0;
    switch (kernel) {
#ifdef SEARCHFILTER_SSE2
        case LineFeedKernel::Sse2:
            return noteGroupsSse2(begin, size, base, noted);
#endif
#ifdef SEARCHFILTER_AVX2
        case LineFeedKernel::Avx2:
            return noteGroupsAvx2(begin, size, base, noted);
#endif
        default:
            (void)begin;  // nothing to look at without vectors
            (void)size;
            (void)base;
            (void)noted;
            return 0;
    }
}

std::size_t noteLineFeedGroups(const char* begin, std::size_t size, std::size_t base,
                               LineFeedOffsets& noted) {
    static const LineFeedKernel best =
        lineFeedKernelAvailable(LineFeedKernel::Avx2)   ? LineFeedKernel::Avx2
        : lineFeedKernelAvailable(LineFeedKernel::Sse2) ? LineFeedKernel::Sse2
                                                        : LineFeedKernel::None;
    return noteLineFeedGroups(best, begin, size, base, noted);
}

}  // namespace textio
