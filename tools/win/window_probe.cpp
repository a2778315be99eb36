// Looks at and works the windows of another program, for tests run under Wine: finds a window by
// a piece of its title, lists its widgets, reads fonts through the station's test query, clicks,
// types.
//
//   window_probe.exe windows                    top-level windows, one JSON object a line
//   window_probe.exe widgets TITLE              the widgets of the window whose title holds TITLE
//   window_probe.exe ids TITLE                  the control ids of its widgets by name, as the
//                                               window's own widget table gives them
//   window_probe.exe font TITLE ID              weight and pixel height of a widget's font
//   window_probe.exe face TITLE ID              the face a widget's font is realized in
//   window_probe.exe caption TITLE ID           the pixels a widget's caption takes in its font,
//                                               and the room the widget leaves for it
//   window_probe.exe press TITLE ID [N [MS]]    a button press as the button itself sends it;
//                                               N presses MS milliseconds apart (default 1, 0)
//   window_probe.exe click X Y                  a real mouse click at screen coordinates
//   window_probe.exe keys TITLE VK [VK...]      brings the window forward and types virtual keys
//   window_probe.exe focus TITLE                the id of the widget with the keyboard focus
//   window_probe.exe close TITLE                the title bar's close button (SC_CLOSE)
//   window_probe.exe resize TITLE WIDTH HEIGHT  outer size in pixels
//   window_probe.exe move TITLE X Y             outer top-left corner on the screen
//   window_probe.exe origin TITLE               the client area's top-left corner on the screen
//   window_probe.exe at X Y                     the top-level window seen at a screen point
//   window_probe.exe minimize|restore TITLE
//   window_probe.exe ping TITLE                 how long the window takes to answer (WM_NULL)
//   window_probe.exe icon TITLE                 the icons the window shows (small and big), its
//                                               class's and the system's warning sign, as its
//                                               process has them, and which of the two it shows
//   window_probe.exe title TITLE TEXT           the pixels TEXT takes in the caption font, and
//                                               the room Wine's title bar leaves for the title
//   window_probe.exe watch TITLE SECONDS [ID...]
//                                               every 100 ms one JSON line: whether the window
//                                               answers and how fast, its title, the icon it
//                                               shows, Label1's weight and the widgets' texts
//   window_probe.exe resources TITLE            what the window's process holds (see below)
//   window_probe.exe endsession TITLE [UNIX]    the end of the Windows session as Windows tells a
//                                               window: WM_QUERYENDSESSION, then (at UNIX seconds
//                                               if given) WM_ENDSESSION, both sent; prints when
//                                               the latter was sent and when it was answered
//   window_probe.exe stray TITLE ID N           what any program may send: WM_APP+1 to +4, and
//                                               N face queries whose answers nobody collects;
//                                               prints what was answered
// resources prints the process's handles and threads (from the system's process list), its
// windows, and what the station's own query answers: heap bytes and blocks in use, GDI and USER
// objects (-1 where nothing answers or the figure cannot be counted).
// Exit code 0 on success, 2 when the window or widget is not there, 1 on bad arguments, 3 when
// a pinged window does not answer within 1.5 s.
#include <windows.h>

#include <winternl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "ui/form1_layout.h"
#include "ui/test_queries.h"
#include "win/gdi_guards.h"
#include "win/handles.h"
#include "win/text_conversion.h"

namespace {

using vorkel::ui::TestQuery;
using vorkel::ui::testQueryMessage;
constexpr int kLabel1 = vorkel::ui::form1::kLabel1;
// A window that takes longer than this to answer counts as hung.
constexpr UINT kAnswerMilliseconds = 1500;

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

struct WidgetSearch {
    int id;
    HWND found;
};

BOOL CALLBACK matchWidgetId(HWND child, LPARAM context) {
    auto* search = reinterpret_cast<WidgetSearch*>(context);
    if (GetDlgCtrlID(child) == search->id) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND widgetOf(HWND window, int id) {
    WidgetSearch search{id, nullptr};
    EnumChildWindows(window, matchWidgetId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The station's answer to a resources query, or -1 when it gives none.
long long askStation(HWND window, WPARAM figure) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, testQueryMessage(TestQuery::resources), figure, 0, SMTO_NORMAL,
                             kAnswerMilliseconds, &answer)) {
        return -1;
    }
    return static_cast<long long>(static_cast<LONG_PTR>(answer));
}

// A text answer (a face, a widget table) arrives as WM_COPYDATA at a message-only window of ours
// while we wait for the query, from the window we asked and no other.
struct TextAnswer {
    HWND from = nullptr;
    ULONG_PTR kind = 0;
    std::wstring text;
    bool arrived = false;
};

LRESULT CALLBACK receiveText(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* answer = reinterpret_cast<TextAnswer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message != WM_COPYDATA || answer == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data == nullptr || data->dwData != answer->kind ||
        reinterpret_cast<HWND>(wParam) != answer->from || data->cbData % sizeof(wchar_t) != 0 ||
        (data->cbData != 0 && data->lpData == nullptr)) {
        return FALSE;
    }
    answer->text.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
    answer->arrived = true;
    return TRUE;
}

// Sends query (with wParam) to window and collects the text it answers with, of the given kind.
bool askTextAnswer(HWND window, TestQuery query, WPARAM wParam, ULONG_PTR kind,
                   std::wstring& text) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = receiveText;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VorkelProbeTextAnswer";
    RegisterClassW(&wc);
    HWND receiver = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    wc.hInstance, nullptr);
    if (receiver == nullptr) {
        return false;
    }
    TextAnswer answer;
    answer.from = window;
    answer.kind = kind;
    SetWindowLongPtrW(receiver, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&answer));
    DWORD_PTR taken = 0;
    SendMessageTimeoutW(window, testQueryMessage(query), wParam, reinterpret_cast<LPARAM>(receiver),
                        SMTO_ABORTIFHUNG, 2000, &taken);
    DestroyWindow(receiver);
    text = answer.text;
    return answer.arrived && taken != 0;
}

bool askFace(HWND window, int id, std::wstring& face) {
    return askTextAnswer(window, TestQuery::face, static_cast<WPARAM>(id), vorkel::ui::kFaceAnswer,
                         face);
}

// The window's own widget table as one JSON object, control ids by name; false when the window
// gave none.
bool askWidgetIds(HWND window, std::string& out) {
    std::wstring rows;
    if (!askTextAnswer(window, TestQuery::widgets, 0, vorkel::ui::kWidgetsAnswer, rows)) {
        return false;
    }
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about operator+ on strings.
    out.clear();
    out.push_back('{');
    for (std::size_t start = 0; start < rows.size();) {
        std::size_t end = rows.find(L'\n', start);
        end = end == std::wstring::npos ? rows.size() : end;
        const std::wstring row = rows.substr(start, end - start);
        const std::size_t tab = row.find(L'\t');
        if (tab == std::wstring::npos) {
            return false;
        }
        if (out.size() > 1) {
            out.push_back(',');
        }
        out.append(json(row.substr(0, tab)));
        out.push_back(':');
        out.append(std::to_string(_wtoi(row.c_str() + tab + 1)));
        start = end + 1;
    }
    out.push_back('}');
    return true;
}

// The messages any program may send a window, and face queries from an asker that takes no
// answer: none must be answered as a query, none may leave anything behind.
int stray(HWND window, int id, int count) {
    std::string answers;
    for (UINT message = WM_APP + 1; message <= WM_APP + 4; ++message) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, message, static_cast<WPARAM>(id), 0, SMTO_ABORTIFHUNG, 2000,
                            &answer);
        if (!answers.empty()) {
            answers += ',';
        }
        answers += std::to_string(answer);
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;  // takes nothing: WM_COPYDATA gets FALSE
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VorkelProbeDeaf";
    RegisterClassW(&wc);
    HWND deaf = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    int taken = 0;
    for (int k = 0; k < count && deaf != nullptr; ++k) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, testQueryMessage(TestQuery::face), static_cast<WPARAM>(id),
                            reinterpret_cast<LPARAM>(deaf), SMTO_ABORTIFHUNG, 2000, &answer);
        taken += answer != 0 ? 1 : 0;
    }
    if (deaf != nullptr) {
        DestroyWindow(deaf);
    }
    std::printf("{\"app_answers\":[%s],\"faces_taken\":%d,\"faces_sent\":%d}\n", answers.c_str(),
                taken, deaf != nullptr ? count : 0);
    return 0;
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

int resources(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    unsigned long handles = 0;
    unsigned long threads = 0;
    const bool counted = processCounts(pid, handles, threads);
    // Figures 0 to 3 of the station's query: heap bytes, heap blocks, GDI and USER objects.
    std::printf(
        "{\"pid\":%lu,\"handles\":%ld,\"threads\":%ld,\"windows\":%d,\"heap_bytes\":%lld,"
        "\"heap_blocks\":%lld,\"gdi_objects\":%lld,\"user_objects\":%lld}\n",
        pid, counted ? long(handles) : -1L, counted ? long(threads) : -1L, windowsOf(pid),
        askStation(window, 0), askStation(window, 1), askStation(window, 2), askStation(window, 3));
    return 0;
}

// The icon the window shows, its own or the warning sign (kShownIcon, kOwnIcon, kWarningIcon),
// small or big, as the station's process has them; 0 when it does not answer.
UINT_PTR askIcon(HWND window, WPARAM which, LPARAM kind) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, testQueryMessage(TestQuery::icon), which, kind, SMTO_NORMAL,
                        kAnswerMilliseconds, &answer);
    return answer;
}

UINT_PTR shownIcon(HWND window, WPARAM which) {
    return askIcon(window, which, vorkel::ui::kShownIcon);
}

// "warning" when both of the window's icons are the system's warning sign, "own" when both are
// the station's own (none set shows the class's), "other" for anything else.
std::string iconKind(HWND window) {
    const UINT_PTR small = shownIcon(window, ICON_SMALL);
    const UINT_PTR big = shownIcon(window, ICON_BIG);
    const UINT_PTR warningSmall = askIcon(window, ICON_SMALL, vorkel::ui::kWarningIcon);
    const UINT_PTR warningBig = askIcon(window, ICON_BIG, vorkel::ui::kWarningIcon);
    if (warningSmall != 0 && warningBig != 0 && small == warningSmall && big == warningBig) {
        return "warning";
    }
    const UINT_PTR ownSmall = askIcon(window, ICON_SMALL, vorkel::ui::kOwnIcon);
    const UINT_PTR ownBig = askIcon(window, ICON_BIG, vorkel::ui::kOwnIcon);
    const bool own = ownSmall != 0 && ownBig != 0 && (small == 0 || small == ownSmall) &&
                     (big == 0 || big == ownBig);
    return own ? "own" : "other";
}

int icons(HWND window) {
    using vorkel::ui::kOwnIcon;
    using vorkel::ui::kWarningIcon;
    std::printf(
        "{\"small\":%llu,\"big\":%llu,\"own\":[%llu,%llu],\"warning\":[%llu,%llu],"
        "\"shows\":\"%s\"}\n",
        static_cast<unsigned long long>(shownIcon(window, ICON_SMALL)),
        static_cast<unsigned long long>(shownIcon(window, ICON_BIG)),
        static_cast<unsigned long long>(askIcon(window, ICON_SMALL, kOwnIcon)),
        static_cast<unsigned long long>(askIcon(window, ICON_BIG, kOwnIcon)),
        static_cast<unsigned long long>(askIcon(window, ICON_SMALL, kWarningIcon)),
        static_cast<unsigned long long>(askIcon(window, ICON_BIG, kWarningIcon)),
        iconKind(window).c_str());
    return 0;
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
    // Stamped when the texts are read, after the ping, which may have waited for the window.
    char head[96];
    std::snprintf(head, sizeof head, "{\"unix\":%.6f,\"window\":true,\"ping\":%.3f", unixSeconds(),
                  answer);
    std::string out = head;
    std::wstring title;
    if (!askText(window, title)) {
        return out + ",\"answered\":false}";
    }
    DWORD_PTR font = 0;
    SendMessageTimeoutW(window, testQueryMessage(TestQuery::font), kLabel1, 0, SMTO_NORMAL,
                        kAnswerMilliseconds, &font);
    out += ",\"answered\":true,\"title\":" + json(title) + ",\"icon\":\"" + iconKind(window) +
           "\"" + ",\"weight\":" + std::to_string(HIWORD(font)) + ",\"texts\":{";
    std::wstring first;
    for (std::size_t k = 0; k < ids.size(); ++k) {
        std::wstring text;
        HWND widget = widgetOf(window, ids[k]);
        if (widget == nullptr || !askText(widget, text)) {
            text = L"<no answer>";
        }
        if (k == 0) {
            first = text;
        }
        out += (k ? ",\"" : "\"") + std::to_string(ids[k]) + "\":" + json(text);
    }
    out += "}";
    std::wstring again;
    HWND firstWidget = ids.empty() ? nullptr : widgetOf(window, ids[0]);
    const bool torn = firstWidget != nullptr && askText(firstWidget, again) && again != first;
    return out + ",\"torn\":" + (torn ? "true" : "false") + "}";
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
    if (command == L"ids") {
        std::string ids;
        if (!askWidgetIds(window, ids)) {
            std::printf("no widget table from %s\n", json(argv[2]).c_str());
            return 2;
        }
        std::printf("%s\n", ids.c_str());
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
    if (command == L"icon") {
        return icons(window);
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
    HWND widget = widgetOf(window, _wtoi(argv[3]));
    if (!widget) {
        std::printf("no widget %ls\n", argv[3]);
        return 2;
    }
    if (command == L"font") {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, testQueryMessage(TestQuery::font),
                            static_cast<WPARAM>(_wtoi(argv[3])), 0, SMTO_ABORTIFHUNG, 2000,
                            &answer);
        std::printf("{\"weight\":%u,\"height\":%u}\n", HIWORD(answer), LOWORD(answer));
        return 0;
    }
    if (command == L"face") {
        std::wstring face;
        const bool answered = askFace(window, _wtoi(argv[3]), face);
        std::printf("{\"face\":%s}\n", json(face).c_str());
        return answered ? 0 : 2;
    }
    if (command == L"caption") {
        DWORD_PTR widths = 0;
        DWORD_PTR heights = 0;
        const auto id = static_cast<WPARAM>(_wtoi(argv[3]));
        const UINT query = testQueryMessage(TestQuery::caption);
        SendMessageTimeoutW(window, query, id, vorkel::ui::kCaptionWidths, SMTO_ABORTIFHUNG, 2000,
                            &widths);
        SendMessageTimeoutW(window, query, id, vorkel::ui::kCaptionHeights, SMTO_ABORTIFHUNG, 2000,
                            &heights);
        std::printf("{\"width\":%u,\"room\":%u,\"height\":%u,\"roomHeight\":%u}\n", LOWORD(widths),
                    HIWORD(widths), LOWORD(heights), HIWORD(heights));
        return 0;
    }
    if (command == L"stray") {
        return stray(window, _wtoi(argv[3]), argc > 4 ? _wtoi(argv[4]) : 1);
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
    const int status = run(argc, argv);
    std::fflush(stdout);
    return status;
}
