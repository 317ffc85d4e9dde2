// Replaces the global operator new of the benchmark program to count allocations. Kept apart
// from the benchmarks so that the compiler sees no mismatch between the replaced pair.
#include "libsync_allocations.h"

#include <cstdlib>
#include <new>

namespace {
size_t allocations = 0;
}

size_t allocation_count() {
    return allocations;
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
