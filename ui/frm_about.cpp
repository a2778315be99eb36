// The about box: a plain window built from its layout table. The message loop's dialog-key
// handling gives it Tab, Enter and Esc; it answers DM_GETDEFID so that Enter means cmdOK.
#include "ui/frm_about.h"

#include <windows.h>

#include <memory>

#include "station/exception_barrier.h"
#include "ui/base_window.h"
#include "ui/frm_about_layout.h"
#include "ui/gdi.h"
#include "ui/twips.h"

namespace vorkel::ui {
namespace {

// Fixed dialog frame: a title bar with the close button alone, no sizing border.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

using win::PaintScope;
using win::UniqueBitmap;
using win::UniquePen;

class frmAbout final : public BaseWindow<frmAbout> {
  public:
    frmAbout() : BaseWindow(frm_about::widgets()) {}

    static bool registerClass(HINSTANCE instance) {
        return BaseWindow::registerClass(instance, kAboutBoxClass, GetSysColorBrush(COLOR_BTNFACE));
    }
    // The window, made and shown; false when it could not be made, and then `this` is gone.
    bool open();
    void bringForward();

  private:
    friend class BaseWindow<frmAbout>;

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void onCreate();
    void onWindowGone();
    void showPicture();
    void paintSeparator() const;

    UniqueBitmap picture_;  // outlives the picture box: the window is gone before the object
};

// The one about box; its window discards it at WM_NCDESTROY.
std::unique_ptr<frmAbout>& openBox() {
    static std::unique_ptr<frmAbout> box;
    return box;
}

bool frmAbout::open() {
    const POINT place{pixelsFromTwips(frm_about::kScreenLeftTwips, dpi_),
                      pixelsFromTwips(frm_about::kScreenTopTwips, dpi_)};
    if (!createWindow(kAboutBoxClass, frm_about::kTitle, kStyle, kExStyle, place,
                      frm_about::kClientWidthTwips, frm_about::kClientHeightTwips)) {
        return false;
    }
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    SetFocus(control(frm_about::kCmdOk));
    return true;
}

void frmAbout::bringForward() {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
}

void frmAbout::onCreate() {
    focus_.remember(control(frm_about::kCmdOk));
    showPicture();
}

void frmAbout::onWindowGone() {
    if (openBox().get() == this) {
        openBox().reset();
    }
}

LRESULT frmAbout::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            // IDOK: cmdOK clicked or Enter; IDCANCEL: Esc. Once closed, `this` is gone.
            if ((LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) &&
                HIWORD(wParam) == BN_CLICKED) {
                closeAboutBox();
            }
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(frm_about::kCmdOk, DC_HASDEFID);
        case WM_CLOSE:
            closeAboutBox();
            return 0;
        case WM_PAINT:
            paintSeparator();
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void frmAbout::showPicture() {
    picture_.reset(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                   MAKEINTRESOURCEW(frm_about::kPictureResource),
                                                   IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP size{};
    HWND box = control(frm_about::kPicIcon);
    if (!picture_ || GetObjectW(picture_.get(), sizeof size, &size) == 0) {
        return;  // an empty box of the table's size is all that is lost
    }
    SendMessageW(box, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_.get()));
    // The box fits the picture at its own pixel size, whatever the DPI, plus the border.
    RECT outer{0, 0, size.bmWidth, size.bmHeight};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(box, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(box, GWL_EXSTYLE)));
    SetWindowPos(box, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmAbout::paintSeparator() const {
    PaintScope paint(hwnd_);
    for (const frm_about::Line& line : frm_about::separator()) {
        UniquePen pen(CreatePen(PS_SOLID, 1, line.colour));
        Selection selected(paint.dc(), pen.get());
        // A row at a time: where a wide pen puts its extra row differs between GDIs.
        const int left = pixelsFromTwips(line.left, dpi_);
        const int right = pixelsFromTwips(line.right, dpi_);
        const int top = pixelsFromTwips(line.top, dpi_);
        for (int row = 0; row < line.widthPixels; ++row) {
            MoveToEx(paint.dc(), left, top + row, nullptr);
            LineTo(paint.dc(), right, top + row);
        }
    }
}

}  // namespace

void showAboutBox() noexcept {
    withoutExceptions(
        [] {
            if (openBox()) {
                openBox()->bringForward();
                return;
            }
            if (!frmAbout::registerClass(GetModuleHandleW(nullptr))) {
                return;
            }
            openBox() = std::make_unique<frmAbout>();
            // A failed creation may already have discarded the box at WM_NCDESTROY.
            if (!openBox()->open()) {
                openBox().reset();
            }
        },
        [] { openBox().reset(); });  // no memory for the box: "Acerca De" shows nothing this time
}

void closeAboutBox() noexcept {
    if (openBox()) {
        DestroyWindow(openBox()->window());
    }
}

}  // namespace vorkel::ui
