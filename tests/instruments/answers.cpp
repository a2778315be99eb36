// The instruments' station side: a WH_GETMESSAGE hook that the window probe sets on the station's
// window thread. A query posted to one of the station's windows is answered from inside its
// process, with what cannot be read from outside: the widget ids by name from the window's own
// table, fonts and faces as realized, caption extents, the icons shown, heap use and, under Wine,
// GDI objects. The query never reaches the station's window procedure.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "tests/instruments/heap_use.h"
#include "tests/instruments/instruments_protocol.h"
#include "tests/instruments/wine_gdi_objects.h"
#include "ui/caption_fit.h"
#include "ui/form1_layout.h"
#include "ui/frm_about.h"
#include "ui/frm_about_layout.h"
#include "ui/window_icons.h"
#include "win/descendants.h"
#include "win/gdi_guards.h"
#include "win/handles.h"

namespace vorkel::testing {
namespace {

void appendQuoted(std::string& out, const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes,
                        nullptr, nullptr);
    out.push_back('"');
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out.append(escaped);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

// One JSON object, written field by field. (Appended piece by piece: GCC 12 warns falsely,
// -Wrestrict, about operator+ on strings.)
class Object {
  public:
    Object& number(const std::wstring& name, long long value) {
        key(name);
        out_.append(std::to_string(value));
        return *this;
    }
    Object& text(const std::wstring& name, const std::wstring& value) {
        key(name);
        appendQuoted(out_, value);
        return *this;
    }
    Object& numbers(const std::wstring& name, long long first, long long second) {
        key(name);
        out_.push_back('[');
        out_.append(std::to_string(first));
        out_.push_back(',');
        out_.append(std::to_string(second));
        out_.push_back(']');
        return *this;
    }
    std::string done() {
        out_.push_back('}');
        return out_;
    }

  private:
    void key(const std::wstring& name) {
        if (out_.size() > 1) {
            out_.push_back(',');
        }
        appendQuoted(out_, name);
        out_.push_back(':');
    }
    std::string out_ = "{";
};

std::span<const ui::Widget> tableOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpW(name, ui::kAboutBoxClass) == 0 ? ui::frm_about::widgets()
                                                   : ui::form1::widgets();
}

HFONT fontOf(HWND control) {
    return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

std::wstring textOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string ids(HWND window) {
    Object out;
    for (const ui::Widget& w : tableOf(window)) {
        out.number(w.name, w.id);
    }
    return out.done();
}

// What the font was asked for (weight, height) and what it is drawn in: its face, and the em
// height of the realized font (cell height less internal leading), which follows the DPI only
// where the face can be drawn at the size asked for.
std::string font(HWND control) {
    LOGFONTW asked{};
    const HFONT handle = fontOf(control);
    if (handle == nullptr || GetObjectW(handle, sizeof asked, &asked) == 0) {
        return Object().done();
    }
    win::WindowDc dc(control);
    win::Selection selected(dc.get(), handle);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.get(), &metrics);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc.get(), LF_FACESIZE, face);
    return Object()
        .number(L"weight", asked.lfWeight)
        .number(L"height", asked.lfHeight < 0 ? -asked.lfHeight : asked.lfHeight)
        .text(L"face", face)
        .number(L"em", metrics.tmHeight - metrics.tmInternalLeading)
        .number(L"cell", metrics.tmHeight)
        .done();
}

std::string caption(HWND control) {
    ui::CaptionKind kind{};
    if (!ui::captionKindOf(control, kind)) {
        return Object().done();
    }
    RECT area{};
    GetClientRect(control, &area);
    win::WindowDc dc(control);
    win::Selection selected(dc.get(), fontOf(control));
    const ui::CaptionMeasure m = ui::measureCaption(
        dc.get(), textOf(control), kind, SIZE{area.right - area.left, area.bottom - area.top});
    return Object()
        .number(L"width", m.text.cx)
        .number(L"room", m.room.cx)
        .number(L"height", m.text.cy)
        .number(L"roomHeight", m.room.cy)
        .done();
}

long long handle(HICON icon) {
    return static_cast<long long>(reinterpret_cast<UINT_PTR>(icon));
}

// The icons the window shows (none set: its class's), its class's own and the system's warning
// sign; "shows" is "warning" when both shown are the warning sign, "own" when both are its own.
std::string icons(HWND window) {
    const auto shown = [window](WPARAM which) {
        return reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
    };
    const HICON small = shown(ICON_SMALL);
    const HICON big = shown(ICON_BIG);
    const HICON ownSmall = ui::ownIcon(window, ICON_SMALL);
    const HICON ownBig = ui::ownIcon(window, ICON_BIG);
    const HICON warningSmall = ui::warningIcon(ICON_SMALL);
    const HICON warningBig = ui::warningIcon(ICON_BIG);
    const wchar_t* shows = L"other";
    if (warningSmall && warningBig && small == warningSmall && big == warningBig) {
        shows = L"warning";
    } else if (ownSmall && ownBig && (!small || small == ownSmall) && (!big || big == ownBig)) {
        shows = L"own";
    }
    return Object()
        .number(L"small", handle(small))
        .number(L"big", handle(big))
        .numbers(L"own", handle(ownSmall), handle(ownBig))
        .numbers(L"warning", handle(warningSmall), handle(warningBig))
        .text(L"shows", shows)
        .done();
}

// Windows counts a process's GDI objects for anyone who asks; Wine answers 0, and is read from
// its own table.
std::string memory() {
    const HeapUse heap = heapInUse();
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const long long gdi = counted != 0 ? counted : wineGdiObjects();
    return Object()
        .number(L"heap_bytes", heap.bytes)
        .number(L"heap_blocks", heap.blocks)
        .number(L"gdi_objects", gdi)
        .done();
}

std::string answer(HWND window, UINT message, int argument) {
    if (message == instrumentsQueryMessage("ids")) {
        return ids(window);
    }
    if (message == instrumentsQueryMessage("icons")) {
        return icons(window);
    }
    if (message == instrumentsQueryMessage("memory")) {
        return memory();
    }
    const HWND control = win::descendantWithId(window, argument);
    if (control == nullptr) {
        return Object().number(L"no widget", argument).done();
    }
    return message == instrumentsQueryMessage("font") ? font(control) : caption(control);
}

bool isQuery(UINT message) {
    if (message < 0xC000) {
        return false;  // registered messages lie from 0xC000 on
    }
    for (const char* query : {"ids", "icons", "memory", "font", "caption"}) {
        if (message == instrumentsQueryMessage(query)) {
            return true;
        }
    }
    return false;
}

// Into the asker's shared memory, then a posted notice: nothing here waits for the asker.
// The memory is let go before the notice, so that what the asker reads of this process next
// (its handles, its file descriptors) holds nothing of the answer.
void reply(HWND asker, unsigned question, const std::string& text) {
    if (text.size() > kAnswerRoom - sizeof(AnswerHeader)) {
        return;
    }
    {
        const win::UniqueKernelHandle memory(
            OpenFileMappingW(FILE_MAP_WRITE, FALSE, answerMemoryName(asker).c_str()));
        const win::UniqueView view(
            memory ? MapViewOfFile(memory.get(), FILE_MAP_WRITE, 0, 0, kAnswerRoom) : nullptr);
        if (!view) {
            return;
        }
        auto* bytes = static_cast<char*>(view.get());
        const AnswerHeader header{question, static_cast<std::uint32_t>(text.size())};
        std::memcpy(bytes, &header, sizeof header);
        std::memcpy(bytes + sizeof header, text.data(), text.size());
    }
    PostMessageW(asker, instrumentsAnsweredMessage(), question, 0);
}

}  // namespace
}  // namespace vorkel::testing

extern "C" __declspec(dllexport) LRESULT CALLBACK
    instrumentsHook(int code, WPARAM removal, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && removal == PM_REMOVE && message != nullptr &&
        vorkel::testing::isQuery(message->message)) {
        try {
            vorkel::testing::reply(
                reinterpret_cast<HWND>(message->lParam), HIWORD(message->wParam),
                vorkel::testing::answer(message->hwnd, message->message, LOWORD(message->wParam)));
        } catch (...) {
            // No answer: the asker's wait runs out and says so.
        }
        message->message = WM_NULL;  // the station's window never sees it
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}
