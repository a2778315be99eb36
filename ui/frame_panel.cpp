// The frame panel's window procedure.
#include "ui/frame_panel.h"

#include "win/gdi_guards.h"

namespace vorkel::ui {
namespace {

LRESULT CALLBACK framePanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            // The window that owns the widgets decides their colours and handles their commands.
            return SendMessageW(GetParent(hwnd), message, wParam, lParam);
        case WM_ERASEBKGND: {
            RECT area;
            GetClientRect(hwnd, &area);
            FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_PAINT: {
            win::PaintScope paint(hwnd);
            RECT area;
            GetClientRect(hwnd, &area);
            DrawEdge(paint.dc(), &area, EDGE_ETCHED, BF_RECT);
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

bool registerFramePanelClass(HINSTANCE instance) {
    static const bool registered = [instance] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = framePanelProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kFramePanelClass;
        return RegisterClassExW(&wc) != 0;
    }();
    return registered;
}

}  // namespace vorkel::ui
