// What the process's heaps hold, walked block by block.
#include "tests/instruments/heap_use.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace vorkel::testing {

HeapUse heapInUse() {
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

}  // namespace vorkel::testing
