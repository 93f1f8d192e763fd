// Counts every heap block handed out in the process (malloc, calloc, realloc, and operator new,
// which reaches malloc), on any thread. Only the benchmark binary replaces the allocator.
#pragma once

#include <cstdint>

namespace AllocationCounter {
std::uint64_t allocations();
} // namespace AllocationCounter
