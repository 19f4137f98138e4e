#include "LargeMemory.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void AdviseLargePages(const void* p, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kLarge = uintptr_t{2} << 20;
    // Smaller blocks come from the heap's own pages, which this must not change.
    if (!p || bytes < 4 * kLarge)
        return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + kLarge - 1) & ~(kLarge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kLarge - 1);
    if (begin < end)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // advice only
#else
    (void)p;
    (void)bytes;
#endif
}
