// The 2x bilinear upscaler: every source row serves two output lines, the even one doubling the row
// horizontally, the odd one blending it with the next row.
#include "obj/filter_internal.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace filter_internal;

namespace {

// The rows one output line reads, and the pixel that follows each row (from the span).
struct upscale_rows {
    size_t width;
    bool blend; // odd line: rows k and k + 1
    const uint8_t* row0;
    const uint8_t* row1;
    uint32_t after0, after1;
};

// Odd lines sit half a pitch past row k. A row that does not lie inside the span is replaced by
// the row one pitch toward it (the first or last row repeats), and failing that by the line itself.
upscale_rows rows_of(const flt_line& l) {
    upscale_rows rows;
    rows.width = l.bytes / 4;
    rows.blend = l.n & 1;
    rows.row0 = rows.row1 = l.src;
    const size_t bytes = l.bytes;
    if (rows.blend) {
        const intptr_t half = param_i32(l.p0);
        const uintptr_t k = reinterpret_cast<uintptr_t>(l.src) - half;
        if (inside(k, bytes, l.src_begin, l.src_end))
            rows.row0 = reinterpret_cast<const uint8_t*>(k);
        else if (inside(k + 2 * half, bytes, l.src_begin, l.src_end))
            rows.row0 = reinterpret_cast<const uint8_t*>(k + 2 * half);
        const uintptr_t next = reinterpret_cast<uintptr_t>(rows.row0) + 2 * half;
        rows.row1 = inside(next, bytes, l.src_begin, l.src_end)
                        ? reinterpret_cast<const uint8_t*>(next)
                        : rows.row0;
    }
    rows.after0 =
        load_px(clamp_tap(rows.row0, static_cast<int64_t>(bytes), l.src_begin, l.src_end));
    rows.after1 =
        load_px(clamp_tap(rows.row1, static_cast<int64_t>(bytes), l.src_begin, l.src_end));
    return rows;
}

uint32_t channel(uint32_t px, int c) {
    return (px >> (8 * c)) & 0xFF;
}

// Writes outputs 2i and 2i + 1 from source pixel i and its right neighbour.
void upscale_pair(const upscale_rows& rows, size_t i, uint8_t* dst) {
    const bool last = i + 1 == rows.width;
    const uint32_t a = load_px(rows.row0 + 4 * i);
    const uint32_t b = last ? rows.after0 : load_px(rows.row0 + 4 * i + 4);
    uint32_t even = 0, odd = 0;
    if (!rows.blend) {
        even = a;
        for (int c = 0; c < 4; ++c)
            odd |= ((channel(a, c) + channel(b, c)) >> 1) << (8 * c);
    } else {
        const uint32_t a1 = load_px(rows.row1 + 4 * i);
        const uint32_t b1 = last ? rows.after1 : load_px(rows.row1 + 4 * i + 4);
        for (int c = 0; c < 4; ++c) {
            const uint32_t left = channel(a, c) + channel(a1, c);
            even |= (left >> 1) << (8 * c);
            odd |= ((left + channel(b, c) + channel(b1, c)) >> 2) << (8 * c);
        }
    }
    store_px(dst + 8 * i, even);
    store_px(dst + 8 * i + 4, odd);
}

} // namespace

namespace detail {

void flt_bilinear_2x2_scalar(const flt_line& l) {
    if (l.bytes < 4)
        return;
    const upscale_rows rows = rows_of(l);
    for (size_t i = 0; i < rows.width; ++i)
        upscale_pair(rows, i, l.dst);
}

#ifdef __SSE2__

void flt_bilinear_2x2_sse2(const flt_line& l) {
    if (l.bytes < 4)
        return;
    const upscale_rows rows = rows_of(l);
    const __m128i zero = _mm_setzero_si128();
    auto load = [](const uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    auto store = [](uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
    // The right neighbours of pixels i .. i + 3 (`a`): the last group takes the pixel after the
    // row.
    auto right_of = [&](const uint8_t* row, size_t i, __m128i a, uint32_t after) {
        if (i + 4 < rows.width)
            return load(row + 4 * i + 4);
        return _mm_or_si128(_mm_srli_si128(a, 4),
                            _mm_slli_si128(_mm_cvtsi32_si128(static_cast<int>(after)), 12));
    };
    size_t i = 0;
    // Four source pixels per step.
    if (!rows.blend) {
        const __m128i low7 = _mm_set1_epi8(0x7F);
        for (; i + 4 <= rows.width; i += 4) {
            const __m128i a = load(rows.row0 + 4 * i);
            const __m128i b = right_of(rows.row0, i, a, rows.after0);
            // Truncating byte average: (a & b) + ((a ^ b) >> 1).
            const __m128i avg = _mm_add_epi8(
                _mm_and_si128(a, b), _mm_and_si128(_mm_srli_epi16(_mm_xor_si128(a, b), 1), low7));
            store(l.dst + 8 * i, _mm_unpacklo_epi32(a, avg));
            store(l.dst + 8 * i + 16, _mm_unpackhi_epi32(a, avg));
        }
    } else {
        for (; i + 4 <= rows.width; i += 4) {
            const __m128i a = load(rows.row0 + 4 * i);
            const __m128i b = right_of(rows.row0, i, a, rows.after0);
            const __m128i a1 = load(rows.row1 + 4 * i);
            const __m128i b1 = right_of(rows.row1, i, a1, rows.after1);
            const __m128i left_lo =
                _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(a1, zero));
            const __m128i left_hi =
                _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(a1, zero));
            const __m128i right_lo =
                _mm_add_epi16(_mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(b1, zero));
            const __m128i right_hi =
                _mm_add_epi16(_mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(b1, zero));
            const __m128i even =
                _mm_packus_epi16(_mm_srli_epi16(left_lo, 1), _mm_srli_epi16(left_hi, 1));
            const __m128i odd =
                _mm_packus_epi16(_mm_srli_epi16(_mm_add_epi16(left_lo, right_lo), 2),
                                 _mm_srli_epi16(_mm_add_epi16(left_hi, right_hi), 2));
            store(l.dst + 8 * i, _mm_unpacklo_epi32(even, odd));
            store(l.dst + 8 * i + 16, _mm_unpackhi_epi32(even, odd));
        }
    }
    for (; i < rows.width; ++i)
        upscale_pair(rows, i, l.dst);
}

#endif

} // namespace detail

FLT_DISPATCH(flt_bilinear_2x2)
