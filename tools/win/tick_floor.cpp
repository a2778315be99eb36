// The floor of one tick: the least program that makes the system calls of one of the station's
// ticks, once a second. The window is kept topmost, the tracking program is asked for its
// record over the station's own DDE link, the record goes into Label1 and its pieces into the
// seven value fields (those that changed), and one point command goes out on COM1 through the
// station's own port, held from tick to tick as the station holds it.
// Nothing else: no parsing beyond cutting at blanks, no arithmetic, no colours, no fonts.
// Measured beside the station (tools/measure.py), it shows what the station adds to a tick.

// clang-format off
#include <windows.h>
// clang-format on

#include <array>
#include <string>

#include "links/dde_client.h"
#include "links/serial_rotor_port.h"

namespace {

constexpr wchar_t kTitle[] = L"vorkelDDE tick floor";
constexpr UINT_PTR kTimer = 1;

HWND label = nullptr;
// A point command of the station: "W180 045" and CR.
constexpr wchar_t kCommand[] = L"W180 045\r";
std::array<HWND, 7> fields{};
std::array<std::wstring, 8> shown;  // the texts of the fields and Label1, as last set

// As the station does: a text is set only when it changes, since setting it repaints.
void show(std::size_t slot, HWND control, const std::wstring& text) {
    if (shown[slot] != text) {
        shown[slot] = text;
        SetWindowTextW(control, text.c_str());
    }
}

vorkel::DdeClient* link = nullptr;
vorkel::SerialRotorPort* port = nullptr;

// As the station sends: opened at the first command, held while the writes go through.
void writeCommand() {
    if (!port->isOpen() && !port->open().ok()) {
        return;
    }
    if (!port->write(kCommand).ok()) {
        port->close();
    }
}

void tick(HWND window) {
    // As the station does: restacked only when some other window has come above it.
    if ((GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0 ||
        GetWindow(window, GW_HWNDPREV) != nullptr) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    std::wstring record;
    if (!link->request(record).ok()) {
        return;
    }
    show(7, label, record);
    // Five pieces of the record, then azimuth and elevation again for the mirror fields.
    std::array<std::wstring, 5> pieces;
    std::size_t start = 0;
    for (std::wstring& piece : pieces) {
        const std::size_t blank = record.find(L' ', start);
        piece = record.substr(start, blank - start);
        start = blank == std::wstring::npos ? record.size() : blank + 1;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        show(i, fields[i], pieces[i < 5 ? i : i - 4]);
    }
    writeCommand();
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            tick(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"VorkelTickFloor";
    RegisterClassW(&wc);
    const HWND window =
        CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, kTitle, WS_OVERLAPPEDWINDOW, 0, 0, 217,
                        296, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i] = CreateWindowExW(
            WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL, 8,
            8 + 24 * static_cast<int>(i), 190, 20, window, nullptr, instance, nullptr);
    }
    label = CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, 8, 180, 190, 60, window, nullptr,
                          instance, nullptr);

    vorkel::DdeClient trackingLink;
    link = &trackingLink;
    vorkel::SerialRotorPort rotorPort;
    port = &rotorPort;
    (void)rotorPort.configure(1, L"9600,n,8,1");
    // As the station, it keeps running when the tracking program is absent: every tick fails.
    if (!trackingLink.setTopic(L"Orbitron|Tracking").ok() ||
        !trackingLink.setItem(L"TrackingData").ok() || !trackingLink.openManual().ok()) {
        SetWindowTextW(label, L"no tracking program");
    }
    SetTimer(window, kTimer, 1000, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
