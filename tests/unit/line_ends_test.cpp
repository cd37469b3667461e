#include "textio/line_ends.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "isa_variants.h"
#include "textio/line_kernels.h"

namespace textio {
namespace {

constexpr std::size_t kGroup = kLineFeedGroup;

std::vector<std::size_t> notedOffsets(LineFeedOffsets& noted) {
    return {noteData(noted), noteData(noted) + noted.count};
}

// Random bytes that favour line ends and the bytes next to CR and NUL in
// value (and their high-bit twins), which a careless vector test mistakes
// for them.
std::string randomText(std::mt19937& random, std::size_t size, int lineEndPercent) {
    static constexpr unsigned char kOrdinary[] = {'a',  'Z',  0x0C, 0x0E, 0x01, 0x8D,
                                                  0x80, 0xC3, 0xFF, 0x2D, 0x8A, 0x0B};
    static constexpr char kLineEnds[] = {'\n', '\n', '\n', '\r', '\0'};
    std::string text(size, 'x');
    for (char& byte : text) {
        if (static_cast<int>(random() % 100) < lineEndPercent) {
            byte = kLineEnds[random() % sizeof kLineEnds];
        } else {
            byte = static_cast<char>(kOrdinary[random() % sizeof kOrdinary]);
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
std::string windowsLines(std::mt19937& random, std::size_t size) {
    std::string text;
    while (text.size() < size) {
        text += std::string(random() % 40, 'w');
        const std::string ends[] = {
            "\r\n", "\r\n", "\r\n", "\r\n", "\r\n", "\r\n", "\n", "\r", std::string(1, '\0')};
        text += ends[random() % std::size(ends)];
    }
    return text;
}

// Each variant stops before the first group holding a CR or NUL (or that the
// text does not fill), leaves the text alone, and notes exactly the LFs
// before that, after the offsets noted already, whatever their density.
TEST(LineKernels, EveryVariantNotesTheLineFeedsOfWholeCleanGroups) {
    std::mt19937 random(7);
    struct Case {
        std::size_t size;
        int lineEndPercent;
        bool clean;  // no CR or NUL at all
    };
    const Case cases[] = {{0, 0, true},          {63, 50, true},    {64, 2, true},
                          {200, 2, false},       {1000, 30, false}, {5000, 3, true},
                          {9000, 100, true},     {20000, 40, true}, {777, 0, true},
                          {4096 + 64, 10, false}};
    for (const simd::Isa isa : testing_isa::distinctVariants(lineKernels)) {
        for (const Case& c : cases) {
            for (int round = 0; round < 20; ++round) {
                std::string text = randomText(random, c.size, c.lineEndPercent);
                if (c.clean) {
                    for (char& byte : text) byte = byte == '\r' || byte == '\0' ? '\n' : byte;
                }
                const std::string before = text;
                const std::size_t base = random() % 100000;
                LineFeedOffsets noted;
                reserveLineFeeds(noted, 3);
                for (std::size_t i = 0; i < 3; ++i) noteData(noted)[noted.count++] = i;

                const std::size_t stop =
                    lineKernels(isa).noteLineFeedGroups(text.data(), text.size(), base, noted);

                std::size_t expectedStop = 0;
                std::vector<std::size_t> expected = {0, 1, 2};
                const std::size_t firstOther = text.find_first_of(std::string("\r\0", 2));
                while (text.size() - expectedStop >= kGroup &&
                       firstOther >= expectedStop + kGroup) {
                    expectedStop += kGroup;
                }
                for (std::size_t i = 0; i < expectedStop; ++i) {
                    if (text[i] == '\n') expected.push_back(base + i);
                }
                const auto label = ::testing::Message() << simd::isaName(isa) << " size " << c.size
                                                        << " round " << round;
                EXPECT_EQ(stop, expectedStop) << label;
                EXPECT_EQ(notedOffsets(noted), expected) << label;
                EXPECT_EQ(text, before) << label;
            }
        }
    }
}

// Every variant counts the LFs, finds the first CR or NUL and rewrites line
// ends as plain loops do, at every alignment and in texts of every mix.
TEST(LineKernels, EveryVariantCountsFindsAndRewritesAsPlainLoopsDo) {
    std::mt19937 random(13);
    for (int round = 0; round < 400; ++round) {
        const std::size_t wanted = random() % 2000;
        const std::string text = round % 2 == 0
                                     ? windowsLines(random, wanted)
                                     : randomText(random, wanted, static_cast<int>(random() % 40));
        const std::size_t size = text.size();
        const std::string rewritten = plainRewrite(text);
        const auto lineFeeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        const std::size_t firstOther = std::min(text.find_first_of(std::string("\r\0", 2)), size);
        const std::size_t shift = random() % 64;
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
// each become one LF, and every LF of the result is noted at its offset.
class NormalizeNotingLineEnds : public testing_isa::OnEveryIsa {};

TEST_P(NormalizeNotingLineEnds, AgreesWithAPlainRewrite) {
    std::mt19937 random(11);
    for (int round = 0; round < 600; ++round) {
        const std::size_t size = random() % 3000;
        std::string text = randomText(random, size, static_cast<int>(random() % 60));
        if (round % 3 == 0) {
            // Mostly clean, with a line end of the other kinds far in.
            for (char& byte : text) byte = byte == '\r' || byte == '\0' ? '\n' : byte;
            if (size > 0) text[random() % size] = round % 2 == 0 ? '\r' : '\0';
        } else if (round % 3 == 1) {
            text = windowsLines(random, size);
        }
        const std::string expected = plainRewrite(text);
        std::vector<std::size_t> expectedNotes;
        const std::size_t base = 1000;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (expected[i] == '\n') expectedNotes.push_back(base + i);
        }

        std::string counted = text;
        LineFeedOffsets noted;
        const std::size_t newSize = normalizeNotingLineEnds(text.data(), text.size(), base, noted);
        const NormalizedLines normalized = normalizeLineEnds(counted.data(), counted.size());

        ASSERT_EQ(text.substr(0, newSize), expected) << "round " << round;
        EXPECT_EQ(notedOffsets(noted), expectedNotes) << "round " << round;
        ASSERT_EQ(counted.substr(0, normalized.size), expected) << "round " << round;
        EXPECT_EQ(normalized.lineFeeds, expectedNotes.size()) << "round " << round;
    }
}

INSTANTIATE_ON_EVERY_ISA(NormalizeNotingLineEnds);

}  // namespace
}  // namespace textio
