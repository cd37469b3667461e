// A function run on a thread of its own, joined at the latest when the
// object goes away. mingw-w64's win32 thread model has no std::thread, so on
// Windows the thread comes straight from the system.
#pragma once

#include <functional>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <thread>
#endif

class BackgroundThread {
  public:
    explicit BackgroundThread(std::function<void()> work) : work_(std::move(work)) {
#ifdef _WIN32
        thread_ = ::CreateThread(nullptr, 0, &BackgroundThread::start, this, 0, nullptr);
#else
        thread_ = std::thread(work_);
#endif
    }
    BackgroundThread(const BackgroundThread&) = delete;
    BackgroundThread& operator=(const BackgroundThread&) = delete;
    ~BackgroundThread() {
        join();
    }

    bool started() const {
#ifdef _WIN32
        return thread_ != nullptr;
#else
        return thread_.joinable();
#endif
    }

    void join() {
#ifdef _WIN32
        if (thread_ == nullptr) return;
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
        thread_ = nullptr;
#else
        if (thread_.joinable()) thread_.join();
#endif
    }

  private:
    std::function<void()> work_;
#ifdef _WIN32
    static DWORD WINAPI start(void* self) {
        static_cast<BackgroundThread*>(self)->work_();
        return 0;
    }
    HANDLE thread_ = nullptr;
#else
    std::thread thread_;
#endif
};
