// A new, empty folder of one run's own, removed with its files at the end.
#pragma once

#include <string>

class ScratchFolder {
  public:
    ScratchFolder();  // under the user's temporary folder
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool created() const { return !path_.empty(); }
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
};
