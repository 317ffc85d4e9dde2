// qbx_get_converter: every row of the selection table, with and without SIMD, doubling and
// dithering, and the conversion bits it adds.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framebuffer/conv2x.h"
#include "framebuffer/convert.h"
#include "framebuffer/cpuid.h"
#include "framebuffer/quoblex.h"

namespace {

constexpr uint32_t M = 0x1000;     // mode flag: SIMD allowed
constexpr uint32_t X = 0x10000000; // double horizontally
constexpr uint32_t D = 0x80000000; // dither

struct Display {
    uint32_t bpp, r, g, b;
};
constexpr Display std32{32, 0xFF0000, 0xFF00, 0xFF};
constexpr Display bgr32{32, 0xFF, 0xFF00, 0xFF0000};
constexpr Display rgb24{24, 0xFF0000, 0xFF00, 0xFF};
constexpr Display rgb555{16, 0x7C00, 0x3E0, 0x1F};
constexpr Display rgb565{16, 0xF800, 0x7E0, 0x1F};
constexpr Display index8{8, 0, 0, 0};
constexpr Display odd32{32, 0xFF000000, 0xFF0000, 0xFF00}; // a 32-bit layout nobody converts to
constexpr Display bgr24{24, 0xFF, 0xFF00, 0xFF0000};

qbx_converter as_converter(qbx_converter proc) {
    return proc;
}

// Resets the state the copy rules read: a modern processor, no options.
class ConvertSelect : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_family_ = cpuid.family;
        saved_flags_ = qbx_flags;
        cpuid.family = 6;
        qbx_flags = 0;
    }
    void TearDown() override {
        cpuid.family = saved_family_;
        qbx_flags = saved_flags_;
    }

    struct Result {
        qbx_converter proc;
        uint32_t convflags;
    };
    static Result select(uint32_t srcbpp, const Display& d, uint32_t convflags, uint32_t flags) {
        qbx_converter proc = qbx_get_converter(srcbpp, d.bpp, d.r, d.g, d.b, convflags, flags);
        return {proc, convflags};
    }

  private:
    uint32_t saved_family_ = 0, saved_flags_ = 0;
};

// Expects `proc` and the bits added for each combination of doubling (X) and SIMD (M), with and
// without the dither bit D.
void expect_row(uint32_t srcbpp, const Display& d, uint32_t added, qbx_converter plain,
                qbx_converter plain_2x, qbx_converter simd, qbx_converter simd_2x,
                const char* row) {
    const qbx_converter want[2][2] = {{plain, plain_2x}, {simd, simd_2x}};
    for (uint32_t dither : {0u, D})
        for (int m = 0; m < 2; ++m)
            for (int x = 0; x < 2; ++x) {
                uint32_t flags = m ? M : 0;
                const uint32_t in = dither | (x ? X : 0);
                uint32_t convflags = in;
                const qbx_converter got =
                    qbx_get_converter(srcbpp, d.bpp, d.r, d.g, d.b, convflags, flags);
                SCOPED_TRACE(std::string(row) + (m ? " M" : "") + (x ? " X" : "") +
                             (dither ? " D" : ""));
                EXPECT_EQ(want[m][x], got);
                EXPECT_EQ(in | added, convflags);
                EXPECT_EQ(m ? M : 0u, flags) << "flags are only read";
            }
}

TEST_F(ConvertSelect, EightBitPictures) {
    expect_row(8, index8, 0, as_converter(qbx_fpu_memcpy), qbx_convert_index8_2x,
               as_converter(qbx_mmx_memcpy), qbx_convert_index8_2x, "8 on 8");
    expect_row(8, std32, 0x30000, qbx_convert_index8_argb8888, qbx_convert_index8_argb8888_2x,
               qbx_convert_index8_argb8888, qbx_convert_index8_argb8888_2x, "8 on std32");
    // Any other display: through argb8888 in the line buffer, then the 32-bit-source converter.
    expect_row(8, bgr32, 0x430000, qbx_convert_argb8888_abgr8888, qbx_convert_argb8888_abgr8888_2x,
               qbx_convert_argb8888_abgr8888, qbx_convert_argb8888_abgr8888_2x, "8 on bgr32");
    expect_row(8, rgb24, 0x430000, qbx_convert_argb8888_rgb888, qbx_convert_argb8888_rgb888_2x,
               qbx_convert_argb8888_rgb888, qbx_convert_argb8888_rgb888_2x, "8 on 24");
    expect_row(8, odd32, 0x430000, nullptr, nullptr, nullptr, nullptr, "8 on odd32");
}

TEST_F(ConvertSelect, EightBitPictureOn565FollowsTheDitherRule) {
    auto r = select(8, rgb565, D, M);
    EXPECT_EQ(qbx_convert_argb8888_rgb565d_mmx, r.proc);
    EXPECT_EQ(D | 0x430000, r.convflags);
    r = select(8, rgb555, X, 0);
    EXPECT_EQ(qbx_convert_argb8888_rgb555_2x, r.proc);
    EXPECT_EQ(X | 0x430000, r.convflags);
}

TEST_F(ConvertSelect, FifteenBitPictures) {
    expect_row(15, std32, 0x20000, qbx_convert_argb1555_argb8888, qbx_convert_argb1555_argb8888_2x,
               qbx_convert_argb1555_argb8888, qbx_convert_argb1555_argb8888_2x, "15 on std32");
    expect_row(15, rgb555, 0, qbx_fpu_memcpy_16bpp, qbx_convert_16bpp_2x, qbx_mmx_memcpy_16bpp,
               qbx_convert_16bpp_2x, "15 on 555");
    expect_row(15, rgb565, 0x20000, qbx_convert_argb1555_rgb565, qbx_convert_argb1555_rgb565_2x,
               qbx_convert_argb1555_rgb565, qbx_convert_argb1555_rgb565_2x, "15 on 565");
    expect_row(15, index8, 0x30000, qbx_convert_16bpp_index8_xlat, qbx_convert_16bpp_index8_xlat_2x,
               qbx_convert_16bpp_index8_xlat, qbx_convert_16bpp_index8_xlat_2x, "15 on 8");
    expect_row(15, bgr32, 0x830000, qbx_convert_argb8888_abgr8888, qbx_convert_argb8888_abgr8888_2x,
               qbx_convert_argb8888_abgr8888, qbx_convert_argb8888_abgr8888_2x, "15 on bgr32");
    expect_row(15, odd32, 0x830000, nullptr, nullptr, nullptr, nullptr, "15 on odd32");
}

TEST_F(ConvertSelect, SixteenBitPictures) {
    expect_row(16, std32, 0x20000, qbx_convert_rgb565_argb8888, qbx_convert_rgb565_argb8888_2x,
               qbx_convert_rgb565_argb8888, qbx_convert_rgb565_argb8888_2x, "16 on std32");
    expect_row(16, rgb565, 0, qbx_fpu_memcpy_16bpp, qbx_convert_16bpp_2x, qbx_mmx_memcpy_16bpp,
               qbx_convert_16bpp_2x, "16 on 565");
    expect_row(16, rgb555, 0x20000, qbx_convert_rgb565_argb1555, qbx_convert_rgb565_argb1555_2x,
               qbx_convert_rgb565_argb1555, qbx_convert_rgb565_argb1555_2x, "16 on 555");
    expect_row(16, index8, 0x30000, qbx_convert_16bpp_index8_xlat, qbx_convert_16bpp_index8_xlat_2x,
               qbx_convert_16bpp_index8_xlat, qbx_convert_16bpp_index8_xlat_2x, "16 on 8");
    // A procedure is found (the 32-bit-source one) but the pair is marked as having none.
    expect_row(16, rgb24, 0x830000, qbx_convert_argb8888_rgb888, qbx_convert_argb8888_rgb888_2x,
               qbx_convert_argb8888_rgb888, qbx_convert_argb8888_rgb888_2x, "16 on 24");
    expect_row(16, bgr24, 0x830000, nullptr, nullptr, nullptr, nullptr, "16 on bgr24");
}

TEST_F(ConvertSelect, ThirtyTwoBitPictures) {
    expect_row(32, std32, 0, qbx_fpu_memcpy_32bpp, qbx_memcpy_32bpp_2x, qbx_mmx_memcpy_32bpp,
               qbx_mmx_memcpy_32bpp_2x, "32 on std32");
    expect_row(32, bgr32, 0x20000, qbx_convert_argb8888_abgr8888, qbx_convert_argb8888_abgr8888_2x,
               qbx_convert_argb8888_abgr8888, qbx_convert_argb8888_abgr8888_2x, "32 on bgr32");
    expect_row(32, rgb24, 0x20000, qbx_convert_argb8888_rgb888, qbx_convert_argb8888_rgb888_2x,
               qbx_convert_argb8888_rgb888, qbx_convert_argb8888_rgb888_2x, "32 on 24");
    expect_row(32, odd32, 0, nullptr, nullptr, nullptr, nullptr, "32 on odd32");
    expect_row(32, bgr24, 0, nullptr, nullptr, nullptr, nullptr, "32 on bgr24");
}

TEST_F(ConvertSelect, ThirtyTwoBitOnSixteenBitDithersOnlyWithSimd) {
    struct Case {
        const Display& display;
        uint32_t convflags, flags;
        qbx_converter want;
    };
    const Case cases[] = {
        {rgb555, 0, 0, qbx_convert_argb8888_rgb555},
        {rgb555, X, 0, qbx_convert_argb8888_rgb555_2x},
        {rgb555, D, 0, qbx_convert_argb8888_rgb555},
        {rgb555, D | X, 0, qbx_convert_argb8888_rgb555_2x},
        {rgb555, 0, M, qbx_convert_argb8888_rgb555_mmx},
        {rgb555, X, M, qbx_convert_argb8888_rgb555_mmx_2x},
        {rgb555, D, M, qbx_convert_argb8888_rgb555d_mmx},
        {rgb555, D | X, M, qbx_convert_argb8888_rgb555d_mmx_2x},
        {rgb565, 0, 0, qbx_convert_argb8888_rgb565},
        {rgb565, X, 0, qbx_convert_argb8888_rgb565_2x},
        {rgb565, D, 0, qbx_convert_argb8888_rgb565},
        {rgb565, D | X, 0, qbx_convert_argb8888_rgb565_2x},
        {rgb565, 0, M, qbx_convert_argb8888_rgb565_mmx},
        {rgb565, X, M, qbx_convert_argb8888_rgb565_mmx_2x},
        {rgb565, D, M, qbx_convert_argb8888_rgb565d_mmx},
        {rgb565, D | X, M, qbx_convert_argb8888_rgb565d_mmx_2x},
    };
    for (const Case& c : cases) {
        const Result r = select(32, c.display, c.convflags, c.flags);
        EXPECT_EQ(c.want, r.proc) << "masks " << c.display.r << ", convflags " << c.convflags
                                  << ", flags " << c.flags;
        EXPECT_EQ(c.convflags | 0x20000, r.convflags);
    }
}

TEST_F(ConvertSelect, ThirtyTwoBitOnEightBitNeedsTheGreyBit) {
    struct Case {
        uint32_t convflags, flags;
        qbx_converter want;
    };
    const Case cases[] = {
        {1, 0, qbx_convert_argb8888_gray8},
        {1, M, qbx_convert_argb8888_gray8_mmx},
        {1 | X, 0, qbx_convert_argb8888_gray8_2x},
        {1 | X, M, qbx_convert_argb8888_gray8_2x}, // the doubled SIMD form is never chosen
        {0, 0, nullptr},
        {0, M, nullptr},
        {2, M, nullptr},
        {0x0101, 0, nullptr},                     // all of the low 16 bits count
        {0x10001, 0, qbx_convert_argb8888_gray8}, // and only they
        {0x20001, M, qbx_convert_argb8888_gray8_mmx},
    };
    for (const Case& c : cases) {
        const Result r = select(32, index8, c.convflags, c.flags);
        EXPECT_EQ(c.want, r.proc) << "convflags " << c.convflags << ", flags " << c.flags;
        EXPECT_EQ(c.convflags | 0x20000, r.convflags);
    }
}

TEST_F(ConvertSelect, OtherPictureDepthsHaveNoConverter) {
    for (uint32_t bpp : {0u, 1u, 4u, 24u, 64u}) {
        const Result r = select(bpp, std32, 0, M);
        EXPECT_EQ(nullptr, r.proc) << bpp;
        EXPECT_EQ(0u, r.convflags) << bpp;
    }
}

TEST_F(ConvertSelect, PlainCopiesAvoidTheBlockCopyOnOldProcessors) {
    for (bool old_family : {false, true})
        for (bool option : {false, true}) {
            cpuid.family = old_family ? 4 : 6;
            qbx_flags = option ? QBX_FLAG_OLDCPU : 0;
            const bool word_copy = old_family || option;
            SCOPED_TRACE(std::string("family ") + std::to_string(cpuid.family) +
                         (option ? " OLDCPU" : ""));
            EXPECT_EQ(word_copy, qbx_test_fpu_memcpy());
            EXPECT_EQ(word_copy ? qbx_memcpy_32bpp : qbx_fpu_memcpy_32bpp,
                      select(32, std32, 0, 0).proc);
            EXPECT_EQ(word_copy ? qbx_memcpy_16bpp : qbx_fpu_memcpy_16bpp,
                      select(16, rgb565, 0, 0).proc);
            EXPECT_EQ(word_copy ? as_converter(qbx_memcpy) : as_converter(qbx_fpu_memcpy),
                      select(8, index8, 0, 0).proc);
            // SIMD and doubled copies do not depend on it.
            EXPECT_EQ(qbx_mmx_memcpy_32bpp, select(32, std32, 0, M).proc);
            EXPECT_EQ(qbx_memcpy_32bpp_2x, select(32, std32, X, 0).proc);
        }
}

TEST(ConvertFpuTest, PatternSurvivesTheBlockCopySoNoWarningIsLogged) {
    const uint32_t saved_family = cpuid.family;
    FILE* saved_log = qbx_log;
    FILE* log = std::tmpfile();
    ASSERT_NE(nullptr, log);
    qbx_log = log;
    cpuid.family = 6;
    EXPECT_FALSE(qbx_test_fpu_memcpy());
    EXPECT_EQ(0L, std::ftell(log));
    qbx_log = saved_log;
    cpuid.family = saved_family;
    std::fclose(log);
}

} // namespace
