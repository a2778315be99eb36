// Wine's GDI handle table, found through the process environment block and counted cell by cell.
#include "tests/instruments/wine_gdi_objects.h"

#include <windows.h>

#include <cstring>
#include <optional>

namespace vorkel::testing {
namespace {

// Whether [address, address + bytes) is committed memory this process may read.
bool readable(std::uintptr_t address, std::size_t bytes) {
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const std::uintptr_t end = address + bytes;
    if (address == 0 || end < address) {
        return false;
    }
    for (std::uintptr_t at = address; at < end;) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) == 0 ||
            info.State != MEM_COMMIT || (info.Protect & kReadable) == 0 ||
            (info.Protect & PAGE_GUARD) != 0) {
            return false;
        }
        const std::uintptr_t regionEnd =
            reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at) {
            return false;
        }
        at = regionEnd;
    }
    return true;
}

template <typename T>
std::optional<T> readAt(std::uintptr_t address) {
    if (!readable(address, sizeof(T))) {
        return std::nullopt;
    }
    T value;
    std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
    return value;
}

// The thread's own block, read directly: NtCurrentTeb() trips a false array-bounds warning,
// and ntdll is not among the DLLs the exe may import.
std::uintptr_t threadBlock() {
    std::uintptr_t block = 0;
#if defined(__x86_64__)
    asm("movq %%gs:0x30, %0" : "=r"(block));
#elif defined(__i386__)
    asm("movl %%fs:0x18, %0" : "=r"(block));
#endif
    return block;
}

// Where Wine keeps the process's GDI handle table: in the PEB (GdiSharedHandleTable). A 32-bit
// process that Wine runs on its 64-bit side has it in the 64-bit PEB, whose thread block's
// address Wine keeps in the 32-bit block's GdiBatchCount. 0 when any step leads nowhere.
std::uintptr_t wineGdiTable() {
    const std::uintptr_t thread = threadBlock();
#if defined(__x86_64__)
    const auto peb = readAt<std::uint64_t>(thread + 0x60);
    const auto table = peb ? readAt<std::uint64_t>(*peb + 0xF8) : std::nullopt;
    return table ? *table : 0;
#elif defined(__i386__)
    constexpr std::uint64_t kReach = 0xFFFFFFFFu;  // what a 32-bit pointer can address
    if (const auto thread64 = readAt<std::uint32_t>(thread + 0xF70); thread64 && *thread64) {
        const auto peb64 = readAt<std::uint64_t>(std::uintptr_t{*thread64} + 0x60);
        if (!peb64 || *peb64 > kReach - 0xF8) {
            return 0;
        }
        const auto table = readAt<std::uint64_t>(static_cast<std::uintptr_t>(*peb64) + 0xF8);
        return table && *table <= kReach ? static_cast<std::uintptr_t>(*table) : 0;
    }
    const auto peb = readAt<std::uint32_t>(thread + 0x30);
    const auto table = peb ? readAt<std::uint32_t>(std::uintptr_t{*peb} + 0x94) : std::nullopt;
    return table ? *table : 0;
#else
    return 0;
#endif
}

}  // namespace

// Wine's table has 0x10000 cells of 24 bytes in both bitnesses; a cell in use has a non-zero
// type byte (offset 14). A freed cell keeps a pointer in its first field, so that is no sign.
std::int64_t wineGdiObjects() {
    constexpr std::size_t kCells = 0x10000;
    constexpr std::size_t kCellBytes = 24;
    constexpr std::size_t kTypeOffset = 14;
    const std::uintptr_t table = wineGdiTable();
    if (!readable(table, kCells * kCellBytes)) {
        return -1;
    }
    const auto* cells = reinterpret_cast<const unsigned char*>(table);
    std::int64_t used = 0;
    for (std::size_t cell = 0; cell < kCells; ++cell) {
        used += cells[cell * kCellBytes + kTypeOffset] != 0 ? 1 : 0;
    }
    return used;
}

}  // namespace vorkel::testing
