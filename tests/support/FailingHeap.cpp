#include "FailingHeap.h"

#include <QtGlobal>

#include <dlfcn.h>

#include <cstdlib>
#include <new>

// A sanitizer keeps malloc and its kin for itself (it needs them before it has set itself up):
// there only operator new fails, and Qt's containers keep their blocks.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define GLINT_FAILS_CONTAINERS 0
#define NEXT_ALLOCATOR(name) std::name
#else
#define GLINT_FAILS_CONTAINERS 1
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
}
#define NEXT_ALLOCATOR(name) __libc_##name
#endif

namespace {

// Plain thread-local values: read inside malloc, they must need no allocation themselves.
thread_local long t_blocksUntilFailure = 0; // 0: disarmed
thread_local bool t_containers = false;
thread_local bool t_insideNew = false; // operator new's own block, decided there
thread_local bool t_failed = false;

// Whether the code at this address belongs to Qt's library.
bool insideQt(void *address)
{
    static const void *qtBase = [] {
        Dl_info info {};
        dladdr(reinterpret_cast<void *>(&qVersion), &info);
        return info.dli_fbase;
    }();
    Dl_info info {};
    return dladdr(address, &info) && info.dli_fbase == qtBase;
}

#if GLINT_FAILS_CONTAINERS
bool containerBlockFails()
{
    return t_containers && !t_insideNew && FailingHeap::failsHere();
}
#endif

} // namespace

FailingHeap::FailingHeap(long failAt, Reach reach)
{
    t_blocksUntilFailure = failAt;
    t_containers = reach == NewAndContainers;
}

FailingHeap::~FailingHeap()
{
    t_blocksUntilFailure = 0;
    t_containers = false;
}

bool FailingHeap::failed()
{
    return t_failed;
}

void FailingHeap::clearFailed()
{
    t_failed = false;
}

bool FailingHeap::failsHere(void *caller)
{
    if (t_blocksUntilFailure == 0 || (caller && insideQt(caller)))
        return false;
    if (t_blocksUntilFailure != EveryBlock && --t_blocksUntilFailure != 0)
        return false;
    t_failed = true;
    return true;
}

void *operator new(std::size_t size)
{
    if (t_blocksUntilFailure != 0 && FailingHeap::failsHere(__builtin_return_address(0)))
        throw std::bad_alloc();
    t_insideNew = true;
    void *block = NEXT_ALLOCATOR(malloc)(size ? size : 1);
    t_insideNew = false;
    if (!block)
        throw std::bad_alloc();
    return block;
}

void operator delete(void *block) noexcept
{
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept
{
    std::free(block);
}

#if GLINT_FAILS_CONTAINERS
extern "C" {

void *malloc(std::size_t size)
{
    return containerBlockFails() ? nullptr : NEXT_ALLOCATOR(malloc)(size);
}

void *calloc(std::size_t count, std::size_t size)
{
    return containerBlockFails() ? nullptr : NEXT_ALLOCATOR(calloc)(count, size);
}

void *realloc(void *block, std::size_t size)
{
    return containerBlockFails() ? nullptr : NEXT_ALLOCATOR(realloc)(block, size);
}
}
#endif
