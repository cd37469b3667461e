#include "filter/fold.h"

#include "filter/fold_kernels.h"
#include "filter/lower_table.h"
#include "filter/search_filter.h"
#include "textio/utf8.h"

namespace filter {

char32_t foldUnit(char32_t unit) {
    if (textio::isEscapeUnit(unit)) return unit;  // raw bytes have no case
    char32_t lower = simpleLowercase(unit);
    for (const FoldPair& pair : kFoldTable) {
        if (lower == pair.upper) lower = pair.lower;
    }
    return lower;
}

char* foldInto(std::string_view text, char* out) {
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    return foldKernels().foldInto(begin, begin + text.size(), out);
}

void appendFolded(std::string_view text, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + kMaxFoldGrowth * text.size());
    char* end = foldInto(text, out.data() + start);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string foldText(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    appendFolded(text, folded);
    return folded;
}

search::Folding blockFolding() {
    return {foldInto, kMaxFoldGrowth};
}

}  // namespace filter
