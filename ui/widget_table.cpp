// Window classes, styles and colours of the widget kinds, and the register of every window's
// table.
#include "ui/widget_table.h"

#include <vector>

#include "ui/frame_panel.h"

namespace vorkel::ui {
namespace {

// Filled during static initialisation: a function's static, so it exists before its first use.
std::vector<std::span<const Widget>>& tables() {
    static std::vector<std::span<const Widget>> all;
    return all;
}

DWORD styleFor(const Widget& w) {
    const DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    const DWORD group = (w.flags & kGroupStart) != 0 ? WS_GROUP | WS_TABSTOP : 0;
    switch (w.kind) {
        case WidgetKind::Frame:
            return common;
        case WidgetKind::TextBox:
            // Read-only as well as out of reach in its disabled frame: values are never typed.
            return common | ES_AUTOHSCROLL | ES_READONLY | ES_LEFT;
        case WidgetKind::Label:
            return common | SS_LEFT | SS_NOPREFIX;  // SS_LEFT wraps at blanks
        case WidgetKind::Option:
            return common | BS_AUTORADIOBUTTON | group;
        case WidgetKind::Check:
            return common | BS_AUTOCHECKBOX | WS_TABSTOP | group;
        case WidgetKind::Button:
            return common | WS_TABSTOP | group |
                   ((w.flags & kDefaultButton) != 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        case WidgetKind::Picture:
            // The picture box takes focus in its turn, as a picture box does.
            return common | SS_BITMAP | SS_REALSIZECONTROL | WS_TABSTOP;
    }
    return common;
}

DWORD exStyleFor(WidgetKind kind) {
    // Sunken: the text field's look, and the picture box's 2-pixel border.
    return kind == WidgetKind::TextBox || kind == WidgetKind::Picture ? WS_EX_CLIENTEDGE : 0;
}

const wchar_t* classFor(WidgetKind kind) {
    switch (kind) {
        case WidgetKind::Frame:
            return kFramePanelClass;
        case WidgetKind::TextBox:
            return L"EDIT";
        case WidgetKind::Label:
        case WidgetKind::Picture:
            return L"STATIC";
        default:
            return L"BUTTON";
    }
}

}  // namespace

bool registerWidgetTable(std::span<const Widget> table) {
    tables().push_back(table);
    return true;
}

std::span<const std::span<const Widget>> widgetTables() {
    return tables();
}

const Widget* findWidget(std::span<const Widget> table, int id) {
    const auto found =
        std::find_if(table.begin(), table.end(), [id](const Widget& w) { return w.id == id; });
    return found == table.end() ? nullptr : &*found;
}

void createWidgets(HWND window, std::span<const Widget> table, FontCache& fonts, int dpi,
                   std::map<int, HWND>& made) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    // The frame panel is this table type's own class: registered by the first table that has one.
    if (std::any_of(table.begin(), table.end(),
                    [](const Widget& w) { return w.kind == WidgetKind::Frame; })) {
        registerFramePanelClass(instance);
    }
    for (const bool labels : {false, true}) {
        for (const Widget& w : table) {
            if ((w.kind == WidgetKind::Label) != labels) {
                continue;
            }
            const RECT place = w.place.toPixels(dpi);
            HWND parent = w.container == kClientArea ? window : made[w.container];
            HWND child = CreateWindowExW(
                exStyleFor(w.kind), classFor(w.kind), w.text, styleFor(w), place.left, place.top,
                place.right - place.left, place.bottom - place.top, parent,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(w.id)), instance, nullptr);
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.get(w.font)), FALSE);
            made[w.id] = child;
        }
    }
}

LRESULT widgetColours(HDC dc, const Widget& widget, std::optional<Colour> textColour,
                      const std::pair<Colour, UniqueBrush>* background) {
    // Text boxes keep the ordinary text-field look, also read-only ones, which ask as statics.
    const bool field = widget.kind == WidgetKind::TextBox;
    const Colour text = textColour          ? *textColour
                        : widget.textColour ? *widget.textColour
                                            : GetSysColor(field ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
    SetTextColor(dc, text);
    if (background) {
        SetBkColor(dc, background->first);
        return reinterpret_cast<LRESULT>(background->second.get());
    }
    SetBkColor(dc, GetSysColor(field ? COLOR_WINDOW : COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(field ? COLOR_WINDOW : COLOR_BTNFACE));
}

}  // namespace vorkel::ui
