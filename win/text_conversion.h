// Text between Windows' UTF-16 and byte encodings: UTF-8 for status texts and logs, a code
// page for DDE's clipboard text.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vorkel::win {

// Unconvertible characters become the code page's default character ("?" for UTF-8 errors).
std::string narrowFromWide(std::wstring_view text, UINT codePage = CP_UTF8);
inline std::string utf8FromWide(std::wstring_view text) {
    return narrowFromWide(text, CP_UTF8);
}
std::wstring wideFromUtf8(std::string_view text);

// The bytes as text of the code page (CP_ACP for clipboard text); empty when they are not.
std::optional<std::wstring> wideFromCodePage(std::string_view bytes, UINT codePage);

}  // namespace vorkel::win
