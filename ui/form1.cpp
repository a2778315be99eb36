// The main window: widgets from the layout table, events to the station, StationView on widgets.
#include "ui/form1.h"

#include "links/dde_client.h"
#include "links/serial_rotor_port.h"
#include "station/station.h"
#include "ui/frm_about.h"
#include "ui/window_icons.h"
#include "ui/window_timer.h"
#include "win/text_conversion.h"

namespace vorkel::ui {
namespace {

constexpr wchar_t kClassName[] = L"VorkelForm1";
// The failure first: a title bar of the window's normal width shows only the title's start.
constexpr wchar_t kFailureTitle[] = L"Un error ha ocurrido... - Driver DDE VORKEL v1.0";
constexpr UINT_PTR kTimer1 = 1;
// Posted by the station's close: the window goes once the station has returned.
constexpr UINT kGo = WM_APP + 1;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX;

}  // namespace

// What lives only while the window does: the station and its links end with the window.
struct Form1::Running {
    Running(Form1& view, HWND window) : timer(window, kTimer1), station(view, dde, port, timer) {
        dde.setMessageStep(handleQueuedMessage);
    }

    SerialRotorPort port;
    DdeClient dde;
    WindowTimer timer;
    Station station;
};

Form1::Form1() : BaseWindow(form1::widgets()) {}
Form1::~Form1() = default;

bool Form1::registerClass(HINSTANCE instance) {
    // The background is painted at WM_ERASEBKGND: the design-time face until start-up's green.
    return BaseWindow::registerClass(instance, kClassName, nullptr);
}

bool Form1::open(int showCommand) {
    if (!createWindow(kClassName, form1::kTitle, kStyle, 0, POINT{CW_USEDEFAULT, CW_USEDEFAULT},
                      form1::kClientWidthTwips, form1::kClientHeightTwips)) {
        return false;
    }
    running_->station.startStation();
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    focus_.remember(control(form1::kOptNormal));
    focus_.restore();
    return true;
}

void Form1::onCreate() {
    SendMessageW(control(form1::kOptNormal), BM_SETCHECK, BST_CHECKED, 0);
    running_ = std::make_unique<Running>(*this, hwnd_);
}

LRESULT Form1::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kTimer1) {
                enterStation(Entry::Tick);
            }
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == form1::kCmdStop) {
                    enterStation(Entry::Stop);
                } else if (LOWORD(wParam) == form1::kChkUpdate) {
                    enterStation(Entry::SendSwitched);
                } else if (LOWORD(wParam) == form1::kCmdAcerca) {
                    showAboutBox();
                }
            }
            return 0;
        case WM_ERASEBKGND:
            eraseBackground(reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_CLOSE:
            if (running_) {
                enterStation(Entry::Close);  // the station asks for the window to go
            } else {
                DestroyWindow(hwnd_);
            }
            return 0;
        case kGo:
            DestroyWindow(hwnd_);
            return 0;
        case WM_ENDSESSION:
            // The process may be ended without its window being destroyed: free the port now.
            if (wParam) {
                enterStation(Entry::SessionEnd);
            }
            return 0;
        case WM_DESTROY:
            running_.reset();  // stops the ticks and ends the conversation with the tracker
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void Form1::enterStation(Entry entry) {
    if (running_) {
        running_->station.enter(entry);
    }
}

void Form1::closeWindow() {
    // Posted: the station that asks is still on the stack, and goes with the window.
    PostMessageW(hwnd_, kGo, 0, 0);
}

std::optional<Colour> Form1::textColourOf(int id) const {
    const auto colour = textColours_.find(id);
    return colour == textColours_.end() ? std::nullopt : std::optional<Colour>(colour->second);
}

const std::pair<Colour, UniqueBrush>* Form1::backgroundOf(int id) const {
    const auto background = backgrounds_.find(id);
    return background == backgrounds_.end() ? nullptr : &background->second;
}

void Form1::eraseBackground(HDC dc) {
    RECT area;
    GetClientRect(hwnd_, &area);
    const auto background = backgrounds_.find(form1::kWindow);
    FillRect(dc, &area,
             background != backgrounds_.end() ? background->second.second.get()
                                              : GetSysColorBrush(COLOR_BTNFACE));
}

std::wstring Form1::fieldText(Field field) const {
    HWND child = control(form1::controlFor(field));
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(child)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(child, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Form1::setFieldText(Field field, const std::wstring& text) {
    // Most ticks bring the same texts again; setting them anyway would repaint for nothing.
    if (fieldText(field) != text) {
        SetWindowTextW(control(form1::controlFor(field)), text.c_str());
    }
}

void Form1::setTextColour(Field field, Colour colour) {
    const int id = form1::controlFor(field);
    const auto old = textColours_.find(id);
    if (old == textColours_.end() || old->second != colour) {
        textColours_[id] = colour;
        InvalidateRect(control(id), nullptr, TRUE);
    }
}

void Form1::setRawTextBold(bool bold) {
    label1Bold_ = bold;
    SendMessageW(control(form1::kLabel1), WM_SETFONT,
                 reinterpret_cast<WPARAM>(fonts_.get(FontSpec{825, bold})), TRUE);
}

bool Form1::sendTicked() const {
    return SendMessageW(control(form1::kChkUpdate), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form1::untickSend() {
    SendMessageW(control(form1::kChkUpdate), BM_SETCHECK, BST_UNCHECKED, 0);
}

bool Form1::normalSelected() const {
    return SendMessageW(control(form1::kOptNormal), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form1::raiseTopmost() {
    // Already the first of the topmost windows: restacking would only cost the window system.
    const bool topmost = (GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    if (topmost && GetWindow(hwnd_, GW_HWNDPREV) == nullptr) {
        return;
    }
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form1::moveToScreenTop() {
    RECT place;
    if (GetWindowRect(hwnd_, &place)) {
        SetWindowPos(hwnd_, nullptr, place.left, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Form1::setBackground(Surface surface, Colour colour) {
    const int id = form1::controlFor(surface);
    backgrounds_[id] = {colour, UniqueBrush(CreateSolidBrush(colour))};
    InvalidateRect(id == form1::kWindow ? hwnd_ : control(id), nullptr, TRUE);
}

void Form1::disableFrame(Frame frame) {
    EnableWindow(control(form1::controlFor(frame)), FALSE);
}

void Form1::showFailure(const std::string& reason) {
    const bool failed = !reason.empty();
    if (failed != failureShown_) {
        failureShown_ = failed;
        SetWindowTextW(hwnd_, failed ? kFailureTitle : form1::kTitle);
        // The warning sign in the title bar, on the taskbar button and in Alt-Tab. Every icon
        // here is shared, the system's or the class's: none is ours to destroy.
        for (const WPARAM which : {WPARAM{ICON_SMALL}, WPARAM{ICON_BIG}}) {
            const HICON icon = failed ? warningIcon(which) : ownIcon(hwnd_, which);
            SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
        }
    }
    // Why the title says so, for whoever looks: a debug-output viewer on Windows, WINEDEBUG=
    // warn+seh under Wine 8. Once per change of reason: a lasting fault writes one line.
    if (reason != failureReason_) {
        failureReason_ = reason;
        const std::wstring line =
            L"vorkelDDE: " + (failed ? win::wideFromUtf8(reason) : L"working again") + L"\n";
        OutputDebugStringW(line.c_str());
    }
}

}  // namespace vorkel::ui
