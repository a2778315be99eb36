// The queries the station's windows answer for tests that watch them from another process:
// fonts, captions and resources cannot be read from outside. Shared with the window probe.
//
// Each query is a window message registered under a name of its own, so that no other
// program's message is ever taken for one. A number comes back as the message's result; a
// text (the face) as a WM_COPYDATA sent to the asker's window while the asker waits, so that
// an answer nobody collects leaves nothing behind in either process.
#pragma once

#include <windows.h>

#include <span>

namespace vorkel::ui {

struct Widget;

enum class TestQuery {
    // wParam: a control id. Answer: the weight of the control's font in the high word, its
    // height in pixels in the low word; 0 for an unknown control.
    font,
    // wParam: a ResourceFigure. Answer: the figure, kUnavailable if it cannot be counted.
    resources,
    // wParam: a control id; lParam: kCaptionWidths or kCaptionHeights. Answer: what the
    // control's caption takes in its own font in the low word, the room its widget leaves in
    // the high word (pixels); 0 for a control without a caption.
    caption,
    // wParam: a control id; lParam: the asker's window. The face the control's font is realized
    // in goes to that window as WM_COPYDATA (dwData kFaceAnswer, UTF-16 without terminator,
    // wParam the answering window). Answer: 1 if the asker took it, 0 otherwise.
    face,
    // wParam: ICON_SMALL or ICON_BIG; lParam: kShownIcon, kOwnIcon or kWarningIcon. Answer:
    // that icon's handle in the station's process: the one the window shows (WM_GETICON, which
    // Wine answers with 0 when it comes from another process), its class's, or the system's
    // warning sign.
    icon,
    // lParam: the asker's window. The window's own widget table, one row a line ("name TAB
    // control id LF"), goes to that window as WM_COPYDATA (dwData kWidgetsAnswer, UTF-16
    // without terminator, wParam the answering window): the ids by name, for tests that name
    // widgets. Answer: 1 if the asker took it, 0 otherwise.
    widgets,
};

// The message number of a query: the same in every process of the desktop, 0 if the system
// could not register it. The names are the station's own, so no other program's message is
// taken for a query.
inline UINT testQueryMessage(TestQuery query) {
    static const UINT messages[] = {
        RegisterWindowMessageW(L"vorkelDDE test query: font 0b1e923f-39f4-4080-8a44-aa1fbcb100d7"),
        RegisterWindowMessageW(
            L"vorkelDDE test query: resources 0b1e923f-39f4-4080-8a44-aa1fbcb100d7"),
        RegisterWindowMessageW(
            L"vorkelDDE test query: caption 0b1e923f-39f4-4080-8a44-aa1fbcb100d7"),
        RegisterWindowMessageW(L"vorkelDDE test query: face 0b1e923f-39f4-4080-8a44-aa1fbcb100d7"),
        RegisterWindowMessageW(L"vorkelDDE test query: icon 0b1e923f-39f4-4080-8a44-aa1fbcb100d7"),
        RegisterWindowMessageW(
            L"vorkelDDE test query: widgets 0b1e923f-39f4-4080-8a44-aa1fbcb100d7"),
    };
    return messages[static_cast<int>(query)];
}

enum class ResourceFigure : WPARAM {
    heapBytes = 0,    // bytes in use in all of the process's heaps
    heapBlocks = 1,   // blocks in use in them
    gdiObjects = 2,   // GDI objects of the process
    userObjects = 3,  // USER objects, where the system counts them (Windows, not Wine)
};
inline constexpr LRESULT kUnavailable = -1;

inline constexpr LPARAM kCaptionWidths = 0;
inline constexpr LPARAM kCaptionHeights = 1;

inline constexpr LPARAM kOwnIcon = 0;
inline constexpr LPARAM kWarningIcon = 1;
inline constexpr LPARAM kShownIcon = 2;

inline constexpr ULONG_PTR kFaceAnswer = 0x76664661;     // "vfFa"
inline constexpr ULONG_PTR kWidgetsAnswer = 0x76665774;  // "vfWt"

// The answer to a test query sent to window, whose widgets are table, or false when the
// message is none of them.
bool answerTestQuery(HWND window, std::span<const Widget> table, UINT message, WPARAM wParam,
                     LPARAM lParam, LRESULT& answer);

}  // namespace vorkel::ui
