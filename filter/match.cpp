#include "filter/match.h"

#include "filter/fold.h"

namespace filter {
namespace {

bool textHit(PairMatcher& matcher, std::string_view text) {
    if (text.empty()) return false;
    matcher.folded.clear();
    appendFolded(text, matcher.folded);
    return containsAnyTerm(*matcher.terms, matcher.folded);
}

}  // namespace

TermMatcher buildMatcher(const ScratchList& terms) {
    TermMatcher matcher;
    FieldCursor cursor{terms.text};
    for (std::int32_t left = terms.count; left > 0; --left) {
        const std::string_view term = nextField(cursor);
        if (!term.empty()) matcher.foldedTerms.push_back(foldText(term));
    }
    return matcher;
}

bool containsText(std::string_view haystack, std::string_view needle) {
    if (haystack.empty() || needle.empty()) return false;
    return haystack.find(needle) != std::string_view::npos;
}

bool containsAnyTerm(const TermMatcher& matcher, std::string_view foldedText) {
    for (const std::string& term : matcher.foldedTerms) {
        if (containsText(foldedText, term)) return true;
    }
    return false;
}

PairHits pairMatches(PairMatcher& matcher, std::string_view folder, std::string_view file) {
    PairHits hits;
    if (matcher.hasLastFolder && folder == matcher.lastFolder) {
        hits.folderHit = matcher.lastFolderHit;
    } else {
        hits.folderHit = textHit(matcher, folder);
        matcher.lastFolder = folder;
        matcher.lastFolderHit = hits.folderHit;
        matcher.hasLastFolder = true;
    }
    hits.fileHit = textHit(matcher, file);
    return hits;
}

}  // namespace filter
