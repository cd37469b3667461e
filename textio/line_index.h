// Where the lines of a block end, kept cheaply: the number of LFs before
// each 64-byte group of the block, one entry per group instead of one per
// line. The line that holds an offset, and where a line ends, are then
// found at once, looking at one group of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace textio {

// Lines are indexed 64-byte group by group.
inline constexpr std::size_t kLineIndexGroup = 64;

struct LineIndex {
    std::string_view text;  // whole lines, each ending with LF
    // linesBefore[g] is the number of LFs in text[0, 64 g), for every group
    // g that the text reaches into (the last one may be partial), and one
    // entry more, at least the number of lines. A block holds at most about
    // one read of lines, so its counts fit 32 bits.
    const std::uint32_t* linesBefore = nullptr;
    std::size_t lines = 0;  // LFs in the whole text
};

// The room an index of `size` bytes of text takes, in entries.
inline std::size_t lineIndexEntries(std::size_t size) {
    return (size + kLineIndexGroup - 1) / kLineIndexGroup + 1;
}

// Indexes `text` (whole lines) into `linesBefore`, which has room for
// lineIndexEntries(text.size()) entries.
LineIndex indexLines(std::string_view text, std::uint32_t* linesBefore);

// The line that holds text[offset] (offset < text.size()): the LFs before it.
std::size_t lineOfOffset(const LineIndex& index, std::size_t offset);

// The offset of the LF that ends line `line` (line < index.lines).
std::size_t lineFeedOf(const LineIndex& index, std::size_t line);

// Finds lines of an index in increasing order, walking it forward instead of
// searching it each time: the lines asked of one cursor must not decrease.
struct LineCursor {
    const LineIndex* index = nullptr;
    std::size_t group = 0;  // no line asked for yet ends before this group
};

std::size_t lineFeedOf(LineCursor& cursor, std::size_t line);
// Line `line` without its LF; the empty text past the last line.
std::string_view lineText(LineCursor& cursor, std::size_t line);

}  // namespace textio
