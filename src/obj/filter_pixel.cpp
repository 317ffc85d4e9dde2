// Kernels that compute each output pixel from the pixels at the same place: weighted sum, map
// modulation, blend toward a colour, saturating add. In place is fine for all of them.
#include "obj/filter_internal.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace filter_internal;

namespace {

uint32_t channel(uint32_t px, int c) {
    return (px >> (8 * c)) & 0xFF;
}

template <typename F>
uint32_t per_channel(F f) {
    uint32_t px = 0;
    for (int c = 0; c < 4; ++c)
        px |= (f(c) & 0xFF) << (8 * c);
    return px;
}

uint32_t salpha_px(uint32_t src, uint32_t third, uint32_t w_third, uint32_t w_src) {
    return per_channel([&](int c) {
        const uint32_t sum =
            channel(third, c) * channel(w_third, c) + channel(src, c) * channel(w_src, c);
        return std::min<uint32_t>(sum, 65535) >> 8;
    });
}

uint32_t modp8_px(uint32_t src, uint8_t map) {
    return per_channel([&](int c) { return (channel(src, c) * map) >> 8; });
}

uint32_t alphac_px(uint32_t src, uint32_t colour, uint32_t alpha) {
    return per_channel([&](int c) {
        const uint32_t a = channel(alpha, c);
        return (channel(colour, c) * a + channel(src, c) * (256 - a)) >> 8;
    });
}

void salpha_tail(const flt_line& l, size_t from) {
    for (size_t i = from; i < l.bytes / 4; ++i)
        store_px(l.dst + 4 * i,
                 salpha_px(load_px(l.src + 4 * i), load_px(l.third + 4 * i),
                           static_cast<uint32_t>(l.p0), static_cast<uint32_t>(l.p1)));
}

void modp8_tail(const flt_line& l, size_t from) {
    for (size_t i = from; i < l.bytes / 4; ++i)
        store_px(l.dst + 4 * i, modp8_px(load_px(l.src + 4 * i), l.third[i]));
}

void alphac_tail(const flt_line& l, size_t from) {
    for (size_t i = from; i < l.bytes / 4; ++i)
        store_px(l.dst + 4 * i, alphac_px(load_px(l.src + 4 * i), static_cast<uint32_t>(l.p1),
                                          static_cast<uint32_t>(l.p0)));
}

void add_tail(uint8_t* dst, const uint8_t* src, size_t from, size_t bytes, uint32_t p0) {
    for (size_t k = from; k < bytes; ++k)
        dst[k] = static_cast<uint8_t>(std::min<uint32_t>(255, src[k] + channel(p0, k % 4)));
}

} // namespace

namespace detail {

void flt_salpha_scalar(const flt_line& l) {
    salpha_tail(l, 0);
}
void flt_modp8_scalar(const flt_line& l) {
    modp8_tail(l, 0);
}
void flt_alphac_scalar(const flt_line& l) {
    alphac_tail(l, 0);
}
void flt_add_scalar(uint8_t* dst, const uint8_t* src, size_t bytes, uint32_t p0) {
    add_tail(dst, src, 0, bytes, p0);
}

#ifdef __SSE2__

namespace {

__m128i load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
void store(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// The four bytes of `bytes` widened to 16-bit lanes, for two pixels.
__m128i lanes16(uint32_t bytes) {
    return _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(bytes)), _mm_setzero_si128());
}

} // namespace

void flt_salpha_sse2(const flt_line& l) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i w_third = lanes16(static_cast<uint32_t>(l.p0));
    const __m128i w_src = lanes16(static_cast<uint32_t>(l.p1));
    auto weigh = [&](__m128i s, __m128i t) {
        // Each product fits 16 bits unsigned; their sum saturates at 65535.
        return _mm_srli_epi16(
            _mm_adds_epu16(_mm_mullo_epi16(t, w_third), _mm_mullo_epi16(s, w_src)), 8);
    };
    const uint8_t* const src = l.src;
    const uint8_t* const third = l.third;
    uint8_t* const dst = l.dst;
    const size_t width = l.bytes / 4;
    size_t i = 0;
    for (; i + 4 <= width; i += 4) {
        const __m128i s = load(src + 4 * i);
        const __m128i t = load(third + 4 * i);
        const __m128i lo = weigh(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(t, zero));
        const __m128i hi = weigh(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(t, zero));
        store(dst + 4 * i, _mm_packus_epi16(lo, hi));
    }
    salpha_tail(l, i);
}

void flt_modp8_sse2(const flt_line& l) {
    const __m128i zero = _mm_setzero_si128();
    // (s * m) >> 8 is the high half of s * (m << 8). m4 holds four map bytes, each four times.
    auto scale = [&](__m128i s, __m128i m4) {
        const __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(zero, m4));
        const __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(zero, m4));
        return _mm_packus_epi16(lo, hi);
    };
    const uint8_t* const src = l.src;
    const uint8_t* const map = l.third;
    uint8_t* const dst = l.dst;
    const size_t width = l.bytes / 4;
    size_t i = 0;
    for (; i + 16 <= width; i += 16) {
        const __m128i m = load(map + i);
        const __m128i m2lo = _mm_unpacklo_epi8(m, m); // map bytes 0 .. 7, each twice
        const __m128i m2hi = _mm_unpackhi_epi8(m, m); // map bytes 8 .. 15
        store(dst + 4 * i, scale(load(src + 4 * i), _mm_unpacklo_epi16(m2lo, m2lo)));
        store(dst + 4 * i + 16, scale(load(src + 4 * i + 16), _mm_unpackhi_epi16(m2lo, m2lo)));
        store(dst + 4 * i + 32, scale(load(src + 4 * i + 32), _mm_unpacklo_epi16(m2hi, m2hi)));
        store(dst + 4 * i + 48, scale(load(src + 4 * i + 48), _mm_unpackhi_epi16(m2hi, m2hi)));
    }
    for (; i + 4 <= width; i += 4) {
        uint32_t map4;
        std::memcpy(&map4, map + i, 4);
        const __m128i m = _mm_cvtsi32_si128(static_cast<int>(map4));
        const __m128i m2 = _mm_unpacklo_epi8(m, m);
        store(dst + 4 * i, scale(load(src + 4 * i), _mm_unpacklo_epi16(m2, m2)));
    }
    modp8_tail(l, i);
}

void flt_alphac_sse2(const flt_line& l) {
    if (static_cast<uint32_t>(l.p0) == 0) { // weight 0 everywhere: the fade is off
        if (l.dst != l.src)
            std::memmove(l.dst, l.src, l.bytes);
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = lanes16(static_cast<uint32_t>(l.p0));
    // colour * a is the same for every pixel; colour * a + src * (256 - a) <= 255 * 256.
    const __m128i fixed = _mm_mullo_epi16(lanes16(static_cast<uint32_t>(l.p1)), alpha);
    const __m128i keep = _mm_sub_epi16(_mm_set1_epi16(256), alpha);
    auto blend = [&](__m128i s) {
        return _mm_srli_epi16(_mm_add_epi16(fixed, _mm_mullo_epi16(s, keep)), 8);
    };
    const uint8_t* const src = l.src;
    uint8_t* const dst = l.dst;
    const size_t width = l.bytes / 4;
    size_t i = 0;
    for (; i + 4 <= width; i += 4) {
        const __m128i s = load(src + 4 * i);
        store(dst + 4 * i, _mm_packus_epi16(blend(_mm_unpacklo_epi8(s, zero)),
                                            blend(_mm_unpackhi_epi8(s, zero))));
    }
    alphac_tail(l, i);
}

void flt_add_sse2(uint8_t* dst, const uint8_t* src, size_t bytes, uint32_t p0) {
    const __m128i colour = _mm_set1_epi32(static_cast<int>(p0));
    size_t k = 0;
    for (; k + 16 <= bytes; k += 16)
        store(dst + k, _mm_adds_epu8(load(src + k), colour));
    add_tail(dst, src, k, bytes, p0);
}

#endif

} // namespace detail

FLT_DISPATCH(flt_salpha)
FLT_DISPATCH(flt_modp8)
FLT_DISPATCH(flt_alphac)

void flt_add(uint8_t* dst, const uint8_t* src, size_t bytes, uint32_t p0) {
#ifdef __SSE2__
    static const auto chosen = simd_choose(&detail::flt_add_sse2, &detail::flt_add_scalar);
    chosen(dst, src, bytes, p0);
#else
    detail::flt_add_scalar(dst, src, bytes, p0);
#endif
}

void flt_add(const flt_line& l) {
    flt_add(l.dst, l.src, l.bytes, static_cast<uint32_t>(l.p0));
}
