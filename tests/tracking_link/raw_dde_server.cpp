#include "tests/tracking_link/raw_dde_server.h"

// clang-format off
#include <dde.h>
#include <ddeml.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <vector>

namespace vorkel::testing {

namespace {

constexpr wchar_t kClass[] = L"VorkelRawDdeServer";
constexpr UINT kSendUnasked = WM_APP + 1;
constexpr UINT kSendAck = WM_APP + 2;
constexpr UINT_PTR kInitiateAckTimer = 1;
constexpr UINT kInitiateAckLaterMs = 100;

bool sameName(ATOM atom, const wchar_t* name) {
    wchar_t text[256] = {};
    return atom != 0 && GlobalGetAtomNameW(atom, text, 256) > 0 && lstrcmpiW(text, name) == 0;
}

// Wine copies a posted DDE message's data for the receiver, even within one process.
bool copiedWhenPosted() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace

RawDdeServer::RawDdeServer(Behaviour behaviour)
    : behaviour_(behaviour),
      ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      initiateMayEnd_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_.reset(CreateThread(nullptr, 0, run, this, 0, &threadId_));
    if (thread_) {
        WaitForSingleObject(ready_.get(), 5000);
    }
}

RawDdeServer::~RawDdeServer() {
    if (thread_) {
        endSlowInitiate();
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        if (const HWND window = window_.load()) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        WaitForSingleObject(thread_.get(), 5000);
    }
}

DWORD WINAPI RawDdeServer::run(void* context) {
    auto* self = static_cast<RawDdeServer*>(context);
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);
    // Top-level, as servers are: the initiate is broadcast to top-level windows.
    const HWND window =
        CreateWindowW(kClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, self);
    self->window_ = window;
    SetEvent(self->ready_.get());
    MSG message;
    while (window != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_CLOSE && message.hwnd == window) {
            break;
        }
        DispatchMessageW(&message);
    }
    self->window_ = nullptr;
    for (HGLOBAL memory : self->awaitingAck_) {
        GlobalFree(memory);
    }
    self->awaitingAck_.clear();
    for (const auto& [number, item] : self->unanswered_) {
        GlobalDeleteAtom(item);
    }
    self->unanswered_.clear();
    if (window != nullptr) {
        DestroyWindow(window);
    }
    return 0;
}

LRESULT CALLBACK RawDdeServer::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<RawDdeServer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_.load() != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

void RawDdeServer::sendUnasked(int count) {
    for (int i = 0; i < count; ++i) {
        PostMessageW(window_.load(), kSendUnasked, 0, 0);
    }
}

void RawDdeServer::sendAcks(int count, bool positive) {
    for (int i = 0; i < count; ++i) {
        PostMessageW(window_.load(), kSendAck, positive ? 1 : 0, 0);
    }
}

void RawDdeServer::acknowledgeInitiate() {
    // Sent, as the acknowledgement of an initiate is; bounded, so that a client that has gone
    // cannot hold this thread.
    const ATOM application = GlobalAddAtomW(L"Orbitron");
    const ATOM topic = GlobalAddAtomW(L"Tracking");
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(client_, WM_DDE_ACK, reinterpret_cast<WPARAM>(window_.load()),
                             MAKELPARAM(application, topic), SMTO_NORMAL, 5000, &ignored)) {
        GlobalDeleteAtom(application);
        GlobalDeleteAtom(topic);
    }
}

void RawDdeServer::postAck(bool positive) {
    const ATOM item = GlobalAddAtomW(L"TrackingData");
    const LPARAM ack = PackDDElParam(WM_DDE_ACK, positive ? DDE_FACK : 0, item);
    if (!PostMessageW(client_, WM_DDE_ACK, reinterpret_cast<WPARAM>(window_.load()), ack)) {
        ++undelivered;
        FreeDDElParam(WM_DDE_ACK, ack);
        GlobalDeleteAtom(item);
    }
}

void RawDdeServer::postData(const std::string& text, bool response, ATOM item) {
    const SIZE_T size = offsetof(DDEDATA, Value) + text.size() + 1;
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    auto* data = static_cast<DDEDATA*>(GlobalLock(memory));
    std::memset(data, 0, size);
    data->fResponse = response ? 1 : 0;
    data->fRelease = behaviour_.release ? 1 : 0;
    data->fAckReq = behaviour_.ackRequested ? 1 : 0;
    data->cfFormat = CF_TEXT;
    std::memcpy(data->Value, text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    const LPARAM lParam = PackDDElParam(WM_DDE_DATA, reinterpret_cast<UINT_PTR>(memory), item);
    if (!PostMessageW(client_, WM_DDE_DATA, reinterpret_cast<WPARAM>(window_.load()), lParam)) {
        ++undelivered;
        FreeDDElParam(WM_DDE_DATA, lParam);
        GlobalDeleteAtom(item);
        GlobalFree(memory);
        return;
    }
    // Wine has copied the memory for the receiver by now and keeps no note of the original.
    if (behaviour_.release && copiedWhenPosted()) {
        GlobalFree(memory);
    }
    // Memory the receiver is not told to free is freed here once acknowledged. (Without an
    // acknowledgement asked for, a server cannot know when the client is done with it; the
    // tests never send that combination within one process.)
    if (!behaviour_.release && behaviour_.ackRequested) {
        awaitingAck_.push_back(memory);
    }
}

LRESULT RawDdeServer::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND from = reinterpret_cast<HWND>(wParam);
    switch (message) {
        case WM_DDE_INITIATE: {
            if (!sameName(LOWORD(lParam), L"Orbitron") || !sameName(HIWORD(lParam), L"Tracking")) {
                return 0;
            }
            ++initiates;
            client_ = from;
            switch (behaviour_.initiate) {
                case Initiate::AtOnce:
                    acknowledgeInitiate();
                    break;
                case Initiate::AcknowledgedLater:
                    SetTimer(window_.load(), kInitiateAckTimer, kInitiateAckLaterMs, nullptr);
                    break;
                case Initiate::Slow:
                    WaitForSingleObject(initiateMayEnd_.get(), 10000);
                    acknowledgeInitiate();
                    break;
            }
            return 0;
        }
        case WM_TIMER:
            if (wParam == kInitiateAckTimer) {
                KillTimer(window_.load(), kInitiateAckTimer);
                acknowledgeInitiate();
            }
            return 0;
        case WM_DDE_REQUEST: {
            UINT_PTR format = 0;
            UINT_PTR item = 0;
            UnpackDDElParam(WM_DDE_REQUEST, lParam, &format, &item);
            FreeDDElParam(WM_DDE_REQUEST, lParam);
            const int number = ++requests;
            if (number == 1 && behaviour_.firstAnswerDelayMs > 0) {
                Sleep(behaviour_.firstAnswerDelayMs);
            }
            switch (behaviour_.reply) {
                case Reply::Data:
                    postData("raw " + std::to_string(number), true, static_cast<ATOM>(item));
                    break;
                case Reply::NegativeAck: {
                    const LPARAM ack = PackDDElParam(WM_DDE_ACK, 0, item);
                    if (!PostMessageW(from, WM_DDE_ACK, reinterpret_cast<WPARAM>(window_.load()),
                                      ack)) {
                        FreeDDElParam(WM_DDE_ACK, ack);
                        GlobalDeleteAtom(static_cast<ATOM>(item));
                    }
                    break;
                }
                case Reply::Silence:
                    GlobalDeleteAtom(static_cast<ATOM>(item));
                    break;
                case Reply::AtGoodbye:
                    unanswered_.emplace_back(number, static_cast<ATOM>(item));
                    break;
            }
            return 0;
        }
        case WM_DDE_ACK: {
            // The acknowledgement of data that asked for one: its memory comes home to us.
            UINT_PTR status = 0;
            UINT_PTR item = 0;
            UnpackDDElParam(WM_DDE_ACK, lParam, &status, &item);
            FreeDDElParam(WM_DDE_ACK, lParam);
            GlobalDeleteAtom(static_cast<ATOM>(item));
            if (!awaitingAck_.empty()) {
                GlobalFree(awaitingAck_.front());
                awaitingAck_.pop_front();
            }
            ++acks;
            return 0;
        }
        case WM_DDE_TERMINATE:
            for (const auto& [number, item] : unanswered_) {
                postData("raw " + std::to_string(number), true, item);
            }
            unanswered_.clear();
            ++terminates;
            PostMessageW(from, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window_.load()), 0);
            return 0;
        case kSendAck:
            if (client_ != nullptr) {
                postAck(wParam != 0);
            }
            return 0;
        case kSendUnasked:
            if (client_ != nullptr) {
                postData("unasked", false, GlobalAddAtomW(L"TrackingData"));
            }
            return 0;
        default:
            return DefWindowProcW(window_.load(), message, wParam, lParam);
    }
}

}  // namespace vorkel::testing
