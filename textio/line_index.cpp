#include "textio/line_index.h"

#include <algorithm>
#include <bit>

#include "textio/line_kernels.h"

namespace textio {

LineIndex indexLines(std::string_view text, std::uint32_t* linesBefore,
                     const WatchedBytes& watched) {
    const std::size_t wholeGroups = text.size() / kLineIndexGroup;
    linesBefore[0] = 0;
    bool seen = false;
    lineKernels().indexLineFeeds(text.data(), wholeGroups, SIZE_MAX, linesBefore, watched, seen);
    std::size_t lines = linesBefore[wholeGroups];
    const std::size_t tail = wholeGroups * kLineIndexGroup;
    if (tail != text.size()) {
        lines += static_cast<std::size_t>(
            std::count(text.begin() + static_cast<std::ptrdiff_t>(tail), text.end(), '\n'));
        linesBefore[wholeGroups + 1] = static_cast<std::uint32_t>(lines);
        seen = seen || holdsWatched(watched, text.data() + tail, text.size() - tail);
    }
    return {text, linesBefore, lines, watched, seen};
}

bool holdsWatched(const WatchedBytes& watched, const char* begin, std::size_t size) {
    if (!watched.active) return false;
    return std::any_of(begin, begin + size, [&](char byte) {
        const auto value = static_cast<unsigned char>(byte);
        return static_cast<std::uint8_t>(value - watched.first[0]) <= watched.span ||
               static_cast<std::uint8_t>(value - watched.first[1]) <= watched.span;
    });
}

namespace {

// Whether all 64 bytes of the group are the text's (only the last may be partial).
bool wholeGroup(const LineIndex& index, std::size_t group) {
    return (group + 1) * kLineIndexGroup <= index.text.size();
}

// The offset of LF number `nth` (from 0) of the group.
std::size_t nthLineFeedOfGroup(const LineIndex& index, std::size_t group, std::size_t nth) {
    const std::size_t start = group * kLineIndexGroup;
    if (wholeGroup(index, group)) {
        std::uint64_t mask = lineKernels().lineFeedMask(index.text.data() + start);
        for (; nth > 0; --nth) mask &= mask - 1;
        return start + static_cast<std::size_t>(std::countr_zero(mask));
    }
    for (std::size_t at = start;; ++at) {
        if (index.text[at] == '\n' && nth-- == 0) return at;
    }
}

}  // namespace

std::size_t lineOfOffset(const LineIndex& index, std::size_t offset) {
    const std::size_t group = offset / kLineIndexGroup;
    const std::size_t start = group * kLineIndexGroup;
    if (wholeGroup(index, group)) {
        const std::uint64_t below = (std::uint64_t{1} << (offset - start)) - 1;
        return index.linesBefore[group] +
               static_cast<std::size_t>(
                   std::popcount(lineKernels().lineFeedMask(index.text.data() + start) & below));
    }
    return index.linesBefore[group] +
           static_cast<std::size_t>(
               std::count(index.text.data() + start, index.text.data() + offset, '\n'));
}

std::size_t lineFeedOf(const LineIndex& index, std::size_t line) {
    // The last group with no more than `line` LFs before it holds LF number
    // `line`; the entry after the last group is beyond it.
    const std::uint32_t* const first = index.linesBefore;
    const std::uint32_t* const after =
        std::upper_bound(first, first + lineIndexEntries(index.text.size()), line);
    const auto group = static_cast<std::size_t>(after - first) - 1;
    return nthLineFeedOfGroup(index, group, line - first[group]);
}

std::size_t lineFeedOf(LineCursor& cursor, std::size_t line) {
    const std::uint32_t* linesBefore = cursor.index->linesBefore;
    // Kept lines are mostly far apart: eight groups a step first. The last
    // entry is beyond every line.
    constexpr std::size_t kStride = 8;
    const std::size_t last = lineIndexEntries(cursor.index->text.size()) - 1;
    while (last - cursor.group > kStride && linesBefore[cursor.group + kStride] <= line) {
        cursor.group += kStride;
    }
    while (linesBefore[cursor.group + 1] <= line) ++cursor.group;
    return nthLineFeedOfGroup(*cursor.index, cursor.group, line - linesBefore[cursor.group]);
}

std::string_view lineText(LineCursor& cursor, std::size_t line) {
    const LineIndex& index = *cursor.index;
    if (line >= index.lines) return {};
    const std::size_t start = line == 0 ? 0 : lineFeedOf(cursor, line - 1) + 1;
    return index.text.substr(start, lineFeedOf(cursor, line) - start);
}

}  // namespace textio
