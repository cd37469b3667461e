// The lists of a run: loading one from its file, and taking its lines.
#pragma once

#include <cstdint>
#include <string_view>

#include "filter/search_filter.h"

namespace filter {

ScratchList loadList(const char* fileName);
void appendLine(ScratchList& list, std::string_view line);

// The k-th LF-separated field (k from 1) of a joined text; empty for k < 1 or
// past the end.
std::string_view fieldAt(std::string_view text, std::int32_t k);

// Walks a joined text field by field: the loops read every list in order, and
// asking fieldAt for each position would rescan the text from its start.
// Past the last field it keeps returning the empty text, like fieldAt.
struct FieldCursor {
    std::string_view rest;
};
std::string_view nextField(FieldCursor& cursor);

}  // namespace filter
