#include "filter/result_list.h"

#include <algorithm>
#include <cstring>

#include "filter/search_filter.h"

namespace filter {
namespace {

// Most runs keep little and start in a few heap pages; past those the
// buffer goes straight to a size that is given large pages (each fresh heap
// page costs a page fault), and doubles from there.
constexpr std::size_t kFirstCapacity = 16 * 1024;

char* put(char* out, std::string_view text) {
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

}  // namespace

void appendLocation(ResultList& results, std::string_view folder, std::string_view file) {
    const std::size_t needed = folder.size() + file.size() + 2;
    const std::size_t room =
        results.pieces.empty() ? 0
                               : textio::largeBufferSize(results.pieces.back()) - results.lastSize;
    if (needed > room) {
        // A location never spans two pieces, so the last one may end short.
        const std::size_t last =
            results.pieces.empty() ? 0 : textio::largeBufferSize(results.pieces.back());
        const std::size_t next = last == 0 ? kFirstCapacity : textio::kLargeBufferMinimum;
        textio::LargeBuffer piece = textio::allocateLargeBuffer(std::max({needed, 2 * last, next}));
        if (!results.pieces.empty()) results.sizes.push_back(results.lastSize);
        results.pieces.push_back(std::move(piece));
        results.lastSize = 0;
    }
    char* out = results.pieces.back().get() + results.lastSize;
    out = put(out, folder);
    *out++ = '\\';
    out = put(out, file);
    *out++ = '\n';
    results.lastSize += needed;
}

std::vector<std::string_view> resultPieces(const ResultList& results) {
    std::vector<std::string_view> pieces;
    for (std::size_t i = 0; i < results.pieces.size(); ++i) {
        const std::size_t used = i < results.sizes.size() ? results.sizes[i] : results.lastSize;
        pieces.emplace_back(results.pieces[i].get(), used);
    }
    return pieces;
}

}  // namespace filter
