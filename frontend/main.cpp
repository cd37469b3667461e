// search_tree.exe: searches a folder tree with searchfilter.exe, as a file-search front
// end would, and prints the kept paths.
//
//   search_tree.exe [--filter PATH\searchfilter.exe] ROOT TERM [TERM ...]
//
// Lists every location of the tree (see tree_walk.h), runs the filter once on those lists
// in a folder of its own, and prints the kept locations as paths of the tree, one per line
// on stdout (an empty folder's ending with "\"), then a one-line summary on stderr. The
// filter is the searchfilter.exe beside this program unless --filter names another. Exit
// code 0 when the run gave its block (kept or not), 1 when it did not, 2 for a bad call.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "frontend/console.h"
#include "frontend/kept_locations.h"
#include "frontend/list_files.h"
#include "frontend/run_filter.h"
#include "frontend/scratch_folder.h"
#include "frontend/tree_walk.h"
#include "frontend/utf8.h"

namespace {

constexpr int kFound = 0;
constexpr int kRunFailed = 1;
constexpr int kBadCall = 2;

struct Call {
    std::wstring filterExe;
    std::wstring root;
    std::vector<std::wstring> terms;
};

int fail(int code, const std::wstring& problem) {
    writeErr("search_tree: " + toUtf8(problem).value_or("(unprintable message)") + "\n");
    return code;
}

std::wstring besideThisProgram(const wchar_t* name) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<Call> parseCall(int argc, wchar_t** argv) {
    Call call;
    int next = 1;
    if (next + 1 < argc && std::wstring_view(argv[next]) == L"--filter") {
        call.filterExe = argv[next + 1];
        next += 2;
    } else {
        call.filterExe = besideThisProgram(L"searchfilter.exe");
    }
    if (argc - next < 2) return std::nullopt;
    call.root = argv[next++];
    call.terms.assign(argv + next, argv + argc);
    return call;
}

std::wstring pathOf(const std::wstring& root, const TreeListing& listing, std::size_t index) {
    std::wstring path = root;
    if (!path.ends_with(L'\\') && !path.ends_with(L'/')) path += L'\\';
    const std::wstring folder = fromUtf8(listing.folders[index]);
    if (!folder.empty()) path += folder + L'\\';
    return path + fromUtf8(listing.names[index]);
}

std::string summary(const TreeListing& listing, std::size_t kept, double milliseconds) {
    char timing[64];
    std::snprintf(timing, sizeof timing, "filter run %.1f ms", milliseconds);
    std::string text = "search_tree: listed " + std::to_string(listing.folders.size()) +
                       " locations, kept " + std::to_string(kept) + ", " + timing;
    if (listing.unlistableNames > 0) {
        text += ", " + std::to_string(listing.unlistableNames) +
                " names not listed (not valid UTF-16, or holding a line end)";
    }
    if (listing.unreadableFolders > 0) {
        text += ", " + std::to_string(listing.unreadableFolders) + " folders could not be read";
    }
    return text + "\n";
}

int search(const Call& call) {
    std::vector<std::string> terms;
    for (const std::wstring& term : call.terms) {
        std::optional<std::string> bytes = toUtf8(term);
        if (!bytes) return fail(kBadCall, L"a term is not valid UTF-16: " + term);
        if (bytes->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            return fail(kBadCall, L"a term cannot hold a line end");
        }
        terms.push_back(std::move(*bytes));
    }
    if (!isFolder(call.root)) return fail(kBadCall, L"not a folder: " + call.root);
    if (GetFileAttributesW(call.filterExe.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return fail(kBadCall, L"no filter program at " + call.filterExe);
    }
    const std::string treeName = toUtf8(call.root).value_or("search_tree");

    const TreeListing listing = listTree(call.root);
    const ScratchFolder folder;
    if (!folder.created()) return fail(kRunFailed, L"cannot make a temporary folder");
    if (!writeLists(folder.path(), treeName, terms, listing.folders, listing.names)) {
        return fail(kRunFailed, L"cannot write the lists in " + folder.path());
    }
    const auto started = std::chrono::steady_clock::now();
    const FilterRun run = runFilter(call.filterExe, folder.path());
    const std::chrono::duration<double, std::milli> took =
        std::chrono::steady_clock::now() - started;
    if (!run.ran) return fail(kRunFailed, run.problem);
    const KeptLocations kept = keptLocations(run.blockBytes, treeName, listing);
    if (!kept.ok) return fail(kRunFailed, kept.problem);

    std::string paths;
    for (const std::size_t index : kept.indexes) {
        paths += toUtf8(pathOf(call.root, listing, index)).value_or("") + "\n";
    }
    writeOut(paths);
    writeErr(summary(listing, kept.indexes.size(), took.count()));
    return kFound;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::optional<Call> call = parseCall(argc, argv);
    if (!call) {
        return fail(kBadCall, L"usage: search_tree.exe [--filter PATH] ROOT TERM [TERM ...]");
    }
    return search(*call);
}
