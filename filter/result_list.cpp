#include "filter/result_list.h"

#include <algorithm>

#include "filter/search_filter.h"
#include "textio/short_bytes.h"

namespace filter {
namespace {

// Most runs keep little and start with a small piece (of the shared region
// while it has room); past that the pieces go to a large buffer's size and
// double from there, up to kLargestPiece. A piece's pages are brought in as
// it is handed out, and where each 4 KiB page costs a fault of its own (the
// .exe under Wine: 0.7 ms a MiB on one VM), the unused part of a last piece
// twice the size of the one before cost up to a millisecond.
constexpr std::size_t kFirstCapacity = 16 * 1024;
constexpr std::size_t kLargestPiece = 512 * 1024;

char* put(char* out, std::string_view text) {
    textio::copyShort(out, text.data(), text.size());
    return out + text.size();
}

}  // namespace

void appendLocation(ResultList& results, std::string_view folder, std::string_view file) {
    const std::size_t needed = folder.size() + file.size() + 2;
    const std::size_t last =
        results.pieces.empty() ? 0 : textio::largeBufferSize(results.pieces.back().bytes);
    // A location never spans two pieces, so a piece may end short.
    if (results.pieces.empty() || needed > last - results.pieces.back().size) {
        const std::size_t next = last == 0 ? kFirstCapacity : textio::kLargeBufferMinimum;
        // What is left of the shared region rather than fresh pages, where it holds one more.
        const std::size_t grown = std::min(2 * last, kLargestPiece);
        results.pieces.push_back(
            {textio::allocateLargeBuffer(std::max({needed, grown, next}), std::max(needed, next))});
    }
    ResultPiece& piece = results.pieces.back();
    char* out = piece.bytes.get() + piece.size;
    out = put(out, folder);
    *out++ = '\\';
    out = put(out, file);
    *out++ = '\n';
    piece.size += needed;
}

std::vector<std::string_view> resultPieces(const ResultList& results) {
    std::vector<std::string_view> pieces;
    for (const ResultPiece& piece : results.pieces)
        pieces.emplace_back(piece.bytes.get(), piece.size);
    return pieces;
}

}  // namespace filter
