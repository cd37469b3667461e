// Simple (one-to-one) Unicode lowercase mapping; the table behind it is generated.
#pragma once

namespace filter {

// The lowercase partner of codePoint, or codePoint itself when it has none
// (also for surrogates and for values beyond U+10FFFF).
char32_t simpleLowercase(char32_t codePoint);

}  // namespace filter
