#include "filter/run.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "filter/fold.h"
#include "filter/match.h"
#include "filter/result_list.h"
#include "filter/scratch_list.h"
#include "filter/search_filter.h"
#include "filter/write_results.h"
#include "search/search.h"
#include "simd/prefetch_queue.h"
#include "textio/line_blocks.h"
#include "textio/mapped_file.h"
#include "textio/text_file.h"

namespace filter {
namespace {

// Only the first line counts; a missing file leaves the header empty.
std::string readTreeName() {
    std::string name;
    textio::TextFile file;
    if (textio::openRead(file, kTreeNameFile) != textio::OpenStatus::ok) return name;
    textio::readLine(file, name);
    return name;
}

void keepLocation(RunState& state, std::string_view folder, std::string_view file) {
    appendLocation(state.results, folder, file);  // as read, not folded
    ++state.matchCount;
}

// The kept lines' marks, a machine word's bits of lines at a time (a 32-bit
// build's 64-bit words cost a pair of registers and three products each).
using KeptBits = std::size_t;
constexpr std::size_t kKeptBatch = 8 * sizeof(KeptBits);

// Bit j is set where line from + j (below `lines`) holds a term in its
// folder or its file name: a batch of lines' marks at once, so that the kept
// lines are walked by their bits instead of one loop exit per kept line.
KeptBits keptBits(const search::LineHits& folderHits, const search::LineHits& fileHits,
                  std::size_t from, std::size_t lines) {
    constexpr std::size_t kWord = sizeof(KeptBits);
    if (lines - from < kKeptBatch) {
        KeptBits bits = 0;
        for (std::size_t line = from; line < lines; ++line) {
            if ((folderHits[line] | fileHits[line]) != 0) bits |= KeptBits{1} << (line - from);
        }
        return bits;
    }
    // Marks are 0 or 1: the product gathers a word's marks into its top byte.
    constexpr KeptBits kGather =
        kWord == 8 ? static_cast<KeptBits>(0x0102040810204080u) : 0x01020408u;
    KeptBits bits = 0;
    for (std::size_t word = 0; word < kKeptBatch / kWord; ++word) {
        KeptBits folder;
        KeptBits file;
        std::memcpy(&folder, folderHits.data() + from + word * kWord, kWord);
        std::memcpy(&file, fileHits.data() + from + word * kWord, kWord);
        bits |= (((folder | file) * kGather) >> (8 * kWord - 8)) << (word * kWord);
    }
    return bits;
}

// Line `line` of a block: where the search left it, else found in the block's
// index. `next` walks `texts` along with the lines asked, which increase.
std::string_view keptLineText(textio::LineCursor& cursor, const search::HitLineTexts& texts,
                              std::size_t& next, std::size_t line) {
    while (next < texts.size() && texts[next].line < line) ++next;
    if (next < texts.size() && texts[next].line == line) {
        return cursor.index->text.substr(texts[next].start, texts[next].length);
    }
    return textio::lineText(cursor, line);
}

// Streams both lists past together, a block of folders and the file names of
// the same lines at a time, finds the hits of each while they are still in
// the cache, and keeps every pair whose folder or file name holds a term, in
// folder order. A missing file name is the empty text; file names past the
// last folder are never read. Sets state.folders.count to the folder lines (at
// most the 32-bit signed range) and state.files.count to the file names read;
// false where a list was cut short while it was read.
bool keepPairs(RunState& state, const search::RunSearches& searches, std::size_t mapFrom) {
    state.folders.count = 0;
    textio::TextFile folders;
    if (textio::openRead(folders, kFoldersFile) != textio::OpenStatus::ok) return true;
    textio::TextFile files;  // a missing list of file names: every name is empty
    textio::openRead(files, kFilesFile);
    constexpr auto kMaxLines = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    textio::LineBlockReader folderReader;
    textio::LineBlockReader fileReader;
    folderReader.mapFrom = fileReader.mapFrom = mapFrom;
    folderReader.watched = fileReader.watched = search::bytesToWatch(searches);
    search::HitScratch scratch;
    scratch.fold.folding = blockFolding();
    search::LineHits folderHits;
    search::LineHits fileHits;
    search::HitLineTexts folderTexts;
    search::HitLineTexts fileTexts;
    std::size_t firstLine = 0;  // of the current block, in the whole list
    std::size_t fileNames = 0;
    for (std::string_view block = textio::readLineBlock(folders, folderReader);
         !block.empty() && firstLine < kMaxLines;
         block = textio::readLineBlock(folders, folderReader)) {
        const std::size_t lines = std::min(folderReader.lines, kMaxLines - firstLine);
        textio::readLines(files, fileReader, lines);
        fileNames += fileReader.lines;
        folderHits.assign(lines, 0);
        fileHits.assign(lines, 0);
        // Memory brings the next blocks while this one is searched.
        const std::string_view nextFolders = textio::likelyNextBytes(folderReader);
        const std::string_view nextFiles = textio::likelyNextBytes(fileReader);
        simd::setPrefetchRange(scratch.ahead, 0, nextFolders.data(), nextFolders.size());
        simd::setPrefetchRange(scratch.ahead, 1, nextFiles.data(), nextFiles.size());
        folderTexts.clear();
        fileTexts.clear();
        if (!search::findsNothing(searches)) {
            // A folder is named once per file in it.
            search::markBlockHits(folderReader.index, lines, searches, true, scratch, folderHits,
                                  &folderTexts);
            search::markBlockHits(fileReader.index, fileReader.lines, searches, false, scratch,
                                  fileHits, &fileTexts);
        }
        // The kept lines come in order, so each list's lines are found walking it.
        textio::LineCursor folderLines{&folderReader.index};
        textio::LineCursor fileLines{&fileReader.index};
        std::size_t nextFolderText = 0;
        std::size_t nextFileText = 0;
        for (std::size_t from = 0; from < lines; from += kKeptBatch) {
            for (KeptBits kept = keptBits(folderHits, fileHits, from, lines); kept != 0;
                 kept &= kept - 1) {
                const std::size_t i = from + static_cast<std::size_t>(std::countr_zero(kept));
                keepLocation(state, keptLineText(folderLines, folderTexts, nextFolderText, i),
                             keptLineText(fileLines, fileTexts, nextFileText, i));
            }
        }
        firstLine += lines;
    }
    state.folders.count = static_cast<std::int32_t>(firstLine);
    state.files.count = static_cast<std::int32_t>(fileNames);
    return !folderReader.cutShort && !fileReader.cutShort;
}

}  // namespace

void runFilter(RunState& state) {
    state.treeName = readTreeName();
    state.terms = loadList(kTermsFile);
    const search::RunSearches searches = search::buildRunSearches(foldTerms(state.terms));
    const bool whole = keepPairs(state, searches, textio::kMapFromSize);
    if (!whole || textio::mappedBytesLost()) {
        // Another process cut a list short during the run: what was found
        // may come from the old bytes up to a line cut in two, or, where it
        // was mapped, from zeros where its bytes were. Found again, reading
        // the lists as they are now.
        state.results = {};
        state.matchCount = 0;
        keepPairs(state, searches, SIZE_MAX);  // a second cut is not looked for
    }
    writeResults(state);
}

}  // namespace filter
