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

__m128i load_pixel(const uint8_t* p) {
    int32_t value;
    std::memcpy(&value, p, 4);
    return _mm_cvtsi32_si128(value);
}

// The two tap lines of one line of pixels and their weights (fy and 32767 - fy in every lane).
struct RowTaps {
    const uint8_t* near;
    const uint8_t* toward;
    __m128i nearWeight;
    __m128i towardWeight;
};

// The two tap columns of one column of pixels, as byte offsets in the line, the one further left
// first, and their weights: 2 fx9 for the near tap, 2 (511 - fx9) for the one toward the centre, in
// four 16-bit lanes each, in the same order as the taps.
struct ColumnTaps {
    ptrdiff_t first;
    ptrdiff_t second;
    __m128i weights;
};

// Both taps of one line, the first in the low half. They are loaded one by one: on lines that
// sample themselves a tap has often just been written, and a single wider load over two such
// pixels could not take them from the pending stores (it waits until they reach the cache).
__m128i tap_pair(const uint8_t* line, const ColumnTaps& column) {
    return _mm_unpacklo_epi32(load_pixel(line + column.first), load_pixel(line + column.second));
}

// The same arithmetic as blend_pixel, the four channels side by side in 16-bit lanes: the sample
// of one pixel, still as two halves (toward and near column, weighted) to be added.
[[gnu::always_inline]] inline __m128i weighted_taps(const RowTaps& row, const ColumnTaps& column) {
    const __m128i nearRow = tap_pair(row.near, column);
    const __m128i towardRow = tap_pair(row.toward, column);
    // b * 257 >> 1
    const __m128i nearExpanded = _mm_srli_epi16(_mm_unpacklo_epi8(nearRow, nearRow), 1);
    const __m128i towardExpanded = _mm_srli_epi16(_mm_unpacklo_epi8(towardRow, towardRow), 1);
    const __m128i vertical = _mm_add_epi16(_mm_mulhi_epi16(towardExpanded, row.towardWeight),
                                           _mm_mulhi_epi16(nearExpanded, row.nearWeight));
    return _mm_mulhi_epi16(vertical, column.weights);
}

// Blends samples into pixels: min(65535, sample * sw + pixel * dw) >> 8 per channel.
class Blender {
  public:
    Blender(uint32_t sampleWeights, uint32_t destWeights)
        : sample_(widen(sampleWeights)), dest_(widen(destWeights)) {}

    // One pixel, from the weighted taps of its sample.
    void one(uint8_t* out, __m128i taps) const {
        const __m128i sample = _mm_add_epi16(taps, _mm_srli_si128(taps, 8));
        const __m128i current = _mm_unpacklo_epi8(load_pixel(out), _mm_setzero_si128());
        const int32_t value = _mm_cvtsi128_si32(blend(sample, current));
        std::memcpy(out, &value, 4);
    }

    // Two pixels at once; neither may be a tap of the other's sample.
    void two(uint8_t* outA, uint8_t* outB, __m128i tapsA, __m128i tapsB) const {
        const __m128i samples =
            _mm_add_epi16(_mm_unpacklo_epi64(tapsA, tapsB), _mm_unpackhi_epi64(tapsA, tapsB));
        const __m128i current = _mm_unpacklo_epi8(
            _mm_unpacklo_epi32(load_pixel(outA), load_pixel(outB)), _mm_setzero_si128());
        const __m128i blended = blend(samples, current);
        const int32_t a = _mm_cvtsi128_si32(blended);
        const int32_t b = _mm_cvtsi128_si32(_mm_srli_si128(blended, 4));
        std::memcpy(outA, &a, 4);
        std::memcpy(outB, &b, 4);
    }

    // Four neighbouring pixels, left to right, from the weighted taps of their samples.
    void four(uint8_t* out, __m128i taps0, __m128i taps1, __m128i taps2, __m128i taps3) const {
        const __m128i current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out));
        const __m128i blended01 =
            blend_wide(sum_halves(taps0, taps1), _mm_unpacklo_epi8(current, _mm_setzero_si128()));
        const __m128i blended23 =
            blend_wide(sum_halves(taps2, taps3), _mm_unpackhi_epi8(current, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(blended01, blended23));
    }

    // Two neighbouring pixels, left to right.
    void pair(uint8_t* out, __m128i taps0, __m128i taps1) const {
        const __m128i current = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(out));
        const __m128i blended =
            blend_wide(sum_halves(taps0, taps1), _mm_unpacklo_epi8(current, _mm_setzero_si128()));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(blended, blended));
    }

  private:
    // The samples of two pixels, each the sum of the two halves of its weighted taps.
    static __m128i sum_halves(__m128i tapsA, __m128i tapsB) {
        return _mm_add_epi16(_mm_unpacklo_epi64(tapsA, tapsB), _mm_unpackhi_epi64(tapsA, tapsB));
    }

    // The blend in 16-bit lanes, at most 255 each thanks to the saturation.
    __m128i blend_wide(__m128i samples, __m128i current) const {
        const __m128i sum =
            _mm_adds_epu16(_mm_mullo_epi16(samples, sample_), _mm_mullo_epi16(current, dest_));
        return _mm_srli_epi16(sum, 8);
    }

    static __m128i widen(uint32_t weights) {
        return _mm_unpacklo_epi8(_mm_set1_epi32(int32_t(weights)), _mm_setzero_si128());
    }

    // Packed bytes of the blend of the samples into the current pixels (16-bit lanes).
    __m128i blend(__m128i samples, __m128i current) const {
        const __m128i blended = blend_wide(samples, current);
        return _mm_packus_epi16(blended, blended);
    }

    __m128i sample_;
    __m128i dest_;
};

RowTaps row_taps(const uint8_t* pixels, AxisTaps rows, int fraction) {
    return {pixels + 4 * size_t(rows.near) * kPitch, pixels + 4 * size_t(rows.toward) * kPitch,
            _mm_set1_epi16(int16_t(fraction)), _mm_set1_epi16(int16_t(32767 - fraction))};
}

ColumnTaps column_taps(AxisTaps columns, int fraction) {
    const auto near = static_cast<int16_t>(2 * fraction);
    const auto toward = static_cast<int16_t>(2 * (511 - fraction));
    if (columns.toward < columns.near)
        return {4 * ptrdiff_t(columns.toward), 4 * ptrdiff_t(columns.near),
                _mm_set_epi16(near, near, near, near, toward, toward, toward, toward)};
    return {4 * ptrdiff_t(columns.near), 4 * ptrdiff_t(columns.toward),
            _mm_set_epi16(toward, toward, toward, toward, near, near, near, near)};
}

// The column taps of every pixel of a line, by column, for lines whose tap lines stay as they are
// while the line is blended: their vertical blends are then done once per tap column, not once
// per pixel, and the pixels are blended four at a time.
struct LineTaps {
    // Each pixel's two tap columns are two neighbouring columns of the vertical blends, which
    // hold a copy of the edge column on either side (-1 and width) for the pixels whose taps are
    // both held at the edge: pairOffset is where they start (VerticalBlends::offset). Every pair
    // lies in firstColumn .. lastColumn.
    int32_t pairOffset[kMaxWidth];
    __m128i weights[kMaxWidth];
    int firstColumn, lastColumn;
};

// Vertical blends of two tap lines, column by column, four 16-bit channels each.
class VerticalBlends {
  public:
    void compute(const RowTaps& row, const LineTaps& taps, int width) {
        const int first = std::max(taps.firstColumn, 0),
                  last = std::min(taps.lastColumn, width - 1);
        const __m128i nearWeight = row.nearWeight, towardWeight = row.towardWeight;
        // Bytes b doubled into 16-bit lanes (b * 257), halved and weighted, as in weighted_taps.
        auto blend = [&](__m128i near, __m128i toward) {
            return _mm_add_epi16(_mm_mulhi_epi16(_mm_srli_epi16(toward, 1), towardWeight),
                                 _mm_mulhi_epi16(_mm_srli_epi16(near, 1), nearWeight));
        };
        const uint8_t* near = row.near + 4 * first;
        const uint8_t* toward = row.toward + 4 * first;
        int16_t* out = column(first);
        int count = last - first + 1;
        for (; count >= 4; count -= 4, near += 16, toward += 16, out += 16) {
            const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(near));
            const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(toward));
            store(out, blend(_mm_unpacklo_epi8(n, n), _mm_unpacklo_epi8(t, t)));
            store(out + 8, blend(_mm_unpackhi_epi8(n, n), _mm_unpackhi_epi8(t, t)));
        }
        for (; count > 0; --count, near += 4, toward += 4, out += 4) {
            const __m128i n = load_pixel(near), t = load_pixel(toward);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                             blend(_mm_unpacklo_epi8(n, n), _mm_unpacklo_epi8(t, t)));
        }
        if (taps.firstColumn < 0)
            std::memcpy(column(-1), column(0), 8);
        if (taps.lastColumn >= width)
            std::memcpy(column(width), column(width - 1), 8);
    }

    // Where column c is kept, in bytes.
    static int32_t offset(int c) { return 8 * (c + 1); }

    // Both tap columns of a pixel, weighted.
    __m128i weighted_pair(const LineTaps& taps, int x) const {
        const auto* pair = reinterpret_cast<const uint8_t*>(lanes_) + taps.pairOffset[x];
        return _mm_mulhi_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pair)),
                               taps.weights[x]);
    }

  private:
    static void store(int16_t* out, __m128i twoColumns) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), twoColumns);
    }
    int16_t* column(int c) { return lanes_ + 4 * (c + 1); }

    alignas(16) int16_t lanes_[4 * (kMaxWidth + 2)];
};

// One line whose tap lines are not written while it is blended: its pixels do not depend on one
// another and are blended four at a time, left to right.
void blur_independent_line(uint8_t* line, int count, const LineTaps& taps,
                           const VerticalBlends& blends, const Blender& blender) {
    int x = 0;
    for (; x + 4 <= count; x += 4)
        blender.four(line + 4 * x, blends.weighted_pair(taps, x), blends.weighted_pair(taps, x + 1),
                     blends.weighted_pair(taps, x + 2), blends.weighted_pair(taps, x + 3));
    if (x < count) // count is even
        blender.pair(line + 4 * x, blends.weighted_pair(taps, x),
                     blends.weighted_pair(taps, x + 1));
}

struct Geometry {
    int halfW, halfH, width, height;
    int stepY;
};

bool is_tap(AxisTaps taps, int line) {
    return taps.near == line || taps.toward == line;
}

void blur_lines(uint8_t* pixels, const Geometry& g, const ColumnTaps* right, const ColumnTaps* left,
                const LineTaps& lineTaps, const Blender& blender) {
    VerticalBlends lowerBlends, upperBlends;
    for (int j = 0; j < g.halfH; ++j) {
        const AxisSample row = row_sample(j, g.stepY);
        const AxisTaps lowerRows = axis_taps(g.halfH, row.offset, true, g.height);
        const AxisTaps upperRows = axis_taps(g.halfH, row.offset, false, g.height);
        const RowTaps lower = row_taps(pixels, lowerRows, row.fraction);
        const RowTaps upper = row_taps(pixels, upperRows, row.fraction);
        const int lowerLine = g.halfH + j, upperLine = g.halfH - 1 - j;
        uint8_t* below = pixels + 4 * (size_t(lowerLine) * kPitch + g.halfW);
        uint8_t* above = pixels + 4 * (size_t(upperLine) * kPitch + g.halfW);
        const bool lowerWritten = is_tap(lowerRows, lowerLine) || is_tap(upperRows, lowerLine);
        const bool upperWritten = is_tap(lowerRows, upperLine) || is_tap(upperRows, upperLine);
        // Once the samples come from other lines (with steps below 1.0, from a few lines out),
        // the order within the two lines no longer matters.
        if (!lowerWritten && !upperWritten) {
            lowerBlends.compute(lower, lineTaps, g.width);
            upperBlends.compute(upper, lineTaps, g.width);
            blur_independent_line(below - 4 * g.halfW, 2 * g.halfW, lineTaps, lowerBlends, blender);
            blur_independent_line(above - 4 * g.halfW, 2 * g.halfW, lineTaps, upperBlends, blender);
            continue;
        }
        // The pixel above samples lines of its own half, unless the steps point across the centre
        // (always so on the first line); then it may sample the pixel below, just blended, and the
        // four are done one after the other. Likewise on the left.
        if (is_tap(upperRows, lowerLine) || is_tap(lowerRows, upperLine)) {
            for (int i = 0; i < g.halfW; ++i) {
                blender.one(below + 4 * i, weighted_taps(lower, right[i]));
                blender.one(above + 4 * i, weighted_taps(upper, right[i]));
                blender.one(above - 4 - 4 * i, weighted_taps(upper, left[i]));
                blender.one(below - 4 - 4 * i, weighted_taps(lower, left[i]));
            }
            continue;
        }
        for (int i = 0; i < g.halfW; ++i) {
            blender.two(below + 4 * i, above + 4 * i, weighted_taps(lower, right[i]),
                        weighted_taps(upper, right[i]));
            blender.two(above - 4 - 4 * i, below - 4 - 4 * i, weighted_taps(upper, left[i]),
                        weighted_taps(lower, left[i]));
        }
    }
}

// The start of the pair of vertical blends of a pixel's two tap columns (see LineTaps).
int pair_start(const ColumnTaps& column) {
    const int first = int(column.first / 4);
    // Both taps held at the left edge: the copy left of column 0 and column 0 itself.
    return column.first == column.second && first == 0 ? -1 : first;
}

} // namespace

void rblur_c_bl_alpha_sse2(const void*, void* image, int width, int height, int stepX, int stepY,
                           uint32_t sampleWeights, uint32_t destWeights) {
    const int halfW = width / 2, halfH = height / 2;
    if (width > kMaxWidth || halfW <= 0 || halfH <= 0)
        return;
    // Column taps and weights of every step outward, the same for every line.
    ColumnTaps right[kMaxWidth / 2], left[kMaxWidth / 2];
    LineTaps lineTaps;
    lineTaps.firstColumn = width;
    lineTaps.lastColumn = -1;
    for (int i = 0; i < halfW; ++i) {
        const AxisSample column = column_sample(i, stepX);
        right[i] = column_taps(axis_taps(halfW, column.offset, true, width), column.fraction);
        left[i] = column_taps(axis_taps(halfW, column.offset, false, width), column.fraction);
        for (const auto& [x, taps] : {std::pair{halfW + i, right[i]}, {halfW - 1 - i, left[i]}}) {
            const int start = pair_start(taps);
            lineTaps.pairOffset[x] = VerticalBlends::offset(start);
            lineTaps.weights[x] = taps.weights;
            lineTaps.firstColumn = std::min(lineTaps.firstColumn, start);
            lineTaps.lastColumn = std::max(lineTaps.lastColumn, start + 1);
        }
    }
    const Blender blender(sampleWeights, destWeights);
    const Geometry geometry{halfW, halfH, width, height, stepY};
    auto* pixels = static_cast<uint8_t*>(image);
    blur_lines(pixels, geometry, right, left, lineTaps, blender);
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
