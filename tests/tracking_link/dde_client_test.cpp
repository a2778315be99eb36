// The DDE tracking link against the simulated tracking program, in another process.
#include "links/dde_client.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "tests/instruments/heap_use.h"
#include "tests/tracking_link/raw_dde_server.h"
#include "tests/tracking_link/recording_client.h"
#include "tests/tracking_link/simulator_process.h"

namespace vorkel::testing {
namespace {

constexpr double kTimeoutMs = DdeClient::kAnswerTimeoutMs;
// Wine needs a little while to give up on a wait and go back to the caller.
constexpr double kTimeoutSlackMs = 150;

double nowMs() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

class LinkTest : public ::testing::Test {
  protected:
    // Starts the tracking program and opens the conversation with it.
    void startAndOpen(const std::wstring& arguments) {
        simulator_ = std::make_unique<SimulatorProcess>(arguments);
        ASSERT_TRUE(simulator_->started()) << simulator_->problem();
        configure();
        const Status opened = link_.openManual();
        ASSERT_TRUE(opened.ok()) << opened.text();
    }
    void configure() {
        ASSERT_TRUE(link_.setTopic(L"Orbitron|Tracking").ok());
        ASSERT_TRUE(link_.setItem(L"TrackingData").ok());
    }
    // One tick's request, after the message handling that comes between ticks.
    Status tick() {
        pumpMessages(10);
        return link_.request();
    }
    Status timedTick(double& elapsedMs) {
        pumpMessages(10);
        const double before = nowMs();
        Status status = link_.request();
        elapsedMs = nowMs() - before;
        return status;
    }

    RecordingClient link_;
    std::unique_ptr<SimulatorProcess> simulator_;
};

// --- Settings --------------------------------------------------------------------------------

TEST_F(LinkTest, TopicMustNameApplicationAndTopic) {
    for (const wchar_t* bad :
         {L"", L"Orbitron", L"|Tracking", L"Orbitron|", L"|", L"Orbitron|Tracking|More"}) {
        EXPECT_FALSE(link_.setTopic(bad).ok()) << "topic accepted: " << bad;
    }
    EXPECT_FALSE(link_.setTopic(std::wstring(L"Orb\0tron|Tracking", 17)).ok());
    EXPECT_FALSE(link_.setTopic(std::wstring(256, L'A') + L"|Tracking").ok());
    EXPECT_TRUE(link_.setTopic(std::wstring(255, L'A') + L"|Tracking").ok());
    // In the one form of failure reasons: what was being done, to what, and why.
    EXPECT_EQ(link_.setTopic(L"Orbitron").text(),
              "setting the DDE topic \"Orbitron\": not of the form application|topic");
    EXPECT_EQ(link_.setTopic(L"|Tracking").text(),
              "setting the DDE topic \"|Tracking\": application or topic empty or unusable as a "
              "DDE name");
    EXPECT_EQ(link_.setItem(L"").text(),
              "setting the DDE item \"\": empty or unusable as a DDE name");
    EXPECT_TRUE(link_.setTopic(L"Orbitron|Tracking").ok());
    EXPECT_TRUE(link_.setItem(L"TrackingData").ok());
}

TEST_F(LinkTest, OpeningNeedsTopicAndItem) {
    EXPECT_EQ(link_.openManual().text(), "connecting over DDE: no topic or item set");
    EXPECT_FALSE(link_.request().ok());
}

// --- Answers ---------------------------------------------------------------------------------

TEST_F(LinkTest, BringsTheServedRecordExactly) {
    startAndOpen(LR"(--record "SNAO-7 AZ123.4 EL45.6 DN145950000 UP435100000\r\n")");
    for (int i = 0; i < 3; ++i) {
        const Status status = tick();
        ASSERT_TRUE(status.ok()) << status.text() << "\n" << simulator_->log();
    }
    ASSERT_EQ(link_.records.size(), 3u);
    for (const std::wstring& text : link_.records) {
        EXPECT_EQ(text, L"SNAO-7 AZ123.4 EL45.6 DN145950000 UP435100000\r\n");
    }
    EXPECT_EQ(simulator_->requestsLogged(), 3);
}

TEST_F(LinkTest, ReadsTheAnsiCodePage) {
    // The euro sign tells code page 1252 from bytes taken as Latin-1.
    const std::wstring name = L"\u00D1and\u00FA\u20AC";
    BOOL lossy = FALSE;
    char ansi[16];
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy);
    ASSERT_FALSE(lossy) << "code page " << GetACP()
                        << " has no \u00D1, \u00FA or \u20AC: run the tests in a Western one";
    startAndOpen(L"--record \"SN" + name + L" AZ1.0 EL2.0 DN145950000 UP435100000\\r\\n\"");
    const Status status = tick();
    ASSERT_TRUE(status.ok()) << status.text();
    EXPECT_EQ(link_.last(), L"SN" + name + L" AZ1.0 EL2.0 DN145950000 UP435100000\r\n");
}

TEST_F(LinkTest, FollowsAChangingRecord) {
    startAndOpen(L"--pass AO-7 --speed 20");
    ASSERT_TRUE(tick().ok());
    const std::wstring first = link_.last();
    ASSERT_TRUE(tick().ok());
    EXPECT_EQ(first.rfind(L"SNAO-7 AZ", 0), 0u) << "record: " << first.c_str();
    EXPECT_NE(link_.last(), first);
}

TEST_F(LinkTest, CutsTheRecordAtItsFirstNul) {
    startAndOpen(LR"(--raw --record "SNAO-7 AZ1.0\r\n\x00EL\x00garbage")");
    ASSERT_TRUE(tick().ok());
    EXPECT_EQ(link_.last(), L"SNAO-7 AZ1.0\r\n");
}

TEST_F(LinkTest, PassesControlCharactersOn) {
    startAndOpen(LR"(--record "SN\x01\x1B[2J\tAZ\x7F\r\n")");
    ASSERT_TRUE(tick().ok());
    EXPECT_EQ(link_.last(), L"SN\x01\x1B[2J\tAZ\x7F\r\n");
}

TEST_F(LinkTest, TakesAnEmptyRecord) {
    startAndOpen(LR"(--record "")");
    ASSERT_TRUE(tick().ok());
    ASSERT_EQ(link_.records.size(), 1u);
    EXPECT_EQ(link_.last(), L"");
}

// --- The tracking program missing, leaving or refusing ---------------------------------------

TEST_F(LinkTest, FailsWithoutTheTrackingProgram) {
    configure();
    const Status opened = link_.openManual();
    EXPECT_FALSE(opened.ok());
    EXPECT_NE(opened.text().find("Orbitron|Tracking"), std::string::npos) << opened.text();
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(tick().ok());
    }
    EXPECT_FALSE(link_.conversationOpen());
    EXPECT_TRUE(link_.records.empty());
}

TEST_F(LinkTest, FailsForAnotherApplicationOrTopic) {
    simulator_ = std::make_unique<SimulatorProcess>(L"--record x");
    ASSERT_TRUE(simulator_->started()) << simulator_->problem();
    ASSERT_TRUE(link_.setItem(L"TrackingData").ok());
    ASSERT_TRUE(link_.setTopic(L"Orbitron|Elsewhere").ok());
    EXPECT_FALSE(link_.openManual().ok());
    ASSERT_TRUE(link_.setTopic(L"Orbitrom|Tracking").ok());
    EXPECT_FALSE(link_.openManual().ok());
    EXPECT_FALSE(link_.request().ok());
}

TEST_F(LinkTest, NoticesTheProgramQuittingAndNeverReconnects) {
    startAndOpen(L"--record x --quit-after 3");
    for (int i = 0; i < 3; ++i) {
        const Status status = tick();
        ASSERT_TRUE(status.ok()) << status.text();
    }
    ASSERT_TRUE(simulator_->exited(5000));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(tick().ok());
    }
    EXPECT_FALSE(link_.conversationOpen());

    // The program is back, but the station keeps to the conversation it had.
    SimulatorProcess again(L"--record y");
    ASSERT_TRUE(again.started()) << again.problem();
    EXPECT_FALSE(link_.openManual().ok());
    EXPECT_FALSE(tick().ok());
    EXPECT_EQ(again.log().find("connect"), std::string::npos) << again.log();
    EXPECT_EQ(link_.last(), L"x");
}

TEST_F(LinkTest, NoticesTheProgramDyingWithoutGoodbye) {
    startAndOpen(L"--record x");
    ASSERT_TRUE(tick().ok());
    simulator_->kill();
    double elapsed = 0;
    EXPECT_FALSE(timedTick(elapsed).ok());
    EXPECT_LT(elapsed, kTimeoutMs + kTimeoutSlackMs);
    EXPECT_FALSE(link_.conversationOpen());
    EXPECT_FALSE(tick().ok());
}

TEST_F(LinkTest, RefusedItemFailsAndTheConversationStays) {
    startAndOpen(L"--record x");
    ASSERT_TRUE(link_.setItem(L"SomethingElse").ok());
    const Status refused = tick();
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(link_.conversationOpen());
    ASSERT_TRUE(link_.setItem(L"TrackingData").ok());
    const Status status = tick();
    EXPECT_TRUE(status.ok()) << status.text();
    EXPECT_EQ(link_.records.size(), 1u);
}

TEST_F(LinkTest, RefusalByTheProgramFails) {
    startAndOpen(L"--refuse");
    for (int i = 0; i < 3; ++i) {
        const Status status = tick();
        EXPECT_FALSE(status.ok());
        EXPECT_NE(status.text().find("refused"), std::string::npos) << status.text();
    }
    EXPECT_TRUE(link_.conversationOpen());
    EXPECT_TRUE(link_.records.empty());
}

// --- Slow and silent programs ----------------------------------------------------------------

TEST_F(LinkTest, GivesUpOnASlowAnswerInTime) {
    startAndOpen(L"--record x --delay 1500");
    double elapsed = 0;
    const Status status = timedTick(elapsed);
    EXPECT_FALSE(status.ok());
    EXPECT_GE(elapsed, kTimeoutMs - 20);
    EXPECT_LT(elapsed, kTimeoutMs + kTimeoutSlackMs);
    EXPECT_TRUE(link_.conversationOpen());
    EXPECT_TRUE(link_.records.empty());
}

TEST_F(LinkTest, RecoversAfterOneSlowAnswer) {
    startAndOpen(L"--record x --delay 600 --delay-only 2");
    EXPECT_TRUE(tick().ok());
    EXPECT_FALSE(tick().ok());
    pumpMessages(700);  // the late answer arrives between ticks
    for (int i = 0; i < 3; ++i) {
        const Status status = tick();
        EXPECT_TRUE(status.ok()) << status.text();
    }
}

TEST_F(LinkTest, BoundsEveryTickWhenTheProgramHangs) {
    startAndOpen(L"--record x --hang-after 1");
    ASSERT_TRUE(tick().ok());
    for (int i = 0; i < 3; ++i) {
        double elapsed = 0;
        EXPECT_FALSE(timedTick(elapsed).ok());
        EXPECT_LT(elapsed, kTimeoutMs + kTimeoutSlackMs);
    }
    EXPECT_TRUE(link_.conversationOpen());
    EXPECT_EQ(link_.records.size(), 1u);
}

// --- Records that are no records -------------------------------------------------------------

TEST_F(LinkTest, SurvivesRandomBytes) {
    startAndOpen(L"--raw --random 300");
    int answered = 0;
    for (int i = 0; i < 100; ++i) {
        const Status status = tick();
        if (status.ok()) {
            ++answered;
            EXPECT_EQ(link_.last().find(L'\0'), std::wstring::npos);
            EXPECT_LE(link_.last().size(), 300u);
        } else {
            // Bytes that are no text in the code page are the only reason to refuse an answer.
            EXPECT_NE(status.text().find("not text in the ANSI code page"), std::string::npos)
                << status.text();
        }
    }
    EXPECT_GT(answered, 0);  // most random bytes are text in a single-byte code page
    EXPECT_EQ(link_.records.size(), std::size_t(answered));
    EXPECT_TRUE(link_.conversationOpen());
}

// --- Re-entrancy -----------------------------------------------------------------------------

// While a request waits it handles the thread's other messages; here a timer's tick asks for
// another request, as the station's tick would without a guard. No message is handled between
// setting the timer and the request's wait, so the tick comes while the request waits.
struct Nested {
    RecordingClient* link = nullptr;
    std::string result;
};
Nested* nestedNow = nullptr;

void CALLBACK askAgain(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    const Status status = nestedNow->link->request();
    nestedNow->result = status.ok() ? "succeeded" : status.text();
}

TEST_F(LinkTest, RefusesARequestFromInsideARequest) {
    startAndOpen(L"--record x --delay 200");
    Nested nested{&link_, {}};
    nestedNow = &nested;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, askAgain);
    ASSERT_NE(timer, 0u);
    const Status outer = link_.request();
    KillTimer(nullptr, timer);
    nestedNow = nullptr;
    EXPECT_TRUE(outer.ok()) << outer.text();
    EXPECT_NE(nested.result.find("under way"), std::string::npos)
        << "the request from inside: " << (nested.result.empty() ? "never made" : nested.result);
    EXPECT_EQ(link_.records.size(), 1u);
}

TEST_F(LinkTest, NeedsNoMessageLoopBetweenRequests) {
    // Wine's DDEML servers follow each answer with a positive acknowledgement of their own;
    // taken for the next answer, it would fail every other request, and asked at once, right
    // after an answer, is when it is still on its way.
    startAndOpen(L"--record x");
    for (int i = 0; i < 6; ++i) {
        Sleep(i % 2 == 0 ? 20 : 0);
        const Status status = link_.request();
        EXPECT_TRUE(status.ok()) << "request " << i << ": " << status.text();
    }
}

// --- A long run ------------------------------------------------------------------------------

// Wine reports no handle or GUI object counts and no private bytes (all 0), so the heaps are
// measured from inside: every heap of the process, which hold the answers' global memory, the
// packed message parameters and the link's own strings. Windows are counted too.
BOOL CALLBACK countChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}
BOOL CALLBACK countWindow(HWND window, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    EnumChildWindows(window, countChild, count);
    return TRUE;
}
int windowsOfThisThread() {
    int windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

struct Resources {
    long long heapBytes = 0;
    int windows = 0;

    static Resources now() {
        pumpMessages(20);  // whatever is still on its way is handled first
        return {heapInUse().bytes, windowsOfThisThread()};
    }
};

// Runs `step` `count` times after as many warm-up runs and gives the heap's growth per run.
// Less than a byte a run is no growth: a month of ticks would not make a megabyte.
template <typename Step>
double heapGrowthPerRun(int count, Step step, int* windowsChange = nullptr) {
    for (int i = 0; i < count / 10 + 1; ++i) {
        step(i);
    }
    const Resources before = Resources::now();
    for (int i = 0; i < count; ++i) {
        step(i);
    }
    const Resources after = Resources::now();
    if (windowsChange != nullptr) {
        *windowsChange = after.windows - before.windows;
    }
    const double growth = double(after.heapBytes - before.heapBytes) / count;
    std::printf("heap %lld -> %lld bytes: %.2f bytes per run\n", before.heapBytes, after.heapBytes,
                growth);
    return growth;
}

TEST_F(LinkTest, ThousandRequestsLeaveNothingBehind) {
    // Long records, so that keeping even part of each would stand out.
    startAndOpen(L"--record A --repeat 2000");
    int windows = 0;
    const double growth = heapGrowthPerRun(
        1000,
        [this](int i) {
            pumpMessages(1);
            const Status status = link_.request();
            ASSERT_TRUE(status.ok()) << "request " << i << ": " << status.text();
            link_.records.clear();
        },
        &windows);
    EXPECT_LT(growth, 1.0);
    EXPECT_EQ(windows, 0);
}

// The limit itself is the record bytes' (tested natively and fuzzed): here, what an answer past
// it leaves behind in the real exchange. Each answer is 1 MiB: one kept by mistake shows at once.
TEST_F(LinkTest, RefusesRecordsPastTheLimitAndKeepsNothingOfThem) {
    startAndOpen(L"--record A --repeat 1048576");
    const Status first = tick();
    EXPECT_FALSE(first.ok());
    EXPECT_NE(first.text().find("longer"), std::string::npos) << first.text();
    const double growth = heapGrowthPerRun(20, [this](int) { ASSERT_FALSE(tick().ok()); });
    EXPECT_LT(growth, 1.0);
    EXPECT_TRUE(link_.records.empty());
    EXPECT_TRUE(link_.conversationOpen());
}

TEST(LinkLifetime, ManyLinksComeAndGoWithoutLeaks) {
    SimulatorProcess simulator(L"--record x");
    ASSERT_TRUE(simulator.started()) << simulator.problem();
    int windows = 0;
    const double growth = heapGrowthPerRun(
        100,
        [](int) {
            RecordingClient link;
            ASSERT_TRUE(link.setTopic(L"Orbitron|Tracking").ok());
            ASSERT_TRUE(link.setItem(L"TrackingData").ok());
            ASSERT_TRUE(link.openManual().ok());
            pumpMessages(2);
            ASSERT_TRUE(link.request().ok());
        },
        &windows);
    EXPECT_LT(growth, 1.0);
    EXPECT_EQ(windows, 0);
}

// --- The protocol's corners, against a server written in DDE's messages ----------------------

// The references that the global atom of `name` holds, counted by deleting them one by one and
// given back afterwards: only for a name that nothing is using at the moment, since the atom may
// come back under another number.
int atomReferences(const wchar_t* name) {
    int references = 0;
    for (ATOM atom = GlobalFindAtomW(name); atom != 0 && references < 100000;
         atom = GlobalFindAtomW(name)) {
        GlobalDeleteAtom(atom);
        ++references;
    }
    for (int i = 0; i < references; ++i) {
        GlobalAddAtomW(name);
    }
    return references;
}

template <typename Done>
bool pumpMessagesUntil(Done done, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= milliseconds) {
            return false;
        }
        pumpMessages(10);
    }
    return true;
}

class RawServerTest : public ::testing::Test {
  protected:
    void open() {
        ASSERT_TRUE(link_.setTopic(L"Orbitron|Tracking").ok());
        ASSERT_TRUE(link_.setItem(L"TrackingData").ok());
        const Status opened = link_.openManual();
        ASSERT_TRUE(opened.ok()) << opened.text();
    }

    RecordingClient link_;
};

TEST_F(RawServerTest, TakesTheFirstOfTwoServersAndEndsTheOther) {
    RawDdeServer first({});
    RawDdeServer second({});
    ASSERT_TRUE(first.started() && second.started());
    open();
    for (int i = 0; i < 3; ++i) {
        const Status status = link_.request();
        ASSERT_TRUE(status.ok()) << status.text();
    }
    pumpMessages(50);
    EXPECT_EQ(first.initiates + second.initiates, 2);
    // One server has the requests, the other was told goodbye at once.
    RawDdeServer& talking = first.requests > 0 ? first : second;
    RawDdeServer& other = first.requests > 0 ? second : first;
    EXPECT_EQ(talking.requests, 3);
    EXPECT_EQ(talking.terminates, 0);
    EXPECT_EQ(other.requests, 0);
    EXPECT_EQ(other.terminates, 1);
    EXPECT_EQ(link_.last(), L"raw 3");
}

// Another server's acknowledgements, though the link asked that server nothing: what they bring
// is the link's all the same, the packed parameter to free and the item's atom to delete.
TEST_F(RawServerTest, FreesWhatAnotherServersAcknowledgementsBring) {
    RawDdeServer first({});
    RawDdeServer second({});
    ASSERT_TRUE(first.started() && second.started());
    open();
    pumpMessages(50);
    ASSERT_EQ(first.terminates + second.terminates, 1);
    RawDdeServer& other = first.terminates > 0 ? first : second;  // the one told goodbye
    const int itemReferences = atomReferences(L"TrackingData");
    const double growth = heapGrowthPerRun(200, [&](int i) {
        other.sendAcks(1, i % 2 == 0);
        pumpMessages(1);
    });
    EXPECT_LT(growth, 1.0);
    EXPECT_EQ(atomReferences(L"TrackingData"), itemReferences);
    EXPECT_EQ(other.undelivered, 0);
    EXPECT_EQ(link_.answersIgnored(), 0) << "no answer of the partner's";
    const Status status = link_.request();
    ASSERT_TRUE(status.ok()) << status.text();
}

// A server that acknowledges the initiate once the broadcast is over believes that a conversation
// has begun: it is told goodbye, whether another server took the initiate or none did, and the
// atoms its acknowledgement brings are deleted.
TEST_F(RawServerTest, AServerLateToTakeTheInitiateIsToldGoodbye) {
    const int applicationReferences = atomReferences(L"Orbitron");
    const int topicReferences = atomReferences(L"Tracking");
    {
        SCOPED_TRACE("acknowledged later, another server took the initiate");
        RawDdeServer partner({});
        RawDdeServer late({.initiate = RawDdeServer::Initiate::AcknowledgedLater});
        ASSERT_TRUE(partner.started() && late.started());
        RecordingClient link;
        ASSERT_TRUE(link.setTopic(L"Orbitron|Tracking").ok());
        ASSERT_TRUE(link.setItem(L"TrackingData").ok());
        ASSERT_TRUE(link.openManual().ok());
        EXPECT_TRUE(pumpMessagesUntil([&] { return late.terminates > 0; }, 1000));
        const Status status = link.request();
        ASSERT_TRUE(status.ok()) << status.text();
        pumpMessages(50);
        EXPECT_EQ(late.terminates, 1);
        EXPECT_EQ(late.requests, 0);
        EXPECT_EQ(partner.terminates, 0);
        EXPECT_EQ(partner.requests, 1);
    }
    EXPECT_EQ(atomReferences(L"Orbitron"), applicationReferences);
    EXPECT_EQ(atomReferences(L"Tracking"), topicReferences);
    {
        SCOPED_TRACE("slow to take the initiate, the only server");
        RawDdeServer slow({.initiate = RawDdeServer::Initiate::Slow});
        ASSERT_TRUE(slow.started());
        RecordingClient link;
        ASSERT_TRUE(link.setTopic(L"Orbitron|Tracking").ok());
        ASSERT_TRUE(link.setItem(L"TrackingData").ok());
        // Under Wine the broadcast waits out the server thread's every top-level window, its
        // own and Wine's IME window, 2 s each: the initiate is over after 4 s.
        EXPECT_FALSE(link.openManual().ok());
        slow.endSlowInitiate();
        EXPECT_TRUE(pumpMessagesUntil([&] { return slow.terminates > 0; }, 2000));
        pumpMessages(50);
        EXPECT_EQ(slow.terminates, 1);
        EXPECT_FALSE(link.conversationOpen());
        EXPECT_FALSE(link.request().ok());
        EXPECT_EQ(slow.requests, 0);
    }
    EXPECT_EQ(atomReferences(L"Orbitron"), applicationReferences);
    EXPECT_EQ(atomReferences(L"Tracking"), topicReferences);
}

TEST_F(RawServerTest, NegativeAcknowledgementIsARefusal) {
    RawDdeServer server({.reply = RawDdeServer::Reply::NegativeAck});
    ASSERT_TRUE(server.started());
    open();
    const double growth = heapGrowthPerRun(100, [this](int) {
        const Status status = link_.request();
        EXPECT_FALSE(status.ok());
        EXPECT_NE(status.text().find("refused"), std::string::npos) << status.text();
    });
    EXPECT_LT(growth, 1.0);
    EXPECT_TRUE(link_.conversationOpen());
    EXPECT_TRUE(link_.records.empty());
}

TEST_F(RawServerTest, FreesTheAnswersByTheirFlags) {
    for (const bool release : {true, false}) {
        SCOPED_TRACE(release ? "receiver frees" : "server frees on acknowledgement");
        RecordingClient link;
        RawDdeServer server({.release = release, .ackRequested = !release});
        ASSERT_TRUE(server.started());
        ASSERT_TRUE(link.setTopic(L"Orbitron|Tracking").ok());
        ASSERT_TRUE(link.setItem(L"TrackingData").ok());
        ASSERT_TRUE(link.openManual().ok());
        const double growth = heapGrowthPerRun(300, [&](int) {
            const Status status = link.request();
            ASSERT_TRUE(status.ok()) << status.text();
            link.records.clear();
        });
        EXPECT_LT(growth, 1.0);
        pumpMessages(20);
        EXPECT_EQ(server.acks, release ? 0 : server.requests.load());
    }
}

TEST_F(RawServerTest, IgnoresDataNobodyAskedFor) {
    RawDdeServer server({.release = true, .ackRequested = true});
    ASSERT_TRUE(server.started());
    open();
    ASSERT_TRUE(link_.request().ok());
    const double growth = heapGrowthPerRun(200, [&](int) {
        server.sendUnasked(1);
        pumpMessages(1);
    });
    EXPECT_LT(growth, 1.0);
    EXPECT_EQ(link_.records.size(), 1u);
    EXPECT_GE(link_.answersIgnored(), 200 + 21);
    // Acknowledged, as asked, and the conversation goes on.
    EXPECT_EQ(server.acks, 1 + 200 + 21);
    const Status status = link_.request();
    ASSERT_TRUE(status.ok()) << status.text();
    EXPECT_EQ(link_.last(), L"raw 2");
}

TEST_F(RawServerTest, ALateAnswerIsNeverTakenForTheNextOne) {
    RawDdeServer server({.firstAnswerDelayMs = 500});
    ASSERT_TRUE(server.started());
    open();
    const Status late = link_.request();
    EXPECT_FALSE(late.ok());
    EXPECT_NE(late.text().find("no answer in time"), std::string::npos) << late.text();
    // Asked again at once: the late answer to the first request comes in while this one
    // waits, and only the second answer may reach Label1.
    const Status next = link_.request();
    ASSERT_TRUE(next.ok()) << next.text();
    EXPECT_EQ(link_.last(), L"raw 2");
    EXPECT_EQ(link_.answersIgnored(), 1);
}

TEST_F(RawServerTest, ServerWindowVanishingEndsTheConversationForGood) {
    std::optional<RawDdeServer> server(std::in_place, RawDdeServer::Behaviour{});
    ASSERT_TRUE(server->started());
    open();
    ASSERT_TRUE(link_.request().ok());
    server.reset();  // its window goes without a goodbye, as when a program is killed
    server.emplace(RawDdeServer::Behaviour{});
    double elapsed = nowMs();
    const Status status = link_.request();
    elapsed = nowMs() - elapsed;
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.text().find("gone"), std::string::npos) << status.text();
    EXPECT_LT(elapsed, kTimeoutMs);
    EXPECT_FALSE(link_.conversationOpen());
    EXPECT_FALSE(link_.openManual().ok());
    EXPECT_FALSE(link_.request().ok());
    EXPECT_EQ(server->initiates, 0);  // never made again, with the program back
    EXPECT_EQ(server->requests, 0);
}

TEST(RawServerClosing, ClosingWhileARequestIsOutstandingSaysGoodbye) {
    RawDdeServer server({.reply = RawDdeServer::Reply::Silence});
    ASSERT_TRUE(server.started());
    std::optional<RecordingClient> link(std::in_place);
    ASSERT_TRUE(link->setTopic(L"Orbitron|Tracking").ok());
    ASSERT_TRUE(link->setItem(L"TrackingData").ok());
    ASSERT_TRUE(link->openManual().ok());
    EXPECT_FALSE(link->request().ok());  // still unanswered when the link goes
    const double start = nowMs();
    link.reset();
    EXPECT_LT(nowMs() - start, kTimeoutMs + kTimeoutSlackMs);
    pumpMessages(50);
    EXPECT_EQ(server.requests, 1);
    EXPECT_EQ(server.terminates, 1);
}

// Once the link has said goodbye it posts nothing more to its partner: an answer that crosses the
// goodbye is freed by its flags and its item's atom deleted, but not acknowledged, though it asks
// to be.
TEST(RawServerClosing, AnAnswerCrossingTheGoodbyeIsNotAcknowledged) {
    RawDdeServer server(
        {.reply = RawDdeServer::Reply::AtGoodbye, .release = true, .ackRequested = true});
    ASSERT_TRUE(server.started());
    const int itemReferences = atomReferences(L"TrackingData");
    std::optional<RecordingClient> link(std::in_place);
    ASSERT_TRUE(link->setTopic(L"Orbitron|Tracking").ok());
    ASSERT_TRUE(link->setItem(L"TrackingData").ok());
    ASSERT_TRUE(link->openManual().ok());
    EXPECT_FALSE(link->request().ok());  // answered only at the goodbye
    link.reset();
    pumpMessages(50);
    EXPECT_EQ(server.terminates, 1);
    EXPECT_EQ(server.undelivered, 0) << "the answer came while the link waited for the goodbye";
    EXPECT_EQ(server.acks, 0);
    EXPECT_EQ(atomReferences(L"TrackingData"), itemReferences);
}

}  // namespace
}  // namespace vorkel::testing
