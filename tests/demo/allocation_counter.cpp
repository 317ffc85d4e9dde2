// Replaces the global operator new and delete of the test program, every plain form of them so
// that no allocation made by one family is freed by the other. Kept apart from the tests so that
// the compiler sees no mismatch between the replaced pairs.
#include "allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {

thread_local size_t allocations = 0;

void* allocate(std::size_t size) noexcept {
    ++allocations;
    return std::malloc(size ? size : 1);
}

void* allocate_or_throw(std::size_t size) {
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}

} // namespace

size_t thread_allocations() {
    return allocations;
}

void* operator new(std::size_t size) {
    return allocate_or_throw(size);
}
void* operator new[](std::size_t size) {
    return allocate_or_throw(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
