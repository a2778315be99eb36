// The about box's layout, in twips from the top-left corner of its client area.
#include "ui/frm_about_layout.h"

#include <array>

namespace vorkel::ui::frm_about {
namespace {

constexpr FontSpec kRegular{825, false};
constexpr FontSpec kTitleFont{1200, false};
constexpr Colour kBlue = rgb(0, 0, 255);
constexpr wchar_t kDescription[] =
    L"Programa cliente de  DDE  para el control de  rotores Yaesu y compatible con el hardware "
    L"Fox Delta y LVB tracker.";

// The etched look of a dialog separator: a grey line over the top row of a wider white one.
constexpr std::array<Line, 2> kSeparator = {{
    {rgb(255, 255, 255), 2, 120, 5040, 1560},
    {rgb(128, 128, 128), 1, 120, 5040, 1560},
}};

}  // namespace

std::span<const Widget> widgets() {
    using enum WidgetKind;
    // id, name, kind, container, text, place (left, top, width, height), tab, font, text colour,
    // flags, design width
    // clang-format off
    static constexpr std::array<Widget, 6> kAll = {{
        {kCmdOk,           L"cmdOK",           Button,   kClientArea,  L"OK",                       {3480, 1680, 1260, 345},  0,  kRegular,    {},      kGroupStart | kDefaultButton,   15},
        {kPicIcon,         L"picIcon",         Picture,  kClientArea,  L"",                         {120, 240, 765, 810},     1,  kRegular,    {},      kPlain,                          0},
        {kLblDescription,  L"lblDescription",  Label,    kClientArea,  kDescription,                {1050, 840, 3885, 690},   2,  kRegular,    kBlack,  kPlain,                          0},
        {kLblDisclaimer,   L"lblDisclaimer",   Label,    kClientArea,  L"Versión en desarrollo...", {120, 1680, 3015, 345},   3,  kRegular,    kBlack,  kPlain,                        107},
        {kLblTitle,        L"lblTitle",        Label,    kClientArea,  L"Driver DDE VORKEL",        {1050, 240, 3885, 360},   4,  kTitleFont,  kBlue,   kPlain,                        149},
        {kLblVersion,      L"lblVersion",      Label,    kClientArea,  L"Version 0.9b",             {1050, 600, 3885, 225},   5,  kRegular,    {},      kPlain,                         59},
    }};
    // clang-format on
    static_assert(inTabOrder(kAll));
    return kAll;
}

std::span<const Line> separator() {
    return kSeparator;
}

namespace {

// The window takes part in what concerns every window's widgets: the choice of their face.
[[maybe_unused]] const bool kTableRegistered = registerWidgetTable(widgets());

}  // namespace

}  // namespace vorkel::ui::frm_about
