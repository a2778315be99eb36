// Reads serial line settings from their "9600,n,8,1" text, refusing what no port can do.
#include "core/line_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorkel {

namespace {

constexpr std::size_t kQuotedLimit = 40;

// The settings text as it may appear inside a message: printable ASCII as is, anything else
// escaped, and cut short, so a bad text cannot garble or flood the station's error line.
std::string quoted(std::wstring_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == kQuotedLimit) {
            result += "...";
            break;
        }
        const auto code = static_cast<std::uint32_t>(text[i]);
        if (code >= 0x20 && code < 0x7F && code != '"' && code != '\\') {
            result += static_cast<char>(code);
        } else {
            result += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                result += kHex[(code >> shift) & 0xFu];
            }
        }
    }
    result += '"';
    return result;
}

std::vector<std::wstring_view> splitFields(std::wstring_view text) {
    std::vector<std::wstring_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(L',', start);
        if (comma == std::wstring_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

std::optional<unsigned long> parseBaudRate(std::wstring_view field) {
    if (field.empty() || field.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (wchar_t c : field) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    // A port takes the rate as a 32-bit number.
    if (value == 0 || value > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<unsigned long>(value);
}

std::optional<Parity> parseParity(std::wstring_view field) {
    if (field.size() != 1) {
        return std::nullopt;
    }
    switch (field[0]) {
        case L'n':
        case L'N':
            return Parity::none;
        case L'o':
        case L'O':
            return Parity::odd;
        case L'e':
        case L'E':
            return Parity::even;
        case L'm':
        case L'M':
            return Parity::mark;
        case L's':
        case L'S':
            return Parity::space;
        default:
            return std::nullopt;
    }
}

std::optional<int> parseDataBits(std::wstring_view field) {
    if (field.size() != 1 || field[0] < L'5' || field[0] > L'8') {
        return std::nullopt;
    }
    return static_cast<int>(field[0] - L'0');
}

std::optional<StopBits> parseStopBits(std::wstring_view field) {
    if (field == L"1") {
        return StopBits::one;
    }
    if (field == L"1.5") {
        return StopBits::onePointFive;
    }
    if (field == L"2") {
        return StopBits::two;
    }
    return std::nullopt;
}

}  // namespace

Status parseLineSettings(std::wstring_view text, LineSettings& settings) {
    const auto fail = [text](const char* problem) {
        return Status::failure("line settings", quoted(text), problem);
    };
    const std::vector<std::wstring_view> fields = splitFields(text);
    if (fields.size() != 4) {
        return fail("expected baud,parity,data bits,stop bits");
    }
    const auto baudRate = parseBaudRate(fields[0]);
    if (!baudRate) {
        return fail("baud rate must be a whole number from 1 to 4294967295");
    }
    const auto parity = parseParity(fields[1]);
    if (!parity) {
        return fail("parity must be one of n, e, o, m, s");
    }
    const auto dataBits = parseDataBits(fields[2]);
    if (!dataBits) {
        return fail("data bits must be 5, 6, 7 or 8");
    }
    const auto stopBits = parseStopBits(fields[3]);
    if (!stopBits) {
        return fail("stop bits must be 1, 1.5 or 2");
    }
    // A serial port makes 1.5 stop bits only for 5-bit characters and 2 only for longer ones.
    if (*stopBits == StopBits::onePointFive && *dataBits != 5) {
        return fail("1.5 stop bits go only with 5 data bits");
    }
    if (*stopBits == StopBits::two && *dataBits == 5) {
        return fail("2 stop bits do not go with 5 data bits");
    }
    settings = LineSettings{*baudRate, *parity, *dataBits, *stopBits};
    return Status::success();
}

}  // namespace vorkel
