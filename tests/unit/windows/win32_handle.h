// Test helpers for the Win32 backend: "another program" opening a file with a
// chosen access and sharing, straight through the system, and wide names.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "textio/os_file.h"

namespace textio::win32_test {

// A Win32 handle closed when it goes away.
class Win32Handle {
  public:
    explicit Win32Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    Win32Handle(Win32Handle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    Win32Handle(const Win32Handle&) = delete;
    Win32Handle& operator=(const Win32Handle&) = delete;
    ~Win32Handle() {
        if (valid()) ::CloseHandle(handle_);
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

// The names of the tests are ASCII; the program's names are UTF-8.
inline std::wstring wide(const std::string& utf8) {
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(), length);
    text.resize(text.size() - 1);
    return text;
}

// Opens an existing file as another program would; the handle is invalid
// when the system refused, and `error` says why.
inline Win32Handle openOther(const std::string& name, DWORD access, DWORD share,
                             DWORD* error = nullptr) {
    const HANDLE handle = ::CreateFileW(wide(name).c_str(), access, share, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (error != nullptr) *error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    return Win32Handle(handle);
}

// A backend handle closed when it goes away.
class BackendFile {
  public:
    BackendFile() = default;
    BackendFile(const BackendFile&) = delete;
    BackendFile& operator=(const BackendFile&) = delete;
    ~BackendFile() { close(); }
    os::Handle& handle() { return handle_; }
    void close() {
        if (handle_ != os::kNoHandle) os::closeHandle(handle_);
        handle_ = os::kNoHandle;
    }

  private:
    os::Handle handle_ = os::kNoHandle;
};

}  // namespace textio::win32_test
