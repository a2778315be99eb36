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
        station.enter(Entry::Tick);
        return journal;
    }

    Journal journal;
    FakeView view{journal};
    FakeLink link{journal};
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
    EXPECT_EQ(tickWith(kWorkedExample),
              (Journal{"topmost", "request", "Label1=aaSAT aa123.4 aa45.6 aa145.95 aa435.1zz",
                       "txt_nombre=SAT", "txt_azi=123.4", "txt_ele=45.6", "colour txt_ele=0",
                       "txt_down=145.95", "txt_up=435.1", "txt_iazi= 303.4", "txt_iele= 134.4",
                       "open port", "write " + pointCommandBytes(123, 45), "title ok"}));
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

TEST_F(StationTest, StopWritesTheStopCommandThenReleasesThePortAndUnticks) {
    // Pressed with sending off, the port is opened for the stop command alone, and closed only
    // once the command has left the driver.
    station.enter(Entry::Stop);
    EXPECT_EQ(journal, (Journal{"open port", "write S\r", "drain port", "close port", "untick"}));

    // Pressed while sending holds the port: through the held port, then released.
    view.ticked = true;
    tickWith(kWorkedExample);
    journal.clear();
    station.enter(Entry::Stop);
    EXPECT_EQ(journal, (Journal{"write S\r", "drain port", "close port", "untick"}));
    EXPECT_FALSE(port.isOpen());
    for (const std::string& effect : tickWith(kWorkedExample)) {
        EXPECT_EQ(effect.find("port"), std::string::npos) << effect;
    }
}

TEST_F(StationTest, StopThatCannotWriteOrDrainReportsAndStaysTicked) {
    for (bool drainOnly : {false, true}) {
        view.ticked = true;
        port.writeFails = !drainOnly;
        port.drainFails = drainOnly;  // written, but still queued when the write's time was up
        station.enter(Entry::Stop);
        EXPECT_TRUE(view.ticked);
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(view.fieldText(Field::Label1), kErrorMessage);
        EXPECT_TRUE(view.failureShown);
        // The port's own words reach the window.
        EXPECT_EQ(view.failureReason, drainOnly ? "drain" : "write");
    }
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

TEST_F(StationTest, AFailureDisplayThatThrowsLeavesTheStationRunning) {
    view.ticked = true;
    view.failureDisplayThrows = 1;
    link.duringRequest = [this] { station.enter(Entry::Stop); };  // queued behind the tick
    tick();  // no answer: its failure display throws
    EXPECT_EQ(port.written, (std::vector<std::string>{"S\r"}));  // the queued Stop still ran

    view.ticked = true;
    link.duringRequest = nullptr;
    tickWith(kWorkedExample);  // the next tick is not dropped
    EXPECT_EQ(port.written.back(), pointCommandBytes(123, 45));

    view.failureDisplayThrows = 1;
    port.writeFails = true;
    station.enter(Entry::Stop);  // a Stop whose failure display throws
    port.writeFails = false;
    station.enter(Entry::Stop);
    EXPECT_EQ(port.written.back(), "S\r");
    EXPECT_FALSE(view.ticked);
}

TEST_F(StationTest, EachStopDuringATickRunsRightAfterIt) {
    view.ticked = true;
    link.duringRequest = [this] {
        station.enter(Entry::Stop);
        station.enter(Entry::Tick);  // a timer message delivered meanwhile is dropped
        station.enter(Entry::Stop);  // pressed again: a second stop command, not merged
    };
    const Journal effects = tickWith(kWorkedExample);
    EXPECT_EQ(std::count(effects.begin(), effects.end(), "request"), 1);
    ASSERT_GE(effects.size(), 10u);
    EXPECT_EQ(Journal(effects.end() - 10, effects.end()),
              (Journal{"title ok", "write S\r", "drain port", "close port", "untick", "open port",
                       "write S\r", "drain port", "close port", "untick"}));
    EXPECT_EQ(port.written, (std::vector<std::string>{pointCommandBytes(123, 45), "S\r", "S\r"}));

    link.duringRequest = nullptr;
    for (const std::string& effect : tickWith(kWorkedExample)) {  // the stop holds
        EXPECT_EQ(effect.find("port"), std::string::npos) << effect;
    }
}

// A close that comes while a tick waits waits too: the tick ends, the Stop pressed meanwhile
// goes out, and only then does the station end and let its window go.
TEST_F(StationTest, ACloseDuringATickRunsLastAndEndsTheStation) {
    view.ticked = true;
    link.duringRequest = [this] {
        station.enter(Entry::Close);
        station.enter(Entry::Stop);
    };
    const Journal effects = tickWith(kWorkedExample);
    ASSERT_GE(effects.size(), 5u);
    EXPECT_EQ(Journal(effects.end() - 5, effects.end()),
              (Journal{"write S\r", "drain port", "close port", "untick", "close window"}));
    EXPECT_EQ(std::count(effects.begin(), effects.end(), "close window"), 1);

    link.duringRequest = nullptr;
    link.replies.push_back(kWorkedExample);
    journal.clear();
    station.enter(Entry::Tick);  // the window has not gone yet: its last ticks do nothing
    station.enter(Entry::Stop);
    EXPECT_EQ(journal, Journal{});
    station.enter(Entry::Close);
    EXPECT_EQ(journal, (Journal{"close window"}));
}

// The port is held from the first command after sending is switched on until sending goes off,
// so that a controller which resets on every open is reset once, not every second.
TEST_F(StationTest, ThePortIsOpenedOnceAndHeldWhileSendingIsOn) {
    view.ticked = true;
    Journal effects;
    for (int k = 0; k < 5; ++k) {
        const Journal one = tickWith(kWorkedExample);
        effects.insert(effects.end(), one.begin(), one.end());
    }
    EXPECT_EQ(std::count(effects.begin(), effects.end(), "open port"), 1);
    EXPECT_EQ(std::count(effects.begin(), effects.end(), "close port"), 0);
    EXPECT_EQ(port.written.size(), 5u);
    EXPECT_TRUE(port.isOpen());
}

TEST_F(StationTest, UntickingReleasesThePortAtOnceOrAtTheNextTick) {
    view.ticked = true;
    tickWith(kWorkedExample);
    view.ticked = false;
    journal.clear();
    station.enter(Entry::SendSwitched);
    EXPECT_EQ(journal, (Journal{"drain port", "close port"}));
    EXPECT_FALSE(port.isOpen());
    station.enter(Entry::SendSwitched);  // already free: nothing more
    EXPECT_EQ(journal, (Journal{"drain port", "close port"}));

    // Unticked while a tick waits for the tracking program: that tick sends nothing and
    // releases the port, even when its record then fails to cut.
    view.ticked = true;
    tickWith(kWorkedExample);
    ASSERT_TRUE(port.isOpen());
    link.duringRequest = [this] {
        view.ticked = false;
        station.enter(Entry::SendSwitched);
    };
    const Journal effects = tickWith(L"garbage");
    EXPECT_EQ(std::count(effects.begin(), effects.end(), "close port"), 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.written.size(), 2u);
}

// Every way the port fails: the failure shows while the displays keep following the record,
// the port is left closed, and the next tick opens it afresh and clears the failure.
TEST_F(StationTest, EveryPortFailureShowsClosesThePortAndTheNextTickOpensItAfresh) {
    struct Case {
        const char* name;
        bool held;  // open from the tick before
        bool openFails;
        bool writeFails;
        int closes;
    };
    for (const Case c : {Case{"open refused", false, true, false, 0},
                         Case{"write fails on a fresh port", false, false, true, 1},
                         Case{"write fails on the held port", true, false, true, 1}}) {
        SCOPED_TRACE(c.name);
        view.ticked = true;
        view.texts[Field::txt_iele].clear();
        if (c.held) {
            tickWith(kWorkedExample);
            ASSERT_TRUE(port.isOpen());
        }
        port.openFails = c.openFails;
        port.writeFails = c.writeFails;
        Journal effects = tickWith(kWorkedExample);
        EXPECT_EQ(view.fieldText(Field::txt_iele), L" 134.4");
        EXPECT_EQ(view.fieldText(Field::Label1), kErrorMessage);
        EXPECT_TRUE(view.failureShown);
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(std::count(effects.begin(), effects.end(), "close port"), c.closes);

        port.openFails = port.writeFails = false;
        port.written.clear();
        effects = tickWith(kWorkedExample);
        EXPECT_EQ(std::count(effects.begin(), effects.end(), "open port"), 1);
        EXPECT_EQ(port.written, (std::vector<std::string>{pointCommandBytes(123, 45)}));
        EXPECT_FALSE(view.failureShown);
        view.ticked = false;
        station.enter(Entry::SendSwitched);  // the next case starts with the port closed
    }
}

TEST_F(StationTest, TheEndOfTheStationReleasesThePortAndSendsNothingMore) {
    view.ticked = true;
    tickWith(kWorkedExample);
    journal.clear();
    station.enter(Entry::SessionEnd);
    EXPECT_EQ(journal, (Journal{"drain port", "close port"}));
    link.replies.push_back(kWorkedExample);
    station.enter(Entry::Tick);
    station.enter(Entry::Stop);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.written.size(), 1u);
}

// The system's session may end while a tick waits for the tracking program: the rest of that
// tick, and the Stop pressed meanwhile, must not open the port again.
TEST_F(StationTest, TheSessionEndingDuringAWaitLeavesThePortClosed) {
    for (bool held : {true, false}) {
        Journal journalAll;
        FakeView v{journalAll};
        FakeLink t{journalAll};
        FakePort p{journalAll};
        FakeTimer tm{journalAll};
        Station s{v, t, p, tm};
        v.ticked = true;
        if (held) {
            t.replies.push_back(kWorkedExample);
            s.enter(Entry::Tick);
        }
        t.duringRequest = [&] {
            s.enter(Entry::Stop);
            s.enter(Entry::SessionEnd);
        };
        t.replies.push_back(kWorkedExample);
        journalAll.clear();
        s.enter(Entry::Tick);
        const auto ended = std::find(journalAll.begin(), journalAll.end(), "request");
        for (auto effect = ended; effect != journalAll.end(); ++effect) {
            EXPECT_TRUE(effect->find("open port") == std::string::npos &&
                        effect->find("write") == std::string::npos)
                << *effect << (held ? " (port held)" : " (port not yet open)");
        }
        EXPECT_FALSE(p.isOpen());
    }
}

}  // namespace
}  // namespace vorkel
