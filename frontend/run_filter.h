// Starting searchfilter.exe and reading back the block that its run appended.
#pragma once

#include <string>

struct FilterRun {
    bool ran = false;        // it started, ended with exit code 0 and appended a whole block
    std::wstring problem;    // why not, when it did not
    std::string blockBytes;  // the block: UTF-8, every line ending with LF
};

// Starts filterExe with no arguments in folder (which must hold the four lists and be the
// caller's own), waits for it to end and returns what it appended to the output list.
FilterRun runFilter(const std::wstring& filterExe, const std::wstring& folder);
