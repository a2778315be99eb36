// Owners for the four kinds of DDEML object a client holds: the instance, string handles, a
// conversation and data handles.
#pragma once

// clang-format off
#include <windows.h>
#include <ddeml.h>
// clang-format on

#include "win/unique_handle.h"

namespace vorkel::win {

struct DdeInstanceTraits {
    using Handle = DWORD;
    static Handle empty() { return 0; }
    static void release(Handle instance) { DdeUninitialize(instance); }
};
using DdeInstance = UniqueHandle<DdeInstanceTraits>;

// A string handle is only meaningful together with the instance that made it, and is freed
// through that instance.
struct DdeStringRef {
    DWORD instance = 0;
    HSZ handle = nullptr;
    bool operator==(const DdeStringRef&) const = default;
};
struct DdeStringTraits {
    using Handle = DdeStringRef;
    static Handle empty() { return {}; }
    static void release(Handle string) { DdeFreeStringHandle(string.instance, string.handle); }
};
using DdeString = UniqueHandle<DdeStringTraits>;

struct DdeConversationTraits {
    using Handle = HCONV;
    static Handle empty() { return nullptr; }
    static void release(Handle conversation) { DdeDisconnect(conversation); }
};
using DdeConversation = UniqueHandle<DdeConversationTraits>;

// Data returned to a client by a synchronous transaction belongs to the client.
struct DdeDataTraits {
    using Handle = HDDEDATA;
    static Handle empty() { return nullptr; }
    static void release(Handle data) { DdeFreeDataHandle(data); }
};
using DdeData = UniqueHandle<DdeDataTraits>;

// Makes a string handle of the instance; empty when DDEML refuses (see DdeGetLastError).
inline DdeString makeDdeString(DWORD instance, const wchar_t* text) {
    HSZ handle = DdeCreateStringHandleW(instance, text, CP_WINUNICODE);
    return handle != nullptr ? DdeString({instance, handle}) : DdeString();
}

}  // namespace vorkel::win
