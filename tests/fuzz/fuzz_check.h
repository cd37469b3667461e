// Checks for the fuzz targets: a failed check prints what was expected and
// what came out, then aborts, which libFuzzer reports as a finding and saves
// the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "simd/dispatch.h"

namespace fuzzcheck {

[[noreturn]] inline void fail(const char* file, int line, const char* condition,
                              const std::string& detail) {
    std::fprintf(stderr, "\n%s:%d: check failed: %s\n%s\n", file, line, condition, detail.c_str());
    std::abort();
}

// Long texts show their first and last items only (the saved input has them all).
inline constexpr std::size_t kShownItems = 48;

template <typename Text, typename Put>
std::string listItems(Text text, Put put) {
    std::string out = "[";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.size() > 3 * kShownItems && i == kShownItems) {
            out += " ... (" + std::to_string(text.size()) + " in all) ...";
            i = text.size() - kShownItems;
        }
        if (i > 0) out += ' ';
        put(text[i], out);
    }
    return out + "]";
}

// The bytes as hex, so that CR, NUL and ill-formed bytes stay visible.
inline std::string hex(std::string_view bytes) {
    return listItems(bytes, [](char c, std::string& out) {
        static constexpr char kDigits[] = "0123456789abcdef";
        const auto byte = static_cast<unsigned char>(c);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    });
}

inline std::string hex(std::u32string_view units) {
    return listItems(units, [](char32_t unit, std::string& out) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(unit));
        out += code;
    });
}

// The instruction sets this processor runs, narrowest first: a target that
// checks every kernel variant chooses each in turn (simd::chooseIsa) and
// ends with the last, the processor's own.
inline std::vector<simd::Isa> runnableIsas() {
    std::vector<simd::Isa> isas;
    for (const simd::Isa isa : simd::kIsas) {
        if (simd::isaRunnable(isa)) isas.push_back(isa);
    }
    return isas;
}

}  // namespace fuzzcheck

// The detail is built only when the check fails.
#define FUZZ_CHECK(condition, detail)                                                \
    do {                                                                             \
        if (!(condition)) fuzzcheck::fail(__FILE__, __LINE__, #condition, (detail)); \
    } while (0)
