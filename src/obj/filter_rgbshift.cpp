// The colour-shift glitch: the masked channels of each pixel become the average of the pixels
// `shift` to the left and to the right, line by line from a table of flt_rgbsh records.
#include "obj/filter_internal.h"

#include <algorithm>
#include <cstdlib>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace filter_internal;

namespace {

struct shift_line {
    uint32_t mask;
    int64_t shift;
};

// A null table copies the line (mask 0).
shift_line record_of(const flt_line& l) {
    const auto* table = reinterpret_cast<const flt_rgbsh*>(l.p0);
    if (!table)
        return {0, 0};
    const flt_rgbsh& r = table[l.index()];
    return {r.mask, r.shift};
}

int64_t floor_div4(int64_t v) {
    return v >= 0 ? v / 4 : -((-v + 3) / 4);
}
int64_t ceil_div4(int64_t v) {
    return -floor_div4(-v);
}

// Per channel floor((a + b) / 2) of two already masked pixels.
uint32_t average(uint32_t a, uint32_t b) {
    return (a & b) + (((a ^ b) >> 1) & 0x7F7F7F7F);
}

// Pixel i, reading the memory as it is now (in place, left taps may already be rewritten).
void shift_px(const flt_line& l, const shift_line& s, size_t i) {
    const int64_t at = 4 * static_cast<int64_t>(i);
    const uint32_t left = load_px(clamp_tap(l.src, at - 4 * s.shift, l.src_begin, l.src_end));
    const uint32_t right = load_px(clamp_tap(l.src, at + 4 * s.shift, l.src_begin, l.src_end));
    const uint32_t own = load_px(l.src + at);
    store_px(l.dst + at, (own & ~s.mask) | average(left & s.mask, right & s.mask));
}

} // namespace

namespace detail {

void flt_rgbshift_avg_t_scalar(const flt_line& l) {
    const shift_line s = record_of(l);
    for (size_t i = 0; i < l.bytes / 4; ++i)
        shift_px(l, s, i);
}

#ifdef __SSE2__

namespace {

__m128i load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
void store16(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Four output pixels from their own pixels and their two taps.
__m128i shift_group(__m128i own, __m128i left, __m128i right, __m128i mask) {
    left = _mm_and_si128(left, mask);
    right = _mm_and_si128(right, mask);
    // pavgb rounds up: (a + b + 1) >> 1; the floor is one less where a + b is odd.
    const __m128i odd = _mm_and_si128(_mm_xor_si128(left, right), _mm_set1_epi8(1));
    const __m128i avg = _mm_sub_epi8(_mm_avg_epu8(left, right), odd);
    return _mm_or_si128(_mm_andnot_si128(mask, own), avg);
}

// Pixels 4 - R .. 3 of `older` followed by pixels 0 .. 3 - R of `newer`.
template <int R>
__m128i join(__m128i older, __m128i newer) {
    if constexpr (R == 0)
        return newer;
    else
        return _mm_or_si128(_mm_srli_si128(older, 16 - 4 * R), _mm_slli_si128(newer, 4 * R));
}

// Groups of four pixels from i while i <= last, in place, with a shift of 4 q + R pixels (q >= 1).
// The left taps are pixels this pass has rewritten. A load straddling two recent stores would
// stall, so once the taps lie in rewritten groups they are joined from two whole groups, each
// read back exactly where it was stored; the newer one is carried to the next group as the older.
// Only the first groups, whose taps lie before the rewritten ones, read the line unaligned.
template <int R>
void groups_in_place(uint8_t* line, size_t& i, int64_t last, int64_t q, __m128i mask) {
    const int64_t reach = 4 * (4 * q + R);
    const int64_t from_rewritten = q + (R ? 1 : 0); // the first group whose taps are all rewritten
    int64_t g = 0;
    for (; g < from_rewritten && static_cast<int64_t>(i) <= last; ++g, i += 4) {
        uint8_t* p = line + 4 * i;
        store16(p, shift_group(load16(p), load16(p - reach), load16(p + reach), mask));
    }
    if (static_cast<int64_t>(i) > last)
        return;
    const int64_t back = 16 * q; // from a group to the rewritten group holding its newer taps
    __m128i older = R ? load16(line + 4 * i - back - 16) : _mm_setzero_si128(); // unused if R = 0
    for (; static_cast<int64_t>(i) <= last; i += 4) {
        uint8_t* p = line + 4 * i;
        const __m128i newer = load16(p - back);
        store16(p, shift_group(load16(p), join<R>(older, newer), load16(p + reach), mask));
        older = newer;
    }
}

} // namespace

void flt_rgbshift_avg_t_sse2(const flt_line& l) {
    const shift_line s = record_of(l);
    const int64_t width = static_cast<int64_t>(l.bytes / 4);
    if (s.shift == 0 || s.mask == 0) { // every pixel stays as it is
        if (l.dst != l.src)
            std::memmove(l.dst, l.src, l.bytes);
        return;
    }
    const int64_t distance = std::llabs(s.shift); // the taps are i - distance and i + distance
    const int64_t reach = 4 * distance;
    const bool in_place = l.dst == l.src;
    // Four pixels at once give what the left-to-right pass gives when no pixel of a group is a tap
    // of another pixel of the same group: in place that needs a shift of at least four pixels.
    const size_t span = static_cast<size_t>(l.src_end - l.src_begin);
    const bool grouped = in_place ? distance >= 4
                                  : !overlap(l.dst, l.bytes, l.src_begin, span) &&
                                        !overlap(l.dst, l.bytes, l.src, l.bytes);
    // Pixels from `first` on, in groups of `group` pixels up to a group starting at `last`, have
    // both taps inside the span and need no clamping.
    const int64_t group = grouped ? 4 : 1;
    const int64_t base = static_cast<int64_t>(reinterpret_cast<uintptr_t>(l.src));
    const int64_t lo = static_cast<int64_t>(reinterpret_cast<uintptr_t>(l.src_begin));
    const int64_t hi = static_cast<int64_t>(reinterpret_cast<uintptr_t>(l.src_end));
    const int64_t first =
        std::min<int64_t>(std::max<int64_t>(0, ceil_div4(lo - base + reach)), width);
    const int64_t last = std::min<int64_t>(static_cast<int64_t>(width) - group,
                                           floor_div4(hi - base - 4 * group - reach));
    const uint8_t* const src = l.src;
    uint8_t* const dst = l.dst;
    size_t i = 0;
    for (; static_cast<int64_t>(i) < first; ++i)
        shift_px(l, s, i);
    const __m128i mask = _mm_set1_epi32(static_cast<int>(s.mask));
    if (grouped && in_place) {
        switch (distance % 4) {
        case 0:
            groups_in_place<0>(dst, i, last, distance / 4, mask);
            break;
        case 1:
            groups_in_place<1>(dst, i, last, distance / 4, mask);
            break;
        case 2:
            groups_in_place<2>(dst, i, last, distance / 4, mask);
            break;
        default:
            groups_in_place<3>(dst, i, last, distance / 4, mask);
            break;
        }
    } else if (grouped) {
        for (; static_cast<int64_t>(i) <= last; i += 4) {
            const uint8_t* p = src + 4 * i;
            store16(dst + 4 * i,
                    shift_group(load16(p), load16(p - reach), load16(p + reach), mask));
        }
    } else { // one pixel at a time, in order, without clamping
        for (; static_cast<int64_t>(i) <= last; ++i) {
            const uint8_t* p = src + 4 * i;
            const uint32_t avg = average(load_px(p - reach) & s.mask, load_px(p + reach) & s.mask);
            store_px(dst + 4 * i, (load_px(p) & ~s.mask) | avg);
        }
    }
    for (; static_cast<int64_t>(i) < width; ++i)
        shift_px(l, s, i);
}

#endif

} // namespace detail

FLT_DISPATCH(flt_rgbshift_avg_t)
