// How the window probe's side of the instruments asks and the station's side answers: a query
// is a window message registered under its name, posted to the station's window with the
// argument in wParam and the asker's window in lParam; the answer, one line of JSON in UTF-8,
// comes back to that window as WM_COPYDATA.
#pragma once

#include <windows.h>

#include <string>

namespace vorkel::testing {

inline constexpr ULONG_PTR kInstrumentsAnswer = 0x76494e53;  // "vINS"

// 0 if the system could not register it.
inline UINT instrumentsQueryMessage(const std::string& query) {
    const std::wstring name = L"vorkelDDE instruments: " + std::wstring(query.begin(), query.end());
    return RegisterWindowMessageW(name.c_str());
}

}  // namespace vorkel::testing
