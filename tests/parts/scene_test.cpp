#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "scene_fixture.h"

namespace {

// Per byte (x * m) >> 8, as the brightness mask applies it.
uint32_t masked(uint32_t pixel, uint32_t m) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= ((pixel >> shift & 0xFF) * m >> 8) << shift;
    return out;
}

// The grid mapper's sample at a whole texel: blended 510 : 1 with the texel below it.
uint32_t sample(uint32_t texel, uint32_t below) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= (((texel >> shift & 0xFF) * 127 * 510 >> 16) + ((below >> shift & 0xFF) * 127 >> 16))
               << shift;
    return out;
}

TEST_F(Scenes, InitRefusesMissingOrUnfitAssetsWithAMessage) {
    const struct {
        const char* file;
        uint32_t width, height;
        bool kaleidoscope;
        const char* message;
    } cases[] = {
        {"texture1.tga", 0, 0, true, "unable to load texture assets\\texture1.tga\n"},
        {"texture.tga", 128, 256, true, "kaleido0: a kaleidoscope texture must be 256 x 256"},
        {"512.tga", 0, 0, false, "unable to load texture assets\\512.tga\n"},
        {"512.tga", 256, 256, false, "bitmapdist: the distortion texture must be 512 x 256"},
        {"logo.tga", 328, 16, false, "bitmapdist: the logo must not be larger than 320 x 180"},
    };
    for (const auto& c : cases) {
        scene_world::world again; // fresh assets
        const std::string path = std::string("assets/") + c.file;
        if (c.width)
            scene_world::write_picture(path, c.width, c.height, scene_world::rings);
        else
            std::filesystem::remove(path);
        testing::internal::CaptureStderr();
        int result;
        if (c.kaleidoscope) {
            kaleido0 scene;
            result = scene.init(&again.back, 0);
        } else {
            bitmapdist scene;
            result = scene.init(&again.back, 0);
        }
        EXPECT_NE(0, result) << c.file;
        EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(c.message))
            << c.message;
    }
    qbx_surface small;
    small.create(160, 90, QBX_FORMAT_ARGB8888, 1, 0);
    testing::internal::CaptureStderr();
    EXPECT_NE(0, kaleido.init(&small, 0));
    EXPECT_NE(std::string::npos,
              testing::internal::GetCapturedStderr().find("kaleido0: the back surface"));
    donesintab();
    testing::internal::CaptureStderr();
    EXPECT_NE(0, distortion.init(&w.back, 0));
    EXPECT_EQ("bitmapdist: the sine tables are not built\n",
              testing::internal::GetCapturedStderr());
}

TEST_F(Scenes, DistortionWithoutSineIsTheCentredPictureAndScaleZeroOneTexel) {
    std::vector<grid> nodes(41 * 23);
    for (double scale : {1.0, 0.75, 0.0}) {
        distortion_nodes(2.5f, 0, scale, nodes.data());
        for (int j = 0; j < 23; ++j)
            for (int i = 0; i < 41; ++i) {
                const double fx = (-160 + 8 * i) / 640.0, fy = (-88 + 8 * j) / 640.0;
                ASSERT_EQ(int32_t(65536 + scale * 65536 * fx), nodes[j * 41 + i].u) << i << j;
                ASSERT_EQ(int32_t(32768 + scale * 65536 * fy), nodes[j * 41 + i].v) << i << j;
            }
    }
    // With scale 0 texel (256, 128) fills the picture: a red 2 x 2 block in a blue picture.
    scene_world::write_picture("assets/512.tga", 512, 256, [](uint32_t x, uint32_t y) {
        return (x == 256 || x == 257) && (y == 128 || y == 129) ? 0xFFC81E0Au : 0xFF0000FFu;
    });
    start();
    const picture out = frame(distortion, {{"bitmapdist#sineScale", 1}, {"bitmapdist#scale", 0}});
    for (uint32_t y = 0; y < 180; ++y)
        for (uint32_t x = 0; x < 320; ++x) {
            const uint32_t expected = y < 2 || y >= 178 ? 0
                                                        : masked(sample(0xFFC81E0A, 0xFFC81E0A),
                                                                 scene_world::vignette(x, y));
            ASSERT_EQ(expected, out[y * 320 + x]) << x << ", " << y;
        }
}

TEST_F(Scenes, LogoIsAddedCentredAtItsPulsingBrightness) {
    scene_world::write_picture("assets/512.tga", 512, 256, [](uint32_t, uint32_t) { return 0u; });
    start();
    // At time 0 the level is 64: a quarter of the logo's colour.
    const picture out = frame(distortion, {{"bitmapdist#logo", 0.5}}, 0);
    for (uint32_t y = 0; y < 180; ++y)
        for (uint32_t x = 0; x < 320; ++x) {
            uint32_t expected = 0;
            if (x >= 128 && x < 192 && y >= 74 && y < 106)
                expected = masked(masked(scene_world::framed_logo(x - 128, y - 74), 64) & 0xFFFFFF,
                                  scene_world::vignette(x, y));
            ASSERT_EQ(expected, out[y * 320 + x]) << x << ", " << y;
        }
    EXPECT_EQ(picture(320 * 180, 0), frame(distortion, {{"bitmapdist#logo", 0}}, 0));
}

TEST_F(Scenes, KaleidoscopeTextureTrackChoosesTheSecondTextureWhenPositive) {
    start();
    const track_values one_texel = {{"kaleido#scale", 0}};
    for (double choice : {0.0, -1.0, 0.5, 2.0}) {
        const picture out = frame(kaleido, one_texel + track_values{{"kaleido#texture", choice}});
        const auto texels = choice > 0 ? scene_world::stripes : scene_world::rings;
        const uint32_t expected = sample(texels(0, 0), texels(0, 1));
        EXPECT_EQ(masked(expected, scene_world::vignette(160, 90)), out[90 * 320 + 160]) << choice;
    }
}

TEST_F(Scenes, EachRunPresentsItsFrameOnce) {
    start();
    for (part* scene : {static_cast<part*>(&kaleido), static_cast<part*>(&distortion)}) {
        const uint32_t before = w.presented;
        const picture out = frame(*scene, kaleido_view + distortion_view + effects);
        EXPECT_EQ(before + 1, w.presented) << scene->name;
        EXPECT_EQ(out, shown()) << scene->name;
    }
}

// The largest difference of a channel between horizontal neighbours inside the picture.
int sharpest_step(const picture& p) {
    int most = 0;
    for (uint32_t y = 10; y < 170; ++y)
        for (uint32_t x = 10; x < 310; ++x)
            for (int shift = 0; shift < 24; shift += 8)
                most = std::max(most, std::abs(int(p[y * 320 + x] >> shift & 0xFF) -
                                               int(p[y * 320 + x + 1] >> shift & 0xFF)));
    return most;
}

TEST_F(Scenes, BlurLeavesNoSharpDetailUnlessAddedToThePicture) {
    scene_world::write_picture("assets/texture.tga", 256, 256, [](uint32_t x, uint32_t y) {
        return (x / 2 + y / 2) % 2 ? 0xFFFFFFFFu : 0xFF000000u;
    });
    start();
    const track_values view = kaleido_view + track_values{{"kaleido#scale", 2.5}};
    EXPECT_GT(sharpest_step(frame(kaleido, view)), 150);
    for (double width : {1.0, 3.0})
        EXPECT_LT(sharpest_step(frame(
                      kaleido, view + track_values{{"blur#blurEn", 1}, {"blur#blurWidth", width}})),
                  64)
            << width;
    EXPECT_LT(sharpest_step(frame(distortion, distortion_view + track_values{{"blur#blurEn", 1}})),
              64);
    EXPECT_GT(sharpest_step(frame(kaleido, view + track_values{{"blur#blurEn", 1},
                                                               {"blur#additive", 1},
                                                               {"blur#addOpacity", 0.3}})),
              150);
}

TEST_F(Scenes, EveryEffectChangesTheFrame) {
    start();
    const struct {
        const char* track;
        double on;
        bool kaleidoscope, distortion;
    } switches[] = {{"overlay#en", 1, true, true},      {"bars#count", 5, true, true},
                    {"radialBlur#en", 1, true, true},   {"glitch#en", 1, true, true},
                    {"blur#blurEn", 1, true, true},     {"main#blendfade", 0.5, true, true},
                    {"bitmapdist#logo", 1, false, true}};
    for (const auto& s : switches)
        for (part* scene : {static_cast<part*>(&kaleido), static_cast<part*>(&distortion)}) {
            if (scene == &kaleido ? !s.kaleidoscope : !s.distortion)
                continue;
            const track_values base =
                effects + (scene == &kaleido ? kaleido_view : distortion_view);
            EXPECT_NE(frame(*scene, base + track_values{{s.track, 0}}),
                      frame(*scene, base + track_values{{s.track, s.on}}))
                << scene->name << " " << s.track;
        }
    const track_values blurred = effects + kaleido_view + track_values{{"blur#blurEn", 1}};
    EXPECT_NE(frame(kaleido, blurred),
              frame(kaleido, blurred + track_values{{"blur#additive", 1}}));
}

// Values beyond what the kernels take are held to the nearest value they take.
TEST_F(Scenes, OutOfRangeTrackValuesActAsTheNearestSoundOnes) {
    start();
    const struct {
        track_values a, b;
        bool same;
    } cases[] = {
        {{{"bars#count", -5}}, {{"bars#count", 0}}, true},
        {{{"bars#count", 5}, {"bars#intensity", 0}}, {{"bars#count", 0}}, true},
        // Coloured bars of intensity 1 add colour 0.
        {{{"bars#count", 5}, {"bars#intensity", 1.0 / 255}}, {{"bars#count", 0}}, true},
        {{{"bars#count", 5}}, {{"bars#count", 0}}, false},
        {{{"blur#blurEn", 1}, {"blur#blurWidth", 0}},
         {{"blur#blurEn", 1}, {"blur#blurWidth", 1}},
         true},
        {{{"blur#blurEn", 1}, {"blur#blurWidth", -3}},
         {{"blur#blurEn", 1}, {"blur#blurWidth", 1}},
         true},
        {{{"blur#blurEn", 1}, {"blur#blurWidth", 100}},
         {{"blur#blurEn", 1}, {"blur#blurWidth", 64}},
         true},
        {{{"blur#blurEn", 1}, {"blur#blurWidth", 2}},
         {{"blur#blurEn", 1}, {"blur#blurWidth", 1}},
         false},
        {{{"radialBlur#en", 1}, {"radialBlur#strength", -1}},
         {{"radialBlur#en", 1}, {"radialBlur#strength", 1.0 / 256}},
         true},
        {{{"radialBlur#en", 1}, {"radialBlur#strength", 100}},
         {{"radialBlur#en", 1}, {"radialBlur#strength", 7.08}},
         true},
        {{{"radialBlur#en", 1}, {"radialBlur#strength", 1}},
         {{"radialBlur#en", 1}, {"radialBlur#strength", 2}},
         false},
        {{{"glitch#en", 1}, {"glitch#blockSize", -20}},
         {{"glitch#en", 1}, {"glitch#blockSize", -12}},
         true},
        {{{"overlay#en", 1}, {"overlay#type", 1}, {"overlay#count", 4}, {"overlay#max", -3}},
         {{"overlay#en", 1}, {"overlay#type", 1}, {"overlay#count", 4}, {"overlay#max", 0}},
         true},
        {{{"kaleido#texture", -1}}, {{"kaleido#texture", 0}}, true},
    };
    for (const auto& c : cases)
        for (part* scene : {static_cast<part*>(&kaleido), static_cast<part*>(&distortion)}) {
            const track_values base =
                effects + (scene == &kaleido ? kaleido_view : distortion_view);
            const bool same = frame(*scene, base + c.a) == frame(*scene, base + c.b);
            EXPECT_EQ(c.same, same)
                << scene->name << " " << c.a.begin()->first << " " << c.a.rbegin()->second;
        }
}

} // namespace
