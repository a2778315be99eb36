// The main window: widgets from the layout table, events to the station, StationView on widgets.
#include "ui/form1.h"

#include "links/dde_tracking_link.h"
#include "links/serial_rotor_port.h"
#include "links/windows_error.h"
#include "station/station.h"
#include "ui/about_box.h"
#include "ui/frame_panel.h"
#include "ui/test_queries.h"
#include "ui/top_level_windows.h"
#include "ui/window_timer.h"

namespace vorkel::ui {
namespace {

constexpr wchar_t kClassName[] = L"VorkelForm1";
constexpr wchar_t kFailureTitle[] = L"Driver DDE VORKEL v1.0 - Un error ha ocurrido...";
constexpr UINT_PTR kTimer1 = 1;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX;

using form1::ControlId;
using form1::Kind;

DWORD styleFor(const form1::Widget& w) {
    const DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    switch (w.kind) {
        case Kind::Frame:
            return common;
        case Kind::TextBox:
            // Read-only as well as out of reach in its disabled frame: values are never typed.
            return common | ES_AUTOHSCROLL | ES_READONLY | ES_LEFT;
        case Kind::Label:
            return common | SS_LEFT | SS_NOPREFIX;
        case Kind::Option:
            return common | BS_AUTORADIOBUTTON |
                   (w.id == form1::kOptNormal ? WS_GROUP | WS_TABSTOP : 0);
        case Kind::Check:
            return common | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP;
        case Kind::Button:
            return common | BS_PUSHBUTTON | WS_TABSTOP;
    }
    return common;
}

const wchar_t* classFor(Kind kind) {
    switch (kind) {
        case Kind::Frame:
            return kFramePanelClass;
        case Kind::TextBox:
            return L"EDIT";
        case Kind::Label:
            return L"STATIC";
        default:
            return L"BUTTON";
    }
}

}  // namespace

// What lives only while the window does: the station and its links end with the window.
struct Form1::Running {
    Running(Form1& view, HWND window)
        : link(view), timer(window, kTimer1), station(view, link, port, timer) {}

    SerialRotorPort port;
    win::DdeTrackingLink link;
    WindowTimer timer;
    Station station;
};

Form1::Form1() = default;
Form1::~Form1() = default;

bool Form1::registerClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 && registerFramePanelClass(instance);
}

bool Form1::open(HINSTANCE instance, int showCommand) {
    dpi_ = systemDpi();
    fonts_ = std::make_unique<FontCache>(dpi_);
    RECT frame{0, 0, pixelsFromTwips(form1::kClientWidthTwips, dpi_),
               pixelsFromTwips(form1::kClientHeightTwips, dpi_)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    if (!CreateWindowExW(0, kClassName, form1::kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                         instance, this)) {
        return false;
    }
    runStation([this] { running_->station.startStation(); });
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    focus_.remember(control(form1::kOptNormal));
    focus_.restore();
    return true;
}

LRESULT CALLBACK Form1::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT Form1::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            createWidgets(reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance);
            running_ = std::make_unique<Running>(*this, hwnd_);
            topLevelWindowOpened(hwnd_);
            return 0;
        case WM_TIMER:
            if (wParam == kTimer1) {
                runStation([this] { running_->station.runTrackingTick(); });
            }
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == form1::kCmdStop) {
                    runStation([this] { running_->station.stopRotor(); });
                } else if (LOWORD(wParam) == form1::kCmdAcerca) {
                    showAboutBox();
                }
            }
            return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            return colourFor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message,
                             wParam, lParam);
        case WM_ERASEBKGND:
            eraseBackground(reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_CLOSE:
            if (stationDepth_ > 0) {
                closePending_ = true;  // the station is waiting for an answer: close after it
                return 0;
            }
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            running_.reset();  // stops the ticks and ends the conversation with the tracker
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            topLevelWindowClosed(hwnd_);
            hwnd_ = nullptr;
            return 0;
        case WM_ACTIVATE:
            focus_.onActivate(hwnd_, wParam);
            return 0;
        case WM_SETFOCUS:
            focus_.restore();
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

template <typename Call>
void Form1::runStation(Call call) {
    if (!running_) {
        return;
    }
    ++stationDepth_;
    call();
    --stationDepth_;
    if (stationDepth_ == 0 && closePending_) {
        closePending_ = false;
        DestroyWindow(hwnd_);
    }
}

void Form1::createWidgets(HINSTANCE instance) {
    // Each widget created lies beneath those created before it in its container: static texts
    // come last, beneath every other widget, and the others keep the table's order, which is
    // the tab order.
    for (const bool labels : {false, true}) {
        for (const form1::Widget& w : form1::widgets()) {
            if ((w.kind == Kind::Label) == labels) {
                createWidget(instance, w);
            }
        }
    }
    SendMessageW(control(form1::kOptNormal), BM_SETCHECK, BST_CHECKED, 0);
}

void Form1::createWidget(HINSTANCE instance, const form1::Widget& w) {
    const RECT place = w.place.toPixels(dpi_);
    HWND parent = w.container == form1::kWindow ? hwnd_ : control(w.container);
    const DWORD exStyle = w.kind == Kind::TextBox ? WS_EX_CLIENTEDGE : 0;  // sunken field
    HWND child =
        CreateWindowExW(exStyle, classFor(w.kind), w.text, styleFor(w), place.left, place.top,
                        place.right - place.left, place.bottom - place.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(w.id)), instance, nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_->get(w.font)), FALSE);
    controls_[w.id] = child;
    if (w.textColour) {
        textColours_[w.id] = *w.textColour;
    }
}

HWND Form1::control(ControlId id) const {
    if (id == form1::kWindow) {
        return hwnd_;
    }
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

LRESULT Form1::colourFor(HDC dc, HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto id = static_cast<ControlId>(GetDlgCtrlID(child));
    const Kind kind = id == form1::kWindow ? Kind::Frame : form1::widget(id).kind;
    if (kind == Kind::TextBox) {
        // Read-only edits ask as statics; they keep the ordinary text-field look all the same.
        const auto colour = textColours_.find(id);
        SetTextColor(dc,
                     colour != textColours_.end() ? colour->second : GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    const auto background = backgrounds_.find(id);
    if (background != backgrounds_.end()) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, background->second.first);
        return reinterpret_cast<LRESULT>(background->second.second.get());
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
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
    const ControlId id = form1::controlFor(field);
    const auto old = textColours_.find(id);
    if (old == textColours_.end() || old->second != colour) {
        textColours_[id] = colour;
        InvalidateRect(control(id), nullptr, TRUE);
    }
}

void Form1::setRawTextBold(bool bold) {
    label1Bold_ = bold;
    SendMessageW(control(form1::kLabel1), WM_SETFONT,
                 reinterpret_cast<WPARAM>(fonts_->get(FontSpec{825, bold})), TRUE);
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
    const ControlId id = form1::controlFor(surface);
    backgrounds_[id] = {colour, UniqueBrush(CreateSolidBrush(colour))};
    InvalidateRect(control(id), nullptr, TRUE);
}

void Form1::disableFrame(Frame frame) {
    EnableWindow(control(form1::controlFor(frame)), FALSE);
}

void Form1::showFailure(const std::string& reason) {
    const bool failed = !reason.empty();
    if (failed != failureShown_) {
        failureShown_ = failed;
        SetWindowTextW(hwnd_, failed ? kFailureTitle : form1::kTitle);
    }
    // Why the title says so, for whoever looks: a debug-output viewer on Windows, WINEDEBUG=
    // +debugstr under Wine. Once per change of reason: a lasting fault writes one line.
    if (reason != failureReason_) {
        failureReason_ = reason;
        const std::wstring line =
            L"vorkelDDE: " + (failed ? win::wideFromUtf8(reason) : L"working again") + L"\n";
        OutputDebugStringW(line.c_str());
    }
}

}  // namespace vorkel::ui
