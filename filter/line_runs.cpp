#include "filter/line_runs.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(SEARCHFILTER_SCALAR_ONLY)
#include <emmintrin.h>
#endif

namespace filter {
namespace {

std::uint64_t wordAt(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Whether the `size` bytes at a and b are equal. Lines are short and most
// lines compared are equal (runs are long), so every byte has to be looked
// at: sixty-four at a time where the processor allows, in four steps whose
// last ones move back to end at the line's end (a branch per step would be
// mispredicted once per line, the steps taken varying with the length).
bool sameBytes(const char* a, const char* b, std::size_t size) {
#if defined(__SSE2__) && !defined(SEARCHFILTER_SCALAR_ONLY)
    constexpr std::size_t kStep = 16;
    if (size >= kStep) {
        const std::size_t last = size - kStep;
        const auto equal = [&](std::size_t at) {
            const std::size_t from = at < last ? at : last;
            return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + from)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + from)));
        };
        for (std::size_t at = 0;; at += 4 * kStep) {
            const __m128i same =
                _mm_and_si128(_mm_and_si128(equal(at), equal(at + kStep)),
                              _mm_and_si128(equal(at + 2 * kStep), equal(at + 3 * kStep)));
            if (_mm_movemask_epi8(same) != 0xFFFF) return false;
            if (at + 3 * kStep >= last) return true;
        }
    }
#endif
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    if (size < kWord) return std::memcmp(a, b, size) == 0;
    const std::size_t last = size - kWord;
    for (std::size_t at = 0; at < last; at += kWord) {
        if (wordAt(a + at) != wordAt(b + at)) return false;
    }
    return wordAt(a + last) == wordAt(b + last);
}

}  // namespace

bool collapseRuns(std::string_view block, std::span<const std::size_t> lineEnds, std::size_t lines,
                  LineRuns& runs) {
    runs.runStarts.clear();
    std::size_t runBytes = 0;  // of the first line of each run, with its LF
    const char* previous = block.data();
    std::size_t previousSize = SIZE_MAX;  // no line before the first
    std::size_t start = 0;
    for (std::size_t line = 0; line < lines; ++line) {
        const char* current = block.data() + start;
        const std::size_t size = lineEnds[line] - start;
        start = lineEnds[line] + 1;
        if (size == previousSize && sameBytes(current, previous, size)) continue;
        runs.runStarts.push_back(line);
        runBytes += size + 1;
        previous = current;
        previousSize = size;
    }
    // Copying the runs out costs about as much as searching a quarter of
    // the bytes again.
    if (runBytes > start / 4 * 3) return false;
    runs.runStarts.push_back(lines);

    runs.text.clear();
    runs.lineEnds.clear();
    for (std::size_t run = 0; run + 1 < runs.runStarts.size(); ++run) {
        const std::size_t line = runs.runStarts[run];
        const std::size_t lineStart = line == 0 ? 0 : lineEnds[line - 1] + 1;
        runs.text.append(block.substr(lineStart, lineEnds[line] + 1 - lineStart));
        runs.lineEnds.push_back(runs.text.size() - 1);
    }
    return true;
}

}  // namespace filter
