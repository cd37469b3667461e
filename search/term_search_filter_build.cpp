// Building the filter engines: anchor bytes for the pair filter and nibble
// masks for Teddy. Both only propose candidate positions; every candidate is
// checked against the whole term.
#include <algorithm>
#include <bit>
#include <numeric>
#include <string_view>

#include "search/term_search_engines.h"

namespace search {
namespace {

// Anchors are taken from the first 16 bytes, so that the scan's zero-padded
// tail buffer stays small.
constexpr std::size_t kAnchorReach = 16;

// A rough weight of how often a byte turns up in folded folder and file
// names: lowercase letters, separators, digits, then UTF-8 of accented
// letters, then the rest. Anchors go on the rarest bytes of a term.
constexpr int byteWeight(unsigned char byte) {
    constexpr std::string_view kTiers[] = {"eao",     "srin ",   "tdmcul\\",
                                           "p.gvbfh", "_-q\xC3", "zjxkwy:"};
    constexpr int kTierWeights[] = {100, 70, 45, 20, 10, 5};
    for (std::size_t tier = 0; tier < std::size(kTiers); ++tier) {
        if (kTiers[tier].find(static_cast<char>(byte)) != std::string_view::npos) {
            return kTierWeights[tier];
        }
    }
    if (byte >= '0' && byte <= '9') return 15;
    if (byte >= 0x80 && byte <= 0xBF) return 3;
    return 1;
}

std::uint32_t rarestOffset(const std::string& term, std::size_t reach, std::size_t skip) {
    std::size_t best = skip == 0 && reach > 1 ? 1 : 0;
    for (std::size_t at = 0; at < reach; ++at) {
        if (at == skip) continue;
        if (byteWeight(static_cast<unsigned char>(term[at])) <
            byteWeight(static_cast<unsigned char>(term[best]))) {
            best = at;
        }
    }
    return static_cast<std::uint32_t>(best);
}

using NibbleSets = std::array<std::uint16_t, kTeddyMaxFingerprint>;

constexpr std::array<int, 256> makeByteWeights() {
    std::array<int, 256> weights{};
    for (std::size_t byte = 0; byte < 256; ++byte) {
        weights[byte] = byteWeight(static_cast<unsigned char>(byte));
    }
    return weights;
}

constexpr std::array<int, 256> kByteWeights = makeByteWeights();

constexpr int totalWeight() {
    int total = 0;
    for (const int weight : kByteWeights) total += weight;
    return total;
}

constexpr int kTotalWeight = totalWeight();

// The weights of the bytes with high nibble h (kHighNibbleWeights[h]) and
// with low nibble l (kLowNibbleWeights[l]).
constexpr std::array<int, 16> nibbleWeights(bool high) {
    std::array<int, 16> weights{};
    for (std::size_t byte = 0; byte < 256; ++byte)
        weights[high ? byte >> 4 : byte & 15] += kByteWeights[byte];
    return weights;
}

constexpr std::array<int, 16> kHighNibbleWeights = nibbleWeights(true);
constexpr std::array<int, 16> kLowNibbleWeights = nibbleWeights(false);

// The weight of the bytes whose nibbles are in `highs` and `lows`. Past a
// short term's end its bucket takes every nibble: those offsets are summed
// by whole rows or columns, not byte by byte (the bench's W3 terms, half of
// them four letters long: the run on one location 0.975 x).
int passedWeight(unsigned highs, unsigned lows) {
    int passed = 0;
    if (lows == 0xFFFFu) {
        for (; highs != 0; highs &= highs - 1)
            passed += kHighNibbleWeights[static_cast<std::size_t>(std::countr_zero(highs))];
        return passed;
    }
    if (highs == 0xFFFFu) {
        for (; lows != 0; lows &= lows - 1)
            passed += kLowNibbleWeights[static_cast<std::size_t>(std::countr_zero(lows))];
        return passed;
    }
    for (; highs != 0; highs &= highs - 1) {
        const auto high = static_cast<unsigned>(std::countr_zero(highs));
        for (unsigned rest = lows; rest != 0; rest &= rest - 1) {
            passed += kByteWeights[high << 4 | static_cast<unsigned>(std::countr_zero(rest))];
        }
    }
    return passed;
}

// Estimated share of folded text positions a Teddy bucket lets through,
// given the low and high nibbles it accepts at each offset.
double bucketLoad(const NibbleSets& lo, const NibbleSets& hi, std::uint32_t fingerprint) {
    double load = 1;
    for (std::uint32_t p = 0; p < fingerprint; ++p) {
        load *= static_cast<double>(passedWeight(hi[p], lo[p])) / kTotalWeight;
    }
    return load;
}

void addByte(NibbleSets& lo, NibbleSets& hi, std::uint32_t p, unsigned byte) {
    lo[p] = static_cast<std::uint16_t>(lo[p] | 1u << (byte & 15u));
    hi[p] = static_cast<std::uint16_t>(hi[p] | 1u << (byte >> 4));
}

// The bytes a term lets through at fingerprint offset p: its own, and in a
// caseless search its capital; calls `pass` with each, or returns false when
// the term is shorter and lets any byte through.
template <class Pass>
bool termBytesAt(const std::string& term, std::uint32_t p, CaseMode caseMode, Pass pass) {
    if (p >= term.size()) return false;
    const auto byte = static_cast<unsigned char>(term[p]);
    pass(byte);
    // A capital differs from its small letter in the high nibble only.
    if (caseMode == CaseMode::caseless && hasCapital(byte)) pass(byte ^ 0x20u);
    return true;
}

void addTerm(NibbleSets& lo, NibbleSets& hi, const std::string& term, std::uint32_t fingerprint,
             CaseMode caseMode) {
    for (std::uint32_t p = 0; p < fingerprint; ++p) {
        if (!termBytesAt(term, p, caseMode, [&](unsigned byte) { addByte(lo, hi, p, byte); })) {
            lo[p] = hi[p] = 0xFFFF;
        }
    }
}

// The seven- and six-bit tables of the buckets as they stand.
void fillByteTables(TermTeddy& teddy, const std::vector<std::string>& terms, CaseMode caseMode) {
    for (std::size_t bucket = 0; bucket < 8; ++bucket) {
        const auto bit = static_cast<std::uint8_t>(1u << bucket);
        for (const std::uint32_t index : teddy.buckets[bucket]) {
            for (std::uint32_t p = 0; p < teddy.narrowing; ++p) {
                std::array<std::uint8_t, 128>& table = teddy.lowSeven[p];
                const auto let = [&](unsigned byte) { table[byte & 127u] |= bit; };
                if (!termBytesAt(terms[index], p, caseMode, let)) {
                    for (std::uint8_t& entry : table) entry |= bit;
                }
            }
        }
    }
    for (std::uint32_t p = 0; p < teddy.narrowing; ++p) {
        for (std::size_t n = 0; n < 64; ++n) {
            teddy.lowSix[p][n] =
                static_cast<std::uint8_t>(teddy.lowSeven[p][n] | teddy.lowSeven[p][n + 64]);
        }
    }
}

}  // namespace

TermTeddy buildTermTeddy(const std::vector<std::string>& terms, CaseMode caseMode) {
    // A longer fingerprint lets fewer positions through but costs more
    // vector work per byte; on folder and file names five bytes paid off up
    // to a few dozen terms (four and seven were slower), eight beyond.
    // Shorter terms accept anything past their end.
    constexpr std::uint32_t kFewTermsFingerprint = 5;
    constexpr std::size_t kFewTerms = 24;
    // Per position a bucket lets through: a mispredicted branch, and a
    // compare per term in the bucket (cycles, roughly).
    constexpr double kPerPassedPosition = 15;
    constexpr double kPerTermChecked = 8;

    std::size_t longest = 1;
    for (const std::string& term : terms) longest = std::max(longest, term.size());
    const std::size_t wanted =
        terms.size() <= kFewTerms ? kFewTermsFingerprint : kTeddyMaxFingerprint;
    const auto fingerprint = static_cast<std::uint32_t>(std::min(longest, wanted));

    // Each term goes to the bucket whose estimated cost it raises least, so
    // terms with like fingerprints share a bucket and buckets stay narrow.
    TermTeddy teddy;
    teddy.fingerprint = fingerprint;
    // Past a term's end its bucket lets any byte through, so the offsets
    // narrow up to the length half the terms reach (W3's many four-letter
    // terms: none past the fingerprint; a 32-bit build took 1.02 x the time
    // narrowing them to eight).
    std::vector<std::size_t> lengths;
    for (const std::string& term : terms) lengths.push_back(term.size());
    std::size_t halfReach = 0;
    if (!lengths.empty()) {
        const auto half = lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2);
        std::nth_element(lengths.begin(), half, lengths.end());
        halfReach = std::min(*half, kTeddyMaxFingerprint);
    }
    teddy.narrowing = static_cast<std::uint32_t>(std::max<std::size_t>(halfReach, fingerprint));
    std::vector<std::uint32_t> order(terms.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return terms[a].compare(0, fingerprint, terms[b], 0, fingerprint) < 0;
    });
    std::array<NibbleSets, 8> lo{};
    std::array<NibbleSets, 8> hi{};
    std::array<double, 8> cost{};
    for (const std::uint32_t index : order) {
        std::size_t bestBucket = 0;
        double bestRise = 0;
        double bestCost = 0;
        for (std::size_t bucket = 0; bucket < 8; ++bucket) {
            NibbleSets newLo = lo[bucket];
            NibbleSets newHi = hi[bucket];
            addTerm(newLo, newHi, terms[index], fingerprint, caseMode);
            const double checks = static_cast<double>(teddy.buckets[bucket].size() + 1);
            const double newCost = bucketLoad(newLo, newHi, fingerprint) *
                                   (kPerPassedPosition + kPerTermChecked * checks);
            const double rise = newCost - cost[bucket];
            if (bucket == 0 || rise < bestRise) {
                bestBucket = bucket;
                bestRise = rise;
                bestCost = newCost;
            }
        }
        addTerm(lo[bestBucket], hi[bestBucket], terms[index], fingerprint, caseMode);
        cost[bestBucket] = bestCost;
        teddy.buckets[bestBucket].push_back(index);
    }
    for (std::size_t bucket = 0; bucket < 8; ++bucket) {
        const unsigned bit = 1u << bucket;
        for (std::uint32_t p = 0; p < fingerprint; ++p) {
            for (unsigned nibble = 0; nibble < 16; ++nibble) {
                std::uint8_t& low = teddy.lo[p][nibble];
                std::uint8_t& high = teddy.hi[p][nibble];
                const unsigned lows = lo[bucket][p];
                const unsigned highs = hi[bucket][p];
                if ((lows >> nibble & 1u) != 0) low = static_cast<std::uint8_t>(low | bit);
                if ((highs >> nibble & 1u) != 0) high = static_cast<std::uint8_t>(high | bit);
            }
        }
    }
    fillByteTables(teddy, terms, caseMode);
    return teddy;
}

std::vector<TermAnchors> buildTermAnchors(const std::vector<std::string>& terms) {
    std::vector<TermAnchors> anchors;
    for (std::size_t index = 0; index < terms.size(); ++index) {
        const std::string& term = terms[index];
        const std::size_t reach = std::min(term.size(), kAnchorReach);
        TermAnchors anchor;
        anchor.term = static_cast<std::uint32_t>(index);
        anchor.nearOffset = rarestOffset(term, reach, reach);
        anchor.farOffset = reach > 1 ? rarestOffset(term, reach, anchor.nearOffset) : 0;
        if (anchor.farOffset < anchor.nearOffset) std::swap(anchor.farOffset, anchor.nearOffset);
        anchor.nearByte = static_cast<std::uint8_t>(term[anchor.nearOffset]);
        anchor.farByte = static_cast<std::uint8_t>(term[anchor.farOffset]);
        anchors.push_back(anchor);
    }
    return anchors;
}

}  // namespace search
