#include "textio/line_index.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "isa_variants.h"
#include "tests/support/seeded_random.h"

namespace textio {
namespace {

using test_support::SeededRandom;

class LineCursorText : public testing_isa::OnEveryIsa {};

// The kept lines of a block: runs of consecutive lines with gaps between,
// as a list of folders gives them.
std::vector<std::size_t> keptLines(SeededRandom& random, std::size_t lines, std::size_t gap) {
    std::vector<std::size_t> kept;
    for (std::size_t line = random.below(gap + 1); line < lines + 2;) {
        for (std::size_t run = 1 + random.below(4); run > 0 && line < lines + 2; --run) {
            kept.push_back(line++);
        }
        line += random.below(gap + 1);
    }
    return kept;
}

// A cursor asked for lines in increasing order gives each line's text as a
// plain split of the text does, whatever the lines' lengths (within one
// 64-byte group, across several, empty) and however far apart they are;
// lines past the last are empty.
TEST_P(LineCursorText, GivesEachKeptLineAsAPlainSplitDoes) {
    struct Case {
        const char* name;
        std::size_t shortest;
        std::size_t longest;
        std::size_t gap;  // the most lines between two runs of kept lines
    };
    const Case cases[] = {
        {"short lines, every one kept", 0, 20, 0},
        {"short lines, runs far apart", 0, 20, 200},
        {"lines about a group long", 50, 80, 3},
        {"long lines", 60, 300, 30},
        {"any length", 0, 150, 10},
    };
    SeededRandom random(11);
    for (const Case& c : cases) {
        for (int round = 0; round < 20; ++round) {
            std::vector<std::string> lines;
            std::string text;
            for (std::size_t n = 1 + random.below(400); n > 0; --n) {
                std::string line(c.shortest + random.below(c.longest - c.shortest + 1), 'a');
                for (char& byte : line) byte = static_cast<char>('a' + random.below(26));
                text += line + '\n';
                lines.push_back(std::move(line));
            }
            std::vector<std::uint32_t> linesBefore(lineIndexEntries(text.size()));
            const LineIndex index = indexLines(text, linesBefore.data());
            ASSERT_EQ(index.lines, lines.size()) << c.name;
            LineCursor cursor{&index};
            for (const std::size_t line : keptLines(random, lines.size(), c.gap)) {
                const std::string_view expected =
                    line < lines.size() ? std::string_view(lines[line]) : std::string_view();
                ASSERT_EQ(lineText(cursor, line), expected)
                    << c.name << ", round " << round << ", line " << line;
            }
        }
    }
}

INSTANTIATE_ON_EVERY_ISA(LineCursorText);

}  // namespace
}  // namespace textio
