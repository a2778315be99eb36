#include "ui/resource_use.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vorkel::ui {
namespace {

struct HeapUse {
    std::int64_t bytes = 0;
    std::int64_t blocks = 0;
};

// Every heap, not only the process heap: the C runtime allocates from a heap of its own.
HeapUse heapUse() {
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    heaps.resize(std::min<std::size_t>(count, heaps.size()));
    HeapUse use;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) {
            continue;
        }
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                use.bytes += static_cast<std::int64_t>(entry.cbData);
                ++use.blocks;
            }
        }
        HeapUnlock(heap);
    }
    return use;
}

// Windows counts a process's GDI objects; Wine answers 0, but keeps them in a table of 24-byte
// cells in the process's own memory, found through the PEB, whose cells start with a non-null
// object pointer while in use. (Windows' own table, shared between processes, is only read
// through GetGuiResources.)
std::int64_t gdiObjects() {
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); counted != 0) {
        return counted;
    }
#if defined(__x86_64__)
    constexpr std::size_t kTableOffset = 0xF8;  // PEB.GdiSharedHandleTable
    constexpr std::size_t kCellBytes = 24;
    constexpr std::size_t kCells = 0x10000;
    // The PEB's address from the thread block, read directly: NtCurrentTeb() trips a false
    // array-bounds warning, and ntdll is not among the DLLs the exe may import.
    const unsigned char* peb = nullptr;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    if (peb == nullptr) {
        return -1;
    }
    const unsigned char* table = nullptr;
    std::memcpy(&table, peb + kTableOffset, sizeof table);
    if (table == nullptr) {
        return -1;
    }
    std::int64_t used = 0;
    for (std::size_t cell = 0; cell < kCells; ++cell) {
        std::uint64_t object = 0;
        std::memcpy(&object, table + cell * kCellBytes, sizeof object);
        used += object != 0 ? 1 : 0;
    }
    return used;
#else
    return -1;
#endif
}

}  // namespace

std::int64_t measureResource(WPARAM figure) {
    switch (static_cast<ResourceFigure>(figure)) {
        case ResourceFigure::heapBytes:
            return heapUse().bytes;
        case ResourceFigure::heapBlocks:
            return heapUse().blocks;
        case ResourceFigure::gdiObjects:
            return gdiObjects();
        case ResourceFigure::userObjects: {
            const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
            return counted != 0 ? std::int64_t(counted) : -1;
        }
    }
    return -1;
}

}  // namespace vorkel::ui
