// The one set of rules by which the station turns texts into numbers and numbers into texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorkel {

// The number at the start of the text: blanks, tabs and line feeds are passed over anywhere,
// reading stops at the first character that cannot continue the number, no digits give 0.
// Empty when the number is too large for a double.
std::optional<double> numberFromText(std::wstring_view text);

// Sign position ("-" or a blank), then at most 15 significant digits, no zero before the
// period: 303.4 gives " 303.4", -0.25 gives "-.25", 1E15 gives " 1E+15".
std::wstring textFromNumber(double value);

// The greatest whole number not greater than the value: -0.2 gives -1.
double wholeDegrees(double value);

}  // namespace vorkel
