// The client end of a DDE conversation as decisions: its states, what each message of the
// partner makes it do, and which answer belongs to which request. Plain values in, decisions
// out, no Windows: DdeClient carries the window messages and the global memory and asks this
// what to do with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorkel {

class DdeConversation {
  public:
    // Milliseconds on a 32-bit tick count (GetTickCount's), which wraps after 49.7 days.
    using Ticks = std::uint32_t;

    enum class State {
        NotConnected,  // no conversation yet (connecting may be tried again)
        Connecting,    // the initiate is out: servers answer while it is sent
        Ready,         // open, no request under way
        Waiting,       // a request is out and its answer not yet in
        Answered,      // the request under way has its answer (data or refusal) in reply()
        Closing,       // our goodbye is out; the partner's is awaited
        Ended,         // over for good: the partner ended it or went away, or answered goodbye
    };
    enum class Event {
        InitiateSent,
        Connected,  // a server took the initiate
        NoServer,   // the initiate is over and no server took it
        RequestSent,
        AnswerIn,  // the answer to the request under way, not a late one
        RequestDone,
        GoodbyeSent,
        PartnerEnded,  // its WM_DDE_TERMINATE: the end, or the answer to ours
        PartnerGone,   // its window vanished without a goodbye
    };
    // An event that does not fit the state leaves it as it is.
    static State next(State state, Event event) noexcept;

    // A server answers its requests in order: counting the requests it has not answered tells
    // the answer to the request under way from a late one. When for 10 s every answer has come
    // late, the count is given up: the server has most likely lost an answer.
    class Backlog {
      public:
        static constexpr Ticks kForgetUnansweredMs = 10000;

        void start(Ticks now) noexcept;
        void requestSent(Ticks now) noexcept;
        // Counts an answer to the oldest request still open; true when it answers the request
        // under way (`awaited`: one is waiting).
        bool answerIn(bool awaited, Ticks now) noexcept;
        void clear() noexcept { unanswered_ = 0; }

      private:
        int unanswered_ = 0;           // the request under way included
        Ticks lastTakenAt_ = 0;        // when an answer last was the one awaited
        bool lateSinceTaken_ = false;  // and whether late answers have come since
    };

    // What the server answered to the request under way.
    struct Reply {
        bool refused = false;
        unsigned format = 0;               // clipboard format
        std::size_t size = 0;              // bytes of the value, as the memory's size says
        std::optional<std::string> bytes;  // the first bytesToRead(size); none if not copied
    };

    // A server's acknowledgement of an initiate. While the initiate is out the first one
    // becomes the partner and any other is told goodbye. One that comes after it (a server slow
    // to take it) is told goodbye too, even when no other server took it: that server believes
    // a conversation has begun. The partner's own is never answered.
    enum class ServerAnswer { Take, SayGoodbye, Nothing };
    ServerAnswer serverAnswered(bool partnerChosen, bool fromPartner) const noexcept;

    // A posted WM_DDE_ACK. Only a negative one from the partner is an answer. The item atom
    // is ours to delete, whoever sent it, but for the partner's positive one.
    enum class Ack {
        Ignored,  // the partner's positive one (it names an atom that is gone): leave the atom
        Refusal,  // the answer to the request under way: refused
        Late,     // a refusal that answers an earlier request, or none
        Stray,    // from another window: no answer, but its atom is ours all the same
    };
    Ack ackIn(bool fromPartner, bool positive, Ticks now) noexcept;

    // WM_DDE_DATA: the flags of its memory; none when the memory cannot be read.
    struct DataFlags {
        bool response = false;  // an answer to a request, not data sent unasked
        bool release = false;   // the receiver frees the memory
        bool ackRequested = false;
    };
    struct DataActions {
        bool take = false;  // the answer to the request under way: read it, then answered()
        bool free = false;  // the memory is ours to free
        // Only the partner's data is acknowledged, and only until the link has posted its
        // goodbye, or its answer to the partner's: after that it posts nothing more.
        bool acknowledge = false;
    };
    // `receiverOwnsCopies`: the receiver holds a copy of the memory of its own (Wine's way).
    DataActions dataIn(bool fromPartner, const std::optional<DataFlags>& flags,
                       bool receiverOwnsCopies, Ticks now) noexcept;
    // The reply that dataIn() said to take.
    void answered(Reply reply) noexcept;

    // WM_DDE_TERMINATE; true when it must be answered in kind (the partner ends it).
    bool terminateIn(bool fromPartner) noexcept;

    // Connecting.
    void initiateSent() noexcept { advance(Event::InitiateSent); }
    void initiateOver(bool serverTook, Ticks now) noexcept;

    // A request: why none can be made now (none when one can), why the one made brings no
    // record (none when reply() holds data to read), and the partner's window found gone.
    std::optional<std::string_view> whyCannotAsk(bool partnerGone) noexcept;
    void requestSent(Ticks now) noexcept;
    std::optional<std::string_view> whyNoRecord(bool partnerGone) noexcept;
    void requestDone() noexcept { advance(Event::RequestDone); }
    std::string_view partnerVanished() noexcept;

    void goodbyeSent() noexcept { advance(Event::GoodbyeSent); }

    State state() const { return state_; }
    // True from a server's taking the initiate until the conversation ends.
    bool open() const;
    const std::optional<Reply>& reply() const { return reply_; }
    // Answers that came in after their request had timed out, or that nobody asked for.
    int answersIgnored() const { return answersIgnored_; }

  private:
    void advance(Event event) noexcept;
    // Open, and no goodbye posted either way.
    bool talking() const;

    State state_ = State::NotConnected;
    std::optional<Reply> reply_;
    Backlog backlog_;
    int answersIgnored_ = 0;
};

}  // namespace vorkel
