// Frames and time: the sound of each frame, frames for times typed in decimal, the clock's counts.
#include "frame_timing.h"

#include <gtest/gtest.h>

namespace {

// Ten minutes at 60 and 50 fps (and at rates that do not divide 44100): every frame has floor or
// ceil of rate / fps samples, and the first n frames hold floor(n x rate / fps) of them.
TEST(FrameTiming, SoundOfEveryFrameAddsUpWithoutDrift) {
    for (uint32_t fps : {60u, 50u, 30u, 24u, 144u, 7u}) {
        const uint64_t frames = 600ull * fps;
        uint64_t total = 0;
        const uint32_t low = 44100 / fps, high = (44100 + fps - 1) / fps;
        for (uint64_t n = 0; n < frames; ++n) {
            const uint32_t samples = samples_of(n, fps, 44100);
            ASSERT_TRUE(samples == low || samples == high) << fps << " fps, frame " << n;
            total += samples;
            ASSERT_EQ((n + 1) * 44100 / fps, total) << fps << " fps, frame " << n;
        }
        EXPECT_EQ(600u * 44100u, total) << fps << " fps: exactly ten minutes of sound";
    }
    EXPECT_EQ(735u, samples_of(12345, 60, 44100));
    EXPECT_EQ(882u, samples_of(777, 50, 44100));
}

TEST(FrameTiming, FramesOfTimes) {
    EXPECT_EQ(0u, frame_at(0, 60));
    EXPECT_EQ(138u, frame_at(2.3, 60)) << "2.3 x 60 is 137.99999... in binary";
    EXPECT_EQ(138u, frame_at(2.3166, 60)) << "the frame shown at that time";
    EXPECT_EQ(0u, first_frame_from(0, 60));
    EXPECT_EQ(138u, first_frame_from(2.3, 60));
    EXPECT_EQ(139u, first_frame_from(2.3166, 60)) << "frame 138 starts before";
    EXPECT_EQ(36000u, first_frame_from(600, 60));
}

TEST(FrameTiming, CountsNeverFallShortOfTheFrameTime) {
    const uint64_t rate = 10'000'000;
    for (uint32_t fps : {60u, 50u, 7u})
        for (uint64_t n = 0; n < 100000; n += 37) {
            const uint64_t counts = counts_before(n, fps, rate);
            ASSERT_GE(counts * fps, n * rate);
            ASSERT_LT(counts * fps, n * rate + fps);
        }
}

} // namespace
