// Any tracking record, however malformed, goes through the whole tick's logic without a crash
// and yields only well-formed commands.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/number_text.h"
#include "core/pointing.h"
#include "core/tracking_record.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A rotor command is "W", two whole numbers with sign positions, CR: ASCII only.
void checkCommand(const std::wstring& command) {
    require(command.size() >= 6 && command.front() == L'W' && command.back() == L'\r');
    for (wchar_t c : command) {
        require(c == L'W' || c == L' ' || c == L'-' || c == L'\r' || c == L'E' || c == L'+' ||
                c == L'.' || (c >= L'0' && c <= L'9'));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two bytes a character, as the record arrives in UTF-16 from the link.
    std::wstring record;
    for (std::size_t k = 0; k + 1 < size; k += 2) {
        record += static_cast<wchar_t>(data[k] | (data[k + 1] << 8));
    }
    const vorkel::ParsedRecord parsed = vorkel::parseTrackingRecord(record);
    require(parsed.fieldsCut >= 0 && parsed.fieldsCut <= 5);
    require(parsed.failed == (parsed.fieldsCut < 5));
    const vorkel::TrackingRecord& r = parsed.record;
    for (const std::wstring* value : {&r.name, &r.azimuth, &r.elevation, &r.downlink, &r.uplink}) {
        require(value->size() <= record.size());
    }

    if (const auto mirror = vorkel::mirrorPosition(r.azimuth, r.elevation)) {
        if (const auto command = vorkel::pointCommand(mirror->azimuth, mirror->elevation)) {
            checkCommand(*command);
        }
    }
    if (const auto command = vorkel::pointCommand(r.azimuth, r.elevation)) {
        checkCommand(*command);
    }
    // A number written by the station reads back as itself to 15 significant digits.
    if (const auto number = vorkel::numberFromText(record)) {
        const auto again = vorkel::numberFromText(vorkel::textFromNumber(*number));
        require(again.has_value());
        const double scale = *number < 0 ? -*number : *number;
        const double difference = *again - *number;
        require((difference < 0 ? -difference : difference) <= scale * 1e-14);
    }
    return 0;
}
