// Cuts the one-line tracking record into the five texts the station shows.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vorkel {

struct TrackingRecord {
    std::wstring name;
    std::wstring azimuth;
    std::wstring elevation;
    std::wstring downlink;
    std::wstring uplink;
};

// The values cut before the parse ended, in record order. A failed parse keeps the values cut
// before the failing field, so a caller can still show them.
struct ParsedRecord {
    TrackingRecord record;
    int fieldsCut = 0;  // 0 to 5
    bool failed = false;
};

ParsedRecord parseTrackingRecord(std::wstring_view text);

}  // namespace vorkel
