#include "obj/gridlerp.h"

#include "platform/simd.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kCell = 8;           // pixels per cell side
constexpr int kCellsPerLine = 40;  // cells per cell row
constexpr size_t kDstPitch = 2048; // bytes from one destination line to the next
constexpr int kTexRows = 256;      // texture rows, plus one repeated row below them

// Step of a cell edge per line, or of a line per pixel: the difference of two positions divided by
// the cell size, rounding toward minus infinity. Positions wrap in 32 bits.
uint32_t cell_step(uint32_t from, uint32_t to) {
    return static_cast<uint32_t>(static_cast<int32_t>(to - from) >> 3);
}

uint32_t load32(const uint8_t* p) {
    uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

void store32(uint8_t* p, uint32_t value) {
    std::memcpy(p, &value, sizeof value);
}

// Index of the texel bilinear tap t11 for the texel t00 at `index`. It is the texel after t01; only
// for the last texel of row 255 would that lie one past the repeated row, so it is held there.
template <int TexWidth>
size_t lower_right_tap(size_t index) {
    return std::min<size_t>(index + TexWidth + 1, (kTexRows + 1) * size_t{TexWidth} - 1);
}

// The bilinear sample at (u, v): 7-bit horizontal weights summing to 127, 9-bit vertical weights
// summing to 511, each vertical product keeping its bits 16 to 31. t10 is the texel after t00 in
// memory, so the last column blends with the first texel of the next row.
template <int TexWidth>
uint32_t sample_bilinear(const uint8_t* texture, uint32_t u, uint32_t v) {
    const size_t x = (u >> 8) & (TexWidth - 1);
    const size_t y = (v >> 8) & (kTexRows - 1);
    const size_t index = y * TexWidth + x;
    const uint32_t t00 = load32(texture + 4 * index);
    const uint32_t t10 = load32(texture + 4 * (index + 1));
    const uint32_t t01 = load32(texture + 4 * (index + TexWidth));
    const uint32_t t11 = load32(texture + 4 * lower_right_tap<TexWidth>(index));

    const uint32_t right = (u & 255) >> 1;
    const uint32_t left = 127 - right;
    const uint32_t lower = 2 * (v & 255) + 1;
    const uint32_t upper = 510 - 2 * (v & 255);

    uint32_t pixel = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t top = ((t00 >> shift) & 255) * left + ((t10 >> shift) & 255) * right;
        const uint32_t bottom = ((t01 >> shift) & 255) * left + ((t11 >> shift) & 255) * right;
        const uint32_t sum = ((top * upper) >> 16) + ((bottom * lower) >> 16);
        pixel |= std::min<uint32_t>(sum, 255) << shift;
    }
    return pixel;
}

template <int TexWidth>
void tmap_bilinear_scalar(void* dst, const grid* nodes, const void* texture, int cellRows) {
    const auto* tex = static_cast<const uint8_t*>(texture);
    for (int row = 0; row < cellRows; ++row) {
        for (int cell = 0; cell < kCellsPerLine; ++cell) {
            const grid& a = nodes[row * grid_nodes_per_row + cell];
            const grid& b = nodes[row * grid_nodes_per_row + cell + 1];
            const grid& c = nodes[(row + 1) * grid_nodes_per_row + cell];
            const grid& d = nodes[(row + 1) * grid_nodes_per_row + cell + 1];
            const uint32_t stepUL = cell_step(a.u, c.u), stepVL = cell_step(a.v, c.v);
            const uint32_t stepUR = cell_step(b.u, d.u), stepVR = cell_step(b.v, d.v);
            uint32_t uL = a.u, vL = a.v, uR = b.u, vR = b.v;
            auto* line = static_cast<uint8_t*>(dst) + (size_t(row) * kCell * kDstPitch) +
                         size_t(cell) * kCell * 4;
            for (int y = 0; y < kCell; ++y) {
                const uint32_t du = cell_step(uL, uR), dv = cell_step(vL, vR);
                uint32_t u = uL, v = vL;
                for (int x = 0; x < kCell; ++x) {
                    store32(line + 4 * x, sample_bilinear<TexWidth>(tex, u, v));
                    u += du;
                    v += dv;
                }
                uL += stepUL;
                vL += stepVL;
                uR += stepUR;
                vR += stepVR;
                line += kDstPitch;
            }
        }
    }
}

#if defined(__SSE2__)

// Four lines of one cell at a time. The edge positions of the four lines are transposed so that
// each vector holds one quantity for the four lines; stepping a vector by the per-pixel steps then
// walks one pixel column of the four lines. Texel indices and weights of all 32 pixels are worked
// out that way first; the pixels are then blended two at a time, eight 16-bit lanes holding the
// four channels of the same column on lines 0 and 2 (or 1 and 3), where one word shuffle per
// half spreads each weight of the column vector to its four lanes.
template <int TexWidth>
class CellQuarter {
  public:
    // `edges` holds (uL, vL, uR, vR) for each of the four lines.
    void prepare(const __m128i edges[4]) {
        const __m128i uvL01 = _mm_unpacklo_epi32(edges[0], edges[1]);
        const __m128i uvL23 = _mm_unpacklo_epi32(edges[2], edges[3]);
        const __m128i uvR01 = _mm_unpackhi_epi32(edges[0], edges[1]);
        const __m128i uvR23 = _mm_unpackhi_epi32(edges[2], edges[3]);
        __m128i u = _mm_unpacklo_epi64(uvL01, uvL23);
        __m128i v = _mm_unpackhi_epi64(uvL01, uvL23);
        const __m128i du = _mm_srai_epi32(_mm_sub_epi32(_mm_unpacklo_epi64(uvR01, uvR23), u), 3);
        const __m128i dv = _mm_srai_epi32(_mm_sub_epi32(_mm_unpackhi_epi64(uvR01, uvR23), v), 3);
        if constexpr (TexWidth == 256)
            walk_16(u, v, du, dv);
        else
            walk_32(u, v, du, dv);
    }

    void draw(uint8_t* dst, const uint8_t* texture) const {
        // The one texel whose lower taps need care is rare: only quarters that sample it pay for
        // the check on every pixel.
        if (_mm_movemask_epi8(last_texel_) == 0)
            draw_lines<false>(dst, texture);
        else
            draw_lines<true>(dst, texture);
    }

  private:
    static constexpr int kLastTexel = kTexRows * TexWidth - 1;

    template <bool MaySampleLastTexel>
    void draw_lines(uint8_t* dst, const uint8_t* texture) const {
        for (int x = 0; x < kCell; x += 2) {
            store_columns<0>(dst + 4 * x, pair<MaySampleLastTexel, 0>(texture, x),
                             pair<MaySampleLastTexel, 0>(texture, x + 1));
            store_columns<1>(dst + 4 * x, pair<MaySampleLastTexel, 1>(texture, x),
                             pair<MaySampleLastTexel, 1>(texture, x + 1));
        }
    }

    // Columns x and x + 1 of lines Line and Line + 2, each as line Line then line Line + 2.
    template <int Line>
    static void store_columns(uint8_t* dst, __m128i first, __m128i second) {
        const __m128i lines = _mm_shuffle_epi32(_mm_packus_epi16(first, second), 0xD8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + Line * kDstPitch), lines);
        // movhps: the high half straight to memory (the pd form would be an aligned double store).
        _mm_storeh_pi(reinterpret_cast<__m64*>(dst + (Line + 2) * kDstPitch),
                      _mm_castsi128_ps(lines));
    }

    // The 512-wide texture needs 17 bits of u: the walk goes one column at a time in 32-bit lanes.
    void walk_32(__m128i u, __m128i v, __m128i du, __m128i dv) {
        // Kept in a register: accumulated in the member, it chains every column through memory.
        __m128i lastTexel = _mm_setzero_si128();
        // Unrolled so that the stores get fixed addresses.
#pragma GCC unroll 8
        for (int x = 0; x < kCell; ++x) {
            constexpr int kRowShift = TexWidth == 512 ? 1 : 0; // v's texel row times the width
            const __m128i row = _mm_slli_epi32(_mm_and_si128(v, _mm_set1_epi32(0xFF00)), kRowShift);
            const __m128i col = _mm_and_si128(_mm_srli_epi32(u, 8), _mm_set1_epi32(TexWidth - 1));
            const __m128i index = _mm_or_si128(row, col);
            _mm_store_si128(reinterpret_cast<__m128i*>(index_[x]), index);
            lastTexel = _mm_or_si128(lastTexel, _mm_cmpeq_epi32(index, _mm_set1_epi32(kLastTexel)));
            const __m128i right = _mm_and_si128(_mm_srli_epi32(u, 1), _mm_set1_epi32(0x7F));
            // 510 - 2fv is 2fv with its eight bits flipped.
            const __m128i upper =
                _mm_andnot_si128(_mm_slli_epi32(v, 17), _mm_set1_epi32(0x1FE0000));
            weights_[x] = _mm_or_si128(right, upper);
            u = _mm_add_epi32(u, du);
            v = _mm_add_epi32(v, dv);
        }
        last_texel_ = lastTexel;
    }

    // The 256-wide texture needs only the low 16 bits of u and v (the walk keeps them modulo
    // 2^16), so 16-bit lanes hold two columns of the four lines and one step walks both.
    void walk_16(__m128i u, __m128i v, __m128i du, __m128i dv) {
        auto low_halves = [](__m128i first, __m128i second) {
            auto sign_extended = [](__m128i a) {
                return _mm_srai_epi32(_mm_slli_epi32(a, 16), 16);
            };
            return _mm_packs_epi32(sign_extended(first), sign_extended(second));
        };
        __m128i u2 = low_halves(u, _mm_add_epi32(u, du));
        __m128i v2 = low_halves(v, _mm_add_epi32(v, dv));
        const __m128i du2 = _mm_slli_epi16(low_halves(du, du), 1);
        const __m128i dv2 = _mm_slli_epi16(low_halves(dv, dv), 1);
        __m128i lastTexel = _mm_setzero_si128();
#pragma GCC unroll 4
        for (int x = 0; x < kCell; x += 2) {
            const __m128i index = _mm_or_si128(_mm_and_si128(v2, _mm_set1_epi16(int16_t(0xFF00))),
                                               _mm_srli_epi16(u2, 8));
            _mm_store_si128(reinterpret_cast<__m128i*>(index_[x]), index); // columns x, x + 1
            lastTexel =
                _mm_or_si128(lastTexel, _mm_cmpeq_epi16(index, _mm_set1_epi16(int16_t(-1))));
            const __m128i right = _mm_and_si128(_mm_srli_epi16(u2, 1), _mm_set1_epi16(0x7F));
            const __m128i upper = _mm_andnot_si128(_mm_slli_epi16(v2, 1), _mm_set1_epi16(0x1FE));
            weights_[x] = _mm_unpacklo_epi16(right, upper);
            weights_[x + 1] = _mm_unpackhi_epi16(right, upper);
            u2 = _mm_add_epi16(u2, du2);
            v2 = _mm_add_epi16(v2, dv2);
        }
        last_texel_ = lastTexel;
    }

    // Pixel x of lines Line and Line + 2 as eight 16-bit channels.
    template <bool MaySampleLastTexel, int Line>
    __m128i pair(const uint8_t* texture, int x) const {
        __m128i upperA, lowerA, upperB, lowerB;
        load_taps<MaySampleLastTexel>(texture, index_[x][Line], upperA, lowerA);
        load_taps<MaySampleLastTexel>(texture, index_[x][Line + 2], upperB, lowerB);
        // (t00 of both pixels, t10 of both) and (t01, t11).
        const __m128i zero = _mm_setzero_si128();
        const __m128i upperTaps = _mm_unpacklo_epi32(upperA, upperB);
        const __m128i lowerTaps = _mm_unpacklo_epi32(lowerA, lowerB);
        const __m128i t00 = _mm_unpacklo_epi8(upperTaps, zero);
        const __m128i t10 = _mm_unpackhi_epi8(upperTaps, zero);
        const __m128i t01 = _mm_unpacklo_epi8(lowerTaps, zero);
        const __m128i t11 = _mm_unpackhi_epi8(lowerTaps, zero);

        // Each weight of the two lines spread to four lanes: words 2 Line and 2 Line + 4 hold the
        // right weights, the words after them the upper weights.
        constexpr int kRight = Line * 0xAA, kUpper = kRight + 0x55;
        const __m128i rightWeight =
            _mm_shufflehi_epi16(_mm_shufflelo_epi16(weights_[x], kRight), kRight);
        const __m128i leftWeight = _mm_xor_si128(rightWeight, _mm_set1_epi16(127));
        const __m128i top =
            _mm_add_epi16(_mm_mullo_epi16(t00, leftWeight), _mm_mullo_epi16(t10, rightWeight));
        const __m128i bottom =
            _mm_add_epi16(_mm_mullo_epi16(t01, leftWeight), _mm_mullo_epi16(t11, rightWeight));
        // Rows are at most 255 * 127 and the vertical weights sum to 511, so the sum stays below
        // 256 and needs no saturation.
        const __m128i upperWeight =
            _mm_shufflehi_epi16(_mm_shufflelo_epi16(weights_[x], kUpper), kUpper);
        const __m128i lowerWeight = _mm_xor_si128(upperWeight, _mm_set1_epi16(0x1FF));
        return _mm_add_epi16(_mm_mulhi_epu16(top, upperWeight),
                             _mm_mulhi_epu16(bottom, lowerWeight));
    }

    // The two upper taps at `index` and the two below them, each pair as one 8-byte load.
    template <bool MaySampleLastTexel>
    static void load_taps(const uint8_t* texture, int32_t index, __m128i& upper, __m128i& lower) {
        const uint8_t* top = texture + 4 * size_t(index);
        upper = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(top));
        if (!MaySampleLastTexel || index != kLastTexel) {
            lower = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + 4 * TexWidth));
        } else {
            const __m128i t01 = _mm_cvtsi32_si128(static_cast<int>(load32(top + 4 * TexWidth)));
            lower = _mm_unpacklo_epi32(t01, t01); // t11 held on the last texel
        }
    }

    // Texel indices by column and line; 16 bits hold those of the 256-wide texture.
    using Index = std::conditional_t<TexWidth == 256, uint16_t, int32_t>;
    alignas(16) Index index_[kCell][4];
    // Per column and line: the right weight fu >> 1 in the low half of the line's 32 bits, the
    // upper weight 510 - 2fv in the high half.
    __m128i weights_[kCell];
    __m128i last_texel_; // nonzero if some pixel of the quarter samples the last texel
};

template <int TexWidth>
void tmap_bilinear_sse2(void* dst, const grid* nodes, const void* texture, int cellRows) {
    const auto* tex = static_cast<const uint8_t*>(texture);
    CellQuarter<TexWidth> quarter;
    for (int row = 0; row < cellRows; ++row) {
        const grid* upper = nodes + row * grid_nodes_per_row;
        const grid* lower = upper + grid_nodes_per_row;
        for (int cell = 0; cell < kCellsPerLine; ++cell) {
            auto node = [](const grid* n) {
                return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(n));
            };
            // (uL, vL, uR, vR) of the first line and its step per line.
            const __m128i top = _mm_unpacklo_epi64(node(upper + cell), node(upper + cell + 1));
            const __m128i bottom = _mm_unpacklo_epi64(node(lower + cell), node(lower + cell + 1));
            const __m128i step = _mm_srai_epi32(_mm_sub_epi32(bottom, top), 3);
            auto* out = static_cast<uint8_t*>(dst) + size_t(row) * kCell * kDstPitch +
                        size_t(cell) * kCell * 4;
            __m128i edges[4];
            edges[0] = top;
            for (int half = 0; half < 2; ++half) {
                for (int y = 1; y < 4; ++y)
                    edges[y] = _mm_add_epi32(edges[y - 1], step);
                quarter.prepare(edges);
                quarter.draw(out + size_t(half) * 4 * kDstPitch, tex);
                edges[0] = _mm_add_epi32(edges[3], step);
            }
        }
    }
}

#endif

} // namespace

void grid_tmap_8b_scalar(void* dst, const grid* nodes, const void* texture, int cellRows) {
    tmap_bilinear_scalar<256>(dst, nodes, texture, cellRows);
}

void grid_tmap_8b_512x256_scalar(void* dst, const grid* nodes, const void* texture, int cellRows) {
    tmap_bilinear_scalar<512>(dst, nodes, texture, cellRows);
}

#if defined(__SSE2__)
void grid_tmap_8b_sse2(void* dst, const grid* nodes, const void* texture, int cellRows) {
    tmap_bilinear_sse2<256>(dst, nodes, texture, cellRows);
}

void grid_tmap_8b_512x256_sse2(void* dst, const grid* nodes, const void* texture, int cellRows) {
    tmap_bilinear_sse2<512>(dst, nodes, texture, cellRows);
}
#endif

void grid_tmap_8b(void* dst, const grid* nodes, const void* texture, int cellRows) {
#if defined(__SSE2__)
    static const auto chosen = simd_choose(&grid_tmap_8b_sse2, &grid_tmap_8b_scalar);
#else
    static const auto chosen = &grid_tmap_8b_scalar;
#endif
    chosen(dst, nodes, texture, cellRows);
}

void grid_tmap_8b_512x256(void* dst, const grid* nodes, const void* texture, int cellRows) {
#if defined(__SSE2__)
    static const auto chosen =
        simd_choose(&grid_tmap_8b_512x256_sse2, &grid_tmap_8b_512x256_scalar);
#else
    static const auto chosen = &grid_tmap_8b_512x256_scalar;
#endif
    chosen(dst, nodes, texture, cellRows);
}
