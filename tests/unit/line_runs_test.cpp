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

// Up to 89 bytes of a, b and c: short lines that often share a start.
std::string randomLine(SeededRandom& random) {
    std::string line(random.below(90), 'q');
    for (char& byte : line) byte = static_cast<char>('a' + random.below(3));
    return line;
}

// A block each of whose lines stands `times` times in a row, as a folder
// does in a list of locations, once per file in it.
std::vector<std::string> eachRepeated(const std::vector<std::string>& lines, std::size_t times) {
    std::vector<std::string> out;
    for (const std::string& line : lines) out.insert(out.end(), times, line);
    return out;
}

// Returns whether collapseRuns took the block. When it did, the runs must
// be those of the plain definition: a run starts at the first line and at
// every line that differs from the one before. Whether collapsing pays is
// the code's own choice, so a block it leaves is not looked at further.
bool expectRunsOf(const std::vector<std::string>& lines, const std::string& label) {
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
    if (!collapsed) return false;
    starts.push_back(lines.size());
    EXPECT_EQ(
        std::vector<std::size_t>(runs.runStarts.data(), runs.runStarts.data() + runs.count + 1),
        starts)
        << label;
    EXPECT_EQ(runText(runs), text) << label;
    const textio::LineIndex index = indexRuns(runs);
    EXPECT_EQ(index.lines, starts.size() - 1) << label;
    return true;
}

// A block of runs of ten equal lines leaves a tenth of its bytes to search:
// any sensible choice collapses it.
void expectCollapsed(const std::vector<std::string>& lines, const std::string& label) {
    EXPECT_TRUE(expectRunsOf(eachRepeated(lines, 10), label))
        << label << ": runs of ten equal lines were not collapsed";
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
            expectCollapsed({line, other, line},
                            "size " + std::to_string(size) + " at " + std::to_string(at));
        }
    }
}

// Blocks whose lines repeat now and then, or not at all.
TEST_P(CollapseRuns, FollowsThePlainDefinition) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {""},
        {"", "", "", ""},
        {"C:\\a", "C:\\a", "C:\\a", "C:\\b", "C:\\b", "C:\\b", "C:\\a"},
        {"x", "y", "z"},
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
        for (int i = 0; i < 4; ++i) pool.push_back(randomLine(random));
        std::vector<std::string> lines;
        const std::size_t count = random.below(60);
        while (lines.size() < count)
            lines.insert(lines.end(), 1 + random.below(8), pool[random.below(4)]);
        expectRunsOf(lines, "round " + std::to_string(round));
    }
}

// Blocks in which nearly every line repeats the one before are collapsed,
// and then follow the plain definition.
TEST_P(CollapseRuns, CollapsesWhenNearlyEveryLineRepeats) {
    expectCollapsed({""}, "empty lines");
    expectCollapsed({"C:\\a", "C:\\b", "C:\\a"}, "folders");
    expectCollapsed({"abc", "abcd", "abc"}, "a prefix");
    expectCollapsed({"ab", "abab", "ab", "a", ""}, "lines that go on or stop short");

    SeededRandom random(6);
    for (int round = 0; round < 100; ++round) {
        std::vector<std::string> lines;
        for (std::size_t n = 1 + random.below(30); n > 0; --n) lines.push_back(randomLine(random));
        expectCollapsed(lines, "round " + std::to_string(round));
    }
}

INSTANTIATE_ON_EVERY_VARIANT(CollapseRuns, blockKernels);

}  // namespace
}  // namespace search
