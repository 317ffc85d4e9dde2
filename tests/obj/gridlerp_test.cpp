#include "obj/gridlerp.h"

#include "guarded_buffer.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Mapper = void (*)(void*, const grid*, const void*, int);

constexpr size_t kPitch = 2048;
constexpr int kTexRows = 257;

struct Variant {
    const char* name;
    Mapper draw;
    int width;
};

const Variant kVariants[] = {{"256x256", grid_tmap_8b, 256},
                             {"512x256", grid_tmap_8b_512x256, 512}};

// A texture of width x 257 texels in a buffer of exactly that size, so that sanitizers see any
// read past it.
struct Texture {
    explicit Texture(int w) : width(w), texels(size_t(w) * kTexRows, 0) {}
    void set(int x, int y, uint32_t value) { texels[size_t(y) * width + x] = value; }
    int width;
    std::vector<uint32_t> texels;
};

uint32_t pixel_at(const uint8_t* dst, int x, int y) {
    uint32_t value;
    std::memcpy(&value, dst + y * kPitch + 4 * x, 4);
    return value;
}

std::vector<grid> flat_nodes(int32_t u, int32_t v, int cellRows) {
    return std::vector<grid>(size_t(grid_nodes_per_row) * (cellRows + 1), grid{u, v, {}});
}

// What the mapper draws everywhere for a grid whose nodes all sit at (u, v).
uint32_t sample_at(const Variant& variant, const Texture& texture, int32_t u, int32_t v) {
    const auto nodes = flat_nodes(u, v, 1);
    std::vector<uint8_t> dst(8 * kPitch);
    variant.draw(dst.data(), nodes.data(), texture.texels.data(), 1);
    return pixel_at(dst.data(), 0, 0);
}

uint32_t splat(uint8_t byte) {
    return byte * 0x01010101u;
}

TEST(GridMapper, BlendsWithSevenAndNineBitWeights) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        Texture texture(variant.width);
        texture.set(5, 7, 0x64FF000Au);
        texture.set(6, 7, 0xC800C814u);
        texture.set(5, 8, 0x3200001Eu);
        texture.set(6, 8, 0x19FF0028u);
        // fu = 128 gives weights 63 / 64, fv = 64 gives 382 / 129.
        EXPECT_EQ(0x787D4A13u, sample_at(variant, texture, 5 * 256 + 128, 7 * 256 + 64));
        // The lowest fraction bit of u has no effect.
        EXPECT_EQ(0x787D4A13u, sample_at(variant, texture, 5 * 256 + 129, 7 * 256 + 64));
    }
}

TEST(GridMapper, WhiteTextureComesOutAs251Or252) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        Texture texture(variant.width);
        std::fill(texture.texels.begin(), texture.texels.end(), 0xFFFFFFFFu);
        std::vector<grid> nodes(size_t(grid_nodes_per_row) * 23);
        std::mt19937 random(7);
        for (grid& node : nodes)
            node = grid{int32_t(random()), int32_t(random()), {}};
        std::vector<uint8_t> dst(176 * kPitch);
        variant.draw(dst.data(), nodes.data(), texture.texels.data(), 22);
        int seen[256] = {};
        for (int y = 0; y < 176; ++y)
            for (int x = 0; x < 320 * 4; ++x)
                ++seen[dst[y * kPitch + x]];
        EXPECT_GT(seen[251], 0);
        EXPECT_GT(seen[252], 0);
        EXPECT_EQ(176 * 320 * 4, seen[251] + seen[252]);
    }
}

TEST(GridMapper, CoordinatesWrapAndFractionOneEqualsZero) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        Texture texture(variant.width);
        std::mt19937 random(11);
        for (uint32_t& texel : texture.texels)
            texel = random();
        const int last = variant.width - 1;
        EXPECT_EQ(sample_at(variant, texture, last * 256, 3 * 256),
                  sample_at(variant, texture, -256, 3 * 256));
        EXPECT_EQ(sample_at(variant, texture, 0, 255 * 256), sample_at(variant, texture, 0, -256));
        EXPECT_EQ(sample_at(variant, texture, 40 * 256, 9 * 256 + 77),
                  sample_at(variant, texture, 40 * 256 + 1, 9 * 256 + 77));
        EXPECT_EQ(sample_at(variant, texture, 17 * 256 + 200, 30 * 256),
                  sample_at(variant, texture, 17 * 256 + 200 + variant.width * 256 * 5,
                            30 * 256 - 256 * 256 * 3));
    }
}

TEST(GridMapper, RightTapIsTheNextTexelInMemory) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        Texture texture(variant.width);
        const int last = variant.width - 1;
        texture.set(0, 10, splat(50)); // a horizontal wrap would pick this one
        texture.set(0, 11, splat(200));
        texture.set(0, 12, splat(100));
        // Fraction 254: the left texels have weight 0.
        EXPECT_EQ(splat(197), sample_at(variant, texture, last * 256 + 254, 10 * 256));
    }
}

TEST(GridMapper, LastRowBlendsWithTheRepeatedRow) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        Texture texture(variant.width);
        texture.set(9, 0, splat(160));
        texture.set(9, 256, splat(80));
        // Fraction 255 down: the lower row has weight 511.
        EXPECT_EQ(splat(79), sample_at(variant, texture, 9 * 256, 255 * 256 + 255));
    }
}

TEST(GridMapper, LastTexelHoldsItsLowerRightTapInside) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        Texture texture(variant.width);
        const int last = variant.width - 1;
        texture.set(last, 256, splat(64));
        EXPECT_EQ(splat(63), sample_at(variant, texture, last * 256 + 254, 255 * 256 + 255));
    }
}

// u and v grow by 8 texels per node: one texel per pixel. Blue holds the column, green the row.
TEST(GridMapper, UnitGridCopiesTheTexture) {
    auto faded = [](int upper, int lower) {
        return ((upper * 127 * 510) >> 16) + ((lower * 127) >> 16);
    };
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        Texture texture(variant.width);
        for (int y = 0; y < kTexRows; ++y)
            for (int x = 0; x < variant.width; ++x)
                texture.set(x, y, uint32_t(x >> 8) << 16 | uint32_t(y & 255) << 8 | (x & 255));
        const int firstRow = 200; // the rows wrap past 255 through the repeated row
        std::vector<grid> nodes;
        for (int j = 0; j <= 22; ++j)
            for (int i = 0; i < grid_nodes_per_row; ++i)
                nodes.push_back(grid{i * 8 * 256, (firstRow + j * 8) * 256, {}});
        std::vector<uint8_t> dst(176 * kPitch);
        variant.draw(dst.data(), nodes.data(), texture.texels.data(), 22);
        for (int y = 0; y < 176; ++y) {
            const int row = (firstRow + y) & 255;
            for (int x = 0; x < 320; ++x) {
                const int column = x % variant.width;
                const uint32_t expected = uint32_t(faded(column >> 8, column >> 8)) << 16 |
                                          uint32_t(faded(row, (row + 1) & 255)) << 8 |
                                          uint32_t(faded(column & 255, column & 255));
                ASSERT_EQ(expected, pixel_at(dst.data(), x, y)) << "x " << x << " y " << y;
            }
        }
    }
}

TEST(GridMapper, WritesExactlyTheCellRows) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        Texture texture(variant.width);
        std::fill(texture.texels.begin(), texture.texels.end(), 0xFFFFFFFFu);
        const auto nodes = flat_nodes(1000, -5000, 22);
        GuardedBuffer frame(180 * kPitch);
        variant.draw(frame.data() + 2 * kPitch, nodes.data(), texture.texels.data(), 22);
        for (int y = 0; y < 180; ++y) {
            const bool drawn = y >= 2 && y < 178;
            for (size_t x = 0; x < kPitch; ++x)
                ASSERT_EQ(drawn && x < 1280, frame.data()[y * kPitch + x] != 0)
                    << "line " << y << " byte " << x;
        }
        EXPECT_TRUE(frame.guards_intact());

        GuardedBuffer untouched(8 * kPitch);
        variant.draw(untouched.data(), nodes.data(), texture.texels.data(), 0);
        variant.draw(untouched.data(), nodes.data(), texture.texels.data(), -3);
        EXPECT_EQ(std::vector<uint8_t>(8 * kPitch, 0),
                  std::vector<uint8_t>(untouched.data(), untouched.data() + 8 * kPitch));
        EXPECT_TRUE(untouched.guards_intact());
    }
}

// Node differences that are not multiples of 8 lose the remainder in each step, rounding down.
TEST(GridMapper, EdgeStepsRoundTowardMinusInfinity) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        Texture texture(variant.width);
        std::mt19937 random(5);
        for (uint32_t& texel : texture.texels)
            texel = random();
        for (const int32_t spacing : {8 * 256 + 7, -(8 * 256 + 7)}) {
            SCOPED_TRACE(spacing);
            std::vector<grid> acrossNodes, downNodes;
            for (int j = 0; j <= 1; ++j)
                for (int i = 0; i < grid_nodes_per_row; ++i) {
                    acrossNodes.push_back(grid{i * spacing, 0, {}});
                    downNodes.push_back(grid{0, j * spacing, {}});
                }
            std::vector<uint8_t> across(8 * kPitch), down(8 * kPitch);
            variant.draw(across.data(), acrossNodes.data(), texture.texels.data(), 1);
            variant.draw(down.data(), downNodes.data(), texture.texels.data(), 1);
            const int32_t step = spacing >> 3; // 256 or -257
            for (int k = 1; k < 8; ++k) {
                EXPECT_EQ(sample_at(variant, texture, k * step, 0), pixel_at(across.data(), k, 0));
                EXPECT_EQ(sample_at(variant, texture, 0, k * step), pixel_at(down.data(), 0, k));
            }
            EXPECT_NE(sample_at(variant, texture, 7 * spacing / 8, 0),
                      pixel_at(across.data(), 7, 0));
        }
    }
}

#if defined(__SSE2__)

struct Forms {
    const char* name;
    Mapper scalar;
    Mapper sse2;
    int width;
};

const Forms kForms[] = {{"256x256", grid_tmap_8b_scalar, grid_tmap_8b_sse2, 256},
                        {"512x256", grid_tmap_8b_512x256_scalar, grid_tmap_8b_512x256_sse2, 512}};

std::vector<grid> random_nodes(std::mt19937& random, int width, int cellRows) {
    std::vector<grid> nodes(size_t(grid_nodes_per_row) * (cellRows + 1));
    const int kind = int(random() % 4);
    const double phase = double(random() % 1000);
    const int32_t base = int32_t(random());
    for (int j = 0; j <= cellRows; ++j) {
        for (int i = 0; i < grid_nodes_per_row; ++i) {
            grid& node = nodes[size_t(j) * grid_nodes_per_row + i];
            switch (kind) {
            case 0: { // a smooth warp, as the scenes draw
                const double a = phase + i * 0.21 + j * 0.13;
                node.u = int32_t(i * 1900 + 3000 * std::sin(a) + base % 100000);
                node.v = int32_t(j * 2100 + 2500 * std::cos(a * 1.3));
                break;
            }
            case 1: // anything at all, including steps that overflow 32 bits
                node.u = int32_t(random());
                node.v = int32_t(random());
                break;
            case 2: // around the last texel, where the lower right tap is held inside
                node.u = int32_t((width - 1) * 256 + random() % 512) - 256;
                node.v = int32_t(255 * 256 + random() % 512) - 256;
                break;
            default: // near the ends of the 32-bit range, wrapping across them
                node.u = int32_t(0x7FFFF000u + random() % 0x2000);
                node.v = int32_t(0x80000800u - random() % 0x1000);
                break;
            }
            node.levels[0] = int16_t(random());
        }
    }
    return nodes;
}

TEST(GridMapper, Sse2MatchesScalarOnRandomInput) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    for (int round = 0; round < 16; ++round) {
        const Forms& forms = kForms[round % 2];
        const size_t texMisalign = random() % 16;
        std::vector<uint8_t> textureBytes(texMisalign + size_t(forms.width) * kTexRows * 4);
        for (uint8_t& byte : textureBytes)
            byte = uint8_t(random() % 4 == 0 ? 255 * (random() % 2) : random());
        const uint8_t* texture = textureBytes.data() + texMisalign;
        const int cellRows = round < 2 ? 22 : 1 + int(random() % 22);
        const auto nodes = random_nodes(random, forms.width, cellRows);
        const size_t dstMisalign = random() % 16;
        const size_t size = (size_t(cellRows) * 8 - 1) * kPitch + 320 * 4;
        GuardedBuffer scalar(size, dstMisalign), fast(size, dstMisalign);
        forms.scalar(scalar.data(), nodes.data(), texture, cellRows);
        forms.sse2(fast.data(), nodes.data(), texture, cellRows);
        const std::string where = std::string(forms.name) + " seed " + std::to_string(seed) +
                                  " round " + std::to_string(round);
        ASSERT_EQ(0, std::memcmp(scalar.data(), fast.data(), size)) << where;
        ASSERT_TRUE(scalar.guards_intact()) << where;
        ASSERT_TRUE(fast.guards_intact()) << where;
    }
}

// Only some pixels of a four-line block sample the last texel of row 255 (column 4 of each line
// of the first cell, half a texel in): the fast path must treat those, and only those, with the
// held tap.
TEST(GridMapper, Sse2MatchesScalarAroundTheLastTexel) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    for (const Forms& forms : kForms) {
        std::vector<uint32_t> texture(size_t(forms.width) * kTexRows);
        for (uint32_t& texel : texture)
            texel = random();
        constexpr int kCellRows = 2;
        std::vector<grid> nodes(size_t(grid_nodes_per_row) * (kCellRows + 1));
        for (int j = 0; j <= kCellRows; ++j)
            for (int i = 0; i < grid_nodes_per_row; ++i)
                nodes[size_t(j) * grid_nodes_per_row + i] = {
                    (forms.width - 5) * 256 + 128 + i * 2048, 255 * 256 + 100 + j * 64, {}};
        const size_t size = (size_t(kCellRows) * 8 - 1) * kPitch + 320 * 4;
        GuardedBuffer scalar(size), fast(size);
        forms.scalar(scalar.data(), nodes.data(), texture.data(), kCellRows);
        forms.sse2(fast.data(), nodes.data(), texture.data(), kCellRows);
        const std::string where = std::string(forms.name) + " seed " + std::to_string(seed);
        ASSERT_EQ(0, std::memcmp(scalar.data(), fast.data(), size)) << where;
        ASSERT_TRUE(fast.guards_intact()) << where;
    }
}

#endif

} // namespace
