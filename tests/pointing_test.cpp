// Mirror position and rotor commands, down to the bytes the controller receives.
#include "core/pointing.h"

#include <gtest/gtest.h>

#include "point_command_bytes.h"

namespace vorkel {
namespace {

struct Mirror {
    const wchar_t* azimuth;
    const wchar_t* elevation;
    const wchar_t* mirrorAzimuth;
    const wchar_t* mirrorElevation;
};

TEST(MirrorPosition, TurnsAzimuthAndTakesElevationOverTheZenith) {
    const Mirror cases[] = {
        {L"123.4", L"45.6", L" 303.4", L" 134.4"}, {L"", L"", L" 180", L" 180"},
        {L"359.9", L"90", L" 179.9", L" 90"},      {L"180", L"0", L" 0", L" 180"},
        {L"179.99", L"-0.1", L" 359.99", L"180"},  {L"400", L"-5.6", L" 220", L"180"},
        {L"-10", L"12.5deg", L" 170", L" 167.5"},
    };
    for (const Mirror& c : cases) {
        const auto m = mirrorPosition(c.azimuth, c.elevation);
        ASSERT_TRUE(m.has_value());
        EXPECT_EQ(m->azimuth, c.mirrorAzimuth) << ::testing::PrintToString(c.azimuth);
        EXPECT_EQ(m->elevation, c.mirrorElevation) << ::testing::PrintToString(c.elevation);
    }
}

TEST(MirrorPosition, NumberOutOfRangeFails) {
    EXPECT_FALSE(mirrorPosition(L"1E400", L"10"));
    EXPECT_FALSE(mirrorPosition(L"10", L"-1E400"));
}

TEST(PointCommand, WorkedExampleByteForByte) {
    const auto command = pointCommand(L"123.4", L"45.6");
    ASSERT_TRUE(command.has_value());
    const std::wstring expected = {0x57, 0x31, 0x32, 0x33, 0x20, 0x30, 0x34, 0x35, 0x0D};
    EXPECT_EQ(*command, expected);
}

struct Pointing {
    const wchar_t* azimuth;
    const wchar_t* elevation;
    int pointedAzimuth;
    int pointedElevation;
};

// Whole degrees, then the azimuth turned into 0..359 and the elevation held to 0..180, each as
// three digits: a controller that reads digits at fixed places gets what the window shows.
TEST(PointCommand, ThreeDigitsEachWithinTheControllersRanges) {
    const Pointing cases[] = {
        {L"7", L"-5.6", 7, 0},          {L" 303.4", L" 134.4", 303, 134},
        {L" 87.8", L" 140.8", 87, 140}, {L"", L"", 0, 0},
        {L" .5", L"0", 0, 0},           {L"359.99", L"90", 359, 90},
        {L"360", L"-0.1", 0, 0},        {L"725", L"-5", 5, 0},
        {L"-0.1", L"-0", 359, 0},       {L"-5", L"180", 355, 180},
        {L"180.5", L"180.5", 180, 180}, {L"-0", L"360", 0, 180},
        {L"-720", L"1E300", 0, 180},    {L"1E300", L"-1E300", 0, 0},
    };
    for (const Pointing& c : cases) {
        EXPECT_EQ(pointCommand(c.azimuth, c.elevation),
                  testing::pointCommandText(c.pointedAzimuth, c.pointedElevation))
            << ::testing::PrintToString(c.azimuth) << " " << ::testing::PrintToString(c.elevation);
    }
}

TEST(PointCommand, NumberOutOfRangeFails) {
    EXPECT_FALSE(pointCommand(L"1E400", L"0"));
    EXPECT_FALSE(pointCommand(L"0", L"-1E400"));
}

}  // namespace
}  // namespace vorkel
