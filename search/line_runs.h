// A list of locations names each folder once per file in it, on consecutive
// lines. Whether a line holds a term depends only on its bytes, so a block of
// such lines is searched once per run of equal lines, not once per line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textio/large_buffer.h"
#include "textio/line_index.h"

namespace search {

struct LineRuns {
    textio::LargeArray<char> bytes;  // from the start, `size` bytes: each run's line
    std::size_t size = 0;            // once, each followed by LF; then spare room
    // The block line where each of the `count` runs starts, and the block's
    // line count after the last (a block holds about one read of lines, so
    // they fit 32 bits); then spare room.
    textio::LargeArray<std::uint32_t> runStarts;
    std::size_t count = 0;
    textio::LargeArray<std::uint32_t> linesBefore;  // room for the index of the runs' text
};

inline std::string_view runText(const LineRuns& runs) {
    return {runs.bytes.data(), runs.size};
}

// Collapses the first `lines` lines of the indexed block into `runs`.
// Returns false, with `runs` unspecified, when that would leave most of the
// bytes to search anyway: the block is then best searched as it is.
bool collapseRuns(const textio::LineIndex& block, std::size_t lines, LineRuns& runs);

// The index of the runs' text: line r is run r's line.
textio::LineIndex indexRuns(LineRuns& runs);

}  // namespace search
