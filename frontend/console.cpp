#include "frontend/console.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "frontend/utf8.h"

namespace {

// Written in pieces: consoles refuse very long writes.
constexpr std::size_t kPiece = 16384;

void writeTo(DWORD which, std::string_view utf8) {
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring text = fromUtf8(utf8);
        for (std::size_t done = 0; done < text.size(); done += kPiece) {
            const DWORD piece = static_cast<DWORD>(std::min(kPiece, text.size() - done));
            DWORD written = 0;
            if (!WriteConsoleW(out, text.data() + done, piece, &written, nullptr)) return;
        }
        return;
    }
    while (!utf8.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min(kPiece, utf8.size()));
        DWORD written = 0;
        if (!WriteFile(out, utf8.data(), piece, &written, nullptr) || written == 0) return;
        utf8.remove_prefix(written);
    }
}

}  // namespace

void writeOut(std::string_view utf8) {
    writeTo(STD_OUTPUT_HANDLE, utf8);
}
void writeErr(std::string_view utf8) {
    writeTo(STD_ERROR_HANDLE, utf8);
}
