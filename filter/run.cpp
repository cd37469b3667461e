#include <cstring>
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

// Keeps every location whose folder or file name holds a term, in folder
// order. File names past the last folder are never looked at; a missing
// file name is the empty text. Hits are found in bulk over each whole list;
// then only the kept lines are looked up, skipping the others by counting LFs.
void collectMatches(RunState& state) {
    const TermSearch search = buildTermSearch(foldTerms(state.terms));
    const std::int32_t count = state.folders.count;
    if (search.engine == TermEngine::None || count <= 0) return;

    std::vector<bool> hits(static_cast<std::size_t>(count));
    FoldBuffer buffer;
    markHitLines(state.folders.text, count, search, hits, buffer);
    markHitLines(state.files.text, count, search, hits, buffer);
    buffer = {};

    const char* folder = state.folders.text.data();
    const char* foldersEnd = folder + state.folders.text.size();
    const char* file = state.files.text.data();
    const char* filesEnd = file + state.files.text.size();
    std::size_t line = 0;  // the line both cursors stand at
    for (std::size_t hit = 0; hit < hits.size(); ++hit) {
        if (!hits[hit]) continue;
        folder = textio::skipLines(folder, foldersEnd, hit - line);
        file = textio::skipLines(file, filesEnd, hit - line);
        line = hit;
        keepLocation(state, lineAt(folder, foldersEnd), lineAt(file, filesEnd));
    }
}

}  // namespace

void runFilter(RunState& state) {
    state.treeName = readTreeName();
    state.terms = loadList(kTermsFile);
    state.folders = loadList(kFoldersFile);
    state.files = loadList(kFilesFile);
    collectMatches(state);
    writeResults(state);
}

}  // namespace filter
