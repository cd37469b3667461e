#include "filter/match.h"
#include "filter/search_filter.h"
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

// Tests every folder/file pair in folder order. File names past the last
// folder are never looked at; a missing file name is the empty text.
void collectMatches(RunState& state) {
    const std::vector<std::string> terms = foldTerms(state.terms);
    if (terms.empty()) return;  // no term can hit anything
    FieldCursor folders{state.folders.text};
    FieldCursor files{state.files.text};
    for (std::int32_t left = state.folders.count; left > 0; --left) {
        const std::string_view folder = nextField(folders);
        const std::string_view file = nextField(files);
        const PairHits hits = pairMatches(terms, folder, file);
        if (hits.folderHit || hits.fileHit) keepLocation(state, folder, file);
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
