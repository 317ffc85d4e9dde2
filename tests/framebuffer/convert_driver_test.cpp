// The line drivers: which lines they hand the converter, with which extra word, where the lines
// land, and that doubled drivers write every source line twice.
#include <gtest/gtest.h>

#include <vector>

#include "convert_test_util.h"
#include "framebuffer/conv2x.h"
#include "framebuffer/convert.h"

using namespace convert_test;

namespace {

// A converter that records its calls and moves the pointers like a converter of
// `recorded_src_bytes` to `recorded_dst_bytes` per pixel would.
struct Call {
    const uint8_t* src;
    uint8_t* dst;
    uint32_t count;
    uintptr_t extra;
};
std::vector<Call> calls;
unsigned recorded_src_bytes = 4, recorded_dst_bytes = 2;

void record(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    calls.push_back({src, dst, count, extra});
    src += count * recorded_src_bytes;
    dst += count * recorded_dst_bytes;
}

class ConvertDriver : public ::testing::Test {
  protected:
    void SetUp() override {
        calls.clear();
        recorded_src_bytes = 4;
        recorded_dst_bytes = 2;
    }
};

// Width 5, source pitch 28 (5 x 4 + 8), destination pitch 16 (5 x 2 + 6).
constexpr uint32_t width = 5, srcadd = 8, dstadd = 6, src_pitch = 28, dst_pitch = 16;

TEST_F(ConvertDriver, PlainDriverPassesTheLinesRemaining) {
    std::vector<uint8_t> src(3 * src_pitch), dst(3 * dst_pitch);
    qbx_convert(dst.data(), src.data(), width, 3, srcadd, dstadd, record);
    ASSERT_EQ(3u, calls.size());
    for (uint32_t y = 0; y < 3; ++y) {
        EXPECT_EQ(src.data() + y * src_pitch, calls[y].src);
        EXPECT_EQ(dst.data() + y * dst_pitch, calls[y].dst);
        EXPECT_EQ(width, calls[y].count);
        EXPECT_EQ(3u - y, calls[y].extra);
    }
}

TEST_F(ConvertDriver, DoublingDriverConvertsEachSourceLineTwice) {
    std::vector<uint8_t> src(3 * src_pitch), dst(6 * dst_pitch);
    qbx_convert_2x(dst.data(), src.data(), width, 3, srcadd, dstadd, record);
    ASSERT_EQ(6u, calls.size());
    for (uint32_t line = 0; line < 6; ++line) {
        EXPECT_EQ(src.data() + line / 2 * src_pitch, calls[line].src) << line;
        EXPECT_EQ(dst.data() + line * dst_pitch, calls[line].dst) << line;
        EXPECT_EQ(6u - line, calls[line].extra) << "destination lines still to convert";
    }
}

TEST_F(ConvertDriver, PaletteDriversPassThePalette) {
    recorded_src_bytes = 1;
    const uintptr_t palette = 0x1234;
    std::vector<uint8_t> src(3 * 13), dst(6 * dst_pitch);
    qbx_convert_8to32(dst.data(), src.data(), palette, width, 3, 8, dstadd, record);
    ASSERT_EQ(3u, calls.size());
    for (uint32_t y = 0; y < 3; ++y) {
        EXPECT_EQ(src.data() + y * 13, calls[y].src);
        EXPECT_EQ(palette, calls[y].extra);
    }
    calls.clear();
    qbx_convert_8to32_2x(dst.data(), src.data(), palette, width, 3, 8, dstadd, record);
    ASSERT_EQ(6u, calls.size());
    for (uint32_t line = 0; line < 6; ++line) {
        EXPECT_EQ(src.data() + line / 2 * 13, calls[line].src);
        EXPECT_EQ(dst.data() + line * dst_pitch, calls[line].dst);
        EXPECT_EQ(palette, calls[line].extra);
    }
}

// A 4 x 3 picture of 8-bit indices (pitch 6) through the palette and then to abgr8888.
TEST_F(ConvertDriver, EightToAnyGoesThroughTheLineBuffer) {
    std::vector<uint32_t> palette(256);
    for (uint32_t i = 0; i < 256; ++i)
        palette[i] = 0x00010000 * i + 0x77; // red = index, blue = 0x77
    const std::vector<uint8_t> src = {1, 2, 3,    4,    0xEE, 0xEE, 5,  6,
                                      7, 8, 0xEE, 0xEE, 9,    10,   11, 12};
    std::vector<uint8_t> xlat(4 * 4);
    Guarded dst(3 * 20); // pitch 20: 16 bytes of pixels and 4 of padding
    qbx_convert_8toany(dst.data(), src.data(), xlat.data(),
                       reinterpret_cast<uintptr_t>(palette.data()), 4, 3, 2, 4,
                       qbx_convert_argb8888_abgr8888);
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(0x00770000u + src[y * 6 + x], load(dst.data() + y * 20 + x * 4, 4))
                << x << ", " << y;
        EXPECT_EQ(kUntouched, dst.data()[y * 20 + 16]) << "padding of line " << y;
    }
    EXPECT_TRUE(dst.guards_intact());
}

TEST_F(ConvertDriver, EightToAnyDoubledWritesEveryLineTwiceWithItsOwnRow) {
    const uint32_t palette[256] = {0x00010205}; // index 0: just below a step of every channel
    const std::vector<uint8_t> src(2 * 4, 0);
    std::vector<uint8_t> xlat(4 * 4);
    Guarded dst(4 * 16); // 4 lines of 8 rgb565 pixels
    qbx_convert_8toany_2x(dst.data(), src.data(), xlat.data(), reinterpret_cast<uintptr_t>(palette),
                          4, 2, 0, 0, qbx_convert_argb8888_rgb565d_mmx_2x);
    // Destination lines 4, 3, 2, 1 remaining: even rows give (0x20, 0), odd rows (1, 0x821).
    const uint32_t want[2][2] = {{0x0020, 0x0000}, {0x0001, 0x0821}}; // [row odd][pixel odd]
    for (uint32_t line = 0; line < 4; ++line)
        for (uint32_t x = 0; x < 8; ++x)
            EXPECT_EQ(want[line % 2][x % 2], load(dst.data() + line * 16 + x * 2, 2))
                << line << ", " << x;
    EXPECT_TRUE(dst.guards_intact());
}

// A 8 x 3 picture (pitch 40) doubled into 16 x 6 (pitch 72): every pixel lands on a 2 x 2 block
// and the padding stays as it was.
TEST_F(ConvertDriver, DoubledCopyShowsEachSourceLineOnTwoLines) {
    std::vector<uint32_t> src(3 * 10);
    for (uint32_t i = 0; i < src.size(); ++i)
        src[i] = 0x01000000 * i + 0x00ABCDEF;
    for (qbx_converter proc : {qbx_memcpy_32bpp_2x, qbx_mmx_memcpy_32bpp_2x}) {
        Guarded dst(6 * 72);
        qbx_convert_2x(dst.data(), reinterpret_cast<const uint8_t*>(src.data()), 8, 3, 8, 8, proc);
        for (uint32_t y = 0; y < 6; ++y) {
            for (uint32_t x = 0; x < 16; ++x)
                ASSERT_EQ(src[y / 2 * 10 + x / 2], load(dst.data() + y * 72 + x * 4, 4))
                    << x << ", " << y;
            for (uint32_t pad = 64; pad < 72; ++pad)
                ASSERT_EQ(kUntouched, dst.data()[y * 72 + pad]);
        }
        EXPECT_TRUE(dst.guards_intact());
    }
}

TEST_F(ConvertDriver, ZeroHeightConvertsNothing) {
    std::vector<uint8_t> src(4), dst(4);
    qbx_convert(dst.data(), src.data(), 1, 0, 0, 0, record);
    qbx_convert_2x(dst.data(), src.data(), 1, 0, 0, 0, record);
    EXPECT_TRUE(calls.empty());
}

} // namespace
