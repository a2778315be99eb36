// The DDE conversation's decisions, without Windows: every state change, what each message of
// the partner makes the link do in each state, and which answer belongs to which request.
#include "core/dde_conversation.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace vorkel {
namespace {

using State = DdeConversation::State;
using Event = DdeConversation::Event;
using Ticks = DdeConversation::Ticks;

constexpr std::array kStates = {State::NotConnected, State::Connecting, State::Ready,
                                State::Waiting,      State::Answered,   State::Closing,
                                State::Ended};
constexpr std::array kEvents = {Event::InitiateSent, Event::Connected,    Event::NoServer,
                                Event::RequestSent,  Event::AnswerIn,     Event::RequestDone,
                                Event::GoodbyeSent,  Event::PartnerEnded, Event::PartnerGone};

// --- Every state change ----------------------------------------------------------------------

TEST(DdeConversation, EveryStateAndEventLeadsWhereItShould) {
    constexpr State NC = State::NotConnected, Cg = State::Connecting, Rd = State::Ready,
                    Wt = State::Waiting, An = State::Answered, Cl = State::Closing,
                    En = State::Ended;
    // One row a state, one column an event, in the order of kStates and kEvents:
    //   InitiateSent Connected NoServer RequestSent AnswerIn RequestDone GoodbyeSent
    //   PartnerEnded PartnerGone
    constexpr State kNext[kStates.size()][kEvents.size()] = {
        {Cg, NC, NC, NC, NC, NC, NC, NC, NC},  // NotConnected: only connecting moves it
        {Cg, Rd, NC, Cg, Cg, Cg, Cg, En, En},  // Connecting
        {Rd, Rd, Rd, Wt, Rd, Rd, Cl, En, En},  // Ready
        {Wt, Wt, Wt, Wt, An, Rd, Cl, En, En},  // Waiting: a second request does not stack
        {An, An, An, An, An, Rd, Cl, En, En},  // Answered: a second answer changes nothing
        {Cl, Cl, Cl, Cl, Cl, Cl, Cl, En, En},  // Closing: only the partner's end moves it
        {En, En, En, En, En, En, En, En, En},  // Ended: for good
    };
    for (std::size_t s = 0; s < kStates.size(); ++s) {
        for (std::size_t e = 0; e < kEvents.size(); ++e) {
            EXPECT_EQ(DdeConversation::next(kStates[s], kEvents[e]), kNext[s][e])
                << "state " << s << ", event " << e;
        }
    }
}

// --- What each message does in each state ----------------------------------------------------

const DdeConversation::DataFlags kAnswerFlags{.response = true, .release = true};

// A conversation brought into `state` the way the link brings it there.
DdeConversation conversationIn(State state) {
    DdeConversation c;
    if (state == State::NotConnected) {
        return c;
    }
    c.initiateSent();
    if (state == State::Connecting) {
        return c;
    }
    c.initiateOver(true, 0);
    if (state == State::Waiting || state == State::Answered) {
        c.requestSent(10);
    }
    if (state == State::Answered && c.dataIn(true, kAnswerFlags, false, 20).take) {
        c.answered({});
    }
    if (state == State::Closing) {
        c.goodbyeSent();
    }
    if (state == State::Ended) {
        (void)c.terminateIn(true);
    }
    EXPECT_EQ(c.state(), state);
    return c;
}

struct InState {
    const char* name;
    State state;
    bool open;
    std::optional<std::string_view> whyCannotAsk;
    bool answerTaken;  // the partner's data in answer to a request
    DdeConversation::Ack refusal;
    bool goodbyeAnswered;  // the partner's goodbye is answered in kind
    State afterGoodbye;
    bool dataAcknowledged;  // the partner's data that asks for an acknowledgement gets one
    DdeConversation::ServerAnswer initiateAck;  // a server's, not the partner's
};

class MessagesInState : public ::testing::TestWithParam<InState> {};

TEST_P(MessagesInState, DoWhatTheStateAllows) {
    const InState& want = GetParam();
    EXPECT_EQ(conversationIn(want.state).open(), want.open);
    {
        DdeConversation c = conversationIn(want.state);
        EXPECT_EQ(c.whyCannotAsk(false), want.whyCannotAsk);
        EXPECT_EQ(c.state(), want.state) << "asking changes nothing";
    }
    {
        DdeConversation c = conversationIn(want.state);
        const int ignored = c.answersIgnored();
        EXPECT_EQ(c.dataIn(true, kAnswerFlags, false, 30).take, want.answerTaken);
        EXPECT_EQ(c.answersIgnored(), ignored + (want.answerTaken ? 0 : 1));
    }
    {
        DdeConversation c = conversationIn(want.state);
        EXPECT_EQ(c.ackIn(true, false, 30), want.refusal);
        if (want.refusal == DdeConversation::Ack::Refusal) {
            EXPECT_EQ(c.state(), State::Answered);
            ASSERT_TRUE(c.reply());
            EXPECT_TRUE(c.reply()->refused);
            EXPECT_EQ(c.whyNoRecord(false), "refused by the tracking program");
        }
    }
    {
        DdeConversation c = conversationIn(want.state);
        EXPECT_EQ(c.terminateIn(true), want.goodbyeAnswered);
        EXPECT_EQ(c.state(), want.afterGoodbye);
        EXPECT_FALSE(c.terminateIn(true)) << "a second goodbye is not answered";
    }
    {
        DdeConversation c = conversationIn(want.state);
        EXPECT_FALSE(c.terminateIn(false)) << "another window's goodbye";
        EXPECT_EQ(c.state(), want.state);
    }
    {
        DdeConversation c = conversationIn(want.state);
        DdeConversation::DataFlags flags = kAnswerFlags;
        flags.ackRequested = true;
        EXPECT_EQ(c.dataIn(true, flags, false, 30).acknowledge, want.dataAcknowledged);
    }
    {
        const DdeConversation c = conversationIn(want.state);
        const bool partnerChosen =
            want.state != State::NotConnected && want.state != State::Connecting;
        EXPECT_EQ(c.serverAnswered(partnerChosen, false), want.initiateAck);
        if (partnerChosen) {
            EXPECT_EQ(c.serverAnswered(true, true), DdeConversation::ServerAnswer::Nothing)
                << "the partner is not told goodbye for an acknowledgement";
        }
    }
}

using Ack = DdeConversation::Ack;
using ServerAnswer = DdeConversation::ServerAnswer;
constexpr std::string_view kUnderWay = "another request is under way";
constexpr std::string_view kEnded = "the conversation has ended";
constexpr std::string_view kNotOpen = "no conversation open";

// Only while the initiate is out does a server's acknowledgement make it the partner; after
// that (a server slow to take the initiate) it is told goodbye, even when no other took it.
// Once our goodbye is out, or our answer to the partner's, nothing more is posted to it.
INSTANTIATE_TEST_SUITE_P(
    AllStates, MessagesInState,
    ::testing::Values(InState{"NotConnected", State::NotConnected, false, kNotOpen, false,
                              Ack::Late, false, State::NotConnected, false,
                              ServerAnswer::SayGoodbye},
                      InState{"Connecting", State::Connecting, false, kNotOpen, false, Ack::Late,
                              true, State::Ended, false, ServerAnswer::Take},
                      InState{"Ready", State::Ready, true, std::nullopt, false, Ack::Late, true,
                              State::Ended, true, ServerAnswer::SayGoodbye},
                      InState{"Waiting", State::Waiting, true, kUnderWay, true, Ack::Refusal, true,
                              State::Ended, true, ServerAnswer::SayGoodbye},
                      InState{"Answered", State::Answered, true, kUnderWay, false, Ack::Late, true,
                              State::Ended, true, ServerAnswer::SayGoodbye},
                      // Our goodbye is out: the partner's is its answer, not to be answered again.
                      InState{"Closing", State::Closing, true, kEnded, false, Ack::Late, false,
                              State::Ended, false, ServerAnswer::SayGoodbye},
                      InState{"Ended", State::Ended, false, kEnded, false, Ack::Late, false,
                              State::Ended, false, ServerAnswer::SayGoodbye}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DdeConversation, OnlyANegativeAckFromThePartnerIsAnAnswer) {
    DdeConversation c = conversationIn(State::Waiting);
    // Wine's DDEML servers follow each answer with a positive acknowledgement.
    EXPECT_EQ(c.ackIn(true, true, 30), Ack::Ignored);
    // Another window's is no answer, but its atom is ours to delete all the same.
    EXPECT_EQ(c.ackIn(false, false, 30), Ack::Stray);
    EXPECT_EQ(c.ackIn(false, true, 30), Ack::Stray);
    EXPECT_EQ(c.state(), State::Waiting);
    EXPECT_EQ(c.answersIgnored(), 0);
}

TEST(DdeConversation, ConnectingWithoutAServerMayBeTriedAgain) {
    DdeConversation c;
    c.initiateSent();
    c.initiateOver(false, 0);
    EXPECT_EQ(c.state(), State::NotConnected);
    c.initiateSent();
    c.initiateOver(true, 0);
    EXPECT_EQ(c.state(), State::Ready);
}

struct Outcome {
    const char* name;
    State state;
    bool partnerGone;
    std::optional<std::string_view> why;
    State after;
};

class RequestOutcome : public ::testing::TestWithParam<Outcome> {};

TEST_P(RequestOutcome, SaysWhyThereIsNoRecord) {
    DdeConversation c = conversationIn(GetParam().state);
    EXPECT_EQ(c.whyNoRecord(GetParam().partnerGone), GetParam().why);
    EXPECT_EQ(c.state(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestOutcome,
    ::testing::Values(
        Outcome{"answered", State::Answered, false, std::nullopt, State::Answered},
        // An answer that came before the partner vanished still counts.
        Outcome{"answeredThenGone", State::Answered, true, std::nullopt, State::Answered},
        Outcome{"silent", State::Waiting, false, "no answer in time", State::Waiting},
        Outcome{"gone", State::Waiting, true, "the tracking program has gone", State::Ended},
        Outcome{"ended", State::Ended, true, "the tracking program has ended the conversation",
                State::Ended}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DdeConversation, APartnerFoundGoneEndsItForGood) {
    DdeConversation c = conversationIn(State::Ready);
    EXPECT_EQ(c.whyCannotAsk(true), "the tracking program has gone");
    EXPECT_EQ(c.state(), State::Ended);
    EXPECT_EQ(c.whyCannotAsk(false), kEnded);
}

TEST(DdeConversation, ARequestForgetsTheLastAnswer) {
    DdeConversation c = conversationIn(State::Answered);
    ASSERT_TRUE(c.reply());
    c.requestDone();
    EXPECT_FALSE(c.reply());
    EXPECT_EQ(c.state(), State::Ready);
}

// --- The answer's memory ---------------------------------------------------------------------

struct Memory {
    const char* name;
    std::optional<DdeConversation::DataFlags> flags;  // none: the memory cannot be read
    bool receiverOwnsCopies;
    bool free;
    bool acknowledge;
};

class AnswerMemory : public ::testing::TestWithParam<Memory> {};

TEST_P(AnswerMemory, GoesBackByItsFlags) {
    const Memory& m = GetParam();
    // Whether the answer is taken, unasked or from another window, the memory's fate is the
    // same.
    for (const bool fromPartner : {true, false}) {
        for (const bool response : {true, false}) {
            DdeConversation c = conversationIn(State::Waiting);
            std::optional<DdeConversation::DataFlags> flags = m.flags;
            if (flags) {
                flags->response = response;
            }
            const DdeConversation::DataActions a =
                c.dataIn(fromPartner, flags, m.receiverOwnsCopies, 30);
            EXPECT_EQ(a.take, fromPartner && response && m.flags.has_value());
            EXPECT_EQ(c.answersIgnored(), a.take ? 0 : 1);
            EXPECT_EQ(a.free, m.free);
            // Only the partner is acknowledged: any other server has been told goodbye.
            EXPECT_EQ(a.acknowledge, m.acknowledge && fromPartner);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Flags, AnswerMemory,
    ::testing::Values(
        // On Windows the memory is the sender's until its flags say otherwise.
        Memory{"windowsRelease", DdeConversation::DataFlags{.release = true}, false, true, false},
        Memory{"windowsKeptUntilAcknowledged", DdeConversation::DataFlags{.ackRequested = true},
               false, false, true},
        Memory{"windowsBoth", DdeConversation::DataFlags{.release = true, .ackRequested = true},
               false, true, true},
        Memory{"windowsNeither", DdeConversation::DataFlags{}, false, false, false},
        Memory{"windowsUnreadable", std::nullopt, false, false, false},
        // Wine hands the receiver a copy of its own, which only the receiver can free.
        Memory{"wineRelease", DdeConversation::DataFlags{.release = true}, true, true, false},
        Memory{"wineKeptUntilAcknowledged", DdeConversation::DataFlags{.ackRequested = true}, true,
               true, true},
        Memory{"wineUnreadable", std::nullopt, true, true, false}),
    [](const auto& param) { return std::string(param.param.name); });

// --- Late answers ----------------------------------------------------------------------------

struct Step {
    enum Kind { Request, Answer, AnswerUnawaited } kind;
    Ticks at;           // milliseconds after the conversation's start
    bool taken = true;  // for an answer: taken as the awaited one
};

struct Sequence {
    const char* name;
    std::vector<Step> steps;
};

constexpr Step request(Ticks at) {
    return {Step::Request, at};
}
constexpr Step taken(Ticks at) {
    return {Step::Answer, at, true};
}
constexpr Step late(Ticks at) {
    return {Step::Answer, at, false};
}
constexpr Step unawaited(Ticks at) {
    return {Step::AnswerUnawaited, at, false};
}

// A server that lost the answer to the first request, asked once a second: each answer is
// counted for the request before, until 10 s have passed without an answer taken.
std::vector<Step> lostFirstAnswer(Ticks lastTaken) {
    std::vector<Step> steps;
    for (Ticks t = lastTaken + 1000; t <= lastTaken + 10000; t += 1000) {
        steps.push_back(request(t));
        steps.push_back(late(t + 5));
    }
    steps.push_back(request(lastTaken + 10001));  // just past 10 s: believed again
    steps.push_back(taken(lastTaken + 10006));
    steps.push_back(request(lastTaken + 11000));
    steps.push_back(taken(lastTaken + 11005));
    return steps;
}

std::vector<Step> join(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Backlog : public ::testing::TestWithParam<std::tuple<Sequence, Ticks>> {};

TEST_P(Backlog, TellsTheAwaitedAnswerFromALateOne) {
    const auto& [sequence, start] = GetParam();
    DdeConversation::Backlog backlog;
    backlog.start(start);
    for (std::size_t k = 0; k < sequence.steps.size(); ++k) {
        const Step& step = sequence.steps[k];
        const Ticks now = start + step.at;  // wraps like the tick count
        if (step.kind == Step::Request) {
            backlog.requestSent(now);
        } else {
            EXPECT_EQ(backlog.answerIn(step.kind == Step::Answer, now), step.taken)
                << "step " << k << " at " << step.at << " ms";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Backlog,
    ::testing::Combine(
        ::testing::Values(
            Sequence{"inTime", {request(0), taken(5), request(1000), taken(1003)}},
            // The first request timed out; its answer comes while the second waits.
            Sequence{"lateWhileTheNextWaits",
                     {request(0), request(300), late(500), taken(505), request(1000), taken(1005)}},
            // It comes between requests, while none waits.
            Sequence{"lateBetweenRequests",
                     {request(0), unawaited(500), request(1000), taken(1005)}},
            Sequence{"unasked", {unawaited(5), late(6), request(1000), taken(1005), late(1006)}},
            // Two answers in a row to one request: the second is nobody's.
            Sequence{"twice", {request(0), taken(5), late(6), request(1000), taken(1005)}},
            Sequence{"lostFromTheStart", join({request(0)}, lostFirstAnswer(0))},
            // The 10 s count from the last answer taken, not from the start.
            Sequence{"lostLater",
                     join({request(0), taken(5), request(20000), taken(20005), request(21000)},
                          lostFirstAnswer(20005))},
            // Only late answers make it give up: a server that stays silent is still owed.
            Sequence{"silentServer",
                     {request(0), request(11000), request(22000), late(22005), late(22006),
                      taken(22007)}}),
        // From the start of the tick count, and 5 s before it wraps.
        ::testing::Values(Ticks{0}, Ticks{0xFFFFFFFFu - 4999})),
    [](const auto& param) {
        return std::string(std::get<0>(param.param).name) +
               (std::get<1>(param.param) == 0 ? "" : "AcrossTheWrap");
    });

// A server that lost its first answer, as a station asking once a second sees it: the first
// request gets no answer, each later answer is first counted for the request that got none,
// and after 10 s the link follows the server again, taking each request's own answer.
TEST(DdeConversation, AServerThatLostAnAnswerIsBelievedAgain) {
    DdeConversation c = conversationIn(State::Ready);
    int answers = 0;  // the server's answers, numbered as its requests
    auto tick = [&](Ticks now, bool answered) -> std::optional<std::string_view> {
        EXPECT_EQ(c.whyCannotAsk(false), std::nullopt);
        c.requestSent(now);
        ++answers;
        if (answered && c.dataIn(true, kAnswerFlags, true, now + 5).take) {
            DdeConversation::Reply reply;
            reply.bytes = std::to_string(answers);
            c.answered(reply);
        }
        const std::optional<std::string_view> why = c.whyNoRecord(false);
        if (!why) {
            EXPECT_EQ(*c.reply()->bytes, std::to_string(answers))
                << "the answer of another request";
        }
        c.requestDone();
        return why;
    };
    EXPECT_EQ(tick(0, false), "no answer in time");
    Ticks now = 1000;
    while (tick(now, true)) {
        ASSERT_LT(now, 20000u);
        now += 1000;
    }
    EXPECT_GT(now, 10000u);
    EXPECT_EQ(c.answersIgnored(), answers - 2);  // all but the lost one and the one taken
    for (int i = 0; i < 3; ++i) {
        now += 1000;
        EXPECT_EQ(tick(now, true), std::nullopt);
    }
}

}  // namespace
}  // namespace vorkel
