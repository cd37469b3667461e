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

// Byte values looked out for while a text is indexed, in the same pass: two
// ranges [first[r], first[r] + span] (a caller's rare bytes, which it would
// otherwise look for in a pass of its own). None when `active` is false.
struct WatchedBytes {
    bool active = false;
    std::uint8_t first[2] = {0, 0};
    std::uint8_t span = 0;
    bool operator==(const WatchedBytes&) const = default;
};

// What indexing saw besides the LFs.
struct IndexFindings {
    bool watchedSeen = false;  // a watched byte
    bool crOrNul = false;      // a CR or a NUL, when asked to look for them
};

struct LineIndex {
    std::string_view text;  // whole lines, each ending with LF
    // linesBefore[g] is the number of LFs in text[0, 64 g), for every group
    // g that the text reaches into (the last one may be partial), and one
    // entry more, at least the number of lines. A block holds at most about
    // one read of lines, so its counts fit 32 bits.
    const std::uint32_t* linesBefore = nullptr;
    std::size_t lines = 0;  // LFs in the whole text
    // The bytes looked out for, and whether the text may hold one (false:
    // it holds none; true may also come from bytes just past the text).
    WatchedBytes watched;
    bool watchedSeen = true;
};

// The room an index of `size` bytes of text takes, in entries.
inline std::size_t lineIndexEntries(std::size_t size) {
    return (size + kLineIndexGroup - 1) / kLineIndexGroup + 1;
}

// Indexes `text` (whole lines) into `linesBefore`, which has room for
// lineIndexEntries(text.size()) entries, looking out for `watched`, and
// given `crOrNul`, for a CR or a NUL too (*crOrNul is set to whether it
// holds one).
LineIndex indexLines(std::string_view text, std::uint32_t* linesBefore,
                     const WatchedBytes& watched = {}, bool* crOrNul = nullptr);

// Whether `text` holds a CR or a NUL, one byte at a time.
bool holdsCrOrNul(std::string_view text);

// Whether [begin, begin + size) holds a watched byte, one byte at a time.
bool holdsWatched(const WatchedBytes& watched, const char* begin, std::size_t size);

// The line that holds text[offset] (offset < text.size()): the LFs before it.
std::size_t lineOfOffset(const LineIndex& index, std::size_t offset);

// The same line, where it starts and the offset of the LF that ends it,
// mostly from one look at the group of bytes that holds the offset.
struct LineAt {
    std::size_t line = 0;
    std::size_t start = 0;
    std::size_t lineFeed = 0;
};
LineAt lineAt(const LineIndex& index, std::size_t offset);

// The offset of the LF that ends line `line` (line < index.lines).
std::size_t lineFeedOf(const LineIndex& index, std::size_t line);

// Finds lines of an index in increasing order, walking it forward instead of
// searching it each time: the lines asked of one cursor must not decrease.
struct LineCursor {
    const LineIndex* index = nullptr;
    std::size_t group = 0;  // no line asked for yet ends before this group
    // The line after the last one given, and where it starts.
    std::size_t nextLine = SIZE_MAX;
    std::size_t nextStart = 0;
    // The index's groups per line, times 2^16 (0: not worked out yet).
    std::uint64_t groupsPerLine = 0;
};

// Line `line` without its LF; the empty text past the last line.
std::string_view lineText(LineCursor& cursor, std::size_t line);

}  // namespace textio
