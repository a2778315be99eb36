// Handle owners that only the tools and the tests need: processes, threads and events they
// start or wait on, and the C streams of their logs.
#pragma once

#include <windows.h>

#include <cstdio>

#include "win/unique_handle.h"

namespace vorkel::win {

// Kernel objects whose empty value is null: processes, threads, events.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return nullptr; }
    static void release(Handle handle) { CloseHandle(handle); }
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

// C runtime streams, for the tools' logs.
struct CFileTraits {
    using Handle = std::FILE*;
    static Handle empty() { return nullptr; }
    static void release(Handle file) { std::fclose(file); }
};
using UniqueCFile = UniqueHandle<CFileTraits>;

}  // namespace vorkel::win
