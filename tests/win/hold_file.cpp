// hold_file: a helper of the Windows sharing tests. It plays "another process"
// that has one of the filter's files open.
//
//   hold_file NAME ACCESS SHARE MILLISECONDS
//       Opens the existing file NAME with ACCESS (r, w or rw) and sharing
//       SHARE (any of r, w, d, or - for none), creates the marker file
//       NAME.held once it has it, keeps it open for MILLISECONDS, then closes
//       it and removes the marker. (A marker rather than a line on stdout:
//       the caller may only see this program's output after it has ended.)
//   hold_file --readonly NAME
//       Sets the read-only attribute of NAME.
//
// Exit code 0 on success, 2 when the file cannot be opened, 1 on bad usage.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fputs(
        "usage: hold_file NAME ACCESS SHARE MILLISECONDS\n"
        "       hold_file --readonly NAME\n",
        stderr);
    return 1;
}

bool parseFlags(const char* text, DWORD read, DWORD write, DWORD remove, DWORD& flags) {
    flags = 0;
    if (std::strcmp(text, "-") == 0) return true;
    for (const char* c = text; *c != '\0'; ++c) {
        switch (*c) {
            case 'r':
                flags |= read;
                break;
            case 'w':
                flags |= write;
                break;
            case 'd':
                if (remove == 0) return false;
                flags |= remove;
                break;
            default:
                return false;
        }
    }
    return flags != 0;
}

int setReadOnly(const char* name) {
    const DWORD attributes = ::GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        !::SetFileAttributesA(name, attributes | FILE_ATTRIBUTE_READONLY)) {
        std::fprintf(stderr, "hold_file: cannot make %s read-only (error %lu)\n", name,
                     ::GetLastError());
        return 2;
    }
    return 0;
}

int hold(const char* name, DWORD access, DWORD share, DWORD milliseconds) {
    const HANDLE file =
        ::CreateFileA(name, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open %s (error %lu)\n", name, ::GetLastError());
        return 2;
    }
    const std::string marker = std::string(name) + ".held";
    const HANDLE signal = ::CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (signal == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot create %s (error %lu)\n", marker.c_str(),
                     ::GetLastError());
        ::CloseHandle(file);
        return 2;
    }
    ::CloseHandle(signal);
    ::Sleep(milliseconds);
    ::CloseHandle(file);
    ::DeleteFileA(marker.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--readonly") == 0) return setReadOnly(argv[2]);
    if (argc != 5) return usage();
    DWORD access = 0;
    DWORD share = 0;
    if (!parseFlags(argv[2], GENERIC_READ, GENERIC_WRITE, 0, access) ||
        !parseFlags(argv[3], FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_DELETE, share)) {
        return usage();
    }
    char* end = nullptr;
    const unsigned long milliseconds = std::strtoul(argv[4], &end, 10);
    if (end == argv[4] || *end != '\0') return usage();
    return hold(argv[1], access, share, static_cast<DWORD>(milliseconds));
}
