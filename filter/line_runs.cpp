#include "filter/line_runs.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "filter/block_kernels.h"

namespace filter {

bool collapseRuns(std::string_view block, std::span<const std::size_t> lineEnds, std::size_t lines,
                  LineRuns& runs) {
    runs.runStarts.clear();
    if (lines == 0) return false;
    // A run of copies of a line (with its LF) is a stretch of bytes that
    // repeats with the line's length: it lasts up to the first byte that
    // differs from the byte that length before it.
    const auto firstBreak = blockKernels().firstBreak;
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
