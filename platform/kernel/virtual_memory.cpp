// Virtual memory as the platform hands it out: blocks start on the 64 KiB allocation
// granularity, whatever the page size, and are released whole by their base address.
#include "plat/kernel.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <mutex>

namespace {

constexpr uintptr_t kGranularity = 0x10000;

struct Blocks {
    std::mutex lock;
    std::map<uintptr_t, size_t> sizes; // base -> mapped length
};

Blocks& TheBlocks() {
    static Blocks* blocks = new Blocks; // outlives every static destructor that might free
    return *blocks;
}

size_t PageSize() {
    static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

BOOL Fail(DWORD dwError) {
    SetLastError(dwError);
    return FALSE;
}

} // namespace

LPVOID VirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect) {
    // Only what the system asks for: a new block, reserved and committed together.
    if (lpAddress || dwSize == 0 || !(flAllocationType & (MEM_COMMIT | MEM_RESERVE)) ||
        (flAllocationType & ~(MEM_COMMIT | MEM_RESERVE))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int prot = flProtect == PAGE_READWRITE  ? PROT_READ | PROT_WRITE
               : flProtect == PAGE_READONLY ? PROT_READ
               : flProtect == PAGE_NOACCESS ? PROT_NONE
                                            : -1;
    if (prot < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const size_t page = PageSize();
    if (dwSize > SIZE_MAX - kGranularity - page) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const size_t length = (dwSize + page - 1) / page * page;
    // Map a granule more than asked and trim both ends so the block starts on a granule.
    const size_t span = length + kGranularity;
    void* p = ::mmap(nullptr, span, prot, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const auto start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t base = (start + kGranularity - 1) & ~(kGranularity - 1);
    if (base > start) ::munmap(p, base - start);
    const uintptr_t end = start + span;
    if (end > base + length) ::munmap(reinterpret_cast<void*>(base + length), end - (base + length));
    Blocks& blocks = TheBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    blocks.sizes[base] = length;
    return reinterpret_cast<LPVOID>(base);
}

BOOL VirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType) {
    const auto address = reinterpret_cast<uintptr_t>(lpAddress);
    Blocks& blocks = TheBlocks();
    std::lock_guard<std::mutex> guard(blocks.lock);
    if (dwFreeType == MEM_RELEASE) {
        // Released whole: the size must be 0 and the address a block's base.
        if (dwSize != 0) return Fail(ERROR_INVALID_PARAMETER);
        auto it = blocks.sizes.find(address);
        if (it == blocks.sizes.end()) return Fail(ERROR_INVALID_ADDRESS);
        ::munmap(lpAddress, it->second);
        blocks.sizes.erase(it);
        return TRUE;
    }
    if (dwFreeType == MEM_DECOMMIT) {
        // The pages go back to the system and read as zero when touched again.
        auto it = blocks.sizes.upper_bound(address);
        if (it == blocks.sizes.begin()) return Fail(ERROR_INVALID_ADDRESS);
        --it;
        const uintptr_t blockEnd = it->first + it->second;
        if (address >= blockEnd) return Fail(ERROR_INVALID_ADDRESS);
        const size_t page = PageSize();
        const uintptr_t from = address & ~(page - 1);
        const uintptr_t to = dwSize == 0 ? blockEnd : (address + dwSize + page - 1) & ~(page - 1);
        if ((dwSize == 0 && address != it->first) || to > blockEnd) return Fail(ERROR_INVALID_PARAMETER);
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        return TRUE;
    }
    return Fail(ERROR_INVALID_PARAMETER);
}
