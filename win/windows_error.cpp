// Texts of Windows error codes, from the system's own messages.
#include "win/windows_error.h"

#include <windows.h>

#include "win/handles.h"
#include "win/text_conversion.h"

namespace vorkel::win {

namespace {

std::wstring systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const UniqueLocalMemory owner(buffer);
    if (length == 0 || buffer == nullptr) {
        return L"no description";
    }
    std::wstring message(buffer, length);
    // System messages end in a line break, which would split the station's one-line texts.
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
        message.pop_back();
    }
    return message.empty() ? L"no description" : message;
}

}  // namespace

std::string windowsErrorText(unsigned long code) {
    return "error " + std::to_string(code) + ": " + utf8FromWide(systemMessage(code));
}

}  // namespace vorkel::win
