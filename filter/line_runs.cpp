#include "filter/line_runs.h"

#include <algorithm>
#include <cstring>

#include "filter/block_kernels.h"

namespace filter {

bool collapseRuns(const textio::LineIndex& block, std::size_t lines, LineRuns& runs) {
    runs.runStarts.clear();
    runs.lengths.clear();
    if (lines == 0) return false;
    // A run of copies of a line (with its LF) is a stretch of bytes that
    // repeats with the line's length: it lasts up to the first byte that
    // differs from the byte that length before it.
    const auto firstBreak = blockKernels().firstBreak;
    const char* bytes = block.text.data();
    const std::size_t end = block.text.size();
    textio::LineCursor lineFeeds{&block};
    std::size_t runBytes = 0;  // of the first line of each run, with its LF
    std::size_t start = 0;
    for (std::size_t line = 0; line < lines;) {
        const std::size_t period = textio::lineFeedOf(lineFeeds, line) + 1 - start;
        runs.runStarts.push_back(line);
        runs.lengths.push_back(period);
        runBytes += period;
        // The copies of this line that follow it end where the bytes stop
        // repeating with its length; the line holding that break is the
        // first that differs from the one before (a longer line has no LF
        // where its predecessor has one, a shorter one has it earlier).
        const std::size_t copies = std::min(
            (firstBreak(bytes, start + period, end, period) - start) / period, lines - line);
        line += copies;
        start += copies * period;
    }
    // Copying the runs out costs about as much as searching a quarter of
    // the bytes again.
    if (runBytes > end / 4 * 3) return false;
    runs.runStarts.push_back(lines);

    // One line per run, copied 64 bytes at a time into room with that much
    // to spare: a call per line of a few dozen bytes cost more than the copy.
    constexpr std::size_t kCopy = 64;
    if (runs.bytes.size() < runBytes + kCopy) runs.bytes.resize(runBytes + kCopy);
    char* out = runs.bytes.data();
    std::size_t from = 0;
    for (std::size_t run = 0; run + 1 < runs.runStarts.size(); ++run) {
        const std::size_t length = runs.lengths[run];
        if (length <= kCopy && from + kCopy <= end) {
            std::memcpy(out, bytes + from, kCopy);
        } else {
            std::memcpy(out, bytes + from, length);
        }
        out += length;
        from += (runs.runStarts[run + 1] - runs.runStarts[run]) * length;
    }
    runs.size = runBytes;
    return true;
}

textio::LineIndex indexRuns(LineRuns& runs) {
    const std::size_t entries = textio::lineIndexEntries(runs.size);
    if (runs.linesBefore.size() < entries) runs.linesBefore.resize(entries);
    return textio::indexLines(runText(runs), runs.linesBefore.data());
}

}  // namespace filter
