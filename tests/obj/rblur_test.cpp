#include "obj/rblur.h"

#include "guarded_buffer.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t kPitch = 2048;

// A picture of width x height pixels at the fixed pitch, whose buffer ends with its last pixel.
struct Picture {
    Picture(int w, int h, size_t misalign = 0)
        : width(w), height(h), buffer(h > 0 ? (h - 1) * kPitch + size_t(w) * 4 : 0, misalign) {}
    uint32_t get(int x, int y) const {
        uint32_t value;
        std::memcpy(&value, buffer.data() + y * kPitch + 4 * x, 4);
        return value;
    }
    void set(int x, int y, uint32_t value) {
        std::memcpy(buffer.data() + y * kPitch + 4 * x, &value, 4);
    }
    void fill_random(std::mt19937& random) {
        for (size_t i = 0; i < buffer.size(); ++i)
            buffer.data()[i] = uint8_t(random());
    }
    std::vector<uint8_t> bytes() const {
        return std::vector<uint8_t>(buffer.data(), buffer.data() + buffer.size());
    }
    int width, height;
    GuardedBuffer buffer;
};

// The sample of a spot whose four taps all hold the byte b, at column fraction fx9 and row
// fraction fy.
int uniform_sample(int b, int fx9, int fy) {
    const int expanded = (b * 257) >> 1;
    const int vertical = ((expanded * (32767 - fy)) >> 16) + ((expanded * fy) >> 16);
    return ((vertical * 2 * fx9) >> 16) + ((vertical * 2 * (511 - fx9)) >> 16);
}

uint32_t blend(uint32_t pixel, uint32_t sampleOf, int fx9, int fy, uint32_t sw, uint32_t dw) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t s = uint32_t(uniform_sample((sampleOf >> shift) & 255, fx9, fy));
        const uint32_t sum =
            s * ((sw >> shift) & 255) + ((pixel >> shift) & 255) * ((dw >> shift) & 255);
        out |= (std::min<uint32_t>(sum, 65535) >> 8) << shift;
    }
    return out;
}

TEST(RadialBlur, TooSmallOrTooWidePicturesAreLeftAlone) {
    std::mt19937 random(1);
    for (const auto& [w, h] :
         {std::pair{0, 0}, {1, 1}, {1, 9}, {9, 1}, {0, 5}, {-4, 6}, {6, -4}, {513, 4}, {600, 3}}) {
        Picture picture(std::max(w, 1), std::max(h, 1));
        picture.fill_random(random);
        const auto before = picture.bytes();
        rblur_c_bl_alpha(nullptr, picture.buffer.data(), w, h, 20000, 20000, 0xFFFFFFFF,
                         0xFFFFFFFF);
        EXPECT_EQ(before, picture.bytes()) << w << " x " << h;
        EXPECT_TRUE(picture.buffer.guards_intact());
    }
}

// At step 1.0 every pixel samples itself: b becomes (S sw + b dw) >> 8, S being b or b - 1.
TEST(RadialBlur, UnitStepSamplesThePixelItself) {
    EXPECT_EQ(255, uniform_sample(255, 511, 32767));
    EXPECT_EQ(0, uniform_sample(1, 511, 32767));
    for (int b = 1; b < 256; ++b) {
        const int s = uniform_sample(b, 511, 32767);
        EXPECT_TRUE(s == b || s == b - 1) << b;
    }
    std::mt19937 random(2);
    const uint32_t sw = 0x40C08020u, dw = 0xC0409080u;
    for (const auto& [w, h] : {std::pair{7, 5}, {320, 180}, {512, 3}}) {
        Picture picture(w, h);
        picture.fill_random(random);
        const Picture original = picture;
        rblur_c_bl_alpha(nullptr, picture.buffer.data(), w, h, 32768, 32768, sw, dw);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t was = original.get(x, y);
                const bool blurred = x < w / 2 * 2 && y < h / 2 * 2;
                ASSERT_EQ(blurred ? blend(was, was, 511, 32767, sw, dw) : was, picture.get(x, y))
                    << w << " x " << h << " at " << x << ", " << y;
            }
        EXPECT_TRUE(picture.buffer.guards_intact());
    }
}

// Half steps on a 4 x 4 picture: the outer pixels sample halfway between lines and columns, from
// the inner ones blended just before them.
TEST(RadialBlur, BlendsBilinearSamplesOfBlendedPixels) {
    const uint32_t before[4][4] = {{0xA3B1799Du, 0x1C80317Fu, 0x06671AD1u, 0xBDD640FBu},
                                   {0x46685257u, 0x3EB13B90u, 0x392456DEu, 0x23B8C1E9u},
                                   {0xBC8960A9u, 0x1A3D1FA7u, 0xAD3C2D6Du, 0xBD9C66B3u},
                                   {0xE465E150u, 0x8B9D2434u, 0x16419F82u, 0x972A8469u}};
    const uint32_t after[4][4] = {{0x8EA26B5Au, 0x2092374Du, 0x0C4D2B7Eu, 0xA08A5291u},
                                  {0x44825136u, 0x3EB13E5Au, 0x39245B8Au, 0x257FB38Bu},
                                  {0xA76B5565u, 0x1A3D2068u, 0xAD3C2F44u, 0xBA775D68u},
                                  {0xCC61AD31u, 0x7C792523u, 0x283E8C4Du, 0x933F7D3Fu}};
    Picture picture(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            picture.set(x, y, before[y][x]);
    rblur_c_bl_alpha(nullptr, picture.buffer.data(), 4, 4, 16384, 16384, 0x40C08020u, 0xC0409080u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(after[y][x], picture.get(x, y)) << x << ", " << y;
    EXPECT_TRUE(picture.buffer.guards_intact());
}

// At step 0 every pixel samples the centre pixel of its quadrant, which has been blended first.
TEST(RadialBlur, ZeroStepBlendsTowardTheQuadrantCentre) {
    std::mt19937 random(3);
    const int w = 10, h = 8, cx = 5, cy = 4;
    const uint32_t sw = 0x80808080u, dw = 0x80808080u;
    Picture picture(w, h);
    picture.fill_random(random);
    const Picture original = picture;
    rblur_c_bl_alpha(nullptr, picture.buffer.data(), w, h, 0, 0, sw, dw);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int centreX = x < cx ? cx - 1 : cx, centreY = y < cy ? cy - 1 : cy;
            const uint32_t centre = original.get(centreX, centreY);
            const uint32_t blendedCentre = blend(centre, centre, 511, 32767, sw, dw);
            const uint32_t expected =
                x == centreX && y == centreY
                    ? blendedCentre
                    : blend(original.get(x, y), blendedCentre, 511, 32767, sw, dw);
            ASSERT_EQ(expected, picture.get(x, y)) << x << ", " << y;
        }
}

// Later pixels of a row sample earlier, already blended ones, so one bright pixel right of the
// centre streaks all the way out (a sample of the unblended picture would reach one pixel
// further); nothing reaches the left half.
TEST(RadialBlur, BrightPixelStreaksOutward) {
    const int w = 320, h = 180, cx = 160, cy = 90;
    Picture picture(w, h);
    picture.set(cx + 40, cy, 0x00FFFFFFu);
    rblur_c_bl_alpha(nullptr, picture.buffer.data(), w, h, 31232 + 300, 31232 + 300, 0x00FFFFFFu,
                     0x00FFFFFFu);
    EXPECT_NE(0u, picture.get(cx + 100, cy) & 0xFF);
    EXPECT_NE(0u, picture.get(w - 1 - 1, cy) & 0xFF);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < cx; ++x)
            ASSERT_EQ(0u, picture.get(x, y)) << x << ", " << y;
    EXPECT_EQ(0u, picture.get(cx + 100, cy) >> 24); // alpha weights 0: alpha stays 0
}

// Far beyond 1.0 the taps of the corner pixels all land outside and are held on the corners.
TEST(RadialBlur, TapsOutsideThePictureAreHeldAtItsEdge) {
    std::mt19937 random(4);
    const int w = 6, h = 4;
    const int step = 32768 * 7 + 12345;
    const int fx9 = int(((1u << 23) + 32767u + 2u * step) >> 6) & 511;
    const int fy = (32767 + step) & 32767;
    const uint32_t sw = 0xFF80C040u, dw = 0x00807F40u;
    Picture picture(w, h);
    picture.fill_random(random);
    const Picture original = picture;
    rblur_c_bl_alpha(nullptr, picture.buffer.data(), w, h, step, step, sw, dw);
    for (const auto& [x, y] : {std::pair{0, 0}, {5, 0}, {0, 3}, {5, 3}}) {
        const uint32_t was = original.get(x, y);
        EXPECT_EQ(blend(was, was, fx9, fy, sw, dw), picture.get(x, y)) << x << ", " << y;
    }
    EXPECT_TRUE(picture.buffer.guards_intact());
}

#if defined(__SSE2__)

int random_step(std::mt19937& random) {
    switch (random() % 7) {
    case 0:
        return 31232 + int(random() % 1536);
    case 6: // pointing across the centre: pixels sample the mirrored half, blended just before
        return -32768 - int(random() % 3) * 16384;
    case 1:
        return 32768;
    case 2:
        return 0;
    case 3:
        return int(random() % 200000) - 100000;
    case 4:
        return 32768 + int(random() % 100000);
    default:
        return int(random());
    }
}

// Blurs one random picture with both forms and compares every byte, guards included.
void expect_same_as_scalar(std::mt19937& random, int w, int h, int stepX, int stepY,
                           const std::string& where) {
    const uint32_t sw = random() % 4 ? uint32_t(random()) : 0xFFFFFFFFu;
    const uint32_t dw = random() % 4 ? uint32_t(random()) : 0xFFFFFFFFu;
    const size_t misalign = random() % 16;
    Picture scalar(w, h, misalign), fast(w, h, misalign);
    for (size_t i = 0; i < scalar.buffer.size(); ++i)
        scalar.buffer.data()[i] = fast.buffer.data()[i] = uint8_t(random() % 3 ? random() : 255);
    rblur_c_bl_alpha_scalar(nullptr, scalar.buffer.data(), w, h, stepX, stepY, sw, dw);
    rblur_c_bl_alpha_sse2(nullptr, fast.buffer.data(), w, h, stepX, stepY, sw, dw);
    const std::string what = where + " size " + std::to_string(w) + " x " + std::to_string(h) +
                             " steps " + std::to_string(stepX) + ", " + std::to_string(stepY);
    ASSERT_EQ(scalar.bytes(), fast.bytes()) << what;
    ASSERT_TRUE(scalar.buffer.guards_intact()) << what;
    ASSERT_TRUE(fast.buffer.guards_intact()) << what;
}

TEST(RadialBlur, Sse2MatchesScalarOnRandomInput) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    for (int round = 0; round < 40; ++round) {
        int w = 2 + int(random() % 511), h = 2 + int(random() % 40);
        if (round == 0)
            w = 320, h = 180;
        const int stepX = random_step(random), stepY = random() % 2 ? stepX : random_step(random);
        expect_same_as_scalar(random, w, h, stepX, stepY,
                              "seed " + std::to_string(seed) + " round " + std::to_string(round));
    }
}

// The fast form blends a line four pixels at a time once neither the line nor its mirror is
// among the lines their samples come from. Steps just either side of where that switches check
// it: from above, where line j stops sampling itself (32767 + j step < 32768 j); pointing across
// the centre, where its samples leave its mirror line (step -1.0 and -1.0 - 32767 / j).
TEST(RadialBlur, Sse2MatchesScalarWhereLinesStopSamplingThemselves) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    for (int round = 0; round < 60; ++round) {
        const int h = 4 + int(random() % 60), w = 2 + int(random() % 511);
        const int j = 1 + int(random() % (h / 2 - 1));
        int stepY = 0;
        switch (random() % 3) {
        case 0:
            stepY = 32768 - 32767 / j;
            break;
        case 1:
            stepY = -32768;
            break;
        default:
            stepY = -32768 - 32767 / j;
        }
        stepY += int(random() % 5) - 2;
        const int stepX = random() % 2 ? stepY : random_step(random);
        expect_same_as_scalar(random, w, h, stepX, stepY,
                              "seed " + std::to_string(seed) + " round " + std::to_string(round) +
                                  " line " + std::to_string(j));
    }
}

// Steps far beyond 1.0 or below -1.0 hold both taps of many pixels at the same edge column.
TEST(RadialBlur, Sse2MatchesScalarWithBothTapsHeldAtAnEdge) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    for (int round = 0; round < 16; ++round) {
        const int w = 2 + int(random() % 511), h = 2 + int(random() % 40);
        const int stepX = (random() % 2 ? 1 : -1) *
                          (32768 * (2 + int(random() % 6)) + int(random() % 65536) - 32768);
        const int stepY = random() % 2 ? stepX : random_step(random);
        expect_same_as_scalar(random, w, h, stepX, stepY,
                              "seed " + std::to_string(seed) + " round " + std::to_string(round));
    }
}

#endif

} // namespace
