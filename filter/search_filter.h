// The search filter: one run reads the tree name and three lists from fixed
// files in the working directory, keeps every folder/file pair whose folder or
// file name contains a search term (ignoring case, keeping accents) and
// appends the kept locations under a header line to the output list.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "textio/large_buffer.h"

namespace filter {

inline constexpr const char* kTreeNameFile = "searchTreeName.txt";
inline constexpr const char* kTermsFile = "searchTermsList.txt";
inline constexpr const char* kFoldersFile = "foldersScratch.txt";
inline constexpr const char* kFilesFile = "filesScratch.txt";
inline constexpr const char* kOutputFile = "searchOutputList.txt";

// The lines of one list file, each followed by one LF, as the bytes read.
// A line never holds LF, so the text holds exactly `count` LFs.
struct ScratchList {
    std::string text;
    std::int32_t count = 0;
};

// The kept locations, in the order their pairs were tested, each followed by
// one LF (a location never holds LF), in pieces: each is filled and then left
// as it is, the next one twice as large. Growing one buffer copied every byte
// at each doubling and cleared fresh pages for it again.
struct ResultPiece {
    textio::LargeBuffer bytes;
    std::size_t size = 0;  // bytes used
};

struct ResultList {
    std::vector<ResultPiece> pieces;
};

// The state of one run, owned by the entry from start to exit.
struct RunState {
    std::string treeName;
    ScratchList terms;
    // Only the counts: the run streams both lists past together in blocks
    // instead of holding their text. folders.count is the number of
    // locations. files.count, the file names read, plays no part: it is kept
    // for the record.
    ScratchList folders;
    ScratchList files;
    ResultList results;
    std::int32_t matchCount = 0;
};

struct FoldPair {
    char32_t upper;
    char32_t lower;
};

// Accented capitals that are folded whatever the lowercase mapping does.
using FoldTable = std::array<FoldPair, 13>;

inline constexpr FoldTable kFoldTable{{
    {0x00C0, 0x00E0},  // À à
    {0x00C1, 0x00E1},  // Á á
    {0x00C2, 0x00E2},  // Â â
    {0x00C3, 0x00E3},  // Ã ã
    {0x00C7, 0x00E7},  // Ç ç
    {0x00C9, 0x00E9},  // É é
    {0x00CA, 0x00EA},  // Ê ê
    {0x00CD, 0x00ED},  // Í í
    {0x00D3, 0x00F3},  // Ó ó
    {0x00D4, 0x00F4},  // Ô ô
    {0x00D5, 0x00F5},  // Õ õ
    {0x00DA, 0x00FA},  // Ú ú
    {0x00DC, 0x00FC},  // Ü ü
}};

}  // namespace filter
