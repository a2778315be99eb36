// The icons of the main window: the station's own, given with its class, and the system's
// warning sign that stands in for them while a failure lasts. Every one of them is shared (the
// class's are loaded shared, the warning sign is the system's): nobody may destroy them.
#pragma once

#include <windows.h>

namespace vorkel::ui {

// which: ICON_SMALL (title bar) or ICON_BIG (taskbar, Alt-Tab).
HICON ownIcon(HWND window, WPARAM which);
HICON warningIcon(WPARAM which);

}  // namespace vorkel::ui
