// The line kernels (line_kernels.h) written once over the vectors of an
// instruction set: `Bytes`, the 64-byte `Block` of them, `Bytes16` and
// `lookup` where it has one. line_kernels_x86.cpp compiles this for each
// set inside its namespace and target region, after the includes it needs.

// Lines are a few dozen bytes, so this many offsets are written per mask
// word (64 bytes, or 32 on a 32-bit machine) whether or not it has that many
// LFs (the extra ones are written over by the next word or never counted):
// most words take no branch on their LFs.
constexpr std::size_t kAlwaysNoted = kMaskWordBits / 16;
// Room is made once per this many bytes, for one LF per byte at most.
constexpr std::size_t kNotingChunk = 4096;

// The offset of the lowest set bit of `mask` from `here`; the high bit set
// apart keeps the count defined once the mask runs out.
inline std::size_t lowestAt(std::size_t here, MaskWord mask) {
    return here + trailingZeros(mask | MaskWord{1} << (kMaskWordBits - 1));
}

// Writes the offsets of the `count` set bits of `mask` (LFs of a group, or
// of half of one on a 32-bit machine) from `out`: kAlwaysNoted of them
// whatever the count, the rest in a loop.
inline std::size_t* writeOffsets(std::size_t* out, std::size_t here, MaskWord mask,
                                 std::size_t count) {
    for (std::size_t i = 0; i < kAlwaysNoted; ++i) {
        out[i] = lowestAt(here, mask);
        mask &= mask - 1;
    }
    for (std::size_t i = kAlwaysNoted; i < count; ++i) {
        out[i] = lowestAt(here, mask);
        mask &= mask - 1;
    }
    return out + count;
}

// The smaller of a byte and itself XOR CR is 0 exactly for CR and NUL.
template <class V>
V crOrNul(V bytes) {
    return bytes.min(bytes ^ V::splat('\r')) == V::zero();
}

inline bool hasCrOrNul(const Block& block) {
    Bytes any = crOrNul(block.part[0]);
    for (std::size_t i = 1; i < Block::kParts; ++i) any = any | crOrNul(block.part[i]);
    return any.anySet();
}

inline std::size_t noteLineFeedGroups(const char* begin, std::size_t size, std::size_t base,
                                      LineFeedOffsets& noted) {
    static_assert(kLineFeedGroup == 64, "a group is one Block");
    const Bytes lineFeed = Bytes::splat('\n');
    std::size_t at = 0;
    while (size - at >= kLineFeedGroup) {
        const std::size_t chunkEnd =
            at + std::min(kNotingChunk, (size - at) / kLineFeedGroup * kLineFeedGroup);
        reserveLineFeeds(noted, chunkEnd - at + kAlwaysNoted);
        std::size_t* const first = noteData(noted) + noted.count;
        std::size_t* out = first;
        // Few values stay live in the loop: a 32-bit machine has few registers.
        const char* p = begin + at;
        const char* const stop = begin + chunkEnd;
        std::size_t here = base + at;
        for (; p != stop; p += kLineFeedGroup, here += kLineFeedGroup) {
            const Block block = Block::load(p);
            if (hasCrOrNul(block)) break;
            const Block lineFeeds = block == lineFeed;
            // Word by word, unrolled: a loop here kept the block in memory.
            [&]<std::size_t... Words>(std::index_sequence<Words...>) {
                ((out = writeOffsets(out, here + Words * kMaskWordBits, lineFeeds.maskWord(Words),
                                     popcount(lineFeeds.maskWord(Words)))),
                 ...);
            }
            (std::make_index_sequence<Block::kMaskWords>());
        }
        at = static_cast<std::size_t>(p - begin);
        noted.count += static_cast<std::size_t>(out - first);
        if (at != chunkEnd) break;
    }
    return at;
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

inline std::size_t findCrOrNul(const char* begin, std::size_t size) {
    std::size_t at = 0;
    for (; size - at >= Bytes::kWidth; at += Bytes::kWidth) {
        const std::uint32_t found = crOrNul(Bytes::load(begin + at)).mask();
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
const LineKernels kLineKernels = {noteLineFeedGroups, countLineFeeds, findCrOrNul,
                                  rewriteLineEndsIn<Bytes16>};
