// The program ends when its last top-level window closes, whichever that is.
#pragma once

#include <windows.h>

#include "win/message_step.h"

namespace vorkel::ui {

void topLevelWindowOpened(HWND window);
void topLevelWindowClosed(HWND window);
// The thread's message step (win/message_step.h): the window that a keyboard message is for
// handles Tab, arrows, Enter and Esc as a dialog does; every other message is translated and
// dispatched. The program's loop and the tracking link's wait both use it.
void handleQueuedMessage(MSG& message);

}  // namespace vorkel::ui
