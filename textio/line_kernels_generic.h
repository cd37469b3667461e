// The line kernels (line_kernels.h) written once over the vectors of an
// instruction set: `Bytes`, the 64-byte `Block` of them, `Bytes16` and
// `lookup` where it has one. line_kernels_x86.cpp compiles this for each
// set inside its namespace and target region, after the includes it needs.

// The smaller of a byte and itself XOR CR is 0 exactly for CR and NUL.
template <class V>
V crOrNulDistance(V bytes) {
    return bytes.min(bytes ^ V::splat('\r'));
}

// The LFs of a block.
inline std::size_t lineFeedsIn(const Block& block) {
    return block.countEqual(Bytes::splat('\n'));
}

// Each byte's distance past the start of the nearer watched range (wrapping):
// at most the span exactly for a watched byte.
inline Bytes watchedDistance(Bytes bytes, Bytes first0, Bytes first1) {
    return (bytes - first0).min(bytes - first1);
}

// The index is the first to read a mapped list's bytes, which come from
// memory, and the processor's own prefetching stops at every 4 KiB page:
// bytes asked for this far ahead took W1 0.89 x, W3 0.94 x and W4 0.91 x the
// time (AVX2, AMD Zen 3; 1 and 4 KiB did less).
constexpr std::size_t kIndexPrefetchAhead = 2048;

// The LFs counted group by group as LineKernels::indexLineFeeds says, each
// group's bytes also handed to `look` while they are in registers (a pass of
// their own cost as much as the indexing), with `state`, what it keeps from
// group to group. The state lives in a local here: kept in the caller and
// reached through the lambda, it went to memory and back every group (an
// entry's store may alias a vector), and the AVX2 build took 1.12 x the time
// on W1 and 1.24 x on W4 for it. Returns the groups done.
template <class State, class Look>
std::size_t indexGroups(const char* begin, std::size_t groups, std::size_t stopAt,
                        std::uint32_t* linesBefore, State& state, Look look) {
    static_assert(kLineIndexGroup == 64, "a group is one Block");
    State kept = state;
    std::size_t lines = linesBefore[0];
    // Running pointers and one exit: with a group number, a 32-bit build
    // kept the start and the count on the stack and read them every group.
    const char* at = begin;
    std::uint32_t* entry = linesBefore + 1;
    std::uint32_t* const entriesEnd = entry + groups;
    if (groups != 0) {
        do {
            __builtin_prefetch(at + kIndexPrefetchAhead);  // past the end is harmless
            const Block block = Block::load(at);
            at += kLineIndexGroup;
            lines += lineFeedsIn(block);
            look(kept, block);
            *entry++ = static_cast<std::uint32_t>(lines);
        } while (entry != entriesEnd && lines < stopAt);
    }
    state = kept;
    return static_cast<std::size_t>(entry - (linesBefore + 1));
}

// Indexing while the smallest distances to the watched ranges and to CR and
// NUL are kept.
template <bool Watch, bool LineEnds>
std::size_t indexLineFeedsIn(const char* begin, std::size_t groups, std::size_t stopAt,
                             std::uint32_t* linesBefore, const WatchedBytes& watched,
                             IndexFindings& found) {
    struct Nearest {
        Bytes first0;
        Bytes first1;
        Bytes watched;
        Bytes crOrNul;
    };
    // No group done leaves both distances at FF: beyond any span in use, and
    // not 0.
    Nearest nearest{Bytes::splat(watched.first[0]), Bytes::splat(watched.first[1]),
                    Bytes::splat(0xFF), Bytes::splat(0xFF)};
    const std::size_t group = indexGroups(
        begin, groups, stopAt, linesBefore, nearest, [](Nearest& near, const Block& block) {
            for (std::size_t i = 0; i < Block::kParts; ++i) {
                if constexpr (Watch) {
                    near.watched =
                        near.watched.min(watchedDistance(block.part[i], near.first0, near.first1));
                }
                if constexpr (LineEnds) {
                    near.crOrNul = near.crOrNul.min(crOrNulDistance(block.part[i]));
                }
            }
        });
    if constexpr (Watch) {
        const Bytes distance = nearest.watched;
        if ((distance.min(Bytes::splat(watched.span)) == distance).anySet()) {
            found.watchedSeen = true;
        }
    }
    if constexpr (LineEnds) {
        if (nearest.crOrNul.equalMask(Bytes::zero()) != 0) found.crOrNul = true;
    }
    return group;
}

// With a 128-byte lookup (VBMI), what is looked out for while indexing
// costs a lookup and an XOR a vector instead of five subtractions, XORs and
// minimums, which kept the loop waiting on the vector ports: entry b & 127
// of the table holds b for a CR or a NUL, b with its low bit flipped for a
// watched byte b, and e ^ 0x40 for every other entry e. A byte XOR its entry
// is then 0 for a CR or a NUL, 1 for a watched byte, 0x40 or more for any
// other. Unusable where two bytes looked out for share an entry (an entry
// is taken once it no longer holds e ^ 0x40, which no byte puts there).
struct LookoutTable {
    alignas(64) std::array<std::uint8_t, 128> entries;
    bool usable = true;
};

inline constexpr std::array<std::uint8_t, 128> kLookoutFree = [] {
    std::array<std::uint8_t, 128> entries{};
    for (unsigned entry = 0; entry < 128; ++entry) {
        entries[entry] = static_cast<std::uint8_t>(entry ^ 0x40u);
    }
    return entries;
}();

inline LookoutTable lookoutTable(const WatchedBytes& watched, bool lookForCrOrNul) {
    LookoutTable table{kLookoutFree};
    const auto put = [&](std::uint8_t byte, std::uint8_t value) {
        std::uint8_t& entry = table.entries[byte & 127u];
        if (entry != kLookoutFree[byte & 127u] && entry != value) table.usable = false;
        entry = value;
    };
    if (lookForCrOrNul) {
        put('\r', '\r');
        put(0, 0);
    }
    if (watched.active) {
        for (const std::uint8_t first : watched.first) {
            for (unsigned k = 0; k <= watched.span; ++k) {
                const auto byte = static_cast<std::uint8_t>(first + k);  // wraps, as above
                put(byte, static_cast<std::uint8_t>(byte ^ 1u));
            }
        }
    }
    return table;
}

// The index as indexLineFeedsIn makes it, from the table above. A CR or a
// NUL may hide a watched byte in the same lane: then the groups done are
// looked over for watched bytes again, the old way (such a list is read
// again with its line ends rewritten anyway). A template, so that sets
// without lookup128 never compile its call.
template <class V>
std::size_t indexLineFeedsByLookup(const char* begin, std::size_t groups, std::size_t stopAt,
                                   std::uint32_t* linesBefore, const WatchedBytes& watched,
                                   const LookoutTable& table, IndexFindings& found) {
    struct Nearest {
        V low;
        V high;
        V entry;
    };
    Nearest near{V::load(table.entries.data()), V::load(table.entries.data() + V::kWidth),
                 V::splat(0xFF)};
    const std::size_t done = indexGroups(
        begin, groups, stopAt, linesBefore, near, [](Nearest& kept, const Block& block) {
            for (std::size_t i = 0; i < Block::kParts; ++i) {
                kept.entry =
                    kept.entry.min(lookup128(kept.low, kept.high, block.part[i]) ^ block.part[i]);
            }
        });
    const V nearest = near.entry;
    if (nearest.equalMask(V::zero()) != 0) {
        found.crOrNul = true;
        if (watched.active) {
            IndexFindings again;
            indexLineFeedsIn<true, false>(begin, done, SIZE_MAX, linesBefore, watched, again);
            if (again.watchedSeen) found.watchedSeen = true;
        }
    } else if (nearest.equalMask(V::splat(1)) != 0) {
        found.watchedSeen = true;
    }
    return done;
}

inline std::size_t indexLineFeeds(const char* begin, std::size_t groups, std::size_t stopAt,
                                  std::uint32_t* linesBefore, const WatchedBytes& watched,
                                  bool lookForCrOrNul, IndexFindings& found) {
    if constexpr (kHasByteLookup) {
        if (watched.active || lookForCrOrNul) {
            const LookoutTable table = lookoutTable(watched, lookForCrOrNul);
            if (table.usable) {
                return indexLineFeedsByLookup<Bytes>(begin, groups, stopAt, linesBefore, watched,
                                                     table, found);
            }
        }
    }
    if (lookForCrOrNul) {
        return watched.active ? indexLineFeedsIn<true, true>(begin, groups, stopAt, linesBefore,
                                                             watched, found)
                              : indexLineFeedsIn<false, true>(begin, groups, stopAt, linesBefore,
                                                              watched, found);
    }
    return watched.active
               ? indexLineFeedsIn<true, false>(begin, groups, stopAt, linesBefore, watched, found)
               : indexLineFeedsIn<false, false>(begin, groups, stopAt, linesBefore, watched, found);
}

inline std::uint64_t lineFeedMask(const char* group) {
    return Block::load(group).equalMask(Bytes::splat('\n'));
}

inline std::size_t countLineFeeds(const char* begin, std::size_t size) {
    const Bytes lineFeed = Bytes::splat('\n');
    std::size_t count = 0;
    std::size_t at = 0;
    while (size - at >= Bytes::kWidth) {
        // Per-byte counters, summed before any of them can pass 255.
        Bytes counters = Bytes::zero();
        for (int round = 0; round < 255 && size - at >= Bytes::kWidth; ++round) {
            counters = counters - (Bytes::load(begin + at) == lineFeed);
            at += Bytes::kWidth;
        }
        count += counters.sum();
    }
    for (; at != size; ++at) count += begin[at] == '\n' ? 1 : 0;
    return count;
}

inline bool hasCrOrNul(const Block& block) {
    Bytes nearest = crOrNulDistance(block.part[0]);
    for (std::size_t i = 1; i < Block::kParts; ++i) {
        nearest = nearest.min(crOrNulDistance(block.part[i]));
    }
    return nearest.equalMask(Bytes::zero()) != 0;
}

inline std::size_t findCrOrNul(const char* begin, std::size_t size) {
    std::size_t at = 0;
    // Whole blocks first, one test each; the vector steps then find the byte.
    while (size - at >= 64 && !hasCrOrNul(Block::load(begin + at))) at += 64;
    for (; size - at >= Bytes::kWidth; at += Bytes::kWidth) {
        const Bytes::Mask found = crOrNulDistance(Bytes::load(begin + at)).equalMask(Bytes::zero());
        if (found != 0) return at + trailingZeros(found);
    }
    while (at != size && begin[at] != '\r' && begin[at] != '\0') ++at;
    return at;
}

// Shuffles that drop byte p of sixteen (p < 16), and at 16 one that keeps all.
constexpr std::array<std::array<std::uint8_t, 16>, 17> kDropByte = [] {
    std::array<std::array<std::uint8_t, 16>, 17> table{};
    for (std::size_t p = 0; p <= 16; ++p) {
        for (std::size_t i = 0; i < 16; ++i) {
            const std::size_t from = i < p ? i : i + 1;
            table[p][i] = from < 16 ? static_cast<std::uint8_t>(from) : 0x80;
        }
    }
    return table;
}();

// Sixteen bytes at a time: a step with no CR and no NUL moves down as it is;
// one whose only such byte is a CR followed by LF in the step moves down
// without the CR, one lookup and one store. Every other step is rewritten
// byte by byte. The write position never passes the read position, and a
// step is loaded before anything is stored over it. Without a lookup, byte
// by byte throughout.
template <class V>
char* rewriteLineEndsIn(char* from, char* end) {
    if constexpr (!kHasLookup) {
        return scalar::rewriteLineEnds(from, end);
    } else {
        static_assert(V::kWidth == 16);
        char* read = from;
        char* write = from;
        const V carriageReturn = V::splat('\r');
        const V lineFeed = V::splat('\n');
        const V zero = V::zero();
        while (static_cast<std::size_t>(end - read) >= V::kWidth) {
            const V bytes = V::load(read);
            const std::uint32_t crs = (bytes == carriageReturn).mask();
            const std::uint32_t nuls = (bytes == zero).mask();
            const std::uint32_t lfs = (bytes == lineFeed).mask();
            // At most one CR, and an LF right after it in the step (so never at 15).
            if (nuls == 0 && (crs & (crs - 1)) == 0 && (crs << 1 & ~lfs) == 0 && crs < 0x8000) {
                const auto dropped = static_cast<std::size_t>(__builtin_ctz(crs | 0x10000u));
                lookup(bytes, V::load(kDropByte[dropped].data())).store(write);
                read += V::kWidth;
                write += V::kWidth - (crs != 0 ? 1 : 0);
                continue;
            }
            const char* const stepEnd = read + V::kWidth;
            while (read < stepEnd) scalar::rewriteOne(read, write, end);
        }
        while (read != end) scalar::rewriteOne(read, write, end);
        return write;
    }
}

extern const LineKernels kLineKernels;
const LineKernels kLineKernels = {indexLineFeeds, lineFeedMask, countLineFeeds, findCrOrNul,
                                  rewriteLineEndsIn<Bytes16>};
