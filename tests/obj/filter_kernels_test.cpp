// The kernels on small hand-made cases, through the chosen paths (the suite also runs scalar).
#include "obj/filter.h"

#include <gtest/gtest.h>

#include "filter_test_util.h"

namespace {

using filter_test::grey;
using filter_test::guarded;
using filter_test::line_of;

const fparm end_of_chain{nullptr, 0, 0, 0, 0, 0, 0, 0};

// ---- box blur -------------------------------------------------------------------------------

TEST(FilterBlur, ConstantLineOfTwoHundredGivesOneNinetyNine) {
    guarded src(4 * 37), dst(4 * 37);
    for (size_t i = 0; i < 37; ++i)
        src.set_px(i, grey(200));
    flt_blur_h_tr_clamp(line_of(dst.data(), src.data(), nullptr, 37, 1, 32767, 4));
    for (size_t i = 0; i < 37; ++i)
        ASSERT_EQ(grey(199), dst.px(i)) << i;
    EXPECT_TRUE(dst.guards_intact());
}

TEST(FilterBlur, WindowOfWhiteGivesTwoFiftyFourForTheScenesMultiplier) {
    for (int r : {1, 2, 3, 7, 16, 33, 64}) {
        guarded src(4 * 200, 255), dst(4 * 200);
        flt_blur_h_tr_clamp(line_of(dst.data(), src.data(), nullptr, 200, r, 65535 / (2 * r), 4));
        for (size_t i = 0; i < 200; ++i)
            ASSERT_EQ(grey(254), dst.px(i)) << "r " << r << " pixel " << i;
    }
}

TEST(FilterBlur, WindowReachesOneFurtherLeftAndRepeatsTheEnds) {
    guarded src(4 * 6), dst(4 * 6);
    const uint32_t v[6] = {100, 200, 0, 0, 0, 40};
    for (size_t i = 0; i < 6; ++i)
        src.set_px(i, v[i]);
    // r = 2, m = 16384: S / 4. Windows [x-2, x+1] with pixel 0 left and pixel 5 right repeated.
    flt_blur_h_tr_clamp(line_of(dst.data(), src.data(), nullptr, 6, 2, 16384, 4));
    const uint32_t want[6] = {(100 + 100 + 100 + 200) / 4, (100 + 100 + 200 + 0) / 4,
                              (100 + 200 + 0 + 0) / 4,     (200 + 0 + 0 + 0) / 4,
                              (0 + 0 + 0 + 40) / 4,        (0 + 0 + 40 + 40) / 4};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(want[i], dst.px(i)) << i;
}

TEST(FilterBlur, MultiplierIsSignedAndResultsSaturate) {
    guarded src(4 * 4, 100), dst(4 * 4);
    flt_blur_h_tr_clamp(line_of(dst.data(), src.data(), nullptr, 4, 1, 0x8000, 4)); // -32768
    EXPECT_EQ(0u, dst.px(0));
    flt_blur_h_tr_clamp(line_of(dst.data(), src.data(), nullptr, 4, 1, 0x7FFF, 4));
    EXPECT_EQ(grey(99), dst.px(1));
    guarded white(4 * 4, 255);
    flt_blur_h_tr_clamp(line_of(dst.data(), white.data(), nullptr, 4, 64, 0x7FFF, 4)); // 16319
    EXPECT_EQ(grey(255), dst.px(2));
}

TEST(FilterBlur, TransposedOutputWritesOnePixelPerRow) {
    const size_t width = 5, pitch = 4 * 8;
    guarded src(4 * width, 90), dst(pitch * width, 3);
    flt_blur_h_tr_clamp(line_of(dst.data() + 4, src.data(), nullptr, width, 1, 32767, pitch));
    for (size_t row = 0; row < width; ++row)
        for (size_t col = 0; col < 8; ++col)
            ASSERT_EQ(col == 1 ? grey(89) : grey(3), dst.px(row * 8 + col)) << row << "," << col;
    EXPECT_TRUE(dst.guards_intact());
}

TEST(FilterBlur, RadiusZeroCopiesToConsecutivePixels) {
    guarded src(4 * 6), dst(4 * 64, 1);
    for (size_t i = 0; i < 6; ++i)
        src.set_px(i, 0x11223344u * static_cast<uint32_t>(i + 1));
    flt_blur_h_tr_clamp(line_of(dst.data(), src.data(), nullptr, 6, 0, 999, 4 * 10));
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(src.px(i), dst.px(i));
    EXPECT_EQ(grey(1), dst.px(6));
}

TEST(FilterBlur, RadiusAboveSixtyFourActsAsSixtyFour) {
    guarded src(4 * 50), a(4 * 50), b(4 * 50);
    filter_test::random_bytes rnd(5);
    rnd.fill(src.data(), src.size());
    flt_blur_h_tr_clamp(line_of(a.data(), src.data(), nullptr, 50, 64, 500, 4));
    flt_blur_h_tr_clamp(line_of(b.data(), src.data(), nullptr, 50, 1000, 500, 4));
    EXPECT_EQ(a.all(), b.all());
    flt_blur_h_tr_clamp(line_of(b.data(), src.data(), nullptr, 50, uintptr_t(-5), 500, 4));
    for (size_t i = 0; i < 50; ++i) // negative radius: copy
        ASSERT_EQ(src.px(i), b.px(i));
}

TEST(FilterBlur, HalfBlurWritesHalfTheLineStepApartOnEvenLinesOnly) {
    const size_t width = 320, out = 160, pitch = 4 * 3;
    guarded src(4 * width, 200), dst(pitch * out, 7);
    const uintptr_t r = 2, m = 65535 / 4;
    flt_blur_h_half_tr_clamp(
        line_of(dst.data(), src.data(), nullptr, width, r, m, pitch, /*n=*/3, /*count=*/4));
    for (size_t k = 0; k < dst.size(); ++k)
        ASSERT_EQ(7, dst.data()[k]);
    flt_blur_h_half_tr_clamp(line_of(dst.data(), src.data(), nullptr, width, r, m, pitch, 4, 4));
    for (size_t row = 0; row < out; ++row)
        for (size_t col = 0; col < 3; ++col)
            ASSERT_EQ(col == 0 ? grey(199) : grey(7), dst.px(row * 3 + col)) << row;
    EXPECT_TRUE(dst.guards_intact());
}

TEST(FilterBlur, HalfBlurRepeatsTheLastSourcePixelOnTheRight) {
    guarded src(4 * 8), dst(4 * 4);
    src.set_px(7, 255); // only the last (odd) pixel is lit: it is not sampled inside the line
    flt_blur_h_half_tr_clamp(line_of(dst.data(), src.data(), nullptr, 8, 2, 16384, 4));
    // q = s0, s2, s4, s6 then s7 repeated; output 3 sums q[1..4]
    EXPECT_EQ(0u, dst.px(2));
    EXPECT_EQ(255u / 4, dst.px(3));
}

TEST(FilterBlur, HalfBlurRadiusZeroCopiesEverySecondPixelOnEveryLine) {
    guarded src(4 * 8), dst(4 * 4);
    for (size_t i = 0; i < 8; ++i)
        src.set_px(i, 10 + static_cast<uint32_t>(i));
    flt_blur_h_half_tr_clamp(line_of(dst.data(), src.data(), nullptr, 8, 0, 0, 400, 1, 2));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(10 + 2 * i, dst.px(i));
    EXPECT_TRUE(dst.guards_intact());
}

// ---- 2x upscaler -----------------------------------------------------------------------------

TEST(FilterBilinear, EvenLineDoublesTheRowUsingThePixelAfterIt) {
    guarded src(4 * 3), dst(4 * 4);
    src.set_px(0, grey(10));
    src.set_px(1, grey(30));
    src.set_px(2, grey(50));
    flt_line l = line_of(dst.data(), src.data(), nullptr, 2, 8, 0, 0, 2, 2);
    l.src_end = src.end();
    flt_bilinear_2x2(l);
    EXPECT_EQ(grey(10), dst.px(0));
    EXPECT_EQ(grey(20), dst.px(1));
    EXPECT_EQ(grey(30), dst.px(2));
    EXPECT_EQ(grey(40), dst.px(3));
    EXPECT_TRUE(dst.guards_intact());
}

// A 3 x 2 image with a pitch of 4 pixels, upscaled by the driver as the scenes do.
TEST(FilterBilinear, FourLinesThroughTheDriverWithTheLastRowAndPixelRepeated) {
    const size_t pitch = 16;
    guarded src(pitch * 2, 0), dst(4 * 6 * 4);
    const uint32_t image[2][4] = {{grey(0), grey(40), grey(80), grey(200)},
                                  {grey(100), grey(140), grey(20), grey(100)}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            src.set_px(4 * y + x, image[y][x]);
    // the span leaves out the padding pixel after the last row
    flt_buf slots[] = {
        {dst.data(), 24}, {src.data(), 8, src.data(), src.data() + 28}, {nullptr, 0}};
    const fparm chain[] = {{flt_bilinear_2x2, 0, 1, 0, 8, 0, 0, 3}, end_of_chain};
    ASSERT_TRUE(filter(chain, slots, 4));
    const uint32_t want[4][6] = {
        // row 0 doubled; its last pixel's neighbour is the padding pixel (plain memory)
        {0, 20, 40, 60, 80, 140},
        // rows 0 and 1 blended; row 1's neighbour pixel lies outside the span: its pixel 2 repeats
        {50, (0 + 100 + 40 + 140) / 4, 90, (40 + 140 + 80 + 20) / 4, 50, (80 + 20 + 200 + 20) / 4},
        // row 1 doubled, its last pixel repeated
        {100, 120, 140, 80, 20, 20},
        // row 1 with the missing row 2 replaced by row 1
        {100, 120, 140, 80, 20, 20}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(grey(want[y][x]), dst.px(6 * y + x)) << y << "," << x;
    EXPECT_TRUE(dst.guards_intact());
}

TEST(FilterBilinear, WithoutSpanTheRowEndRepeatsAndOddLinesUseTheLine) {
    guarded src(4 * 2), dst(4 * 4);
    src.set_px(0, grey(10));
    src.set_px(1, grey(30));
    flt_bilinear_2x2(line_of(dst.data(), src.data(), nullptr, 2, 8, 0, 0, 1, 1));
    EXPECT_EQ(grey(10), dst.px(0));
    EXPECT_EQ(grey(20), dst.px(1));
    EXPECT_EQ(grey(30), dst.px(2));
    EXPECT_EQ(grey(30), dst.px(3));
}

// ---- per-pixel kernels -----------------------------------------------------------------------

TEST(FilterSalpha, WeightedSumSaturatesBeforeTheShift) {
    guarded src(4 * 4, 255), third(4 * 4, 255), dst(4 * 4);
    flt_salpha(line_of(dst.data(), src.data(), third.data(), 4, 0xFFFFFFFF, 0xFFFFFFFF));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(0xFFFFFFFFu, dst.px(i));
    src.set_px(1, 0x01326432);   // 50, 100, 50, 1
    third.set_px(1, 0x01646464); // 100 each, alpha 1
    flt_salpha(line_of(dst.data(), src.data(), third.data(), 2, 0x00808080, 0x00FFFFFF));
    // blue (100*128 + 50*255) >> 8 = 99, green (12800 + 25500) >> 8 = 149, alpha weights 0
    EXPECT_EQ(0x00639563u, dst.px(1));
}

TEST(FilterModp8, MapScalesEveryChannel) {
    guarded src(4 * 8, 255), dst(4 * 8);
    guarded map(8);
    const uint8_t m[8] = {255, 0, 128, 1, 255, 255, 0, 64};
    std::memcpy(map.data(), m, 8);
    flt_modp8(line_of(dst.data(), src.data(), map.data(), 8));
    EXPECT_EQ(grey(254), dst.px(0));
    EXPECT_EQ(0u, dst.px(1)); // black with alpha 0
    EXPECT_EQ(grey(127), dst.px(2));
    EXPECT_EQ(0u, dst.px(3));
    EXPECT_EQ(grey(63), dst.px(7));
    EXPECT_TRUE(dst.guards_intact() && map.guards_intact());
}

TEST(FilterAlphac, ZeroWeightCopiesAndFullWeightFallsShortOfTheColour) {
    guarded src(4 * 6), dst(4 * 6);
    for (size_t i = 0; i < 6; ++i)
        src.set_px(i, 0x80FF0010u + static_cast<uint32_t>(i));
    flt_alphac(line_of(dst.data(), src.data(), nullptr, 6, 0, 0x00C0C0C0));
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(src.px(i), dst.px(i));
    flt_alphac(line_of(dst.data(), src.data(), nullptr, 6, 0x00FFFFFF, 0x00C0C0C0));
    // per channel (192 * 255 + s) >> 8: 191 for 0x10 and 0, 192 for 0xFF; alpha weight 0 keeps 0x80
    EXPECT_EQ(0x80C0BFBFu, dst.px(0));
}

TEST(FilterAdd, SaturatesEveryByteAndRunsInPlace) {
    guarded line(4 * 5 + 3);
    for (size_t k = 0; k < line.size(); ++k)
        line.data()[k] = static_cast<uint8_t>(k * 20);
    guarded copy(line.size());
    std::memcpy(copy.data(), line.data(), line.size());
    flt_add(line.data(), line.data(), line.size(), 0x40302010);
    for (size_t k = 0; k < line.size(); ++k) {
        const unsigned add = 0x10 * (1 + k % 4);
        ASSERT_EQ(std::min(255u, copy.data()[k] + add), line.data()[k]) << k;
    }
    EXPECT_TRUE(line.guards_intact());
}

// ---- colour-shift glitch -----------------------------------------------------------------------

struct glitch_image {
    static constexpr size_t width = 8, height = 3;
    guarded pixels{4 * width * height};
    flt_rgbsh table[height] = {};

    glitch_image() {
        for (size_t i = 0; i < width * height; ++i)
            pixels.set_px(i, grey(static_cast<uint32_t>(10 * i + 10)) & 0x00FFFFFF);
    }
    void run(bool spanned) {
        flt_buf slots[] = {{pixels.data(), 4 * width, spanned ? pixels.data() : nullptr,
                            spanned ? pixels.end() : nullptr},
                           {nullptr, 0}};
        const fparm chain[] = {
            {flt_rgbshift_avg_t, 0, 0, 0, reinterpret_cast<uintptr_t>(table), 0xFF00FF, 0, width},
            end_of_chain};
        ASSERT_TRUE(filter(chain, slots, height));
    }
};

TEST(FilterRgbshift, ShiftZeroOrMaskZeroLeavesTheLine) {
    glitch_image g;
    const std::vector<uint8_t> before = g.pixels.all();
    g.table[0] = {0x00FFFFFF, 0, 0, 0};
    g.table[1] = {0, 0, 3, 0};
    g.table[2] = {0, 0, -5, 0};
    g.run(true);
    EXPECT_EQ(before, g.pixels.all());
}

TEST(FilterRgbshift, InPlaceLeftTapSeesRewrittenPixelsAndTapsCrossLines) {
    glitch_image g;
    g.table[1] = {0x000000FF, 0, 1, 0}; // blue of line 1 only
    guarded before(g.pixels.size());
    std::memcpy(before.data(), g.pixels.data(), g.pixels.size());
    g.run(true);
    // line 1 is pixels 8 .. 15; blue of pixel i = (new blue of i-1 + old blue of i+1) / 2
    uint32_t left = before.px(7) & 0xFF; // the last pixel of line 0, untouched
    for (size_t i = 8; i < 16; ++i) {
        const uint32_t right = before.px(i + 1) & 0xFF; // pixel 16 is line 2's first
        const uint32_t blue = (left + right) >> 1;
        EXPECT_EQ((before.px(i) & 0xFFFFFF00u) | blue, g.pixels.px(i)) << i;
        left = blue;
    }
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(before.px(i), g.pixels.px(i));
    EXPECT_TRUE(g.pixels.guards_intact());
}

TEST(FilterRgbshift, TapsOutsideTheSpanRepeatItsEndPixels) {
    glitch_image g;                      // pixel i holds 10 i + 10 in blue, green and red
    g.table[0] = {0x00FFFFFF, 0, 6, 0};  // left taps before the first line
    g.table[2] = {0x00FFFFFF, 0, -6, 0}; // right taps after the last line
    g.run(true);
    // Line 0: the left taps clamp to pixel 0, which is rewritten (40) from pixel 1 on; the right
    // taps run into line 1 (90, 100, ...).
    const uint32_t line0[8] = {(10 + 70) / 2,  (40 + 80) / 2,  (40 + 90) / 2,  (40 + 100) / 2,
                               (40 + 110) / 2, (40 + 120) / 2, (40 + 130) / 2, (60 + 140) / 2};
    // Line 2: taps i + 6 clamp to pixel 23 (240, not yet rewritten); taps i - 6 reach line 1 and
    // then this line's rewritten pixels 16 and 17.
    const uint32_t line2[8] = {(230 + 110) / 2, (240 + 120) / 2, (240 + 130) / 2, (240 + 140) / 2,
                               (240 + 150) / 2, (240 + 160) / 2, (240 + 170) / 2, (240 + 180) / 2};
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(grey(line0[i]) & 0xFFFFFF, g.pixels.px(i)) << i;
        EXPECT_EQ(grey(line2[i]) & 0xFFFFFF, g.pixels.px(16 + i)) << i;
    }
    EXPECT_TRUE(g.pixels.guards_intact());
}

TEST(FilterRgbshift, WithoutSpanTapsStayOnTheLine) {
    glitch_image g;
    g.table[1] = {0x00FFFFFF, 0, 20, 0}; // both taps far outside the 8-pixel line
    guarded before(g.pixels.size());
    std::memcpy(before.data(), g.pixels.data(), g.pixels.size());
    g.run(false);
    // left taps clamp to pixel 8 (rewritten from pixel 9 on), right taps to pixel 15
    const uint32_t first = ((before.px(8) & 0xFF) + (before.px(15) & 0xFF)) >> 1;
    EXPECT_EQ(grey(first) & 0xFFFFFF, g.pixels.px(8));
    EXPECT_EQ(grey((first + (before.px(15) & 0xFF)) >> 1) & 0xFFFFFF, g.pixels.px(9));
}

TEST(FilterRgbshift, NullTableCopies) {
    guarded src(4 * 5), dst(4 * 5);
    filter_test::random_bytes rnd(3);
    rnd.fill(src.data(), src.size());
    flt_rgbshift_avg_t(line_of(dst.data(), src.data(), nullptr, 5));
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(src.px(i), dst.px(i));
}

} // namespace
