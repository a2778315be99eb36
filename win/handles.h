// The kinds of Win32 handle the station, its tools and its tests own, each with its empty value
// and its release: one alias per kind, so no file defines its own.
#pragma once

#include <windows.h>

#include <cstdio>

#include "win/unique_handle.h"

namespace vorkel::win {

// Files and devices (CreateFile), whose empty value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return INVALID_HANDLE_VALUE; }
    static void release(Handle handle) { CloseHandle(handle); }
};
using UniqueFile = UniqueHandle<FileHandleTraits>;

// Memory the system allocated for us (FormatMessage).
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle empty() { return nullptr; }
    static void release(Handle memory) { LocalFree(memory); }
};
using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;

template <typename T>
struct GdiObjectTraits {
    using Handle = T;
    static Handle empty() { return nullptr; }
    static void release(Handle object) { DeleteObject(object); }
};
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueHandle<GdiObjectTraits<HPEN>>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;

struct WindowTraits {
    using Handle = HWND;
    static Handle empty() { return nullptr; }
    static void release(Handle window) { DestroyWindow(window); }
};
using UniqueWindow = UniqueHandle<WindowTraits>;

// Window hooks (SetWindowsHookEx), for the tests' instruments.
struct HookTraits {
    using Handle = HHOOK;
    static Handle empty() { return nullptr; }
    static void release(Handle hook) { UnhookWindowsHookEx(hook); }
};
using UniqueHook = UniqueHandle<HookTraits>;

// Views of shared memory (MapViewOfFile), for the tests' instruments.
struct ViewTraits {
    using Handle = void*;
    static Handle empty() { return nullptr; }
    static void release(Handle view) { UnmapViewOfFile(view); }
};
using UniqueView = UniqueHandle<ViewTraits>;

// Kernel objects whose empty value is null: processes, threads, events, shared memory.
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
