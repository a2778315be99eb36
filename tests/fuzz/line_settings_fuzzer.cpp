// Any settings text is either refused, with a short printable message and the settings left
// alone, or read into settings a serial port can take, which written out in the usual form
// read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/line_settings.h"

namespace {

using vorkel::LineSettings;
using vorkel::Parity;
using vorkel::StopBits;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::wstring usualText(const LineSettings& s) {
    const wchar_t* parity = L"n";
    switch (s.parity) {
        case Parity::none:
            break;
        case Parity::odd:
            parity = L"o";
            break;
        case Parity::even:
            parity = L"e";
            break;
        case Parity::mark:
            parity = L"m";
            break;
        case Parity::space:
            parity = L"s";
            break;
    }
    const wchar_t* stop = s.stopBits == StopBits::one   ? L"1"
                          : s.stopBits == StopBits::two ? L"2"
                                                        : L"1.5";
    return std::to_wstring(s.baudRate) + L"," + parity + L"," + std::to_wstring(s.dataBits) + L"," +
           stop;
}

// The longest refusal: the prefix, a quoted text of 40 escaped characters cut short, and the
// longest problem.
constexpr std::size_t kLongestMessage = 14 + (2 + 40 * 6 + 3) + 2 + 60;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // An even first byte: one character a byte, so that plain settings are easy to reach;
    // otherwise two bytes a character, as UTF-16.
    std::wstring text;
    if (data[0] % 2 == 0) {
        for (std::size_t k = 1; k < size; ++k) {
            text += static_cast<wchar_t>(data[k]);
        }
    } else {
        for (std::size_t k = 1; k + 1 < size; k += 2) {
            text += static_cast<wchar_t>(data[k] | (data[k + 1] << 8));
        }
    }

    const LineSettings untouched{1234567, Parity::mark, 6, StopBits::two};
    LineSettings settings = untouched;
    const vorkel::Status status = vorkel::parseLineSettings(text, settings);
    if (!status.ok()) {
        require(settings == untouched);
        require(!status.text().empty() && status.text().size() <= kLongestMessage);
        for (char c : status.text()) {
            require(c >= 0x20 && c < 0x7F);
        }
        return 0;
    }
    require(status.text().empty());
    require(settings.baudRate >= 1 && settings.baudRate <= 0xFFFFFFFFul);
    require(settings.dataBits >= 5 && settings.dataBits <= 8);
    require(settings.stopBits != StopBits::onePointFive || settings.dataBits == 5);
    require(settings.stopBits != StopBits::two || settings.dataBits != 5);
    // Four fields of digits, a parity letter and a period at most: nothing else gets through.
    std::size_t commas = 0;
    for (wchar_t c : text) {
        commas += c == L',' ? 1 : 0;
        require(c == L',' || c == L'.' || (c >= L'0' && c <= L'9') ||
                std::wstring(L"nNeEoOmMsS").find(c) != std::wstring::npos);
    }
    require(commas == 3);

    LineSettings again = untouched;
    require(vorkel::parseLineSettings(usualText(settings), again).ok());
    require(again == settings);
    return 0;
}
