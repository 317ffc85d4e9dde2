// The module backend on SDL's dummy audio driver: readiness, in_use, loading, and the position
// while playing, paused, seeking and stopped.
#include "music/basscore.h"

#include "music_fixture.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using namespace music_fixture;

int position_rows(bassmod& m) {
    return m.getorder() * 64 + m.getrow();
}

void expect_no_channel(bassmod& m) {
    EXPECT_EQ(65535, m.getorder()) << "the all-ones error position";
    EXPECT_EQ(-1, m.getrow());
}

TEST(PositionWord, PacksRowAboveOrderAndWidensWithTheSign) {
    EXPECT_EQ(0x00050002u, music_position_word(2, 5));
    EXPECT_EQ(0x003F00FFu, music_position_word(255, 63));
    EXPECT_EQ(0xFFFFFFFF80000000u, music_position_word(0, 0x8000)) << "bit 31 set: widened";
    EXPECT_EQ(0xFFFFFFFFFFFFFFFFu, music_position_word(-1, 0));
}

TEST(Bassmod, ConstructedNeitherReadyNorInUse) {
    bassmod m;
    EXPECT_FALSE(m.is_ready);
    EXPECT_FALSE(m.in_use);
    EXPECT_EQ(0u, m.handle);
    EXPECT_STRNE("null", m.name);
    EXPECT_STREQ("", m.getdevinfo());
    EXPECT_EQ(-1, m.gettick());
    EXPECT_EQ(-1, m.getins(0));
    expect_no_channel(m);
}

TEST(Bassmod, EveryCommandButStopNeedsTheDevice) {
    test_support::TempDir dir;
    const std::vector<uint8_t> bytes = clock_module();
    test_support::write_file(dir.file("clock.xm"), bytes);
    bassmod m;
    EXPECT_FALSE(m.load(dir.file("clock.xm").c_str()));
    EXPECT_FALSE(BASS_Free()) << "load did not start the audio layer";
    EXPECT_FALSE(m.loadmem(bytes.data(), uint32_t(bytes.size())));
    EXPECT_FALSE(m.play());
    EXPECT_FALSE(m.play(0, 0));
    EXPECT_FALSE(m.pause());
    EXPECT_FALSE(m.setpos(0, 0));
    EXPECT_FALSE(m.setvol(1.0f));
    EXPECT_FALSE(m.in_use);
    EXPECT_TRUE(m.stop());
    EXPECT_TRUE(m.free());
}

TEST(Bassmod, InitFailsCleanlyWhenNoDeviceOpens) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    bassmod m;
    EXPECT_FALSE(m.init(true));
    EXPECT_FALSE(m.is_ready);
    use_dummy_audio();
    EXPECT_TRUE(m.init(true));
    EXPECT_TRUE(m.is_ready);
}

// Without a device the backend plays only what audio_render asks for, and reports the position of
// the sound rendered so far.
TEST(Bassmod, WithoutADeviceThePositionFollowsTheRenderedSound) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1); // would fail, were a device opened
    bassmod m(AUDIO_DEVICE_NONE);
    ASSERT_TRUE(m.init(true));
    const std::vector<uint8_t> bytes = clock_module(); // 24 rows a second
    ASSERT_TRUE(m.loadmem(bytes.data(), uint32_t(bytes.size())));
    ASSERT_TRUE(m.play());
    std::vector<float> sound(2 * 2 * MUSIC_OUTPUT_RATE); // two seconds, 48 rows
    const uint32_t frames_per_row = MUSIC_OUTPUT_RATE / 24;
    ASSERT_TRUE(audio_render(sound.data(), 30 * frames_per_row + 50));
    EXPECT_EQ(30, position_rows(m));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // time alone moves nothing
    EXPECT_EQ(30, position_rows(m));
    ASSERT_TRUE(audio_render(sound.data(), 40 * frames_per_row));
    EXPECT_EQ(70, position_rows(m));
    EXPECT_TRUE(m.free());
}

// A backend started on the dummy driver; every test leaves the layer stopped.
class Playing : public ::testing::Test {
  protected:
    void SetUp() override {
        use_dummy_audio();
        ASSERT_TRUE(m.init(false));
    }

    void load(const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(m.loadmem(bytes.data(), uint32_t(bytes.size())));
    }

    // Waits, bounded, until the heard position reaches `rows` rows from the start.
    void wait_for_rows(int rows) {
        ASSERT_TRUE(wait_until([&] { return position_rows(m) >= rows; }))
            << "still at order " << m.getorder() << " row " << m.getrow();
    }

    bassmod m;
};

TEST_F(Playing, LoadFailuresReturnFalse) {
    test_support::TempDir dir;
    const std::vector<uint8_t> bytes = clock_module();
    test_support::write_file(dir.file("garbage.xm"), std::vector<uint8_t>(5000, 0xA7));
    test_support::write_file(dir.file("empty.xm"), {});
    test_support::write_file(dir.file("cut.xm"),
                             std::vector<uint8_t>(bytes.begin(), bytes.begin() + 200));
    for (const char* name : {"missing.xm", "garbage.xm", "empty.xm", "cut.xm"}) {
        EXPECT_FALSE(m.load(dir.file(name).c_str())) << name;
        EXPECT_EQ(0u, m.handle) << name;
    }
    EXPECT_FALSE(m.loadmem(nullptr, 100));
    EXPECT_FALSE(m.loadmem(bytes.data(), 0));
    EXPECT_FALSE(m.play()) << "no module to play";
    EXPECT_FALSE(m.in_use);
}

TEST_F(Playing, LoadsAPathWrittenWithBackslashes) {
    test_support::TempDir dir;
    const std::string folder = dir.file("music");
    ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
    test_support::write_file(folder + "/zoveta.xm", clock_module());
    EXPECT_TRUE(m.load((dir.path() + "\\music\\zoveta.xm").c_str()));
    EXPECT_NE(0u, m.handle);
}

TEST_F(Playing, PauseHoldsThePositionAndPlayResumesIt) {
    load(fast_module());
    ASSERT_TRUE(m.play());
    EXPECT_TRUE(m.in_use);
    wait_for_rows(6);
    ASSERT_TRUE(m.pause());
    EXPECT_TRUE(m.in_use) << "pause keeps in_use";
    const int order = m.getorder();
    const int row = m.getrow();
    std::this_thread::sleep_for(std::chrono::milliseconds(120)); // about 11 rows of playing time
    EXPECT_EQ(order, m.getorder());
    EXPECT_EQ(row, m.getrow());
    EXPECT_FALSE(m.pause()) << "already paused";
    ASSERT_TRUE(m.play());
    EXPECT_GE(position_rows(m), order * 64 + row) << "resume does not go back";
    wait_for_rows(order * 64 + row + 3);
}

TEST_F(Playing, SetposSeeksWhilePlaying) {
    load(clock_module());
    ASSERT_TRUE(m.play());
    ASSERT_TRUE(m.setpos(1, 10));
    EXPECT_EQ(1, m.getorder());
    EXPECT_GE(m.getrow(), 10);
    EXPECT_LE(m.getrow(), 12);
    wait_for_rows(64 + 12);
}

TEST_F(Playing, SetposSeeksWhilePaused) {
    load(fast_module());
    ASSERT_TRUE(m.play());
    wait_for_rows(2);
    ASSERT_TRUE(m.pause());
    ASSERT_TRUE(m.setpos(1, 20));
    EXPECT_EQ(1, m.getorder());
    EXPECT_EQ(20, m.getrow());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(20, m.getrow()) << "still paused";
    ASSERT_TRUE(m.play());
    wait_for_rows(64 + 23);
}

TEST_F(Playing, SetposDoesNothingAfterStop) {
    load(fast_module());
    ASSERT_TRUE(m.play());
    wait_for_rows(4);
    ASSERT_TRUE(m.stop());
    EXPECT_FALSE(m.in_use);
    const int order = m.getorder();
    const int row = m.getrow();
    EXPECT_FALSE(m.setpos(1, 30));
    EXPECT_EQ(order, m.getorder());
    EXPECT_EQ(row, m.getrow());
}

TEST_F(Playing, SetposToAMissingOrderKeepsThePosition) {
    load(clock_module());
    ASSERT_TRUE(m.play());
    ASSERT_TRUE(m.pause());
    const int rows = position_rows(m);
    EXPECT_TRUE(m.setpos(9, 0)) << "the backend reports success while in use";
    EXPECT_EQ(rows, position_rows(m));
}

TEST_F(Playing, PlayAtAnOrderAndRow) {
    load(clock_module());
    ASSERT_TRUE(m.play(1, 8));
    EXPECT_TRUE(m.in_use);
    EXPECT_EQ(1, m.getorder());
    EXPECT_GE(m.getrow(), 8);
    EXPECT_LE(m.getrow(), 10);
}

TEST_F(Playing, RowsAdvanceInOrderAtTheModulesTempo) {
    load(fast_module()); // 96 rows per second: order 1 after about 0.7 s
    ASSERT_TRUE(m.play());
    int previous = 0;
    int distinct = 0;
    ASSERT_TRUE(wait_until([&] {
        const int now = position_rows(m);
        EXPECT_GE(now, previous) << "the position never goes back";
        distinct += now != previous;
        previous = now;
        return now >= 64;
    }));
    EXPECT_EQ(1, m.getorder());
    EXPECT_GT(distinct, 32) << "rows are reported one by one, not in big jumps";
}

TEST_F(Playing, SecondInitStopsTheModule) {
    load(fast_module());
    ASSERT_TRUE(m.play());
    wait_for_rows(2);
    ASSERT_TRUE(m.init(false));
    EXPECT_TRUE(m.is_ready);
    EXPECT_FALSE(m.in_use);
    expect_no_channel(m);
    EXPECT_FALSE(m.play()) << "the old handle is gone";
    EXPECT_FALSE(m.pause());
}

TEST_F(Playing, FreeReleasesTheDevice) {
    load(fast_module());
    ASSERT_TRUE(m.play());
    EXPECT_TRUE(m.free());
    EXPECT_FALSE(m.is_ready);
    EXPECT_FALSE(m.in_use);
    expect_no_channel(m);
    EXPECT_FALSE(BASS_Free()) << "already released";
}

TEST_F(Playing, SetvolNeedsOnlyTheDevice) {
    EXPECT_TRUE(m.setvol(0.5f));
    EXPECT_TRUE(m.setvol(7.0f)) << "the layer's answer is not looked at";
}

} // namespace
