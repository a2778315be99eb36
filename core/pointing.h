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

// "W", azimuth, blank, elevation, CR, in whole degrees with sign positions: "W 123  45\r".
std::optional<std::wstring> pointCommand(std::wstring_view azimuth, std::wstring_view elevation);

// "S" and CR.
std::wstring stopCommand();

}  // namespace vorkel
