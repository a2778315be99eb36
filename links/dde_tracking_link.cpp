#include "links/dde_tracking_link.h"

#include <dde.h>

#include <algorithm>
#include <climits>
#include <new>
#include <string_view>
#include <vector>

#include "links/record_bytes.h"
#include "links/windows_error.h"

namespace vorkel::win {

namespace {

// DDE names are atoms, which hold at most 255 characters.
constexpr std::size_t kMaxNameLength = 255;

// Which link owns which conversation, for the callback. DDEML calls back only on the thread
// that made the instance, so each thread keeps its own list.
struct Registration {
    HCONV conversation;
    DdeTrackingLink* link;
};
thread_local std::vector<Registration> registrations;

void unregister(HCONV conversation) noexcept {
    std::erase_if(registrations,
                  [conversation](const Registration& r) { return r.conversation == conversation; });
}

// DDEML reports its own error codes through DdeGetLastError, which FormatMessage knows nothing
// about.
std::string ddeErrorText(UINT error) {
    const char* text = nullptr;
    switch (error) {
        case DMLERR_NO_ERROR:
            text = "no error reported";
            break;
        case DMLERR_ADVACKTIMEOUT:
            text = "advise request timed out";
            break;
        case DMLERR_BUSY:
            text = "partner busy";
            break;
        case DMLERR_DATAACKTIMEOUT:
            text = "no answer in time";
            break;
        case DMLERR_DLL_NOT_INITIALIZED:
            text = "DDEML not initialised";
            break;
        case DMLERR_DLL_USAGE:
            text = "instance is client-only";
            break;
        case DMLERR_EXECACKTIMEOUT:
            text = "execute request timed out";
            break;
        case DMLERR_INVALIDPARAMETER:
            text = "invalid parameter";
            break;
        case DMLERR_LOW_MEMORY:
            text = "partner too far behind";
            break;
        case DMLERR_MEMORY_ERROR:
            text = "out of memory";
            break;
        case DMLERR_NOTPROCESSED:
            text = "refused by the tracking program";
            break;
        case DMLERR_NO_CONV_ESTABLISHED:
            text = "no conversation";
            break;
        case DMLERR_POKEACKTIMEOUT:
            text = "poke request timed out";
            break;
        case DMLERR_POSTMSG_FAILED:
            text = "could not post a message";
            break;
        case DMLERR_REENTRANCY:
            text = "another request is under way";
            break;
        case DMLERR_SERVER_DIED:
            text = "the tracking program has gone";
            break;
        case DMLERR_SYS_ERROR:
            text = "internal DDEML error";
            break;
        case DMLERR_UNADVACKTIMEOUT:
            text = "unadvise request timed out";
            break;
        case DMLERR_UNFOUND_QUEUE_ID:
            text = "unknown transaction";
            break;
        default:
            text = "unknown DDEML error";
            break;
    }
    return "DDE error " + std::to_string(error) + ": " + text;
}

bool validName(std::wstring_view name) {
    return !name.empty() && name.size() <= kMaxNameLength &&
           name.find(L'\0') == std::wstring_view::npos;
}

// The partner's window goes with the partner: a conversation whose server window is gone is
// over, even if DDEML has not said so yet (a killed program sends no goodbye).
bool partnerGone(HCONV conversation) {
    CONVINFO info{};
    info.cb = sizeof info;
    if (DdeQueryConvInfo(conversation, QID_SYNC, &info) == 0) {
        return true;
    }
    return (info.wStatus & ST_CONNECTED) == 0 || !IsWindow(info.hwndPartner);
}

}  // namespace

std::optional<std::wstring> wideFromCodePage(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) {
        return std::wstring();
    }
    // Callers hold bytes to a few KiB; anything that does not fit an int is not a record.
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::nullopt;
    }
    const int length = static_cast<int>(bytes.size());
    const int wideLength =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(),
                            wideLength) != wideLength) {
        return std::nullopt;
    }
    return wide;
}

DdeTrackingLink::DdeTrackingLink(StationView& view) : view_(view) {}

DdeTrackingLink::~DdeTrackingLink() {
    unregister(conversation_.get());
}

HDDEDATA CALLBACK DdeTrackingLink::callback(UINT type, UINT, HCONV conversation, HSZ, HSZ, HDDEDATA,
                                            ULONG_PTR, ULONG_PTR) noexcept {
    if (type == XTYP_DISCONNECT) {
        const auto found = std::find_if(
            registrations.begin(), registrations.end(),
            [conversation](const Registration& r) { return r.conversation == conversation; });
        if (found != registrations.end()) {
            found->link->endConversation(false);
        }
    }
    return nullptr;
}

void DdeTrackingLink::handleWaitingMessages() {
    if (conversationWindow_ == nullptr) {
        return;
    }
    // Only the conversation's own DDE messages: the application's are not ours to handle.
    MSG message;
    while (PeekMessageW(&message, conversationWindow_, WM_DDE_FIRST, WM_DDE_LAST, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

void DdeTrackingLink::endConversation(bool disconnect) noexcept {
    unregister(conversation_.get());
    if (disconnect) {
        conversation_.reset();
    } else {
        conversation_.release();
    }
    conversationWindow_ = nullptr;
    ended_ = true;
}

bool DdeTrackingLink::conversationOpen() const {
    return conversation_.valid() && !ended_;
}

Status DdeTrackingLink::failure(const char* doing, const std::string& why) const {
    return Status::failure(std::string(doing) + ' ' + utf8FromWide(application_) + '|' +
                           utf8FromWide(topic_) + '!' + utf8FromWide(item_) + ": " + why);
}

Status DdeTrackingLink::ddeFailure(const char* doing, UINT error) const {
    return failure(doing, ddeErrorText(error));
}

Status DdeTrackingLink::setTopic(const std::wstring& applicationAndTopic) {
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

Status DdeTrackingLink::setItem(const std::wstring& item) {
    if (!validName(item)) {
        return Status::failure("DDE item \"" + utf8FromWide(item) + "\" is empty or unusable");
    }
    if (instance_) {
        DdeString handle = makeDdeString(instance_.get(), item.c_str());
        if (!handle) {
            return failure("naming item of", ddeErrorText(DdeGetLastError(instance_.get())));
        }
        itemHandle_ = std::move(handle);
    }
    item_ = item;
    return Status::success();
}

Status DdeTrackingLink::openManual() try {
    if (everConnected_) {
        return ended_ ? failure("connecting to", "the conversation has ended") : Status::success();
    }
    if (application_.empty() || item_.empty()) {
        return Status::failure("connecting over DDE: no topic or item set");
    }
    if (!instance_) {
        DWORD id = 0;
        const UINT error = DdeInitializeW(
            &id, &DdeTrackingLink::callback,
            APPCMD_CLIENTONLY | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS, 0);
        if (error != DMLERR_NO_ERROR) {
            return ddeFailure("starting DDE for", error);
        }
        instance_.reset(id);
    }
    const DWORD instance = instance_.get();
    const DdeString application = makeDdeString(instance, application_.c_str());
    const DdeString topic = makeDdeString(instance, topic_.c_str());
    if (!itemHandle_) {
        itemHandle_ = makeDdeString(instance, item_.c_str());
    }
    if (!application || !topic || !itemHandle_) {
        return ddeFailure("naming", DdeGetLastError(instance));
    }
    registrations.reserve(registrations.size() + 1);
    DdeConversation conversation(
        DdeConnect(instance, application.get().handle, topic.get().handle, nullptr));
    if (!conversation) {
        return ddeFailure("connecting to", DdeGetLastError(instance));
    }
    CONVINFO info{};
    info.cb = sizeof info;
    if (DdeQueryConvInfo(conversation.get(), QID_SYNC, &info) != 0) {
        conversationWindow_ = info.hwnd;
    }
    registrations.push_back({conversation.get(), this});
    conversation_ = std::move(conversation);
    everConnected_ = true;
    return Status::success();
} catch (const std::bad_alloc&) {
    return Status::failure("out of memory");
}

Status DdeTrackingLink::request() try {
    if (requesting_) {
        return failure("requesting", "another request is under way");
    }
    requesting_ = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{requesting_};

    // This may also bring the news that the conversation is over.
    handleWaitingMessages();
    if (ended_) {
        return failure("requesting", "the conversation has ended");
    }
    if (!conversation_) {
        return failure("requesting", "no conversation open");
    }

    // The conversation can end while we wait (the callback drops it), so the handle is copied.
    const HCONV conversation = conversation_.get();
    DWORD result = 0;
    const DdeData data(DdeClientTransaction(nullptr, 0, conversation, itemHandle_.get().handle,
                                            CF_TEXT, XTYP_REQUEST, kAnswerTimeoutMs, &result));
    if (!data) {
        const UINT error = DdeGetLastError(instance_.get());
        // Unless the callback has already seen the end while we waited.
        if (!ended_ && (error == DMLERR_NO_CONV_ESTABLISHED || partnerGone(conversation))) {
            endConversation(true);
        }
        return ddeFailure("requesting", error);
    }

    const DWORD size = DdeGetData(data.get(), nullptr, 0, 0);
    std::string bytes(bytesToRead(size), '\0');
    const DWORD copied = DdeGetData(data.get(), reinterpret_cast<LPBYTE>(bytes.data()),
                                    static_cast<DWORD>(bytes.size()), 0);
    bytes.resize(std::min<std::size_t>(copied, bytes.size()));
    const std::optional<std::string_view> record = recordText(bytes, size);
    if (!record) {
        return failure("requesting", size > kMaxRecordBytes
                                         ? "record of " + std::to_string(size) +
                                               " bytes is longer than " +
                                               std::to_string(kMaxRecordBytes)
                                         : std::string("record could not be read whole"));
    }
    std::optional<std::wstring> text = wideFromCodePage(*record, CP_ACP);
    if (!text) {
        return failure("requesting", "record is not text in the ANSI code page");
    }
    view_.setFieldText(Field::Label1, *text);
    return Status::success();
} catch (const std::bad_alloc&) {
    return Status::failure("out of memory");
}

}  // namespace vorkel::win
