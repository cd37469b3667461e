// Lists a folder tree as searchfilter locations, in UTF-8.
#pragma once

#include <string>
#include <vector>

// Location i is the pair folders[i], names[i]. The folder text is the folder's path below
// the root, its names joined by "\" (empty for the root itself, so the root's own path is
// never searched); the name is empty for an empty folder, which is a location of its own so
// that a search still finds it.
struct TreeListing {
    std::vector<std::string> folders;
    std::vector<std::string> names;
    int unlistableNames = 0;  // not valid UTF-16, or holding a line end: no list line holds them
    int unreadableFolders = 0;
};

// Walks root depth-first: a folder's files, then each of its folders in turn, each in name
// order. Links and junctions are listed like files, never followed.
TreeListing listTree(const std::wstring& root);
