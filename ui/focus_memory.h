// Keyboard focus that comes back with the window: when the operator returns to a window, the
// control that had the focus has it again, as in a dialog, so keys work without a click first.
#pragma once

#include <windows.h>

#include "ui/option_group.h"

namespace vorkel::ui {

class FocusMemory {
  public:
    explicit FocusMemory(HWND initial = nullptr) : last_(initial) {}

    void remember(HWND control) { last_ = control; }

    // WM_ACTIVATE of window: keeps the focus on leaving, gives it back on return.
    void onActivate(HWND window, WPARAM wParam) {
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window, focus)) {
                last_ = focus;
            }
        } else if (!IsIconic(window)) {
            restore();
        }
    }

    // WM_SETFOCUS of the window itself: the focus goes on to the control that had it; to an
    // option button's group only through its selected button, which the focus cannot switch.
    void restore() const {
        if (last_ && IsWindow(last_)) {
            SetFocus(isOptionButton(last_) ? selectedOptionOf(last_) : last_);
        }
    }

  private:
    HWND last_;
};

}  // namespace vorkel::ui
