// The byte copies and fills: exact byte counts, whole words only for the fills, no byte outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "convert_test_util.h"
#include "framebuffer/convert.h"
#include "support/test_support.h"

using namespace convert_test;

namespace {

using Copy = void (*)(void*, const void*, uint32_t);
using Fill = void (*)(void*, uint32_t, uint32_t);

TEST(ConvertCopy, CopiesCopyExactlyTheBytesAsked) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    const Copy copies[] = {qbx_memcpy, qbx_fpu_memcpy, qbx_mmx_memcpy};
    for (Copy copy : copies)
        for (uint32_t bytes = 0; bytes <= 100; ++bytes) {
            const std::vector<uint8_t> src = random_bytes(random, bytes);
            Guarded dst(bytes + 8);
            copy(dst.data(), src.data(), bytes);
            ASSERT_TRUE(std::equal(src.begin(), src.end(), dst.data()))
                << bytes << ", seed " << seed;
            ASSERT_EQ(bytes + 8, dst.first_written_from(bytes)) << bytes;
            ASSERT_TRUE(dst.guards_intact());
        }
}

TEST(ConvertCopy, FillsWriteEveryWholeWordAndNothingElse) {
    const Fill fills[] = {qbx_memset, qbx_mmx_memset};
    for (Fill fill : fills)
        for (uint32_t bytes = 0; bytes <= 100; ++bytes) {
            Guarded dst(bytes);
            fill(dst.data(), 0x11223344, bytes);
            const uint32_t whole = bytes / 4 * 4;
            for (uint32_t i = 0; i < whole; ++i)
                ASSERT_EQ((0x11223344u >> (8 * (i % 4))) & 0xFF, dst.data()[i]) << bytes;
            ASSERT_EQ(bytes, dst.first_written_from(whole)) << "a partial word was written";
            ASSERT_TRUE(dst.guards_intact());
        }
}

TEST(ConvertCopy, ClearingTwoLinesOf1280BytesFillsExactly2560) {
    Guarded dst(4096);
    qbx_mmx_memset(dst.data(), 0, 2 * 1280);
    for (size_t i = 0; i < 2560; ++i)
        ASSERT_EQ(0, dst.data()[i]) << i;
    EXPECT_EQ(4096u, dst.first_written_from(2560));
    EXPECT_TRUE(dst.guards_intact());
}

} // namespace
