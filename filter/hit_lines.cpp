#include "filter/hit_lines.h"

#include <algorithm>
#include <cstring>

#include "filter/fold.h"
#include "textio/line_ends.h"
#include "textio/simd_targets.h"

namespace filter {
namespace {

// Raw bytes folded at a time: big enough to amortise the calls, small enough
// for the folded block to stay in the cache while it is searched; as large as
// the blocks the folders list is streamed in, so each of those is one here.
constexpr std::size_t kBlockSize = 256 * 1024;

// The end of a block starting at `begin`: just after the last LF within
// kBlockSize bytes, or after the first LF when one line is longer.
const char* blockEnd(const char* begin, const char* end) {
    if (static_cast<std::size_t>(end - begin) <= kBlockSize) return end;
    for (const char* p = begin + kBlockSize; p != begin; --p) {
        if (p[-1] == '\n') return p;
    }
    const void* lineFeed =
        std::memchr(begin + kBlockSize, '\n', static_cast<std::size_t>(end - begin) - kBlockSize);
    return lineFeed ? static_cast<const char*>(lineFeed) + 1 : end;
}

// Marks the hit lines among the lines of [block, end) (whole lines of
// `text`), the first of which is line `firstLine`, finding each hit's line
// among the line ends (offsets in `text` of every line's LF); returns the
// number of the line after the block.
std::size_t markBlockByLineEnds(const char* text, const char* block, const char* end,
                                std::size_t firstLine, std::size_t limit, const TermSearch& search,
                                std::span<const std::size_t> lineEnds, LineHits& hits) {
    const auto linesBefore = [&](std::size_t from, std::size_t offset) {
        return static_cast<std::size_t>(
            std::lower_bound(lineEnds.begin() + static_cast<std::ptrdiff_t>(from), lineEnds.end(),
                             offset) -
            lineEnds.begin());
    };
    const char* cursor = block;
    std::size_t line = firstLine;
    while (cursor != end) {
        const std::size_t offset =
            findOccurrence(search, cursor, static_cast<std::size_t>(end - cursor));
        if (offset == kNoOccurrence) break;
        // No term holds an LF, so the first LF at or after the hit ends its line.
        line = linesBefore(line, static_cast<std::size_t>(cursor - text) + offset);
        if (line >= limit) return line;
        hits[line] = 1;
        cursor = text + lineEnds[line] + 1;
        ++line;
    }
    return linesBefore(line, static_cast<std::size_t>(end - text));
}

// Marks the hit lines among the lines of `text` (whole lines), the first of
// which is line `firstLine`; returns the line number after the last one
// looked at.
std::size_t markBlock(const char* text, const char* end, std::size_t firstLine, std::size_t limit,
                      const TermSearch& search, LineHits& hits) {
    const char* cursor = text;
    std::size_t line = firstLine;
    for (;;) {
        const std::size_t offset =
            findOccurrence(search, cursor, static_cast<std::size_t>(end - cursor));
        if (offset == kNoOccurrence) {
            return line + textio::countLineFeeds(cursor, static_cast<std::size_t>(end - cursor));
        }
        const char* hit = cursor + offset;
        line += textio::countLineFeeds(cursor, static_cast<std::size_t>(hit - cursor));
        if (line >= limit) return line;
        hits[line] = 1;
        const void* lineFeed = std::memchr(hit, '\n', static_cast<std::size_t>(end - hit));
        if (lineFeed == nullptr) return line;
        cursor = static_cast<const char*>(lineFeed) + 1;
        ++line;
    }
}

#ifdef SEARCHFILTER_SSE2
// A byte is a lead looked for exactly when the smaller of two distances to
// the leads is at most kLimit: with Latin, b ^ C4 is 0 or 1 only for C4 and
// C5, b - E1 only for E1 and E2; else b ^ C4 and b ^ E2 are 0 only for C4
// and E2. The smallest distance over 64 bytes is tested once.
template <bool Latin>
bool hasFoldLeadSse2(const char* begin, std::size_t size) {
    const __m128i c4 = _mm_set1_epi8(static_cast<char>(0xC4));
    const __m128i second = _mm_set1_epi8(static_cast<char>(Latin ? 0xE1 : 0xE2));
    const __m128i limit = _mm_set1_epi8(Latin ? 1 : 0);
    const auto distance = [&](const char* at) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i toSecond = Latin ? _mm_sub_epi8(bytes, second) : _mm_xor_si128(bytes, second);
        return _mm_min_epu8(_mm_xor_si128(bytes, c4), toSecond);
    };
    const auto within = [&](__m128i distances) {
        return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(distances, limit), distances)) != 0;
    };
    const char* p = begin;
    const char* end = begin + size;
    for (; end - p >= 64; p += 64) {
        const __m128i nearest = _mm_min_epu8(_mm_min_epu8(distance(p), distance(p + 16)),
                                             _mm_min_epu8(distance(p + 32), distance(p + 48)));
        if (within(nearest)) return true;
    }
    for (; end - p >= 16; p += 16) {
        if (within(distance(p))) return true;
    }
    for (; p != end; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte == 0xC4 || byte == 0xE2 || (Latin && (byte == 0xC5 || byte == 0xE1))) return true;
    }
    return false;
}
#endif

#ifdef SEARCHFILTER_AVX2
// The same as hasFoldLeadSse2, 64 bytes in two steps; the rest goes there.
template <bool Latin>
__attribute__((target("avx2"))) bool hasFoldLeadAvx2(const char* begin, std::size_t size) {
    const __m256i c4 = _mm256_set1_epi8(static_cast<char>(0xC4));
    const __m256i second = _mm256_set1_epi8(static_cast<char>(Latin ? 0xE1 : 0xE2));
    const __m256i limit = _mm256_set1_epi8(Latin ? 1 : 0);
    const char* p = begin;
    const char* end = begin + size;
    for (; end - p >= 64; p += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const __m256i lowToSecond =
            Latin ? _mm256_sub_epi8(low, second) : _mm256_xor_si256(low, second);
        const __m256i highToSecond =
            Latin ? _mm256_sub_epi8(high, second) : _mm256_xor_si256(high, second);
        const __m256i nearest =
            _mm256_min_epu8(_mm256_min_epu8(_mm256_xor_si256(low, c4), lowToSecond),
                            _mm256_min_epu8(_mm256_xor_si256(high, c4), highToSecond));
        const __m256i within = _mm256_cmpeq_epi8(_mm256_min_epu8(nearest, limit), nearest);
        if (!_mm256_testz_si256(within, within)) return true;
    }
    return hasFoldLeadSse2<Latin>(p, static_cast<std::size_t>(end - p));
}
#endif

}  // namespace

bool hasFoldLead(const char* begin, std::size_t size, bool latin) {
#ifdef SEARCHFILTER_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        return latin ? hasFoldLeadAvx2<true>(begin, size) : hasFoldLeadAvx2<false>(begin, size);
#endif
#ifdef SEARCHFILTER_SSE2
    return latin ? hasFoldLeadSse2<true>(begin, size) : hasFoldLeadSse2<false>(begin, size);
#else
    const auto* p = reinterpret_cast<const unsigned char*>(begin);
    for (const auto* end = p + size; p != end; ++p) {
        if (*p == 0xC4 || *p == 0xE2 || (latin && (*p == 0xC5 || *p == 0xE1))) return true;
    }
    return false;
#endif
}

void markHitLines(std::string_view text, std::int32_t lineLimit, const TermSearch& search,
                  const TermSearch* rawSearch, LineHits& hits, FoldBuffer& buffer) {
    markHitLines(text, {}, lineLimit, search, rawSearch, hits, buffer);
}

void markHitLines(std::string_view text, std::span<const std::size_t> lineEnds,
                  std::int32_t lineLimit, const TermSearch& search, const TermSearch* rawSearch,
                  LineHits& hits, FoldBuffer& buffer) {
    const auto limit = static_cast<std::size_t>(lineLimit > 0 ? lineLimit : 0);
    const char* raw = text.data();
    const char* rawEnd = raw + text.size();
    std::size_t blockFirstLine = 0;
    while (raw != rawEnd && blockFirstLine < limit) {
        const char* rawBlockEnd = blockEnd(raw, rawEnd);
        const auto rawSize = static_cast<std::size_t>(rawBlockEnd - raw);
        if (rawSearch != nullptr && !hasFoldLead(raw, rawSize, rawSearch->latinTerms)) {
            blockFirstLine =
                lineEnds.empty()
                    ? markBlock(raw, rawBlockEnd, blockFirstLine, limit, *rawSearch, hits)
                    : markBlockByLineEnds(text.data(), raw, rawBlockEnd, blockFirstLine, limit,
                                          *rawSearch, lineEnds, hits);
            raw = rawBlockEnd;
            continue;
        }
        if (textio::largeBufferSize(buffer.bytes) < kMaxFoldGrowth * rawSize) {
            buffer.bytes.reset();  // the old block first: a long line may need much room
            buffer.bytes = textio::allocateLargeBuffer(kMaxFoldGrowth * rawSize);
        }
        const char* foldedEnd = foldInto({raw, rawSize}, buffer.bytes.get());
        // Folding keeps every LF, so line numbers carry over from raw to folded.
        blockFirstLine =
            markBlock(buffer.bytes.get(), foldedEnd, blockFirstLine, limit, search, hits);
        raw = rawBlockEnd;
    }
}

}  // namespace filter
