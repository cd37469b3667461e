// The line reader and the UTF-8 layer on arbitrary bytes, read from a real
// file through the 4,096-byte buffer: line by line (atEnd/readLine), in bulk
// (appendLines), in blocks of whole lines (readLineBlock) or of a given
// number of lines (readLines), and some lines line by line and the rest in
// bulk or in blocks, the bulk readers with the line kernels of every
// instruction set. The lines must be those of a plain splitter, and each
// line must decode to the units of a plain decoder and encode back to its
// very bytes.
//
// Input: six option bytes, then the file's data.
//   0-1  where in the data the first buffer boundary falls (filler bytes
//        are put before the data to move it there)
//   2    bits 0-1: the filler's last byte (filler, LF, CR or NUL);
//        bits 2-3: how much room the bulk text has reserved;
//        bit 4: the strings already hold bytes (reads must append);
//        bit 5: ask atEnd before each readLine;
//        bits 6-7: the data is repeated 1, 1, 4 or 16 times (so that short
//        inputs span several buffers)
//   3    how many lines readLine takes before appendLines takes the rest
//   4    appendLines' line limit (0: no limit; 255: 0; 254: -1); also the
//        line count asked of readLines (1 + this mod 97)
//   5    bits 0-2: all set: the boundary is one of the block readers'
//        reads instead (a long filler); bit 3: the filler is short lines
//        instead of one line; bit 4: the block readers map the file
//        (when no line was read before them) instead of reading it
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_files.h"
#include "reference_lines.h"
#include "reference_utf8.h"
#include "simd/dispatch.h"
#include "textio/line_blocks.h"
#include "textio/line_index.h"
#include "textio/text_file.h"
#include "textio/utf8.h"

namespace {

using fuzzcheck::hex;

constexpr std::size_t kOptionBytes = 6;
// The block readers read this much at a time (after what the buffer holds).
const std::size_t kBulkReadSize = textio::lineBlockReadSize();

struct Plan {
    std::string fileBytes;  // filler, then the data
    std::string prefix;     // bytes the strings hold before each read
    std::size_t reserve = 0;
    bool askAtEnd = false;
    std::size_t readFirst = 0;
    std::int32_t maxLines = 0;
    std::size_t chunkLines = 1;      // asked of readLines
    std::size_t mapFrom = SIZE_MAX;  // the block readers' size to map from
};

Plan makePlan(const std::uint8_t* options, std::string_view input) {
    Plan plan;
    static constexpr std::size_t kRepeats[] = {1, 1, 4, 16};
    std::string data;
    for (std::size_t n = kRepeats[options[2] >> 6]; n > 0; --n) data.append(input);
    const std::size_t cut = ((std::size_t{options[0]} << 8) | options[1]) % (data.size() + 1);
    const std::size_t boundary = (options[5] & 7) == 7 ? kBulkReadSize : textio::kBufferSize;
    const std::size_t filler = (boundary - cut % boundary) % boundary;
    plan.fileBytes.assign(filler, 'f');
    if (options[5] & 16) plan.mapFrom = 1;
    if (options[5] & 8) {
        for (std::size_t i = 63; i < filler; i += 64) plan.fileBytes[i] = '\n';
    }
    static constexpr char kFillerEnds[] = {'f', '\n', '\r', '\0'};
    if (filler > 0) plan.fileBytes.back() = kFillerEnds[options[2] & 3];
    plan.fileBytes.append(data);

    static constexpr std::size_t kReserveKinds = 4;
    const std::size_t reserveKind = (options[2] >> 2) % kReserveKinds;
    plan.reserve = reserveKind == 0   ? 0
                   : reserveKind == 1 ? 40
                   : reserveKind == 2 ? plan.fileBytes.size() / 2
                                      : plan.fileBytes.size() + 1;
    if (options[2] & 0x10) plan.prefix = "pre\r\n\xC3";
    plan.askAtEnd = (options[2] & 0x20) != 0;
    plan.readFirst = options[3];
    plan.chunkLines = 1 + options[4] % 97;
    plan.maxLines = options[4] == 0     ? std::numeric_limits<std::int32_t>::max()
                    : options[4] == 255 ? 0
                    : options[4] == 254 ? -1
                                        : options[4];
    return plan;
}

std::string describeLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += hex(line) + "\n";
    return out;
}

void openOrDie(textio::TextFile& file, const std::string& path) {
    FUZZ_CHECK(textio::openRead(file, path.c_str()) == textio::OpenStatus::ok, path);
}

// Reads one line into a string that already holds the prefix.
std::string readOneLine(textio::TextFile& file, const std::string& prefix) {
    std::string line = prefix;
    textio::readLine(file, line);
    FUZZ_CHECK(line.compare(0, prefix.size(), prefix) == 0, "readLine changed bytes already there");
    return line.substr(prefix.size());
}

void checkLineByLine(const std::string& path, const Plan& plan,
                     const std::vector<std::string>& want) {
    textio::TextFile file;
    openOrDie(file, path);
    std::vector<std::string> got;
    while (!textio::atEnd(file)) {
        got.push_back(readOneLine(file, plan.prefix));
        FUZZ_CHECK(got.size() <= want.size(), "more lines than the file holds:\ngot\n" +
                                                  describeLines(got) + "want\n" +
                                                  describeLines(want));
    }
    FUZZ_CHECK(got == want,
               "readLine lines:\ngot\n" + describeLines(got) + "want\n" + describeLines(want));
    FUZZ_CHECK(textio::atEnd(file), "atEnd changed its mind at the end");
    FUZZ_CHECK(readOneLine(file, plan.prefix).empty(), "readLine at the end gave bytes");
    textio::closeFile(file);
}

// `readFirst` lines with readLine, then the rest with appendLines.
void checkThenBulk(const std::string& path, const Plan& plan, std::size_t readFirst,
                   const std::vector<std::string>& want) {
    textio::TextFile file;
    openOrDie(file, path);
    for (std::size_t i = 0; i < readFirst; ++i) {
        const bool more = i < want.size();
        if (plan.askAtEnd)
            FUZZ_CHECK(textio::atEnd(file) == !more, "atEnd before line " + std::to_string(i));
        const std::string line = readOneLine(file, plan.prefix);
        FUZZ_CHECK(line == (more ? want[i] : std::string()),
                   "line " + std::to_string(i) + ": got " + hex(line) + " want " +
                       hex(more ? want[i] : std::string()));
    }

    std::string wantText = plan.prefix;
    std::int32_t wantCount = 0;
    for (std::size_t i = readFirst; i < want.size() && wantCount < plan.maxLines; ++i) {
        wantText += want[i] + "\n";
        ++wantCount;
    }
    std::string text = plan.prefix;
    text.reserve(plan.reserve);
    const std::int32_t count = textio::appendLines(file, text, plan.maxLines);
    FUZZ_CHECK(count == wantCount && text == wantText,
               "appendLines after " + std::to_string(readFirst) + " lines, limit " +
                   std::to_string(plan.maxLines) + ": got " + std::to_string(count) + " " +
                   hex(text) + "\nwant " + std::to_string(wantCount) + " " + hex(wantText));
    if (plan.maxLines == std::numeric_limits<std::int32_t>::max()) {
        FUZZ_CHECK(textio::atEnd(file), "appendLines left bytes unread");
    }
    textio::closeFile(file);
}

// The reader's index of the block finds each of its LFs, and the line of
// each of its bytes.
bool lineEndsRight(std::string_view block, const textio::LineBlockReader& reader) {
    const textio::LineIndex& index = reader.index;
    if (index.text != block) return false;
    std::size_t line = 0;
    for (std::size_t at = 0; at < block.size(); ++at) {
        if (textio::lineOfOffset(index, at) != line) return false;
        if (block[at] != '\n') continue;
        if (textio::lineFeedOf(index, line) != at) return false;
        ++line;
    }
    return index.lines == line;
}

// Opens the file and reads `readFirst` lines with readLine; returns what the
// rest of it should read as.
std::string openAfterLines(textio::TextFile& file, const std::string& path, const Plan& plan,
                           std::size_t readFirst, const std::vector<std::string>& want) {
    openOrDie(file, path);
    for (std::size_t i = 0; i < readFirst && i < want.size(); ++i) readOneLine(file, plan.prefix);
    std::string wantText;
    for (std::size_t i = readFirst; i < want.size(); ++i) wantText += want[i] + "\n";
    return wantText;
}

// `readFirst` lines with readLine, then the rest with readLineBlock: each
// block whole lines, each ending in LF, as many as it says.
void checkThenBlocks(const std::string& path, const Plan& plan, std::size_t readFirst,
                     const std::vector<std::string>& want) {
    textio::TextFile file;
    const std::string wantText = openAfterLines(file, path, plan, readFirst, want);

    textio::LineBlockReader reader;
    reader.mapFrom = plan.mapFrom;
    reader.mapOnlyIfCheap = false;
    std::string text;
    for (;;) {
        const std::string_view block = textio::readLineBlock(file, reader);
        if (block.empty()) break;
        const auto lineFeeds =
            static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n'));
        FUZZ_CHECK(
            block.back() == '\n' && reader.lines == lineFeeds && lineEndsRight(block, reader),
            "readLineBlock after " + std::to_string(readFirst) + " lines: a block of " +
                std::to_string(reader.lines) + " lines " + hex(block));
        text.append(block);
        FUZZ_CHECK(text.size() <= wantText.size(), "readLineBlock gives more than the file holds");
    }
    FUZZ_CHECK(text == wantText, "readLineBlock after " + std::to_string(readFirst) +
                                     " lines:\ngot  " + hex(text) + "\nwant " + hex(wantText));
    FUZZ_CHECK(textio::readLineBlock(file, reader).empty(),
               "readLineBlock gave more after the end");
    textio::closeFile(file);
}

// `readFirst` lines with readLine, then the rest by turns with readLines
// (chunkLines at a time: exactly that many while the file lasts) and
// readLineBlock, on one reader.
void checkThenCounts(const std::string& path, const Plan& plan, std::size_t readFirst,
                     const std::vector<std::string>& want) {
    textio::TextFile file;
    const std::string wantText = openAfterLines(file, path, plan, readFirst, want);
    std::size_t linesLeft = want.size() > readFirst ? want.size() - readFirst : 0;

    textio::LineBlockReader reader;
    reader.mapFrom = plan.mapFrom;
    reader.mapOnlyIfCheap = false;
    std::string text;
    for (bool counted = true;; counted = !counted) {
        const std::string_view block = counted ? textio::readLines(file, reader, plan.chunkLines)
                                               : textio::readLineBlock(file, reader);
        const auto lineFeeds =
            static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n'));
        FUZZ_CHECK(
            reader.lines == lineFeeds && lineEndsRight(block, reader) &&
                (block.empty() || block.back() == '\n'),
            "readLines: a block of " + std::to_string(reader.lines) + " lines " + hex(block));
        if (counted) {
            FUZZ_CHECK(lineFeeds == std::min(plan.chunkLines, linesLeft),
                       "readLines(" + std::to_string(plan.chunkLines) + ") gave " +
                           std::to_string(lineFeeds) + " lines with " + std::to_string(linesLeft) +
                           " left");
        }
        linesLeft -= lineFeeds;
        text.append(block);
        FUZZ_CHECK(text.size() <= wantText.size(), "readLines gives more than the file holds");
        if (block.empty() && !counted) break;
    }
    FUZZ_CHECK(text == wantText, "readLines after " + std::to_string(readFirst) + " lines:\ngot  " +
                                     hex(text) + "\nwant " + hex(wantText));
    textio::closeFile(file);
}

void checkUtf8(std::string_view bytes) {
    const std::u32string units = textio::decodeText(bytes);
    const std::u32string want = reference::decode(bytes);
    FUZZ_CHECK(units == want,
               "decodeText " + hex(bytes) + ":\ngot  " + hex(units) + "\nwant " + hex(want));
    const std::string back = textio::encodeText(units);
    FUZZ_CHECK(back == bytes, "encodeText(decodeText " + hex(bytes) + ") gave " + hex(back));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size < kOptionBytes) return 0;
    const std::string_view data(reinterpret_cast<const char*>(input) + kOptionBytes,
                                size - kOptionBytes);
    const Plan plan = makePlan(input, data);
    const std::string path = (fuzzfiles::processFolder() / "lines.txt").string();
    fuzzfiles::writeFile(path, plan.fileBytes);

    const std::vector<std::string> want = reference::splitLines(plan.fileBytes);
    checkLineByLine(path, plan, want);
    // The bulk readers with the line kernels of every instruction set.
    for (const simd::Isa isa : fuzzcheck::runnableIsas()) {
        simd::chooseIsa(isa);
        checkThenBulk(path, plan, 0, want);
        checkThenBulk(path, plan, plan.readFirst, want);
        checkThenBlocks(path, plan, 0, want);
        checkThenBlocks(path, plan, plan.readFirst, want);
        checkThenCounts(path, plan, plan.readFirst, want);
    }

    // The UTF-8 layer on the input's own lines (not the filler or the copies).
    for (const std::string& line : reference::splitLines(data)) checkUtf8(line);
    checkUtf8(data);
    return 0;
}
