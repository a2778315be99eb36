// The tracking link's DDE conversation in window messages: connecting, asking, answers and goodbye.
#include "links/dde_client.h"

// clang-format off
#include <dde.h>
#include <ddeml.h>  // DDE_FACK
// clang-format on

#include <algorithm>
#include <cstddef>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "core/record_bytes.h"
#include "links/windows_failure.h"
#include "station/exception_barrier.h"
#include "win/text_conversion.h"

namespace vorkel {

using win::GlobalAtom;
using win::PackedDdeParam;
using win::utf8FromWide;

namespace {

// DDE names are atoms, which hold at most 255 characters.
constexpr std::size_t kMaxNameLength = 255;
// A program that does not take the broadcast of the initiate within this is hung; the others
// still answer.
constexpr UINT kInitiateTimeoutMs = 2000;
// While a request waits, the partner's window is looked at this often: a program that is
// killed sends no goodbye.
constexpr DWORD kPartnerCheckMs = 50;
constexpr wchar_t kWindowClass[] = L"VorkelTrackingLink";
// Bytes of a DDEDATA before its value: the flags and the clipboard format.
constexpr SIZE_T kDataHeaderBytes = offsetof(DDEDATA, Value);

bool validName(std::wstring_view name) {
    return !name.empty() && name.size() <= kMaxNameLength &&
           name.find(L'\0') == std::wstring_view::npos;
}

std::string quoted(std::wstring_view name) {
    return '"' + utf8FromWide(name) + '"';
}

bool registerWindowClass(WNDPROC windowProc) {
    static const bool registered = [windowProc] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

// Wine hands every posted DDE message's data to the receiver as a copy of its own, made when
// the message is posted; the sender keeps its original. Nothing frees that copy when the
// sender keeps ownership (fRelease clear): the receiver must. On Windows the memory is the
// sender's until the flags say otherwise.
bool receiverOwnsCopies() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

}  // namespace

bool DdeClient::conversationOpen() const {
    return conversation_.open();
}

// --- The link's window and what the partner sends it -----------------------------------------

DdeClient::DdeClient() = default;

DdeClient::~DdeClient() {
    if (!window_) {
        return;
    }
    if (conversationOpen() && !partnerGone()) {
        sayGoodbyeAndWait();
    }
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

void DdeClient::sayGoodbyeAndWait() noexcept {
    if (!PostMessageW(server_, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window_.get()), 0)) {
        return;
    }
    conversation_.goodbyeSent();
    // The window stays until the partner has answered the goodbye, so that answers still on
    // their way are taken in and their memory freed. Only the link's own messages are
    // handled: the rest of the program may be closing. Elapsed time by unsigned difference:
    // right across the tick count's wrap (XP has no 64-bit count).
    const DWORD start = GetTickCount();
    const auto closing = [this] {
        return conversation_.state() == DdeConversation::State::Closing;
    };
    while (closing() && !partnerGone()) {
        MSG message;
        while (closing() && PeekMessageW(&message, window_.get(), 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (!closing() || elapsed >= kAnswerTimeoutMs) {
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  std::min<DWORD>(kAnswerTimeoutMs - elapsed, 10),
                                  QS_POSTMESSAGE | QS_SENDMESSAGE);
    }
}

Status DdeClient::makeWindow() {
    if (window_) {
        return Status::success();
    }
    if (!registerWindowClass(&DdeClient::windowProc)) {
        return windowsFailure("connecting to", GetLastError());
    }
    // A message-only window: it takes part in no broadcast, it only talks to its partner.
    win::DdeWindow window(CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                          nullptr, GetModuleHandleW(nullptr), nullptr));
    if (!window) {
        return windowsFailure("connecting to", GetLastError());
    }
    // The window finds its link from here on; until then it only gets its creation messages.
    SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    window_ = std::move(window);
    return Status::success();
}

LRESULT CALLBACK DdeClient::windowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept {
    auto* link = reinterpret_cast<DdeClient*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (link != nullptr) {
        const HWND from = reinterpret_cast<HWND>(wParam);
        switch (message) {
            case WM_DDE_ACK:
                if (link->acknowledgesInitiate(lParam)) {
                    link->onInitiateAck(from, lParam);
                } else {
                    link->onAck(from, lParam);
                }
                return 0;
            case WM_DDE_DATA:
                link->onData(from, lParam);
                return 0;
            case WM_DDE_TERMINATE:
                link->onTerminate(from);
                return 0;
            default:
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool DdeClient::fromPartner(HWND from) const {
    return server_ != nullptr && from == server_;
}

bool DdeClient::partnerGone() const {
    return server_ == nullptr || !IsWindow(server_);
}

bool DdeClient::acknowledgesInitiate(LPARAM lParam) const noexcept {
    // While the initiate is out only sent messages are handled.
    if (conversation_.state() == DdeConversation::State::Connecting) {
        return true;
    }
    // Afterwards a server that was slow to take it still sends its acknowledgement; every other
    // one is posted. A posted one handled by a wait inside another thread's sent message would
    // pass for sent as well, but it holds a packed parameter, not our application and topic.
    if (!InSendMessage()) {
        return false;
    }
    const ATOM application = GlobalFindAtomW(application_.c_str());
    const ATOM topic = GlobalFindAtomW(topic_.c_str());
    return application != 0 && topic != 0 && LOWORD(lParam) == application &&
           HIWORD(lParam) == topic;
}

void DdeClient::onInitiateAck(HWND from, LPARAM lParam) noexcept {
    // A server taking the initiate: sent, not posted, so the atoms come unpacked, and they are
    // ours to delete.
    GlobalDeleteAtom(LOWORD(lParam));
    GlobalDeleteAtom(HIWORD(lParam));
    switch (conversation_.serverAnswered(server_ != nullptr, fromPartner(from))) {
        case DdeConversation::ServerAnswer::Take:
            server_ = from;
            break;
        case DdeConversation::ServerAnswer::SayGoodbye:
            PostMessageW(from, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window_.get()), 0);
            break;
        case DdeConversation::ServerAnswer::Nothing:
            break;
    }
}

void DdeClient::onAck(HWND from, LPARAM lParam) noexcept {
    // Posted: the packed parameter is ours to free, whoever posted it.
    UINT_PTR status = 0;
    UINT_PTR item = 0;
    if (!UnpackDDElParam(WM_DDE_ACK, lParam, &status, &item)) {
        return;
    }
    const PackedDdeParam packed({WM_DDE_ACK, lParam});
    const ATOM itemAtom = static_cast<ATOM>(item);
    const bool positive = (status & DDE_FACK) != 0;
    if (conversation_.ackIn(fromPartner(from), positive, GetTickCount()) !=
        DdeConversation::Ack::Ignored) {
        GlobalDeleteAtom(itemAtom);
    }
}

void DdeClient::onData(HWND from, LPARAM lParam) noexcept {
    UINT_PTR memory = 0;
    UINT_PTR item = 0;
    if (!UnpackDDElParam(WM_DDE_DATA, lParam, &memory, &item)) {
        return;
    }
    PackedDdeParam packed({WM_DDE_DATA, lParam});
    GlobalAtom itemAtom(static_cast<ATOM>(item));
    const HGLOBAL data = reinterpret_cast<HGLOBAL>(memory);

    const auto* header = static_cast<const DDEDATA*>(data ? GlobalLock(data) : nullptr);
    std::optional<DdeConversation::DataFlags> flags;
    if (header != nullptr) {
        flags.emplace();
        flags->response = header->fResponse != 0;
        flags->release = header->fRelease != 0;
        flags->ackRequested = header->fAckReq != 0;
    }
    const DdeConversation::DataActions actions =
        conversation_.dataIn(fromPartner(from), flags, receiverOwnsCopies(), GetTickCount());
    if (header != nullptr) {
        if (actions.take) {
            takeReply(*header, GlobalSize(data));
        }
        GlobalUnlock(data);
    }
    if (data != nullptr && actions.free) {
        GlobalFree(data);
    }
    if (actions.acknowledge) {
        acknowledge(from, packed, itemAtom);
    }
}

void DdeClient::takeReply(const DDEDATA& data, SIZE_T size) noexcept {
    DdeConversation::Reply reply;
    reply.size = size >= kDataHeaderBytes ? size - kDataHeaderBytes : 0;
    reply.format = static_cast<unsigned short>(data.cfFormat);
    try {
        reply.bytes.emplace(reinterpret_cast<const char*>(data.Value), bytesToRead(reply.size));
    } catch (const std::bad_alloc&) {
        reply.bytes.reset();
    }
    conversation_.answered(std::move(reply));
}

void DdeClient::acknowledge(HWND to, PackedDdeParam& data, GlobalAtom& item) noexcept {
    const LPARAM ack =
        ReuseDDElParam(data.release().lParam, WM_DDE_DATA, WM_DDE_ACK, DDE_FACK, item.get());
    if (PostMessageW(to, WM_DDE_ACK, reinterpret_cast<WPARAM>(window_.get()), ack)) {
        item.release();  // the sender deletes it
    } else {
        FreeDDElParam(WM_DDE_ACK, ack);
    }
}

void DdeClient::onTerminate(HWND from) noexcept {
    if (conversation_.terminateIn(fromPartner(from))) {
        PostMessageW(server_, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window_.get()), 0);
    }
}

// --- Naming and connecting -------------------------------------------------------------------

std::wstring DdeClient::conversationName() const {
    return application_ + L'|' + topic_ + L'!' + item_;
}

Status DdeClient::failure(std::string_view doing, std::string_view why) const {
    return Status::failure(doing, utf8FromWide(conversationName()), why);
}

Status DdeClient::windowsFailure(std::string_view doing, unsigned long code) const {
    return vorkel::windowsFailure(doing, conversationName(), code);
}

Status DdeClient::goneFailure() {
    return failure("requesting", conversation_.partnerVanished());
}

Status DdeClient::setTopic(const std::wstring& applicationAndTopic) {
    const std::size_t bar = applicationAndTopic.find(L'|');
    if (bar == std::wstring::npos ||
        applicationAndTopic.find(L'|', bar + 1) != std::wstring::npos) {
        return Status::failure("setting the DDE topic", quoted(applicationAndTopic),
                               "not of the form application|topic");
    }
    std::wstring application = applicationAndTopic.substr(0, bar);
    std::wstring topic = applicationAndTopic.substr(bar + 1);
    if (!validName(application) || !validName(topic)) {
        return Status::failure("setting the DDE topic", quoted(applicationAndTopic),
                               "application or topic empty or unusable as a DDE name");
    }
    application_ = std::move(application);
    topic_ = std::move(topic);
    return Status::success();
}

Status DdeClient::setItem(const std::wstring& item) {
    if (!validName(item)) {
        return Status::failure("setting the DDE item", quoted(item),
                               "empty or unusable as a DDE name");
    }
    item_ = item;
    return Status::success();
}

Status DdeClient::openManual() {
    return withoutExceptions([this] { return connect(); });
}

Status DdeClient::connect() {
    if (conversation_.state() == DdeConversation::State::Ended) {
        return failure("connecting to", "the conversation has ended");
    }
    if (conversation_.state() != DdeConversation::State::NotConnected) {
        return Status::success();
    }
    if (application_.empty() || item_.empty()) {
        return Status::failure("connecting over DDE", "", "no topic or item set");
    }
    if (Status made = makeWindow(); !made.ok()) {
        return made;
    }
    const GlobalAtom application(GlobalAddAtomW(application_.c_str()));
    const GlobalAtom topic(GlobalAddAtomW(topic_.c_str()));
    if (!application || !topic) {
        return windowsFailure("connecting to", GetLastError());
    }
    // Every server of that name and topic answers while this call lasts; the first one wins.
    conversation_.initiateSent();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(window_.get()),
                        MAKELPARAM(application.get(), topic.get()), SMTO_ABORTIFHUNG,
                        kInitiateTimeoutMs, &ignored);
    conversation_.initiateOver(server_ != nullptr, GetTickCount());
    return server_ != nullptr ? Status::success()
                              : failure("connecting to", "no DDE server answers");
}

// --- A request, step by step -----------------------------------------------------------------

Status DdeClient::request(std::wstring& record) {
    return withoutExceptions([&] {
        if (Status can = checkCanAsk(); !can.ok()) {
            return can;
        }
        // From here on the request is under way, and over when this returns, however it ends.
        struct Done {
            DdeClient& link;
            ~Done() { link.conversation_.requestDone(); }
        } done{*this};
        if (Status sent = sendRequest(); !sent.ok()) {
            return sent;
        }
        waitForAnswer();
        return readAnswer(record);
    });
}

Status DdeClient::checkCanAsk() {
    const std::optional<std::string_view> why = conversation_.whyCannotAsk(partnerGone());
    return why ? failure("requesting", *why) : Status::success();
}

Status DdeClient::sendRequest() {
    GlobalAtom item(GlobalAddAtomW(item_.c_str()));
    if (!item) {
        return windowsFailure("requesting", GetLastError());
    }
    PackedDdeParam packed({WM_DDE_REQUEST, PackDDElParam(WM_DDE_REQUEST, CF_TEXT, item.get())});
    if (!PostMessageW(server_, WM_DDE_REQUEST, reinterpret_cast<WPARAM>(window_.get()),
                      packed.get().lParam)) {
        const DWORD error = GetLastError();
        return partnerGone() ? goneFailure() : windowsFailure("requesting", error);
    }
    item.release();  // the server deletes it with its answer
    packed.release();
    conversation_.requestSent(GetTickCount());
    return Status::success();
}

void DdeClient::waitForAnswer() {
    const auto waiting = [this] {
        return conversation_.state() == DdeConversation::State::Waiting;
    };
    const DWORD start = GetTickCount();
    bool lastLook = false;
    for (;;) {
        MSG message;
        while (waiting() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));  // for the program's loop
                return;
            }
            step_(message);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (!waiting() || elapsed >= kAnswerTimeoutMs || lastLook) {
            return;
        }
        if (partnerGone()) {
            // A program that answers and quits at once may be gone before its answer was
            // taken: what it posted is in the queue already, and is looked at once more.
            lastLook = true;
            continue;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  std::min<DWORD>(kAnswerTimeoutMs - elapsed, kPartnerCheckMs),
                                  QS_ALLINPUT);
    }
}

Status DdeClient::readAnswer(std::wstring& record) {
    const std::optional<std::string_view> why = conversation_.whyNoRecord(partnerGone());
    return why ? failure("requesting", *why) : readRecord(*conversation_.reply(), record);
}

Status DdeClient::readRecord(const DdeConversation::Reply& reply, std::wstring& record) {
    if (reply.format != CF_TEXT) {
        return failure("requesting",
                       "answer in clipboard format " + std::to_string(reply.format) + ", not text");
    }
    const std::optional<std::string_view> text =
        reply.bytes ? recordText(*reply.bytes, reply.size) : std::nullopt;
    if (!text) {
        return failure("requesting", reply.bytes && reply.size > kMaxRecordBytes
                                         ? "record of " + std::to_string(reply.size) +
                                               " bytes is longer than " +
                                               std::to_string(kMaxRecordBytes)
                                         : std::string("record could not be read whole"));
    }
    std::optional<std::wstring> wide = win::wideFromCodePage(*text, CP_ACP);
    if (!wide) {
        return failure("requesting", "record is not text in the ANSI code page");
    }
    record = std::move(*wide);
    return Status::success();
}

}  // namespace vorkel
