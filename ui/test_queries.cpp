// Answers to the test queries, computed inside the station's process.
#include "ui/test_queries.h"

#include <cstring>
#include <string>

#include "ui/caption_fit.h"
#include "ui/gdi.h"
#include "win/heap_use.h"

namespace vorkel::ui {
namespace {

// Windows counts a process's GDI objects; Wine answers 0, but keeps them in a table of 24-byte
// cells in the process's own memory, found through the PEB, whose cells start with a non-null
// object pointer while in use. (Windows' own table, shared between processes, is only read
// through GetGuiResources.)
std::int64_t gdiObjects() {
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); counted != 0) {
        return counted;
    }
#if defined(__x86_64__)
    constexpr std::size_t kTableOffset = 0xF8;  // PEB.GdiSharedHandleTable
    constexpr std::size_t kCellBytes = 24;
    constexpr std::size_t kCells = 0x10000;
    // The PEB's address from the thread block, read directly: NtCurrentTeb() trips a false
    // array-bounds warning, and ntdll is not among the DLLs the exe may import.
    const unsigned char* peb = nullptr;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    if (peb == nullptr) {
        return -1;
    }
    const unsigned char* table = nullptr;
    std::memcpy(&table, peb + kTableOffset, sizeof table);
    if (table == nullptr) {
        return -1;
    }
    std::int64_t used = 0;
    for (std::size_t cell = 0; cell < kCells; ++cell) {
        std::uint64_t object = 0;
        std::memcpy(&object, table + cell * kCellBytes, sizeof object);
        used += object != 0 ? 1 : 0;
    }
    return used;
#else
    return -1;
#endif
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
            return counted != 0 ? std::int64_t(counted) : -1;
        }
    }
    return -1;
}

LRESULT fontOf(HWND control) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
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
    Selection selected(dc.get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    const CaptionMeasure m =
        measureCaption(dc.get(), text, kind, SIZE{area.right - area.left, area.bottom - area.top});
    return which == kCaptionHeights ? MAKELRESULT(m.text.cy, m.room.cy)
                                    : MAKELRESULT(m.text.cx, m.room.cx);
}

LRESULT faceOf(HWND control) {
    WindowDc dc(control);
    const std::wstring face =
        realizedFace(dc.get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    return GlobalAddAtomW(face.c_str());
}

}  // namespace

bool answerTestQuery(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& answer) {
    if (message == kQueryResourcesMessage) {
        answer = static_cast<LRESULT>(measureResource(wParam));
        return true;
    }
    if (message != kQueryFontMessage && message != kQueryCaptionMessage &&
        message != kQueryFaceMessage) {
        return false;
    }
    HWND control = GetDlgItem(window, static_cast<int>(wParam));
    if (!control) {
        // Widgets inside a frame are the frame's children.
        control = FindWindowExW(window, nullptr, nullptr, nullptr);
        HWND found = nullptr;
        for (HWND child = control; child && !found; child = GetWindow(child, GW_HWNDNEXT)) {
            found = GetDlgItem(child, static_cast<int>(wParam));
        }
        control = found;
    }
    answer = !control                          ? 0
             : message == kQueryFontMessage    ? fontOf(control)
             : message == kQueryCaptionMessage ? captionOf(control, lParam)
                                               : faceOf(control);
    return true;
}

}  // namespace vorkel::ui
