#include "frontend/scratch_folder.h"

#include <windows.h>

namespace {

constexpr const wchar_t* kRunFiles[] = {L"searchTreeName.txt", L"searchTermsList.txt",
                                        L"foldersScratch.txt", L"filesScratch.txt",
                                        L"searchOutputList.txt"};
constexpr int kAttempts = 100;

}  // namespace

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return;
    const std::wstring base = std::wstring(temp, length) + L"search_tree-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-";
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::wstring candidate = base + std::to_wstring(attempt);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}

ScratchFolder::~ScratchFolder() {
    if (!created()) return;
    for (const wchar_t* name : kRunFiles) DeleteFileW((path_ + L"\\" + name).c_str());
    RemoveDirectoryW(path_.c_str());
}
