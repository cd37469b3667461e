#include "textio/line_ends.h"

#include <algorithm>
#include <cstring>

#include "textio/line_end_rewrite.h"
#include "textio/line_feed_groups.h"
#include "textio/simd_targets.h"

namespace textio {
namespace {

constexpr std::size_t kStep = 16;

#ifndef SEARCHFILTER_SSE2
// Bit i is set when p[i] == byte, for the sixteen bytes at p.
std::uint32_t matchMask(const char* p, char byte) {
#ifdef SEARCHFILTER_SSE2
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(byte))));
#else
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < kStep; ++i) mask |= static_cast<std::uint32_t>(p[i] == byte) << i;
    return mask;
#endif
}

std::uint32_t bitCount(std::uint32_t mask) {
    mask = mask - ((mask >> 1) & 0x55555555u);
    mask = (mask & 0x33333333u) + ((mask >> 2) & 0x33333333u);
    return (((mask + (mask >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24;
}
#endif

// Counts LF bytes in whole steps and returns where the steps stopped: at the
// last whole step, or with kStopAtLineEndBytes before the first step that
// holds a CR or NUL.
template <bool kStopAtLineEndBytes>
const char* countLineFeedSteps(const char* p, const char* end, std::size_t& count) {
#ifdef SEARCHFILTER_SSE2
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    bool stopped = false;
    while (!stopped && static_cast<std::size_t>(end - p) >= kStep) {
        // Per-byte counters, summed before any of them can reach 256.
        __m128i counters = _mm_setzero_si128();
        for (int round = 0; round < 255 && static_cast<std::size_t>(end - p) >= kStep; ++round) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            if (kStopAtLineEndBytes) {
                const __m128i other = _mm_or_si128(_mm_cmpeq_epi8(bytes, carriageReturn),
                                                   _mm_cmpeq_epi8(bytes, zero));
                if (_mm_movemask_epi8(other) != 0) {
                    stopped = true;
                    break;
                }
            }
            counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(bytes, lineFeed));
            p += kStep;
        }
        const __m128i sums = _mm_sad_epu8(counters, zero);
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#else
    for (; static_cast<std::size_t>(end - p) >= kStep; p += kStep) {
        if (kStopAtLineEndBytes && (matchMask(p, '\r') | matchMask(p, '\0')) != 0) break;
        count += bitCount(matchMask(p, '\n'));
    }
#endif
    return p;
}

}  // namespace

NormalizedLines normalizeLineEnds(char* begin, std::size_t size) {
    char* end = begin + size;
    std::size_t lineFeeds = 0;
    // Most files have no CR and no NUL: then the block stays as it is and
    // only its LFs are counted.
    char* from = begin + (countLineFeedSteps<true>(begin, end, lineFeeds) - begin);
    char* stop = rewriteLineEnds(from, end);
    lineFeeds += countLineFeeds(from, static_cast<std::size_t>(stop - from));
    return {static_cast<std::size_t>(stop - begin), lineFeeds};
}

std::size_t countLineFeeds(const char* begin, std::size_t size) {
    std::size_t count = 0;
    const char* end = begin + size;
    const char* p = countLineFeedSteps<false>(begin, end, count);
    while (p != end) count += *p++ == '\n' ? 1u : 0u;
    return count;
}

void reserveLineFeeds(LineFeedOffsets& noted, std::size_t more) {
    constexpr std::size_t kEntry = sizeof(std::size_t);
    const std::size_t capacity = largeBufferSize(noted.bytes) / kEntry;
    if (capacity - noted.count >= more) return;
    const std::size_t wanted =
        std::max({2 * capacity, noted.count + more, kLargeBufferMinimum / kEntry});
    LargeBuffer bytes = allocateLargeBuffer(wanted * kEntry);
    if (noted.count > 0) std::memcpy(bytes.get(), noted.bytes.get(), noted.count * kEntry);
    noted.bytes = std::move(bytes);
}

std::size_t normalizeNotingLineEnds(char* begin, std::size_t size, std::size_t base,
                                    LineFeedOffsets& noted) {
    // Most files have no CR and no NUL: whole groups of bytes are only looked
    // at, their LFs noted, up to the first group that holds one of those.
    std::size_t at = noteLineFeedGroups(begin, size, base, noted);
    if (at == size) return size;
    // The rest is rewritten first, then its LFs noted the same way (it holds
    // no CR or NUL any more); what the groups leave over, byte by byte.
    const auto rewritten =
        static_cast<std::size_t>(rewriteLineEnds(begin + at, begin + size) - begin);
    at += noteLineFeedGroups(begin + at, rewritten - at, base + at, noted);
    for (; at != rewritten; ++at) {
        if (begin[at] != '\n') continue;
        reserveLineFeeds(noted, 1);
        noteData(noted)[noted.count++] = base + at;
    }
    return rewritten;
}

}  // namespace textio
