// Every SSE2 fast path against its scalar reference on seeded random input: odd widths and every
// remainder of the step sizes, extreme byte values, unaligned starts, random parameters. Both run
// on identical copies of the same memory, guard bands included, which must come out equal.
#include "obj/filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "filter_test_util.h"
#include "support/test_support.h"

#ifdef __SSE2__

namespace {

using filter_test::guarded;
using filter_test::random_bytes;

const fparm end_of_chain{nullptr, 0, 0, 0, 0, 0, 0, 0};

// Memory for one randomised case: source, destination and third buffers in one block, so that the
// offsets between them stay the same in both copies.
struct arena {
    guarded mem;
    arena(size_t bytes, random_bytes& rnd) : mem(bytes) { rnd.fill(mem.data(), bytes); }
    uint8_t* at(size_t offset) { return mem.data() + offset; }
};

// A 32-bit number whose bytes are mostly 0, 1, 254 or 255.
uint32_t random_word(random_bytes& rnd) {
    uint32_t v = 0;
    for (int c = 0; c < 4; ++c)
        v |= static_cast<uint32_t>(rnd.byte()) << (8 * c);
    return v;
}

// Runs `scalar` and `fast` on copies of `base`; `run` gets the kernel and the copy.
template <typename Run>
void expect_same(const arena& base, flt_kernel scalar, flt_kernel fast, Run run) {
    arena a(base), b(base);
    run(scalar, a);
    run(fast, b);
    ASSERT_EQ(a.mem.all(), b.mem.all());
    ASSERT_TRUE(a.mem.guards_intact());
}

#define TRACE_CASE(seed, it)                                                                       \
    SCOPED_TRACE(::testing::Message() << "seed " << (seed) << " case " << (it))

void blur_cases(flt_kernel scalar, flt_kernel fast, bool half) {
    const uint32_t seed = test_support::test_seed();
    random_bytes rnd(seed);
    for (int it = 0; it < 400; ++it) {
        TRACE_CASE(seed, it);
        const size_t width = (it % 3 == 0 ? 300 : 1) + rnd.below(40) * 8 + it % 8;
        const size_t out = half ? width / 2 : width;
        int32_t r = rnd.between(-2, 70);
        if (it % 4 == 0)
            r = rnd.between(1, 4);
        uint32_t m = r > 0 ? 65535 / (2 * r) : rnd.next();
        if (it % 5 == 0)
            m = rnd.next() & 0xFFFF;
        const bool transposed = it % 2;
        const size_t pitch = transposed ? 4 * (1 + rnd.below(5)) + rnd.below(4) : 4;
        const size_t src_at = rnd.below(4), dst_at = 4 * width + 8 + rnd.below(4);
        const arena base(dst_at + pitch * (out + 1) + 4 * out, rnd);
        const int32_t n = rnd.between(1, 2);
        expect_same(base, scalar, fast, [&](flt_kernel k, arena& mem) {
            k(filter_test::line_of(mem.at(dst_at), mem.at(src_at), nullptr, width, uint32_t(r), m,
                                   pitch, n, 2));
        });
    }
}

TEST(FilterSimd, BlurMatchesScalar) {
    blur_cases(detail::flt_blur_h_tr_clamp_scalar, detail::flt_blur_h_tr_clamp_sse2, false);
}

TEST(FilterSimd, HalfBlurMatchesScalar) {
    blur_cases(detail::flt_blur_h_half_tr_clamp_scalar, detail::flt_blur_h_half_tr_clamp_sse2,
               true);
}

// Per-pixel kernels: in place (on the source or on the third line) or into a separate line.
void per_pixel_cases(flt_kernel scalar, flt_kernel fast, bool byte_map) {
    const uint32_t seed = test_support::test_seed();
    random_bytes rnd(seed);
    for (int it = 0; it < 400; ++it) {
        TRACE_CASE(seed, it);
        const size_t width = rnd.below(70) + it % 4;
        const size_t line = 4 * width + 8;
        const size_t src_at = rnd.below(4), third_at = line + rnd.below(4);
        const size_t placement = rnd.below(3);
        const size_t dst_at = placement == 0                ? src_at
                              : placement == 1 && !byte_map ? third_at
                                                            : 2 * line + rnd.below(4);
        const arena base(3 * line + 4, rnd);
        // p0 0 is the fade switched off
        const uintptr_t p0 = it % 10 == 0 ? 0 : random_word(rnd), p1 = random_word(rnd);
        expect_same(base, scalar, fast, [&](flt_kernel k, arena& mem) {
            k(filter_test::line_of(mem.at(dst_at), mem.at(src_at), mem.at(third_at), width, p0,
                                   p1));
        });
    }
}

TEST(FilterSimd, SalphaMatchesScalar) {
    per_pixel_cases(detail::flt_salpha_scalar, detail::flt_salpha_sse2, false);
}

// Every pair of source and third values under weights around the rounding and saturation
// boundaries (two channels at w, two at v), so that each channel sees every pair of weights.
TEST(FilterSimd, SalphaMatchesScalarOnEveryValuePair) {
    const size_t width = 256 * 256;
    std::vector<uint8_t> src(4 * width), third(4 * width), want(4 * width), got(4 * width);
    for (size_t k = 0; k < width; ++k) {
        std::memset(&src[4 * k], static_cast<int>(k & 0xFF), 4);
        std::memset(&third[4 * k], static_cast<int>(k >> 8), 4);
    }
    const uint32_t weights[] = {0, 1, 127, 128, 129, 254, 255};
    for (uint32_t w : weights)
        for (uint32_t v : weights) {
            const uint32_t p0 = w | v << 8 | w << 16 | v << 24, p1 = v | w << 8 | v << 16 | w << 24;
            detail::flt_salpha_scalar(
                filter_test::line_of(want.data(), src.data(), third.data(), width, p0, p1));
            detail::flt_salpha_sse2(
                filter_test::line_of(got.data(), src.data(), third.data(), width, p0, p1));
            ASSERT_EQ(want, got) << "weights " << w << ", " << v;
        }
}

TEST(FilterSimd, Modp8MatchesScalar) {
    per_pixel_cases(detail::flt_modp8_scalar, detail::flt_modp8_sse2, true);
}

TEST(FilterSimd, AlphacMatchesScalar) {
    per_pixel_cases(detail::flt_alphac_scalar, detail::flt_alphac_sse2, false);
}

TEST(FilterSimd, AddMatchesScalar) {
    const uint32_t seed = test_support::test_seed();
    random_bytes rnd(seed);
    for (int it = 0; it < 400; ++it) {
        TRACE_CASE(seed, it);
        const size_t bytes = rnd.below(200) + it % 16;
        const size_t src_at = rnd.below(16);
        const size_t dst_at = it % 2 ? src_at : bytes + 16 + rnd.below(16);
        const arena base(2 * bytes + 32, rnd);
        const uint32_t p0 = random_word(rnd);
        arena a(base), b(base);
        detail::flt_add_scalar(a.at(dst_at), a.at(src_at), bytes, p0);
        detail::flt_add_sse2(b.at(dst_at), b.at(src_at), bytes, p0);
        ASSERT_EQ(a.mem.all(), b.mem.all());
    }
}

// A random image of `height` rows of `width` pixels, `pitch` bytes apart, in `rows` rows of
// memory from `at`, with an optional span: none, all the rows, or exactly the image's pixels.
struct image_case {
    size_t width, height, pitch, at, rows;
    int span;
    size_t bytes() const { return at + rows * pitch; }
    const uint8_t* span_begin(arena& mem) const { return span ? mem.at(at) : nullptr; }
    const uint8_t* span_end(arena& mem) const {
        if (span == 0)
            return nullptr;
        return mem.at(span == 1 ? bytes() : at + (height - 1) * pitch + 4 * width);
    }
};

image_case random_image(random_bytes& rnd, size_t max_width, size_t max_height, size_t spare) {
    image_case c;
    c.width = 1 + rnd.below(static_cast<uint32_t>(max_width));
    c.height = 1 + rnd.below(static_cast<uint32_t>(max_height));
    c.pitch = 4 * (c.width + rnd.below(3));
    c.at = rnd.below(4);
    c.rows = c.height + spare;
    c.span = static_cast<int>(rnd.below(3));
    return c;
}

TEST(FilterSimd, BilinearMatchesScalar) {
    const uint32_t seed = test_support::test_seed();
    random_bytes rnd(seed);
    for (int it = 0; it < 300; ++it) {
        TRACE_CASE(seed, it);
        // one spare row: without a span, odd lines read the line at the slot's pointer
        const image_case img = random_image(rnd, 70, 6, 1);
        const size_t dst_at = img.bytes() + rnd.below(4);
        const int count = static_cast<int>(2 * img.height) - static_cast<int>(rnd.below(2));
        const arena base(dst_at + 8 * img.width * 2 * img.height, rnd);
        expect_same(base, detail::flt_bilinear_2x2_scalar, detail::flt_bilinear_2x2_sse2,
                    [&](flt_kernel k, arena& mem) {
                        flt_buf slots[] = {{mem.at(dst_at), static_cast<int32_t>(8 * img.width)},
                                           {mem.at(img.at), static_cast<int32_t>(img.pitch / 2),
                                            img.span_begin(mem), img.span_end(mem)},
                                           {nullptr, 0}};
                        const fparm chain[] = {
                            {k, 0, 1, 0, img.pitch / 2, 0, 0, static_cast<int32_t>(img.width)},
                            end_of_chain};
                        ASSERT_TRUE(filter(chain, slots, count));
                    });
    }
}

TEST(FilterSimd, RgbshiftMatchesScalar) {
    const uint32_t seed = test_support::test_seed();
    random_bytes rnd(seed);
    for (int it = 0; it < 300; ++it) {
        TRACE_CASE(seed, it);
        const image_case img = random_image(rnd, 90, 8, 0);
        std::vector<flt_rgbsh> table(img.height);
        for (flt_rgbsh& rec : table) {
            const uint32_t kind = rnd.below(4);
            rec.mask = kind == 0 ? 0x00FFFFFF : kind == 1 ? random_word(rnd) : rnd.next();
            const int32_t w = static_cast<int32_t>(img.width);
            // small shifts, shifts around a few vector widths, shifts up to beyond the line
            const uint32_t range = rnd.below(3);
            rec.shift = range == 0   ? rnd.between(-6, 6)
                        : range == 1 ? rnd.between(-20, 20)
                                     : rnd.between(-3 * w, 3 * w);
        }
        const bool in_place = it % 3 != 0;
        const size_t dst_at = in_place ? img.at : img.bytes() + rnd.below(4);
        const arena base(img.bytes() + 4 + img.height * img.pitch, rnd);
        expect_same(base, detail::flt_rgbshift_avg_t_scalar, detail::flt_rgbshift_avg_t_sse2,
                    [&](flt_kernel k, arena& mem) {
                        flt_buf slots[] = {{mem.at(dst_at), static_cast<int32_t>(img.pitch)},
                                           {mem.at(img.at), static_cast<int32_t>(img.pitch),
                                            img.span_begin(mem), img.span_end(mem)},
                                           {nullptr, 0}};
                        const fparm chain[] = {{k, 0, 1, 0,
                                                reinterpret_cast<uintptr_t>(table.data()), 0, 0,
                                                static_cast<int32_t>(img.width)},
                                               end_of_chain};
                        ASSERT_TRUE(filter(chain, slots, static_cast<int>(img.height)));
                    });
    }
}

} // namespace

#endif
