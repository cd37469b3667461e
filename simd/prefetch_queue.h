// Bytes that a run will read next for the first time, asked of memory a few
// cache lines at a time by scans that compute more than they load. The pass
// that first reads a mapped list's bytes waits on memory; with its bytes
// asked for while the search of the block before it computes, the two
// overlap: W1 0.93 x, W3 0.93 x (AVX2, AMD Zen 3). Teddy's scan asks; the
// pair filter's loads are most of its own work, and the automaton's scan
// is rarely the run's.
#pragma once

#include <cstddef>

namespace simd {

struct PrefetchQueue {
    // Ranges still to ask for, in order: [next[r], end[r]); an empty one is
    // done. The asking may run past a range's end, which is harmless.
    static constexpr std::size_t kRanges = 2;
    const char* next[kRanges] = {};
    const char* end[kRanges] = {};
};

inline void setPrefetchRange(PrefetchQueue& queue, std::size_t range, const char* begin,
                             std::size_t size) {
    queue.next[range] = begin;
    queue.end[range] = begin + size;
}

// A scan's hold on a queue, taken at its start and given back at its end, so
// that its loop keeps the range it works on in registers.
class PrefetchCursor {
  public:
    explicit PrefetchCursor(PrefetchQueue& queue) : queue_(queue) { moveTo(0); }
    PrefetchCursor(const PrefetchCursor&) = delete;
    PrefetchCursor& operator=(const PrefetchCursor&) = delete;
    ~PrefetchCursor() { queue_.next[range_] = next_; }

    // Asks for the next `Lines` cache lines of the queue. Once the queue is
    // done, a compare and a branch that the processor predicts.
    template <unsigned Lines>
    void fetch() {
        if (next_ < end_) {
            for (unsigned line = 0; line < Lines; ++line) __builtin_prefetch(next_ + 64 * line);
            next_ += 64 * Lines;
        } else if (range_ + 1 < PrefetchQueue::kRanges) {
            queue_.next[range_] = next_;
            moveTo(range_ + 1);
        }
    }

  private:
    void moveTo(std::size_t range) {
        range_ = range;
        next_ = queue_.next[range];
        end_ = queue_.end[range];
    }

    PrefetchQueue& queue_;
    std::size_t range_ = 0;
    const char* next_ = nullptr;
    const char* end_ = nullptr;
};

}  // namespace simd
