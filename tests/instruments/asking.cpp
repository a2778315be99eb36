// The instruments' probe side: runs in the window probe, which loads this DLL. It sets the hook
// on the station's window thread (Windows then loads the DLL into the station for it), posts a
// query to one of the station's windows and waits for the answer.
#include <windows.h>

#include <cstring>
#include <map>
#include <string>

#include "tests/instruments/instruments_protocol.h"
#include "win/handles.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK
    instrumentsHook(int code, WPARAM removal, LPARAM lParam);

namespace vorkel::testing {
namespace {

using win::UniqueHook;
using win::UniqueWindow;

constexpr wchar_t kReceiverClass[] = L"VorkelInstrumentsAnswer";

// The question awaited, and whether its answer has come.
struct Awaited {
    unsigned question = 0;
    bool arrived = false;
};
Awaited awaited;

LRESULT CALLBACK receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == instrumentsAnsweredMessage() && wParam == awaited.question) {
        awaited.arrived = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&instrumentsHook), &module);
    return module;
}

// One hook per station thread, kept while the probe runs: the DLL stays loaded in the station
// and its cost is met once, before any figure is taken.
bool hooked(DWORD thread) {
    static std::map<DWORD, UniqueHook> hooks;
    if (hooks.count(thread) != 0) {
        return true;
    }
    UniqueHook hook(SetWindowsHookExW(WH_GETMESSAGE, instrumentsHook, thisModule(), thread));
    if (!hook) {
        return false;
    }
    hooks.emplace(thread, std::move(hook));
    return true;
}

HWND receiver() {
    static UniqueWindow window = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = receive;
        wc.hInstance = thisModule();
        wc.lpszClassName = kReceiverClass;
        RegisterClassW(&wc);
        return UniqueWindow(CreateWindowExW(0, kReceiverClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                            nullptr, wc.hInstance, nullptr));
    }();
    return window.get();
}

// The memory the station writes its answers into, under a name taken from the receiver, kept
// while the probe runs.
const char* answers(HWND to) {
    static win::UniqueKernelHandle memory(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr,
                                                             PAGE_READWRITE, 0, kAnswerRoom,
                                                             answerMemoryName(to).c_str()));
    static win::UniqueView view(
        memory ? MapViewOfFile(memory.get(), FILE_MAP_READ, 0, 0, kAnswerRoom) : nullptr);
    return static_cast<const char*>(view.get());
}

}  // namespace
}  // namespace vorkel::testing

// The answer to query (with its argument: a control id, or 0) from window, into answer (no
// terminator); its length, or -1 when the hook cannot be set, -2 when no answer came within
// timeoutMs, -3 when it does not fit.
extern "C" __declspec(dllexport) int instrumentsAsk(HWND window, const char* query, int argument,
                                                    char* answer, int capacity,
                                                    unsigned timeoutMs) {
    using namespace vorkel::testing;
    static unsigned questions = 0;
    const UINT message = instrumentsQueryMessage(query);
    const HWND to = receiver();
    const char* shared = to ? answers(to) : nullptr;
    if (message == 0 || shared == nullptr || !hooked(GetWindowThreadProcessId(window, nullptr))) {
        return -1;
    }
    questions = (questions + 1) & 0xFFFF;  // the question's number travels in a word
    awaited = Awaited{questions, false};
    if (!PostMessageW(window, message,
                      MAKEWPARAM(static_cast<WORD>(argument), static_cast<WORD>(questions)),
                      reinterpret_cast<LPARAM>(to))) {
        return -2;
    }
    const DWORD start = GetTickCount();
    while (!awaited.arrived) {
        MSG pending;
        while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&pending);
            DispatchMessageW(&pending);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (awaited.arrived || elapsed >= timeoutMs) {
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    }
    AnswerHeader header{};
    std::memcpy(&header, shared, sizeof header);
    if (!awaited.arrived || header.question != awaited.question) {
        return -2;
    }
    if (header.length > static_cast<std::uint32_t>(capacity)) {
        return -3;
    }
    std::memcpy(answer, shared + sizeof header, header.length);
    return static_cast<int>(header.length);
}
