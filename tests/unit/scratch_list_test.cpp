#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "filter/result_list.h"
#include "filter/scratch_list.h"
#include "filter/search_filter.h"
#include "temp_dir.h"

namespace filter {
namespace {

using namespace std::string_literals;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(FieldAt, PicksTheKthLine) {
    struct Case {
        std::string_view text;
        std::int32_t k;
        std::string_view field;
    };
    const Case cases[] = {
        {"a\nbb\nccc\n", 0, ""},
        {"a\nbb\nccc\n", -1, ""},
        {"a\nbb\nccc\n", kMin, ""},
        {"a\nbb\nccc\n", 1, "a"},
        {"a\nbb\nccc\n", 2, "bb"},
        {"a\nbb\nccc\n", 3, "ccc"},
        {"a\nbb\nccc\n", 4, ""},  // count + 1
        {"a\nbb\nccc\n", 5, ""},
        {"a\nbb\nccc\n", 1000, ""},
        {"a\nbb\nccc\n", kMax, ""},
        {"a\nlast", 2, "last"},  // no final LF
        {"a\nlast", 3, ""},
        {"", 0, ""},
        {"", 1, ""},
        {"", 2, ""},
        {"\n", 1, ""},
        {"\n\nx\n\n", 3, "x"},  // empty entries count like any other
        {"\n\nx\n\n", 4, ""},
        {"C:\\Docs\nC:\\M\xC3\xBAsica\n", 2, "C:\\M\xC3\xBAsica"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fieldAt(c.text, c.k), c.field) << '"' << c.text << "\" k=" << c.k;
    }
}

TEST(FieldAt, NextFieldWalksLikeFieldAt) {
    const std::string_view texts[] = {"",         "\n",     "a",         "a\n",         "a\nb",
                                      "a\n\nb\n", "\n\n\n", "x\ny\nz\n", "one\r\ntwo\n"};
    for (const std::string_view text : texts) {
        FieldCursor cursor{text};
        for (std::int32_t k = 1; k <= 8; ++k) {
            EXPECT_EQ(nextField(cursor), fieldAt(text, k)) << '"' << text << "\" k=" << k;
        }
    }
}

TEST(AppendLine, AddsTheLineAndOneLf) {
    ScratchList list;
    appendLine(list, "a");
    appendLine(list, "");
    appendLine(list, "b");
    EXPECT_EQ(list.text, "a\n\nb\n");
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(fieldAt(list.text, 2), "");
    EXPECT_EQ(fieldAt(list.text, 3), "b");
}

class LoadListTest : public TempDirTest {};

TEST_F(LoadListTest, ReadsEveryLine) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
        std::int32_t count;
    };
    const Case cases[] = {
        {"empty line kept", "a\n\nb", "a\n\nb\n", 3},
        {"crlf last line", "a\r\nb\r\n", "a\nb\n", 2},
        {"cr line ends", "a\rb\r", "a\nb\n", 2},
        {"empty file", "", "", 0},
        {"only an lf", "\n", "\n", 1},
        {"utf-16le", "\xFF\xFE\x61\0b\0\n\0"s, "\xFF\xFE\x61\nb\n\n\n", 4},
        {"non-ascii kept as read", "M\xC3\xBAsica\n\xC3(\n", "M\xC3\xBAsica\n\xC3(\n", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = writeBytes("list.txt", c.bytes);
        const ScratchList list = loadList(name.c_str());
        EXPECT_EQ(list.text, c.text);
        EXPECT_EQ(list.count, c.count);
    }
}

TEST_F(LoadListTest, LongListKeepsEveryLine) {
    std::string bytes;
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        const std::string line =
            std::string(static_cast<std::size_t>(i % 17), 'x') + std::to_string(i);
        bytes += line + (i % 2 == 0 ? "\r\n" : "\n");
        text += line + "\n";
    }
    const std::string name = writeBytes("long.txt", bytes);
    const ScratchList list = loadList(name.c_str());
    EXPECT_EQ(list.count, 3000);
    EXPECT_EQ(list.text, text);
}

TEST_F(LoadListTest, MissingFileOrFolderGivesAnEmptyList) {
    const ScratchList missing = loadList(path("missing.txt").c_str());
    EXPECT_EQ(missing.text, "");
    EXPECT_EQ(missing.count, 0);
    std::filesystem::create_directory(path("folder"));
    const ScratchList folder = loadList(path("folder").c_str());
    EXPECT_EQ(folder.text, "");
    EXPECT_EQ(folder.count, 0);
}

std::string joined(const ResultList& results) {
    std::string text;
    for (const std::string_view piece : resultPieces(results)) text += piece;
    return text;
}

// The kept locations through every growth (from nothing, past the first
// piece, past the size where large pages begin, a location longer than the
// piece it would start), in order.
TEST(ResultList, KeepsEveryLocationInOrderAsItGrows) {
    ResultList results;
    EXPECT_EQ(joined(results), "");
    std::string want;
    for (int i = 0; i < 40000; ++i) {
        const std::string folder =
            "C:\\f" + std::to_string(i) +
            std::string(i == 3000 ? 300000 : static_cast<std::size_t>(i % 50), 'd');
        const std::string file = i % 7 == 0 ? "" : "n\xC3\xA9" + std::to_string(i * 3);
        appendLocation(results, folder, file);
        want += folder + "\\" + file + "\n";
    }
    appendLocation(results, "", "");
    want += "\\\n";
    EXPECT_GT(want.size(), std::size_t{1} << 20);
    EXPECT_TRUE(joined(results) == want);
}

}  // namespace
}  // namespace filter
