// The x86 filter engines (see textio/simd_targets.h for which are built).
// Both engines look at a block of positions at once, mark the positions
// where a term may start, and check each mark in order against whole terms,
// so they return the start of the occurrence that starts first.
#include <algorithm>

#include "filter/term_search_engines.h"
#include "textio/simd_targets.h"

namespace filter {

#ifdef SEARCHFILTER_X86
namespace {

// The last bytes of a text, copied into a zeroed buffer so that a block load
// never reads past the text. Marks found there are checked on the text.
// Loads reach 32 bytes past an anchor or fingerprint offset.
constexpr std::size_t kPadded = 64;
static_assert(kPadded >= 32 + 16 && kPadded >= 32 + kTeddyMaxFingerprint);

struct Tail {
    alignas(32) unsigned char bytes[kPadded];
};

void fillTail(Tail& tail, const unsigned char* text, std::size_t size, std::size_t at) {
    std::fill(tail.bytes, tail.bytes + kPadded, static_cast<unsigned char>(0));
    std::copy(text + at, text + std::min(size, at + kPadded), tail.bytes);
}

// Checks the marked positions base + j in ascending order.
template <CaseMode Mode>
std::size_t confirmPairs(const TermSearch& search, const unsigned char* text, std::size_t size,
                         std::size_t base, std::uint32_t marks) {
    while (marks != 0) {
        const std::size_t pos = base + static_cast<std::size_t>(__builtin_ctz(marks));
        if (pos >= size) return kNoOccurrence;
        for (const TermAnchors& anchor : search.anchors) {
            if (termAtIn<Mode>(search.terms[anchor.term], text, size, pos)) return pos;
        }
        marks &= marks - 1;
    }
    return kNoOccurrence;
}

template <CaseMode Mode>
std::size_t confirmTeddy(const TermSearch& search, const unsigned char* text, std::size_t size,
                         std::size_t base, std::uint32_t marks, const std::uint8_t* buckets) {
    while (marks != 0) {
        const unsigned j = static_cast<unsigned>(__builtin_ctz(marks));
        const std::size_t pos = base + j;
        if (pos >= size) return kNoOccurrence;
        unsigned set = buckets[j];
        while (set != 0) {
            const unsigned bucket = static_cast<unsigned>(__builtin_ctz(set));
            for (const std::uint32_t term : search.teddy.buckets[bucket]) {
                if (termAtIn<Mode>(search.terms[term], text, size, pos)) return pos;
            }
            set &= set - 1;
        }
        marks &= marks - 1;
    }
    return kNoOccurrence;
}

// In caseless mode an anchor that has a capital is compared after setting
// bit 5 of the text byte, which turns only that capital into it; other
// anchors exactly.
std::uint8_t anchorCaseBit(std::uint8_t anchorByte) {
    return hasCapital(anchorByte) ? 0x20 : 0;
}

std::size_t anchorReach(const TermSearch& search) {
    std::size_t reach = 0;
    for (const TermAnchors& anchor : search.anchors) {
        reach = std::max<std::size_t>(reach, anchor.farOffset);
    }
    return reach;
}

// ---- Pair filter, SSE2 ----

template <CaseMode Mode>
__attribute__((target("sse2"))) __m128i loadAnchor16(const unsigned char* at, std::uint8_t byte) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    if constexpr (Mode == CaseMode::Exact) {
        return bytes;
    } else {
        return _mm_or_si128(bytes, _mm_set1_epi8(static_cast<char>(anchorCaseBit(byte))));
    }
}

template <CaseMode Mode>
__attribute__((target("sse2"))) std::uint32_t pairMarks16(const TermSearch& search,
                                                          const unsigned char* at) {
    std::uint32_t marks = 0;
    for (const TermAnchors& anchor : search.anchors) {
        const __m128i nearBytes = loadAnchor16<Mode>(at + anchor.nearOffset, anchor.nearByte);
        const __m128i farBytes = loadAnchor16<Mode>(at + anchor.farOffset, anchor.farByte);
        const __m128i both = _mm_and_si128(
            _mm_cmpeq_epi8(nearBytes, _mm_set1_epi8(static_cast<char>(anchor.nearByte))),
            _mm_cmpeq_epi8(farBytes, _mm_set1_epi8(static_cast<char>(anchor.farByte))));
        marks |= static_cast<std::uint32_t>(_mm_movemask_epi8(both));
    }
    return marks;
}

template <CaseMode Mode>
__attribute__((target("sse2"))) SEARCHFILTER_ALIGN_STACK std::size_t pairSse2(
    const TermSearch& search, const unsigned char* text, std::size_t size) {
    const std::size_t reach = anchorReach(search);
    std::size_t at = 0;
    if (search.anchors.size() == 1) {
        // One term: keep its two compares in registers.
        const TermAnchors& anchor = search.anchors[0];
        const __m128i nearByte = _mm_set1_epi8(static_cast<char>(anchor.nearByte));
        const __m128i farByte = _mm_set1_epi8(static_cast<char>(anchor.farByte));
        for (; size - at >= 16 + reach; at += 16) {
            const __m128i nearBytes =
                loadAnchor16<Mode>(text + at + anchor.nearOffset, anchor.nearByte);
            const __m128i farBytes =
                loadAnchor16<Mode>(text + at + anchor.farOffset, anchor.farByte);
            const auto marks = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_and_si128(
                _mm_cmpeq_epi8(nearBytes, nearByte), _mm_cmpeq_epi8(farBytes, farByte))));
            if (marks != 0) {
                const std::size_t hit = confirmPairs<Mode>(search, text, size, at, marks);
                if (hit != kNoOccurrence) return hit;
            }
        }
    }
    for (; size - at >= 16 + reach; at += 16) {
        const std::uint32_t marks = pairMarks16<Mode>(search, text + at);
        if (marks != 0) {
            const std::size_t hit = confirmPairs<Mode>(search, text, size, at, marks);
            if (hit != kNoOccurrence) return hit;
        }
    }
    Tail tail;
    for (; at < size; at += 16) {
        fillTail(tail, text, size, at);
        const std::uint32_t marks = pairMarks16<Mode>(search, tail.bytes);
        if (marks != 0) {
            const std::size_t hit = confirmPairs<Mode>(search, text, size, at, marks);
            if (hit != kNoOccurrence) return hit;
        }
    }
    return kNoOccurrence;
}

// ---- Teddy, SSSE3 ----

template <unsigned M>
__attribute__((target("ssse3"))) __m128i teddyBuckets16(const __m128i* lo, const __m128i* hi,
                                                        const unsigned char* at) {
    const __m128i nibble = _mm_set1_epi8(0x0F);
    __m128i result = _mm_set1_epi8(-1);
    for (unsigned p = 0; p < M; ++p) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + p));
        const __m128i low = _mm_shuffle_epi8(lo[p], _mm_and_si128(bytes, nibble));
        const __m128i high =
            _mm_shuffle_epi8(hi[p], _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble));
        result = _mm_and_si128(result, _mm_and_si128(low, high));
    }
    return result;
}

template <unsigned M, CaseMode Mode>
__attribute__((target("ssse3"))) SEARCHFILTER_ALIGN_STACK std::size_t teddySsse3(
    const TermSearch& search, const unsigned char* text, std::size_t size) {
    __m128i lo[M];
    __m128i hi[M];
    for (unsigned p = 0; p < M; ++p) {
        lo[p] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(search.teddy.lo[p].data()));
        hi[p] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(search.teddy.hi[p].data()));
    }
    alignas(16) std::uint8_t buckets[16];
    std::size_t at = 0;
    for (; size - at >= 15 + M; at += 16) {
        const __m128i found = teddyBuckets16<M>(lo, hi, text + at);
        const auto marks = static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(found, _mm_setzero_si128())) ^ 0xFFFF);
        if (marks != 0) {
            _mm_store_si128(reinterpret_cast<__m128i*>(buckets), found);
            const std::size_t hit = confirmTeddy<Mode>(search, text, size, at, marks, buckets);
            if (hit != kNoOccurrence) return hit;
        }
    }
    Tail tail;
    for (; at < size; at += 16) {
        fillTail(tail, text, size, at);
        const __m128i found = teddyBuckets16<M>(lo, hi, tail.bytes);
        const auto marks = static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(found, _mm_setzero_si128())) ^ 0xFFFF);
        if (marks != 0) {
            _mm_store_si128(reinterpret_cast<__m128i*>(buckets), found);
            const std::size_t hit = confirmTeddy<Mode>(search, text, size, at, marks, buckets);
            if (hit != kNoOccurrence) return hit;
        }
    }
    return kNoOccurrence;
}

#ifdef SEARCHFILTER_AVX2

// ---- Pair filter, AVX2 ----

template <CaseMode Mode>
__attribute__((target("avx2"))) __m256i loadAnchor32(const unsigned char* at, std::uint8_t byte) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    if constexpr (Mode == CaseMode::Exact) {
        return bytes;
    } else {
        return _mm256_or_si256(bytes, _mm256_set1_epi8(static_cast<char>(anchorCaseBit(byte))));
    }
}

template <CaseMode Mode>
__attribute__((target("avx2"))) std::uint32_t pairMarks32(const TermSearch& search,
                                                          const unsigned char* at) {
    std::uint32_t marks = 0;
    for (const TermAnchors& anchor : search.anchors) {
        const __m256i nearBytes = loadAnchor32<Mode>(at + anchor.nearOffset, anchor.nearByte);
        const __m256i farBytes = loadAnchor32<Mode>(at + anchor.farOffset, anchor.farByte);
        const __m256i both = _mm256_and_si256(
            _mm256_cmpeq_epi8(nearBytes, _mm256_set1_epi8(static_cast<char>(anchor.nearByte))),
            _mm256_cmpeq_epi8(farBytes, _mm256_set1_epi8(static_cast<char>(anchor.farByte))));
        marks |= static_cast<std::uint32_t>(_mm256_movemask_epi8(both));
    }
    return marks;
}

template <CaseMode Mode>
__attribute__((target("avx2"))) std::size_t pairAvx2(const TermSearch& search,
                                                     const unsigned char* text, std::size_t size) {
    const std::size_t reach = anchorReach(search);
    std::size_t at = 0;
    if (search.anchors.size() == 1) {
        const TermAnchors& anchor = search.anchors[0];
        const __m256i nearByte = _mm256_set1_epi8(static_cast<char>(anchor.nearByte));
        const __m256i farByte = _mm256_set1_epi8(static_cast<char>(anchor.farByte));
        for (; size - at >= 32 + reach; at += 32) {
            const __m256i nearBytes =
                loadAnchor32<Mode>(text + at + anchor.nearOffset, anchor.nearByte);
            const __m256i farBytes =
                loadAnchor32<Mode>(text + at + anchor.farOffset, anchor.farByte);
            const auto marks = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(
                _mm256_cmpeq_epi8(nearBytes, nearByte), _mm256_cmpeq_epi8(farBytes, farByte))));
            if (marks != 0) {
                const std::size_t hit = confirmPairs<Mode>(search, text, size, at, marks);
                if (hit != kNoOccurrence) return hit;
            }
        }
    }
    for (; size - at >= 32 + reach; at += 32) {
        const std::uint32_t marks = pairMarks32<Mode>(search, text + at);
        if (marks != 0) {
            const std::size_t hit = confirmPairs<Mode>(search, text, size, at, marks);
            if (hit != kNoOccurrence) return hit;
        }
    }
    Tail tail;
    for (; at < size; at += 32) {
        fillTail(tail, text, size, at);
        const std::uint32_t marks = pairMarks32<Mode>(search, tail.bytes);
        if (marks != 0) {
            const std::size_t hit = confirmPairs<Mode>(search, text, size, at, marks);
            if (hit != kNoOccurrence) return hit;
        }
    }
    return kNoOccurrence;
}

// ---- Teddy, AVX2 ----

template <unsigned M>
__attribute__((target("avx2"))) __m256i teddyBuckets32(const __m256i* lo, const __m256i* hi,
                                                       const unsigned char* at) {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    __m256i result = _mm256_set1_epi8(-1);
    for (unsigned p = 0; p < M; ++p) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + p));
        const __m256i low = _mm256_shuffle_epi8(lo[p], _mm256_and_si256(bytes, nibble));
        const __m256i high =
            _mm256_shuffle_epi8(hi[p], _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble));
        result = _mm256_and_si256(result, _mm256_and_si256(low, high));
    }
    return result;
}

template <unsigned M, CaseMode Mode>
__attribute__((target("avx2"))) std::size_t teddyAvx2(const TermSearch& search,
                                                      const unsigned char* text, std::size_t size) {
    __m256i lo[M];
    __m256i hi[M];
    for (unsigned p = 0; p < M; ++p) {
        lo[p] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(search.teddy.lo[p].data())));
        hi[p] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(search.teddy.hi[p].data())));
    }
    alignas(32) std::uint8_t buckets[32];
    std::size_t at = 0;
    for (; size - at >= 31 + M; at += 32) {
        const __m256i found = teddyBuckets32<M>(lo, hi, text + at);
        const auto marks = ~static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(found, _mm256_setzero_si256())));
        if (marks != 0) {
            _mm256_store_si256(reinterpret_cast<__m256i*>(buckets), found);
            const std::size_t hit = confirmTeddy<Mode>(search, text, size, at, marks, buckets);
            if (hit != kNoOccurrence) return hit;
        }
    }
    Tail tail;
    for (; at < size; at += 32) {
        fillTail(tail, text, size, at);
        const __m256i found = teddyBuckets32<M>(lo, hi, tail.bytes);
        const auto marks = ~static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(found, _mm256_setzero_si256())));
        if (marks != 0) {
            _mm256_store_si256(reinterpret_cast<__m256i*>(buckets), found);
            const std::size_t hit = confirmTeddy<Mode>(search, text, size, at, marks, buckets);
            if (hit != kNoOccurrence) return hit;
        }
    }
    return kNoOccurrence;
}

#endif  // SEARCHFILTER_AVX2

}  // namespace

bool simdEngineAvailable(TermEngine engine) {
    switch (engine) {
        case TermEngine::PairSse2:
            return __builtin_cpu_supports("sse2");
        case TermEngine::TeddySsse3:
            return __builtin_cpu_supports("ssse3");
#ifdef SEARCHFILTER_AVX2
        case TermEngine::PairAvx2:
        case TermEngine::TeddyAvx2:
            return __builtin_cpu_supports("avx2");
#endif
        default:
            return false;
    }
}

std::size_t findWithPairSse2(const TermSearch& search, const unsigned char* text,
                             std::size_t size) {
    if (search.caseMode == CaseMode::Caseless) {
        return pairSse2<CaseMode::Caseless>(search, text, size);
    }
    return pairSse2<CaseMode::Exact>(search, text, size);
}

namespace {

template <CaseMode Mode>
std::size_t teddySsse3Fingerprint(const TermSearch& search, const unsigned char* text,
                                  std::size_t size) {
    switch (search.teddy.fingerprint) {
        case 1:
            return teddySsse3<1, Mode>(search, text, size);
        case 2:
            return teddySsse3<2, Mode>(search, text, size);
        case 3:
            return teddySsse3<3, Mode>(search, text, size);
        case 4:
            return teddySsse3<4, Mode>(search, text, size);
        case 5:
            return teddySsse3<5, Mode>(search, text, size);
        case 6:
            return teddySsse3<6, Mode>(search, text, size);
        case 7:
            return teddySsse3<7, Mode>(search, text, size);
        default:
            return teddySsse3<8, Mode>(search, text, size);
    }
}

}  // namespace

std::size_t findWithTeddySsse3(const TermSearch& search, const unsigned char* text,
                               std::size_t size) {
    if (search.caseMode == CaseMode::Caseless) {
        return teddySsse3Fingerprint<CaseMode::Caseless>(search, text, size);
    }
    return teddySsse3Fingerprint<CaseMode::Exact>(search, text, size);
}

#ifdef SEARCHFILTER_AVX2
std::size_t findWithPairAvx2(const TermSearch& search, const unsigned char* text,
                             std::size_t size) {
    if (search.caseMode == CaseMode::Caseless) {
        return pairAvx2<CaseMode::Caseless>(search, text, size);
    }
    return pairAvx2<CaseMode::Exact>(search, text, size);
}

namespace {

template <CaseMode Mode>
std::size_t teddyAvx2Fingerprint(const TermSearch& search, const unsigned char* text,
                                 std::size_t size) {
    switch (search.teddy.fingerprint) {
        case 1:
            return teddyAvx2<1, Mode>(search, text, size);
        case 2:
            return teddyAvx2<2, Mode>(search, text, size);
        case 3:
            return teddyAvx2<3, Mode>(search, text, size);
        case 4:
            return teddyAvx2<4, Mode>(search, text, size);
        case 5:
            return teddyAvx2<5, Mode>(search, text, size);
        case 6:
            return teddyAvx2<6, Mode>(search, text, size);
        case 7:
            return teddyAvx2<7, Mode>(search, text, size);
        default:
            return teddyAvx2<8, Mode>(search, text, size);
    }
}

}  // namespace

std::size_t findWithTeddyAvx2(const TermSearch& search, const unsigned char* text,
                              std::size_t size) {
    if (search.caseMode == CaseMode::Caseless) {
        return teddyAvx2Fingerprint<CaseMode::Caseless>(search, text, size);
    }
    return teddyAvx2Fingerprint<CaseMode::Exact>(search, text, size);
}
#endif

#else  // no x86 engines in this build

bool simdEngineAvailable(TermEngine) {
    return false;
}

#endif

#ifndef SEARCHFILTER_AVX2
// Never chosen: simdEngineAvailable says no.
std::size_t findWithPairAvx2(const TermSearch& search, const unsigned char* text,
                             std::size_t size) {
    return findWithDfa(search.dfa, text, size);
}
std::size_t findWithTeddyAvx2(const TermSearch& search, const unsigned char* text,
                              std::size_t size) {
    return findWithDfa(search.dfa, text, size);
}
#endif

#ifndef SEARCHFILTER_X86
std::size_t findWithPairSse2(const TermSearch& search, const unsigned char* text,
                             std::size_t size) {
    return findWithDfa(search.dfa, text, size);
}
std::size_t findWithTeddySsse3(const TermSearch& search, const unsigned char* text,
                               std::size_t size) {
    return findWithDfa(search.dfa, text, size);
}
#endif

}  // namespace filter
