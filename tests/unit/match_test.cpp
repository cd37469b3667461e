#include "filter/match.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "filter/scratch_list.h"
#include "filter/search_filter.h"

namespace filter {
namespace {

TEST(ContainsText, ExactRunsOnly) {
    struct Case {
        const char* name;
        std::string_view haystack;
        std::string_view needle;
        bool found;
    };
    const Case cases[] = {
        {"both empty", "", "", false},
        {"empty haystack", "", "a", false},
        {"empty needle", "abc", "", false},
        {"needle longer", "ab", "abc", false},
        {"needle one longer", "abc", "abcd", false},
        {"exact", "abc", "abc", true},
        {"at the start", "abc.pdf", "abc", true},
        {"at the end", "abc.pdf", ".pdf", true},
        {"in the middle", "abc.pdf", "c.p", true},
        {"not contiguous", "abc.pdf", "ac", false},
        {"after a false start", "aab", "ab", true},
        {"exact bytes, no folding", "ABC", "abc", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(containsText(c.haystack, c.needle), c.found) << c.name;
    }
}

std::vector<std::string> termsFor(std::initializer_list<std::string_view> terms) {
    ScratchList list;
    for (const std::string_view term : terms) appendLine(list, term);
    return foldTerms(list);
}

TEST(PairMatches, FoldsAndTestsFolderAndFileApart) {
    struct Case {
        const char* name;
        std::vector<std::string_view> terms;
        std::string_view folder;
        std::string_view file;
        bool folderHit;
        bool fileHit;
    };
    const Case cases[] = {
        {"typical run", {"RELAT\xC3\x93RIO"}, "C:\\Docs", "Relat\xC3\xB3rio.pdf", false, true},
        {"upper term", {"PDF"}, "C:\\Docs", "a.Pdf", false, true},
        {"upper file", {"pdf"}, "C:\\Docs", "A.PDF", false, true},
        {"folder only", {"docs"}, "C:\\DOCS", "a.pdf", true, false},
        {"both", {"a"}, "C:\\a", "a", true, true},
        {"table letters", {"A\xC3\x87\xC3\x83O"}, "C:\\x", "a\xC3\xA7\xC3\xA3o.txt", false, true},
        {"accents stay", {"acao"}, "C:\\x", "a\xC3\xA7\xC3\xA3o.txt", false, false},
        {"lowercase step", {"\xC3\xB6"}, "C:\\x", "\xC3\x96l.txt", false, true},
        {"second term", {"zzz", "notas"}, "C:\\x", "Notas.txt", false, true},
        {"trailing space", {"doc "}, "C:\\x", "doc.txt", false, false},
        {"trailing space found", {"doc "}, "C:\\x", "my doc .txt", false, true},
        {"across the backslash", {"docs\\rel"}, "C:\\docs", "relat\xC3\xB3rio.pdf", false, false},
        {"backslash in the folder", {"docs\\rel"}, "C:\\docs\\relat\xC3\xB3rios", "x", true, false},
        {"empty file name", {"x"}, "C:\\x", "", true, false},
        {"empty term", {""}, "C:\\x", "x", false, false},
        {"empty term among others", {"", "q"}, "C:\\x", "x", false, false},
        {"no terms", {}, "C:\\x", "x", false, false},
        {"lone C3 vs \xC3\xA9", {"\xC3"}, "C:\\x", "\xC3\xA9.txt", false, false},
        {"lone C3 vs lone C3", {"\xC3"}, "C:\\x", "\xC3.txt", false, true},
        {"lone C3 vs upper \xC3\x89", {"\xC3"}, "C:\\x", "\xC3\x89.txt", false, false},
        {"lone 80 vs U+1F480", {"\x80"}, "\xF0\x9F\x92\x80", "\xF0\x9F\x92\x80.txt", false, false},
        {"lone 80 vs lone 80", {"\x80"}, "C:\\x", "a\x80.txt", false, true},
        {"U+1F480 vs itself", {"\xF0\x9F\x92\x80"}, "C:\\x", "\xF0\x9F\x92\x80", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchList list;
        for (const std::string_view term : c.terms) appendLine(list, term);
        const PairHits hits = pairMatches(foldTerms(list), c.folder, c.file);
        EXPECT_EQ(hits.folderHit, c.folderHit);
        EXPECT_EQ(hits.fileHit, c.fileHit);
    }
}

TEST(PairMatches, EmptyTermsAreDropped) {
    EXPECT_TRUE(termsFor({"", ""}).empty());
    EXPECT_EQ(termsFor({"", "A", ""}), std::vector<std::string>{"a"});
}

TEST(PairMatches, OnlyTheCountedTermsAreUsed) {
    ScratchList list;
    appendLine(list, "first");
    list.text += "second\n";  // beyond the count
    EXPECT_EQ(foldTerms(list), std::vector<std::string>{"first"});
}

}  // namespace
}  // namespace filter
