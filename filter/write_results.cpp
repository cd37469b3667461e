#include "filter/write_results.h"

#include <string_view>
#include <vector>

#include "filter/result_list.h"
#include "filter/search_filter.h"
#include "textio/text_file.h"

namespace filter {
namespace {

// Another run may be appending its block right now; wait for it rather than
// lose this run's result, but not forever.
constexpr std::uint32_t kOutputWaitMilliseconds = 5000;

// A block this large is given its room before it is written: the file system
// then need not allocate it page by page (W1's 2.3 MB block: 0.99 x the run's
// time, W3's 3.3 MB: 0.98 x); a smaller one is not worth the call.
constexpr std::uint64_t kReserveFrom = 256 * 1024;

}  // namespace

void writeResults(const RunState& state) {
    textio::TextFile file;
    if (textio::openOrCreateWaiting(file, kOutputFile, kOutputWaitMilliseconds) !=
        textio::OpenStatus::ok) {
        return;
    }
    // Without a trustworthy length the block could land on earlier content.
    std::uint64_t start = 0;
    if (textio::fileLength(file, start) && textio::seekTo(file, start)) {
        const std::vector<std::string_view> pieces = resultPieces(state.results);
        std::uint64_t size = state.treeName.size() + 1;
        for (const std::string_view piece : pieces) size += piece.size();
        if (size >= kReserveFrom) textio::reserveRoom(file, start, size);
        textio::writeText(file, state.treeName);
        textio::writeText(file, "\n");
        for (const std::string_view piece : pieces) textio::writeText(file, piece);
        // A block lands whole or not at all: cut back a partial one.
        if (!textio::flushFile(file)) textio::truncateFile(file, start);
    }
    // Closed here, not at the end of the scope: the block is out and the
    // output list free for the next run before anything else happens.
    textio::closeFile(file);
}

}  // namespace filter
