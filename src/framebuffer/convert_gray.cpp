// argb8888 to grey levels: the plain converter, (R >> 2) + (G >> 1) + (B >> 2), and the SIMD one,
// (54 R + 184 G + 18 B) >> 8; the two give different levels (white: 253 and 255).
#include "framebuffer/conv2x.h"
#include "framebuffer/convert.h"
#include "framebuffer/convert_line.h"
#include "framebuffer/convert_simd.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace convert_detail;

namespace convert_simd {

void gray8_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_gray8_weighted, 8, 1>(src, dst, count, extra);
}
void gray8_2x_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_gray8_weighted, 8, 2>(src, dst, count, extra);
}

#ifdef __SSE2__

namespace {

// Four pixels to four grey levels in 32-bit lanes: blue and red weighted by one multiply-add,
// green (moved down to the low byte of its word, next to a zero-weighted top byte) by another.
inline __m128i weighted_gray(__m128i p) {
    const __m128i blue_red = _mm_and_si128(p, _mm_set1_epi32(0x00FF00FF));
    const __m128i green_top = _mm_srli_epi16(p, 8);
    const __m128i sum = _mm_add_epi32(_mm_madd_epi16(blue_red, _mm_set1_epi32((54 << 16) | 18)),
                                      _mm_madd_epi16(green_top, _mm_set1_epi32(184)));
    return _mm_srli_epi32(sum, 8);
}

// Eight pixels to eight grey bytes in the low half of the result.
inline __m128i gray_of_8(const uint8_t* s) {
    const __m128i a = weighted_gray(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
    const __m128i b = weighted_gray(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16)));
    const __m128i words = _mm_packs_epi32(a, b);
    return _mm_packus_epi16(words, words);
}

} // namespace

// Group of 8: sixteen pixels per step, then the last group through the scalar twin.
void gray8_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    count -= count % 8;
    const uint8_t* s = src;
    uint8_t* d = dst;
    for (; count >= 16; count -= 16, s += 64, d += 16) {
        const __m128i lo = gray_of_8(s), hi = gray_of_8(s + 32);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi64(lo, hi));
    }
    src = s;
    dst = d;
    gray8_scalar(src, dst, count, extra);
}

// Group of 8: eight pixels per step, every grey byte written twice.
void gray8_2x_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t) {
    const uint8_t* s = src;
    uint8_t* d = dst;
    for (; count >= 8; count -= 8, s += 32, d += 16) {
        const __m128i g = gray_of_8(s);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(g, g));
    }
    src = s;
    dst = d;
}

#endif

} // namespace convert_simd

using namespace convert_simd;

void qbx_convert_argb8888_gray8(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    convert_line<to_gray8, 4, 1>(src, dst, count, x);
}
void qbx_convert_argb8888_gray8_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                   uintptr_t x) {
    convert_line<to_gray8, 2, 2>(src, dst, count, x);
}
void qbx_convert_argb8888_gray8_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t x) {
    dispatch<gray8_sse2, gray8_scalar>(src, dst, count, x);
}
void qbx_convert_argb8888_gray8_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                       uintptr_t x) {
    dispatch<gray8_2x_sse2, gray8_2x_scalar>(src, dst, count, x);
}
