// Term matching, one pair at a time: the plain definition of what is kept.
// The run itself finds the same hits in bulk (hit_lines.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "filter/search_filter.h"

namespace filter {

// The counted terms, folded; empty terms are dropped since they match nothing.
std::vector<std::string> foldTerms(const ScratchList& terms);

// True when the needle occurs in the haystack; never for an empty one of either.
bool containsText(std::string_view haystack, std::string_view needle);

struct PairHits {
    bool folderHit = false;
    bool fileHit = false;
};

// Folds the folder and the file name and tests each against every term.
PairHits pairMatches(const std::vector<std::string>& foldedTerms, std::string_view folder,
                     std::string_view file);

}  // namespace filter
