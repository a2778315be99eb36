// The tracking record's transport: the client end of a DDE conversation with the tracking
// program, spoken in DDE's own window messages. The tracking program answers every request with
// its current one-line record as CF_TEXT; LabelLink puts it where the station reads it.
//
// Why not DDEML: Wine's DDEML client keeps a copy of every answer it receives (the copy Wine
// makes of posted DDE data in the receiving process), which nothing can free; a station that
// asks once a second would grow by megabytes a day. Speaking the messages directly, the link
// frees every answer itself.
#pragma once

// clang-format off
#include <windows.h>
#include <dde.h>
// clang-format on

#include <optional>
#include <string>
#include <string_view>

#include "links/label_link.h"
#include "win/dde_handles.h"

namespace vorkel {

// Threading and messages:
// - Use a link on one thread only, the thread that pumps its window messages: the link's own
//   hidden window receives the conversation's messages there.
// - request() waits for the answer while handling every other message of the thread (timer
//   ticks, clicks, paint). Whatever handles them must not destroy the link meanwhile; a nested
//   request() is refused. A WM_QUIT met while waiting ends the wait and is posted again.
// - An answer that comes after its request has timed out belongs to that request: it is taken
//   in and thrown away, never shown as the answer to a later request. (A server answers its
//   requests in order, so the link counts the requests still unanswered. When for 10 s every
//   answer has come late, the count is given up: the server has most likely lost an answer.)
//
// Failures are texts of the form "requesting Orbitron|Tracking!TrackingData: why", where why is
// "error N: " and the system's text for a Windows error, and words for the rest.
class DdeClient final : public RecordTransport {
  public:
    // A whole tick (this request plus the rotor command) must fit well inside its second even
    // when the tracking program hangs; real answers take a few milliseconds.
    static constexpr DWORD kAnswerTimeoutMs = 300;

    DdeClient();
    // Ends the conversation (WM_DDE_TERMINATE) if it is still open.
    ~DdeClient() override;
    DdeClient(const DdeClient&) = delete;
    DdeClient& operator=(const DdeClient&) = delete;

    // Fail for a name that is not "application|topic", or empty, too long for an atom (255
    // characters) or holding a NUL.
    Status setTopic(const std::wstring& applicationAndTopic) override;
    Status setItem(const std::wstring& item) override;
    // Connects once. A conversation, once made, is never made again: while it lasts further
    // calls succeed without doing anything, after it has ended they fail. Fails when no names
    // are set, when no server of that application and topic answers, and on a Windows error.
    Status openManual() override;
    // Fails when no conversation is open or it has ended, the tracking program has gone, a
    // request is already under way, the server refuses the item, no answer comes within
    // kAnswerTimeoutMs, the answer is no text, longer than kMaxRecordBytes or not in the ANSI
    // code page, and on a Windows error.
    Status request(std::wstring& record) override;

    // True from a successful openManual() until the tracking program ends the conversation.
    bool conversationOpen() const;
    // Answers that came in after their request had timed out, or that nobody asked for.
    int answersIgnored() const { return answersIgnored_; }

  private:
    // The conversation's state; every change of it goes through advance().
    enum class State {
        NotConnected,  // no conversation yet (openManual() may try again)
        Connecting,    // the initiate is out: servers answer while openManual() sends it
        Ready,         // open, no request under way
        Waiting,       // a request is out and its answer not yet in
        Answered,      // the request under way has its answer (data or refusal) in reply_
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
    static State next(State state, Event event) noexcept;
    void advance(Event event) noexcept;

    // What the server answered to the request under way.
    struct Reply {
        bool refused = false;
        UINT format = CF_TEXT;
        SIZE_T size = 0;                   // bytes of the value, as the memory's size says
        std::optional<std::string> bytes;  // the first bytesToRead(size); none if not copied
    };

    // A server answers its requests in order: counting the requests it has not answered tells
    // the answer to the request under way from a late one.
    class Backlog {
      public:
        void start(DWORD now) noexcept;
        void requestSent(DWORD now) noexcept;
        // Counts an answer to the oldest request still open; true when it answers the request
        // under way (`awaited`: one is waiting).
        bool answerIn(bool awaited, DWORD now) noexcept;
        void clear() noexcept { unanswered_ = 0; }

      private:
        static constexpr DWORD kForgetUnansweredMs = 10000;
        int unanswered_ = 0;           // the request under way included
        DWORD lastTakenAt_ = 0;        // when an answer last was the one awaited (tick count)
        bool lateSinceTaken_ = false;  // and whether late answers have come since
    };

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    void onInitiateAck(HWND from, LPARAM lParam) noexcept;
    void onAck(HWND from, LPARAM lParam) noexcept;
    void onData(HWND from, LPARAM lParam) noexcept;
    void onTerminate(HWND from) noexcept;
    void takeReply(const DDEDATA& data, SIZE_T size) noexcept;
    void acknowledge(HWND to, win::PackedDdeParam& data, win::GlobalAtom& item) noexcept;
    bool fromPartner(HWND from) const;
    bool partnerGone() const;
    void sayGoodbyeAndWait() noexcept;
    Status connect();  // openManual's work; it keeps exceptions out
    Status makeWindow();

    // The steps of a request.
    Status checkCanAsk();
    Status sendRequest();
    // Handles the messages of the whole thread until the answer is in or the time is up.
    void waitForAnswer();
    Status readAnswer(std::wstring& record);
    Status readRecord(const Reply& reply, std::wstring& record);

    // "requesting Orbitron|Tracking!TrackingData: why"
    Status failure(std::string_view doing, std::string_view why) const;
    Status windowsFailure(std::string_view doing, unsigned long code) const;
    // Ends the conversation for good.
    Status goneFailure();
    std::wstring conversationName() const;

    std::wstring application_;
    std::wstring topic_;
    std::wstring item_;

    win::DdeWindow window_;
    HWND server_ = nullptr;  // the tracking program's end of the conversation
    State state_ = State::NotConnected;
    std::optional<Reply> reply_;
    Backlog backlog_;
    int answersIgnored_ = 0;
};

}  // namespace vorkel
