// A link's failure that Windows reported, as the station takes it: a Status in the one form of
// failure reasons, e.g. "opening \\.\COM1: error 2: The system cannot find the file specified."
#pragma once

#include <string_view>

#include "station/status.h"
#include "win/text_conversion.h"
#include "win/windows_error.h"

namespace vorkel {

// code: GetLastError()'s, or a code a call returned.
inline Status windowsFailure(std::string_view doing, std::wstring_view object, unsigned long code) {
    return Status::failure(doing, win::utf8FromWide(object), win::windowsErrorText(code));
}

}  // namespace vorkel
