// Start-up, the tracking cycle and Stop, driven through fakes that journal every effect.
#include "station/station.h"

#include <gtest/gtest.h>

#include <new>

#include "fake_station.h"
#include "point_command_bytes.h"

namespace vorkel {
namespace {

using testing::FakeLink;
using testing::FakePort;
using testing::FakeTimer;
using testing::FakeView;
using testing::Journal;
using testing::pointCommandBytes;

constexpr wchar_t kWorkedExample[] = L"aaSAT aa123.4 aa45.6 aa145.95 aa435.1zz";
const std::string kRed = std::to_string(255);

class StationTest : public ::testing::Test {
  protected:
    // Runs one tick with the given reply and returns what it did.
    Journal tickWith(const std::wstring& reply) {
        link.replies.push_back(reply);
        return tick();
    }
    Journal tick() {
        journal.clear();
        station.runTrackingTick();
        return journal;
    }

    Journal journal;
    FakeView view{journal};
    FakeLink link{journal, view};
    FakePort port{journal};
    FakeTimer timer{journal};
    Station station{view, link, port, timer};
};

TEST_F(StationTest, StartUpPreparesEverythingInOrder) {
    station.startStation();
    const std::string green = std::to_string(kStationGreen);
    EXPECT_EQ(journal,
              (Journal{"screen top", "configure 1 9600,n,8,1", "background Form1=" + green,
                       "background Opt_normal=" + green, "background Opt_invertido=" + green,
                       "background chk_update=" + green, "background Label1=" + green,
                       "topic Orbitron|Tracking", "item TrackingData", "period 1000", "open link",
                       "disable Frame1", "disable Frame2", "disable Frame3"}));
    EXPECT_EQ(kStationGreen, 0x0090A690u);  // RGB(144, 166, 144) laid out as 0x00BBGGRR
}

TEST_F(StationTest, StartUpFailureSkipsToLockingTheDisplays) {
    port.configureFails = true;
    station.startStation();
    EXPECT_EQ(journal, (Journal{"screen top", "configure 1 9600,n,8,1", "disable Frame1",
                                "disable Frame2", "disable Frame3"}));
    EXPECT_EQ(timer.period, 0u);  // so no tick ever runs

    journal.clear();
    link.openFails = true;
    port.configureFails = false;
    station.startStation();
    EXPECT_EQ(timer.period, 1000u);  // the ticks run and report the missing tracking program
    EXPECT_EQ(journal.back(), "disable Frame3");
}

TEST_F(StationTest, WorkedExampleWithSendingOnInNormalMode) {
    view.ticked = true;
    EXPECT_EQ(
        tickWith(kWorkedExample),
        (Journal{"topmost", "request", "Label1=aaSAT aa123.4 aa45.6 aa145.95 aa435.1zz",
                 "txt_nombre=SAT", "txt_azi=123.4", "txt_ele=45.6", "colour txt_ele=0",
                 "txt_down=145.95", "txt_up=435.1", "txt_iazi= 303.4", "txt_iele= 134.4",
                 "open port", "write " + pointCommandBytes(123, 45), "close port", "title ok"}));
}

TEST_F(StationTest, InvertedModeSendsTheMirrorPosition) {
    view.ticked = true;
    view.normal = false;
    tickWith(kWorkedExample);
    EXPECT_EQ(port.written, (std::vector<std::string>{pointCommandBytes(303, 134)}));

    tickWith(L"aaSAT aa7 aa-5.6 aa1 aa2zz");
    EXPECT_EQ(view.fieldText(Field::txt_iele), L"180");
    EXPECT_EQ(view.elevationColour, 255u);
    EXPECT_EQ(port.written.back(), pointCommandBytes(187, 180));
}

TEST_F(StationTest, SendingOffNeverTouchesThePort) {
    for (const wchar_t* reply : {kWorkedExample, L"garbage"}) {
        for (const std::string& effect : tickWith(reply)) {
            EXPECT_EQ(effect.find("port"), std::string::npos) << effect;
        }
    }
    EXPECT_TRUE(port.written.empty());
}

TEST_F(StationTest, RecordBrokenAtTheDownlinkKeepsEarlierValuesAndSendsNothing) {
    view.ticked = true;
    view.texts[Field::txt_down] = L"old down";
    view.texts[Field::txt_iazi] = L"old mirror";
    const Journal effects = tickWith(L"aaNEW aa10 aa-1 aa");
    EXPECT_EQ(effects, (Journal{"topmost", "request", "Label1=aaNEW aa10 aa-1 aa", "txt_nombre=NEW",
                                "txt_azi=10", "txt_ele=-1", "colour txt_ele=" + kRed,
                                "Label1=Un error ha ocurrido...", "bold", "title failed"}));
    EXPECT_EQ(view.fieldText(Field::txt_down), L"old down");
    EXPECT_EQ(view.fieldText(Field::txt_iazi), L"old mirror");
}

TEST_F(StationTest, ElevationOutOfRangeEndsTheTickAfterShowingIt) {
    const Journal effects = tickWith(L"aaS aa1 aa1E400 aa3 aa4zz");
    EXPECT_EQ(view.fieldText(Field::txt_ele), L"1E400");
    EXPECT_EQ(view.fieldText(Field::txt_down), L"");
    EXPECT_EQ(view.fieldText(Field::Label1), kErrorMessage);
    EXPECT_EQ(effects.back(), "title failed");
}

TEST_F(StationTest, BoldFlipsOnEveryFailingTick) {
    tick();  // no answer
    EXPECT_TRUE(view.bold);
    tick();
    EXPECT_FALSE(view.bold);  // two failures: back to the weight before them
    tick();
    EXPECT_TRUE(view.bold);
    EXPECT_EQ(view.fieldText(Field::Label1), kErrorMessage);
    EXPECT_TRUE(view.failureShown);

    tickWith(kWorkedExample);  // a good answer wipes the message out
    EXPECT_EQ(view.fieldText(Field::Label1), kWorkedExample);
    EXPECT_FALSE(view.failureShown);
    EXPECT_TRUE(view.bold);
}

TEST_F(StationTest, PortFailuresShowWhileTheDisplaysKeepUpdating) {
    view.ticked = true;
    port.openFails = true;
    Journal effects = tickWith(kWorkedExample);
    EXPECT_EQ(view.fieldText(Field::txt_iele), L" 134.4");
    EXPECT_EQ(view.fieldText(Field::Label1), kErrorMessage);
    EXPECT_EQ(std::count(effects.begin(), effects.end(), "close port"), 0);

    port.openFails = false;
    port.writeFails = true;
    effects = tickWith(kWorkedExample);
    EXPECT_FALSE(port.isOpen);  // closed again, so the next command can open it
    EXPECT_EQ(effects.back(), "title failed");
    EXPECT_FALSE(view.bold);

    port.writeFails = false;
    tickWith(kWorkedExample);
    EXPECT_EQ(port.written, (std::vector<std::string>{pointCommandBytes(123, 45)}));
    EXPECT_FALSE(view.failureShown);
}

TEST_F(StationTest, StopWritesTheStopCommandThenUnticks) {
    for (bool ticked : {true, false}) {
        view.ticked = ticked;
        journal.clear();
        station.stopRotor();
        EXPECT_EQ(journal, (Journal{"open port", "write S\r", "close port", "untick"}));
    }
    EXPECT_EQ(tickWith(kWorkedExample).size(), 12u);  // nothing for the port
}

TEST_F(StationTest, StopThatCannotWriteReportsAndStaysTicked) {
    view.ticked = true;
    port.writeFails = true;
    station.stopRotor();
    EXPECT_TRUE(view.ticked);
    EXPECT_FALSE(port.isOpen);
    EXPECT_EQ(view.fieldText(Field::Label1), kErrorMessage);
    EXPECT_TRUE(view.failureShown);
    EXPECT_EQ(view.failureReason, "write");  // the port's own words reach the window
}

TEST_F(StationTest, AnExceptionInATickIsOneMoreFailure) {
    link.duringRequest = [] { throw std::bad_alloc(); };
    tick();
    EXPECT_EQ(view.fieldText(Field::Label1), kErrorMessage);
    EXPECT_EQ(view.failureReason, "out of memory");
    link.duringRequest = nullptr;
    tickWith(kWorkedExample);  // the next tick runs: nothing was left half done
    EXPECT_EQ(view.fieldText(Field::txt_iele), L" 134.4");
    EXPECT_FALSE(view.failureShown);
}

TEST_F(StationTest, EachStopDuringATickRunsRightAfterIt) {
    view.ticked = true;
    link.duringRequest = [this] {
        station.stopRotor();
        station.runTrackingTick();  // a timer message delivered meanwhile is dropped
        station.stopRotor();        // pressed again: a second stop command, not merged
    };
    const Journal effects = tickWith(kWorkedExample);
    EXPECT_EQ(std::count(effects.begin(), effects.end(), "request"), 1);
    ASSERT_GE(effects.size(), 9u);
    EXPECT_EQ(Journal(effects.end() - 9, effects.end()),
              (Journal{"title ok", "open port", "write S\r", "close port", "untick", "open port",
                       "write S\r", "close port", "untick"}));
    EXPECT_EQ(port.written, (std::vector<std::string>{pointCommandBytes(123, 45), "S\r", "S\r"}));

    link.duringRequest = nullptr;
    EXPECT_EQ(tickWith(kWorkedExample).size(), 12u);  // the stop holds: nothing sent
}

}  // namespace
}  // namespace vorkel
