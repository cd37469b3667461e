#include "frontend/tree_walk.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>

#include "frontend/utf8.h"

namespace {

struct Entry {
    std::wstring name;
    bool isFolder;

    bool operator<(const Entry& other) const { return name < other.name; }
};

struct PendingFolder {
    std::wstring path;  // where to read it, in long-path form
    std::string text;   // its folder text
};

// The full path with the \\?\ prefix, so that paths beyond MAX_PATH can be walked too.
std::wstring longPathForm(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    while (!full.empty() && full.back() == L'\\') full.pop_back();
    if (full.starts_with(L"\\\\?\\")) return full;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The entries of one folder in name order, or nothing when it cannot be read.
std::optional<std::vector<Entry>> readFolder(const std::wstring& path) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return entries;
        return std::nullopt;
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const DWORD attributes = found.dwFileAttributes;
        const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                              (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        entries.push_back({std::wstring(name), isFolder});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::optional<std::string> listableName(std::wstring_view name) {
    if (name.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos) {
        return std::nullopt;
    }
    return toUtf8(name);
}

}  // namespace

TreeListing listTree(const std::wstring& root) {
    TreeListing listing;
    std::vector<PendingFolder> pending{{longPathForm(root), ""}};
    while (!pending.empty()) {
        const PendingFolder folder = std::move(pending.back());
        pending.pop_back();
        const std::optional<std::vector<Entry>> entries = readFolder(folder.path);
        if (!entries) {
            ++listing.unreadableFolders;
            continue;
        }
        if (entries->empty() && !folder.text.empty()) {
            listing.folders.push_back(folder.text);
            listing.names.emplace_back();
        }
        std::vector<PendingFolder> subfolders;
        for (const Entry& entry : *entries) {
            std::optional<std::string> name = listableName(entry.name);
            if (!name) {
                ++listing.unlistableNames;
            } else if (entry.isFolder) {
                std::string text = folder.text.empty() ? *name : folder.text + "\\" + *name;
                subfolders.push_back({folder.path + L"\\" + entry.name, std::move(text)});
            } else {
                listing.folders.push_back(folder.text);
                listing.names.push_back(std::move(*name));
            }
        }
        pending.insert(pending.end(), std::make_move_iterator(subfolders.rbegin()),
                       std::make_move_iterator(subfolders.rend()));
    }
    return listing;
}
