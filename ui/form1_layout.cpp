// The main window's layout, in twips from the top-left corner of each widget's container.
#include "ui/form1_layout.h"

#include <algorithm>
#include <array>

namespace vorkel::ui::form1 {
namespace {

constexpr FontSpec kRegular{825, false};
constexpr FontSpec kNameFont{975, true};
constexpr FontSpec kPositionFont{1350, false};
constexpr Colour kBlue = rgb(0, 0, 255);

constexpr std::array<Widget, 20> kAll = {{
    {kFrame1, L"Frame1", Kind::Frame, kWindow, L"", {120, 840, 3015, 1455}, 0, kRegular, {}},
    {kFrame2, L"Frame2", Kind::Frame, kWindow, L"", {120, 2640, 3015, 855}, 1, kRegular, {}},
    {kLabel2, L"Label2", Kind::Label, kFrame1, L"Azimut", {240, 120, 495, 255}, 2, kRegular, {}},
    {kLabel3,
     L"Label3",
     Kind::Label,
     kFrame1,
     L"Elevación",
     {1680, 120, 735, 255},
     3,
     kRegular,
     {}},
    {kOptNormal,
     L"Opt_normal",
     Kind::Option,
     kWindow,
     L"Normal",
     {360, 2400, 975, 245},
     4,
     kRegular,
     {}},
    {kOptInvertido,
     L"Opt_invertido",
     Kind::Option,
     kWindow,
     L"Invertido",
     {1800, 2400, 975, 245},
     5,
     kRegular,
     {}},
    {kChkUpdate,
     L"chk_update",
     Kind::Check,
     kWindow,
     L"Envía datos",
     {240, 3600, 1335, 255},
     6,
     kRegular,
     {}},
    {kTxtAzi,
     L"txt_azi",
     Kind::TextBox,
     kFrame1,
     L"Azimuth",
     {120, 360, 1335, 495},
     7,
     kPositionFont,
     kBlack},
    {kTxtEle,
     L"txt_ele",
     Kind::TextBox,
     kFrame1,
     L"Elevacion",
     {1560, 360, 1335, 495},
     8,
     kPositionFont,
     kBlack},
    {kTxtIele,
     L"txt_iele",
     Kind::TextBox,
     kFrame1,
     L"Elevacion espejo",
     {1560, 960, 1335, 375},
     9,
     kRegular,
     {}},
    {kTxtIazi,
     L"txt_iazi",
     Kind::TextBox,
     kFrame1,
     L"Azimut espejo",
     {120, 960, 1335, 375},
     10,
     kRegular,
     {}},
    {kFrame3, L"Frame3", Kind::Frame, kWindow, L"", {120, 120, 3015, 735}, 11, kRegular, {}},
    {kTxtNombre,
     L"txt_nombre",
     Kind::TextBox,
     kFrame3,
     L"Nombre",
     {120, 240, 2775, 375},
     12,
     kNameFont,
     kBlue},
    {kTxtUp,
     L"txt_up",
     Kind::TextBox,
     kFrame2,
     L"Frec up",
     {1560, 360, 1335, 285},
     13,
     kRegular,
     {}},
    {kTxtDown,
     L"txt_down",
     Kind::TextBox,
     kFrame2,
     L"Frec down",
     {120, 360, 1335, 285},
     14,
     kRegular,
     {}},
    {kCmdStop,
     L"cmd_stop",
     Kind::Button,
     kWindow,
     L"< < < Stop > > >",
     {1680, 3600, 1455, 735},
     15,
     kRegular,
     {}},
    {kLabel4, L"Label4", Kind::Label, kFrame2, L"Frec. RX", {120, 120, 735, 255}, 16, kRegular, {}},
    {kLabel5,
     L"Label5",
     Kind::Label,
     kFrame2,
     L"Frec. TX",
     {1560, 120, 735, 255},
     17,
     kRegular,
     {}},
    {kCmdAcerca,
     L"cmd_acerca",
     Kind::Button,
     kWindow,
     L"Acerca De",
     {240, 3960, 1215, 255},
     18,
     kRegular,
     {}},
    // Last, so that it lies beneath the frames and the option buttons.
    {kLabel1, L"Label1", Kind::Label, kWindow, L"Label1", {360, 840, 2415, 2295}, 19, kRegular, {}},
}};

}  // namespace

std::span<const Widget> widgets() {
    return kAll;
}

const Widget& widget(ControlId id) {
    return *std::find_if(kAll.begin(), kAll.end(), [id](const Widget& w) { return w.id == id; });
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

}  // namespace vorkel::ui::form1
