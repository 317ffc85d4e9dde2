#include "obj/sprdraw.h"

#include "guarded_buffer.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

uint32_t get(const uint8_t* p, size_t pixel) {
    uint32_t value;
    std::memcpy(&value, p + 4 * pixel, 4);
    return value;
}

// Adds one pair of source pixels to one pair of destination pixels.
std::pair<uint32_t, uint32_t> add_pair(std::pair<uint32_t, uint32_t> dst,
                                       std::pair<uint32_t, uint32_t> src, uint32_t multiplier) {
    uint8_t out[8], in[8];
    std::memcpy(out, &dst.first, 4);
    std::memcpy(out + 4, &dst.second, 4);
    std::memcpy(in, &src.first, 4);
    std::memcpy(in + 4, &src.second, 4);
    flare_addmul(out, in, 1, 1, 0, 0, multiplier);
    return {get(out, 0), get(out, 1)};
}

TEST(FlareAddmul, ScalesAddsAndSaturatesEachByte) {
    EXPECT_EQ(std::make_pair(0x309F3040u, 0x10203040u),
              add_pair({0x10203040u, 0x10203040u}, {0x80FF4020u, 0}, 0x40800001u));
    // Multiplier 0 leaves the destination as it is.
    EXPECT_EQ(std::make_pair(0x12345678u, 0xFFFFFFFFu),
              add_pair({0x12345678u, 0xFFFFFFFFu}, {0xFFFFFFFFu, 0xFFFFFFFFu}, 0));
    // 255 x 255 >> 8 adds 254; the alpha byte follows the multiplier's top byte, here 0.
    EXPECT_EQ(std::make_pair(0x07FEFEFFu, 0x00FEFEFEu),
              add_pair({0x07000001u, 0}, {0xFFFFFFFFu, 0xFFFFFFFFu}, 0x00FFFFFFu));
    // 200 + (255 x 128 >> 8) = 327 saturates at 255.
    EXPECT_EQ(std::make_pair(0xFFFFFFFFu, 0x807F7F7Fu),
              add_pair({0xC8C8C8C8u, 0x01000000u}, {0xFFFFFFFFu, 0xFFFFFFFFu}, 0x80808080u));
}

// A 16 x 16 sprite into a frame of 2048-byte lines, at the frame's bottom right so that the last
// pixel written is the frame's last byte. Only the sprite's rectangle changes.
TEST(FlareAddmul, StaysInsideTheRectangle) {
    constexpr size_t kPitch = 2048, kLines = 20, kSize = 16;
    GuardedBuffer frame(kPitch * kLines, 0, 0x10);
    std::vector<uint8_t> sprite(kSize * kSize * 4, 0xFF); // exactly the sprite's bytes
    const size_t left = kPitch / 4 - kSize, top = kLines - kSize;
    flare_addmul(frame.data() + top * kPitch + left * 4, sprite.data(), kSize, kSize / 2,
                 int(kPitch - kSize * 4), 0, 0x010101u * 64);
    for (size_t y = 0; y < kLines; ++y)
        for (size_t x = 0; x < kPitch / 4; ++x) {
            const bool inside = y >= top && x >= left;
            ASSERT_EQ(inside ? 0x104F4F4Fu : 0x10101010u, get(frame.data(), y * kPitch / 4 + x))
                << "x " << x << " y " << y;
        }
    EXPECT_TRUE(frame.guards_intact());
}

TEST(FlareAddmul, EmptyRectanglesDoNothing) {
    GuardedBuffer frame(64, 0, 0x33);
    const std::vector<uint8_t> sprite(64, 0xFF);
    flare_addmul(frame.data(), sprite.data(), 0, 4, 0, 0, 0xFFFFFFFFu);
    flare_addmul(frame.data(), sprite.data(), 2, 0, 0, 0, 0xFFFFFFFFu);
    flare_addmul(frame.data(), sprite.data(), -1, 4, 0, 0, 0xFFFFFFFFu);
    flare_addmul(frame.data(), sprite.data(), 2, -4, 0, 0, 0xFFFFFFFFu);
    EXPECT_EQ(std::vector<uint8_t>(64, 0x33),
              std::vector<uint8_t>(frame.data(), frame.data() + 64));
    EXPECT_TRUE(frame.guards_intact());
}

#if defined(__SSE2__)

uint8_t extreme_byte(std::mt19937& random) {
    switch (random() % 4) {
    case 0:
        return 0;
    case 1:
        return 255;
    default:
        return uint8_t(random());
    }
}

TEST(FlareAddmul, Sse2MatchesScalarOnRandomInput) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    for (int round = 0; round < 300; ++round) {
        const int lines = 1 + int(random() % 12), pairs = 1 + int(random() % 37);
        const int dstSkip = int(random() % 24) * 4 + int(random() % 3), srcSkip = int(random() % 9);
        const uint32_t multiplier = random() % 3 == 0 ? 0x00FFFFFFu : uint32_t(random());
        const size_t dstSize = size_t(lines) * (pairs * 8 + dstSkip) - dstSkip;
        const size_t srcMisalign = random() % 16;
        std::vector<uint8_t> srcBytes(srcMisalign + size_t(lines) * (pairs * 8 + srcSkip) -
                                      srcSkip);
        for (uint8_t& byte : srcBytes)
            byte = extreme_byte(random);
        const size_t dstMisalign = random() % 16;
        GuardedBuffer scalar(dstSize, dstMisalign), fast(dstSize, dstMisalign);
        for (size_t i = 0; i < dstSize; ++i)
            scalar.data()[i] = fast.data()[i] = extreme_byte(random);
        const uint8_t* src = srcBytes.data() + srcMisalign;
        flare_addmul_scalar(scalar.data(), src, lines, pairs, dstSkip, srcSkip, multiplier);
        flare_addmul_sse2(fast.data(), src, lines, pairs, dstSkip, srcSkip, multiplier);
        const std::string where =
            "seed " + std::to_string(seed) + " round " + std::to_string(round);
        ASSERT_EQ(0, std::memcmp(scalar.data(), fast.data(), dstSize)) << where;
        ASSERT_TRUE(scalar.guards_intact()) << where;
        ASSERT_TRUE(fast.guards_intact()) << where;
    }
}

#endif

} // namespace
