#include "HostMemory.h"

#include <QtGlobal>

#include <atomic>
#include <climits>

#include <cstdlib>
#include <cstring>

namespace {
std::atomic<HostBlockSource> g_hostBlockSource { nullptr };
} // namespace

void setHostBlockSource(HostBlockSource source)
{
    g_hostBlockSource.store(source);
}

void *allocateHostBlock(std::size_t elementSize, int count)
{
    if (count < 1) {
        qFatal("Invalid array size for memory allocation");
        return nullptr;
    }
    // calloc zero-fills and refuses a product that overflows.
    const HostBlockSource source = g_hostBlockSource.load(std::memory_order_relaxed);
    return source ? source(std::size_t(count), elementSize)
                  : std::calloc(std::size_t(count), elementSize);
}

char *copyToHostString(const char *data, std::size_t size, bool *failed)
{
    if (size == 0)
        return nullptr;
    if (size >= std::size_t(INT_MAX)) {
        *failed = true;
        return nullptr;
    }
    char *block = allocateHostArray<char>(int(size + 1));
    if (!block) {
        *failed = true;
        return nullptr;
    }
    const void *nul = std::memchr(data, '\0', size);
    const std::size_t copied = nul ? std::size_t(static_cast<const char *>(nul) - data) : size;
    std::memcpy(block, data, copied);
    return block;
}
