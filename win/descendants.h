// Finding a control among a window's descendants: widgets inside a frame are the frame's
// children, not the window's.
#pragma once

#include <windows.h>

namespace vorkel::win {

namespace detail {

struct DescendantSearch {
    int id;
    HWND found;
};

inline BOOL CALLBACK matchDescendant(HWND child, LPARAM context) {
    auto* search = reinterpret_cast<DescendantSearch*>(context);
    if (GetDlgCtrlID(child) != search->id) {
        return TRUE;
    }
    search->found = child;
    return FALSE;
}

}  // namespace detail

// The first descendant of window with the control id, or null.
inline HWND descendantWithId(HWND window, int id) {
    detail::DescendantSearch search{id, nullptr};
    EnumChildWindows(window, detail::matchDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace vorkel::win
