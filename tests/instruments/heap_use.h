// What the process's heaps hold: the measure of leaks in the link's tests and the long runs.
#pragma once

#include <cstdint>

namespace vorkel::testing {

struct HeapUse {
    std::int64_t bytes = 0;   // in use, in all of the process's heaps
    std::int64_t blocks = 0;  // blocks in use in them
};

// Every heap, not only the process heap: the C runtime allocates from a heap of its own.
HeapUse heapInUse();

}  // namespace vorkel::testing
