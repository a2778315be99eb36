// The tracking link over DDEML: a manual-link client conversation with the tracking program,
// which answers every request with its current one-line record as CF_TEXT.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "links/ddeml_handles.h"
#include "station/station_view.h"
#include "station/tracking_link.h"

namespace vorkel::win {

// The bytes as text of the code page (CP_ACP for clipboard text); empty when they are not.
std::optional<std::wstring> wideFromCodePage(std::string_view bytes, UINT codePage);

// Threading and messages:
// - Use a link on one thread only, the thread that pumps its window messages: DDEML delivers
//   everything for the link's instance there. Messages of the conversation still waiting from
//   an earlier request are handled by the next request itself; were they left in the queue,
//   DDEML would take one of them for the answer. (Wine's DDEML follows every answer with an
//   acknowledgement, within a millisecond; a request sent before that has arrived is refused.)
// - request() waits for the answer inside DDEML's modal message loop, which handles other
//   messages of the thread meanwhile: on Windows timer ticks and clicks too, under Wine only
//   messages sent from other threads. Whatever handles them must not call back into the link
//   or destroy it while a request is under way; a nested request() is refused, destroying the
//   link from inside is not allowed at all.
// - DDE cannot tell which request an answer belongs to. An answer that comes after its request
//   has timed out is taken as the answer to the next request, if that is already waiting; it
//   is then a record the tracking program made a moment earlier.
class DdeTrackingLink final : public TrackingLink {
  public:
    // A whole tick (this request plus the rotor command) must fit well inside its second even
    // when the tracking program hangs; real answers take a few milliseconds.
    static constexpr DWORD kAnswerTimeoutMs = 300;

    // The answers go to Label1 of the view, which must outlive the link.
    explicit DdeTrackingLink(StationView& view);
    ~DdeTrackingLink() override;
    DdeTrackingLink(const DdeTrackingLink&) = delete;
    DdeTrackingLink& operator=(const DdeTrackingLink&) = delete;

    Status setTopic(const std::wstring& applicationAndTopic) override;
    Status setItem(const std::wstring& item) override;
    // Connects once. A conversation, once made, is never made again: while it lasts further
    // calls succeed without doing anything, after it has ended they fail.
    Status openManual() override;
    Status request() override;

    // True from a successful openManual() until the tracking program ends the conversation.
    bool conversationOpen() const;

  private:
    // DDEML calls one plain function for every instance; it finds the link by conversation.
    static HDDEDATA CALLBACK callback(UINT type, UINT format, HCONV conversation, HSZ topic,
                                      HSZ item, HDDEDATA data, ULONG_PTR data1,
                                      ULONG_PTR data2) noexcept;
    // With `disconnect` false DDEML has already done away with the conversation handle.
    void endConversation(bool disconnect) noexcept;
    void handleWaitingMessages();
    Status failure(const char* doing, const std::string& why) const;
    Status ddeFailure(const char* doing, UINT error) const;

    StationView& view_;
    std::wstring application_;
    std::wstring topic_;
    std::wstring item_;

    // Declared so that the instance goes last.
    DdeInstance instance_;
    DdeString itemHandle_;
    DdeConversation conversation_;
    HWND conversationWindow_ = nullptr;  // our end of the conversation, owned by DDEML
    bool everConnected_ = false;
    bool ended_ = false;
    bool requesting_ = false;
};

}  // namespace vorkel::win
