// The record parser: worked example, where a malformed record breaks, and what it keeps.
#include "core/tracking_record.h"

#include <gtest/gtest.h>

namespace vorkel {
namespace {

TEST(TrackingRecord, CutsTheFiveFieldsByPosition) {
    const ParsedRecord p = parseTrackingRecord(L"aaSAT aa123.4 aa-5.6 aa145.95 aa435.1zz");
    EXPECT_FALSE(p.failed);
    EXPECT_EQ(p.fieldsCut, 5);
    EXPECT_EQ(p.record.name, L"SAT");
    EXPECT_EQ(p.record.azimuth, L"123.4");
    EXPECT_EQ(p.record.elevation, L"-5.6");
    EXPECT_EQ(p.record.downlink, L"145.95");
    EXPECT_EQ(p.record.uplink, L"435.1");
}

TEST(TrackingRecord, TagsAreSkippedUnreadAndAccentsAreCharacters) {
    const ParsedRecord p = parseTrackingRecord(L"SNÑandú EL1 ÁZ2 xx3 DN4\r\n");
    EXPECT_FALSE(p.failed);
    EXPECT_EQ(p.record.name, L"Ñandú");
    EXPECT_EQ(p.record.azimuth, L"1");
    EXPECT_EQ(p.record.elevation, L"2");
    EXPECT_EQ(p.record.downlink, L"3");
    EXPECT_EQ(p.record.uplink, L"4");
}

TEST(TrackingRecord, UplinkKeepsItsBlanksAndLosesTheLastTwoCharacters) {
    EXPECT_EQ(parseTrackingRecord(L"aaS aa1 aa2 aa3 aa435.1 xyzzz").record.uplink, L"435.1 xyz");
    // Nothing after the uplink digits: the last two digits go.
    EXPECT_EQ(parseTrackingRecord(L"aaS aa1 aa2 aa3 aa435100").record.uplink, L"4351");
    // Tag and two final characters only: empty, not a failure.
    const ParsedRecord p = parseTrackingRecord(L"aaS aa1 aa2 aa3 aazz");
    EXPECT_FALSE(p.failed);
    EXPECT_EQ(p.record.uplink, L"");
}

TEST(TrackingRecord, FieldOfItsTagAloneIsEmpty) {
    const ParsedRecord p = parseTrackingRecord(L"aa aa aa aa aazz");
    EXPECT_FALSE(p.failed);
    EXPECT_EQ(p.fieldsCut, 5);
    EXPECT_EQ(p.record.name, L"");
    EXPECT_EQ(p.record.downlink, L"");
}

struct Broken {
    const wchar_t* record;
    int fieldsCut;  // the values that still stand
};

class BrokenRecord : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenRecord, FailsAtTheBrokenFieldAndKeepsTheEarlierOnes) {
    const ParsedRecord p = parseTrackingRecord(GetParam().record);
    EXPECT_TRUE(p.failed);
    EXPECT_EQ(p.fieldsCut, GetParam().fieldsCut);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BrokenRecord,
    ::testing::Values(Broken{L"", 0}, Broken{L" aaSAT aa1 aa2 aa3 aa4zz", 0},
                      Broken{L"a aa1 aa2 aa3 aa4zz", 0},       // name shorter than its tag
                      Broken{L"aaSAT", 0},                     // no blank at all
                      Broken{L"aaSAT  aa1 aa2 aa3 aa4zz", 1},  // two blanks after the name
                      Broken{L"aaSAT aa1 a aa3 aa4zz", 2},     // elevation of one character
                      Broken{L"aaSAT aa1 aa2 aa145.9", 3},     // downlink runs to the end
                      Broken{L"aaSAT aa1 aa2 aa3 ", 4},        // ends after downlink's blank
                      Broken{L"aaSAT aa1 aa2 aa3 aaz", 4}));   // uplink of three characters

TEST(TrackingRecord, FailedParseLeavesLaterValuesEmpty) {
    const ParsedRecord p = parseTrackingRecord(L"aaSAT aa1 aa2  aa4zz");
    EXPECT_TRUE(p.failed);
    EXPECT_EQ(p.fieldsCut, 3);
    EXPECT_EQ(p.record.elevation, L"2");
    EXPECT_EQ(p.record.downlink, L"");
    EXPECT_EQ(p.record.uplink, L"");
}

}  // namespace
}  // namespace vorkel
