// Number texts: BASIC-style reading and writing, the basis of every display and command.
#include "core/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vorkel {
namespace {

struct Reading {
    const wchar_t* text;
    double value;
};

TEST(NumberFromText, ReadsTheLeadingNumber) {
    const Reading cases[] = {
        {L"", 0},           {L"abc", 0},
        {L"123.4", 123.4},  {L"-5.6", -5.6},
        {L"+7", 7},         {L" .5", 0.5},
        {L".", 0},          {L"-", 0},
        {L"12.5deg", 12.5}, {L"1 2\t3\n4", 1234},
        {L"- 1 . 5", -1.5}, {L"1.5E2", 150},
        {L"2e-1", 0.2},     {L"3E+ 2", 300},
        {L"12E", 12},       {L"12E+x", 12},
        {L"1-2", 1},        {L"--5", 0},
        {L"1.2.3", 1.2},    {L"\r5", 0},
        {L"1e-400", 0},     {L"0e99999999999999999999", 0},
        {L"007", 7},
    };
    for (const Reading& c : cases) {
        const auto value = numberFromText(c.text);
        ASSERT_TRUE(value.has_value()) << "text: " << ::testing::PrintToString(c.text);
        EXPECT_DOUBLE_EQ(*value, c.value) << "text: " << ::testing::PrintToString(c.text);
    }
}

TEST(NumberFromText, TooLargeForADoubleIsAFailure) {
    EXPECT_FALSE(numberFromText(L"1E400"));
    EXPECT_FALSE(numberFromText(L"-1e309"));
    EXPECT_FALSE(numberFromText(L"1e99999999999999999999999"));
    EXPECT_FALSE(numberFromText(std::wstring(400, L'9')));
    EXPECT_EQ(numberFromText(L"1.7976931348623157e308"), std::numeric_limits<double>::max());
}

TEST(NumberFromText, LongDigitStringsStayExact) {
    std::wstring text = L"0." + std::wstring(100000, L'0') + L"1e100000";
    EXPECT_DOUBLE_EQ(*numberFromText(text), 0.1);
}

struct Writing {
    double value;
    const wchar_t* text;
};

TEST(TextFromNumber, WritesSignPositionAndShortestDigits) {
    const Writing cases[] = {
        {123, L" 123"},
        {-4, L"-4"},
        {0, L" 0"},
        {-0.0, L" 0"},
        {303.4, L" 303.4"},
        {0.5, L" .5"},
        {-0.25, L"-.25"},
        {1e15, L" 1E+15"},
        {999999999999999, L" 999999999999999"},
        {1.5e20, L" 1.5E+20"},
        {1e100, L" 1E+100"},
        {0.0001, L" .0001"},
        {0.00001, L" 1E-05"},
        {-2.5e-7, L"-2.5E-07"},
        {134.4, L" 134.4"},
        {179.99, L" 179.99"},
        {359.99, L" 359.99"},
        {0.1 + 0.2, L" .3"},
        {123456789.123456789, L" 123456789.123457"},
        {100, L" 100"},
    };
    for (const Writing& c : cases) {
        EXPECT_EQ(textFromNumber(c.value), c.text) << "value: " << c.value;
    }
}

TEST(TextFromNumber, RoundsTheExactValueToFifteenDigits) {
    const Writing cases[] = {
        {180 - 45.6, L" 134.4"},         // 134.39999999999999 in shortest form
        {0.1 + 0.7, L" .8"},             // .79999999999999993
        {999999999999999.9, L" 1E+15"},  // rounds up into the next decade
        {1.0000000000000005, L" 1"},     // a tie in the shortest digits, below it exactly
        {2.0000000000000005, L" 2"},
        {9.9999999999999995, L" 10"},
        {1234567890.1234567, L" 1234567890.12346"},
        {5.000000000000005, L" 5.00000000000001"},  // shortest digits end in a half
    };
    for (const Writing& c : cases) {
        EXPECT_EQ(textFromNumber(c.value), c.text) << "value: " << c.value;
    }
}

TEST(TextFromNumber, ReadsBackToTheSameValue) {
    for (double v : {303.4, -5.6, 0.5, 1e-5, 123.456789012345, -1e20}) {
        EXPECT_DOUBLE_EQ(*numberFromText(textFromNumber(v)), v);
    }
}

}  // namespace
}  // namespace vorkel
