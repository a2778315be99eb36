// The kinds of Win32 handle the station owns, each with its empty value and its release: one
// alias per kind, so no file defines its own. (The tools' own are in tools/win/tool_handles.h.)
#pragma once

#include <windows.h>

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

}  // namespace vorkel::win
