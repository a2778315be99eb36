// The tracking record's transport: the client end of a DDE conversation with the tracking
// program, spoken in DDE's own window messages. The tracking program answers every request with
// its current one-line record as CF_TEXT, which the station shows in Label1.
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

#include <string>
#include <string_view>

#include "core/dde_conversation.h"
#include "station/tracking_link.h"
#include "win/dde_handles.h"
#include "win/message_step.h"

namespace vorkel {

// Threading and messages:
// - Use a link on one thread only, the thread that pumps its window messages: the link's own
//   hidden window receives the conversation's messages there.
// - request() waits for the answer while handling every other message of the thread (timer
//   ticks, clicks, keys, paint) through the thread's message step, as its own loop would.
//   Whatever handles them must not destroy the link meanwhile; a nested request() is refused.
//   A WM_QUIT met while waiting ends the wait and is posted again.
// - An answer that comes after its request has timed out belongs to that request: it is taken
//   in and thrown away, never shown as the answer to a later request. (A server answers its
//   requests in order, so the link counts the requests still unanswered. When for 10 s every
//   answer has come late, the count is given up: the server has most likely lost an answer.)
// - What a DDE message brings for its receiver (a packed parameter, atoms, memory released to
//   it) is freed, whichever window sent it. A server that takes the initiate only after the
//   broadcast is told goodbye. Once the link has posted its goodbye, or its answer to the
//   partner's, it posts nothing more to the partner.
//
// Failures are in the one form (Status::failure): what was being done, to what, and why, e.g.
// "requesting Orbitron|Tracking!TrackingData: no answer in time" or "setting the DDE item "":
// empty or unusable as a DDE name". The why is "error N: " and the system's text for a Windows
// error, and words for the rest.
class DdeClient final : public TrackingLink {
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

    // How the wait handles the thread's other messages: the program's loop's own step.
    void setMessageStep(win::MessageStep step) { step_ = step; }

    // True from a successful openManual() until the tracking program ends the conversation.
    bool conversationOpen() const;
    // Answers that came in after their request had timed out, or that nobody asked for.
    int answersIgnored() const { return conversation_.answersIgnored(); }

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    // Whether a WM_DDE_ACK is a server's acknowledgement of the initiate, not a posted one.
    bool acknowledgesInitiate(LPARAM lParam) const noexcept;
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
    Status readRecord(const DdeConversation::Reply& reply, std::wstring& record);

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
    win::MessageStep step_ = win::translateAndDispatch;
    DdeConversation conversation_;
};

}  // namespace vorkel
