// What Windows says about a failure, as text for the "why" of a failure's reason.
#pragma once

#include <string>

namespace vorkel::win {

// "error 2: The system cannot find the file specified." for a code of GetLastError(), on one
// line.
std::string windowsErrorText(unsigned long code);

}  // namespace vorkel::win
