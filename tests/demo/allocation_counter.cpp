// Replaces the global operator new of the test program. Kept apart from the tests so that the
// compiler sees no mismatch between the replaced pair.
#include "allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local size_t allocations = 0;
}

size_t thread_allocations() {
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
