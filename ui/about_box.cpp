// The about box: a plain window built from its layout table. The message loop's dialog-key
// handling gives it Tab, Enter and Esc; it answers DM_GETDEFID so that Enter means cmdOK.
#include "ui/about_box.h"

#include <windows.h>

#include <map>
#include <memory>

#include "links/unique_handle.h"
#include "ui/focus_memory.h"
#include "ui/frm_about_layout.h"
#include "ui/gdi.h"
#include "ui/test_queries.h"
#include "ui/top_level_windows.h"
#include "ui/twips.h"

namespace vorkel::ui {
namespace {

using frm_about::ControlId;
using frm_about::Kind;

// Fixed dialog frame: a title bar with the close button alone, no sizing border.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr DWORD kPictureExStyle = WS_EX_CLIENTEDGE;  // the sunken 2-pixel border

using UniquePen = win::UniqueHandle<GdiObjectTraits<HPEN>>;
using UniqueBitmap = win::UniqueHandle<GdiObjectTraits<HBITMAP>>;

class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

DWORD styleFor(Kind kind) {
    const DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    switch (kind) {
        case Kind::Picture:
            // The picture box takes focus in its turn, as a picture box does.
            return common | SS_BITMAP | SS_REALSIZECONTROL | WS_TABSTOP;
        case Kind::Label:
            return common | SS_LEFT | SS_NOPREFIX;  // SS_LEFT wraps at blanks
        case Kind::Button:
            return common | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP;
    }
    return common;
}

const wchar_t* classFor(Kind kind) {
    return kind == Kind::Button ? L"BUTTON" : L"STATIC";
}

class AboutBox {
  public:
    AboutBox() : dpi_(systemDpi()), fonts_(dpi_) {}
    AboutBox(const AboutBox&) = delete;
    AboutBox& operator=(const AboutBox&) = delete;

    static bool registerClass(HINSTANCE instance);
    // The window, made and shown; null when it could not be made, and then `this` may be gone.
    HWND open(HINSTANCE instance);
    void bringForward();
    HWND window() const { return hwnd_; }

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createWidgets(HINSTANCE instance);
    void showPicture(HINSTANCE instance);
    LRESULT colourFor(HDC dc, HWND child) const;
    void paintSeparator() const;
    HWND control(ControlId id) const;

    HWND hwnd_ = nullptr;
    int dpi_;
    FontCache fonts_;
    UniqueBitmap picture_;  // outlives the picture box: the window is gone before the object
    std::map<ControlId, HWND> controls_;
    FocusMemory focus_;
    bool registered_ = false;
};

// The one about box; its window discards it at WM_NCDESTROY.
std::unique_ptr<AboutBox>& openBox() {
    static std::unique_ptr<AboutBox> box;
    return box;
}

bool AboutBox::registerClass(HINSTANCE instance) {
    static const bool registered = [instance] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = kAboutBoxClass;
        return RegisterClassExW(&wc) != 0;
    }();
    return registered;
}

HWND AboutBox::open(HINSTANCE instance) {
    RECT frame{0, 0, pixelsFromTwips(frm_about::kClientWidthTwips, dpi_),
               pixelsFromTwips(frm_about::kClientHeightTwips, dpi_)};
    OffsetRect(&frame, pixelsFromTwips(frm_about::kScreenLeftTwips, dpi_),
               pixelsFromTwips(frm_about::kScreenTopTwips, dpi_));
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    HWND window = CreateWindowExW(kExStyle, kAboutBoxClass, frm_about::kTitle, kStyle, frame.left,
                                  frame.top, frame.right - frame.left, frame.bottom - frame.top,
                                  nullptr, nullptr, instance, this);
    if (!window) {
        return nullptr;
    }
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    SetFocus(control(frm_about::kCmdOk));
    return window;
}

void AboutBox::bringForward() {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
}

LRESULT CALLBACK AboutBox::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<AboutBox*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<AboutBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (self->registered_) {
            topLevelWindowClosed(hwnd);
        }
        if (openBox().get() == self) {
            openBox().reset();
        }
        return 0;
    }
    try {
        return self->handleMessage(message, wParam, lParam);
    } catch (...) {
        // Out of memory while making widgets or fonts: the box is not made, or stays as it is.
        return message == WM_CREATE ? -1 : 0;
    }
}

LRESULT AboutBox::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            createWidgets(reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance);
            topLevelWindowOpened(hwnd_);
            registered_ = true;
            return 0;
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
        case WM_ACTIVATE:
            focus_.onActivate(hwnd_, wParam);
            return 0;
        case WM_SETFOCUS:
            focus_.restore();
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return colourFor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_PAINT:
            paintSeparator();
            return 0;
        default: {
            LRESULT answer = 0;
            if (answerTestQuery(hwnd_, message, wParam, lParam, answer)) {
                return answer;
            }
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        }
    }
}

void AboutBox::createWidgets(HINSTANCE instance) {
    for (const frm_about::Widget& w : frm_about::widgets()) {
        const RECT place = w.place.toPixels(dpi_);
        HWND child =
            CreateWindowExW(w.kind == Kind::Picture ? kPictureExStyle : 0, classFor(w.kind), w.text,
                            styleFor(w.kind), place.left, place.top, place.right - place.left,
                            place.bottom - place.top, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(w.id)), instance, nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(w.font)), FALSE);
        controls_[w.id] = child;
    }
    focus_.remember(control(frm_about::kCmdOk));
    showPicture(instance);
}

void AboutBox::showPicture(HINSTANCE instance) {
    picture_.reset(
        static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(frm_about::kPictureResource),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP size{};
    HWND box = control(frm_about::kPicIcon);
    if (!picture_ || GetObjectW(picture_.get(), sizeof size, &size) == 0) {
        return;  // an empty box of the table's size is all that is lost
    }
    SendMessageW(box, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_.get()));
    // The box fits the picture at its own pixel size, whatever the DPI, plus the border.
    RECT outer{0, 0, size.bmWidth, size.bmHeight};
    AdjustWindowRectEx(&outer, styleFor(Kind::Picture), FALSE, kPictureExStyle);
    SetWindowPos(box, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND AboutBox::control(ControlId id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

LRESULT AboutBox::colourFor(HDC dc, HWND child) const {
    const auto id = static_cast<ControlId>(GetDlgCtrlID(child));
    const bool known = control(id) == child;
    const auto colour = known ? frm_about::widget(id).textColour : std::nullopt;
    SetTextColor(dc, colour ? *colour : GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void AboutBox::paintSeparator() const {
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
    try {
        if (openBox()) {
            openBox()->bringForward();
            return;
        }
        HINSTANCE instance = GetModuleHandleW(nullptr);
        if (!AboutBox::registerClass(instance)) {
            return;
        }
        openBox() = std::make_unique<AboutBox>();
        // A failed creation may already have discarded the box at WM_NCDESTROY.
        if (!openBox()->open(instance)) {
            openBox().reset();
        }
    } catch (...) {
        openBox().reset();  // no memory for the box: "Acerca De" shows nothing this time
    }
}

void closeAboutBox() noexcept {
    if (openBox()) {
        DestroyWindow(openBox()->window());
    }
}

}  // namespace vorkel::ui
