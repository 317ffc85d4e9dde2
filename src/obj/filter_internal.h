#pragma once
// Helpers shared by the filter kernels' files: pixel access, tap clamping, the fast-path choice.
#include "obj/filter.h"
#include "platform/simd.h"

#include <cstring>

namespace filter_internal {

inline uint32_t load_px(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void store_px(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// The pixel `offset` bytes from `base`, clamped into the span [begin, end - 4]. Computed on
// addresses so that no pointer is ever formed outside the span.
inline const uint8_t* clamp_tap(const uint8_t* base, int64_t offset, const uint8_t* begin,
                                const uint8_t* end) {
    const int64_t a = static_cast<int64_t>(reinterpret_cast<uintptr_t>(base)) + offset;
    const int64_t lo = static_cast<int64_t>(reinterpret_cast<uintptr_t>(begin));
    const int64_t hi = static_cast<int64_t>(reinterpret_cast<uintptr_t>(end)) - 4;
    if (a < lo)
        return begin;
    if (a > hi)
        return end - 4;
    return base + offset;
}

// True when [p, p + bytes) lies inside [begin, end); p is an address that may lie anywhere.
inline bool inside(uintptr_t p, size_t bytes, const uint8_t* begin, const uint8_t* end) {
    const uintptr_t lo = reinterpret_cast<uintptr_t>(begin);
    const uintptr_t hi = reinterpret_cast<uintptr_t>(end);
    return p >= lo && p <= hi && bytes <= hi - p;
}

// True when the byte ranges [a, a + an) and [b, b + bn) share a byte.
inline bool overlap(const void* a, size_t an, const void* b, size_t bn) {
    const uintptr_t x = reinterpret_cast<uintptr_t>(a);
    const uintptr_t y = reinterpret_cast<uintptr_t>(b);
    return an && bn && x < y + bn && y < x + an;
}

// The low 32 bits of a kernel parameter as a signed number.
inline int32_t param_i32(uintptr_t p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p));
}

} // namespace filter_internal

// A kernel entry point that calls the fast path or the scalar reference, chosen on first use.
#ifdef __SSE2__
#define FLT_DISPATCH(name)                                                                         \
    void name(const flt_line& l) {                                                                 \
        static const flt_kernel chosen =                                                           \
            simd_choose(&detail::name##_sse2, &detail::name##_scalar);                             \
        chosen(l);                                                                                 \
    }
#else
#define FLT_DISPATCH(name)                                                                         \
    void name(const flt_line& l) {                                                                 \
        detail::name##_scalar(l);                                                                  \
    }
#endif
