// Counts every allocation of a benchmark program: malloc, calloc and realloc are replaced by
// counting forms over the C library's own (glibc exports them as __libc_*), and operator new
// takes its memory from malloc. Kept apart from the benchmarks so that the compiler sees no
// mismatch between the replaced pair.
#include "allocation_counter.h"

#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
}

namespace {
size_t allocations = 0;
}

size_t allocation_count() {
    return allocations;
}

extern "C" void* malloc(size_t size) {
    ++allocations;
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
    ++allocations;
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size) {
    ++allocations;
    return __libc_realloc(p, size);
}

void* operator new(std::size_t size) {
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
