// How the window probe's side of the instruments asks and the station's side answers. A query is
// a window message registered under its name, posted to the station's window with the argument
// (a control id) and the question's number in wParam and the asker's window in lParam. The
// answer, one line of JSON in UTF-8, goes into memory the asker shares under a name taken from
// its window, and a posted "answered" message with the question's number tells it so: the
// station never waits for an asker, however slow or gone.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace vorkel::testing {

// What the shared memory holds: the number of the question answered, the length, the text.
struct AnswerHeader {
    std::uint32_t question;
    std::uint32_t length;
};
inline constexpr DWORD kAnswerRoom = 1 << 16;

// 0 if the system could not register it.
inline UINT instrumentsMessage(const std::string& name) {
    const std::wstring text = L"vorkelDDE instruments: " + std::wstring(name.begin(), name.end());
    return RegisterWindowMessageW(text.c_str());
}

inline UINT instrumentsQueryMessage(const std::string& query) {
    return instrumentsMessage("query " + query);
}

inline UINT instrumentsAnsweredMessage() {
    return instrumentsMessage("answered");
}

inline std::wstring answerMemoryName(HWND asker) {
    return L"vorkelDDE instruments answer " +
           std::to_wstring(reinterpret_cast<std::uintptr_t>(asker));
}

}  // namespace vorkel::testing
