// The about box's widgets and separator as tables: name, kind, text, place in twips, tab order,
// font, colour. The about box creates, lays out and paints itself from them and nothing else.
#pragma once

#include <windows.h>

#include <span>

#include "station/station_view.h"
#include "ui/widget_table.h"

namespace vorkel::ui::frm_about {

// cmdOK is IDOK so that a dialog's Enter lands on it; Esc arrives as IDCANCEL.
enum ControlId : int {
    kCmdOk = IDOK,
    kPicIcon = 200,
    kLblTitle,
    kLblVersion,
    kLblDescription,
    kLblDisclaimer,
};

// One straight horizontal line of the separator, from left to right at top, in twips.
struct Line {
    Colour colour;
    int widthPixels;
    int left;
    int right;
    int top;
};

inline constexpr wchar_t kTitle[] = L"Información";
inline constexpr int kClientWidthTwips = 5145;
inline constexpr int kClientHeightTwips = 2115;
// Where the client area's top-left corner goes on the screen.
inline constexpr int kScreenLeftTwips = 2340;
inline constexpr int kScreenTopTwips = 1935;
// The station picture's BITMAP resource id (ui/vorkelDDE.rc.in).
inline constexpr int kPictureResource = 2;

// In tab order. The picture box's size is what it comes to at 96 DPI: the box always takes
// the picture's own size plus its border.
std::span<const Widget> widgets();

// In drawing order: later lines are drawn over earlier ones.
std::span<const Line> separator();

}  // namespace vorkel::ui::frm_about
