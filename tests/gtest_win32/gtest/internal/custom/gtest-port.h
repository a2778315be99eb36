// GoogleTest's customisation point, for mingw-w64's win32 thread model (the model the shipped
// exe is built with). That model's libstdc++ has no std::mutex or std::condition_variable;
// GoogleTest's Windows locks are Win32 ones already, and only its Notification (which lets
// threads of GoogleTest's own tests start together) is written on the standard ones. This one
// waits on a Win32 event instead.
#pragma once

#include <cstddef>  // defines _GLIBCXX_HAS_GTHREADS when the thread model has them

#if defined(_WIN32) && !defined(_GLIBCXX_HAS_GTHREADS)
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
  public:
    Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

  private:
    HANDLE event_;
};

}  // namespace testing::internal
#endif
