#include "parts/common.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "framebuffer/surface.h"
#include "support/scene_world.h"

namespace {

using scene_world::world;

TEST(Random, MyrandFollowsItsStepsFromTheSeed) {
    myseed = 0;
    EXPECT_EQ(0u, myrand()); // zero is a fixed point until the overlay reseeds it
    myseed = 1;
    EXPECT_EQ(2368832577u, myrand());
    EXPECT_EQ(1225144336u, myrand());
    EXPECT_EQ(1225144336u, myseed);
}

TEST(Random, SceneRandIsFifteenBitAndReplaysAfterAReset) {
    reset_random_state();
    const unsigned first[] = {16838, 5758, 10113, 17515, 31051};
    for (unsigned expected : first)
        EXPECT_EQ(expected, scene_rand());
    for (int i = 0; i < 10000; ++i)
        ASSERT_LT(scene_rand(), 32768u);
    myseed = 77;
    reset_random_state();
    EXPECT_EQ(0u, myseed);
    EXPECT_EQ(16838u, scene_rand());
}

class Helpers : public ::testing::Test {
  protected:
    // The overlay map after overlay_trendwhore at `time` with these tracks.
    std::vector<unsigned char> overlay_map(const std::map<std::string, double>& tracks,
                                           float time) {
        w.clear_tracks();
        w.set(tracks);
        w.open_tracks();
        std::vector<unsigned char> map(220, 0xAA);
        EXPECT_EQ(0, overlay_trendwhore(time, map.data(), 20, 11));
        return map;
    }
    world w;
};

TEST_F(Helpers, OverlayTypeThreeDrawsOneOfTwoSpritesEverywhereFromFreqTimesTime) {
    const auto map = overlay_map({{"overlay#type", 3}, {"overlay#freq", 2}}, 1.2f);
    EXPECT_EQ((std::set<unsigned char>{1, 2}), std::set<unsigned char>(map.begin(), map.end()));
    const uint32_t seed_after = myseed;
    // 2 x 1.4 truncates to the same seed as 2 x 1.2; 2 x 1.6 does not.
    EXPECT_EQ(map, overlay_map({{"overlay#type", 3}, {"overlay#freq", 2}}, 1.4f));
    EXPECT_EQ(seed_after, myseed);
    EXPECT_NE(map, overlay_map({{"overlay#type", 3}, {"overlay#freq", 2}}, 1.6f));
}

TEST_F(Helpers, OverlayTypeOneDrawsRectanglesOfSpritesUpToMax) {
    auto type_one = [this](double count, double max) {
        return overlay_map({{"overlay#type", 1},
                            {"overlay#count", count},
                            {"overlay#max", max},
                            {"overlay#freq", 3}},
                           2.0f);
    };
    const auto map = type_one(6, 2);
    EXPECT_EQ((std::set<unsigned char>{0, 1, 2, 3}),
              std::set<unsigned char>(map.begin(), map.end()));
    // A negative maximum counts as 0: sprite 0 only, in the same cells.
    const auto single = type_one(6, -3);
    EXPECT_EQ(single, type_one(6, 0));
    for (size_t i = 0; i < map.size(); ++i)
        EXPECT_EQ(map[i] != 0, single[i] == 1) << i;
    // No rectangles, or another type: an empty map.
    const std::vector<unsigned char> empty(220, 0);
    EXPECT_EQ(empty, type_one(0, 2));
    EXPECT_EQ(empty, type_one(-4, 2));
    for (double type : {0.0, 2.0, 4.0, -3.0})
        EXPECT_EQ(empty, overlay_map({{"overlay#type", type}, {"overlay#count", 5}}, 1.0f)) << type;
}

TEST_F(Helpers, SpriteByteOneIsTheTopmostSpriteAndBytesPastTheStripDrawNothing) {
    qbx_surface dst;
    ASSERT_EQ(0u, qbx_surface_create(&dst, 320, 180, 2048, QBX_FORMAT_ARGB8888, 1, 0));
    std::vector<unsigned char> map(220, 0);
    map[0] = 1;     // cell (0, 0)
    map[21] = 2;    // cell (1, 1)
    map[2] = 3;     // past the two sprites of the strip
    map[219] = 255; // likewise
    EXPECT_EQ(0, spritegrid_draw(&dst, w.overlay.get(), map.data(), 16, 20, 11, 0x00FFFFFF));
    auto at = [&dst](uint32_t x, uint32_t y) {
        uint32_t p;
        std::memcpy(&p, dst.data + y * dst.pitch + x * 4, 4);
        return p;
    };
    auto added = [](uint32_t sprite) { // (byte x 255) >> 8 per colour byte, alpha untouched
        uint32_t out = 0;
        for (int shift : {0, 8, 16})
            out |= ((sprite >> shift & 0xFF) * 255 >> 8) << shift;
        return out;
    };
    for (uint32_t y = 0; y < 180; ++y)
        for (uint32_t x = 0; x < 320; ++x) {
            uint32_t expected = 0;
            if (y >= 2 && y < 18 && x < 16)
                expected = added(scene_world::two_sprites(x, y - 2));
            if (y >= 18 && y < 34 && x >= 16 && x < 32)
                expected = added(scene_world::two_sprites(x - 16, y - 18 + 16));
            ASSERT_EQ(expected, at(x, y)) << x << ", " << y;
        }
}

// The glitch table after fill_glitch with these tracks, records past `count` left alone.
std::vector<flt_rgbsh> glitch_table(world& w, const std::map<std::string, double>& tracks,
                                    unsigned count = 180) {
    w.clear_tracks();
    w.set(tracks);
    w.open_tracks();
    reset_random_state();
    std::vector<flt_rgbsh> table(181, flt_rgbsh{0xDEAD, 7, 0x5EED, 9});
    fill_glitch(0, table.data(), count);
    return table;
}

TEST_F(Helpers, GlitchBlocksDrawLengthThenChannelsThenShift) {
    const auto table =
        glitch_table(w, {{"glitch#shift", 10}, {"glitch#colored", 1}, {"glitch#blockSize", 3}});
    reset_random_state();
    int64_t length = 1;
    for (unsigned i = 0; i < 180; ++i) {
        if (i == 0 || i % length == 0) {
            length = 3 + scene_rand() % 12 + 1;
            const unsigned bits = scene_rand() & 7;
            const uint32_t mask =
                (bits & 4 ? 0xFF0000 : 0) | (bits & 2 ? 0xFF00 : 0) | (bits & 1 ? 0xFF : 0);
            const int32_t shift = static_cast<int32_t>(scene_rand() % 10) + 5;
            ASSERT_EQ(mask, table[i].mask) << i;
            ASSERT_EQ(shift, table[i].shift) << i;
        } else {
            ASSERT_EQ(table[i - 1].mask, table[i].mask) << i;
            ASSERT_EQ(table[i - 1].shift, table[i].shift) << i;
        }
        ASSERT_EQ(7u, table[i].unused1); // only mask and shift are written
        ASSERT_EQ(9u, table[i].unused3);
    }
    EXPECT_EQ(0xDEADu, table[180].mask);
}

TEST_F(Helpers, GlitchShiftZeroUncolouredAndNegativeValues) {
    const auto plain = glitch_table(w, {{"glitch#shift", 0}, {"glitch#blockSize", 2}});
    for (unsigned i = 0; i < 180; ++i)
        ASSERT_TRUE(plain[i].mask == 0x00FFFFFF && plain[i].shift == 0) << i;
    // A negative shift draws in [-5, 4]; a block size of -20 makes every block one line long.
    const auto table = glitch_table(w, {{"glitch#shift", -10}, {"glitch#blockSize", -20}});
    std::set<int32_t> shifts;
    for (unsigned i = 0; i < 180; ++i)
        shifts.insert(table[i].shift);
    EXPECT_EQ((std::set<int32_t>{-5, -4, -3, -2, -1, 0, 1, 2, 3, 4}), shifts);
    EXPECT_EQ(0xDEADu, glitch_table(w, {{"glitch#shift", 10}}, 0)[0].mask);
}

class LoadTexture : public Helpers {};

TEST_F(LoadTexture, RowCopyRepeatsTheFirstLineBelowThePicture) {
    for (bool copy : {true, false}) {
        std::unique_ptr<qbx_surface> t(loadTexture("assets\\texture.tga", copy, false));
        ASSERT_TRUE(t);
        EXPECT_EQ(256u, t->width);
        EXPECT_EQ(257u, t->height);
        EXPECT_EQ(256u, t->rect_height);
        EXPECT_EQ(scene_world::rings(5, 0), reinterpret_cast<uint32_t*>(t->data)[5]);
        const std::vector<uint8_t> first(t->data, t->data + 1024);
        const std::vector<uint8_t> extra(t->data + 256 * 1024, t->data + 257 * 1024);
        EXPECT_EQ(copy ? first : std::vector<uint8_t>(1024, 0), extra);
    }
    std::unique_ptr<qbx_surface> mask(loadTexture("assets\\alpha.tga", false, true));
    ASSERT_TRUE(mask);
    EXPECT_EQ(8u, mask->bpp);
    EXPECT_EQ(320u, mask->pitch);
    EXPECT_EQ(scene_world::vignette(160, 90), mask->data[90 * 320 + 160]);
}

TEST_F(LoadTexture, FailuresPrintTheirMessageOnceAndGiveNull) {
    scene_world::write_picture("assets/narrow.tga", 12, 4, scene_world::rings);
    scene_world::write_picture("assets/cut.tga", 16, 16, scene_world::rings);
    std::filesystem::resize_file("assets/cut.tga", 18 + 16 * 4 * 5);
    for (const char* name : {"assets\\missing.tga", "assets\\narrow.tga", "assets\\cut.tga"}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(nullptr, loadTexture(name, true, false));
        EXPECT_EQ(std::string("unable to load texture ") + name + "\n",
                  testing::internal::GetCapturedStderr());
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(nullptr, loadTexture("assets\\texture.tga", false, true)); // not an 8-bit picture
    EXPECT_EQ("unable to load texture assets\\texture.tga\n",
              testing::internal::GetCapturedStderr());
}

} // namespace
