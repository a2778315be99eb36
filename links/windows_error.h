// Failure texts that name what was being done, to what, and what Windows said about it.
#pragma once

#include <string>
#include <string_view>

#include "station/status.h"

namespace vorkel::win {

// "error 2: The system cannot find the file specified." for a code of GetLastError().
std::string windowsErrorText(unsigned long code);

// "opening \\.\COM1: error 2: The system cannot find the file specified."
Status windowsFailure(std::string_view operation, std::wstring_view object, unsigned long code);

// Status texts are UTF-8; Windows names are UTF-16.
std::string utf8FromWide(std::wstring_view text);
std::wstring wideFromUtf8(std::string_view text);

}  // namespace vorkel::win
