#include "search/line_runs.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "isa_variants.h"
#include "search/block_kernels.h"
#include "tests/support/seeded_random.h"

namespace search {
namespace {

using test_support::SeededRandom;

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + '\n';
    return text;
}

// Checks collapseRuns against the plain definition: a run starts at the
// first line and at every line that differs from the one before.
void expectRunsOf(const std::vector<std::string>& lines, const std::string& label) {
    const std::string block = joinLines(lines);
    std::vector<std::size_t> starts;
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 && lines[i] == lines[i - 1]) continue;
        starts.push_back(i);
        text += lines[i] + '\n';
    }
    LineRuns runs;
    std::vector<std::uint32_t> linesBefore(textio::lineIndexEntries(block.size()));
    const bool collapsed =
        collapseRuns(textio::indexLines(block, linesBefore.data()), lines.size(), runs);
    // No lines: nothing to gain.
    EXPECT_EQ(collapsed, !lines.empty() && text.size() <= block.size() / 4 * 3) << label;
    if (!collapsed) return;
    starts.push_back(lines.size());
    EXPECT_EQ(
        std::vector<std::size_t>(runs.runStarts.data(), runs.runStarts.data() + runs.count + 1),
        starts)
        << label;
    EXPECT_EQ(runText(runs), text) << label;
    const textio::LineIndex index = indexRuns(runs);
    EXPECT_EQ(index.lines, starts.size() - 1) << label;
}

// Each test runs with every variant of the block kernels.
class CollapseRuns : public testing_isa::OnEveryIsa {};

// Lines that differ in one byte only, wherever it is, for lengths around
// every step of the comparison, are never taken for equal.
TEST_P(CollapseRuns, TellsApartLinesDifferingInAnyOneByte) {
    for (std::size_t size = 1; size <= 150; ++size) {
        const std::string line(size, 'a');
        for (std::size_t at = 0; at < size; ++at) {
            std::string other = line;
            other[at] = 'b';
            // Long runs either side, so the block is worth collapsing.
            std::vector<std::string> lines(6, line);
            lines.insert(lines.end(), 6, other);
            lines.insert(lines.end(), 6, line);
            expectRunsOf(lines, "size " + std::to_string(size) + " at " + std::to_string(at));
        }
    }
}

TEST_P(CollapseRuns, FollowsThePlainDefinition) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {""},
        {"", "", "", ""},
        {"C:\\a", "C:\\a", "C:\\a", "C:\\b", "C:\\b", "C:\\b", "C:\\a"},
        {"x", "y", "z"},  // nothing repeats: not worth it
        {"abc", "abc", "abcd", "abcd", "abc", "abc", "abc", "abc"},  // a prefix is not equal
        {"same", "same", "same", "same", "same", "same", "same", "other"},
        // Lines that repeat the one before and go on, or stop short of it.
        {"ab", "ab", "ab", "abab", "abab", "abab", "ab", "a", "a", "a", "", "", ""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        expectRunsOf(cases[i], "case " + std::to_string(i));

    SeededRandom random(5);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> pool;
        for (int i = 0; i < 4; ++i) {
            std::string line(random.below(90), 'q');
            for (char& byte : line) byte = static_cast<char>('a' + random.below(3));
            pool.push_back(line);
        }
        std::vector<std::string> lines;
        const std::size_t count = random.below(60);
        while (lines.size() < count)
            lines.insert(lines.end(), 1 + random.below(8), pool[random.below(4)]);
        expectRunsOf(lines, "round " + std::to_string(round));
    }
}

INSTANTIATE_ON_EVERY_VARIANT(CollapseRuns, blockKernels);

}  // namespace
}  // namespace search
