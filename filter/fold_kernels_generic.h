// The fold kernel (fold_kernels.h) written once over the vector `Bytes` of
// an instruction set. fold_kernels_x86.cpp compiles this for each set inside
// its namespace and target region, after the includes it needs.

// Folds the Bytes::kWidth bytes at p into out when they are ASCII and whole
// two-byte Latin-1 letters (lead byte C3), the bulk of accented text, and
// returns kWidth; otherwise folds only the ASCII bytes before the first
// other one and returns how many. Both keep every byte's length.
inline std::size_t foldStep(const unsigned char* p, char* out) {
    constexpr Bytes::Mask kLastByte = Bytes::Mask{1} << (Bytes::kWidth - 1);
    const Bytes bytes = Bytes::load(p);
    // Signed compares: bytes 0x80..0xFF are below every ASCII byte.
    const Bytes asciiUpper =
        bytes.greaterSigned(Bytes::splat('A' - 1)) & Bytes::splat('Z' + 1).greaterSigned(bytes);
    Bytes folded = bytes | (asciiUpper & Bytes::splat(0x20));
    const Bytes::Mask high = bytes.mask();
    if (high == 0) {
        folded.store(out);
        return Bytes::kWidth;
    }
    const Bytes isLead = bytes == Bytes::splat(0xC3);
    const Bytes::Mask lead = isLead.mask();
    // 0x80..0xBF are the bytes below 0xC0 as signed numbers.
    const Bytes::Mask continuation = Bytes::splat(0xC0).greaterSigned(bytes).mask();
    const bool latinPairsOnly = (lead & kLastByte) == 0 && ((lead << 1) & ~continuation) == 0 &&
                                high == (lead | (lead << 1));
    if (latinPairsOnly) {
        // After a C3 lead, 0x80..0x9E but 0x97 are capitals: set bit 5. The
        // step's first byte is no continuation here, so it needs no lead
        // before the step.
        const Bytes capital = (isLead.shiftedUp() & Bytes::splat(0x9F).greaterSigned(bytes))
                                  .andNot(bytes == Bytes::splat(0x97));
        folded = folded | (capital & Bytes::splat(0x20));
        folded.store(out);
        return Bytes::kWidth;
    }
    folded.store(out);
    return trailingZeros(high);
}

inline char* foldInto(const unsigned char* p, const unsigned char* end, char* out) {
    while (p != end) {
        // `out` has room for three bytes per byte left, so storing a whole
        // step is safe even when only part of it counts.
        if (static_cast<std::size_t>(end - p) >= Bytes::kWidth) {
            const std::size_t folded = foldStep(p, out);
            p += folded;
            out += folded;
            if (folded == Bytes::kWidth) continue;
        }
        if (p != end) foldCharacter(p, end, out);
    }
    return out;
}

extern const FoldKernels kFoldKernels;
const FoldKernels kFoldKernels = {foldInto};
