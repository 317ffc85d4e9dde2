// Every converter against the pixel formulas, written out here channel by channel: values, group
// sizes, the ignored remainder, where the pointers are left and that nothing past the line is
// touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "convert_test_util.h"
#include "framebuffer/conv2x.h"
#include "framebuffer/convert.h"
#include "support/test_support.h"

using namespace convert_test;

namespace {

uint32_t R(uint32_t p) {
    return (p >> 16) & 0xFF;
}
uint32_t G(uint32_t p) {
    return (p >> 8) & 0xFF;
}
uint32_t B(uint32_t p) {
    return p & 0xFF;
}
uint32_t A(uint32_t p) {
    return p >> 24;
}
uint32_t sat(uint32_t v) {
    return std::min<uint32_t>(v, 255);
}

// The dither offsets (blue, green, red) by [row odd][pixel odd].
struct Offset {
    uint32_t b, g, r;
};
constexpr Offset dither555[2][2] = {{{1, 6, 5}, {0, 0, 0}}, {{5, 2, 3}, {3, 4, 7}}};
constexpr Offset dither565[2][2] = {{{1, 3, 5}, {0, 0, 0}}, {{5, 1, 3}, {3, 2, 7}}};

// A reference: the destination pixel for source pixel `p` at destination position `at`.
using Reference = uint32_t (*)(uint32_t p, size_t at, uintptr_t extra);

uint32_t ref555(uint32_t p, size_t, uintptr_t) {
    return ((R(p) >> 3) << 10) | ((G(p) >> 3) << 5) | (B(p) >> 3);
}
uint32_t ref565(uint32_t p, size_t, uintptr_t) {
    return ((R(p) >> 3) << 11) | ((G(p) >> 2) << 5) | (B(p) >> 3);
}
uint32_t dithered(uint32_t p, const Offset& o) {
    return (sat(R(p) + o.r) << 16) | (sat(G(p) + o.g) << 8) | sat(B(p) + o.b);
}
uint32_t ref555d(uint32_t p, size_t at, uintptr_t lines) {
    return ref555(dithered(p, dither555[lines & 1][at & 1]), at, 0);
}
uint32_t ref565d(uint32_t p, size_t at, uintptr_t lines) {
    return ref565(dithered(p, dither565[lines & 1][at & 1]), at, 0);
}
uint32_t ref_abgr(uint32_t p, size_t, uintptr_t) {
    return (A(p) << 24) | (B(p) << 16) | (G(p) << 8) | R(p);
}
uint32_t ref_rgb888(uint32_t p, size_t, uintptr_t) {
    return p & 0xFFFFFF;
}
uint32_t ref_gray(uint32_t p, size_t, uintptr_t) {
    return (R(p) >> 2) + (G(p) >> 1) + (B(p) >> 2);
}
uint32_t ref_gray_weighted(uint32_t p, size_t, uintptr_t) {
    return (54 * R(p) + 184 * G(p) + 18 * B(p)) >> 8;
}
uint32_t ref_1555_8888(uint32_t p, size_t, uintptr_t) {
    const uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    return (r << 19) | (g << 11) | (b << 3);
}
uint32_t ref_565_8888(uint32_t p, size_t, uintptr_t) {
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return (r << 19) | (g << 10) | (b << 3);
}
uint32_t ref_565_1555(uint32_t p, size_t, uintptr_t) {
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return (r << 10) | ((g >> 1) << 5) | b;
}
uint32_t ref_1555_565(uint32_t p, size_t, uintptr_t) {
    const uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    return (r << 11) | (g << 6) | b;
}
uint32_t ref_gray_table(uint32_t p, size_t, uintptr_t table) {
    return reinterpret_cast<const uint8_t*>(table)[p];
}
uint32_t ref_palette(uint32_t i, size_t, uintptr_t palette) {
    return reinterpret_cast<const uint32_t*>(palette)[i];
}
uint32_t ref_same(uint32_t p, size_t, uintptr_t) {
    return p;
}

enum class Extra { none, lines, gray_table, palette };

struct Member {
    const char* name;
    qbx_converter proc;
    unsigned src_bytes, dst_bytes, copies, group;
    Reference ref;
    Extra extra;
};

qbx_converter as_converter(qbx_converter proc) {
    return proc;
}

const std::vector<Member>& members() {
    static const std::vector<Member> list = {
        {"argb8888_abgr8888", qbx_convert_argb8888_abgr8888, 4, 4, 1, 1, ref_abgr, Extra::none},
        {"argb8888_abgr8888_2x", qbx_convert_argb8888_abgr8888_2x, 4, 4, 2, 1, ref_abgr,
         Extra::none},
        {"argb8888_rgb888", qbx_convert_argb8888_rgb888, 4, 3, 1, 4, ref_rgb888, Extra::none},
        {"argb8888_rgb888_2x", qbx_convert_argb8888_rgb888_2x, 4, 3, 2, 2, ref_rgb888, Extra::none},
        {"argb8888_rgb555", qbx_convert_argb8888_rgb555, 4, 2, 1, 2, ref555, Extra::none},
        {"argb8888_rgb565", qbx_convert_argb8888_rgb565, 4, 2, 1, 2, ref565, Extra::none},
        {"argb8888_rgb555_2x", qbx_convert_argb8888_rgb555_2x, 4, 2, 2, 1, ref555, Extra::none},
        {"argb8888_rgb565_2x", qbx_convert_argb8888_rgb565_2x, 4, 2, 2, 1, ref565, Extra::none},
        {"argb8888_rgb555_mmx", qbx_convert_argb8888_rgb555_mmx, 4, 2, 1, 4, ref555, Extra::none},
        {"argb8888_rgb565_mmx", qbx_convert_argb8888_rgb565_mmx, 4, 2, 1, 4, ref565, Extra::none},
        {"argb8888_rgb555_mmx_2x", qbx_convert_argb8888_rgb555_mmx_2x, 4, 2, 2, 2, ref555,
         Extra::none},
        {"argb8888_rgb565_mmx_2x", qbx_convert_argb8888_rgb565_mmx_2x, 4, 2, 2, 2, ref565,
         Extra::none},
        {"argb8888_rgb555d_mmx", qbx_convert_argb8888_rgb555d_mmx, 4, 2, 1, 4, ref555d,
         Extra::lines},
        {"argb8888_rgb565d_mmx", qbx_convert_argb8888_rgb565d_mmx, 4, 2, 1, 4, ref565d,
         Extra::lines},
        {"argb8888_rgb555d_mmx_2x", qbx_convert_argb8888_rgb555d_mmx_2x, 4, 2, 2, 2, ref555d,
         Extra::lines},
        {"argb8888_rgb565d_mmx_2x", qbx_convert_argb8888_rgb565d_mmx_2x, 4, 2, 2, 2, ref565d,
         Extra::lines},
        {"argb8888_gray8", qbx_convert_argb8888_gray8, 4, 1, 1, 4, ref_gray, Extra::none},
        {"argb8888_gray8_2x", qbx_convert_argb8888_gray8_2x, 4, 1, 2, 2, ref_gray, Extra::none},
        {"argb8888_gray8_mmx", qbx_convert_argb8888_gray8_mmx, 4, 1, 1, 8, ref_gray_weighted,
         Extra::none},
        {"argb8888_gray8_mmx_2x", qbx_convert_argb8888_gray8_mmx_2x, 4, 1, 2, 8, ref_gray_weighted,
         Extra::none},
        {"argb1555_argb8888", qbx_convert_argb1555_argb8888, 2, 4, 1, 2, ref_1555_8888,
         Extra::none},
        {"argb1555_argb8888_2x", qbx_convert_argb1555_argb8888_2x, 2, 4, 2, 2, ref_1555_8888,
         Extra::none},
        {"rgb565_argb8888", qbx_convert_rgb565_argb8888, 2, 4, 1, 2, ref_565_8888, Extra::none},
        {"rgb565_argb8888_2x", qbx_convert_rgb565_argb8888_2x, 2, 4, 2, 2, ref_565_8888,
         Extra::none},
        {"rgb565_argb1555", qbx_convert_rgb565_argb1555, 2, 2, 1, 2, ref_565_1555, Extra::none},
        {"rgb565_argb1555_2x", qbx_convert_rgb565_argb1555_2x, 2, 2, 2, 2, ref_565_1555,
         Extra::none},
        {"argb1555_rgb565", qbx_convert_argb1555_rgb565, 2, 2, 1, 2, ref_1555_565, Extra::none},
        {"argb1555_rgb565_2x", qbx_convert_argb1555_rgb565_2x, 2, 2, 2, 2, ref_1555_565,
         Extra::none},
        {"16bpp_index8_xlat", qbx_convert_16bpp_index8_xlat, 2, 1, 1, 4, ref_gray_table,
         Extra::gray_table},
        {"16bpp_index8_xlat_2x", qbx_convert_16bpp_index8_xlat_2x, 2, 1, 2, 2, ref_gray_table,
         Extra::gray_table},
        {"index8_argb8888", qbx_convert_index8_argb8888, 1, 4, 1, 4, ref_palette, Extra::palette},
        {"index8_argb8888_2x", qbx_convert_index8_argb8888_2x, 1, 4, 2, 4, ref_palette,
         Extra::palette},
        {"16bpp_2x", qbx_convert_16bpp_2x, 2, 2, 2, 2, ref_same, Extra::none},
        {"index8_2x", qbx_convert_index8_2x, 1, 1, 2, 4, ref_same, Extra::none},
        {"memcpy_32bpp_2x", qbx_memcpy_32bpp_2x, 4, 4, 2, 8, ref_same, Extra::none},
        {"mmx_memcpy_32bpp_2x", qbx_mmx_memcpy_32bpp_2x, 4, 4, 2, 8, ref_same, Extra::none},
        {"memcpy (bytes)", as_converter(qbx_memcpy), 1, 1, 1, 1, ref_same, Extra::none},
        {"fpu_memcpy (bytes)", as_converter(qbx_fpu_memcpy), 1, 1, 1, 1, ref_same, Extra::none},
        {"mmx_memcpy (bytes)", as_converter(qbx_mmx_memcpy), 1, 1, 1, 1, ref_same, Extra::none},
        {"memcpy_32bpp", qbx_memcpy_32bpp, 4, 4, 1, 4, ref_same, Extra::none},
        {"memcpy_16bpp", qbx_memcpy_16bpp, 2, 2, 1, 2, ref_same, Extra::none},
        {"fpu_memcpy_32bpp", qbx_fpu_memcpy_32bpp, 4, 4, 1, 4, ref_same, Extra::none},
        {"fpu_memcpy_16bpp", qbx_fpu_memcpy_16bpp, 2, 2, 1, 2, ref_same, Extra::none},
        {"mmx_memcpy_32bpp", qbx_mmx_memcpy_32bpp, 4, 4, 1, 4, ref_same, Extra::none},
        {"mmx_memcpy_16bpp", qbx_mmx_memcpy_16bpp, 2, 2, 1, 2, ref_same, Extra::none},
    };
    return list;
}

// Checks one run of `m` over `count` pixels against the reference; returns the failures.
::testing::AssertionResult check_line(const Member& m, const std::vector<uint8_t>& src,
                                      uint32_t count, uintptr_t extra) {
    const size_t done = count - count % m.group;
    const size_t out_bytes = done * m.copies * m.dst_bytes;
    Guarded dst(size_t{count} * m.copies * m.dst_bytes);
    const Moved moved = run(m.proc, src.data(), dst.data(), count, extra);
    if (moved.src != done * m.src_bytes || moved.dst != out_bytes)
        return ::testing::AssertionFailure()
               << "count " << count << ": pointers moved by " << moved.src << " / " << moved.dst
               << ", expected " << done * m.src_bytes << " / " << out_bytes;
    for (size_t i = 0; i < done; ++i)
        for (unsigned c = 0; c < m.copies; ++c) {
            const size_t at = i * m.copies + c;
            const uint32_t pixel = load(&src[i * m.src_bytes], m.src_bytes);
            const uint32_t want = m.ref(pixel, at, extra);
            const uint32_t got = load(dst.data() + at * m.dst_bytes, m.dst_bytes);
            if (got != want)
                return ::testing::AssertionFailure()
                       << "count " << count << ", destination pixel " << at << " from "
                       << hex(pixel) << ": got " << hex(got) << ", expected " << hex(want);
        }
    if (dst.first_written_from(out_bytes) != dst.size() || !dst.guards_intact())
        return ::testing::AssertionFailure()
               << "count " << count << ": a byte past the converted pixels was written";
    return ::testing::AssertionSuccess();
}

TEST(ConvertMembers, EveryMemberMatchesItsFormulaForEveryLengthAndRemainder) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    std::vector<uint8_t> gray_table = random_bytes(random, 65536);
    std::vector<uint32_t> palette(256);
    for (uint32_t& entry : palette)
        entry = random();
    for (const Member& m : members()) {
        std::vector<uintptr_t> extras = {0};
        if (m.extra == Extra::lines)
            extras = {360, 359, 2, 1};
        if (m.extra == Extra::gray_table)
            extras = {reinterpret_cast<uintptr_t>(gray_table.data())};
        if (m.extra == Extra::palette)
            extras = {reinterpret_cast<uintptr_t>(palette.data())};
        for (uint32_t count = 0; count <= 40; ++count)
            for (uintptr_t extra : extras) {
                const std::vector<uint8_t> src = random_bytes(random, size_t{count} * m.src_bytes);
                EXPECT_TRUE(check_line(m, src, count, extra)) << m.name << ", seed " << seed;
            }
    }
}

// Runs `proc` over `pixels` and returns the destination words of `bytes` bytes each.
std::vector<uint32_t> convert(qbx_converter proc, const std::vector<uint32_t>& pixels,
                              unsigned bytes, unsigned copies, uintptr_t extra = 0) {
    Guarded dst(pixels.size() * bytes * copies);
    run(proc, reinterpret_cast<const uint8_t*>(pixels.data()), dst.data(),
        static_cast<uint32_t>(pixels.size()), extra);
    EXPECT_TRUE(dst.guards_intact());
    std::vector<uint32_t> out(pixels.size() * copies);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = load(dst.data() + i * bytes, bytes);
    return out;
}

using Words = std::vector<uint32_t>;

TEST(ConvertExamples, OrangeTo555And565) {
    const Words orange(8, 0x00FF8040);
    for (qbx_converter proc : {qbx_convert_argb8888_rgb555, qbx_convert_argb8888_rgb555_mmx})
        EXPECT_EQ(Words(8, 0x7E08), convert(proc, orange, 2, 1));
    for (qbx_converter proc : {qbx_convert_argb8888_rgb565, qbx_convert_argb8888_rgb565_mmx})
        EXPECT_EQ(Words(8, 0xFC08), convert(proc, orange, 2, 1));
    EXPECT_EQ(Words(16, 0x7E08), convert(qbx_convert_argb8888_rgb555_2x, orange, 2, 2));
    EXPECT_EQ(Words(16, 0xFC08), convert(qbx_convert_argb8888_rgb565_mmx_2x, orange, 2, 2));
}

TEST(ConvertExamples, GreyOfWhiteDiffersBetweenPlainAndSimdForms) {
    const Words white(8, 0x00FFFFFF);
    EXPECT_EQ(Words(8, 253), convert(qbx_convert_argb8888_gray8, white, 1, 1));
    EXPECT_EQ(Words(16, 253), convert(qbx_convert_argb8888_gray8_2x, white, 1, 2));
    EXPECT_EQ(Words(8, 255), convert(qbx_convert_argb8888_gray8_mmx, white, 1, 1));
    EXPECT_EQ(Words(16, 255), convert(qbx_convert_argb8888_gray8_mmx_2x, white, 1, 2));
}

// Red 1, green 2, blue 5 sits just below a step of every channel, so each offset shows.
TEST(ConvertExamples, DitherOffsetsByRowAndPixelParity) {
    const Words dark(4, 0x00010205);
    const qbx_converter d565 = qbx_convert_argb8888_rgb565d_mmx;
    EXPECT_EQ((Words{0x0020, 0x0000, 0x0020, 0x0000}), convert(d565, dark, 2, 1, 180));
    EXPECT_EQ((Words{0x0001, 0x0821, 0x0001, 0x0821}), convert(d565, dark, 2, 1, 179));
    // 555: even row (1, 6, 5): green 8 steps up; odd row (5, 2, 3) and (3, 4, 7).
    const qbx_converter d555 = qbx_convert_argb8888_rgb555d_mmx;
    EXPECT_EQ((Words{0x0020, 0x0000, 0x0020, 0x0000}), convert(d555, dark, 2, 1, 2));
    EXPECT_EQ((Words{0x0001, 0x0401, 0x0001, 0x0401}), convert(d555, dark, 2, 1, 1));
    // The doubled forms give the two copies of one pixel the even and the odd offset.
    EXPECT_EQ((Words{0x0001, 0x0821, 0x0001, 0x0821}),
              convert(qbx_convert_argb8888_rgb565d_mmx_2x, Words(2, 0x00010205), 2, 2, 1));
    // Offsets saturate instead of wrapping.
    EXPECT_EQ(Words(4, 0xFFFF), convert(d565, Words(4, 0x00FFFFFF), 2, 1, 1));
}

// Runs `proc` over 16-bit source pixels and returns the destination words of `bytes` bytes each.
std::vector<uint32_t> convert16(qbx_converter proc, const std::vector<uint16_t>& pixels,
                                unsigned bytes) {
    Guarded dst(pixels.size() * bytes);
    run(proc, reinterpret_cast<const uint8_t*>(pixels.data()), dst.data(),
        static_cast<uint32_t>(pixels.size()), 0);
    EXPECT_TRUE(dst.guards_intact());
    std::vector<uint32_t> out(pixels.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = load(dst.data() + i * bytes, bytes);
    return out;
}

TEST(ConvertExamples, SwapsAndSixteenBitForms) {
    EXPECT_EQ(Words{0x80302010}, convert(qbx_convert_argb8888_abgr8888, Words{0x80102030}, 4, 1));
    // Widening leaves the low bits and the alpha byte zero.
    EXPECT_EQ((Words{0x00F8F8F8, 0x00F8F8F8}),
              convert16(qbx_convert_argb1555_argb8888, {0x7FFF, 0xFFFF}, 4));
    EXPECT_EQ((Words{0x00F8FCF8, 0x00080408}),
              convert16(qbx_convert_rgb565_argb8888, {0xFFFF, 0x0821}, 4));
    // 565 -> 1555 drops the lowest green bit; 1555 -> 565 drops bit 15, new low green bit 0.
    EXPECT_EQ((Words{0x7FFF, 0x0001}), convert16(qbx_convert_rgb565_argb1555, {0xFFFF, 0x0021}, 2));
    EXPECT_EQ((Words{0xFFDF, 0x0040}), convert16(qbx_convert_argb1555_rgb565, {0xFFFF, 0x8020}, 2));
}

TEST(ConvertExamples, LineOf322PixelsThroughAFourPixelConverterConverts320) {
    std::mt19937 random(test_support::test_seed());
    const std::vector<uint8_t> src = random_bytes(random, 322 * 4);
    for (qbx_converter proc : {qbx_convert_argb8888_rgb565_mmx, qbx_convert_argb8888_rgb555d_mmx}) {
        Guarded dst(322 * 2);
        const Moved moved = run(proc, src.data(), dst.data(), 322, 1);
        EXPECT_EQ(1280u, moved.src);
        EXPECT_EQ(640u, moved.dst);
        EXPECT_EQ(644u, dst.first_written_from(640));
        EXPECT_TRUE(dst.guards_intact());
    }
}

} // namespace
