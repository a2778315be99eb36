// Option buttons that only the operator switches. An automatic option button selects itself
// whenever it gets the focus other than by a click (and the dialog keys move the tab stop to the
// selected one), so nothing else may give the focus to one that is not selected.
#pragma once

#include <windows.h>

namespace vorkel::ui {

bool isOptionButton(HWND control);
// The selected button of the group option belongs to; option itself when none is selected.
HWND selectedOptionOf(HWND option);

}  // namespace vorkel::ui
