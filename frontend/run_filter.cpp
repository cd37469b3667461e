// Calls searchfilter.exe: starts it in the folder of the lists, waits for it, checks its
// exit code and reads back the block that this run appended to the output list.
#include "frontend/run_filter.h"

#include <windows.h>

#include <cstdint>

namespace {

// The file's length now; 0 when it does not exist yet.
std::uint64_t fileLength(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// Everything from offset to the end. Opened sharing reading and writing, so that a run
// that holds the file is never disturbed.
std::string readFrom(const std::wstring& path, std::uint64_t offset) {
    const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    LARGE_INTEGER start;
    start.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            bytes.append(buffer, got);
        }
    }
    CloseHandle(file);
    return bytes;
}

}  // namespace

FilterRun runFilter(const std::wstring& filterExe, const std::wstring& folder) {
    FilterRun run;
    const std::wstring outputList = folder + L"\\searchOutputList.txt";
    const std::uint64_t lengthBefore = fileLength(outputList);

    // No arguments: the command line is the quoted program name alone.
    std::wstring commandLine = L"\"" + filterExe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(filterExe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        run.problem =
            L"cannot start " + filterExe + L" (error " + std::to_wstring(GetLastError()) + L")";
        return run;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    const bool gotExitCode = GetExitCodeProcess(process.hProcess, &exitCode) != 0;
    CloseHandle(process.hProcess);
    // searchfilter always ends with 0, so 0 says nothing about the result; any other code
    // means that it did not run through (it was ended, or it is not searchfilter).
    if (!gotExitCode || exitCode != 0) {
        run.problem = L"searchfilter ended with exit code " + std::to_wstring(exitCode);
        return run;
    }

    run.blockBytes = readFrom(outputList, lengthBefore);
    if (run.blockBytes.empty()) {
        run.problem =
            L"searchfilter appended nothing: the output list was held by another writer for "
            L"more than 5 s, or it or its folder is read-only";
    } else if (run.blockBytes.back() != '\n') {
        run.problem = L"the output list gained something that is not a whole block";
    } else {
        run.ran = true;
    }
    return run;
}
