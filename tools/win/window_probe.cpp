// Looks at and works the windows of another program, for tests run under Wine: finds a window by
// its title, lists its widgets, reads fonts through the station's test query, clicks, types.
//
//   window_probe.exe windows                    top-level windows, one JSON object a line
//   window_probe.exe widgets TITLE              the widgets of the window whose title starts so
//   window_probe.exe font TITLE ID              weight and pixel height of a widget's font
//   window_probe.exe press TITLE ID             a button press as the button itself sends it
//   window_probe.exe click X Y                  a real mouse click at screen coordinates
//   window_probe.exe keys TITLE VK [VK...]      brings the window forward and types virtual keys
//   window_probe.exe focus TITLE                the id of the widget with the keyboard focus
//   window_probe.exe close TITLE                the title bar's close button (SC_CLOSE)
//   window_probe.exe resize TITLE WIDTH HEIGHT  outer size in pixels
//   window_probe.exe move TITLE X Y             outer top-left corner on the screen
//   window_probe.exe origin TITLE               the client area's top-left corner on the screen
//   window_probe.exe at X Y                     the top-level window seen at a screen point
//   window_probe.exe minimize|restore TITLE
// Exit code 0 on success, 2 when the window or widget is not there, 1 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT kQueryFontMessage = WM_APP + 1;  // answered by the station's main window

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::string json(const std::wstring& text) {
    std::string out = "\"";
    for (char c : utf8(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::wstring windowText(HWND window) {
    wchar_t buffer[4096];
    // WM_GETTEXT with a time-out: a hung station must not hang its tests.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer),
                             reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &length)) {
        return L"<no answer>";
    }
    return std::wstring(buffer, length);
}

std::wstring className(HWND window) {
    wchar_t buffer[256];
    return std::wstring(buffer, static_cast<std::size_t>(GetClassNameW(window, buffer, 256)));
}

std::string rectJson(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    RECT c{};
    GetClientRect(window, &c);
    char out[160];
    std::snprintf(out, sizeof out, "\"rect\":[%ld,%ld,%ld,%ld],\"client\":[%ld,%ld]", r.left, r.top,
                  r.right, r.bottom, c.right, c.bottom);
    return out;
}

struct Search {
    std::wstring titleStart;
    HWND found = nullptr;
};

BOOL CALLBACK matchTitle(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t title[512];
    GetWindowTextW(window, title, 512);
    if (IsWindowVisible(window) &&
        std::wcsncmp(title, search->titleStart.c_str(), search->titleStart.size()) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findWindow(const wchar_t* titleStart) {
    Search search{titleStart};
    EnumWindows(matchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK printWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) {
        return TRUE;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    std::printf(
        "{\"hwnd\":%llu,\"title\":%s,\"class\":%s,%s,\"topmost\":%s,\"style\":%lld,"
        "\"pid\":%lu}\n",
        static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
        json(windowText(window)).c_str(), json(className(window)).c_str(), rectJson(window).c_str(),
        (exStyle & WS_EX_TOPMOST) ? "true" : "false", static_cast<long long>(style), pid);
    return TRUE;
}

BOOL CALLBACK printWidget(HWND widget, LPARAM) {
    const LONG_PTR style = GetWindowLongPtrW(widget, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(widget, GWL_EXSTYLE);
    const LRESULT checked = SendMessageW(widget, BM_GETCHECK, 0, 0);
    std::printf(
        "{\"id\":%d,\"parent\":%d,\"class\":%s,\"text\":%s,%s,\"enabled\":%s,"
        "\"visible\":%s,\"checked\":%s,\"style\":%lld,\"exstyle\":%lld}\n",
        GetDlgCtrlID(widget), GetDlgCtrlID(GetParent(widget)), json(className(widget)).c_str(),
        json(windowText(widget)).c_str(), rectJson(widget).c_str(),
        IsWindowEnabled(widget) ? "true" : "false", IsWindowVisible(widget) ? "true" : "false",
        checked == BST_CHECKED ? "true" : "false", static_cast<long long>(style),
        static_cast<long long>(exStyle));
    return TRUE;
}

HWND widgetOf(HWND window, int id) {
    struct Find {
        int id;
        HWND found;
    } find{id, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            auto* f = reinterpret_cast<Find*>(context);
            if (GetDlgCtrlID(child) == f->id) {
                f->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

void sendKey(WORD vk) {
    INPUT inputs[2]{};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = vk;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    Sleep(50);
}

void clickAt(int x, int y) {
    SetCursorPos(x, y);
    INPUT inputs[2]{};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
    Sleep(100);
}

int run(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 1;
    }
    const std::wstring command = argv[1];
    if (command == L"windows") {
        EnumWindows(printWindow, 0);
        return 0;
    }
    if (command == L"click" && argc == 4) {
        clickAt(_wtoi(argv[2]), _wtoi(argv[3]));
        return 0;
    }
    if (command == L"at" && argc == 4) {
        // Wine's own stacking, which a bare X server without window manager may not show.
        HWND top = GetAncestor(WindowFromPoint(POINT{_wtoi(argv[2]), _wtoi(argv[3])}), GA_ROOT);
        std::printf("{\"hwnd\":%llu,\"title\":%s}\n",
                    static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(top)),
                    json(top ? windowText(top) : std::wstring()).c_str());
        return 0;
    }
    if (argc < 3) {
        return 1;
    }
    HWND window = findWindow(argv[2]);
    if (!window) {
        std::printf("no window titled %s\n", json(argv[2]).c_str());
        return 2;
    }
    if (command == L"widgets") {
        EnumChildWindows(window, printWidget, 0);
        return 0;
    }
    if (command == L"focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        std::printf("{\"focus\":%d,\"active\":%s}\n",
                    info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : -1,
                    info.hwndActive == window ? "true" : "false");
        return 0;
    }
    if (command == L"close") {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    if (command == L"minimize" || command == L"restore") {
        ShowWindowAsync(window, command == L"minimize" ? SW_MINIMIZE : SW_RESTORE);
        return 0;
    }
    if (command == L"resize" && argc == 5) {
        SetWindowPos(window, nullptr, 0, 0, _wtoi(argv[3]), _wtoi(argv[4]),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    if (command == L"move" && argc == 5) {
        SetWindowPos(window, nullptr, _wtoi(argv[3]), _wtoi(argv[4]), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    if (command == L"origin") {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        std::printf("{\"x\":%ld,\"y\":%ld}\n", origin.x, origin.y);
        return 0;
    }
    if (command == L"keys") {
        SetForegroundWindow(window);
        Sleep(150);
        for (int k = 3; k < argc; ++k) {
            sendKey(static_cast<WORD>(_wtoi(argv[k])));
        }
        return 0;
    }
    if (argc < 4) {
        return 1;
    }
    HWND widget = widgetOf(window, _wtoi(argv[3]));
    if (!widget) {
        std::printf("no widget %ls\n", argv[3]);
        return 2;
    }
    if (command == L"font") {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, kQueryFontMessage, static_cast<WPARAM>(_wtoi(argv[3])), 0,
                            SMTO_ABORTIFHUNG, 2000, &answer);
        std::printf("{\"weight\":%u,\"height\":%u}\n", HIWORD(answer), LOWORD(answer));
        return 0;
    }
    if (command == L"press") {
        PostMessageW(widget, BM_CLICK, 0, 0);
        return 0;
    }
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int status = run(argc, argv);
    std::fflush(stdout);
    return status;
}
