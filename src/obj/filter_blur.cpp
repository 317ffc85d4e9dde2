// The clamped box blur family: a sliding 2r-pixel window per channel in 16-bit sums, scaled by a
// signed high-half multiply, written with a free step between output pixels (transposed output).
// The half member samples every second source pixel and runs on even lines only.
#include "obj/filter_internal.h"

#include <algorithm>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace filter_internal;

namespace {

// 2r pixels of 255 must stay below 32768 in a signed 16-bit lane.
constexpr int32_t max_radius = 64;

struct blur_params {
    size_t in;     // source pixels
    size_t out;    // output pixels
    int32_t r;     // radius, 0 .. max_radius
    int16_t m;     // multiplier
    intptr_t step; // bytes between output pixels
};

template <bool Half>
blur_params params_of(const flt_line& l) {
    blur_params b;
    b.in = l.bytes / 4;
    b.out = Half ? b.in / 2 : b.in;
    b.r = std::clamp(param_i32(l.p0), 0, max_radius);
    b.m = static_cast<int16_t>(static_cast<uint16_t>(l.p1));
    b.step = param_i32(l.p2);
    return b;
}

template <bool Half>
bool skips_line(const flt_line& l, const blur_params& b) {
    return b.out == 0 || (Half && b.r > 0 && (l.n & 1));
}

// Per-thread room for one line's samples, so that the kernels read the whole line before writing.
uint32_t* scratch(size_t pixels) {
    thread_local std::vector<uint32_t> buffer;
    if (buffer.size() < pixels)
        buffer.resize(pixels);
    return buffer.data();
}

uint8_t scale(uint16_t sum, int16_t m) {
    const int32_t high = (static_cast<int32_t>(static_cast<int16_t>(sum)) * m) >> 16;
    return static_cast<uint8_t>(std::clamp(high, 0, 255));
}

} // namespace

namespace detail {

template <bool Half>
void blur_scalar(const flt_line& l) {
    const blur_params b = params_of<Half>(l);
    if (skips_line<Half>(l, b))
        return;
    uint32_t* q = scratch(b.out);
    for (size_t j = 0; j < b.out; ++j)
        q[j] = load_px(l.src + 4 * (Half ? 2 * j : j));
    const uint32_t right = load_px(l.src + 4 * (b.in - 1)); // repeated right of the line
    if (b.r == 0) {
        for (size_t x = 0; x < b.out; ++x)
            store_px(l.dst + 4 * x, q[x]);
        return;
    }
    const int64_t out = static_cast<int64_t>(b.out);
    auto sample = [&](int64_t k) { return k < 0 ? q[0] : k >= out ? right : q[k]; };

    uint16_t sum[4] = {};
    for (int64_t k = -b.r; k < b.r; ++k)
        for (int c = 0; c < 4; ++c)
            sum[c] = static_cast<uint16_t>(sum[c] + ((sample(k) >> (8 * c)) & 0xFF));
    for (int64_t x = 0; x < out; ++x) {
        uint32_t px = 0;
        for (int c = 0; c < 4; ++c)
            px |= static_cast<uint32_t>(scale(sum[c], b.m)) << (8 * c);
        store_px(l.dst + x * b.step, px);
        const uint32_t add = sample(x + b.r);
        const uint32_t drop = sample(x - b.r);
        for (int c = 0; c < 4; ++c)
            sum[c] = static_cast<uint16_t>(sum[c] + ((add >> (8 * c)) & 0xFF) -
                                           ((drop >> (8 * c)) & 0xFF));
    }
}

void flt_blur_h_tr_clamp_scalar(const flt_line& l) {
    blur_scalar<false>(l);
}
void flt_blur_h_half_tr_clamp_scalar(const flt_line& l) {
    blur_scalar<true>(l);
}

#ifdef __SSE2__

namespace {

// Copies source pixels 0, 2, 4, ... (Half) or 0, 1, 2, ... into q[0 .. out-1].
template <bool Half>
void gather(const uint8_t* src, size_t out, uint32_t* q) {
    if (!Half) {
        std::memcpy(q, src, 4 * out);
        return;
    }
    size_t j = 0;
    for (; 2 * j + 8 <= 2 * out; j += 4) {
        const __m128 a =
            _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8 * j)));
        const __m128 b =
            _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8 * j + 16)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + j),
                         _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))));
    }
    for (; j < out; ++j)
        q[j] = load_px(src + 8 * j);
}

// Writes `count` (up to four) output pixels `step` bytes apart.
void store_group(uint8_t* dst, intptr_t step, __m128i px, size_t count) {
    if (count == 4) {
        if (step == 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), px);
            return;
        }
        store_px(dst, static_cast<uint32_t>(_mm_cvtsi128_si32(px)));
        store_px(dst + step, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(px, 1))));
        store_px(dst + 2 * step,
                 static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(px, 2))));
        store_px(dst + 3 * step,
                 static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(px, 3))));
        return;
    }
    for (size_t k = 0; k < count; ++k) {
        store_px(dst, static_cast<uint32_t>(_mm_cvtsi128_si32(px)));
        px = _mm_srli_si128(px, 4);
        dst += step;
    }
}

// Broadcasts the upper pixel's four 16-bit lanes to both halves.
__m128i upper_to_both(__m128i v) {
    return _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 2, 3, 2));
}

} // namespace

template <bool Half>
void blur_sse2(const flt_line& l) {
    const blur_params b = params_of<Half>(l);
    if (skips_line<Half>(l, b))
        return;
    const size_t r = static_cast<size_t>(b.r);
    // qe[k] is the sample k - r - 1: r + 1 left repeats, the line, then enough right repeats that
    // the four-pixel groups below need no bounds tests.
    uint32_t* qe = scratch(b.out + 2 * r + 5);
    uint32_t* q = qe + r + 1;
    gather<Half>(l.src, b.out, q);
    const uint32_t right = load_px(l.src + 4 * (b.in - 1));
    if (r == 0) {
        std::memcpy(l.dst, q, 4 * b.out);
        return;
    }
    std::fill(qe, q, q[0]);
    std::fill(q + b.out, q + b.out + r + 4, right);

    const __m128i zero = _mm_setzero_si128();
    // The window sum of output -1: samples -r-1 .. r-2, that is qe[0 .. 2r-1].
    __m128i acc = zero;
    for (size_t k = 0; k < 2 * r; k += 2)
        acc = _mm_add_epi16(
            acc,
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(qe + k)), zero));
    acc = _mm_add_epi16(acc, _mm_srli_si128(acc, 8));
    __m128i carry = _mm_shuffle_epi32(acc, _MM_SHUFFLE(1, 0, 1, 0));

    const __m128i m = _mm_set1_epi16(b.m);
    uint8_t* const dst = l.dst;
    for (size_t x = 0; x < b.out; x += 4) {
        // S(x) = S(x-1) + sample(x+r-1) - sample(x-r-1), four outputs at once as running sums.
        const __m128i add = _mm_loadu_si128(reinterpret_cast<const __m128i*>(qe + x + 2 * r));
        const __m128i drop = _mm_loadu_si128(reinterpret_cast<const __m128i*>(qe + x));
        __m128i d01 = _mm_sub_epi16(_mm_unpacklo_epi8(add, zero), _mm_unpacklo_epi8(drop, zero));
        __m128i d23 = _mm_sub_epi16(_mm_unpackhi_epi8(add, zero), _mm_unpackhi_epi8(drop, zero));
        d01 = _mm_add_epi16(d01, _mm_slli_si128(d01, 8));
        d23 = _mm_add_epi16(_mm_add_epi16(d23, _mm_slli_si128(d23, 8)), upper_to_both(d01));
        const __m128i s01 = _mm_add_epi16(carry, d01);
        const __m128i s23 = _mm_add_epi16(carry, d23);
        carry = upper_to_both(s23);
        const __m128i px = _mm_packus_epi16(_mm_mulhi_epi16(s01, m), _mm_mulhi_epi16(s23, m));
        store_group(dst + static_cast<intptr_t>(x) * b.step, b.step, px,
                    std::min<size_t>(4, b.out - x));
    }
}

void flt_blur_h_tr_clamp_sse2(const flt_line& l) {
    blur_sse2<false>(l);
}
void flt_blur_h_half_tr_clamp_sse2(const flt_line& l) {
    blur_sse2<true>(l);
}

#endif

} // namespace detail

FLT_DISPATCH(flt_blur_h_tr_clamp)
FLT_DISPATCH(flt_blur_h_half_tr_clamp)
