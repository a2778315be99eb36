// The main window's widgets as one table: container, text, place in twips, tab order, font,
// colour. Form1 creates and lays out its widgets from it and nothing else.
#pragma once

#include <optional>
#include <span>

#include "station/station_view.h"
#include "ui/gdi.h"
#include "ui/twips.h"

namespace vorkel::ui::form1 {

// Control ids; none is IDOK or IDCANCEL, so Enter and Esc press nothing.
enum ControlId : int {
    kWindow = 0,  // the container of the widgets that sit on the window itself
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

enum class Kind { Frame, TextBox, Label, Option, Check, Button };

struct Widget {
    ControlId id;
    const wchar_t* name;
    Kind kind;
    ControlId container;
    const wchar_t* text;
    TwipsRect place;
    int tabIndex;
    FontSpec font;
    std::optional<Colour> textColour;
};

inline constexpr wchar_t kTitle[] = L"Driver DDE VORKEL v1.0";
inline constexpr int kClientWidthTwips = 3255;
inline constexpr int kClientHeightTwips = 4440;

// In tab order, which is also the order of creation: on each container the first widget
// created lies on top, so Label1, last, lies beneath the frames.
std::span<const Widget> widgets();

const Widget& widget(ControlId id);
ControlId controlFor(Field field);
ControlId controlFor(Surface surface);
ControlId controlFor(Frame frame);

}  // namespace vorkel::ui::form1
