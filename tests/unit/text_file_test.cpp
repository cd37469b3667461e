#include "textio/text_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "background_thread.h"
#include "temp_dir.h"
#include "tests/support/seeded_random.h"
#include "textio/line_blocks.h"

namespace textio {
namespace {

using namespace std::string_literals;
using test_support::SeededRandom;

class TextFileTest : public TempDirTest {
  protected:
    void expectBlocksAgreeWithAppendLines(std::size_t readSize, std::size_t mapFrom);
};

std::string nextLine(TextFile& file) {
    std::string line;
    readLine(file, line);
    return line;
}

// Every line up to the end, the way the list loader reads them.
std::vector<std::string> readAllLines(TextFile& file) {
    std::vector<std::string> lines;
    while (!atEnd(file)) lines.push_back(nextLine(file));
    return lines;
}

// Bytes that differ from one position to the next, so misplaced ones show.
std::string patterned(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('!' + (i * 7 + seed) % 90);
    }
    return bytes;
}

struct LineCase {
    std::string name;
    std::string bytes;
    std::vector<std::string> lines;
};

std::vector<LineCase> lineCases() {
    const std::string a4095(4095, 'a');
    const std::string a4096(4096, 'a');
    const std::string q10000 = patterned(10000, 3);
    std::vector<LineCase> cases = {
        {"lf", "a\nb\n", {"a", "b"}},
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"lone cr", "x\ry", {"x", "y"}},
        {"nul", "x\0y\n"s, {"x", "y"}},
        {"x lf cr lf", "x\n\r\n", {"x", ""}},
        {"x cr cr lf", "x\r\r\n", {"x", ""}},
        {"x lf cr y", "x\n\ry", {"x", "", "y"}},
        {"x cr at end", "x\r", {"x"}},
        {"empty file", "", {}},
        {"only line ends", "\n\r\n\r\0"s, {"", "", "", ""}},
        {"last line without end", "a\nlast", {"a", "last"}},
        {"bom kept", "\xEF\xBB\xBFx\n", {"\xEF\xBB\xBFx"}},
        {"ill-formed bytes kept", "\xC3(\xFF\n\x80", {"\xC3(\xFF", "\x80"}},
        {"10000-byte line", q10000 + "\nz", {q10000, "z"}},
        {"cr at 4095, lf at 4096", a4095 + "\r\nb", {a4095, "b"}},
        {"cr at 4095, y at 4096", a4095 + "\ry", {a4095, "y"}},
        {"cr at 4095, nothing after", a4095 + "\r", {a4095}},
        {"lf at 4096", a4096 + "\nb", {a4096, "b"}},
    };
    const struct {
        const char* name;
        std::string bytes;
    } ends[] = {{"lf", "\n"}, {"crlf", "\r\n"}, {"cr", "\r"}, {"nul", "\0"s}};
    for (std::size_t length = 4090; length <= 4100; ++length) {
        for (const auto& end : ends) {
            const std::string line(length, 'L');
            cases.push_back({"length " + std::to_string(length) + " then " + end.name,
                             line + end.bytes + "b" + end.bytes,
                             {line, "b"}});
        }
    }
    return cases;
}

TEST_F(TextFileTest, ReadsLinesWithEveryLineEnd) {
    for (const LineCase& c : lineCases()) {
        SCOPED_TRACE(c.name);
        const std::string name = writeBytes("lines.txt", c.bytes);
        TextFile file;
        ASSERT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
        EXPECT_EQ(readAllLines(file), c.lines);
        EXPECT_TRUE(atEnd(file));
        EXPECT_EQ(nextLine(file), "");  // at the end a read gives nothing
        closeFile(file);
        EXPECT_FALSE(isOpen(file));
    }
}

// Reading the rest in one go gives what readLine until atEnd gives, each line
// followed by one LF.
TEST_F(TextFileTest, AppendLinesAgreesWithReadLine) {
    for (const LineCase& c : lineCases()) {
        SCOPED_TRACE(c.name);
        const std::string name = writeBytes("lines.txt", c.bytes);
        for (std::size_t skip = 0; skip <= c.lines.size(); ++skip) {
            SCOPED_TRACE(skip);
            TextFile file;
            ASSERT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
            for (std::size_t i = 0; i < skip; ++i) nextLine(file);
            std::string text = "kept\n";
            const std::int32_t count = appendLines(file, text, 1000000);
            std::string expected = "kept\n";
            for (std::size_t i = skip; i < c.lines.size(); ++i) expected += c.lines[i] + "\n";
            EXPECT_EQ(text, expected);
            EXPECT_EQ(count, static_cast<std::int32_t>(c.lines.size() - skip));
            EXPECT_TRUE(atEnd(file));
            closeFile(file);
        }
    }
}

TEST_F(TextFileTest, AppendLinesAgreesWithReadLineOnRandomText) {
    // Line ends and multi-byte characters, in files that span several buffers.
    const std::string pieces[] = {"a", "bc", "\n", "\r", "\r\n", "\0"s, "\xC3\xA9", "\xC3"};
    SeededRandom random(12345);
    for (int round = 0; round < 40; ++round) {
        std::string bytes;
        const std::size_t size = 1 + (static_cast<std::size_t>(round) * 997) % 13000;
        while (bytes.size() < size) {
            const std::size_t pick = random.below(16);
            // Mostly letters, so that long lines occur too.
            bytes += pick < 8 ? pieces[0] : pieces[pick - 8];
        }
        SCOPED_TRACE(round);
        const std::string name = writeBytes("random.txt", bytes);
        TextFile byLine;
        ASSERT_EQ(openRead(byLine, name.c_str()), OpenStatus::ok);
        std::string expected;
        for (const std::string& line : readAllLines(byLine)) expected += line + "\n";
        closeFile(byLine);
        TextFile whole;
        ASSERT_EQ(openRead(whole, name.c_str()), OpenStatus::ok);
        std::string text;
        const std::int32_t count = appendLines(whole, text, 1000000);
        closeFile(whole);
        EXPECT_EQ(text, expected);
        EXPECT_EQ(count, std::count(expected.begin(), expected.end(), '\n'));
    }
}

// The reader's index of a block finds every LF of it, and the line of
// every byte.
void expectIndexed(std::string_view block, const LineBlockReader& reader) {
    const LineIndex& index = reader.index;
    EXPECT_EQ(index.text, block);
    std::size_t line = 0;
    for (std::size_t at = 0; at < block.size(); ++at) {
        ASSERT_EQ(lineOfOffset(index, at), line) << "byte " << at;
        if (block[at] != '\n') continue;
        ASSERT_EQ(lineFeedOf(index, line), at) << "line " << line;
        ++line;
    }
    EXPECT_EQ(reader.lines, line);
    EXPECT_EQ(index.lines, line);
}

// Every block ends with LF and, joined, the blocks are what appendLines reads.
std::string readInBlocks(const std::string& name, std::size_t skipLines = 0,
                         std::size_t readSize = lineBlockReadSize(),
                         std::size_t mapFrom = kMapFromSize) {
    TextFile file;
    EXPECT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
    for (std::size_t i = 0; i < skipLines; ++i) {
        std::string ignored;
        readLine(file, ignored);
    }
    LineBlockReader reader;
    reader.readSize = readSize;
    reader.mapFrom = mapFrom;
    reader.mapOnlyIfCheap = false;
    std::string joined;
    for (std::string_view block = readLineBlock(file, reader); !block.empty();
         block = readLineBlock(file, reader)) {
        EXPECT_EQ(block.back(), '\n');
        expectIndexed(block, reader);
        joined += block;
    }
    EXPECT_TRUE(readLineBlock(file, reader).empty());  // stays done
    closeFile(file);
    return joined;
}

// readLines gives exactly `count` lines a call until the file runs out, then
// the rest, then nothing; joined, again what appendLines reads.
std::string readInCounts(const std::string& name, std::size_t count,
                         std::size_t readSize = lineBlockReadSize(),
                         std::size_t mapFrom = kMapFromSize) {
    TextFile file;
    EXPECT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
    LineBlockReader reader;
    reader.readSize = readSize;
    reader.mapFrom = mapFrom;
    reader.mapOnlyIfCheap = false;
    std::string joined;
    bool shortBlockSeen = false;
    for (std::string_view block = readLines(file, reader, count); !block.empty();
         block = readLines(file, reader, count)) {
        const auto lineFeeds =
            static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n'));
        EXPECT_EQ(block.back(), '\n');
        expectIndexed(block, reader);
        EXPECT_FALSE(shortBlockSeen) << "lines after a short block";
        EXPECT_LE(lineFeeds, count);
        shortBlockSeen = lineFeeds < count;
        joined += block;
    }
    EXPECT_TRUE(readLines(file, reader, count).empty());
    EXPECT_EQ(reader.lines, 0u);
    closeFile(file);
    return joined;
}

std::string readWhole(const std::string& name, std::size_t skipLines = 0) {
    TextFile file;
    EXPECT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
    for (std::size_t i = 0; i < skipLines; ++i) {
        std::string ignored;
        readLine(file, ignored);
    }
    std::string text;
    appendLines(file, text, 2000000000);
    closeFile(file);
    return text;
}

// Blocks are read a read size at a time: line ends at and across that
// boundary, lines longer than a read, the first CR or NUL of a list only
// after reads of LF lines, and random mixes, at the smallest and the largest
// read size a processor may get, each list read and mapped (from `mapFrom`
// bytes on).
void TextFileTest::expectBlocksAgreeWithAppendLines(std::size_t kRead, std::size_t mapFrom) {
    const std::string filler(kRead - 1, 'x');
    std::string lineFeedLines;
    while (lineFeedLines.size() < 2 * kRead + kRead / 2) lineFeedLines += "line\n";
    const std::string cases[] = {
        lineFeedLines + "a\r\nb\r\n",
        lineFeedLines + "a\rb\n" + lineFeedLines,
        lineFeedLines + "a\0b"s,
        lineFeedLines + "last\r",
        lineFeedLines + "last\0"s,
        "",
        "a",
        "a\r",
        "\n\n\r\r\n\0"s,
        filler + "\r\nnext",              // CR ends one read, its LF starts the next
        filler + "\r\rnext\n",            // a lone CR ends the read
        filler + "\r" + filler + "\n",    // CR, then a line as long as a read
        filler + "x\n\n",                 // LF first byte of the second read
        std::string(3 * kRead + 5, 'y'),  // one line over several reads, no line end
        std::string(3 * kRead, 'z') + "\r\n" + filler,
    };
    int index = 0;
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(index++);
        const std::string name = writeBytes("blocks.txt", bytes);
        const std::string whole = readWhole(name);
        EXPECT_EQ(readInBlocks(name, 0, kRead, mapFrom), whole);
        for (const std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{1000}})
            EXPECT_EQ(readInCounts(name, count, kRead, mapFrom), whole);
    }

    SeededRandom random(777);
    const std::string pieces[] = {"\n", "\r", "\r\n", "\0"s, "\xC3\xA9"};
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        std::string bytes;
        const std::size_t size = kRead / 2 + static_cast<std::size_t>(round) * 97000;
        // Every other list has LF line ends alone for its first two thirds.
        const std::size_t lineFeedsOnly = round % 2 == 1 ? size / 3 * 2 : 0;
        while (bytes.size() < size) {
            const std::size_t pick = random.below(bytes.size() < lineFeedsOnly ? 60 : 64);
            bytes +=
                pick < 59 ? std::string(1, static_cast<char>('a' + pick % 26)) : pieces[pick - 59];
        }
        const std::string name = writeBytes("random-blocks.txt", bytes);
        EXPECT_EQ(readInBlocks(name, 0, kRead, mapFrom), readWhole(name));
        EXPECT_EQ(readInCounts(name, 1 + static_cast<std::size_t>(round) * 811, kRead, mapFrom),
                  readWhole(name));
        // After some lines read one by one (the buffer holds read-ahead
        // bytes, so the list is not mapped).
        EXPECT_EQ(readInBlocks(name, 3, kRead, mapFrom), readWhole(name, 3));
    }
}

TEST_F(TextFileTest, LineBlocksAgreeWithAppendLines) {
    for (const std::size_t readSize : {kMinLineBlockReadSize, kMaxLineBlockReadSize}) {
        // Read, and mapped whatever its size.
        for (const std::size_t mapFrom : {SIZE_MAX, std::size_t{1}}) {
            SCOPED_TRACE(testing::Message()
                         << "read size " << readSize << ", map from " << mapFrom);
            expectBlocksAgreeWithAppendLines(readSize, mapFrom);
        }
    }
}

// Lines of "line\n" filling at least `size` bytes.
std::string shortLines(std::size_t size) {
    std::string lines;
    while (lines.size() < size) lines += "line\n";
    return lines;
}

// A mapped list hands its blocks out where they lie in the mapping, until its
// first CR sends it back to reading from the line that holds it.
TEST_F(TextFileTest, MappedListIsHandedOutInPlaceUntilItsFirstCr) {
    const std::string lines = shortLines(3 * kMinLineBlockReadSize);
    const std::string name = writeBytes("mapped.txt", lines + "a\r\nb\n");
    TextFile file;
    ASSERT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
    LineBlockReader reader;
    reader.readSize = kMinLineBlockReadSize;
    reader.mapFrom = 1;
    reader.mapOnlyIfCheap = false;
    std::string_view block = readLineBlock(file, reader);
    ASSERT_NE(reader.mapped.data, nullptr) << "not mapped";
    EXPECT_GE(block.data(), reader.mapped.data);
    EXPECT_LE(block.data() + block.size(), reader.mapped.data + reader.mapped.size);
    std::string joined(block);
    while (!(block = readLineBlock(file, reader)).empty()) joined += block;
    EXPECT_EQ(reader.mapped.data, nullptr);
    EXPECT_EQ(joined, lines + "a\nb\n");
}

#if !defined(_WIN32)
// Cut short by another process while mapped (Windows lets nobody write to a
// list open for reading): the bytes gone read as zeros instead of ending the
// process, the reader goes back to reading and finds the new end, and the
// loss is known, so that a run can find its hits again.
TEST_F(TextFileTest, MappedListCutShortEndsThereAndSaysSo) {
    const std::string lines = shortLines(64 * 4096);
    const std::string name = writeBytes("cut.txt", lines);
    TextFile file;
    ASSERT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
    LineBlockReader reader;
    reader.readSize = kMinLineBlockReadSize;
    reader.mapFrom = 1;
    reader.mapOnlyIfCheap = false;
    std::string joined(readLineBlock(file, reader));
    ASSERT_NE(reader.mapped.data, nullptr) << "not mapped";
    std::filesystem::resize_file(name, 4096);
    for (std::string_view block = readLineBlock(file, reader); !block.empty();
         block = readLineBlock(file, reader)) {
        joined += block;
    }
    EXPECT_EQ(joined, lines.substr(0, joined.size()));
    EXPECT_LE(joined.size(), kMinLineBlockReadSize);
    EXPECT_TRUE(mappedBytesLost());
}

// Cut short while read: the bytes read past the new end, up to a line cut in
// two, are neither the list as it was nor as it is, and the reader says so.
TEST_F(TextFileTest, ReadListCutShortSaysSo) {
    const std::string lines = shortLines(64 * 4096);
    for (const bool cut : {false, true}) {
        SCOPED_TRACE(cut ? "cut" : "whole");
        const std::string name = writeBytes("cut-read.txt", lines);
        TextFile file;
        ASSERT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
        LineBlockReader reader;
        reader.readSize = kMinLineBlockReadSize;
        reader.mapFrom = SIZE_MAX;
        ASSERT_FALSE(readLineBlock(file, reader).empty());
        if (cut) std::filesystem::resize_file(name, 4096);
        while (!readLineBlock(file, reader).empty()) {
        }
        EXPECT_EQ(reader.cutShort, cut);
    }
}
#endif

TEST_F(TextFileTest, AppendLinesStopsAtTheLimit) {
    const std::string name = writeBytes("limit.txt", "a\r\nb\n\nc");
    struct Case {
        const char* name;
        std::int32_t maxLines;
        std::int32_t count;
        std::string text;
    };
    const Case cases[] = {
        {"negative", -1, 0, ""},      {"none", 0, 0, ""},
        {"one", 1, 1, "a\n"},         {"up to the empty line", 3, 3, "a\nb\n\n"},
        {"all", 4, 4, "a\nb\n\nc\n"}, {"more than there are", 5, 4, "a\nb\n\nc\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextFile file;
        ASSERT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
        std::string text;
        EXPECT_EQ(appendLines(file, text, c.maxLines), c.count);
        EXPECT_EQ(text, c.text);
        closeFile(file);
    }
}

TEST_F(TextFileTest, EmptyFileIsAtEndAtOnce) {
    const std::string name = writeBytes("empty.txt", "");
    TextFile file;
    ASSERT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
    EXPECT_TRUE(atEnd(file));
    std::string line = "kept";
    readLine(file, line);
    EXPECT_EQ(line, "kept");  // nothing appended
    closeFile(file);
}

TEST_F(TextFileTest, AtEndLeavesTheByteUnconsumed) {
    const std::string name = writeBytes("peek.txt", std::string(4095, 'p') + "\ntail");
    TextFile file;
    ASSERT_EQ(openRead(file, name.c_str()), OpenStatus::ok);
    EXPECT_FALSE(atEnd(file));
    EXPECT_FALSE(atEnd(file));
    EXPECT_EQ(nextLine(file), std::string(4095, 'p'));
    // The read buffer is used up exactly here: the peek has to refill it.
    EXPECT_FALSE(atEnd(file));
    EXPECT_EQ(nextLine(file), "tail");
    EXPECT_TRUE(atEnd(file));
    closeFile(file);
}

// Reads `linesToRead` lines, writes `text`, reads one more line, closes;
// returns that line.
std::string readWriteRead(const std::string& name, int linesToRead, const std::string& text) {
    TextFile file;
    EXPECT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    for (int i = 0; i < linesToRead; ++i) nextLine(file);
    EXPECT_EQ(writeText(file, text), text.size());
    std::string after = nextLine(file);
    closeFile(file);
    return after;
}

TEST_F(TextFileTest, WriteAfterReadLandsAtTheLogicalPosition) {
    const std::string big1(3000, '1');
    const std::string big2(3000, '2');
    const std::string big3(3000, '3');
    struct Case {
        std::string name;
        std::string before;
        int linesToRead;
        std::string text;
        std::string lineAfter;
        std::string after;
    };
    const Case cases[] = {
        {"nothing read", "abc\ndef\n", 0, "XY", "c", "XYc\ndef\n"},
        {"one line read", "abc\ndef\nghi\n", 1, "XY", "f", "abc\nXYf\nghi\n"},
        {"crlf consumed", "abc\r\ndef\n", 1, "XY", "f", "abc\r\nXYf\n"},
        {"second buffer", big1 + "\n" + big2 + "\n" + big3 + "\n", 2, "XY", big3.substr(2),
         big1 + "\n" + big2 + "\nXY" + big3.substr(2) + "\n"},
        {"past the end", "abc\n", 1, "XY", "", "abc\nXY"},
        {"large text", "abc\ndef\n", 1, std::string(5000, 'W'), "",
         "abc\n" + std::string(5000, 'W')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = writeBytes("rw.txt", c.before);
        EXPECT_EQ(readWriteRead(name, c.linesToRead, c.text), c.lineAfter);
        EXPECT_EQ(readBytes(name), c.after);
    }
}

TEST_F(TextFileTest, PeekThenWriteOverwritesThePeekedByte) {
    const std::string name = writeBytes("peek.txt", "abc");
    TextFile file;
    ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    EXPECT_FALSE(atEnd(file));
    writeText(file, "Z");
    closeFile(file);
    EXPECT_EQ(readBytes(name), "Zbc");
}

TEST_F(TextFileTest, FileLengthCountsBufferedWrites) {
    const std::string name = writeBytes("len.txt", "0123");
    TextFile file;
    ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    std::uint64_t length = 0;
    ASSERT_TRUE(fileLength(file, length));
    EXPECT_EQ(length, 4u);
    ASSERT_TRUE(seekTo(file, length));
    writeText(file, "hello");
    ASSERT_TRUE(fileLength(file, length));
    EXPECT_EQ(length, 9u);
    writeText(file, "!");
    ASSERT_TRUE(fileLength(file, length));
    EXPECT_EQ(length, 10u);
    closeFile(file);
    EXPECT_EQ(readBytes(name), "0123hello!");
}

TEST_F(TextFileTest, SeekToLengthThenWriteAppends) {
    const std::string name = writeBytes("out.txt", "old\nno end");
    TextFile file;
    ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    EXPECT_EQ(nextLine(file), "old");  // read-ahead holds the rest of the file
    std::uint64_t length = 0;
    ASSERT_TRUE(fileLength(file, length));
    ASSERT_TRUE(seekTo(file, length));
    EXPECT_EQ(writeText(file, "tree\n"), 5u);
    EXPECT_EQ(writeText(file, "C:\\Docs\\Relat\xC3\xB3rio.pdf\n"), 23u);
    EXPECT_TRUE(flushFile(file));
    closeFile(file);
    EXPECT_EQ(readBytes(name), "old\nno endtree\nC:\\Docs\\Relat\xC3\xB3rio.pdf\n");
}

TEST_F(TextFileTest, SeekToThenReadStartsThere) {
    const std::string name = writeBytes("seek.txt", "abc\ndef\n");
    TextFile file;
    ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    writeText(file, "XY");  // waiting in the buffer
    ASSERT_TRUE(seekTo(file, 5));
    EXPECT_EQ(nextLine(file), "ef");
    ASSERT_TRUE(seekTo(file, 0));
    EXPECT_EQ(nextLine(file), "XYc");
    closeFile(file);
}

TEST_F(TextFileTest, EmptyTextWritesNothing) {
    const std::string name = writeBytes("keep.txt", "abc");
    TextFile file;
    ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    EXPECT_EQ(writeText(file, ""), 0u);
    std::uint64_t length = 0;
    ASSERT_TRUE(fileLength(file, length));
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(nextLine(file), "abc");  // the position did not move either
    closeFile(file);
    EXPECT_EQ(readBytes(name), "abc");
}

TEST_F(TextFileTest, WritesKeepTheirOrderAroundTheBufferSize) {
    const std::size_t sizes[] = {1, 4093, 4094, 4095, 4096, 4097, 8192, 10000};
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string name = path("order.txt");
        std::filesystem::remove(name);
        const std::string middle = patterned(size, static_cast<unsigned>(size));
        TextFile file;
        ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
        EXPECT_EQ(writeText(file, "ab"), 2u);
        EXPECT_EQ(writeText(file, middle), size);
        EXPECT_EQ(writeText(file, "cd"), 2u);
        closeFile(file);
        EXPECT_EQ(readBytes(name), "ab" + middle + "cd");
    }
}

TEST_F(TextFileTest, ManySmallWritesKeepTheirOrder) {
    const std::string name = path("many.txt");
    std::string expected;
    TextFile file;
    ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    for (int i = 0; i < 2000; ++i) {
        const std::string text = "line " + std::to_string(i) + "\n";
        expected += text;
        writeText(file, text);
    }
    closeFile(file);
    EXPECT_EQ(readBytes(name), expected);
}

TEST_F(TextFileTest, OpenOrCreateCreatesAnEmptyFile) {
    const std::string name = path("new.txt");
    TextFile file;
    ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    EXPECT_TRUE(atEnd(file));
    closeFile(file);
    ASSERT_TRUE(std::filesystem::is_regular_file(name));
    EXPECT_EQ(std::filesystem::file_size(name), 0u);
}

TEST_F(TextFileTest, OpenOrCreateLeavesExistingBytesUntilWritten) {
    const std::string before = "keep\r\n\0x\xFF"s;
    const std::string name = writeBytes("old.txt", before);
    TextFile file;
    ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    EXPECT_EQ(readBytes(name), before);
    EXPECT_EQ(nextLine(file), "keep");
    std::uint64_t length = 0;
    EXPECT_TRUE(fileLength(file, length));
    EXPECT_EQ(length, before.size());
    closeFile(file);
    EXPECT_EQ(readBytes(name), before);
}

TEST_F(TextFileTest, OpenFailsOnMissingFileAndDirectory) {
    const std::string missing = path("missing.txt");
    const std::string folder = path("folder");
    std::filesystem::create_directory(folder);
    TextFile file;
    EXPECT_EQ(openRead(file, missing.c_str()), OpenStatus::failed);
    EXPECT_FALSE(isOpen(file));
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(openRead(file, folder.c_str()), OpenStatus::failed);
    EXPECT_EQ(openOrCreate(file, folder.c_str()), OpenStatus::failed);
    EXPECT_EQ(openOrCreate(file, path("no/such/folder.txt").c_str()), OpenStatus::failed);
    // A file that did not open reads as empty and takes no writes.
    EXPECT_TRUE(atEnd(file));
    EXPECT_EQ(nextLine(file), "");
    EXPECT_EQ(writeText(file, "x"), 0u);
    closeFile(file);
}

TEST_F(TextFileTest, TruncateFileCutsBack) {
    const std::string name = writeBytes("cut.txt", "0123456789");
    TextFile file;
    ASSERT_EQ(openOrCreate(file, name.c_str()), OpenStatus::ok);
    ASSERT_TRUE(seekTo(file, 10));
    writeText(file, "written");
    EXPECT_TRUE(flushFile(file));
    EXPECT_EQ(readBytes(name), "0123456789written");
    EXPECT_TRUE(truncateFile(file, 10));
    EXPECT_EQ(readBytes(name), "0123456789");
    ASSERT_TRUE(seekTo(file, 2));
    writeText(file, "ab");  // still waiting: the cut drops it, also inside what stays
    EXPECT_TRUE(truncateFile(file, 6));
    writeText(file, "Z");  // lands at the cut
    closeFile(file);
    EXPECT_EQ(readBytes(name), "012345Z");
}

TEST_F(TextFileTest, WriterExcludesOtherOpens) {
    const std::string name = writeBytes("held.txt", "x\n");
    TextFile holder;
    ASSERT_EQ(openOrCreate(holder, name.c_str()), OpenStatus::ok);
    TextFile other;
    EXPECT_EQ(openOrCreate(other, name.c_str()), OpenStatus::busy);
    EXPECT_FALSE(isOpen(other));
    EXPECT_EQ(openRead(other, name.c_str()), OpenStatus::busy);
    EXPECT_FALSE(isOpen(other));
    closeFile(holder);
    ASSERT_EQ(openOrCreate(other, name.c_str()), OpenStatus::ok);
    closeFile(other);
}

TEST_F(TextFileTest, ReadersShareButExcludeTheWriter) {
    const std::string name = writeBytes("shared.txt", "x\n");
    TextFile first;
    TextFile second;
    ASSERT_EQ(openRead(first, name.c_str()), OpenStatus::ok);
    EXPECT_EQ(openRead(second, name.c_str()), OpenStatus::ok);
    closeFile(second);
    TextFile writer;
    EXPECT_EQ(openOrCreate(writer, name.c_str()), OpenStatus::busy);
    closeFile(first);
    EXPECT_EQ(openOrCreate(writer, name.c_str()), OpenStatus::ok);
    closeFile(writer);
}

TEST_F(TextFileTest, WaitingOpenGivesUpWhileHeld) {
    const std::string name = path("busy.txt");
    TextFile holder;
    ASSERT_EQ(openOrCreate(holder, name.c_str()), OpenStatus::ok);
    TextFile waiter;
    EXPECT_EQ(openOrCreateWaiting(waiter, name.c_str(), 200), OpenStatus::busy);
    EXPECT_FALSE(isOpen(waiter));
    closeFile(holder);
}

TEST_F(TextFileTest, WaitingOpenSucceedsOnceReleased) {
    const std::string name = path("busy.txt");
    TextFile holder;
    ASSERT_EQ(openOrCreate(holder, name.c_str()), OpenStatus::ok);
    BackgroundThread releaser([&holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        closeFile(holder);
    });
    ASSERT_TRUE(releaser.started());
    TextFile waiter;
    const OpenStatus status = openOrCreateWaiting(waiter, name.c_str(), 10000);
    releaser.join();
    EXPECT_EQ(status, OpenStatus::ok);
    closeFile(waiter);
}

TEST_F(TextFileTest, WaitingOpenFailsAtOnceOnOtherFailures) {
    const std::string folder = path("folder");
    std::filesystem::create_directory(folder);
    TextFile file;
    EXPECT_EQ(openOrCreateWaiting(file, folder.c_str(), 200), OpenStatus::failed);
}

}  // namespace
}  // namespace textio
