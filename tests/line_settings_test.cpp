#include "core/line_settings.h"

#include <gtest/gtest.h>

#include <string>

namespace vorkel {
namespace {

LineSettings parsed(const std::wstring& text) {
    LineSettings settings{};
    const Status status = parseLineSettings(text, settings);
    EXPECT_TRUE(status.ok()) << status.text();
    return settings;
}

std::string problem(const std::wstring& text) {
    LineSettings settings{};
    settings.baudRate = 1234;
    const Status status = parseLineSettings(text, settings);
    EXPECT_FALSE(status.ok()) << "accepted: " << testing::PrintToString(text);
    // A refused text never changes the settings held so far.
    EXPECT_EQ(settings.baudRate, 1234u);
    return status.text();
}

TEST(LineSettings, StationDefault) {
    EXPECT_EQ(parsed(L"9600,n,8,1"), (LineSettings{9600, Parity::none, 8, StopBits::one}));
}

TEST(LineSettings, EveryParityLetterInEitherCase) {
    const std::pair<wchar_t, Parity> letters[] = {
        {L'n', Parity::none}, {L'e', Parity::even},  {L'o', Parity::odd},
        {L'm', Parity::mark}, {L's', Parity::space},
    };
    for (const auto& [letter, parity] : letters) {
        for (wchar_t c : {letter, static_cast<wchar_t>(letter - L'a' + L'A')}) {
            EXPECT_EQ(parsed(std::wstring(L"4800,") + c + L",7,1").parity, parity) << char(c);
        }
    }
}

TEST(LineSettings, DataAndStopBitCombinationsAPortCanMake) {
    EXPECT_EQ(parsed(L"300,n,5,1.5").stopBits, StopBits::onePointFive);
    EXPECT_EQ(parsed(L"300,n,5,1").dataBits, 5);
    EXPECT_EQ(parsed(L"1200,e,6,2").stopBits, StopBits::two);
    EXPECT_EQ(parsed(L"1200,e,7,2").dataBits, 7);
    EXPECT_NE(problem(L"9600,n,8,1.5").find("1.5 stop bits"), std::string::npos);
    EXPECT_NE(problem(L"9600,n,5,2").find("2 stop bits"), std::string::npos);
}

TEST(LineSettings, BaudRateRange) {
    EXPECT_EQ(parsed(L"1,n,8,1").baudRate, 1u);
    EXPECT_EQ(parsed(L"0115200,n,8,1").baudRate, 115200u);
    EXPECT_EQ(parsed(L"4294967295,n,8,1").baudRate, 4294967295u);
    for (const wchar_t* text :
         {L"0,n,8,1", L"4294967296,n,8,1", L"99999999999,n,8,1", L"-9600,n,8,1", L"+9600,n,8,1",
          L"96.00,n,8,1", L"9600 ,n,8,1", L",n,8,1", L"\x0669\x0666,n,8,1"}) {
        EXPECT_NE(problem(text).find("baud rate"), std::string::npos) << text;
    }
}

TEST(LineSettings, EachFieldNamedWhenWrong) {
    EXPECT_NE(problem(L"9600,x,8,1").find("parity"), std::string::npos);
    EXPECT_NE(problem(L"9600,nn,8,1").find("parity"), std::string::npos);
    EXPECT_NE(problem(L"9600,,8,1").find("parity"), std::string::npos);
    EXPECT_NE(problem(L"9600,n,4,1").find("data bits"), std::string::npos);
    EXPECT_NE(problem(L"9600,n,9,1").find("data bits"), std::string::npos);
    EXPECT_NE(problem(L"9600,n,08,1").find("data bits"), std::string::npos);
    EXPECT_NE(problem(L"9600,n,8,3").find("stop bits"), std::string::npos);
    EXPECT_NE(problem(L"9600,n,8,1.0").find("stop bits"), std::string::npos);
    EXPECT_NE(problem(L"9600,n,8,").find("stop bits"), std::string::npos);
}

TEST(LineSettings, WrongShape) {
    for (const wchar_t* text : {L"", L",", L",,,", L"9600", L"9600,n,8", L"9600,n,8,1,",
                                L"9600,n,8,1,1", L"9600;n;8;1"}) {
        EXPECT_FALSE(problem(text).empty()) << text;
    }
}

TEST(LineSettings, MessagesStayShortAndPrintable) {
    std::wstring hostile(5000, L'\x1b');
    hostile += L"\n\"\\\xFFFF";
    const std::string text = problem(hostile);
    EXPECT_LT(text.size(), 400u);
    for (char c : text) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << int(c);
    }
    EXPECT_NE(problem(L"9600,n,8,\x00e9").find("\\u00E9"), std::string::npos);
    EXPECT_NE(problem(std::wstring(L"9600,n\0,8,1", 11)).find("\\u0000"), std::string::npos);
}

}  // namespace
}  // namespace vorkel
