// The production's images: they load through the program's TGA loader as painted, have the sizes
// and formats the scenes need, tile where the scenes wrap, and come out the same every time.
#include "content/images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "obj/tgaload.h"
#include "support/test_support.h"

namespace {

media::image load32(const std::string& path) {
    tga_header h{};
    EXPECT_EQ(TGA_OK, tga_load_header(path.c_str(), &h)) << path;
    media::image out(h.width, h.height);
    EXPECT_EQ(TGA_OK, tga_load_data(path.c_str(), &h, out.pixels.data(), TGA_TOP_DOWN, 0)) << path;
    return out;
}

int channel_step(uint32_t a, uint32_t b) {
    int sum = 0;
    for (int shift = 0; shift < 24; shift += 8)
        sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
    return sum;
}

// Mean colour step between column x and the next one (rows: `across` false), wrapping.
double step_after(const media::image& p, int i, bool across_columns) {
    double sum = 0;
    const int lines = across_columns ? p.height : p.width;
    const int size = across_columns ? p.width : p.height;
    for (int k = 0; k < lines; ++k)
        sum += across_columns ? channel_step(p.at(i, k), p.at((i + 1) % size, k))
                              : channel_step(p.at(k, i), p.at(k, (i + 1) % size));
    return sum / lines;
}

} // namespace

TEST(Images, EveryAssetLoadsThroughTheProgramsLoaderAsPainted) {
    test_support::TempDir dir;
    ASSERT_TRUE(content::write_images(dir.path()));
    struct asset {
        const char* file;
        media::image painted;
        int width, height; // 0: any, within the screen
    };
    const asset assets[] = {
        {"texture.tga", content::make_stained_glass(), 256, 256},
        {"texture1.tga", content::make_ink(), 256, 256},
        {"512.tga", content::make_picture(), 512, 256},
        {"overlay.tga", content::make_overlay(), 16, 16 * content::overlay_sprite_count},
        {"logo.tga", content::make_logo(), 0, 0},
    };
    for (const asset& a : assets) {
        const media::image loaded = load32(dir.file(a.file));
        if (a.width) {
            EXPECT_EQ(a.width, loaded.width) << a.file;
            EXPECT_EQ(a.height, loaded.height) << a.file;
        } else {
            EXPECT_LE(loaded.width, 320) << a.file;
            EXPECT_LE(loaded.height, 180) << a.file;
        }
        EXPECT_EQ(0, loaded.width % 8) << a.file << ": surfaces need widths in multiples of 8";
        EXPECT_TRUE(loaded.pixels == a.painted.pixels) << a.file;
    }
    const std::string mask = dir.file("alpha.tga");
    tga_header h{};
    ASSERT_EQ(TGA_OK, tga_load8_header(mask.c_str(), &h));
    ASSERT_EQ(320, h.width);
    ASSERT_EQ(180, h.height);
    std::vector<uint8_t> bytes(320 * 180);
    ASSERT_EQ(TGA_OK, tga_load8_data(mask.c_str(), &h, bytes.data(), nullptr, TGA_TOP_DOWN, 0));
    EXPECT_TRUE(bytes == content::make_mask().pixels);
}

// The kaleidoscope's textures and the distortion's picture are read with wrap-around: the step
// from the last column to the first (and last row to first) must look like any other step.
TEST(Images, TexturesTileWithoutASeam) {
    const std::pair<const char*, media::image> textures[] = {
        {"texture", content::make_stained_glass()},
        {"texture1", content::make_ink()},
        {"512", content::make_picture()},
    };
    for (const auto& [name, p] : textures)
        for (bool columns : {true, false}) {
            const int size = columns ? p.width : p.height;
            std::vector<double> inside;
            for (int i = 0; i + 1 < size; ++i)
                inside.push_back(step_after(p, i, columns));
            const double seam = step_after(p, size - 1, columns);
            EXPECT_LE(seam, *std::max_element(inside.begin(), inside.end()))
                << name << (columns ? ": last column to first" : ": last row to first");
        }
}

TEST(Images, RegeneratingGivesTheSameBytes) {
    test_support::TempDir first, second;
    ASSERT_TRUE(content::write_images(first.path()));
    ASSERT_TRUE(content::write_images(second.path()));
    for (const char* file :
         {"texture.tga", "texture1.tga", "512.tga", "logo.tga", "overlay.tga", "alpha.tga"})
        EXPECT_TRUE(test_support::read_file(first.file(file)) ==
                    test_support::read_file(second.file(file)))
            << file;
}

// Laid at random, the two truchet sprites must join: the edge a sprite shows its neighbour matches
// the edge that neighbour shows back, whichever of the two lie side by side.
TEST(Images, TruchetSpritesJoinWhicheverWayTheyAreLaid) {
    const media::image strip = content::make_overlay();
    const int n = content::overlay_sprite_size;
    auto px = [&](int sprite, int x, int y) { return strip.at(x, sprite * n + y); };
    for (int a : {0, 1})
        for (int b : {0, 1})
            for (int k = 0; k < n; ++k) {
                EXPECT_LE(channel_step(px(a, n - 1, k), px(b, 0, k)), 60) << a << b << " row " << k;
                EXPECT_LE(channel_step(px(a, k, n - 1), px(b, k, 0)), 60) << a << b << " col " << k;
            }
    for (int s = 0; s < content::overlay_sprite_count; ++s) {
        int lit = 0;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                lit += (px(s, x, y) & 0xFFFFFF) != 0;
        EXPECT_GE(lit, 8) << "sprite " << s << " is all but empty";
    }
}

TEST(Images, LogoSitsOnBlackAndTheMaskDarkensTheEdges) {
    const media::image logo = content::make_logo();
    int lit = 0;
    for (uint32_t p : logo.pixels)
        lit += (p & 0xFFFFFF) > 0x202020;
    EXPECT_GT(lit, 2000);
    for (int x = 0; x < logo.width; ++x) // added to the picture: black around it adds nothing
        EXPECT_EQ(0u, logo.at(x, 0) & 0xFFFFFF) << x;
    media::gray_image mask = content::make_mask();
    EXPECT_GE(mask.at(160, 90), 245);
    EXPECT_LT(mask.at(161, 91), mask.at(161, 90)) << "scanlines";
    EXPECT_LT(mask.at(0, 0), mask.at(160, 90) * 3 / 4) << "vignette";
}
