// Every SSE2 kernel against its scalar twin on seeded random lines: lengths around every group and
// block size, long lines, unaligned pointers, both dither rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "convert_test_util.h"
#include "framebuffer/convert_simd.h"
#include "support/test_support.h"

using namespace convert_test;

namespace {

namespace cs = convert_simd;

struct Pair {
    const char* name;
    qbx_converter sse2, scalar;
    unsigned src_bytes, dst_bytes; // destination bytes per source pixel
};

const Pair pairs[] = {
    {"rgb555", cs::rgb555_sse2, cs::rgb555_scalar, 4, 2},
    {"rgb565", cs::rgb565_sse2, cs::rgb565_scalar, 4, 2},
    {"rgb555d", cs::rgb555d_sse2, cs::rgb555d_scalar, 4, 2},
    {"rgb565d", cs::rgb565d_sse2, cs::rgb565d_scalar, 4, 2},
    {"rgb555_2x", cs::rgb555_2x_sse2, cs::rgb555_2x_scalar, 4, 4},
    {"rgb565_2x", cs::rgb565_2x_sse2, cs::rgb565_2x_scalar, 4, 4},
    {"rgb555d_2x", cs::rgb555d_2x_sse2, cs::rgb555d_2x_scalar, 4, 4},
    {"rgb565d_2x", cs::rgb565d_2x_sse2, cs::rgb565d_2x_scalar, 4, 4},
    {"gray8", cs::gray8_sse2, cs::gray8_scalar, 4, 1},
    {"gray8_2x", cs::gray8_2x_sse2, cs::gray8_2x_scalar, 4, 2},
    {"copy32_2x", cs::copy32_2x_sse2, cs::copy32_2x_scalar, 4, 8},
};

// The line lengths to try: every length up to 70, then random ones up to 2000.
std::vector<uint32_t> lengths(std::mt19937& random) {
    std::vector<uint32_t> list;
    for (uint32_t n = 0; n <= 70; ++n)
        list.push_back(n);
    for (int i = 0; i < 20; ++i)
        list.push_back(random() % 2000);
    return list;
}

TEST(ConvertSimd, EveryKernelMatchesItsScalarTwin) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    for (const Pair& p : pairs)
        for (uint32_t count : lengths(random)) {
            const unsigned misalign = random() % 16;
            // The source sits `misalign` bytes into a buffer that ends where the line ends.
            const std::vector<uint8_t> src = random_bytes(random, misalign + count * p.src_bytes);
            const uintptr_t lines = random() % 1000 + 1;
            Guarded fast(misalign + count * p.dst_bytes), twin(misalign + count * p.dst_bytes);
            const Moved a =
                run(p.sse2, src.data() + misalign, fast.data() + misalign, count, lines);
            const Moved b =
                run(p.scalar, src.data() + misalign, twin.data() + misalign, count, lines);
            ASSERT_EQ(b.src, a.src) << p.name << ", count " << count << ", seed " << seed;
            ASSERT_EQ(b.dst, a.dst) << p.name << ", count " << count << ", seed " << seed;
            ASSERT_EQ(0, std::memcmp(fast.data(), twin.data(), fast.size()))
                << p.name << ", count " << count << ", lines " << lines << ", seed " << seed;
            ASSERT_TRUE(fast.guards_intact()) << p.name << ", count " << count;
        }
}

TEST(ConvertSimd, BlockCopyMatchesItsScalarTwin) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    for (uint32_t bytes : lengths(random)) {
        const unsigned misalign = random() % 16;
        const std::vector<uint8_t> src = random_bytes(random, misalign + bytes);
        Guarded fast(misalign + bytes), twin(misalign + bytes);
        cs::memcpy_sse2(fast.data() + misalign, src.data() + misalign, bytes);
        cs::memcpy_scalar(twin.data() + misalign, src.data() + misalign, bytes);
        ASSERT_EQ(0, std::memcmp(fast.data(), twin.data(), fast.size()))
            << "bytes " << bytes << ", seed " << seed;
        ASSERT_TRUE(std::equal(src.begin() + misalign, src.end(), fast.data() + misalign));
        ASSERT_TRUE(fast.guards_intact());
    }
}

TEST(ConvertSimd, FillMatchesItsScalarTwin) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    for (uint32_t bytes : lengths(random)) {
        const unsigned misalign = random() % 16;
        const uint32_t value = random();
        Guarded fast(misalign + bytes), twin(misalign + bytes);
        cs::memset_sse2(fast.data() + misalign, value, bytes);
        cs::memset_scalar(twin.data() + misalign, value, bytes);
        ASSERT_EQ(0, std::memcmp(fast.data(), twin.data(), fast.size()))
            << "bytes " << bytes << ", value " << hex(value) << ", seed " << seed;
        ASSERT_TRUE(fast.guards_intact());
    }
}

} // namespace
