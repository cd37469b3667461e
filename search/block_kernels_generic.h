// The block kernels (block_kernels.h) written once over the vectors of an
// instruction set: `Bytes` and the 64-byte `Block` of them.
// block_kernels_x86.cpp compiles this for each set inside its namespace and
// target region, after the includes it needs.

// A byte is a lead looked for exactly when the smaller of two distances to
// the leads is at most the limit: with Latin, b ^ C4 is 0 or 1 only for C4
// and C5, b - E1 only for E1 and E2; else b ^ C4 and b ^ E2 are 0 only for
// C4 and E2. The smallest distance over 64 bytes is tested once.
template <bool Latin>
Bytes leadDistance(Bytes bytes) {
    const Bytes second = Bytes::splat(Latin ? 0xE1 : 0xE2);
    const Bytes toSecond = Latin ? bytes - second : bytes ^ second;
    return (bytes ^ Bytes::splat(0xC4)).min(toSecond);
}

template <bool Latin>
bool withinLeadLimit(Bytes distances) {
    return (distances.min(Bytes::splat(Latin ? 1 : 0)) == distances).anySet();
}

template <bool Latin>
bool hasFoldLeadIn(const char* begin, std::size_t size) {
    std::size_t at = 0;
    for (; size - at >= 64; at += 64) {
        const Block block = Block::load(begin + at);
        Bytes nearest = leadDistance<Latin>(block.part[0]);
        for (std::size_t i = 1; i < Block::kParts; ++i) {
            nearest = nearest.min(leadDistance<Latin>(block.part[i]));
        }
        if (withinLeadLimit<Latin>(nearest)) return true;
    }
    for (; size - at >= Bytes::kWidth; at += Bytes::kWidth) {
        if (withinLeadLimit<Latin>(leadDistance<Latin>(Bytes::load(begin + at)))) return true;
    }
    for (; at != size; ++at) {
        const auto byte = static_cast<unsigned char>(begin[at]);
        if (byte == 0xC4 || byte == 0xE2 || (Latin && (byte == 0xC5 || byte == 0xE1))) return true;
    }
    return false;
}

inline bool hasFoldLead(const char* begin, std::size_t size, bool latin) {
    return latin ? hasFoldLeadIn<true>(begin, size) : hasFoldLeadIn<false>(begin, size);
}

// The offset of the first LF at or after `from` (from < size): there is one,
// unless a mapped list changed since it was indexed; then the last byte.
inline std::size_t nextLineFeed(const char* bytes, std::size_t from, std::size_t size) {
    for (; size - from >= Bytes::kWidth; from += Bytes::kWidth) {
        const Bytes::Mask found = (Bytes::load(bytes + from) == Bytes::splat('\n')).mask();
        if (found != 0) return from + trailingZeros(found);
    }
    while (from != size - 1 && bytes[from] != '\n') ++from;
    return from;
}

// The first offset in [from, size) whose byte differs from the byte
// `period` before it, or `size`: the bytes compared with themselves
// shifted, 64 per step.
inline std::size_t firstBreak(const char* bytes, std::size_t from, std::size_t size,
                              std::size_t period) {
    for (; size - from >= 64; from += 64) {
        const std::uint64_t same =
            Block::load(bytes + from).equalMask(Block::load(bytes + from - period));
        if (same != ~std::uint64_t{0}) return from + trailingZeros(~same);
    }
    while (from != size && bytes[from] == bytes[from - period]) ++from;
    return from;
}

// A run of copies of a line (with its LF) is a stretch of bytes that repeats
// with the line's length: it lasts up to the first byte that differs from
// the byte that length before it, and the line holding that break is the
// first that differs from the one before (a longer line has no LF where its
// predecessor has one, a shorter one has it earlier). Lines are copied 64
// bytes at a time where there is room, longer ones inline too: a call per
// line of a few dozen bytes cost more than the copy.
inline std::size_t collapseRuns(const char* bytes, std::size_t size, std::size_t lines,
                                std::uint32_t* runStarts, char* out, std::size_t& copied) {
    constexpr std::size_t kCopy = 64;
    std::size_t runs = 0;
    std::size_t start = 0;
    char* const first = out;
    for (std::size_t line = 0; line < lines && start < size;) {
        const std::size_t period = nextLineFeed(bytes, start, size) + 1 - start;
        // Whole copies before the break, divided in 32 bits where they fit: a
        // loop that counted them missed its exit nearly every run (W1 0.96 x).
        const std::size_t breakAt = firstBreak(bytes, start + period, size, period);
        const std::size_t span = breakAt - start;
        std::size_t copies = span <= UINT32_MAX ? static_cast<std::uint32_t>(span) /
                                                      static_cast<std::uint32_t>(period)
                                                : span / period;
        copies = std::min(copies, lines - line);
        runStarts[runs++] = static_cast<std::uint32_t>(line);
        if (period <= kCopy && start + kCopy <= size) {
            std::memcpy(out, bytes + start, kCopy);
        } else {
            textio::copyShort(out, bytes + start, period);
        }
        out += period;
        line += copies;
        start += copies * period;
    }
    copied = static_cast<std::size_t>(out - first);
    return runs;
}

extern const BlockKernels kBlockKernels;
const BlockKernels kBlockKernels = {hasFoldLead, collapseRuns};
