// What the station's process holds, for tests that watch it over long runs from outside.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vorkel::ui {

// Asks the main window for one figure (wParam); the answer is the figure, -1 if unknown.
inline constexpr UINT kQueryResourcesMessage = WM_APP + 2;

enum class ResourceFigure : WPARAM {
    heapBytes = 0,    // bytes in use in all of the process's heaps
    heapBlocks = 1,   // blocks in use in them
    gdiObjects = 2,   // GDI objects of the process
    userObjects = 3,  // USER objects, where the system counts them (Windows, not Wine)
};

std::int64_t measureResource(WPARAM figure);

}  // namespace vorkel::ui
