// A DDE server for "Orbitron"/"Tracking" written in DDE's window messages, on a thread of its
// own: it misbehaves in ways the simulated tracking program (a DDEML server) cannot, and
// counts what the link sends it.
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

#include <atomic>
#include <deque>
#include <string>
#include <utility>

#include "tests/tracking_link/simulator_process.h"

namespace vorkel::testing {

class RawDdeServer {
  public:
    enum class Reply {
        Data,
        NegativeAck,
        Silence,
        // Each request is answered only when the client says goodbye, just before the server's
        // own goodbye: the answer crosses the client's goodbye.
        AtGoodbye,
    };
    enum class Initiate {
        AtOnce,
        // Taken at once, its acknowledgement sent 100 ms later, when the broadcast is over.
        AcknowledgedLater,
        // Acknowledged from inside the initiate once endSlowInitiate() is called: a server that
        // is slow to take it, answering after the client has stopped waiting.
        Slow,
    };
    struct Behaviour {
        Reply reply = Reply::Data;
        Initiate initiate = Initiate::AtOnce;
        // Flags of the answers' memory: the receiver frees it (fRelease), or the server frees
        // it once acknowledged (fAckReq).
        bool release = true;
        bool ackRequested = false;
        // The answer to the first request comes this late.
        DWORD firstAnswerDelayMs = 0;
    };

    explicit RawDdeServer(Behaviour behaviour);
    ~RawDdeServer();
    RawDdeServer(const RawDdeServer&) = delete;
    RawDdeServer& operator=(const RawDdeServer&) = delete;

    bool started() const { return window_ != nullptr; }
    void endSlowInitiate() { SetEvent(initiateMayEnd_.get()); }
    // Posts `count` records the client never asked for (fResponse clear), with the flags of
    // the behaviour.
    void sendUnasked(int count);
    // Posts `count` acknowledgements naming the item "TrackingData", each with a reference of
    // its own to the atom, though the client asked nothing of this server.
    void sendAcks(int count, bool positive);

    // Answers are "raw 1", "raw 2", ... in the order of the requests.
    std::atomic<int> initiates{0};
    std::atomic<int> requests{0};
    std::atomic<int> acks{0};
    std::atomic<int> terminates{0};
    std::atomic<int> undelivered{0};  // answers posted to a window that was gone

  private:
    static DWORD WINAPI run(void* self);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void postData(const std::string& text, bool response, ATOM item);
    void acknowledgeInitiate();
    void postAck(bool positive);

    Behaviour behaviour_;
    KernelHandle thread_;
    KernelHandle ready_;
    KernelHandle initiateMayEnd_;
    std::atomic<HWND> window_{nullptr};
    HWND client_ = nullptr;
    std::deque<HGLOBAL> awaitingAck_;              // sent with fRelease clear, freed on their ack
    std::deque<std::pair<int, ATOM>> unanswered_;  // requests kept for the goodbye
    DWORD threadId_ = 0;
};

}  // namespace vorkel::testing
