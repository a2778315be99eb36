// The main window's widgets as one table: container, text, place in twips, tab order, font,
// colour. Form1 creates and lays out its widgets from it and nothing else.
#pragma once

#include <span>

#include "station/station_view.h"
#include "ui/widget_table.h"

namespace vorkel::ui::form1 {

// Control ids; none is IDOK or IDCANCEL, so Enter and Esc press nothing.
enum ControlId : int {
    kWindow = kClientArea,  // the container of the widgets that sit on the window itself
    kFrame1 = 100,
    kFrame2,
    kFrame3,
    kLabel1,
    kLabel2,
    kLabel3,
    kLabel4,
    kLabel5,
    kTxtNombre,
    kTxtAzi,
    kTxtEle,
    kTxtIazi,
    kTxtIele,
    kTxtDown,
    kTxtUp,
    kOptNormal,
    kOptInvertido,
    kChkUpdate,
    kCmdStop,
    kCmdAcerca,
};

inline constexpr wchar_t kTitle[] = L"Driver DDE VORKEL v1.0";
inline constexpr int kClientWidthTwips = 3255;
inline constexpr int kClientHeightTwips = 4440;

// In tab order. Label1, a static text, lies beneath the frames and option buttons.
std::span<const Widget> widgets();
ControlId controlFor(Field field);
ControlId controlFor(Surface surface);
ControlId controlFor(Frame frame);

}  // namespace vorkel::ui::form1
