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

}  // namespace vorkel::win
