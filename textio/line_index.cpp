#include "textio/line_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "simd/mask_bits.h"
#include "textio/line_kernels.h"

namespace textio {

LineIndex indexLines(std::string_view text, std::uint32_t* linesBefore, const WatchedBytes& watched,
                     bool* crOrNul) {
    const std::size_t wholeGroups = text.size() / kLineIndexGroup;
    linesBefore[0] = 0;
    IndexFindings found;
    lineKernels().indexLineFeeds(text.data(), wholeGroups, SIZE_MAX, linesBefore, watched,
                                 crOrNul != nullptr, found);
    std::size_t lines = linesBefore[wholeGroups];
    const std::size_t tail = wholeGroups * kLineIndexGroup;
    if (tail != text.size()) {
        const std::string_view rest = text.substr(tail);
        lines += static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '\n'));
        linesBefore[wholeGroups + 1] = static_cast<std::uint32_t>(lines);
        found.watchedSeen = found.watchedSeen || holdsWatched(watched, rest.data(), rest.size());
        found.crOrNul = found.crOrNul || (crOrNul != nullptr && holdsCrOrNul(rest));
    }
    if (crOrNul != nullptr) *crOrNul = found.crOrNul;
    return {text, linesBefore, lines, watched, found.watchedSeen};
}

bool holdsCrOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos;
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

// The mask without its `count` lowest set bits.
std::uint64_t withoutLowestBits(std::uint64_t mask, std::size_t count) {
    for (; count > 0; --count) mask &= mask - 1;
    return mask;
}

// The bytes of a mapped list may change under the run (another process
// writing it), so an LF the index counted may be gone by the time it is
// looked for: whatever the bytes, offsets found stay within the text, where
// the last byte stands in for a missing LF.
std::size_t lastByte(const LineIndex& index) {
    return index.text.size() - 1;
}

// base + the lowest bit set, or the last byte when none is.
std::size_t lowestBitOr(std::uint64_t mask, std::size_t base, const LineIndex& index) {
    return mask != 0 ? base + simd::lowestSetBit(mask) : lastByte(index);
}

// The offset of LF number `nth` (from 0) of the group.
std::size_t nthLineFeedOfGroup(const LineIndex& index, std::size_t group, std::size_t nth) {
    const std::size_t start = group * kLineIndexGroup;
    if (wholeGroup(index, group)) {
        const std::uint64_t mask = lineKernels().lineFeedMask(index.text.data() + start);
        return lowestBitOr(withoutLowestBits(mask, nth), start, index);
    }
    for (std::size_t at = start; at < index.text.size(); ++at) {
        if (index.text[at] == '\n' && nth-- == 0) return at;
    }
    return lastByte(index);
}

}  // namespace

std::size_t lineOfOffset(const LineIndex& index, std::size_t offset) {
    const std::size_t group = offset / kLineIndexGroup;
    const std::size_t start = group * kLineIndexGroup;
    if (wholeGroup(index, group)) {
        const std::uint64_t below = (std::uint64_t{1} << (offset - start)) - 1;
        return index.linesBefore[group] +
               simd::setBitCount(lineKernels().lineFeedMask(index.text.data() + start) & below);
    }
    return index.linesBefore[group] +
           static_cast<std::size_t>(
               std::count(index.text.data() + start, index.text.data() + offset, '\n'));
}

namespace {

// The offset where line `line` starts: just past LF number line - 1, which
// is in `group` or an earlier one (mostly the one before, or this one).
std::size_t lineStart(const LineIndex& index, std::size_t group, std::size_t line) {
    if (line == 0) return 0;
    std::size_t before = group;
    while (index.linesBefore[before] > line - 1) --before;
    return nthLineFeedOfGroup(index, before, line - 1 - index.linesBefore[before]) + 1;
}

}  // namespace

LineAt lineAt(const LineIndex& index, std::size_t offset) {
    const std::size_t group = offset / kLineIndexGroup;
    const std::size_t base = group * kLineIndexGroup;
    const char* text = index.text.data();
    if (!wholeGroup(index, group)) {
        const std::size_t line = lineOfOffset(index, offset);
        const auto lineFeed =
            static_cast<std::size_t>(std::find(text + offset, text + lastByte(index), '\n') - text);
        return {line, std::min(lineStart(index, group, line), offset), lineFeed};
    }
    const std::uint64_t lineFeeds = lineKernels().lineFeedMask(text + base);
    const std::uint64_t below = (std::uint64_t{1} << (offset - base)) - 1;
    const std::uint64_t behind = lineFeeds & below;
    const std::size_t line = index.linesBefore[group] + simd::setBitCount(behind);
    const std::size_t start =
        behind != 0 ? base + static_cast<std::size_t>(63 - std::countl_zero(behind)) + 1
                    : std::min(lineStart(index, group, line), offset);
    const std::uint64_t ahead = lineFeeds & ~below;
    if (ahead != 0) return {line, start, base + simd::lowestSetBit(ahead)};
    // The line goes on past the group; the text ends with an LF.
    const char* next = text + base + kLineIndexGroup;
    const auto* lineFeed = static_cast<const char*>(
        std::memchr(next, '\n', index.text.size() - (base + kLineIndexGroup)));
    return {line, start,
            lineFeed != nullptr ? static_cast<std::size_t>(lineFeed - text) : lastByte(index)};
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

namespace {

// Moves the cursor on to the group that holds LF number `line`. Kept lines
// are mostly far apart: the group is guessed from the block's average line
// length first, then found group by group (W1 0.99 x, W3 0.98 x, W4 0.98 x, where
// eight groups a step took a mispredicted exit or two every time).
void advanceTo(LineCursor& cursor, std::size_t line) {
    const LineIndex& index = *cursor.index;
    const std::uint32_t* linesBefore = index.linesBefore;
    // No line asked for is in the last entry's group or past it.
    const std::size_t lastGroup = lineIndexEntries(index.text.size()) - 2;
    const std::size_t ahead = line - linesBefore[cursor.group];
    if (ahead > 2) {
        if (cursor.groupsPerLine == 0) {
            cursor.groupsPerLine =
                (std::uint64_t{index.text.size()} << 16) / kLineIndexGroup / index.lines + 1;
        }
        std::size_t group = static_cast<std::size_t>(std::min<std::uint64_t>(
            cursor.group + ((ahead * cursor.groupsPerLine) >> 16), lastGroup));
        // Back to a group that starts at or before LF number `line`.
        while (group > cursor.group && linesBefore[group] > line) --group;
        cursor.group = group;
    }
    while (linesBefore[cursor.group + 1] <= line) ++cursor.group;
}

}  // namespace

std::string_view lineText(LineCursor& cursor, std::size_t line) {
    const LineIndex& index = *cursor.index;
    if (line >= index.lines) return {};
    if (line == cursor.nextLine && index.text.size() - cursor.nextStart >= kLineIndexGroup) {
        // Kept lines come in runs: the one after the last starts past its LF,
        // and a short one ends within the next 64 bytes, without the index.
        const std::size_t start = cursor.nextStart;
        const std::uint64_t lineFeeds = lineKernels().lineFeedMask(index.text.data() + start);
        if (lineFeeds != 0) {
            const std::size_t length = simd::lowestSetBit(lineFeeds);
            cursor.nextLine = line + 1;
            cursor.nextStart = start + length + 1;
            return index.text.substr(start, length);
        }
    }
    advanceTo(cursor, line);
    const std::size_t group = cursor.group;
    const std::size_t nth = line - index.linesBefore[group];
    std::size_t start = 0;
    std::size_t end = 0;
    if (nth > 0 && wholeGroup(index, group)) {
        // Both ends in one group: LFs nth - 1 and nth of its mask.
        const std::size_t base = group * kLineIndexGroup;
        const std::uint64_t lineFeeds =
            withoutLowestBits(lineKernels().lineFeedMask(index.text.data() + base), nth - 1);
        start = lowestBitOr(lineFeeds, base, index) + 1;
        end = lowestBitOr(withoutLowestBits(lineFeeds, 1), base, index);
    } else {
        end = nthLineFeedOfGroup(index, group, nth);
        start = line == cursor.nextLine ? cursor.nextStart : lineStart(index, group, line);
    }
    start = std::min(start, end);  // only where the bytes changed since they were indexed
    cursor.nextLine = line + 1;
    cursor.nextStart = end + 1;
    return index.text.substr(start, end - start);
}

}  // namespace textio
