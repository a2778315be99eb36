// Number texts as the station's displays and commands have always written and read them:
// BASIC's rules, with the period as the only decimal separator whatever the locale.
#include "core/number_text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

namespace vorkel {
namespace {

bool isIgnored(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n';
}
bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Reads the leading number's characters one at a time, passing over ignored characters.
class NumberReader {
  public:
    explicit NumberReader(std::wstring_view text) : text_(text) {}

    wchar_t peek() {
        while (pos_ < text_.size() && isIgnored(text_[pos_])) {
            ++pos_;
        }
        return pos_ < text_.size() ? text_[pos_] : L'\0';
    }
    void advance() { ++pos_; }
    std::size_t position() const { return pos_; }
    void rewind(std::size_t position) { pos_ = position; }

  private:
    std::wstring_view text_;
    std::size_t pos_ = 0;
};

// The number in the plain form that std::from_chars reads, and where its first significant digit
// stands, so that a value out of a double's range can be told apart as too large or too small.
struct NumberSpelling {
    std::string chars;
    bool anyDigit = false;
    long long leadingDigitExponent = 0;  // decimal exponent of the first non-zero digit
    bool nonZero = false;
};

NumberSpelling spellLeadingNumber(std::wstring_view text) {
    NumberReader reader(text);
    NumberSpelling s;
    if (reader.peek() == L'-' || reader.peek() == L'+') {
        if (reader.peek() == L'-') {
            s.chars += '-';
        }
        reader.advance();
    }
    long long digitsBeforePoint = 0;
    long long zerosAfterPoint = 0;
    for (; isDigit(reader.peek()); reader.advance()) {
        const char digit = static_cast<char>(reader.peek());
        if (digit != '0' || s.nonZero) {
            s.nonZero = true;
            ++digitsBeforePoint;
        }
        s.chars += digit;
        s.anyDigit = true;
    }
    if (reader.peek() == L'.') {
        s.chars += '.';
        reader.advance();
        for (; isDigit(reader.peek()); reader.advance()) {
            const char digit = static_cast<char>(reader.peek());
            if (digit == '0' && !s.nonZero) {
                ++zerosAfterPoint;
            } else {
                s.nonZero = true;
            }
            s.chars += digit;
            s.anyDigit = true;
        }
    }
    if (!s.anyDigit) {
        return s;
    }
    s.leadingDigitExponent = digitsBeforePoint > 0 ? digitsBeforePoint - 1 : -zerosAfterPoint - 1;

    // An exponent counts only with at least one digit; "12E" and "12E+" read as 12.
    const std::size_t beforeExponent = reader.position();
    if (reader.peek() == L'E' || reader.peek() == L'e') {
        reader.advance();
        bool negative = false;
        if (reader.peek() == L'-' || reader.peek() == L'+') {
            negative = reader.peek() == L'-';
            reader.advance();
        }
        if (!isDigit(reader.peek())) {
            reader.rewind(beforeExponent);
            return s;
        }
        std::string exponentDigits;
        long long exponent = 0;
        for (; isDigit(reader.peek()); reader.advance()) {
            const char digit = static_cast<char>(reader.peek());
            exponentDigits += digit;
            // Saturates: any exponent this large already decides the outcome.
            exponent = exponent < LLONG_MAX / 100 ? exponent * 10 + (digit - '0') : exponent;
        }
        s.chars += 'e';
        s.chars += negative ? "-" : "";
        s.chars += exponentDigits;
        s.leadingDigitExponent += negative ? -exponent : exponent;
    }
    return s;
}

// The significant digits and the decimal exponent of a number in scientific notation
// ("1.25e+02", or printf's "1.25E+002"); any decimal separator will do.
std::pair<std::string, int> splitScientific(std::string_view text) {
    const std::size_t e = text.find_first_of("eE");
    std::string digits;
    for (char c : text.substr(0, e)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    return {digits, std::atoi(std::string(text.substr(e + 1)).c_str())};
}

// The digits of a positive value rounded to 15 significant digits, and the decimal exponent of
// the first.
std::pair<std::string, int> significantDigits(double magnitude) {
    // Tracking values have a few decimals: when a decimal d = N / 10^k of at most 15 digits
    // reads back as the value itself, d lies within half a unit of the value's last binary place,
    // far inside half a unit of the 15th decimal one, so d is the value rounded to 15 digits.
    // This skips printf, which is slow, in nearly every case. (std::to_chars would be exact and
    // fast, but its tables would double the size of the executable.)
    constexpr double kPowersOfTen[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
    for (int k = 0; k < 7; ++k) {
        const double scaled = std::nearbyint(magnitude * kPowersOfTen[k]);
        if (scaled >= 1 && scaled < 1e15 && scaled / kPowersOfTen[k] == magnitude) {
            std::string digits = std::to_string(static_cast<long long>(scaled));
            const int exponent = static_cast<int>(digits.size()) - 1 - k;
            return {digits, exponent};
        }
    }
    char buffer[40];
    const int length = std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);
    return splitScientific(std::string_view(buffer, static_cast<std::size_t>(length)));
}

}  // namespace

std::optional<double> numberFromText(std::wstring_view text) {
    const NumberSpelling s = spellLeadingNumber(text);
    if (!s.anyDigit) {
        return 0.0;
    }
    double value = 0;
    const char* first = s.chars.data();
    const char* last = first + s.chars.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range) {
        if (s.nonZero && s.leadingDigitExponent > 0) {
            return std::nullopt;  // too large for a double
        }
        return s.chars.front() == '-' ? -0.0 : 0.0;  // too small: it reads as zero
    }
    if (error != std::errc() || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::wstring textFromNumber(double value) {
    std::wstring out(1, value < 0 ? L'-' : L' ');
    const double magnitude = std::fabs(value);
    if (magnitude == 0 || !std::isfinite(magnitude)) {
        return out + (magnitude == 0 ? L"0" : L"1.#INF");
    }
    auto [digits, exponent] = significantDigits(magnitude);
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }

    // Built by appending: GCC 12 misreads operator+ on char and string here (-Wrestrict).
    std::string text;
    if (exponent >= 15 || exponent < -4) {
        text.append(digits, 0, 1);
        if (digits.size() > 1) {
            text.append(1, '.').append(digits, 1);
        }
        const int shown = exponent < 0 ? -exponent : exponent;
        text.append(exponent < 0 ? "E-" : "E+");
        text.append(shown < 10 ? "0" : "").append(std::to_string(shown));
    } else if (exponent >= 0) {
        const auto wholeDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= wholeDigits) {
            text.append(digits).append(wholeDigits - digits.size(), '0');
        } else {
            text.append(digits, 0, wholeDigits).append(1, '.').append(digits, wholeDigits);
        }
    } else {
        text.append(1, '.').append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
    }
    out.append(text.begin(), text.end());
    return out;
}

double wholeDegrees(double value) {
    return std::floor(value);
}

}  // namespace vorkel
