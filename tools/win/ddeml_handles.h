// Owners for the DDEML objects the simulated tracking program holds: its instance and its string
// handles. (The station itself speaks DDE's window messages, without DDEML.)
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

// Makes a string handle of the instance; empty when DDEML refuses (see DdeGetLastError).
inline DdeString makeDdeString(DWORD instance, const wchar_t* text) {
    HSZ handle = DdeCreateStringHandleW(instance, text, CP_WINUNICODE);
    return handle != nullptr ? DdeString({instance, handle}) : DdeString();
}

}  // namespace vorkel::win
