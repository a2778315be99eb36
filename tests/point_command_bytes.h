// The bytes a rotor controller must receive for a position, written out independently of the
// station's own formatting, for tests and the tick floor to compare against and send.
#pragma once

#include <cstdio>
#include <string>

namespace vorkel::testing {

// "W", three-digit azimuth, blank, three-digit elevation, CR: GS-232's "Waaa eee".
inline std::string pointCommandBytes(int azimuth, int elevation) {
    char text[16];
    std::snprintf(text, sizeof text, "W%03d %03d\r", azimuth, elevation);
    return text;
}

inline std::wstring pointCommandText(int azimuth, int elevation) {
    const std::string bytes = pointCommandBytes(azimuth, elevation);
    return {bytes.begin(), bytes.end()};
}

}  // namespace vorkel::testing
