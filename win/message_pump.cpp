#include "win/message_pump.h"

namespace vorkel::win {

DWORD pumpMessagesUntil(DWORD count, const HANDLE* handles, DWORD milliseconds) {
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

}  // namespace vorkel::win
