// Answers to the test queries, computed inside the station's process.
#include "ui/test_queries.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "ui/caption_fit.h"
#include "ui/gdi.h"
#include "ui/widget_table.h"
#include "ui/window_icons.h"
#include "win/heap_use.h"

namespace vorkel::ui {
namespace {

// How long the face's answer may wait for the asker's window: an asker that has gone away or
// hangs must not hold the station's window.
constexpr UINT kAskerWaitMs = 1000;

bool underWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Whether [address, address + bytes) is committed memory this process may read.
bool readable(std::uintptr_t address, std::size_t bytes) {
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const std::uintptr_t end = address + bytes;
    if (address == 0 || end < address) {
        return false;
    }
    for (std::uintptr_t at = address; at < end;) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) == 0 ||
            info.State != MEM_COMMIT || (info.Protect & kReadable) == 0 ||
            (info.Protect & PAGE_GUARD) != 0) {
            return false;
        }
        const std::uintptr_t regionEnd =
            reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at) {
            return false;
        }
        at = regionEnd;
    }
    return true;
}

template <typename T>
std::optional<T> readAt(std::uintptr_t address) {
    if (!readable(address, sizeof(T))) {
        return std::nullopt;
    }
    T value;
    std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
    return value;
}

// The thread's own block, read directly: NtCurrentTeb() trips a false array-bounds warning,
// and ntdll is not among the DLLs the exe may import.
std::uintptr_t threadBlock() {
    std::uintptr_t block = 0;
#if defined(__x86_64__)
    asm("movq %%gs:0x30, %0" : "=r"(block));
#elif defined(__i386__)
    asm("movl %%fs:0x18, %0" : "=r"(block));
#endif
    return block;
}

// Where Wine keeps the process's GDI handle table: in the PEB (GdiSharedHandleTable). A 32-bit
// process that Wine runs on its 64-bit side has it in the 64-bit PEB, whose thread block's
// address Wine keeps in the 32-bit block's GdiBatchCount. 0 when any step leads nowhere.
std::uintptr_t wineGdiTable() {
    const std::uintptr_t thread = threadBlock();
#if defined(__x86_64__)
    const auto peb = readAt<std::uint64_t>(thread + 0x60);
    const auto table = peb ? readAt<std::uint64_t>(*peb + 0xF8) : std::nullopt;
    return table ? *table : 0;
#elif defined(__i386__)
    constexpr std::uint64_t kReach = 0xFFFFFFFFu;  // what a 32-bit pointer can address
    if (const auto thread64 = readAt<std::uint32_t>(thread + 0xF70); thread64 && *thread64) {
        const auto peb64 = readAt<std::uint64_t>(std::uintptr_t{*thread64} + 0x60);
        if (!peb64 || *peb64 > kReach - 0xF8) {
            return 0;
        }
        const auto table = readAt<std::uint64_t>(static_cast<std::uintptr_t>(*peb64) + 0xF8);
        return table && *table <= kReach ? static_cast<std::uintptr_t>(*table) : 0;
    }
    const auto peb = readAt<std::uint32_t>(thread + 0x30);
    const auto table = peb ? readAt<std::uint32_t>(std::uintptr_t{*peb} + 0x94) : std::nullopt;
    return table ? *table : 0;
#else
    return 0;
#endif
}

// Wine's table has 0x10000 cells of 24 bytes in both bitnesses; a cell in use has a non-zero
// type byte (offset 14). A freed cell keeps a pointer in its first field, so that is no sign.
std::int64_t wineGdiObjects() {
    constexpr std::size_t kCells = 0x10000;
    constexpr std::size_t kCellBytes = 24;
    constexpr std::size_t kTypeOffset = 14;
    const std::uintptr_t table = wineGdiTable();
    if (!readable(table, kCells * kCellBytes)) {
        return kUnavailable;
    }
    const auto* cells = reinterpret_cast<const unsigned char*>(table);
    std::int64_t used = 0;
    for (std::size_t cell = 0; cell < kCells; ++cell) {
        used += cells[cell * kCellBytes + kTypeOffset] != 0 ? 1 : 0;
    }
    return used;
}

// Windows counts a process's GDI objects; Wine answers 0 and is read from its own table, only
// when asked.
std::int64_t gdiObjects() {
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); counted != 0) {
        return counted;
    }
    return underWine() ? wineGdiObjects() : kUnavailable;
}

std::int64_t measureResource(WPARAM figure) {
    switch (static_cast<ResourceFigure>(figure)) {
        case ResourceFigure::heapBytes:
            return win::heapInUse().bytes;
        case ResourceFigure::heapBlocks:
            return win::heapInUse().blocks;
        case ResourceFigure::gdiObjects:
            return gdiObjects();
        case ResourceFigure::userObjects: {
            const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
            return counted != 0 ? std::int64_t(counted) : kUnavailable;
        }
    }
    return kUnavailable;
}

HFONT fontOf(HWND control) {
    return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

LRESULT fontFigures(HWND control) {
    LOGFONTW lf{};
    const HFONT font = fontOf(control);
    if (!font || GetObjectW(font, sizeof lf, &lf) == 0) {
        return 0;
    }
    return MAKELRESULT(static_cast<WORD>(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight),
                       static_cast<WORD>(lf.lfWeight));
}

LRESULT captionOf(HWND control, LPARAM which) {
    CaptionKind kind{};
    if (!captionKindOf(control, kind)) {
        return 0;
    }
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    RECT area{};
    GetClientRect(control, &area);
    WindowDc dc(control);
    Selection selected(dc.get(), fontOf(control));
    const CaptionMeasure m =
        measureCaption(dc.get(), text, kind, SIZE{area.right - area.left, area.bottom - area.top});
    return which == kCaptionHeights ? MAKELRESULT(m.text.cy, m.room.cy)
                                    : MAKELRESULT(m.text.cx, m.room.cx);
}

// Sent, not posted: the system copies the text for the asker and frees it when the send ends,
// whether or not the asker took it.
LRESULT sendText(HWND window, LPARAM asker, ULONG_PTR kind, const std::wstring& text) {
    const HWND to = reinterpret_cast<HWND>(asker);
    if (to == nullptr || to == window || !IsWindow(to)) {
        return 0;
    }
    COPYDATASTRUCT data{};
    data.dwData = kind;
    data.cbData = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(text.data());
    DWORD_PTR taken = 0;
    return SendMessageTimeoutW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(window),
                               reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kAskerWaitMs,
                               &taken) != 0 &&
                   taken != 0
               ? 1
               : 0;
}

LRESULT sendFace(HWND window, HWND control, LPARAM asker) {
    WindowDc dc(control);
    return sendText(window, asker, kFaceAnswer, realizedFace(dc.get(), fontOf(control)));
}

LRESULT sendWidgets(HWND window, std::span<const Widget> table, LPARAM asker) {
    std::wstring rows;
    for (const Widget& w : table) {
        rows += w.name;
        rows += L'\t';
        rows += std::to_wstring(w.id);
        rows += L'\n';
    }
    return sendText(window, asker, kWidgetsAnswer, rows);
}

HWND controlOf(HWND window, int id) {
    if (HWND control = GetDlgItem(window, id)) {
        return control;
    }
    // Widgets inside a frame are the frame's children.
    for (HWND child = FindWindowExW(window, nullptr, nullptr, nullptr); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (HWND found = GetDlgItem(child, id)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace

bool answerTestQuery(HWND window, std::span<const Widget> table, UINT message, WPARAM wParam,
                     LPARAM lParam, LRESULT& answer) {
    // Registered messages lie from 0xC000 on; the rest never needs a look at the names, and a
    // name the system failed to register (0) never matches.
    if (message < 0xC000) {
        return false;
    }
    if (message == testQueryMessage(TestQuery::resources)) {
        answer = static_cast<LRESULT>(measureResource(wParam));
        return true;
    }
    if (message == testQueryMessage(TestQuery::icon)) {
        answer = lParam == kShownIcon
                     ? SendMessageW(window, WM_GETICON, wParam, 0)
                     : reinterpret_cast<LRESULT>(lParam == kWarningIcon ? warningIcon(wParam)
                                                                        : ownIcon(window, wParam));
        return true;
    }
    if (message == testQueryMessage(TestQuery::widgets)) {
        answer = sendWidgets(window, table, lParam);
        return true;
    }
    const bool font = message == testQueryMessage(TestQuery::font);
    const bool caption = message == testQueryMessage(TestQuery::caption);
    const bool face = message == testQueryMessage(TestQuery::face);
    if (!font && !caption && !face) {
        return false;
    }
    const HWND control = controlOf(window, static_cast<int>(wParam));
    answer = !control  ? 0
             : font    ? fontFigures(control)
             : caption ? captionOf(control, lParam)
                       : sendFace(window, control, lParam);
    return true;
}

}  // namespace vorkel::ui
