#include "frontend/list_files.h"

#include <windows.h>

#include <algorithm>

namespace {

bool writeAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool writeList(const std::wstring& path, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += '\n';
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(file, bytes);
    return CloseHandle(file) != 0 && written;
}

}  // namespace

bool writeLists(const std::wstring& folder, const std::string& treeName,
                const std::vector<std::string>& terms, const std::vector<std::string>& folders,
                const std::vector<std::string>& names) {
    return writeList(folder + L"\\searchTreeName.txt", {treeName}) &&
           writeList(folder + L"\\searchTermsList.txt", terms) &&
           writeList(folder + L"\\foldersScratch.txt", folders) &&
           writeList(folder + L"\\filesScratch.txt", names);
}
