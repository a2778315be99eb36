// Handling the thread's window messages while waiting, as the program's own loop would: for
// DDE partners and timers that must not wait for us.
#pragma once

#include <windows.h>

namespace vorkel::win {

// Until one of the handles is signalled or `milliseconds` have passed; returns what
// MsgWaitForMultipleObjects said last (WAIT_TIMEOUT when the time is up).
DWORD pumpMessagesUntil(DWORD count, const HANDLE* handles, DWORD milliseconds);

inline void pumpMessages(DWORD milliseconds) {
    pumpMessagesUntil(0, nullptr, milliseconds);
}

}  // namespace vorkel::win
