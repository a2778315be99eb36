#include "links/windows_error.h"

#include <windows.h>

#include "links/unique_handle.h"

namespace vorkel::win {

namespace {

struct LocalTraits {
    using Handle = HLOCAL;
    static Handle empty() { return nullptr; }
    static void release(Handle h) { LocalFree(h); }
};

std::wstring systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const UniqueHandle<LocalTraits> owner(buffer);
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

std::string utf8FromWide(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int wideLength = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return "?";
    }
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::wstring wideFromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int narrowLength = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), narrowLength, nullptr, 0);
    if (length <= 0) {
        return L"?";
    }
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), narrowLength, result.data(), length);
    return result;
}

std::string windowsErrorText(unsigned long code) {
    return "error " + std::to_string(code) + ": " + utf8FromWide(systemMessage(code));
}

Status windowsFailure(std::string_view operation, std::wstring_view object, unsigned long code) {
    std::string text(operation);
    text += ' ';
    text += utf8FromWide(object);
    text += ": ";
    text += windowsErrorText(code);
    return Status::failure(std::move(text));
}

}  // namespace vorkel::win
