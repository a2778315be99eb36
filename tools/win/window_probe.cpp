// Looks at and works the windows of another program, for tests run under Wine: finds a window by
// a piece of its title, lists its widgets, clicks, types, and asks the station's instruments.
//
//   window_probe.exe serve                      commands from standard input, one a line, their
//                                               arguments separated by tabs; after each command's
//                                               output a line "\x1e CODE" with its exit code
//   window_probe.exe windows                    top-level windows, one JSON object a line
//   window_probe.exe widgets TITLE              the widgets of the window whose title holds TITLE
//   window_probe.exe press TITLE ID [N [MS]]    a button press as the button itself sends it;
//                                               N presses MS milliseconds apart (default 1, 0)
//   window_probe.exe click X Y                  a real mouse click at screen coordinates
//   window_probe.exe keys TITLE VK [VK...]      brings the window forward and types virtual keys
//   window_probe.exe focus TITLE                the id of the widget with the keyboard focus
//   window_probe.exe close TITLE                the title bar's close button (SC_CLOSE)
//   window_probe.exe endsession TITLE [UNIX]    the end of the Windows session as Windows tells a
//                                               window: WM_QUERYENDSESSION, then (at UNIX seconds
//                                               if given) WM_ENDSESSION, both sent; prints when
//                                               the latter was sent and when it was answered
//   window_probe.exe resize TITLE WIDTH HEIGHT  outer size in pixels
//   window_probe.exe move TITLE X Y             outer top-left corner on the screen
//   window_probe.exe origin TITLE               the client area's top-left corner on the screen
//   window_probe.exe at X Y                     the top-level window seen at a screen point
//   window_probe.exe minimize|restore TITLE
//   window_probe.exe ping TITLE                 how long the window takes to answer (WM_NULL)
//   window_probe.exe title TITLE TEXT           the pixels TEXT takes in the caption font, and
//                                               the room Wine's title bar leaves for the title
//   window_probe.exe reg add KEY NAME dword|text VALUE, reg delete KEY NAME
//                                               a registry value of the session's prefix
// With the station's instruments (tests/instruments, a DLL named by VORKEL_INSTRUMENTS, which
// the probe hooks into the station's window thread):
//   window_probe.exe ask TITLE QUERY [ID]       the instruments' answer: ids (control ids by
//                                               name), font ID, caption ID, icons, memory
//   window_probe.exe resources TITLE            what the window's process holds (see below)
//   window_probe.exe watch TITLE SECONDS [ID...]
//                                               every 100 ms one JSON line: whether the window
//                                               answers and how fast, its title, the icon it
//                                               shows, the first widget's font weight (Label1's)
//                                               and the widgets' texts
// resources prints the process's handles and threads (from the system's process list), its
// windows, GDI and USER objects where the system counts them, and what the instruments read
// inside it: heap bytes and blocks in use, and GDI objects under Wine (-1 where a figure cannot
// be counted).
// Exit code 0 on success, 2 when the window or widget is not there, 1 on bad arguments, 3 when
// a pinged window or the instruments do not answer within 1.5 s.
#include <windows.h>

#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "win/descendants.h"
#include "win/gdi_guards.h"
#include "win/handles.h"
#include "win/text_conversion.h"

namespace {

// A window that takes longer than this to answer counts as hung.
constexpr UINT kAnswerMilliseconds = 1500;
// The instruments' answer to a question for a figure: what matters is the figure, not how soon
// it comes (the window's answering is the ping's to measure).
constexpr UINT kFigureMilliseconds = 5000;

std::string json(const std::wstring& text) {
    std::string out = "\"";
    for (char c : vorkel::win::utf8FromWide(text)) {
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
    // Label1 may hold a whole record of up to 4096 bytes.
    wchar_t buffer[4200];
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

double milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Seconds since 1970 on the same clock as Linux programs (Wine reads CLOCK_REALTIME), so that
// samples line up with the simulators' logs.
double unixSeconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return double(ticks - 116444736000000000ull) / 1e7;
}

// Milliseconds the window took to handle WM_NULL, or -1 when it did not within the limit.
double ping(HWND window) {
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    DWORD_PTR result = 0;
    const LRESULT answered =
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerMilliseconds, &result);
    QueryPerformanceCounter(&end);
    return answered ? milliseconds(start, end) : -1.0;
}

// Like windowText, but an unanswered request is told apart from an empty text.
bool askText(HWND window, std::wstring& text) {
    wchar_t buffer[4200];
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer),
                             reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, kAnswerMilliseconds,
                             &length)) {
        return false;
    }
    text.assign(buffer, length);
    return true;
}

struct Search {
    std::wstring titleStart;
    HWND found = nullptr;
};

BOOL CALLBACK matchTitle(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t title[512];
    GetWindowTextW(window, title, 512);
    // Anywhere in the title: a failing station puts its failure first.
    if (IsWindowVisible(window) && std::wcsstr(title, search->titleStart.c_str()) != nullptr) {
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
    int above = 0;  // siblings stacked above it: 0 for the topmost of its container
    for (HWND sibling = GetWindow(widget, GW_HWNDPREV); sibling;
         sibling = GetWindow(sibling, GW_HWNDPREV)) {
        ++above;
    }
    std::printf(
        "{\"id\":%d,\"parent\":%d,\"class\":%s,\"text\":%s,%s,\"enabled\":%s,"
        "\"visible\":%s,\"checked\":%s,\"style\":%lld,\"exstyle\":%lld,\"z\":%d}\n",
        GetDlgCtrlID(widget), GetDlgCtrlID(GetParent(widget)), json(className(widget)).c_str(),
        json(windowText(widget)).c_str(), rectJson(widget).c_str(),
        IsWindowEnabled(widget) ? "true" : "false", IsWindowVisible(widget) ? "true" : "false",
        checked == BST_CHECKED ? "true" : "false", static_cast<long long>(style),
        static_cast<long long>(exStyle), above);
    return TRUE;
}

// The station's instruments, loaded once: their answer to a query, in JSON; empty when there is
// none (no instruments, no hook, no answer in time).
using AskInstruments = int (*)(HWND, const char*, int, char*, int, unsigned);

AskInstruments instruments() {
    static const AskInstruments ask = []() -> AskInstruments {
        wchar_t path[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"VORKEL_INSTRUMENTS", path, MAX_PATH) == 0) {
            return nullptr;
        }
        const HMODULE module = LoadLibraryW(path);  // kept until the probe ends
        return module ? reinterpret_cast<AskInstruments>(
                            reinterpret_cast<void*>(GetProcAddress(module, "instrumentsAsk")))
                      : nullptr;
    }();
    return ask;
}

std::string askInstruments(HWND window, const char* query, int argument = 0,
                           UINT within = kFigureMilliseconds) {
    const AskInstruments ask = instruments();
    if (ask == nullptr) {
        return {};
    }
    std::string answer(1 << 16, '\0');
    const int length =
        ask(window, query, argument, answer.data(), static_cast<int>(answer.size()), within);
    answer.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return answer;
}

// One number of a flat JSON answer, or fallback.
long long figureOf(const std::string& answer, const std::string& name, long long fallback) {
    const std::string key = "\"" + name + "\":";
    const std::size_t at = answer.find(key);
    return at == std::string::npos ? fallback
                                   : std::strtoll(answer.c_str() + at + key.size(), nullptr, 10);
}

std::string stringOf(const std::string& answer, const std::string& name) {
    const std::string key = "\"" + name + "\":\"";
    const std::size_t at = answer.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t from = at + key.size();
    return answer.substr(from, answer.find('"', from) - from);
}

struct WindowCount {
    DWORD pid;
    int windows = 0;
};

BOOL CALLBACK countDescendant(HWND, LPARAM context) {
    ++reinterpret_cast<WindowCount*>(context)->windows;
    return TRUE;
}

BOOL CALLBACK countIfOwned(HWND window, LPARAM context) {
    auto* count = reinterpret_cast<WindowCount*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == count->pid) {
        ++count->windows;
        EnumChildWindows(window, countDescendant, context);
    }
    return TRUE;
}

// Every window of the process: visible or not, children, and message-only windows (which
// EnumWindows leaves out).
int windowsOf(DWORD pid) {
    WindowCount count{pid};
    EnumWindows(countIfOwned, reinterpret_cast<LPARAM>(&count));
    HWND messageOnly = nullptr;
    while ((messageOnly = FindWindowExW(HWND_MESSAGE, messageOnly, nullptr, nullptr)) != nullptr) {
        countIfOwned(messageOnly, reinterpret_cast<LPARAM>(&count));
    }
    return count.windows;
}

// Handles and threads as the system's process list gives them. Under Wine the handle figure is
// the size of the process's handle table, which grows in steps and never shrinks: coarse, but
// a leak of handles shows in it.
bool processCounts(DWORD pid, unsigned long& handles, unsigned long& threads) {
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    if (NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                 static_cast<ULONG>(buffer.size()), &needed) != 0) {
        return false;
    }
    std::size_t offset = 0;
    while (true) {
        const auto* process =
            reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(process->UniqueProcessId)) == pid) {
            handles = process->HandleCount;
            threads = process->NumberOfThreads;
            return true;
        }
        if (process->NextEntryOffset == 0) {
            return false;
        }
        offset += process->NextEntryOffset;
    }
}

// GDI and USER objects as the system counts them for another process; -1 where it does not
// (Wine answers 0 for both).
long long guiObjects(DWORD pid, DWORD which) {
    const vorkel::win::UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    const DWORD counted = process ? GetGuiResources(process.get(), which) : 0;
    return counted != 0 ? static_cast<long long>(counted) : -1;
}

int resources(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    unsigned long handles = 0;
    unsigned long threads = 0;
    const bool counted = processCounts(pid, handles, threads);
    // Heap use, and GDI objects where the system does not count them, only from inside.
    const std::string inside = askInstruments(window, "memory");
    const long long gdi = guiObjects(pid, GR_GDIOBJECTS);
    std::printf(
        "{\"pid\":%lu,\"handles\":%ld,\"threads\":%ld,\"windows\":%d,\"heap_bytes\":%lld,"
        "\"heap_blocks\":%lld,\"gdi_objects\":%lld,\"user_objects\":%lld}\n",
        pid, counted ? long(handles) : -1L, counted ? long(threads) : -1L, windowsOf(pid),
        figureOf(inside, "heap_bytes", -1), figureOf(inside, "heap_blocks", -1),
        gdi >= 0 ? gdi : figureOf(inside, "gdi_objects", -1), guiObjects(pid, GR_USEROBJECTS));
    return inside.empty() ? 3 : 0;
}

// The width of text in the caption font (the same for every program of the prefix), and the room
// Wine's title bar leaves between the icon and the three buttons: the client width, less the
// small icon and 2 pixels, less the close button (caption height - 1) and the other two (button
// width + 1 each).
int titleRoom(HWND window, const wchar_t* text) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const vorkel::win::UniqueFont font(CreateFontIndirectW(&metrics.lfCaptionFont));
    const vorkel::win::WindowDc dc(nullptr);
    SIZE size{};
    wchar_t face[LF_FACESIZE] = L"";
    {
        const vorkel::win::Selection selected(dc.get(), font.get());
        GetTextExtentPoint32W(dc.get(), text, static_cast<int>(std::wcslen(text)), &size);
        GetTextFaceW(dc.get(), LF_FACESIZE, face);
    }
    RECT client{};
    GetClientRect(window, &client);
    const long room = client.right - (GetSystemMetrics(SM_CXSMICON) + 2) -
                      (GetSystemMetrics(SM_CYCAPTION) - 1) - 2 * (GetSystemMetrics(SM_CXSIZE) + 1);
    std::printf("{\"width\":%ld,\"room\":%ld,\"face\":%s}\n", size.cx, room, json(face).c_str());
    return 0;
}

// One sample: does the window answer, how fast, and what does it show. A sample whose first
// widget changed while it was taken (a tick ran in between) is marked torn.
std::string sample(HWND window, const std::vector<int>& ids) {
    if (window == nullptr) {
        return "{\"unix\":" + std::to_string(unixSeconds()) + ",\"window\":false}";
    }
    const double answer = ping(window);
    // What it shows is read between these two times, after the ping, which may have waited for
    // the window: "began" and "unix", when the last of it was read.
    const double began = unixSeconds();
    std::wstring title;
    if (!askText(window, title)) {
        char head[128];
        std::snprintf(head, sizeof head,
                      "{\"unix\":%.6f,\"began\":%.6f,\"window\":true,\"ping\":%.3f,"
                      "\"answered\":false}",
                      unixSeconds(), began, answer);
        return head;
    }
    // A sample must not wait longer than the window may take to answer.
    const std::string font =
        ids.empty() ? std::string() : askInstruments(window, "font", ids[0], kAnswerMilliseconds);
    std::string icon = stringOf(askInstruments(window, "icons", 0, kAnswerMilliseconds), "shows");
    std::string body = ",\"answered\":true,\"title\":" + json(title) + ",\"icon\":\"" +
                       (icon.empty() ? "unknown" : icon) + "\"" +
                       ",\"weight\":" + std::to_string(figureOf(font, "weight", 0)) +
                       ",\"texts\":{";
    std::wstring first;
    for (std::size_t k = 0; k < ids.size(); ++k) {
        std::wstring text;
        HWND widget = vorkel::win::descendantWithId(window, ids[k]);
        if (widget == nullptr || !askText(widget, text)) {
            text = L"<no answer>";
        }
        if (k == 0) {
            first = text;
        }
        body += (k ? ",\"" : "\"") + std::to_string(ids[k]) + "\":" + json(text);
    }
    body += "}";
    // Torn: a tick changed the first widget or the title while the sample was taken.
    std::wstring again;
    std::wstring titleAgain;
    HWND firstWidget = ids.empty() ? nullptr : vorkel::win::descendantWithId(window, ids[0]);
    const bool torn = (firstWidget != nullptr && askText(firstWidget, again) && again != first) ||
                      (askText(window, titleAgain) && titleAgain != title);
    char head[128];
    std::snprintf(head, sizeof head, "{\"unix\":%.6f,\"began\":%.6f,\"window\":true,\"ping\":%.3f",
                  unixSeconds(), began, answer);
    return head + body + ",\"torn\":" + (torn ? "true" : "false") + "}";
}

// Samples every 100 ms for `seconds`, one JSON line each, flushed at once so that a test can
// follow them. A window that goes away is looked for again at every sample.
int watch(const wchar_t* title, double seconds, const std::vector<int>& ids) {
    constexpr double kPeriodMs = 100.0;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    HWND window = nullptr;
    for (long index = 0;; ++index) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const double elapsed = milliseconds(start, now);
        if (elapsed >= seconds * 1000.0) {
            return 0;
        }
        if (elapsed < index * kPeriodMs) {
            Sleep(static_cast<DWORD>(index * kPeriodMs - elapsed));
        }
        if (window == nullptr || !IsWindow(window)) {
            window = findWindow(title);
        }
        std::printf("%s\n", sample(window, ids).c_str());
        std::fflush(stdout);
    }
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

// A value of the prefix's registry under HKCU or HKLM ("HKCU\Control Panel\Desktop" as one
// word): added as a DWORD or a text, or deleted (a value that is not there is no failure).
int setRegistry(const std::wstring& verb, const std::wstring& path, const wchar_t* name,
                const wchar_t* type, const wchar_t* value) {
    const std::size_t slash = path.find(L'\\');
    const std::wstring root = path.substr(0, slash);
    const HKEY base = root == L"HKCU"   ? HKEY_CURRENT_USER
                      : root == L"HKLM" ? HKEY_LOCAL_MACHINE
                                        : nullptr;
    const bool add = verb == L"add" && type != nullptr && value != nullptr;
    if (base == nullptr || slash == std::wstring::npos || (!add && verb != L"delete")) {
        return 1;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(base, path.c_str() + slash + 1, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return 2;
    }
    LONG status = ERROR_SUCCESS;
    if (!add) {
        status = RegDeleteValueW(key, name);
        status = status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    } else if (std::wstring(type) == L"dword") {
        const DWORD number = static_cast<DWORD>(_wtoi(value));
        status = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                sizeof number);
    } else {
        status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : 2;
}

int run(int argc, wchar_t** argv);

// One command a line from standard input (UTF-8, arguments separated by tabs), each answered by
// its output and a line "\x1e CODE": one probe serves a whole Wine session, so that no question
// costs the start of a Wine process.
int serve() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        pending.append(buffer, read);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::wstring line = vorkel::win::wideFromUtf8(pending.substr(0, end));
            pending.erase(0, end + 1);
            std::vector<std::wstring> words{L"window_probe"};
            for (std::size_t start = 0; start <= line.size();) {
                const std::size_t tab = std::min(line.find(L'\t', start), line.size());
                words.push_back(line.substr(start, tab - start));
                start = tab + 1;
            }
            std::vector<wchar_t*> argv;
            for (std::wstring& word : words) {
                argv.push_back(word.data());
            }
            const int code = run(static_cast<int>(argv.size()), argv.data());
            std::printf("\x1e %d\n", code);
            std::fflush(stdout);
        }
    }
    return 0;
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
    if (command == L"reg" && argc >= 5) {
        return setRegistry(argv[2], argv[3], argv[4], argc > 6 ? argv[5] : nullptr,
                           argc > 6 ? argv[6] : nullptr);
    }
    if (command == L"watch" && argc >= 4) {
        std::vector<int> ids;
        for (int k = 4; k < argc; ++k) {
            ids.push_back(_wtoi(argv[k]));
        }
        return watch(argv[2], _wtof(argv[3]), ids);
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
    if (command == L"ask" && argc >= 4) {
        const std::string query = vorkel::win::utf8FromWide(argv[3]);
        const std::string answer =
            askInstruments(window, query.c_str(), argc > 4 ? _wtoi(argv[4]) : 0);
        if (answer.empty()) {
            std::printf("no answer from the instruments in %s\n", json(argv[2]).c_str());
            return 3;
        }
        std::printf("%s\n", answer.c_str());
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
    if (command == L"ping") {
        const double ms = ping(window);
        std::printf("{\"ping\":%.3f}\n", ms);
        return ms < 0 ? 3 : 0;
    }
    if (command == L"resources") {
        return resources(window);
    }
    if (command == L"title" && argc == 4) {
        return titleRoom(window, argv[3]);
    }
    if (command == L"close") {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    if (command == L"endsession") {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                            kAnswerMilliseconds, &answer);
        if (argc > 3) {
            const double wait = _wtof(argv[3]) - unixSeconds();
            if (wait > 0) {
                Sleep(static_cast<DWORD>(wait * 1000.0));
            }
        }
        const double sent = unixSeconds();
        const LRESULT answered = SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                                                     SMTO_NORMAL, kAnswerMilliseconds, &answer);
        std::printf("{\"sent\":%.6f,\"answered\":%.6f}\n", sent, answered ? unixSeconds() : -1.0);
        return answered ? 0 : 3;
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
    HWND widget = vorkel::win::descendantWithId(window, _wtoi(argv[3]));
    if (!widget) {
        std::printf("no widget %ls\n", argv[3]);
        return 2;
    }
    if (command == L"press") {
        const int count = argc > 4 ? _wtoi(argv[4]) : 1;
        const int gap = argc > 5 ? _wtoi(argv[5]) : 0;
        for (int k = 0; k < count; ++k) {
            if (k > 0 && gap > 0) {
                Sleep(static_cast<DWORD>(gap));
            }
            PostMessageW(widget, BM_CLICK, 0, 0);
        }
        return 0;
    }
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int status = argc == 2 && std::wstring(argv[1]) == L"serve" ? serve() : run(argc, argv);
    std::fflush(stdout);
    return status;
}
