#include "filter/line_runs.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "textio/simd_targets.h"

namespace filter {
namespace {

// A run of copies of a line (with its LF) is a stretch of bytes that
// repeats with the line's length: it lasts up to the first byte that differs
// from the byte that length before it. So runs are found in one pass that
// compares the block with itself shifted, 64 bytes per step, not by a
// comparison per line.
#ifdef SEARCHFILTER_SSE2
constexpr std::size_t kStep = 64;
#endif

// The first offset in [from, end) whose byte differs from the byte `period`
// before it, or `end`, looking at what the vector steps left over.
std::size_t firstBreakFrom(const char* bytes, std::size_t from, std::size_t end,
                           std::size_t period) {
    while (from != end && bytes[from] == bytes[from - period]) ++from;
    return from;
}

#ifdef SEARCHFILTER_SSE2
std::size_t firstBreakSse2(const char* bytes, std::size_t from, std::size_t end,
                           std::size_t period) {
    const auto sameMask = [&](std::size_t at) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
        const __m128i before =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at - period));
        return static_cast<std::uint64_t>(
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, before))));
    };
    for (; end - from >= kStep; from += kStep) {
        const std::uint64_t same = sameMask(from) | sameMask(from + 16) << 16 |
                                   sameMask(from + 32) << 32 | sameMask(from + 48) << 48;
        if (same != ~std::uint64_t{0})
            return from + static_cast<std::size_t>(__builtin_ctzll(~same));
    }
    return firstBreakFrom(bytes, from, end, period);
}
#endif

#ifdef SEARCHFILTER_AVX2
__attribute__((target("avx2"))) std::size_t firstBreakAvx2(const char* bytes, std::size_t from,
                                                           std::size_t end, std::size_t period) {
    const auto sameMask = [&](std::size_t at) __attribute__((target("avx2"))) {
        const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + at));
        const __m256i before =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + at - period));
        return static_cast<std::uint64_t>(
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(here, before))));
    };
    for (; end - from >= kStep; from += kStep) {
        const std::uint64_t same = sameMask(from) | sameMask(from + 32) << 32;
        if (same != ~std::uint64_t{0})
            return from + static_cast<std::size_t>(__builtin_ctzll(~same));
    }
    return firstBreakFrom(bytes, from, end, period);
}
#endif

using FirstBreak = std::size_t (*)(const char*, std::size_t, std::size_t, std::size_t);

FirstBreak chooseFirstBreak() {
#ifdef SEARCHFILTER_AVX2
    if (__builtin_cpu_supports("avx2")) return firstBreakAvx2;
#endif
#ifdef SEARCHFILTER_SSE2
    return firstBreakSse2;
#else
    return firstBreakFrom;
#endif
}

}  // namespace

bool collapseRuns(std::string_view block, std::span<const std::size_t> lineEnds, std::size_t lines,
                  LineRuns& runs) {
    runs.runStarts.clear();
    if (lines == 0) return false;
    static const FirstBreak firstBreak = chooseFirstBreak();
    const char* bytes = block.data();
    const std::size_t end = lineEnds[lines - 1] + 1;
    std::size_t runBytes = 0;  // of the first line of each run, with its LF
    for (std::size_t line = 0; line < lines;) {
        const std::size_t start = line == 0 ? 0 : lineEnds[line - 1] + 1;
        const std::size_t period = lineEnds[line] + 1 - start;
        runs.runStarts.push_back(line);
        runBytes += period;
        // The copies of this line that follow it end where the bytes stop
        // repeating with its length; the line holding that break is the
        // first that differs from the one before (a longer line has no LF
        // where its predecessor has one, a shorter one has it earlier).
        const std::size_t copies =
            (firstBreak(bytes, start + period, end, period) - start) / period;
        line = std::min(line + copies, lines);
    }
    // Copying the runs out costs about as much as searching a quarter of
    // the bytes again.
    if (runBytes > end / 4 * 3) return false;
    runs.runStarts.push_back(lines);

    // One line per run, copied 64 bytes at a time into room with that much
    // to spare: a call per line of a few dozen bytes cost more than the copy.
    constexpr std::size_t kCopy = 64;
    if (runs.bytes.size() < runBytes + kCopy) runs.bytes.resize(runBytes + kCopy);
    runs.lineEnds.clear();
    char* const first = runs.bytes.data();
    char* out = first;
    for (std::size_t run = 0; run + 1 < runs.runStarts.size(); ++run) {
        const std::size_t line = runs.runStarts[run];
        const std::size_t start = line == 0 ? 0 : lineEnds[line - 1] + 1;
        const std::size_t length = lineEnds[line] + 1 - start;
        if (length <= kCopy && start + kCopy <= end) {
            std::memcpy(out, bytes + start, kCopy);
        } else {
            std::memcpy(out, bytes + start, length);
        }
        out += length;
        runs.lineEnds.push_back(static_cast<std::size_t>(out - first) - 1);
    }
    runs.size = runBytes;
    return true;
}

}  // namespace filter
