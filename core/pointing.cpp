// Mirror position and rotor commands, worked on the texts shown in the window.
#include "core/pointing.h"

#include <algorithm>
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

std::optional<double> wholeDegreesOf(std::wstring_view text) {
    const auto number = numberFromText(text);
    if (!number) {
        return std::nullopt;
    }
    return checked(wholeDegrees(*number));
}

// Exactly three digits, as GS-232 controllers read them at fixed places: 7 gives "007".
std::wstring threeDigits(double whole) {
    const int value = static_cast<int>(whole);
    return {static_cast<wchar_t>(L'0' + value / 100), static_cast<wchar_t>(L'0' + value / 10 % 10),
            static_cast<wchar_t>(L'0' + value % 10)};
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
    const auto az = wholeDegreesOf(azimuth);
    if (!az) {
        return std::nullopt;
    }
    const auto el = wholeDegreesOf(elevation);
    if (!el) {
        return std::nullopt;
    }
    // A controller refuses, or misreads, anything outside 000..359 and 000..180. Below the
    // horizon the antenna waits flat at the satellite's azimuth, where it will rise.
    double turn = std::fmod(*az, 360.0);
    if (turn < 0) {
        turn += 360.0;
    }
    const double height = std::clamp(*el, 0.0, 180.0);
    return L"W" + threeDigits(turn) + L" " + threeDigits(height) + L"\r";
}

std::wstring stopCommand() {
    return L"S\r";
}

}  // namespace vorkel
