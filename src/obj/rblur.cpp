#include "obj/rblur.h"

#include "platform/simd.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kPitch = 512; // pixels from one line to the next
constexpr int kMaxWidth = kPitch;

// Where the sample of the pixel k steps out from the centre lies along one axis: whole pixels from
// the centre and the fraction, both from a 15-bit fixed-point coordinate that wraps in 32 bits.
struct AxisSample {
    int offset;
    int fraction;
};

// Rows: the coordinate starts just below 1.0, the fraction keeps all 15 bits.
AxisSample row_sample(int j, int stepY) {
    const auto r = static_cast<int32_t>(32767u + static_cast<uint32_t>(j) * uint32_t(stepY));
    return {r >> 15, r & 32767};
}

// Columns: the coordinate lives 256 pixels up a 512-wide space, the fraction keeps its top 9 bits.
AxisSample column_sample(int i, int stepX) {
    const auto c =
        static_cast<int32_t>((256u << 15) + 32767u + static_cast<uint32_t>(i) * uint32_t(stepX));
    return {(c >> 15) - 256, (c >> 6) & 511};
}

// The two taps along one axis: the near one and its neighbour toward the centre. Pixels on the
// far side (right, below) count outward from `centre`, the others from `centre - 1` down. Taps
// outside the picture are held at its edge.
struct AxisTaps {
    int near;
    int toward;
};

AxisTaps axis_taps(int centre, int offset, bool farSide, int size) {
    const int near = farSide ? centre + offset : centre - 1 - offset;
    const int toward = farSide ? near - 1 : near + 1;
    return {std::clamp(near, 0, size - 1), std::clamp(toward, 0, size - 1)};
}

// The order in which the four mirrored pixels of one step are blended.
struct Quadrant {
    bool right;
    bool below;
};
constexpr Quadrant kQuadrants[4] = {{true, true}, {true, false}, {false, false}, {false, true}};

int expand(uint8_t byte) {
    return (byte * 257) >> 1;
}

void blend_pixel(uint8_t* pixels, int x, int y, AxisTaps columns, AxisTaps rows, int fx9, int fy,
                 uint32_t sampleWeights, uint32_t destWeights) {
    auto at = [pixels](int column, int row) {
        return pixels + 4 * (size_t(row) * kPitch + column);
    };
    uint8_t* out = at(x, y);
    for (int c = 0; c < 4; ++c) {
        auto vertical = [&](int column) {
            return ((expand(at(column, rows.toward)[c]) * (32767 - fy)) >> 16) +
                   ((expand(at(column, rows.near)[c]) * fy) >> 16);
        };
        const int sample = ((vertical(columns.near) * 2 * fx9) >> 16) +
                           ((vertical(columns.toward) * 2 * (511 - fx9)) >> 16);
        const uint32_t sw = (sampleWeights >> (8 * c)) & 255, dw = (destWeights >> (8 * c)) & 255;
        out[c] = static_cast<uint8_t>(std::min<uint32_t>(65535, sample * sw + out[c] * dw) >> 8);
    }
}

} // namespace

void rblur_c_bl_alpha_scalar(const void*, void* image, int width, int height, int stepX, int stepY,
                             uint32_t sampleWeights, uint32_t destWeights) {
    const int halfW = width / 2, halfH = height / 2;
    if (width > kMaxWidth || halfW <= 0 || halfH <= 0)
        return;
    auto* pixels = static_cast<uint8_t*>(image);
    for (int j = 0; j < halfH; ++j) {
        const AxisSample row = row_sample(j, stepY);
        for (int i = 0; i < halfW; ++i) {
            const AxisSample column = column_sample(i, stepX);
            for (const Quadrant q : kQuadrants) {
                const int x = q.right ? halfW + i : halfW - 1 - i;
                const int y = q.below ? halfH + j : halfH - 1 - j;
                blend_pixel(pixels, x, y, axis_taps(halfW, column.offset, q.right, width),
                            axis_taps(halfH, row.offset, q.below, height), column.fraction,
                            row.fraction, sampleWeights, destWeights);
            }
        }
    }
}

#if defined(__SSE2__)

namespace {

__m128i load_pixel(const uint8_t* pixels, int index) {
    int32_t value;
    std::memcpy(&value, pixels + 4 * size_t(index), 4);
    return _mm_cvtsi32_si128(value);
}

// The taps and weights of one pixel; indices count pixels from the picture's first one.
struct PixelTaps {
    int nearRow, towardRow;  // first pixel of each tap line
    int nearCol, towardCol;  // column of each tap
    __m128i columnWeights;   // 2 (511 - fx9) in the low four lanes, 2 fx9 in the high four
    __m128i nearRowWeight;   // fy in every lane
    __m128i towardRowWeight; // 32767 - fy in every lane
};

// The same arithmetic as blend_pixel, the four channels side by side in 16-bit lanes.
void blend_pixel_sse2(uint8_t* pixels, int index, const PixelTaps& taps, __m128i sampleWeights,
                      __m128i destWeights) {
    const __m128i nearRow = _mm_unpacklo_epi32(load_pixel(pixels, taps.nearRow + taps.towardCol),
                                               load_pixel(pixels, taps.nearRow + taps.nearCol));
    const __m128i towardRow =
        _mm_unpacklo_epi32(load_pixel(pixels, taps.towardRow + taps.towardCol),
                           load_pixel(pixels, taps.towardRow + taps.nearCol));
    // b * 257 >> 1 for the toward and the near column.
    const __m128i nearExpanded = _mm_srli_epi16(_mm_unpacklo_epi8(nearRow, nearRow), 1);
    const __m128i towardExpanded = _mm_srli_epi16(_mm_unpacklo_epi8(towardRow, towardRow), 1);
    const __m128i vertical = _mm_add_epi16(_mm_mulhi_epi16(towardExpanded, taps.towardRowWeight),
                                           _mm_mulhi_epi16(nearExpanded, taps.nearRowWeight));
    const __m128i horizontal = _mm_mulhi_epi16(vertical, taps.columnWeights);
    const __m128i sample = _mm_add_epi16(horizontal, _mm_srli_si128(horizontal, 8));

    const __m128i current = _mm_unpacklo_epi8(load_pixel(pixels, index), _mm_setzero_si128());
    const __m128i sum = _mm_adds_epu16(_mm_mullo_epi16(sample, sampleWeights),
                                       _mm_mullo_epi16(current, destWeights));
    const __m128i out = _mm_srli_epi16(sum, 8);
    const int32_t value = _mm_cvtsi128_si32(_mm_packus_epi16(out, out));
    std::memcpy(pixels + 4 * size_t(index), &value, 4);
}

// Column taps of one step, worked out once for every row.
struct ColumnTaps {
    AxisTaps right, left;
    __m128i weights;
};

} // namespace

void rblur_c_bl_alpha_sse2(const void*, void* image, int width, int height, int stepX, int stepY,
                           uint32_t sampleWeights, uint32_t destWeights) {
    const int halfW = width / 2, halfH = height / 2;
    if (width > kMaxWidth || halfW <= 0 || halfH <= 0)
        return;
    auto* pixels = static_cast<uint8_t*>(image);

    ColumnTaps columns[kMaxWidth / 2];
    for (int i = 0; i < halfW; ++i) {
        const AxisSample column = column_sample(i, stepX);
        columns[i].right = axis_taps(halfW, column.offset, true, width);
        columns[i].left = axis_taps(halfW, column.offset, false, width);
        const auto toward = static_cast<int16_t>(2 * (511 - column.fraction));
        const auto near = static_cast<int16_t>(2 * column.fraction);
        columns[i].weights = _mm_set_epi16(near, near, near, near, toward, toward, toward, toward);
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i sw = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int32_t(sampleWeights)), zero);
    const __m128i dw = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int32_t(destWeights)), zero);

    for (int j = 0; j < halfH; ++j) {
        const AxisSample row = row_sample(j, stepY);
        const AxisTaps below = axis_taps(halfH, row.offset, true, height);
        const AxisTaps above = axis_taps(halfH, row.offset, false, height);
        PixelTaps lower{below.near * kPitch,
                        below.toward * kPitch,
                        0,
                        0,
                        {},
                        _mm_set1_epi16(int16_t(row.fraction)),
                        _mm_set1_epi16(int16_t(32767 - row.fraction))};
        PixelTaps upper = lower;
        upper.nearRow = above.near * kPitch;
        upper.towardRow = above.toward * kPitch;
        const int lowerLine = (halfH + j) * kPitch, upperLine = (halfH - 1 - j) * kPitch;
        for (int i = 0; i < halfW; ++i) {
            const ColumnTaps& column = columns[i];
            lower.columnWeights = upper.columnWeights = column.weights;
            lower.nearCol = upper.nearCol = column.right.near;
            lower.towardCol = upper.towardCol = column.right.toward;
            blend_pixel_sse2(pixels, lowerLine + halfW + i, lower, sw, dw);
            blend_pixel_sse2(pixels, upperLine + halfW + i, upper, sw, dw);
            lower.nearCol = upper.nearCol = column.left.near;
            lower.towardCol = upper.towardCol = column.left.toward;
            blend_pixel_sse2(pixels, upperLine + halfW - 1 - i, upper, sw, dw);
            blend_pixel_sse2(pixels, lowerLine + halfW - 1 - i, lower, sw, dw);
        }
    }
}

#endif

void rblur_c_bl_alpha(const void* source, void* image, int width, int height, int stepX, int stepY,
                      uint32_t sampleWeights, uint32_t destWeights) {
#if defined(__SSE2__)
    static const auto chosen = simd_choose(&rblur_c_bl_alpha_sse2, &rblur_c_bl_alpha_scalar);
#else
    static const auto chosen = &rblur_c_bl_alpha_scalar;
#endif
    chosen(source, image, width, height, stepX, stepY, sampleWeights, destWeights);
}
