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

namespace vorkel::win {

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

    Status setTopic(const std::wstring& applicationAndTopic) override;
    Status setItem(const std::wstring& item) override;
    // Connects once. A conversation, once made, is never made again: while it lasts further
    // calls succeed without doing anything, after it has ended they fail.
    Status openManual() override;
    Status request(std::wstring& record) override;

    // True from a successful openManual() until the tracking program ends the conversation.
    bool conversationOpen() const;
    // Answers that came in after their request had timed out, or that nobody asked for.
    int answersIgnored() const { return answersIgnored_; }

  private:
    // What the last request has heard so far.
    enum class Answer { None, Data, Refused, Ended };

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    void onAck(HWND from, LPARAM lParam) noexcept;
    void onData(HWND from, LPARAM lParam) noexcept;
    void onTerminate(HWND from) noexcept;
    void takeRecord(const DDEDATA& data, SIZE_T size) noexcept;
    void endConversation() noexcept;
    bool partnerGone() const;
    Status makeWindow();
    // Handles the messages of the whole thread until the answer is in or the time is up.
    void waitForAnswer();
    Status failure(const char* doing, const std::string& why) const;

    std::wstring application_;
    std::wstring topic_;
    std::wstring item_;

    DdeWindow window_;
    HWND server_ = nullptr;  // the tracking program's end of the conversation
    bool initiating_ = false;
    bool everConnected_ = false;
    bool ended_ = false;
    bool requesting_ = false;
    bool goodbyeSent_ = false;

    // Counts an answer (data or refusal) to the oldest request still open; true when it is the
    // answer the current request waits for.
    bool answerArrived() noexcept;
    void requestSent() noexcept;

    // Requests sent and not yet answered, the current one included. Only the answer to the
    // last one counts.
    static constexpr DWORD kForgetUnansweredMs = 10000;
    int unanswered_ = 0;
    DWORD lastTakenAt_ = 0;        // when an answer last was the one awaited (tick count)
    bool lateSinceTaken_ = false;  // and whether late answers have come since
    int answersIgnored_ = 0;
    Answer answer_ = Answer::None;
    std::string answerBytes_;
    SIZE_T answerSize_ = 0;
    UINT answerFormat_ = CF_TEXT;
    bool answerWhole_ = false;
};

}  // namespace vorkel::win
