// Heap balance for tests that check every block of something is freed. glibc's per-thread cache
// keeps freed blocks counted as in use, so these tests run with it off (ctest sets
// GLIBC_TUNABLES=glibc.malloc.tcache_count=0).
#pragma once

#include <malloc.h>

#include <cstddef>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' allocators keep their own books; the trees are still built and released, and
// AddressSanitizer's leak check reports what stays.
inline std::size_t heapInUse()
{
    return 0;
}
#define ASSERT_HEAP_COUNTS_FREES()
#else
// Bytes of the heap handed out and not given back.
inline std::size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// Whether a freed block leaves heapInUse(). While the per-thread cache is on, a free puts the
// block in the cache and the count stays where it was.
inline bool heapCountsFrees()
{
    void *volatile block = std::malloc(48);
    const std::size_t held = heapInUse();
    std::free(block);
    return heapInUse() < held;
}

#define ASSERT_HEAP_COUNTS_FREES()                                                                 \
    ASSERT_TRUE(heapCountsFrees()) << "run with GLIBC_TUNABLES=glibc.malloc.tcache_count=0"
#endif
