// The captionless group frame: an etched panel in the dialog face colour that contains widgets.
// Disabling it takes mouse and keyboard away from everything inside while they keep their look.
#pragma once

#include <windows.h>

namespace vorkel::ui {

inline constexpr wchar_t kFramePanelClass[] = L"VorkelFramePanel";

// Registers the class once per program, whichever window first has a frame.
bool registerFramePanelClass(HINSTANCE instance);

}  // namespace vorkel::ui
