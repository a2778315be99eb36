// Mirror position and rotor commands, worked on the texts shown in the window.
#include "core/pointing.h"

#include <cmath>

#include "core/number_text.h"

namespace vorkel {
namespace {

// Every step's result is checked: an overflow or invalid operation fails the whole computation.
std::optional<double> checked(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::wstring> wholeDegreesText(std::wstring_view text) {
    const auto number = numberFromText(text);
    if (!number) {
        return std::nullopt;
    }
    const auto whole = checked(wholeDegrees(*number));
    if (!whole) {
        return std::nullopt;
    }
    return textFromNumber(*whole);
}

}  // namespace

std::optional<MirrorPosition> mirrorPosition(std::wstring_view azimuth,
                                             std::wstring_view elevation) {
    const auto a = numberFromText(azimuth);
    if (!a) {
        return std::nullopt;
    }
    // No further wrapping: the rotor takes what the tracking program's azimuth gives.
    const auto mirrorAzimuth = checked(*a >= 180 ? *a - 180 : *a + 180);
    if (!mirrorAzimuth) {
        return std::nullopt;
    }
    const auto e = numberFromText(elevation);
    if (!e) {
        return std::nullopt;
    }
    MirrorPosition mirror;
    mirror.azimuth = textFromNumber(*mirrorAzimuth);
    if (*e >= 0) {
        const auto mirrorElevation = checked(180 - *e);
        if (!mirrorElevation) {
            return std::nullopt;
        }
        mirror.elevation = textFromNumber(*mirrorElevation);
    } else {
        // Below the horizon the mirror stays flat on the far side; the fixed text has no sign
        // position, unlike every computed value.
        mirror.elevation = L"180";
    }
    return mirror;
}

std::optional<std::wstring> pointCommand(std::wstring_view azimuth, std::wstring_view elevation) {
    const auto az = wholeDegreesText(azimuth);
    if (!az) {
        return std::nullopt;
    }
    const auto el = wholeDegreesText(elevation);
    if (!el) {
        return std::nullopt;
    }
    return L"W" + *az + L" " + *el + L"\r";
}

std::wstring stopCommand() {
    return L"S\r";
}

}  // namespace vorkel
