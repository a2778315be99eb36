// Caption room as the system's own controls lay their text out: a box and half a character
// before an option button's or check box's text, the 3-D edges around a push button's.
#include "ui/caption_fit.h"

namespace vorkel::ui {

CaptionMeasure measureCaption(HDC dc, const std::wstring& text, CaptionKind kind, SIZE widget) {
    CaptionMeasure m{};
    m.room = widget;
    UINT format = DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE;
    if (kind == CaptionKind::Box) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        m.room.cx -= GetSystemMetrics(SM_CXMENUCHECK) + metrics.tmAveCharWidth / 2;
    } else if (kind == CaptionKind::Button) {
        m.room.cx -= 2 * GetSystemMetrics(SM_CXEDGE);
        m.room.cy -= 2 * GetSystemMetrics(SM_CYEDGE);
    } else {
        format = DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK;
    }
    // A word wider than the room comes back wider than the room: it would be cut.
    RECT extent{0, 0, m.room.cx > 0 ? m.room.cx : 1, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent, format);
    m.text = SIZE{extent.right - extent.left, extent.bottom - extent.top};
    return m;
}

bool captionKindOf(HWND control, CaptionKind& kind) {
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    if (lstrcmpiW(className, L"Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_BITMAP) {
            return false;
        }
        kind = CaptionKind::Label;
        return true;
    }
    if (lstrcmpiW(className, L"Button") == 0) {
        const LONG_PTR type = style & BS_TYPEMASK;
        kind = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? CaptionKind::Button
                                                                 : CaptionKind::Box;
        return true;
    }
    return false;
}

}  // namespace vorkel::ui
