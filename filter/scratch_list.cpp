#include "filter/scratch_list.h"

#include <cstdint>
#include <limits>

#include "filter/search_filter.h"
#include "textio/text_file.h"

namespace filter {

void appendLine(ScratchList& list, std::string_view line) {
    list.text.append(line);
    list.text.push_back('\n');
    ++list.count;
}

ScratchList loadList(const char* fileName) {
    ScratchList list;
    textio::TextFile file;
    if (textio::openRead(file, fileName) != textio::OpenStatus::ok) return list;
    // The joined text is never longer than the file plus one LF, so one
    // allocation holds it (CR LF shrinks to LF, a missing last LF is added).
    std::uint64_t length = 0;
    if (textio::fileLength(file, length) && length < list.text.max_size() - 1) {
        list.text.reserve(static_cast<std::size_t>(length) + 1);
    }
    // A count stays a 32-bit signed number: lines past its range are not read.
    list.count = textio::appendLines(file, list.text, std::numeric_limits<std::int32_t>::max());
    return list;
}

std::string_view nextField(FieldCursor& cursor) {
    const std::size_t end = cursor.rest.find('\n');
    if (end == std::string_view::npos) {
        const std::string_view last = cursor.rest;
        cursor.rest = {};
        return last;
    }
    const std::string_view field = cursor.rest.substr(0, end);
    cursor.rest.remove_prefix(end + 1);
    return field;
}

std::string_view fieldAt(std::string_view text, std::int32_t k) {
    if (k < 1) return {};
    FieldCursor cursor{text};
    for (std::int32_t skip = k - 1; skip > 0 && !cursor.rest.empty(); --skip) nextField(cursor);
    return nextField(cursor);
}

}  // namespace filter
