#include "obj/sprdraw.h"

#include "platform/simd.h"

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr ptrdiff_t kPairBytes = 8;

} // namespace

void flare_addmul_scalar(void* dst, const void* src, int lines, int pairs, int dstSkip, int srcSkip,
                         uint32_t multiplier) {
    if (lines <= 0 || pairs <= 0)
        return;
    auto* out = static_cast<uint8_t*>(dst);
    const auto* in = static_cast<const uint8_t*>(src);
    const ptrdiff_t lineBytes = pairs * kPairBytes;
    const uint32_t m[4] = {multiplier & 255, (multiplier >> 8) & 255, (multiplier >> 16) & 255,
                           multiplier >> 24};
    for (int line = 0; line < lines; ++line) {
        for (ptrdiff_t pixel = 0; pixel < lineBytes; pixel += 4)
            for (int c = 0; c < 4; ++c) {
                const uint32_t sum = out[pixel + c] + ((in[pixel + c] * m[c]) >> 8);
                out[pixel + c] = static_cast<uint8_t>(std::min<uint32_t>(255, sum));
            }
        out += lineBytes + dstSkip;
        in += lineBytes + srcSkip;
    }
}

#if defined(__SSE2__)

namespace {

// The scaled source bytes of `in` (16-bit lanes, four pixels' worth of multipliers in `m`).
__m128i scaled(__m128i in, __m128i m, __m128i zero) {
    const __m128i low = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(in, zero), m), 8);
    const __m128i high = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(in, zero), m), 8);
    return _mm_packus_epi16(low, high);
}

} // namespace

void flare_addmul_sse2(void* dst, const void* src, int lines, int pairs, int dstSkip, int srcSkip,
                       uint32_t multiplier) {
    if (lines <= 0 || pairs <= 0)
        return;
    auto* out = static_cast<uint8_t*>(dst);
    const auto* in = static_cast<const uint8_t*>(src);
    const ptrdiff_t lineBytes = pairs * kPairBytes;
    const __m128i zero = _mm_setzero_si128();
    const __m128i m = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(multiplier)), zero);
    for (int line = 0; line < lines; ++line) {
        ptrdiff_t i = 0;
        for (; i + 16 <= lineBytes; i += 16) {
            auto* o = reinterpret_cast<__m128i*>(out + i);
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            _mm_storeu_si128(o, _mm_adds_epu8(_mm_loadu_si128(o), scaled(s, m, zero)));
        }
        if (i < lineBytes) { // one pair left
            auto* o = reinterpret_cast<__m128i*>(out + i);
            const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
            _mm_storel_epi64(o, _mm_adds_epu8(_mm_loadl_epi64(o), scaled(s, m, zero)));
        }
        out += lineBytes + dstSkip;
        in += lineBytes + srcSkip;
    }
}

#endif

void flare_addmul(void* dst, const void* src, int lines, int pairs, int dstSkip, int srcSkip,
                  uint32_t multiplier) {
#if defined(__SSE2__)
    static const auto chosen = simd_choose(&flare_addmul_sse2, &flare_addmul_scalar);
#else
    static const auto chosen = &flare_addmul_scalar;
#endif
    chosen(dst, src, lines, pairs, dstSkip, srcSkip, multiplier);
}
