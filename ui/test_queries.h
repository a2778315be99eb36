// The queries the station's windows answer for tests that watch them from another process:
// fonts, captions and resources cannot be read from outside. Shared with the window probe.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vorkel::ui {

// wParam: a control id. Answer: the weight of the control's font in the high word, its height
// in pixels in the low word; 0 for an unknown control.
inline constexpr UINT kQueryFontMessage = WM_APP + 1;

// wParam: a ResourceFigure. Answer: the figure, -1 if unknown.
inline constexpr UINT kQueryResourcesMessage = WM_APP + 2;

enum class ResourceFigure : WPARAM {
    heapBytes = 0,    // bytes in use in all of the process's heaps
    heapBlocks = 1,   // blocks in use in them
    gdiObjects = 2,   // GDI objects of the process
    userObjects = 3,  // USER objects, where the system counts them (Windows, not Wine)
};

// wParam: a control id; lParam: kCaptionWidths or kCaptionHeights. Answer: what the control's
// caption takes in its own font in the low word, the room its widget leaves in the high word
// (pixels); 0 for a control without a caption.
inline constexpr UINT kQueryCaptionMessage = WM_APP + 3;
inline constexpr LPARAM kCaptionWidths = 0;
inline constexpr LPARAM kCaptionHeights = 1;

// wParam: a control id. Answer: a global atom naming the face the control's font is realized
// in, which the asker deletes; 0 for an unknown control.
inline constexpr UINT kQueryFaceMessage = WM_APP + 4;

// The answer to a test query sent to window, or false when the message is none of them.
bool answerTestQuery(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& answer);

}  // namespace vorkel::ui
