#include "filter/match.h"

#include "filter/fold.h"
#include "filter/scratch_list.h"

namespace filter {
namespace {

bool containsAnyTerm(const std::vector<std::string>& foldedTerms, std::string_view text) {
    const std::string folded = foldText(text);
    for (const std::string& term : foldedTerms) {
        if (containsText(folded, term)) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> foldTerms(const ScratchList& terms) {
    std::vector<std::string> folded;
    FieldCursor cursor{terms.text};
    for (std::int32_t left = terms.count; left > 0; --left) {
        const std::string_view term = nextField(cursor);
        if (!term.empty()) folded.push_back(foldText(term));
    }
    return folded;
}

bool containsText(std::string_view haystack, std::string_view needle) {
    if (haystack.empty() || needle.empty()) return false;
    return haystack.find(needle) != std::string_view::npos;
}

PairHits pairMatches(const std::vector<std::string>& foldedTerms, std::string_view folder,
                     std::string_view file) {
    return {containsAnyTerm(foldedTerms, folder), containsAnyTerm(foldedTerms, file)};
}

}  // namespace filter
