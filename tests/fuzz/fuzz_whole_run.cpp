// The whole run on fuzzed files: the four input files and an existing output
// list are cut from the input and written into a fresh folder, runFilter runs
// there, and the folder is checked: the inputs unchanged, nothing else
// created, the old output an untouched prefix, and the appended block ending
// in LF with between 1 and (folder lines + 1) lines, each kept line
// folder\file for a pair the inputs hold; finally the block must be exactly
// the one a plain reference (own line splitter, unit-by-unit folding,
// position-by-position containment) gives.
//
// Input: one option byte, then the contents of searchTreeName.txt,
// searchTermsList.txt, foldersScratch.txt, filesScratch.txt and
// searchOutputList.txt, separated by 0x01 bytes; a file whose part is
// missing does not exist.
//   option bit 7: the files named by bits 0-4 (in that order) are empty
//                 directories instead
//   option bit 5: run a second time, which must append the same block again
//   option bit 6: the folders and file names are 24 copies of their parts,
//                 each followed by LF (blocks longer than the write buffer)
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "filter/run.h"
#include "filter/search_filter.h"
#include "fuzz_check.h"
#include "fuzz_files.h"
#include "reference_lines.h"
#include "reference_match.h"

namespace {

namespace fs = std::filesystem;
using fuzzcheck::hex;

constexpr std::size_t kFileCount = 5;
constexpr std::size_t kTree = 0, kTerms = 1, kFolders = 2, kFiles = 3, kOutput = 4;
const std::array<const char*, kFileCount> kNames = {filter::kTreeNameFile, filter::kTermsFile,
                                                    filter::kFoldersFile, filter::kFilesFile,
                                                    filter::kOutputFile};

enum class Kind { missing, file, directory };

struct Setup {
    std::array<Kind, kFileCount> kind{};
    std::array<std::string, kFileCount> bytes;  // for Kind::file
    bool runTwice = false;
};

Setup makeSetup(const std::uint8_t* input, std::size_t size) {
    Setup setup;
    const std::uint8_t options = input[0];
    std::string_view rest(reinterpret_cast<const char*>(input) + 1, size - 1);
    for (std::size_t i = 0; i < kFileCount; ++i) {
        if (i > 0) {
            const std::size_t separator = rest.find('\x01');
            if (separator == std::string_view::npos) break;
            rest.remove_prefix(separator + 1);
        }
        setup.kind[i] = Kind::file;
        setup.bytes[i] = i + 1 < kFileCount ? rest.substr(0, rest.find('\x01')) : rest;
    }
    if (options & 0x80) {
        for (std::size_t i = 0; i < kFileCount; ++i) {
            if (options & (1u << i)) setup.kind[i] = Kind::directory;
        }
    }
    setup.runTwice = (options & 0x20) != 0;
    if (options & 0x40) {
        for (const std::size_t i : {kFolders, kFiles}) {
            if (setup.kind[i] != Kind::file) continue;
            const std::string part = setup.bytes[i] + "\n";
            setup.bytes[i].clear();
            for (int copy = 0; copy < 24; ++copy) setup.bytes[i] += part;
        }
    }
    return setup;
}

// The lines the run should see in one input file.
std::vector<std::string> inputLines(const Setup& setup, std::size_t i) {
    if (setup.kind[i] != Kind::file) return {};
    return reference::splitLines(setup.bytes[i]);
}

struct Expected {
    std::size_t folderLines = 0;
    std::set<std::string> locations;  // folder\file of every pair
    std::string block;
};

Expected expectedRun(const Setup& setup) {
    Expected e;
    const std::vector<std::string> tree = inputLines(setup, kTree);
    const std::vector<std::string> terms = inputLines(setup, kTerms);
    const std::vector<std::string> folders = inputLines(setup, kFolders);
    const std::vector<std::string> files = inputLines(setup, kFiles);
    std::vector<std::u32string> termUnits;
    for (const std::string& term : terms) termUnits.push_back(reference::foldUnits(term));
    std::map<std::string, bool> known;  // the lists may repeat their lines
    const auto hit = [&](const std::string& text) {
        const auto [at, fresh] = known.try_emplace(text, false);
        if (fresh) {
            const std::u32string units = reference::foldUnits(text);
            at->second = std::any_of(
                termUnits.begin(), termUnits.end(),
                [&](const std::u32string& term) { return reference::contains(units, term); });
        }
        return at->second;
    };

    e.folderLines = folders.size();
    e.block = (tree.empty() ? std::string() : tree[0]) + "\n";
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::string file = i < files.size() ? files[i] : std::string();
        const std::string location = folders[i] + "\\" + file;
        e.locations.insert(location);
        if (hit(folders[i]) || hit(file)) e.block += location + "\n";
    }
    return e;
}

void createFolder(const fs::path& folder, const Setup& setup) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directory(folder);
    for (std::size_t i = 0; i < kFileCount; ++i) {
        const fs::path path = folder / kNames[i];
        if (setup.kind[i] == Kind::file) fuzzfiles::writeFile(path, setup.bytes[i]);
        if (setup.kind[i] == Kind::directory) fs::create_directory(path);
    }
}

void runIn(const fs::path& folder) {
    const fs::path home = fs::current_path();
    fs::current_path(folder);
    filter::RunState state;
    filter::runFilter(state);
    fs::current_path(home);
}

// The inputs as they were, no stray entries; returns the output's bytes
// (none when it is a directory).
std::optional<std::string> checkFolder(const fs::path& folder, const Setup& setup) {
    std::set<std::string> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        entries.insert(entry.path().filename().string());
    }
    std::set<std::string> allowed = {filter::kOutputFile};
    for (std::size_t i = 0; i < kFileCount; ++i) {
        if (setup.kind[i] != Kind::missing) allowed.insert(kNames[i]);
    }
    FUZZ_CHECK(entries == allowed, "the folder holds other entries than the five files");
    for (std::size_t i = 0; i < kFileCount; ++i) {
        const fs::path path = folder / kNames[i];
        if (setup.kind[i] == Kind::directory) {
            FUZZ_CHECK(fs::is_directory(path) && fs::is_empty(path),
                       std::string(kNames[i]) + " is no longer an empty directory");
        } else if (setup.kind[i] == Kind::file && i != kOutput) {
            FUZZ_CHECK(test_support::readFileBytes(path) == setup.bytes[i],
                       std::string(kNames[i]) + " changed");
        }
    }
    if (setup.kind[kOutput] == Kind::directory) return std::nullopt;
    const fs::path output = folder / filter::kOutputFile;
    FUZZ_CHECK(fs::is_regular_file(output), "no output list");
    return test_support::readFileBytes(output);
}

void checkBlock(std::string_view block, const Expected& e) {
    FUZZ_CHECK(!block.empty() && block.back() == '\n',
               "the block does not end in LF: " + hex(block));
    const std::size_t lines =
        static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n'));
    FUZZ_CHECK(lines >= 1 && lines <= e.folderLines + 1,
               std::to_string(lines) + " lines for " + std::to_string(e.folderLines) + " folders");
    std::string_view kept = block.substr(block.find('\n') + 1);
    while (!kept.empty()) {
        const std::size_t end = kept.find('\n');
        const std::string line(kept.substr(0, end));
        FUZZ_CHECK(e.locations.count(line) == 1, "kept a location no pair holds: " + hex(line));
        kept.remove_prefix(end + 1);
    }
    FUZZ_CHECK(block == e.block, "block:\ngot  " + hex(block) + "\nwant " + hex(e.block));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size == 0) return 0;
    const Setup setup = makeSetup(input, size);
    const Expected expected = expectedRun(setup);
    const fs::path folder = fuzzfiles::processFolder() / "run";
    createFolder(folder, setup);
    const std::string before = setup.kind[kOutput] == Kind::file ? setup.bytes[kOutput] : "";

    runIn(folder);
    const std::optional<std::string> after = checkFolder(folder, setup);
    if (!after) return 0;  // an output list that is a directory receives nothing
    FUZZ_CHECK(after->compare(0, before.size(), before) == 0 && after->size() > before.size(),
               "the old output is not an untouched prefix:\nbefore " + hex(before) + "\nafter  " +
                   hex(*after));
    const std::string_view block = std::string_view(*after).substr(before.size());
    checkBlock(block, expected);

    if (setup.runTwice) {
        runIn(folder);
        const std::optional<std::string> again = checkFolder(folder, setup);
        FUZZ_CHECK(again && *again == *after + std::string(block),
                   "a second run did not append the same block");
    }
    return 0;
}
