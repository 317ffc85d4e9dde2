#include "obj/sintab.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class SinTab : public ::testing::Test {
  protected:
    void SetUp() override { initsintab(); }
    void TearDown() override { donesintab(); }
};

TEST_F(SinTab, QuarterTurns) {
    EXPECT_EQ(0.0f, sintab[0]);
    EXPECT_EQ(1.0f, sintab[16384]);
    EXPECT_EQ(1.0f, costab[0]);
    EXPECT_NEAR(0.0f, costab[16384], 1e-6f);
    EXPECT_EQ(-1.0f, sintab[49152]);
    EXPECT_EQ(-1.0f, costab[32768]);
    EXPECT_EQ(costab, sintab + 16384);
}

// Every entry is the extended-precision sine of its angle, rounded once to single precision.
TEST_F(SinTab, EveryEntryIsTheExtendedSineRoundedOnce) {
    for (int i = 0; i < 0x14000; ++i) {
        const long double angle = (static_cast<long double>(i) * 6.2831855f) / 65536.0L;
        ASSERT_EQ(static_cast<float>(std::sin(angle)), sintab[i]) << i;
    }
}

TEST_F(SinTab, CosineReachesAFullTurnWithTheSixteenBitAngle) {
    for (int a = 0; a < 65536; a += 97)
        EXPECT_NEAR(std::cos(2.0 * M_PI * a / 65536.0), costab[a], 2e-6) << a;
    EXPECT_NEAR(1.0, costab[65535], 1e-6);
}

TEST_F(SinTab, NegativeAnglesWrap) {
    const int index = static_cast<int>(-1.0 * SINTAB_UNITS_PER_RADIAN) & 0xFFFF;
    EXPECT_EQ(55106, index);
    EXPECT_NEAR(std::sin(-1.0), sintab[index], 1e-4);
}

TEST(SinTabLifetime, DoneFreesAndClears) {
    initsintab();
    initsintab(); // a second init replaces the tables without leaking
    donesintab();
    EXPECT_EQ(nullptr, sintab);
    EXPECT_EQ(nullptr, costab);
}

} // namespace
