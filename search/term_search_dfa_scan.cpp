// Scanning with the term automaton. One step is a dependent load, so a lone
// scan waits on memory latency; the text is therefore cut into windows of
// several consecutive spans scanned in lockstep. Each stream starts `warmUp`
// bytes before its span, from the root, which puts it in the exact state by
// the time its own bytes begin.
#include <algorithm>

#include "search/term_search_engines.h"

namespace search {
namespace {

constexpr unsigned kStreams = 6;
constexpr std::size_t kCheckEvery = 8;  // steps between looks for a special state

// Where a scan stands: a state with a row, or a trie node without one.
struct Cursor {
    std::uint32_t id = 0;
    std::uint32_t node = 0;  // meaningful only when id == deepId
};

// Scans text[from, to) from `cursor`; returns the index of the last byte of
// the first occurrence, or kNoOccurrence with `cursor` moved to `to`.
std::size_t scanAlone(const TermDfa& dfa, const unsigned char* text, std::size_t from,
                      std::size_t to, Cursor& cursor) {
    const std::uint32_t* next = dfa.next->data();
    const std::uint8_t* cls = dfa.byteClass.data();
    const std::uint32_t special = dfa.matchId;
    std::uint32_t id = cursor.id;
    std::size_t i = from;
    while (i < to) {
        if (id == dfa.deepId) {
            std::uint32_t node = cursor.node;
            do {
                node = trieStep(dfa.nodes, node, trieByte(dfa, text[i]));
                id = dfa.nodes[node].stateId;
                if (id == dfa.matchId) return i;
                ++i;
            } while (id == dfa.deepId && i < to);
            cursor.node = node;
            continue;
        }
        while (to - i >= kCheckEvery) {
            std::uint32_t s = id;
            for (std::size_t k = 0; k < kCheckEvery; ++k) s = next[s + cls[text[i + k]]];
            if (s >= special) break;
            id = s;
            i += kCheckEvery;
        }
        // A special state lies within the next kCheckEvery bytes, or the text ends there.
        const std::size_t stop = std::min(to, i + kCheckEvery);
        for (; i < stop; ++i) {
            const std::uint32_t s = next[id + cls[text[i]]];
            if (s >= special) {
                if (s == dfa.matchId) return i;
                cursor.node =
                    trieStep(dfa.nodes, dfa.rowNode[id / dfa.classCount], trieByte(dfa, text[i]));
                id = dfa.deepId;
                ++i;
                break;
            }
            id = s;
        }
    }
    cursor.id = id;
    return kNoOccurrence;
}

// Steps streams 0..A-1 together over indexes [j, end), stream a reading
// from[a * Span + j], in groups of kCheckEvery, and stops before the first
// group after which some stream is in a special state. Returns the index
// reached. Span is a constant so that every stream's byte is one address
// off the same pointer.
template <unsigned A, std::size_t Span>
std::size_t lockstep(const TermDfa& dfa, const unsigned char* from, std::uint32_t* states,
                     std::size_t j, std::size_t end) {
    const std::uint32_t* next = dfa.next->data();
    const std::uint8_t* cls = dfa.byteClass.data();
    const std::uint32_t special = dfa.matchId;
    std::uint32_t s[A];
    for (unsigned a = 0; a < A; ++a) s[a] = states[a];
    while (end - j >= kCheckEvery) {
        const unsigned char* at = from + j;
        std::uint32_t x[A];
        for (unsigned a = 0; a < A; ++a) x[a] = s[a];
        for (std::size_t k = 0; k < kCheckEvery; ++k) {
            for (unsigned a = 0; a < A; ++a) x[a] = next[x[a] + cls[at[a * Span + k]]];
        }
        bool hit = false;
        for (unsigned a = 0; a < A; ++a) hit |= x[a] >= special;
        if (hit) break;
        for (unsigned a = 0; a < A; ++a) s[a] = x[a];
        j += kCheckEvery;
    }
    for (unsigned a = 0; a < A; ++a) states[a] = s[a];
    return j;
}

template <std::size_t Span, unsigned A = kStreams>
std::size_t lockstepActive(unsigned active, const TermDfa& dfa, const unsigned char* from,
                           std::uint32_t* states, std::size_t j, std::size_t end) {
    if constexpr (A == 1) {
        return lockstep<1, Span>(dfa, from, states, j, end);
    } else {
        if (active == A) return lockstep<A, Span>(dfa, from, states, j, end);
        return lockstepActive<Span, A - 1>(active, dfa, from, states, j, end);
    }
}

// One window: stream a owns the occurrences ending in
// [base + a*Span, base + (a+1)*Span) and reads from warmUp bytes before
// that. Since Span >= warmUp, a stream reads only bytes after the window's
// start and before its own span's end, and every occurrence it meets is
// real; so the lowest stream that meets one meets the first. The window's
// start must be at least warmUp bytes into the text, and no occurrence may
// end before it. Returns the first occurrence, or kNoOccurrence with
// `carry` set to the state at the window's end.
template <std::size_t Span>
std::size_t scanWindow(const TermDfa& dfa, const unsigned char* text, std::size_t base,
                       Cursor& carry) {
    const std::size_t length = Span + dfa.warmUp;
    const unsigned char* from = text + base - dfa.warmUp;
    std::uint32_t states[kStreams];
    std::uint32_t nodes[kStreams] = {};
    std::fill_n(states, kStreams, dfa.rootId);
    unsigned active = kStreams;
    std::size_t best = kNoOccurrence;
    bool alone = false;
    std::size_t j = 0;
    while (j < length && active > 0 && !alone) {
        j = lockstepActive<Span>(active, dfa, from, states, j, length);
        if (j == length) break;
        // Settle one group stream by stream.
        const std::size_t groupEnd = std::min(j + kCheckEvery, length);
        for (unsigned a = 0; a < active; ++a) {
            Cursor cursor{states[a], 0};
            const std::size_t hit = scanAlone(dfa, from + a * Span, j, groupEnd, cursor);
            if (hit != kNoOccurrence) {
                best = base - dfa.warmUp + a * Span + hit;
                active = a;
                break;
            }
            states[a] = cursor.id;
            nodes[a] = cursor.node;
            alone = alone || cursor.id == dfa.deepId;
        }
        j = groupEnd;
    }
    if (alone) {
        // Some stream is in a state without a row: finish the streams one by one.
        for (unsigned a = 0; a < active; ++a) {
            Cursor cursor{states[a], nodes[a]};
            const std::size_t hit = scanAlone(dfa, from + a * Span, j, length, cursor);
            if (hit != kNoOccurrence) return base - dfa.warmUp + a * Span + hit;
            if (a == kStreams - 1) carry = cursor;
        }
        return best;
    }
    if (best == kNoOccurrence) carry = Cursor{states[kStreams - 1], 0};
    return best;
}

// Scans [at, size) window by window, then the rest alone from the state
// the last window ends in (or `cursor`, exact at `at`, when there is none).
template <std::size_t Span>
std::size_t scanWindows(const TermDfa& dfa, const unsigned char* text, std::size_t at,
                        std::size_t size, Cursor& cursor) {
    constexpr std::size_t kWindow = kStreams * Span;
    while (size - at >= kWindow) {
        const std::size_t hit = scanWindow<Span>(dfa, text, at, cursor);
        if (hit != kNoOccurrence) return hit;
        at += kWindow;
    }
    return scanAlone(dfa, text, at, size, cursor);
}

}  // namespace

std::uint32_t termDfaSpan(std::uint32_t warmUp) {
    // A span four times the warm-up keeps the bytes read twice to a quarter.
    if (warmUp <= 32) return 128;
    if (warmUp <= 64) return 256;
    if (warmUp <= 512) return 2048;
    return 0;
}

std::size_t findWithDfa(const TermDfa& dfa, const unsigned char* text, std::size_t size) {
    // The first warmUp bytes alone: windows need that many bytes before them.
    Cursor cursor{dfa.rootId, 0};
    const std::size_t head = std::min<std::size_t>(size, dfa.warmUp);
    const std::size_t hit = scanAlone(dfa, text, 0, head, cursor);
    if (hit != kNoOccurrence) return hit;
    if (dfa.span < dfa.warmUp) return scanAlone(dfa, text, head, size, cursor);
    switch (dfa.span) {
        case 32:
            return scanWindows<32>(dfa, text, head, size, cursor);
        case 128:
            return scanWindows<128>(dfa, text, head, size, cursor);
        case 256:
            return scanWindows<256>(dfa, text, head, size, cursor);
        case 2048:
            return scanWindows<2048>(dfa, text, head, size, cursor);
        default:
            return scanAlone(dfa, text, head, size, cursor);
    }
}

}  // namespace search
