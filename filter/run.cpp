#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "filter/hit_lines.h"
#include "filter/match.h"
#include "filter/search_filter.h"
#include "filter/term_search.h"
#include "textio/line_ends.h"
#include "textio/text_file.h"

namespace filter {
namespace {

// Only the first line counts; a missing file leaves the header empty.
std::string readTreeName() {
    std::string name;
    textio::TextFile file;
    if (textio::openRead(file, kTreeNameFile) != textio::OpenStatus::ok) return name;
    textio::readLine(file, name);
    textio::closeFile(file);
    return name;
}

void keepLocation(RunState& state, std::string_view folder, std::string_view file) {
    // Always exactly one backslash between them, as read, not folded.
    state.results.text.append(folder);
    state.results.text.push_back('\\');
    state.results.text.append(file);
    state.results.text.push_back('\n');
    ++state.matchCount;
}

// The line starting at `begin`, without its LF; empty at the end.
std::string_view lineAt(const char* begin, const char* end) {
    const void* lineFeed = std::memchr(begin, '\n', static_cast<std::size_t>(end - begin));
    return {begin, static_cast<std::size_t>((lineFeed ? static_cast<const char*>(lineFeed) : end) -
                                            begin)};
}

// The file names, walked alongside the folders: the name of any later line is
// reached by skipping forward from the last one asked for.
struct FileNameCursor {
    const char* at;
    const char* end;
    std::size_t line = 0;
};

std::string_view fileNameAt(FileNameCursor& cursor, std::size_t line) {
    cursor.at = textio::skipLines(cursor.at, cursor.end, line - cursor.line);
    cursor.line = line;
    return lineAt(cursor.at, cursor.end);
}

// Streams the folders list past in blocks of whole lines, finds the folder
// hits of each block while it is still in the cache, and keeps every pair
// whose folder or file name holds a term, in folder order. A missing file
// name is the empty text; file names past the last folder are never looked
// at. Returns the number of folder lines (at most the 32-bit signed range).
std::int32_t keepPairs(RunState& state, const TermSearch& search, const TermSearch* rawSearch,
                       const std::vector<bool>& fileHits) {
    textio::TextFile file;
    if (textio::openRead(file, kFoldersFile) != textio::OpenStatus::ok) return 0;
    constexpr auto kMaxLines = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    textio::LineBlockReader reader;
    FoldBuffer buffer;
    std::vector<bool> folderHits;
    FileNameCursor fileNames{state.files.text.data(),
                             state.files.text.data() + state.files.text.size()};
    std::size_t firstLine = 0;  // of the current block, in the whole list
    for (std::string_view block = textio::readLineBlock(file, reader);
         !block.empty() && firstLine < kMaxLines; block = textio::readLineBlock(file, reader)) {
        const std::size_t lines = std::min(reader.lines, kMaxLines - firstLine);
        folderHits.assign(lines, false);
        if (search.engine != TermEngine::None) {
            markHitLines(block, static_cast<std::int32_t>(lines), search, rawSearch, folderHits,
                         buffer);
        }
        const char* folder = block.data();
        const char* blockEnd = block.data() + block.size();
        std::size_t folderLine = 0;  // the block line `folder` stands at
        for (std::size_t i = 0; i < lines; ++i) {
            const std::size_t line = firstLine + i;
            if (!folderHits[i] && !(line < fileHits.size() && fileHits[line])) continue;
            folder = textio::skipLines(folder, blockEnd, i - folderLine);
            folderLine = i;
            keepLocation(state, lineAt(folder, blockEnd), fileNameAt(fileNames, line));
        }
        firstLine += lines;
    }
    textio::closeFile(file);
    return static_cast<std::int32_t>(firstLine);
}

}  // namespace

void runFilter(RunState& state) {
    state.treeName = readTreeName();
    state.terms = loadList(kTermsFile);
    const std::vector<std::string> foldedTerms = foldTerms(state.terms);
    const TermSearch search = buildTermSearch(foldedTerms);
    // With pure ASCII terms, blocks that nothing folds into ASCII are searched unfolded.
    const std::optional<TermSearch> rawSearch = buildAsciiCaselessSearch(foldedTerms);
    const TermSearch* raw = rawSearch ? &*rawSearch : nullptr;
    // The file names are read whole and searched first; the folders, usually
    // the largest list by far, then stream past without being held.
    state.files = loadList(kFilesFile);
    std::vector<bool> fileHits(static_cast<std::size_t>(state.files.count));
    if (search.engine != TermEngine::None) {
        FoldBuffer buffer;
        markHitLines(state.files.text, state.files.count, search, raw, fileHits, buffer);
    }
    state.folders.count = keepPairs(state, search, raw, fileHits);
    writeResults(state);
}

}  // namespace filter
