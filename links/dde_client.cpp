#include "links/dde_client.h"

// clang-format off
#include <dde.h>
#include <ddeml.h>  // DDE_FACK
// clang-format on

#include <algorithm>
#include <cstddef>
#include <new>
#include <string_view>

#include "links/record_bytes.h"
#include "links/windows_failure.h"
#include "win/text_conversion.h"

namespace vorkel::win {

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

DdeClient::DdeClient() = default;

DdeClient::~DdeClient() {
    if (!window_) {
        return;
    }
    if (conversationOpen() && !partnerGone() &&
        PostMessageW(server_, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window_.get()), 0)) {
        goodbyeSent_ = true;
        // The window stays until the partner has answered the goodbye, so that answers still
        // on their way are taken in and their memory freed. Only the link's own messages are
        // handled: the rest of the program may be closing.
        // Elapsed time by unsigned difference: right across the tick count's wrap (XP has
        // no 64-bit count).
        const DWORD start = GetTickCount();
        while (!ended_ && !partnerGone()) {
            MSG message;
            while (!ended_ && PeekMessageW(&message, window_.get(), 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            const DWORD elapsed = GetTickCount() - start;
            if (ended_ || elapsed >= kAnswerTimeoutMs) {
                break;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                      std::min<DWORD>(kAnswerTimeoutMs - elapsed, 10),
                                      QS_POSTMESSAGE | QS_SENDMESSAGE);
        }
    }
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

Status DdeClient::makeWindow() {
    if (window_) {
        return Status::success();
    }
    if (!registerWindowClass(&DdeClient::windowProc)) {
        return windowsFailure("registering the DDE window of", application_, GetLastError());
    }
    // A message-only window: it takes part in no broadcast, it only talks to its partner.
    DdeWindow window(CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     GetModuleHandleW(nullptr), nullptr));
    if (!window) {
        return windowsFailure("making the DDE window of", application_, GetLastError());
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
                link->onAck(from, lParam);
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

void DdeClient::onAck(HWND from, LPARAM lParam) noexcept {
    if (initiating_) {
        // A server taking the initiate: sent, not posted, so the atoms come unpacked, and
        // they are ours to delete.
        GlobalDeleteAtom(LOWORD(lParam));
        GlobalDeleteAtom(HIWORD(lParam));
        if (server_ == nullptr) {
            server_ = from;
        } else if (from != server_) {
            // One conversation is enough; the others are ended politely.
            PostMessageW(from, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window_.get()), 0);
        }
        return;
    }
    if (from != server_ || server_ == nullptr) {
        return;  // not from our partner: nothing we sent, nothing to free
    }
    const PackedDdeParam packed({WM_DDE_ACK, lParam});
    UINT_PTR status = 0;
    UINT_PTR item = 0;
    if (!UnpackDDElParam(WM_DDE_ACK, lParam, &status, &item)) {
        return;
    }
    // A positive acknowledgement is no answer to a request: Wine's DDEML servers send one
    // after the data, naming the item with the very atom that came with the data, which was
    // deleted then. A negative one is the refusal, and its atom is ours to delete.
    if ((status & DDE_FACK) != 0) {
        return;
    }
    GlobalDeleteAtom(static_cast<ATOM>(item));
    if (answerArrived()) {
        answer_ = Answer::Refused;
    } else {
        ++answersIgnored_;
    }
}

bool DdeClient::answerArrived() noexcept {
    if (unanswered_ == 0) {
        return false;
    }
    if (--unanswered_ == 0 && requesting_ && answer_ == Answer::None) {
        lastTakenAt_ = GetTickCount();
        lateSinceTaken_ = false;
        return true;
    }
    lateSinceTaken_ = true;
    return false;
}

void DdeClient::requestSent() noexcept {
    const DWORD now = GetTickCount();
    // A server that answers, but only ever late, has most likely lost an answer (or answers
    // a request's worth behind): after a while its answers are believed again, or every later
    // answer would be counted as late for good.
    if (unanswered_ > 0 && lateSinceTaken_ && now - lastTakenAt_ > kForgetUnansweredMs) {
        unanswered_ = 0;
        lateSinceTaken_ = false;
    }
    ++unanswered_;
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

    bool response = false;
    bool release = false;
    bool ackRequested = false;
    if (const auto* header = static_cast<const DDEDATA*>(data ? GlobalLock(data) : nullptr)) {
        response = header->fResponse != 0;
        release = header->fRelease != 0;
        ackRequested = header->fAckReq != 0;
        const bool fromPartner = from == server_ && server_ != nullptr;
        if (fromPartner && response && answerArrived()) {
            takeRecord(*header, GlobalSize(data));
        } else {
            ++answersIgnored_;
        }
        GlobalUnlock(data);
    } else {
        ++answersIgnored_;
    }

    // The memory goes back by the rule its flags state: the receiver frees it when told to
    // (fRelease); otherwise the sender does, once it has the acknowledgement it asked for.
    if (data != nullptr && (release || receiverOwnsCopies())) {
        GlobalFree(data);
    }
    if (ackRequested) {
        const LPARAM ack = ReuseDDElParam(packed.release().lParam, WM_DDE_DATA, WM_DDE_ACK,
                                          DDE_FACK, itemAtom.get());
        if (PostMessageW(from, WM_DDE_ACK, reinterpret_cast<WPARAM>(window_.get()), ack)) {
            itemAtom.release();  // the sender deletes it
        } else {
            FreeDDElParam(WM_DDE_ACK, ack);
        }
    }
}

void DdeClient::takeRecord(const DDEDATA& data, SIZE_T size) noexcept {
    answerSize_ = size >= kDataHeaderBytes ? size - kDataHeaderBytes : 0;
    answerFormat_ = static_cast<UINT>(static_cast<unsigned short>(data.cfFormat));
    try {
        answerBytes_.assign(reinterpret_cast<const char*>(data.Value), bytesToRead(answerSize_));
        answerWhole_ = true;
    } catch (const std::bad_alloc&) {
        answerBytes_.clear();
        answerWhole_ = false;
    }
    answer_ = Answer::Data;
}

void DdeClient::onTerminate(HWND from) noexcept {
    if (from != server_ || server_ == nullptr || ended_) {
        return;  // e.g. a second server answering our goodbye to it
    }
    if (goodbyeSent_) {
        ended_ = true;  // the partner's answer to our goodbye
        return;
    }
    // The partner ends the conversation: it is answered in kind and never made again.
    PostMessageW(server_, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window_.get()), 0);
    if (requesting_ && answer_ == Answer::None) {
        answer_ = Answer::Ended;
    }
    endConversation();
}

void DdeClient::endConversation() noexcept {
    ended_ = true;
    unanswered_ = 0;
}

bool DdeClient::partnerGone() const {
    return server_ == nullptr || !IsWindow(server_);
}

bool DdeClient::conversationOpen() const {
    return everConnected_ && !ended_;
}

Status DdeClient::failure(const char* doing, const std::string& why) const {
    return Status::failure(std::string(doing) + ' ' + utf8FromWide(application_) + '|' +
                           utf8FromWide(topic_) + '!' + utf8FromWide(item_) + ": " + why);
}

Status DdeClient::setTopic(const std::wstring& applicationAndTopic) {
    const std::size_t bar = applicationAndTopic.find(L'|');
    if (bar == std::wstring::npos ||
        applicationAndTopic.find(L'|', bar + 1) != std::wstring::npos) {
        return Status::failure("DDE topic \"" + utf8FromWide(applicationAndTopic) +
                               "\" is not of the form application|topic");
    }
    std::wstring application = applicationAndTopic.substr(0, bar);
    std::wstring topic = applicationAndTopic.substr(bar + 1);
    if (!validName(application) || !validName(topic)) {
        return Status::failure("DDE topic \"" + utf8FromWide(applicationAndTopic) +
                               "\" has an empty or unusable name");
    }
    application_ = std::move(application);
    topic_ = std::move(topic);
    return Status::success();
}

Status DdeClient::setItem(const std::wstring& item) {
    if (!validName(item)) {
        return Status::failure("DDE item \"" + utf8FromWide(item) + "\" is empty or unusable");
    }
    item_ = item;
    return Status::success();
}

Status DdeClient::openManual() try {
    if (everConnected_) {
        return ended_ ? failure("connecting to", "the conversation has ended") : Status::success();
    }
    if (application_.empty() || item_.empty()) {
        return Status::failure("connecting over DDE: no topic or item set");
    }
    if (Status made = makeWindow(); !made.ok()) {
        return made;
    }
    const GlobalAtom application(GlobalAddAtomW(application_.c_str()));
    const GlobalAtom topic(GlobalAddAtomW(topic_.c_str()));
    if (!application || !topic) {
        return failure("naming", windowsErrorText(GetLastError()));
    }
    // Every server of that name and topic answers while this call lasts; the first one wins.
    initiating_ = true;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(window_.get()),
                        MAKELPARAM(application.get(), topic.get()), SMTO_ABORTIFHUNG,
                        kInitiateTimeoutMs, &ignored);
    initiating_ = false;
    if (server_ == nullptr) {
        return failure("connecting to", "no DDE server answers");
    }
    everConnected_ = true;
    lastTakenAt_ = GetTickCount();
    return Status::success();
} catch (const std::bad_alloc&) {
    return Status::failure("out of memory");
}

void DdeClient::waitForAnswer() {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (answer_ == Answer::None && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));  // for the program's loop
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (answer_ != Answer::None || elapsed >= kAnswerTimeoutMs || partnerGone()) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  std::min<DWORD>(kAnswerTimeoutMs - elapsed, kPartnerCheckMs),
                                  QS_ALLINPUT);
    }
}

Status DdeClient::request(std::wstring& out) try {
    if (requesting_) {
        return failure("requesting", "another request is under way");
    }
    if (ended_) {
        return failure("requesting", "the conversation has ended");
    }
    if (!everConnected_) {
        return failure("requesting", "no conversation open");
    }
    if (partnerGone()) {
        endConversation();
        return failure("requesting", "the tracking program has gone");
    }
    requesting_ = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{requesting_};

    GlobalAtom item(GlobalAddAtomW(item_.c_str()));
    if (!item) {
        return failure("naming item of", windowsErrorText(GetLastError()));
    }
    PackedDdeParam packed({WM_DDE_REQUEST, PackDDElParam(WM_DDE_REQUEST, CF_TEXT, item.get())});
    answer_ = Answer::None;
    if (!PostMessageW(server_, WM_DDE_REQUEST, reinterpret_cast<WPARAM>(window_.get()),
                      packed.get().lParam)) {
        const DWORD error = GetLastError();
        if (partnerGone()) {
            endConversation();
            return failure("requesting", "the tracking program has gone");
        }
        return failure("requesting", "could not post the request: " + windowsErrorText(error));
    }
    item.release();  // the server deletes it with its answer
    packed.release();
    requestSent();

    waitForAnswer();
    switch (answer_) {
        case Answer::None:
            if (partnerGone()) {
                endConversation();
                return failure("requesting", "the tracking program has gone");
            }
            return failure("requesting", "no answer in time");
        case Answer::Refused:
            return failure("requesting", "refused by the tracking program");
        case Answer::Ended:
            return failure("requesting", "the tracking program has ended the conversation");
        case Answer::Data:
            break;
    }
    answer_ = Answer::None;
    if (answerFormat_ != CF_TEXT) {
        return failure("requesting", "answer in clipboard format " + std::to_string(answerFormat_) +
                                         ", not text");
    }
    const std::optional<std::string_view> record =
        answerWhole_ ? recordText(answerBytes_, answerSize_) : std::nullopt;
    if (!record) {
        return failure("requesting", answerWhole_ && answerSize_ > kMaxRecordBytes
                                         ? "record of " + std::to_string(answerSize_) +
                                               " bytes is longer than " +
                                               std::to_string(kMaxRecordBytes)
                                         : std::string("record could not be read whole"));
    }
    std::optional<std::wstring> text = wideFromCodePage(*record, CP_ACP);
    if (!text) {
        return failure("requesting", "record is not text in the ANSI code page");
    }
    out = std::move(*text);
    return Status::success();
} catch (const std::bad_alloc&) {
    return Status::failure("out of memory");
}

}  // namespace vorkel::win
