// How the thread handles one message taken from its queue. The program's own loop and every
// wait that handles messages meanwhile (the tracking link's, while it waits for an answer) hand
// each message to the same step, so that a key is never treated in two ways.
#pragma once

#include <windows.h>

namespace vorkel::win {

using MessageStep = void (*)(MSG& message);

// The step of a thread whose windows take no dialog keys.
inline void translateAndDispatch(MSG& message) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace vorkel::win
