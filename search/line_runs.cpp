#include "search/line_runs.h"

#include "search/block_kernels.h"

namespace search {

bool collapseRuns(const textio::LineIndex& block, std::size_t lines, LineRuns& runs) {
    if (lines == 0) return false;
    // Room for every line, should none repeat, and a whole copy step past it.
    const std::size_t size = block.text.size();
    textio::reserveArray(runs.bytes, size + 64);
    textio::reserveArray(runs.runStarts, lines + 1);
    std::size_t copied = 0;
    const std::size_t runCount = blockKernels().collapseRuns(
        block.text.data(), size, lines, runs.runStarts.data(), runs.bytes.data(), copied);
    // Copying the runs out costs about as much as searching a quarter of
    // the bytes again.
    if (copied > size / 4 * 3) return false;
    runs.runStarts.data()[runCount] = static_cast<std::uint32_t>(lines);
    runs.count = runCount;
    runs.size = copied;
    return true;
}

textio::LineIndex indexRuns(LineRuns& runs) {
    const std::size_t entries = textio::lineIndexEntries(runs.size);
    textio::reserveArray(runs.linesBefore, entries);
    return textio::indexLines(runText(runs), runs.linesBefore.data());
}

}  // namespace search
