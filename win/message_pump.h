// Handling the thread's window messages while waiting, as a program's own loop would: for the
// tools and tests whose DDE partners and timers must not wait for them.
#pragma once

#include <windows.h>

namespace vorkel::win {

// Until one of the handles is signalled or `milliseconds` have passed; returns what
// MsgWaitForMultipleObjects said last (WAIT_TIMEOUT when the time is up).
inline DWORD pumpMessagesUntil(DWORD count, const HANDLE* handles, DWORD milliseconds) {
    const DWORD start = GetTickCount();  // unsigned differences: wrap-around does no harm
    for (;;) {
        // Messages already in the queue do not wake a wait; they are handled first.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const DWORD elapsed = GetTickCount() - start;
        const DWORD left = elapsed >= milliseconds ? 0 : milliseconds - elapsed;
        const DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + count) {
            return result;
        }
    }
}

inline void pumpMessages(DWORD milliseconds) {
    pumpMessagesUntil(0, nullptr, milliseconds);
}

}  // namespace vorkel::win
