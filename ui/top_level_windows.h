// The program ends when its last top-level window closes, whichever that is.
#pragma once

#include <windows.h>

namespace vorkel::ui {

void topLevelWindowOpened(HWND window);
void topLevelWindowClosed(HWND window);
// For the message loop: lets the window that a keyboard message is for handle Tab, arrows,
// Enter and Esc as a dialog does. True when the message was used.
bool handleDialogKeys(MSG& message);

}  // namespace vorkel::ui
