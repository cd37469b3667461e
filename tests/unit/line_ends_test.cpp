#include "textio/line_ends.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "isa_variants.h"
#include "tests/support/seeded_random.h"
#include "textio/line_kernels.h"

namespace textio {
namespace {

using test_support::SeededRandom;

constexpr std::size_t kGroup = kLineIndexGroup;

// Random bytes that favour line ends and the bytes next to CR and NUL in
// value (and their high-bit twins), which a careless vector test mistakes
// for them.
std::string randomText(SeededRandom& random, std::size_t size, int lineEndPercent) {
    static constexpr unsigned char kOrdinary[] = {'a',  'Z',  0x0C, 0x0E, 0x01, 0x8D,
                                                  0x80, 0xC3, 0xFF, 0x2D, 0x8A, 0x0B};
    static constexpr char kLineEnds[] = {'\n', '\n', '\n', '\r', '\0'};
    std::string text(size, 'x');
    for (char& byte : text) {
        if (static_cast<int>(random.below(100)) < lineEndPercent) {
            byte = kLineEnds[random.below(sizeof kLineEnds)];
        } else {
            byte = static_cast<char>(kOrdinary[random.below(sizeof kOrdinary)]);
        }
    }
    return text;
}

// The plain rewrite: CR LF, a lone CR and NUL each become one LF.
std::string plainRewrite(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char byte = text[i];
        if (byte == '\r' || byte == '\0') {
            if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            byte = '\n';
        }
        out.push_back(byte);
    }
    return out;
}

// Lines of every length ending in CR LF (as written on Windows), now and then
// another line end among them.
std::string windowsLines(SeededRandom& random, std::size_t size) {
    std::string text;
    while (text.size() < size) {
        text += std::string(random.below(40), 'w');
        const std::string ends[] = {
            "\r\n", "\r\n", "\r\n", "\r\n", "\r\n", "\r\n", "\n", "\r", std::string(1, '\0')};
        text += ends[random.below(std::size(ends))];
    }
    return text;
}

// Each variant counts the LFs group by group after those it is told come
// first, and stops after the group that reaches the count asked for,
// whatever the density of LFs; it tells whether the groups it did hold a
// watched byte, whichever ranges are watched and wherever such a byte is,
// and, when asked, whether they hold a CR or a NUL (most texts here hold
// none, or one somewhere).
TEST(LineKernels, EveryVariantIndexesWholeGroups) {
    const WatchedBytes watchings[] = {
        {}, {true, {0xC4, 0xE2}, 0}, {true, {0xC4, 0xE1}, 1}, {true, {0x00, 0xFE}, 0}};
    SeededRandom random(7);
    for (int round = 0; round < 300; ++round) {
        const std::size_t groups = random.below(80);
        std::string text = randomText(random, groups * kGroup + random.below(kGroup),
                                      static_cast<int>(random.below(101)));
        // A few bytes of every value, mostly none.
        for (std::size_t left = random.below(4) == 0 ? random.below(3) + 1 : 0;
             left > 0 && !text.empty(); --left) {
            text[random.below(text.size())] = static_cast<char>(0x80 + random.below(0x80));
        }
        if (random.below(3) != 0) {
            std::replace(text.begin(), text.end(), '\r', 'x');
            std::replace(text.begin(), text.end(), '\0', 'x');
            if (random.below(2) == 0 && !text.empty()) {
                text[random.below(text.size())] = random.below(2) == 0 ? '\r' : '\0';
            }
        }
        const bool lookForCrOrNul = round % 2 == 0;
        // Every watching with and without looking for CR and NUL.
        const WatchedBytes& watched =
            watchings[static_cast<std::size_t>(round / 2) % std::size(watchings)];
        // Now and then a watched byte itself, beside a CR or a NUL or not.
        if (watched.active && random.below(3) == 0 && !text.empty()) {
            const std::uint8_t first = watched.first[random.below(2)];
            text[random.below(text.size())] =
                static_cast<char>(first + random.below(watched.span + 1u));
        }
        const std::size_t before = random.below(1000);
        std::vector<std::uint32_t> want(1, static_cast<std::uint32_t>(before));
        for (std::size_t group = 0; group < groups; ++group) {
            const auto start = text.begin() + static_cast<std::ptrdiff_t>(group * kGroup);
            want.push_back(want.back() +
                           static_cast<std::uint32_t>(std::count(start, start + kGroup, '\n')));
        }
        // Stop at the end, or where some group reaches a count, or at once.
        const std::size_t stopAt = round % 3 == 0   ? SIZE_MAX
                                   : round % 3 == 1 ? want[random.below(want.size())]
                                                    : before;
        std::size_t wantGroups = groups;
        for (std::size_t group = 0; group < groups; ++group) {
            if (want[group + 1] >= stopAt) {
                wantGroups = group + 1;
                break;
            }
        }
        want.resize(wantGroups + 1);
        bool wantSeen = false;
        for (std::size_t at = 0; at < wantGroups * kGroup; ++at) {
            const auto byte = static_cast<unsigned char>(text[at]);
            for (const std::uint8_t first : watched.first) {
                wantSeen =
                    wantSeen || (watched.active && byte >= first && byte <= first + watched.span);
            }
        }
        const std::string_view doneText(text.data(), wantGroups * kGroup);
        const bool wantCrOrNul = lookForCrOrNul && holdsCrOrNul(doneText);
        for (const simd::Isa isa : testing_isa::distinctVariants(lineKernels)) {
            std::vector<std::uint32_t> got(groups + 1, 0xFFFFFFFF);
            got[0] = static_cast<std::uint32_t>(before);
            IndexFindings found;
            const std::size_t done = lineKernels(isa).indexLineFeeds(
                text.data(), groups, stopAt, got.data(), watched, lookForCrOrNul, found);
            const auto label = ::testing::Message() << simd::isaName(isa) << " round " << round;
            EXPECT_EQ(done, wantGroups) << label;
            EXPECT_EQ(found.watchedSeen, wantSeen) << label;
            EXPECT_EQ(found.crOrNul, wantCrOrNul) << label;
            got.resize(wantGroups + 1);
            EXPECT_EQ(got, want) << label;
        }
    }
}

// Every variant counts the LFs, finds the first CR or NUL and rewrites line
// ends as plain loops do, at every alignment and in texts of every mix.
TEST(LineKernels, EveryVariantCountsFindsAndRewritesAsPlainLoopsDo) {
    SeededRandom random(13);
    for (int round = 0; round < 400; ++round) {
        const std::size_t wanted = random.below(2000);
        const std::string text =
            round % 2 == 0 ? windowsLines(random, wanted)
                           : randomText(random, wanted, static_cast<int>(random.below(40)));
        const std::size_t size = text.size();
        const std::string rewritten = plainRewrite(text);
        const auto lineFeeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        const std::size_t firstOther = std::min(text.find_first_of(std::string("\r\0", 2)), size);
        const std::size_t shift = random.below(64);
        for (const simd::Isa isa : testing_isa::distinctVariants(lineKernels)) {
            const LineKernels& kernels = lineKernels(isa);
            std::string buffer = std::string(shift, 'q') + text;
            char* const begin = buffer.data() + shift;
            const auto label = ::testing::Message() << simd::isaName(isa) << " round " << round;
            EXPECT_EQ(kernels.countLineFeeds(begin, size), lineFeeds) << label;
            EXPECT_EQ(kernels.findCrOrNul(begin, size), firstOther) << label;
            char* const end = kernels.rewriteLineEnds(begin, begin + size);
            ASSERT_EQ(std::string(begin, end), rewritten) << label;
        }
    }
}

// The whole normalisation against a plain rewrite: CR LF, a lone CR and NUL
// each become one LF, and the LFs of the result are counted.
class NormalizeLineEnds : public testing_isa::OnEveryIsa {};

TEST_P(NormalizeLineEnds, AgreesWithAPlainRewrite) {
    SeededRandom random(11);
    for (int round = 0; round < 600; ++round) {
        const std::size_t size = random.below(3000);
        std::string text = randomText(random, size, static_cast<int>(random.below(60)));
        if (round % 3 == 0) {
            // Mostly clean, with a line end of the other kinds far in.
            for (char& byte : text) byte = byte == '\r' || byte == '\0' ? '\n' : byte;
            if (size > 0) text[random.below(size)] = round % 2 == 0 ? '\r' : '\0';
        } else if (round % 3 == 1) {
            text = windowsLines(random, size);
        }
        const std::string expected = plainRewrite(text);
        std::string counted = text;
        const std::size_t newSize = normalizeLineEnds(text.data(), text.size());
        const NormalizedLines normalized = normalizeCountingLines(counted.data(), counted.size());

        ASSERT_EQ(text.substr(0, newSize), expected) << "round " << round;
        ASSERT_EQ(counted.substr(0, normalized.size), expected) << "round " << round;
        EXPECT_EQ(normalized.lineFeeds,
                  static_cast<std::size_t>(std::count(expected.begin(), expected.end(), '\n')))
            << "round " << round;
    }
}

INSTANTIATE_ON_EVERY_ISA(NormalizeLineEnds);

}  // namespace
}  // namespace textio
