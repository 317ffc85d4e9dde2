#pragma once
// The two forms of every SIMD converter: the SSE2 kernel and its scalar twin, which gives the same
// bits and serves when SIMD is off (DEMO_NO_SIMD=1). The public `_mmx` entry points pick one of
// the two once, at first use.
#include <cstdint>

#include "framebuffer/convert.h"
#include "platform/simd.h"

namespace convert_simd {

#ifdef __SSE2__
#define CONVERT_SIMD_PAIR(name)                                                                    \
    void name##_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);         \
    void name##_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);
#else // without SSE2 the scalar twin is the fast form too
#define CONVERT_SIMD_PAIR(name)                                                                    \
    void name##_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);       \
    inline constexpr qbx_converter name##_sse2 = name##_scalar;
#endif

CONVERT_SIMD_PAIR(rgb555)     // qbx_convert_argb8888_rgb555_mmx
CONVERT_SIMD_PAIR(rgb565)     // qbx_convert_argb8888_rgb565_mmx
CONVERT_SIMD_PAIR(rgb555d)    // qbx_convert_argb8888_rgb555d_mmx
CONVERT_SIMD_PAIR(rgb565d)    // qbx_convert_argb8888_rgb565d_mmx
CONVERT_SIMD_PAIR(rgb555_2x)  // qbx_convert_argb8888_rgb555_mmx_2x
CONVERT_SIMD_PAIR(rgb565_2x)  // qbx_convert_argb8888_rgb565_mmx_2x
CONVERT_SIMD_PAIR(rgb555d_2x) // qbx_convert_argb8888_rgb555d_mmx_2x
CONVERT_SIMD_PAIR(rgb565d_2x) // qbx_convert_argb8888_rgb565d_mmx_2x
CONVERT_SIMD_PAIR(gray8)      // qbx_convert_argb8888_gray8_mmx
CONVERT_SIMD_PAIR(gray8_2x)   // qbx_convert_argb8888_gray8_mmx_2x
CONVERT_SIMD_PAIR(copy32_2x)  // qbx_mmx_memcpy_32bpp_2x

#undef CONVERT_SIMD_PAIR

// qbx_mmx_memcpy and qbx_mmx_memset.
void memcpy_scalar(void* dst, const void* src, uint32_t bytes);
void memset_scalar(void* dst, uint32_t value, uint32_t bytes);
#ifdef __SSE2__
void memcpy_sse2(void* dst, const void* src, uint32_t bytes);
void memset_sse2(void* dst, uint32_t value, uint32_t bytes);
#else
inline constexpr auto memcpy_sse2 = memcpy_scalar;
inline constexpr auto memset_sse2 = memset_scalar;
#endif

// Calls the SSE2 form or the scalar twin, chosen once.
template <qbx_converter Fast, qbx_converter Scalar>
void dispatch(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    static const qbx_converter chosen = simd_choose(Fast, Scalar);
    chosen(src, dst, count, extra);
}

} // namespace convert_simd
