// Mirror position and the commands the rotor controller understands.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorkel {

// The position over the zenith that reaches the same point of the sky.
struct MirrorPosition {
    std::wstring azimuth;
    std::wstring elevation;
};

// Empty when a number cannot be read or computed.
std::optional<MirrorPosition> mirrorPosition(std::wstring_view azimuth,
                                             std::wstring_view elevation);

// "W", azimuth, blank, elevation, CR, as the GS-232 manual has it: whole degrees, three digits
// each, the azimuth turned into 000..359 and the elevation held to 000..180: "W123 045\r".
// Empty when a number cannot be read.
std::optional<std::wstring> pointCommand(std::wstring_view azimuth, std::wstring_view elevation);

// "S" and CR.
std::wstring stopCommand();

}  // namespace vorkel
