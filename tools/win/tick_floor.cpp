// The floor of one tick: the least program that makes the system calls of one of the station's
// ticks, once a second. The window is kept topmost, the tracking program is asked for its
// record over the station's own DDE link, the record goes into Label1 and its pieces into the
// seven value fields (those that changed), and one point command goes out on COM1 (opened, set up,
// written, flushed and closed).
// Nothing else: no parsing beyond cutting at blanks, no arithmetic, no colours, no fonts.
// Measured beside the station (tools/measure.py), it shows what the station adds to a tick.

// clang-format off
#include <windows.h>
// clang-format on

#include <array>
#include <string>

#include "links/dde_client.h"
#include "tests/point_command_bytes.h"

namespace {

constexpr wchar_t kTitle[] = L"vorkelDDE tick floor";
constexpr UINT_PTR kTimer = 1;

HWND label = nullptr;
// Nine bytes, a point command of the station.
const std::string kCommand = vorkel::testing::pointCommandBytes(180, 45);
std::array<HWND, 7> fields{};
std::array<std::wstring, 8> shown;  // the texts of the fields and Label1, as last set

// As the station does: a text is set only when it changes, since setting it repaints.
void show(std::size_t slot, HWND control, const std::wstring& text) {
    if (shown[slot] != text) {
        shown[slot] = text;
        SetWindowTextW(control, text.c_str());
    }
}

vorkel::win::DdeClient* link = nullptr;

void writeCommand() {
    const HANDLE port = CreateFileW(L"\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 2, 100};
    DWORD written = 0;
    if (GetCommState(port, &dcb)) {
        dcb.BaudRate = 9600;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        if (SetCommState(port, &dcb) && SetCommTimeouts(port, &timeouts) &&
            PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR) &&
            WriteFile(port, kCommand.data(), static_cast<DWORD>(kCommand.size()), &written,
                      nullptr)) {
            FlushFileBuffers(port);
        }
    }
    CloseHandle(port);
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

    vorkel::win::DdeClient trackingLink;
    link = &trackingLink;
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
