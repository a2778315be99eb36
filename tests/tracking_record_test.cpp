// The record parser: worked example, where a malformed record breaks, and what it keeps.
#include "core/tracking_record.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

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

// Names as the tracking program takes them from the element files, blanks and padding
// included: the name ends at the blank before " AZ" and a number, not at its first blank.
struct Named {
    std::wstring record;
    TrackingRecord expected;
};

void PrintTo(const Named& named, std::ostream* out) {
    *out << ::testing::PrintToString(named.record);
}

class NamedRecord : public ::testing::TestWithParam<Named> {};

TEST_P(NamedRecord, NameRunsToTheAzimuthField) {
    const ParsedRecord p = parseTrackingRecord(GetParam().record);
    const TrackingRecord& want = GetParam().expected;
    EXPECT_FALSE(p.failed);
    EXPECT_EQ(p.fieldsCut, 5);
    EXPECT_EQ(p.record.name, want.name);
    EXPECT_EQ(p.record.azimuth, want.azimuth);
    EXPECT_EQ(p.record.elevation, want.elevation);
    EXPECT_EQ(p.record.downlink, want.downlink);
    EXPECT_EQ(p.record.uplink, want.uplink);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NamedRecord,
    ::testing::Values(
        Named{L"SNNOAA 19 AZ123.4 EL45.6 DN137100000 UP0\r\n",
              {L"NOAA 19", L"123.4", L"45.6", L"137100000", L"0"}},
        Named{L"SNISS (ZARYA) AZ75.9 EL-49.8 DN145800000 UP145200000\r\n",
              {L"ISS (ZARYA)", L"75.9", L"-49.8", L"145800000", L"145200000"}},
        Named{L"SNOSCAR 7 (AO-7) AZ267.8 EL39.2 DN145952219 UP435093386\r\n",
              {L"OSCAR 7 (AO-7)", L"267.8", L"39.2", L"145952219", L"435093386"}},
        Named{L"SNMETEOR-M 2" + std::wstring(12, L' ') + L" AZ10.0 EL5.0 DN137100000 UP0\r\n",
              {L"METEOR-M 2", L"10.0", L"5.0", L"137100000", L"0"}},
        // Padded to the element files' 24 columns, as the name's line stands there.
        Named{L"SNSAUDISAT 1C (SO-50)      AZ1 EL2 DN3 UP4\r\n",
              {L"SAUDISAT 1C (SO-50)", L"1", L"2", L"3", L"4"}},
        Named{L"SNAZTEC AZ1 EL2 DN3 UP4\r\n", {L"AZTEC", L"1", L"2", L"3", L"4"}},
        Named{L"SNAO-7 AZ123.4 EL45.6 DN145950000 UP435100000\r\n",
              {L"AO-7", L"123.4", L"45.6", L"145950000", L"435100000"}},
        // " AZ" followed by a letter is part of the name; each sign a number can begin with
        // opens the field.
        Named{L"SNFOO AZTEC AZ-1 EL2 DN3 UP4\r\n", {L"FOO AZTEC", L"-1", L"2", L"3", L"4"}},
        Named{L"SNJAS-2 (FO-29) AZ+7 EL2 DN3 UP4\r\n", {L"JAS-2 (FO-29)", L"+7", L"2", L"3", L"4"}},
        Named{L"SNMETEOR-M2 3 AZ.5 EL2 DN3 UP4\r\n", {L"METEOR-M2 3", L".5", L"2", L"3", L"4"}},
        // Two blanks after a name, then the azimuth field: the blank is padding, not a field.
        Named{L"SNAO-7  AZ1 EL2 DN3 UP4\r\n", {L"AO-7", L"1", L"2", L"3", L"4"}},
        // A blank inside the uplink stays there, as without blanks in the name.
        Named{L"SNNOAA 19 AZ1 EL2 DN3 UP435.1 xyz\r\n",
              {L"NOAA 19", L"1", L"2", L"3", L"435.1 xyz"}},
        // No azimuth field (the worked example above is another): cut at the first blank.
        Named{L"SNNOAA AZ EL1 DN2 UP3\r\n", {L"NOAA", L"", L"1", L"2", L"3"}}));

TEST(TrackingRecord, PaddedNameWithABrokenFieldAfterItKeepsTheName) {
    const ParsedRecord p = parseTrackingRecord(L"SNNOAA 19   AZ1 EL2  DN3 UP4\r\n");
    EXPECT_TRUE(p.failed);
    EXPECT_EQ(p.fieldsCut, 3);
    EXPECT_EQ(p.record.name, L"NOAA 19");
    EXPECT_EQ(p.record.elevation, L"2");
}

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
