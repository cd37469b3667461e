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
    const std::size_t needed = results.size + folder.size() + file.size() + 2;
    const std::size_t capacity = textio::largeBufferSize(results.bytes);
    if (needed > capacity) {
        const std::size_t next = capacity == 0 ? kFirstCapacity : textio::kLargeBufferMinimum;
        textio::LargeBuffer bigger =
            textio::allocateLargeBuffer(std::max({needed, 2 * capacity, next}));
        put(bigger.get(), resultText(results));
        results.bytes = std::move(bigger);
    }
    char* out = results.bytes.get() + results.size;
    out = put(out, folder);
    *out++ = '\\';
    out = put(out, file);
    *out++ = '\n';
    results.size = needed;
}

std::string_view resultText(const ResultList& results) {
    return {results.bytes.get(), results.size};
}

}  // namespace filter
