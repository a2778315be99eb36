// The main window's layout, in twips from the top-left corner of each widget's container.
#include "ui/form1_layout.h"

#include <array>

namespace vorkel::ui::form1 {
namespace {

constexpr FontSpec kRegular{825, false};
constexpr FontSpec kNameFont{975, true};
constexpr FontSpec kPositionFont{1350, false};
constexpr Colour kBlue = rgb(0, 0, 255);

}  // namespace

std::span<const Widget> widgets() {
    using enum WidgetKind;
    // id, name, kind, container, text, place (left, top, width, height), tab, font, text colour,
    // flags, design width
    // clang-format off
    static constexpr std::array<Widget, 20> kAll = {{
        {kFrame1,        L"Frame1",         Frame,    kWindow,  L"",                  {120, 840, 3015, 1455},   0,   kRegular,       {},      kPlain,         0},
        {kFrame2,        L"Frame2",         Frame,    kWindow,  L"",                  {120, 2640, 3015, 855},   1,   kRegular,       {},      kPlain,         0},
        {kLabel2,        L"Label2",         Label,    kFrame1,  L"Azimut",            {240, 120, 495, 255},     2,   kRegular,       {},      kPlain,        31},
        {kLabel3,        L"Label3",         Label,    kFrame1,  L"Elevación",         {1680, 120, 735, 255},    3,   kRegular,       {},      kPlain,        47},
        {kOptNormal,     L"Opt_normal",     Option,   kWindow,  L"Normal",            {360, 2400, 975, 245},    4,   kRegular,       {},      kGroupStart,   33},
        {kOptInvertido,  L"Opt_invertido",  Option,   kWindow,  L"Invertido",         {1800, 2400, 975, 245},   5,   kRegular,       {},      kPlain,        41},
        {kChkUpdate,     L"chk_update",     Check,    kWindow,  L"Envía datos",       {240, 3600, 1335, 255},   6,   kRegular,       {},      kGroupStart,   58},
        {kTxtAzi,        L"txt_azi",        TextBox,  kFrame1,  L"Azimuth",           {120, 360, 1335, 495},    7,   kPositionFont,  kBlack,  kPlain,         0},
        {kTxtEle,        L"txt_ele",        TextBox,  kFrame1,  L"Elevacion",         {1560, 360, 1335, 495},   8,   kPositionFont,  kBlack,  kPlain,         0},
        {kTxtIele,       L"txt_iele",       TextBox,  kFrame1,  L"Elevacion espejo",  {1560, 960, 1335, 375},   9,   kRegular,       {},      kPlain,         0},
        {kTxtIazi,       L"txt_iazi",       TextBox,  kFrame1,  L"Azimut espejo",     {120, 960, 1335, 375},    10,  kRegular,       {},      kPlain,         0},
        {kFrame3,        L"Frame3",         Frame,    kWindow,  L"",                  {120, 120, 3015, 735},    11,  kRegular,       {},      kPlain,         0},
        {kTxtNombre,     L"txt_nombre",     TextBox,  kFrame3,  L"Nombre",            {120, 240, 2775, 375},    12,  kNameFont,      kBlue,   kPlain,         0},
        {kTxtUp,         L"txt_up",         TextBox,  kFrame2,  L"Frec up",           {1560, 360, 1335, 285},   13,  kRegular,       {},      kPlain,         0},
        {kTxtDown,       L"txt_down",       TextBox,  kFrame2,  L"Frec down",         {120, 360, 1335, 285},    14,  kRegular,       {},      kPlain,         0},
        {kCmdStop,       L"cmd_stop",       Button,   kWindow,  L"< < < Stop > > >",  {1680, 3600, 1455, 735},  15,  kRegular,       {},      kPlain,        76},
        {kLabel4,        L"Label4",         Label,    kFrame2,  L"Frec. RX",          {120, 120, 735, 255},     16,  kRegular,       {},      kPlain,        42},
        {kLabel5,        L"Label5",         Label,    kFrame2,  L"Frec. TX",          {1560, 120, 735, 255},    17,  kRegular,       {},      kPlain,        41},
        {kCmdAcerca,     L"cmd_acerca",     Button,   kWindow,  L"Acerca De",         {240, 3960, 1215, 255},   18,  kRegular,       {},      kPlain,        51},
        {kLabel1,        L"Label1",         Label,    kWindow,  L"Label1",            {360, 840, 2415, 2295},   19,  kRegular,       {},      kRunTimeText,   0},
    }};
    // clang-format on
    static_assert(inTabOrder(kAll));
    return kAll;
}

ControlId controlFor(Field field) {
    switch (field) {
        case Field::Label1:
            return kLabel1;
        case Field::txt_nombre:
            return kTxtNombre;
        case Field::txt_azi:
            return kTxtAzi;
        case Field::txt_ele:
            return kTxtEle;
        case Field::txt_down:
            return kTxtDown;
        case Field::txt_up:
            return kTxtUp;
        case Field::txt_iazi:
            return kTxtIazi;
        case Field::txt_iele:
            return kTxtIele;
    }
    return kLabel1;
}

ControlId controlFor(Surface surface) {
    switch (surface) {
        case Surface::Form1:
            return kWindow;
        case Surface::Opt_normal:
            return kOptNormal;
        case Surface::Opt_invertido:
            return kOptInvertido;
        case Surface::chk_update:
            return kChkUpdate;
        case Surface::Label1:
            return kLabel1;
    }
    return kWindow;
}

ControlId controlFor(Frame frame) {
    switch (frame) {
        case Frame::Frame1:
            return kFrame1;
        case Frame::Frame2:
            return kFrame2;
        case Frame::Frame3:
            return kFrame3;
    }
    return kFrame1;
}

namespace {

// The window takes part in what concerns every window's widgets: the choice of their face.
[[maybe_unused]] const bool kTableRegistered = registerWidgetTable(widgets());

}  // namespace

}  // namespace vorkel::ui::form1
