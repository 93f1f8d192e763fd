#include "AllocationCounter.h"

#include <atomic>
#include <cstddef>

// glibc's own entry points: the replacements below forward to them.
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *pointer, std::size_t size);
void *__libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void *pointer);
}

namespace {
std::atomic<std::uint64_t> g_allocations { 0 };

inline void count()
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

std::uint64_t AllocationCounter::allocations()
{
    return g_allocations.load(std::memory_order_relaxed);
}

extern "C" {

void *malloc(std::size_t size)
{
    count();
    return __libc_malloc(size);
}

void *calloc(std::size_t count_, std::size_t size)
{
    count();
    return __libc_calloc(count_, size);
}

void *realloc(void *pointer, std::size_t size)
{
    count();
    return __libc_realloc(pointer, size);
}

void *memalign(std::size_t alignment, std::size_t size)
{
    count();
    return __libc_memalign(alignment, size);
}

void *aligned_alloc(std::size_t alignment, std::size_t size)
{
    count();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void **result, std::size_t alignment, std::size_t size)
{
    count();
    void *block = __libc_memalign(alignment, size);
    if (!block)
        return 12; // ENOMEM
    *result = block;
    return 0;
}

void free(void *pointer)
{
    __libc_free(pointer);
}

} // extern "C"
