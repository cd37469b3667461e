// Building the term automaton: a trie in breadth-first order with failure
// links, then full rows for the shallowest states that fit the budget.
#include <algorithm>
#include <string_view>

#include "search/term_search_engines.h"

namespace search {
namespace {

// The terms below one trie node: a range of the sorted terms, which share
// the node's first `depth` bytes.
struct NodeRange {
    std::uint32_t lo = 0;
    std::uint32_t hi = 0;
    std::uint32_t depth = 0;
    std::uint32_t parent = 0;
};

constexpr std::uint32_t kNoNode = UINT32_MAX;

std::uint32_t findChild(const std::vector<TermTrieNode>& nodes, std::uint32_t node,
                        std::uint8_t byte) {
    std::uint32_t lo = nodes[node].firstChild;
    std::uint32_t hi = lo + nodes[node].childCount;
    const std::uint32_t end = hi;
    while (lo < hi) {
        const std::uint32_t mid = lo + (hi - lo) / 2;
        if (nodes[mid].byte < byte) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo < end && nodes[lo].byte == byte ? lo : kNoNode;
}

std::vector<std::string_view> sortedDistinct(const std::vector<std::string>& terms) {
    std::vector<std::string_view> sorted;
    sorted.reserve(terms.size());
    for (const std::string& term : terms) {
        if (!term.empty()) sorted.emplace_back(term);
    }
    // string_view compares bytes as unsigned, so children come out sorted by byte.
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return sorted;
}

std::uint8_t byteAt(std::string_view text, std::uint32_t index) {
    return static_cast<std::uint8_t>(text[index]);
}

// Builds the trie breadth first. A node where some term ends, directly or
// through its failure chain, is a match: the scan stops there, so its
// subtree is never built. Returns, per node, whether it is a match.
std::vector<bool> buildTrie(const std::vector<std::string_view>& sorted, TermDfa& dfa,
                            std::vector<std::string>& kept) {
    std::vector<TermTrieNode>& nodes = dfa.nodes;
    std::vector<NodeRange> ranges;
    std::vector<bool> isMatch;
    nodes.assign(1, TermTrieNode{});
    ranges.push_back(NodeRange{0, static_cast<std::uint32_t>(sorted.size()), 0, 0});
    dfa.warmUp = 0;
    for (std::uint32_t node = 0; node < nodes.size(); ++node) {
        const NodeRange range = ranges[node];
        const bool terminal = node != 0 && sorted[range.lo].size() == range.depth;
        std::uint32_t fail = 0;
        if (node != 0 && range.parent != 0) {
            fail = trieStep(nodes, nodes[range.parent].fail, nodes[node].byte);
        }
        nodes[node].fail = fail;
        const bool failMatches = node != 0 && isMatch[fail];
        isMatch.push_back(terminal || failMatches);
        if (isMatch.back()) {
            // A term whose proper suffix matches contains another term.
            if (terminal && !failMatches) kept.emplace_back(sorted[range.lo]);
            continue;
        }
        dfa.warmUp = std::max(dfa.warmUp, range.depth);
        nodes[node].firstChild = static_cast<std::uint32_t>(nodes.size());
        std::uint32_t at = range.lo;
        while (at < range.hi) {
            const std::uint8_t byte = byteAt(sorted[at], range.depth);
            std::uint32_t end = at + 1;
            while (end < range.hi && byteAt(sorted[end], range.depth) == byte) ++end;
            TermTrieNode child;
            child.byte = byte;
            nodes.push_back(child);
            ranges.push_back(NodeRange{at, end, range.depth + 1, node});
            at = end;
        }
        nodes[node].childCount = static_cast<std::uint32_t>(nodes.size()) - nodes[node].firstChild;
    }
    return isMatch;
}

// Every byte on some trie edge gets a class of its own; all other bytes
// share class 0 (when there are any).
void assignClasses(TermDfa& dfa) {
    std::array<bool, 256> used{};
    for (std::size_t node = 1; node < dfa.nodes.size(); ++node) used[dfa.nodes[node].byte] = true;
    const bool allUsed = std::all_of(used.begin(), used.end(), [](bool u) { return u; });
    std::uint32_t next = allUsed ? 0 : 1;
    for (std::size_t byte = 0; byte < 256; ++byte) {
        dfa.byteClass[byte] = used[byte] ? static_cast<std::uint8_t>(next++) : 0;
    }
    dfa.classCount = next;
}

// Gives rows to the first non-match states in breadth-first order, as many
// as the budget holds. A state's failure target comes earlier in that order,
// so its row is complete when a deeper row copies it.
void buildRows(const std::vector<bool>& isMatch, std::size_t budgetBytes, TermDfa& dfa) {
    const std::uint32_t classes = dfa.classCount;
    const std::size_t rowBytes = std::size_t{classes} * sizeof(std::uint32_t);
    const std::size_t budgetRows = std::max<std::size_t>(budgetBytes / rowBytes, 3) - 2;
    const auto nonMatch =
        static_cast<std::size_t>(std::count(isMatch.begin(), isMatch.end(), false));
    const auto rows = static_cast<std::uint32_t>(std::min(nonMatch, budgetRows));
    dfa.rootId = 0;
    dfa.matchId = rows * classes;
    dfa.deepId = (rows + 1) * classes;
    dfa.rowNode.clear();
    for (std::uint32_t node = 0; node < dfa.nodes.size(); ++node) {
        if (isMatch[node]) {
            dfa.nodes[node].stateId = dfa.matchId;
        } else if (dfa.rowNode.size() < rows) {
            dfa.nodes[node].stateId = static_cast<std::uint32_t>(dfa.rowNode.size()) * classes;
            dfa.rowNode.push_back(node);
        } else {
            dfa.nodes[node].stateId = dfa.deepId;
        }
    }
    const std::size_t entries = std::size_t{rows + 2} * classes;
    auto table =
        std::make_shared<textio::LargeArray<std::uint32_t>>(textio::LargeArray<std::uint32_t>{
            textio::allocateLargeBuffer(entries * sizeof(std::uint32_t))});
    std::uint32_t* const next = table->data();
    std::fill_n(next, entries, 0);
    for (std::uint32_t row = 0; row < rows; ++row) {
        const TermTrieNode& node = dfa.nodes[dfa.rowNode[row]];
        std::uint32_t* out = next + std::size_t{row} * classes;
        if (row != 0) {
            const std::uint32_t* failRow = next + dfa.nodes[node.fail].stateId;
            std::copy(failRow, failRow + classes, out);
        }
        for (std::uint32_t child = node.firstChild; child < node.firstChild + node.childCount;
             ++child) {
            out[dfa.byteClass[dfa.nodes[child].byte]] = dfa.nodes[child].stateId;
        }
    }
    std::fill_n(next + dfa.matchId, classes, dfa.matchId);
    std::fill_n(next + dfa.deepId, classes, dfa.deepId);
    dfa.next = std::move(table);
}

}  // namespace

std::uint32_t trieStep(const std::vector<TermTrieNode>& nodes, std::uint32_t node,
                       std::uint8_t byte) {
    for (;;) {
        const std::uint32_t child = findChild(nodes, node, byte);
        if (child != kNoNode) return child;
        if (node == 0) return 0;
        node = nodes[node].fail;
    }
}

void buildTermDfa(const std::vector<std::string>& terms, std::size_t budgetBytes, TermDfa& dfa,
                  std::vector<std::string>& kept) {
    dfa = TermDfa{};
    kept.clear();
    const std::vector<std::string_view> sorted = sortedDistinct(terms);
    const std::vector<bool> isMatch = buildTrie(sorted, dfa, kept);
    assignClasses(dfa);
    buildRows(isMatch, budgetBytes, dfa);
    dfa.span = termDfaSpan(dfa.warmUp);
}

}  // namespace search
