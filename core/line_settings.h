// Serial line settings in the "baud,parity,data,stop" text form, e.g. "9600,n,8,1".
// Standard library only, so the parser builds and is tested anywhere.
#pragma once

#include <string_view>

#include "station/status.h"

namespace vorkel {

enum class Parity { none, odd, even, mark, space };
enum class StopBits { one, onePointFive, two };

struct LineSettings {
    unsigned long baudRate = 9600;
    Parity parity = Parity::none;
    int dataBits = 8;
    StopBits stopBits = StopBits::one;

    bool operator==(const LineSettings&) const = default;
};

// Parity is one of n, e, o, m, s in either case; data bits 5 to 8; stop bits 1, 1.5 or 2, in
// the combinations a serial port can produce. On success fills settings; otherwise leaves them
// alone and fails with a short printable text that says which part is wrong
// ("line settings \"9600,x,8,1\": parity must be one of n, e, o, m, s").
Status parseLineSettings(std::wstring_view text, LineSettings& settings);

}  // namespace vorkel
