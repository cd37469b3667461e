// Folding for case-blind matching: every character is lowercased (Unicode
// simple lowercase mapping) and then passed through the FoldTable. Accents
// stay: é and e remain different letters.
//
// A folded text is kept as UTF-8. Escape units (ill-formed input bytes) are
// written in the three-byte form of their surrogate code point (ED B2 80 to
// ED B3 BF), which no well-formed character encodes to; the encoding stays
// self-synchronizing, so byte containment of two folded texts is exactly
// containment of their character sequences.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "search/hit_lines.h"

namespace filter {

char32_t foldUnit(char32_t unit);

// A folded text is at most this many times as long as the raw text (an
// ill-formed byte becomes a three-byte escape form).
inline constexpr std::size_t kMaxFoldGrowth = 3;

// Writes the folded form of the raw text to `out`, which must have room for
// kMaxFoldGrowth * text.size() bytes; returns the end of what was written.
char* foldInto(std::string_view text, char* out);

// Appends the folded form of the raw text bytes to `out`.
void appendFolded(std::string_view text, std::string& out);

std::string foldText(std::string_view text);

// This folding, as the search takes it for the blocks it must fold.
search::Folding blockFolding();

}  // namespace filter
