// Between the UTF-16 texts of Windows and the UTF-8 bytes of the lists.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The UTF-8 form of text, or nothing when text is not valid UTF-16 (a lone surrogate).
std::optional<std::string> toUtf8(std::wstring_view text);

// The UTF-16 form of UTF-8 bytes; ill-formed bytes become U+FFFD.
std::wstring fromUtf8(std::string_view bytes);
