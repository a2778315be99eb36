// One table type for the widgets of both windows: what each widget is, where it sits in twips,
// its place in the tab order, font and colour; and the one routine that creates them.
#pragma once

#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <span>

#include "station/station_view.h"
#include "ui/gdi.h"
#include "ui/twips.h"

namespace vorkel::ui {

enum class WidgetKind { Frame, TextBox, Label, Option, Check, Button, Picture };

// What a row adds to its kind.
enum WidgetFlag : unsigned {
    kPlain = 0,
    kGroupStart = 1,     // starts a group for the arrow keys (and a tab stop of its own)
    kDefaultButton = 2,  // pressed by Enter
    kRunTimeText = 4,    // shows texts set at run time, of any length: no caption to fit
};

// The container of widgets that sit on the window's client area itself.
inline constexpr int kClientArea = 0;

struct Widget {
    int id;
    const wchar_t* name;
    WidgetKind kind;
    int container;  // kClientArea or a frame's id
    const wchar_t* text;
    TwipsRect place;  // from the top-left corner of the container
    int tabIndex;
    FontSpec font;
    std::optional<Colour> textColour;  // none: the platform's colour for the kind
    unsigned flags;
    // The caption's width on one line at 96 DPI in "MS Sans Serif" as Windows' bitmap face
    // draws it (and Wine's own sserife.fon): what the layout was made for, and what the choice
    // of another face comes closest to. 0 where it says nothing: no caption, or one that wraps.
    int designWidth;
};

// The rows are written in tab order, which is also the order in which the widgets that take
// the focus are created: checked at compile time with this.
constexpr bool inTabOrder(std::span<const Widget> table) {
    return std::is_sorted(table.begin(), table.end(),
                          [](const Widget& a, const Widget& b) { return a.tabIndex < b.tabIndex; });
}

const Widget* findWidget(std::span<const Widget> table, int id);

// Every window's table, for what concerns all of the program's widgets (the choice of their
// face): each layout registers its table as the program starts, so a window takes part by
// having one.
bool registerWidgetTable(std::span<const Widget> table);
std::span<const std::span<const Widget>> widgetTables();

// Creates the widgets of table in window, in their fonts, and notes them by id. Static texts
// are created last, so they lie beneath every other widget of their container; the others
// keep the table's order, the tab order.
void createWidgets(HWND window, std::span<const Widget> table, FontCache& fonts, int dpi,
                   std::map<int, HWND>& made);

// The answer to a widget's WM_CTLCOLOR* message: its text colour (textColour given, else the
// row's, else the kind's), on background (the kind's own when none).
LRESULT widgetColours(HDC dc, const Widget& widget, std::optional<Colour> textColour,
                      const std::pair<Colour, UniqueBrush>* background);

}  // namespace vorkel::ui
