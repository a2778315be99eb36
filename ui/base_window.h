// What every window of the station shares: its class registered once, the window procedure
// that finds the window's object, widgets made from the window's table in its fonts, focus
// that comes back with the window, the widgets' colours, the program's count of open windows,
// and no exception out of a window procedure.
//
// A window derives as `class W : public BaseWindow<W>` and gives:
//   LRESULT handleMessage(UINT, WPARAM, LPARAM)   its own messages; DefWindowProcW otherwise
//   void onCreate()                                after its widgets are made (WM_CREATE)
//   void onWindowGone()                            at WM_NCDESTROY; may delete the object
// and, where its widgets' colours change at run time, textColourOf and backgroundOf.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <span>
#include <utility>

#include "station/exception_barrier.h"
#include "ui/focus_memory.h"
#include "ui/gdi.h"
#include "ui/top_level_windows.h"
#include "ui/widget_face.h"
#include "ui/widget_table.h"

namespace vorkel::ui {

template <typename Derived>
class BaseWindow {
  public:
    HWND window() const { return hwnd_; }

    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

  protected:
    explicit BaseWindow(std::span<const Widget> table)
        : table_(table), dpi_(systemDpi()), fonts_(widgetFaces(), dpi_) {}
    ~BaseWindow() = default;

    // Once per program, whichever window asks first.
    static bool registerClass(HINSTANCE instance, const wchar_t* className, HBRUSH background) {
        static const bool registered = [&] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = windowProc;
            wc.hInstance = instance;
            wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
            // Shared: the system frees the icon, not us.
            wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), LR_SHARED));
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = background;
            wc.lpszClassName = className;
            return RegisterClassExW(&wc) != 0;
        }();
        return registered;
    }

    // Creates the window with a client area of the given size in twips, its top-left corner at
    // place (screen pixels; CW_USEDEFAULT lets the system choose). False when it was not made,
    // and then the object may already be gone (onWindowGone).
    bool createWindow(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
                      POINT place, int widthTwips, int heightTwips) {
        RECT frame{0, 0, pixelsFromTwips(widthTwips, dpi_), pixelsFromTwips(heightTwips, dpi_)};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        const bool chosen = place.x == CW_USEDEFAULT;
        return CreateWindowExW(exStyle, className, title, style,
                               chosen ? CW_USEDEFAULT : place.x + frame.left,
                               chosen ? CW_USEDEFAULT : place.y + frame.top,
                               frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                               GetModuleHandleW(nullptr), this) != nullptr;
    }

    HWND control(int id) const {
        const auto found = controls_.find(id);
        return found == controls_.end() ? nullptr : found->second;
    }

    // Defaults for the widgets' colours: the table's.
    std::optional<Colour> textColourOf(int) const { return std::nullopt; }
    const std::pair<Colour, UniqueBrush>* backgroundOf(int) const { return nullptr; }

    HWND hwnd_ = nullptr;
    const std::span<const Widget> table_;
    const int dpi_;
    FontCache fonts_;
    FocusMemory focus_;
    std::map<int, HWND> controls_;

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self =
                static_cast<BaseWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<BaseWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            const bool counted = self->counted_;
            static_cast<Derived*>(self)->onWindowGone();  // `self` may be gone from here on
            if (counted) {
                topLevelWindowClosed(hwnd);  // the program ends with its last window
            }
            return 0;
        }
        // Out of memory, say: the message is dropped like any other failure, and a window that
        // cannot be made is not made.
        return withoutExceptions([&] { return self->dispatch(message, wParam, lParam); },
                                 [message] { return LRESULT(message == WM_CREATE ? -1 : 0); });
    }

    LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
        auto& derived = static_cast<Derived&>(*this);
        switch (message) {
            case WM_CREATE:
                if (!createWidgets(hwnd_, table_, fonts_, dpi_, controls_)) {
                    return -1;
                }
                derived.onCreate();
                topLevelWindowOpened(hwnd_);
                counted_ = true;
                return 0;
            case WM_ACTIVATE:
                focus_.onActivate(hwnd_, wParam);
                return 0;
            case WM_SETFOCUS:
                focus_.restore();
                return 0;
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN: {
                const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
                const Widget* widget = findWidget(table_, id);
                if (!widget || control(id) != reinterpret_cast<HWND>(lParam)) {
                    break;
                }
                return widgetColours(reinterpret_cast<HDC>(wParam), *widget,
                                     derived.textColourOf(id), derived.backgroundOf(id));
            }
            default:
                break;
        }
        return derived.handleMessage(message, wParam, lParam);
    }

    bool counted_ = false;
};

}  // namespace vorkel::ui
