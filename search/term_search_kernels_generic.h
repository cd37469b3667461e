// The filter engines' scans written once over the vector `Bytes` of an
// instruction set (and its `lookup`, for Teddy). Both look at a vector of
// positions at once, mark the positions where a term may start, and check
// each mark in order against whole terms, so they return the start of the
// occurrence that starts first. term_search_kernels_x86.cpp compiles this for
// each set inside its namespace and target region, after the includes it
// needs.

// ---- Pair filter ----

template <CaseMode Mode>
Bytes loadAnchor(const unsigned char* at, std::uint8_t anchorByte) {
    const Bytes bytes = Bytes::load(at);
    if constexpr (Mode == CaseMode::exact) {
        return bytes;
    } else {
        return bytes | Bytes::splat(anchorCaseBit(anchorByte));
    }
}

template <CaseMode Mode>
Bytes::Mask pairMarks(const TermSearch& search, const unsigned char* at) {
    Bytes::Mask marks = 0;
    for (const TermAnchors& anchor : search.anchors) {
        const Bytes near = loadAnchor<Mode>(at + anchor.nearOffset, anchor.nearByte);
        const Bytes far = loadAnchor<Mode>(at + anchor.farOffset, anchor.farByte);
        marks |= near.equalMask(Bytes::splat(anchor.nearByte)) &
                 far.equalMask(Bytes::splat(anchor.farByte));
    }
    return marks;
}

template <CaseMode Mode>
std::size_t findPairs(const TermSearch& search, const unsigned char* text, std::size_t size,
                      simd::PrefetchQueue&) {
    constexpr std::size_t kStep = Bytes::kWidth;
    const std::size_t reach = anchorReach(search);
    std::size_t at = 0;
    if (search.anchors.size() == 1) {
        // One term: keep its two compares in registers.
        const TermAnchors& anchor = search.anchors[0];
        const Bytes nearByte = Bytes::splat(anchor.nearByte);
        const Bytes farByte = Bytes::splat(anchor.farByte);
        for (; size - at >= kStep + reach; at += kStep) {
            const Bytes near = loadAnchor<Mode>(text + at + anchor.nearOffset, anchor.nearByte);
            const Bytes far = loadAnchor<Mode>(text + at + anchor.farOffset, anchor.farByte);
            const Bytes::Mask marks = near.equalMask(nearByte) & far.equalMask(farByte);
            if (Bytes::any(marks)) {
                const std::size_t hit = confirmPairs<Mode>(search, text, size, at, marks);
                if (hit != kNoOccurrence) return hit;
            }
        }
    }
    for (; size - at >= kStep + reach; at += kStep) {
        const Bytes::Mask marks = pairMarks<Mode>(search, text + at);
        if (Bytes::any(marks)) {
            const std::size_t hit = confirmPairs<Mode>(search, text, size, at, marks);
            if (hit != kNoOccurrence) return hit;
        }
    }
    TextTail tail;
    for (; at < size; at += kStep) {
        fillTail(tail, text, size, at);
        const Bytes::Mask marks = pairMarks<Mode>(search, tail.bytes);
        if (Bytes::any(marks)) {
            const std::size_t hit = confirmPairs<Mode>(search, text, size, at, marks);
            if (hit != kNoOccurrence) return hit;
        }
    }
    return kNoOccurrence;
}

// ---- Teddy ----

// A 16-byte nibble table in each 16-byte half of a vector.
template <class V>
V teddyTable(const std::array<std::uint8_t, 16>& table) {
    if constexpr (V::kWidth == 16) {
        return V::load(table.data());
    } else {
        return V::repeated(Bytes16::load(table.data()));
    }
}

// The buckets that let `bytes` through at one fingerprint offset, from that
// offset's tables: two nibble lookups, or with VBMI one in a 128-byte table
// (which leaves a byte's high bit out: a bucket's letting a byte through is
// only a hint). Half the shuffles: W1 0.90 x, W3 0.88 x. With the eight
// vector registers of a 32-bit build, two per offset left the loop
// reloading tables at every step; there the low six bits are looked up in
// one 64-byte table per offset instead (-m32: W1 0.95 x, W3 0.97 x).
inline constexpr bool kSixBitLookup = kHasByteLookup && sizeof(void*) == 4;

template <class V>
V teddyLookup(V lo, V hi, V bytes) {
    if constexpr (kSixBitLookup) {
        return lookup64(lo, bytes);
    } else if constexpr (kHasByteLookup) {
        return lookup128(lo, hi, bytes);
    } else {
        return lookup(lo, bytes.lowNibbles()) & lookup(hi, bytes.highNibbles());
    }
}

// Byte j of the result holds the buckets whose first M fingerprint bytes
// match at position j.
template <class V, unsigned M>
V teddyBuckets(const V* lo, const V* hi, const unsigned char* at) {
    V result = V::splat(0xFF);
    for (unsigned p = 0; p < M; ++p) {
        V bytes = V::load(at + p);
        keepInRegister(bytes);
        result = result & teddyLookup(lo[p], hi[p], bytes);
        keepInRegister(result);
    }
    return result;
}

// Confirms the marked positions of one step, a machine word of marks at a
// time. A 32-bit build passed a 64-bit mask to the confirmation as two
// 32-bit stores that it read back as one 64-bit load, which the processor
// cannot forward: the stall took a sixth of the confirmation's time.
template <class V, CaseMode Mode>
std::size_t confirmStep(const TermSearch& search, const unsigned char* text, std::size_t size,
                        std::size_t at, V found, typename V::Mask marks) {
    alignas(64) std::uint8_t buckets[V::kWidth];
    found.store(buckets);
    constexpr unsigned kWordBits = 8 * sizeof(std::size_t);
    for (unsigned from = 0; from < V::kWidth; from += kWordBits) {
        const auto word = static_cast<std::size_t>(marks >> from);
        if (word == 0) continue;
        const std::size_t hit =
            confirmTeddy<Mode>(search, text, size, at + from, word, buckets + from);
        if (hit != kNoOccurrence) return hit;
    }
    return kNoOccurrence;
}

template <class V, unsigned M>
void loadTeddyTables(const TermSearch& search, V* lo, V* hi) {
    for (unsigned p = 0; p < M; ++p) {
        if constexpr (kSixBitLookup) {
            lo[p] = V::load(search.teddy.lowSix[p].data());
            hi[p] = lo[p];  // unused
        } else if constexpr (kHasByteLookup) {
            lo[p] = V::load(search.teddy.lowSeven[p].data());
            hi[p] = V::load(search.teddy.lowSeven[p].data() + V::kWidth);
        } else {
            lo[p] = teddyTable<V>(search.teddy.lo[p]);
            hi[p] = teddyTable<V>(search.teddy.hi[p]);
        }
    }
}

// With byte lookups, the marks of a step narrowed by the offsets past the
// fingerprint: most candidates of long terms share only the fingerprint with
// one (a search for importação meets importante), and one lookup per offset
// costs less than confirming them (W1 0.96 x). Only for the few steps with
// marks, so the tables come from memory.
template <class V, unsigned M>
V narrowedBuckets(const TermSearch& search, const unsigned char* at, V found) {
    for (unsigned p = M; p < search.teddy.narrowing; ++p) {
        const std::uint8_t* table = search.teddy.lowSeven[p].data();
        found = found & lookup128(V::load(table), V::load(table + V::kWidth), V::load(at + p));
    }
    return found;
}

// Cache lines of the bytes ahead asked for per 64 bytes searched. With the
// folders searched by their runs, Teddy searches 31 of W1's 79 MB (the runs'
// lines and every file name), so 2.5 lines would just keep up.
template <unsigned StepBytes>
inline constexpr unsigned kTeddyLinesAhead = (3 * StepBytes + 63) / 64;

template <class V, unsigned M, CaseMode Mode>
std::size_t findTeddy(const TermSearch& search, const unsigned char* text, std::size_t size,
                      simd::PrefetchQueue& queue) {
    // Loads reach this far past a step's vector.
    constexpr unsigned kReach = kHasByteLookup ? unsigned{kTeddyMaxFingerprint} : M;
    simd::PrefetchCursor ahead(queue);
    V lo[M];
    V hi[M];
    std::size_t at = 0;
    if constexpr (!kHasByteLookup) {
        // Two steps a turn, tested together: one branch a turn, and a whole
        // number of cache lines asked for ahead (W1 0.97 x, W3 0.98 x against
        // one step a turn, both asking).
        while (size - at >= 2 * V::kWidth - 1 + kReach) {
            loadTeddyTables<V, M>(search, lo, hi);
            V first = V::zero();
            V second = V::zero();
            for (; size - at >= 2 * V::kWidth - 1 + kReach; at += 2 * V::kWidth) {
                ahead.fetch<kTeddyLinesAhead<2 * V::kWidth>>();
                first = teddyBuckets<V, M>(lo, hi, text + at);
                second = teddyBuckets<V, M>(lo, hi, text + at + V::kWidth);
                if ((first | second).anyBitSet()) break;
            }
            if (!(first | second).anyBitSet()) break;
            for (const V found : {first, second}) {
                const typename V::Mask marks = found.nonZeroMask();
                if (V::any(marks)) {
                    const std::size_t hit =
                        confirmStep<V, Mode>(search, text, size, at, found, marks);
                    if (hit != kNoOccurrence) return hit;
                }
                at += V::kWidth;
            }
        }
    }
    while (size - at >= V::kWidth - 1 + kReach) {
        // The tables are loaded again after each confirmation: kept across
        // its call, they lived on the stack and were reloaded at every step.
        loadTeddyTables<V, M>(search, lo, hi);
        V found = V::zero();
        typename V::Mask marks = 0;
        for (; size - at >= V::kWidth - 1 + kReach; at += V::kWidth) {
            ahead.fetch<kTeddyLinesAhead<V::kWidth>>();
            found = teddyBuckets<V, M>(lo, hi, text + at);
            marks = found.nonZeroMask();
            if (!V::any(marks)) continue;
            if constexpr (kHasByteLookup) {
                found = narrowedBuckets<V, M>(search, text + at, found);
                marks = found.nonZeroMask();
                if (!V::any(marks)) continue;
            }
            break;
        }
        if (!V::any(marks)) break;
        const std::size_t hit = confirmStep<V, Mode>(search, text, size, at, found, marks);
        if (hit != kNoOccurrence) return hit;
        at += V::kWidth;
    }
    TextTail tail;
    for (; at < size; at += V::kWidth) {
        loadTeddyTables<V, M>(search, lo, hi);
        fillTail(tail, text, size, at);
        const V found = teddyBuckets<V, M>(lo, hi, tail.bytes);
        const typename V::Mask marks = found.nonZeroMask();
        if (!V::any(marks)) continue;
        const std::size_t hit = confirmStep<V, Mode>(search, text, size, at, found, marks);
        if (hit != kNoOccurrence) return hit;
    }
    return kNoOccurrence;
}

template <class V, CaseMode Mode, std::size_t... Lengths>
constexpr std::array<TermFinder, kTeddyMaxFingerprint> teddyFinders(
    std::index_sequence<Lengths...>) {
    return {findTeddy<V, static_cast<unsigned>(Lengths + 1), Mode>...};
}

template <class V>
constexpr TermSearchKernels termSearchKernelsFor(std::size_t teddyMaxTerms) {
    TermSearchKernels kernels;
    kernels.pair = {findPairs<CaseMode::exact>, findPairs<CaseMode::caseless>};
    if constexpr (kHasLookup) {
        constexpr auto lengths = std::make_index_sequence<kTeddyMaxFingerprint>();
        kernels.teddy = {teddyFinders<V, CaseMode::exact>(lengths),
                         teddyFinders<V, CaseMode::caseless>(lengths)};
        kernels.teddyMaxTerms = teddyMaxTerms;
    }
    return kernels;
}
