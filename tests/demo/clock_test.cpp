#include "demo/clock.h"
#include "framebuffer/timer.h"

#include <gtest/gtest.h>

namespace {

// A counter the test moves by hand, at the library timer's rate.
uint64_t fake_now = 0;
uint64_t fake_counter() {
    return fake_now;
}

class ClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_now = 1'000'000'000; // not zero: the start reading is arbitrary
        qbx_timer_use_counter(fake_counter);
        qbx_inittimer();
    }
    void TearDown() override { qbx_timer_use_counter(nullptr); }
    static void advance(double seconds) {
        fake_now += static_cast<uint64_t>(seconds * static_cast<double>(tsc_rate) + 0.5);
    }
};

TEST_F(ClockTest, LibraryTimerReadOuts) {
    advance(1.0);
    EXPECT_EQ(65536u, qbx_get16());
    EXPECT_EQ(1000u, qbx_getms());
    EXPECT_DOUBLE_EQ(1.0, qbx_getfloat());
    advance(0.5);
    EXPECT_EQ(1500u, qbx_getms());
    EXPECT_EQ(98304u, qbx_get16());
    EXPECT_EQ(fake_now, tsc_val) << "every read-out renews the latest reading";
    qbx_resettimer();
    EXPECT_EQ(0u, qbx_getms());
    EXPECT_EQ(0u, qbx_freetimer());
}

TEST_F(ClockTest, ReadOutsTruncate) {
    fake_now += tsc_rate / 1000 - 1; // just short of one millisecond
    EXPECT_EQ(0u, qbx_getms());
    fake_now += 1;
    EXPECT_EQ(1u, qbx_getms());
}

TEST_F(ClockTest, SixteenSixteenStaysExactForMonths) {
    advance(200.0 * 24 * 3600);
    EXPECT_EQ(uint64_t(200) * 24 * 3600 * 65536, qbx_get16());
}

TEST_F(ClockTest, RunsFromConstruction) {
    Time clock;
    clock.init();
    advance(2.5);
    EXPECT_DOUBLE_EQ(2.5, clock.get());
}

TEST_F(ClockTest, SetOnAStoppedClockHoldsUntilStart) {
    Time clock;
    clock.init();
    clock.stop();
    clock.set(5.0);
    advance(3.0);
    EXPECT_DOUBLE_EQ(5.0, clock.get());
    clock.start();
    EXPECT_DOUBLE_EQ(5.0, clock.get());
    advance(1.0);
    EXPECT_DOUBLE_EQ(6.0, clock.get());
}

TEST_F(ClockTest, StopAndStartContinueWithoutAJump) {
    Time clock;
    clock.init();
    clock.set(0.0);
    advance(3.2);
    clock.stop();
    EXPECT_DOUBLE_EQ(3.2, clock.get());
    advance(10.0);
    EXPECT_DOUBLE_EQ(3.2, clock.get());
    clock.start();
    EXPECT_DOUBLE_EQ(3.2, clock.get());
    advance(0.8);
    EXPECT_DOUBLE_EQ(4.0, clock.get());
}

TEST_F(ClockTest, SetOnARunningClockContinuesFromTheNewValue) {
    Time clock;
    clock.init();
    advance(7.0);
    clock.set(1.0);
    EXPECT_DOUBLE_EQ(1.0, clock.get());
    advance(0.5);
    EXPECT_DOUBLE_EQ(1.5, clock.get());
    EXPECT_TRUE(clock.running);
}

TEST_F(ClockTest, StartOnARunningClockJumpsBackToHeld) {
    Time clock;
    clock.init();
    clock.set(0.0);
    advance(2.0);
    EXPECT_DOUBLE_EQ(2.0, clock.get());
    clock.start();
    EXPECT_DOUBLE_EQ(0.0, clock.get());
    advance(1.0);
    EXPECT_DOUBLE_EQ(1.0, clock.get());
}

TEST_F(ClockTest, ResultsCarryNoMeaning) {
    Time clock;
    EXPECT_FALSE(clock.init());
    EXPECT_FALSE(clock.set(1.0));
    EXPECT_FALSE(clock.stop());
    EXPECT_FALSE(clock.start());
}

} // namespace
