// 64 bytes as whole vectors, with one bit per byte in its masks: kernels
// that look at a block of 64 bytes at a time read the same on every
// instruction set. Written once, included by each vector header inside its
// namespace and target region, after it has defined `Bytes`.

// Masks held in machine words: on a 32-bit machine a 64-bit mask is two
// words, and every shift, count and carry on it costs twice or calls the
// runtime, so a block's mask is taken a word at a time where that matters.
using MaskWord = std::size_t;
inline constexpr std::size_t kMaskWordBits = 8 * sizeof(MaskWord);

struct Block {
    static constexpr std::size_t kParts = 64 / Bytes::kWidth;
    static constexpr std::size_t kMaskWords = 64 / kMaskWordBits;
    Bytes part[kParts];

    static Block load(const void* at) {
        Block block;
        for (std::size_t i = 0; i < kParts; ++i) {
            block.part[i] = Bytes::load(static_cast<const char*>(at) + i * Bytes::kWidth);
        }
        return block;
    }

    // Bit i is set where byte i equals `other`: the parts' compares go
    // straight to bits, which on AVX-512 spares a vector between.
    std::uint64_t equalMask(Bytes other) const {
        return bitsOf([&](std::size_t i) { return part[i].equalMask(other); });
    }

    // Bit i is set where byte i equals byte i of `other`.
    std::uint64_t equalMask(const Block& other) const {
        return bitsOf([&](std::size_t i) { return part[i].equalMask(other.part[i]); });
    }

    // The number of bytes equal to `other`, counted a machine word of mask
    // at a time.
    std::size_t countEqual(Bytes other) const;

  private:
    // partMask(i) gives the bits of part i.
    template <class PartMask>
    std::uint64_t bitsOf(PartMask partMask) const {
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < kParts; ++i) {
            bits |= static_cast<std::uint64_t>(partMask(i)) << (i * Bytes::kWidth);
        }
        return bits;
    }
};

// The number of set bits.
inline std::size_t popcount(std::uint32_t bits) {
    if constexpr (kHasPopcount) {
        return static_cast<std::size_t>(__builtin_popcount(bits));
    } else {
        bits = bits - ((bits >> 1) & 0x55555555u);
        bits = (bits & 0x33333333u) + ((bits >> 2) & 0x33333333u);
        return (((bits + (bits >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24;
    }
}

inline std::size_t popcount(std::uint64_t bits) {
    if constexpr (kHasPopcount && sizeof(MaskWord) == 8) {
        return static_cast<std::size_t>(__builtin_popcountll(bits));
    } else {
        return popcount(static_cast<std::uint32_t>(bits)) +
               popcount(static_cast<std::uint32_t>(bits >> 32));
    }
}

// The count of equal bytes of two vectors wider than a machine word's mask
// (AVX-512 in a 32-bit build), whose header defines it: taken out of its
// mask register whole, the 64-bit mask went through memory, where each
// half's mask goes straight to a register (-m32: W4 0.98 x, W1 0.985 x).
// Only named where the vectors are that wide.
inline std::size_t countEqualByHalves(Bytes a, Bytes b);

inline std::size_t Block::countEqual(Bytes other) const {
    if constexpr (Bytes::kWidth > kMaskWordBits) {
        return countEqualByHalves(part[0], other);
    } else {
        constexpr std::size_t kPartsPerWord = kMaskWordBits / Bytes::kWidth;
        std::size_t count = 0;
        for (std::size_t word = 0; word < kMaskWords; ++word) {
            MaskWord bits = 0;
            for (std::size_t i = 0; i < kPartsPerWord; ++i) {
                bits |= static_cast<MaskWord>(part[word * kPartsPerWord + i].equalMask(other))
                        << (i * Bytes::kWidth);
            }
            count += popcount(bits);
        }
        return count;
    }
}

// Keeps `value` whole in a register here, for 32-bit builds and their eight
// vector registers. Left alone, the compiler regroups a chain of ANDs into a
// tree, for parallelism, whose partial results then go to the stack and back
// at every step; and it loads a vector again for each use instead of holding
// it, which leaves a loop waiting on loads (a 32-bit build's W1 run took
// 1.1 to 1.17 x the time for the first, 1.08 x for the second, in Teddy).
inline void keepInRegister(Bytes& value) {
    if constexpr (sizeof(void*) == 4) asm("" : "+x"(value.v));
}

// The index of the lowest set bit (bits != 0); a 64-bit one by halves on a
// 32-bit machine (simd/mask_bits.h).
inline std::size_t trailingZeros(std::uint32_t bits) {
    return static_cast<std::size_t>(__builtin_ctz(bits));
}

inline std::size_t trailingZeros(std::uint64_t bits) {
    return lowestSetBit(bits);
}
