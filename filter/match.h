// Term matching over folded texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "filter/search_filter.h"

namespace filter {

// The search terms, folded once; empty terms are dropped since they match nothing.
struct TermMatcher {
    std::vector<std::string> foldedTerms;
};

TermMatcher buildMatcher(const ScratchList& terms);

// True when the needle occurs in the haystack; never for an empty one of either.
bool containsText(std::string_view haystack, std::string_view needle);

bool containsAnyTerm(const TermMatcher& matcher, std::string_view foldedText);

struct PairHits {
    bool folderHit = false;
    bool fileHit = false;
};

// Working values of the pair loop: a folding buffer, and the last folder with
// its result, since consecutive locations often share their folder.
struct PairMatcher {
    const TermMatcher* terms = nullptr;
    std::string folded;
    std::string_view lastFolder;
    bool lastFolderHit = false;
    bool hasLastFolder = false;
};

PairHits pairMatches(PairMatcher& matcher, std::string_view folder, std::string_view file);

}  // namespace filter
