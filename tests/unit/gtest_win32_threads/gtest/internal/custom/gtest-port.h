// GoogleTest's hook for a platform's own pieces, used by the mingw-w64 builds:
// their win32 thread model has no std::mutex or std::condition_variable, on
// which GoogleTest builds its Notification, so it is made of a Win32 event.
#pragma once

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

// Lets a controller thread hold back the threads it starts until notified.
class Notification {
  public:
    Notification() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    ~Notification() { ::CloseHandle(event_); }

    void Notify() { ::SetEvent(event_); }
    void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

  private:
    HANDLE event_;
};

}  // namespace testing::internal
