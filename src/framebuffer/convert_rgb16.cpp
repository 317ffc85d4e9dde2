// argb8888 to rgb555 and rgb565: the plain converters, the SIMD ones and the dithered SIMD ones,
// each in its single and doubling form.
#include "framebuffer/conv2x.h"
#include "framebuffer/convert.h"
#include "framebuffer/convert_line.h"
#include "framebuffer/convert_simd.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace convert_detail;

namespace convert_simd {

void rgb555_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_rgb555, 4, 1>(src, dst, count, extra);
}
void rgb565_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_rgb565, 4, 1>(src, dst, count, extra);
}
void rgb555d_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_rgb555d, 4, 1>(src, dst, count, extra);
}
void rgb565d_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_rgb565d, 4, 1>(src, dst, count, extra);
}
void rgb555_2x_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_rgb555, 2, 2>(src, dst, count, extra);
}
void rgb565_2x_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_rgb565, 2, 2>(src, dst, count, extra);
}
void rgb555d_2x_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_rgb555d, 2, 2>(src, dst, count, extra);
}
void rgb565d_2x_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<to_rgb565d, 2, 2>(src, dst, count, extra);
}

#ifdef __SSE2__

namespace {

// The 16-bit layout: which green bits survive, the blue multiplier that lines blue up below
// green, and how far above bit 0 the result is formed.
struct layout555 {
    static constexpr int green_mask = 0xF800, blue_mul = 8, above = 6;
    static constexpr const uint32_t (&dither)[2][2] = dither555;
};
struct layout565 {
    static constexpr int green_mask = 0xFC00, blue_mul = 4, above = 5;
    static constexpr const uint32_t (&dither)[2][2] = dither565;
};

// Four pixels to four 16-bit results, each `Layout::above` bits up in its 32-bit lane with zeros
// below. Red and blue (masked to their top five bits) are moved into place by one multiply-add,
// blue x blue_mul + red x 0x2000; green is masked and ORed in.
template <typename Layout>
inline __m128i placed(__m128i p) {
    const __m128i red_blue = _mm_and_si128(p, _mm_set1_epi32(0x00F800F8));
    const __m128i moved = _mm_madd_epi16(red_blue, _mm_set1_epi32(0x20000000 | Layout::blue_mul));
    return _mm_or_si128(moved, _mm_and_si128(p, _mm_set1_epi32(Layout::green_mask)));
}

// Four results sign-extended in their lanes, so that a signed pack keeps them.
template <typename Layout>
inline __m128i to_16bit(__m128i p) {
    return _mm_srai_epi32(_mm_slli_epi32(placed<Layout>(p), 16 - Layout::above), 16);
}

// Dither offsets for four destination pixels: even, odd, even, odd.
template <typename Layout, bool Dither>
inline __m128i offsets(uintptr_t lines) {
    if (!Dither)
        return _mm_setzero_si128();
    const uint32_t* row = Layout::dither[lines & 1];
    return _mm_set_epi32(static_cast<int>(row[1]), static_cast<int>(row[0]),
                         static_cast<int>(row[1]), static_cast<int>(row[0]));
}

// Group of 4: eight pixels per step, then the last group through the scalar twin.
template <typename Layout, bool Dither, qbx_converter Twin>
void convert_1x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t lines) {
    count -= count % 4;
    const __m128i offset = offsets<Layout, Dither>(lines);
    const uint8_t* s = src;
    uint8_t* d = dst;
    for (; count >= 8; count -= 8, s += 32, d += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
        if (Dither) {
            a = _mm_adds_epu8(a, offset);
            b = _mm_adds_epu8(b, offset);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                         _mm_packs_epi32(to_16bit<Layout>(a), to_16bit<Layout>(b)));
    }
    src = s;
    dst = d;
    Twin(src, dst, count, lines);
}

// Group of 2: four pixels per step. The two copies of a pixel share its 32-bit lane, the even
// one in the low half and the odd one in the high half; they differ only when dithered.
template <typename Layout, bool Dither, qbx_converter Twin>
void convert_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t lines) {
    count -= count % 2;
    const uint32_t* row = Layout::dither[lines & 1];
    const __m128i even_offset = _mm_set1_epi32(static_cast<int>(row[0]));
    const __m128i odd_offset = _mm_set1_epi32(static_cast<int>(row[1]));
    const uint8_t* s = src;
    uint8_t* d = dst;
    for (; count >= 4; count -= 4, s += 16, d += 16) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i even = placed<Layout>(Dither ? _mm_adds_epu8(p, even_offset) : p);
        const __m128i odd = Dither ? placed<Layout>(_mm_adds_epu8(p, odd_offset)) : even;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                         _mm_or_si128(_mm_srli_epi32(even, Layout::above),
                                      _mm_slli_epi32(odd, 16 - Layout::above)));
    }
    src = s;
    dst = d;
    Twin(src, dst, count, lines);
}

} // namespace

void rgb555_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_1x<layout555, false, rgb555_scalar>(src, dst, count, extra);
}
void rgb565_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_1x<layout565, false, rgb565_scalar>(src, dst, count, extra);
}
void rgb555d_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_1x<layout555, true, rgb555d_scalar>(src, dst, count, extra);
}
void rgb565d_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_1x<layout565, true, rgb565d_scalar>(src, dst, count, extra);
}
void rgb555_2x_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_2x<layout555, false, rgb555_2x_scalar>(src, dst, count, extra);
}
void rgb565_2x_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_2x<layout565, false, rgb565_2x_scalar>(src, dst, count, extra);
}
void rgb555d_2x_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_2x<layout555, true, rgb555d_2x_scalar>(src, dst, count, extra);
}
void rgb565d_2x_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_2x<layout565, true, rgb565d_2x_scalar>(src, dst, count, extra);
}

#endif

} // namespace convert_simd

using namespace convert_simd;

void qbx_convert_argb8888_rgb555(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    convert_line<to_rgb555, 2, 1>(src, dst, count, x);
}
void qbx_convert_argb8888_rgb565(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    convert_line<to_rgb565, 2, 1>(src, dst, count, x);
}
void qbx_convert_argb8888_rgb555_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t x) {
    convert_line<to_rgb555, 1, 2>(src, dst, count, x);
}
void qbx_convert_argb8888_rgb565_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t x) {
    convert_line<to_rgb565, 1, 2>(src, dst, count, x);
}

void qbx_convert_argb8888_rgb555_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                     uintptr_t x) {
    dispatch<rgb555_sse2, rgb555_scalar>(src, dst, count, x);
}
void qbx_convert_argb8888_rgb565_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                     uintptr_t x) {
    dispatch<rgb565_sse2, rgb565_scalar>(src, dst, count, x);
}
void qbx_convert_argb8888_rgb555d_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t lines) {
    dispatch<rgb555d_sse2, rgb555d_scalar>(src, dst, count, lines);
}
void qbx_convert_argb8888_rgb565d_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t lines) {
    dispatch<rgb565d_sse2, rgb565d_scalar>(src, dst, count, lines);
}
void qbx_convert_argb8888_rgb555_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                        uintptr_t x) {
    dispatch<rgb555_2x_sse2, rgb555_2x_scalar>(src, dst, count, x);
}
void qbx_convert_argb8888_rgb565_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                        uintptr_t x) {
    dispatch<rgb565_2x_sse2, rgb565_2x_scalar>(src, dst, count, x);
}
void qbx_convert_argb8888_rgb555d_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                         uintptr_t lines) {
    dispatch<rgb555d_2x_sse2, rgb555d_2x_scalar>(src, dst, count, lines);
}
void qbx_convert_argb8888_rgb565d_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                         uintptr_t lines) {
    dispatch<rgb565d_2x_sse2, rgb565d_2x_scalar>(src, dst, count, lines);
}
