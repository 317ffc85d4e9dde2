// The audio layer's contract, mostly on the offline path (no device): results, handles, positions
// and the rendered sound.
#include "platform/audio.h"
#include "platform/audio_timeline.h"
#include "platform/module_check.h"

#include "music_fixture.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using namespace music_fixture;

constexpr uint32_t rate = 44100;
constexpr double frames_per_row = rate / 24.0; // the clock song's default tempo

std::vector<float> render(uint32_t frames) {
    std::vector<float> out(2 * size_t(frames), -1.0f);
    EXPECT_TRUE(audio_render(out.data(), frames));
    return out;
}

float peak(const std::vector<float>& samples) {
    float p = 0.0f;
    for (float v : samples)
        p = std::max(p, std::fabs(v));
    return p;
}

HMUSIC load(const std::vector<uint8_t>& bytes,
            uint32_t flags = AUDIO_MUSIC_LOOP | AUDIO_MUSIC_RAMPS) {
    return BASS_MusicLoad(true, bytes.data(), 0, uint32_t(bytes.size()), flags, 0);
}

uint64_t position(HMUSIC music) {
    return BASS_ChannelGetPosition(music, AUDIO_POS_ORDER_ROW);
}

class OfflineLayer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(BASS_Init(AUDIO_DEVICE_NONE, rate, 0, nullptr, nullptr)); }
    void TearDown() override { BASS_Free(); }

    // Renders from the current frame up to `rows` rows after the start.
    void render_to_row(double rows) {
        const uint64_t target = uint64_t(rows * frames_per_row);
        render(uint32_t(target - rendered));
        rendered = target;
    }
    uint64_t rendered = 0;
};

TEST(AudioTimeline, AnswersWithTheLatestNoteAtOrBeforeTheFrame) {
    audio_timeline t;
    EXPECT_EQ(7u, t.at(100, 7)) << "no notes: the fallback";
    t.note(256, 1);
    t.note(512, 2);
    t.note(768, 3);
    EXPECT_EQ(7u, t.at(255, 7)) << "every note is later";
    EXPECT_EQ(1u, t.at(256, 7));
    EXPECT_EQ(2u, t.at(700, 7));
    EXPECT_EQ(3u, t.at(100000, 7));
    t.clear();
    EXPECT_EQ(7u, t.at(100000, 7));
}

TEST(AudioTimeline, KeepsTheNewestNotesWhenTheRingIsFull) {
    audio_timeline t;
    for (uint64_t i = 1; i <= 3 * audio_timeline::capacity; ++i)
        t.note(i * 10, i);
    EXPECT_EQ(3 * audio_timeline::capacity, t.at(1000000, 0));
    EXPECT_EQ(150u, t.at(1505, 0));
    EXPECT_EQ(0u, t.at(15, 0)) << "long dropped out";
}

TEST(ModuleCheck, WalksXmStructureAndLeavesOtherFormatsAlone) {
    std::vector<uint8_t> bytes = clock_module();
    EXPECT_TRUE(module_data_complete(bytes.data(), bytes.size()));
    bytes.push_back(0);
    EXPECT_TRUE(module_data_complete(bytes.data(), bytes.size())) << "trailing bytes are fine";
    bytes[60] = 0xFF; // header size
    bytes[63] = 0x7F;
    EXPECT_FALSE(module_data_complete(bytes.data(), bytes.size()));
    const std::string signature = "Extended Module: ";
    EXPECT_FALSE(
        module_data_complete(reinterpret_cast<const uint8_t*>(signature.data()), signature.size()));
    const std::vector<uint8_t> other(100, 7);
    EXPECT_TRUE(module_data_complete(other.data(), other.size())) << "left to the decoder";
}

TEST(AudioLayer, CallsBeforeInitFail) {
    const std::vector<uint8_t> bytes = clock_module();
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(0u, load(bytes));
    EXPECT_FALSE(BASS_ChannelPlay(1, false));
    EXPECT_FALSE(BASS_ChannelPause(1));
    EXPECT_FALSE(BASS_ChannelStop(1));
    EXPECT_FALSE(BASS_ChannelSetPosition(1, 0, AUDIO_POS_ORDER_ROW));
    EXPECT_EQ(AUDIO_POS_ERROR, position(1));
    EXPECT_FALSE(BASS_SetVolume(50));
    float out[2];
    EXPECT_FALSE(audio_render(out, 1));
}

TEST(AudioLayer, InitRefusesUnknownDevicesRatesAndASecondStart) {
    EXPECT_FALSE(BASS_Init(3, rate, 0, nullptr, nullptr));
    EXPECT_FALSE(BASS_Init(AUDIO_DEVICE_NONE, 1000, 0, nullptr, nullptr));
    ASSERT_TRUE(BASS_Init(AUDIO_DEVICE_NONE, rate, 0, nullptr, nullptr));
    EXPECT_FALSE(BASS_Init(AUDIO_DEVICE_NONE, rate, 0, nullptr, nullptr));
    EXPECT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_Free());
}

TEST_F(OfflineLayer, InvalidHandlesFailAndReportTheErrorPosition) {
    for (HMUSIC handle : {0u, 12345u}) {
        EXPECT_FALSE(BASS_ChannelPlay(handle, false));
        EXPECT_FALSE(BASS_ChannelPause(handle));
        EXPECT_FALSE(BASS_ChannelStop(handle));
        EXPECT_FALSE(BASS_ChannelSetPosition(handle, 0, AUDIO_POS_ORDER_ROW));
        EXPECT_EQ(AUDIO_POS_ERROR, position(handle));
        EXPECT_EQ(AUDIO_POS_ERROR, audio_decoder_position(handle));
    }
}

TEST_F(OfflineLayer, FreeInvalidatesHandlesForGood) {
    const std::vector<uint8_t> bytes = clock_module();
    const HMUSIC first = load(bytes);
    ASSERT_NE(0u, first);
    ASSERT_TRUE(BASS_ChannelPlay(first, false));
    ASSERT_TRUE(BASS_Free());
    ASSERT_TRUE(BASS_Init(AUDIO_DEVICE_NONE, rate, 0, nullptr, nullptr));
    EXPECT_EQ(AUDIO_POS_ERROR, position(first));
    EXPECT_FALSE(BASS_ChannelPlay(first, false));
    const HMUSIC second = load(bytes);
    EXPECT_NE(0u, second);
    EXPECT_NE(first, second) << "a handle is never handed out twice";
    EXPECT_EQ(0.0f, peak(render(4096))) << "the old music no longer plays";
}

TEST_F(OfflineLayer, LoadRefusesBadInput) {
    const std::vector<uint8_t> bytes = clock_module();
    const std::vector<uint8_t> garbage(3000, 0x5A);
    EXPECT_EQ(0u, BASS_MusicLoad(true, nullptr, 0, 100, 0, 0));
    EXPECT_EQ(0u, BASS_MusicLoad(true, bytes.data(), 0, 0, 0, 0)) << "memory needs a length";
    EXPECT_EQ(0u, load(garbage));
    EXPECT_EQ(0u, load(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 60)));
    EXPECT_EQ(0u, BASS_MusicLoad(true, bytes.data(), 0, uint32_t(bytes.size()), 0, 22050))
        << "only the device rate";
    EXPECT_NE(0u, BASS_MusicLoad(true, bytes.data(), 0, uint32_t(bytes.size()), 0, rate));
}

// A module cut anywhere is refused, and nothing reads past the bytes given.
TEST_F(OfflineLayer, TruncatedModulesAreRefused) {
    const std::vector<uint8_t> bytes = clock_module();
    for (size_t size = 1; size < bytes.size(); size += 7) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(size));
        EXPECT_EQ(0u, load(cut)) << "cut at " << size << " of " << bytes.size();
    }
    EXPECT_NE(0u, load(bytes));
}

TEST_F(OfflineLayer, LoadsFromAFileWithOffsetAndLength) {
    test_support::TempDir dir;
    const std::vector<uint8_t> bytes = clock_module();
    std::vector<uint8_t> padded(16 + bytes.size() + 8, 0xEE);
    std::copy(bytes.begin(), bytes.end(), padded.begin() + 16);
    const std::string path = dir.file("padded.bin");
    test_support::write_file(path, padded);
    EXPECT_NE(0u, BASS_MusicLoad(false, path.c_str(), 16, uint32_t(bytes.size()), 0, 0));
    EXPECT_EQ(0u, BASS_MusicLoad(false, path.c_str(), 16, uint32_t(padded.size()), 0, 0))
        << "past the end of the file";
    EXPECT_EQ(0u, BASS_MusicLoad(false, path.c_str(), padded.size() + 1, 0, 0, 0));
    EXPECT_EQ(0u, BASS_MusicLoad(false, dir.file("missing.xm").c_str(), 0, 0, 0, 0));
    EXPECT_EQ(0u, BASS_MusicLoad(false, dir.path().c_str(), 0, 0, 0, 0)) << "a folder";
}

// A prefetch, even one started before the layer, gives the load what reading the file would:
// the same sound, a refusal for a damaged file, and a file that appeared since is read anew.
TEST(AudioLayer, PrefetchedFilesLoadAsReadFiles) {
    test_support::TempDir dir;
    const std::vector<uint8_t> bytes = clock_module();
    const std::string song = dir.file("song.xm"), late = dir.file("late.xm");
    const std::string damaged = dir.file("damaged.xm");
    test_support::write_file(song, bytes);
    test_support::write_file(damaged, std::vector<uint8_t>(bytes.begin(), bytes.end() - 9));
    audio_prefetch(song.c_str());
    ASSERT_TRUE(BASS_Init(AUDIO_DEVICE_NONE, rate, 0, nullptr, nullptr));
    const HMUSIC prefetched = BASS_MusicLoad(false, song.c_str(), 0, 0, AUDIO_MUSIC_RAMPS, 0);
    const HMUSIC direct = load(bytes, AUDIO_MUSIC_RAMPS);
    ASSERT_NE(0u, prefetched);
    ASSERT_TRUE(BASS_ChannelPlay(prefetched, false));
    const std::vector<float> prefetched_sound = render(8192);
    ASSERT_TRUE(BASS_ChannelStop(prefetched));
    ASSERT_TRUE(BASS_ChannelPlay(direct, false));
    EXPECT_TRUE(prefetched_sound == render(8192));
    EXPECT_GT(peak(prefetched_sound), 0.01f);

    audio_prefetch(damaged.c_str());
    EXPECT_EQ(0u, BASS_MusicLoad(false, damaged.c_str(), 0, 0, 0, 0));
    audio_prefetch(late.c_str());
    test_support::write_file(late, bytes);
    EXPECT_NE(0u, BASS_MusicLoad(false, late.c_str(), 0, 0, 0, 0));
    EXPECT_TRUE(BASS_Free());
}

TEST_F(OfflineLayer, RowsAdvanceAtTheModulesTempo) {
    const HMUSIC music = load(clock_module());
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    EXPECT_EQ(0u, position(music));
    for (int row = 0; row < 64; ++row) {
        render_to_row(row + 0.5);
        const uint64_t p = position(music);
        ASSERT_EQ(0, order_of(p)) << "at row " << row;
        ASSERT_EQ(row, row_of(p));
        ASSERT_EQ(p, audio_decoder_position(music)) << "offline, the decoder is what is heard";
    }
    render_to_row(64.5);
    EXPECT_EQ(1, order_of(position(music)));
    EXPECT_EQ(0, row_of(position(music)));
}

TEST_F(OfflineLayer, AStoppedOrPausedMusicHoldsAndIsSilent) {
    const HMUSIC music = load(clock_module());
    EXPECT_EQ(0.0f, peak(render(4096))) << "loaded but not playing";
    EXPECT_FALSE(BASS_ChannelPause(music)) << "nothing to pause";
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    render_to_row(10.5);
    ASSERT_TRUE(BASS_ChannelPause(music));
    EXPECT_FALSE(BASS_ChannelPause(music)) << "already paused";
    EXPECT_EQ(0.0f, peak(render(20000)));
    EXPECT_EQ(10, row_of(position(music)));
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    EXPECT_GT(peak(render(4000)), 0.01f);
    ASSERT_TRUE(BASS_ChannelStop(music));
    const uint64_t stopped = position(music);
    EXPECT_EQ(0.0f, peak(render(20000)));
    EXPECT_EQ(stopped, position(music));
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    render(2000);
    EXPECT_GE(rows_of(position(music)), rows_of(stopped)) << "play after stop continues";
    ASSERT_TRUE(BASS_ChannelPlay(music, true));
    EXPECT_EQ(0u, position(music)) << "restart goes back to the start";
}

TEST_F(OfflineLayer, SetPositionSeeksAndValidates) {
    const HMUSIC music = load(clock_module());
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    ASSERT_TRUE(BASS_ChannelSetPosition(music, (uint64_t(20) << 16) | 1, AUDIO_POS_ORDER_ROW));
    EXPECT_EQ((uint64_t(20) << 16) | 1, position(music)) << "the new position at once";
    render(uint32_t(frames_per_row / 2));
    EXPECT_EQ(1, order_of(position(music)));
    EXPECT_EQ(20, row_of(position(music)));
    const uint64_t before = position(music);
    EXPECT_FALSE(BASS_ChannelSetPosition(music, 2, AUDIO_POS_ORDER_ROW)) << "order past the list";
    EXPECT_FALSE(BASS_ChannelSetPosition(music, uint64_t(64) << 16, AUDIO_POS_ORDER_ROW))
        << "row past the pattern";
    EXPECT_FALSE(BASS_ChannelSetPosition(music, AUDIO_POS_ERROR, AUDIO_POS_ORDER_ROW));
    EXPECT_FALSE(BASS_ChannelSetPosition(music, 0, 0)) << "unknown mode";
    EXPECT_EQ(AUDIO_POS_ERROR, BASS_ChannelGetPosition(music, 0));
    EXPECT_EQ(before, position(music));
}

TEST_F(OfflineLayer, LoopingMusicWrapsAndOtherMusicEnds) {
    const HMUSIC looping = load(clock_module(120, 2, 1));
    ASSERT_TRUE(BASS_ChannelPlay(looping, false));
    render_to_row(70.5);
    EXPECT_EQ(0, order_of(position(looping)));
    EXPECT_EQ(6, row_of(position(looping)));
    EXPECT_TRUE(BASS_ChannelPause(looping)) << "still playing";

    const HMUSIC once = load(clock_module(120, 2, 1), AUDIO_MUSIC_RAMPS);
    ASSERT_TRUE(BASS_ChannelPlay(once, false));
    render(uint32_t(80 * frames_per_row));
    EXPECT_FALSE(BASS_ChannelPause(once)) << "it ended, so it no longer plays";
    EXPECT_EQ(0.0f, peak(render(4096)));
}

TEST_F(OfflineLayer, RampingFlagSoftensNoteStarts) {
    const std::vector<uint8_t> bytes = clock_module();
    const HMUSIC ramped = load(bytes, AUDIO_MUSIC_RAMPS);
    const HMUSIC hard = load(bytes, 0);
    ASSERT_TRUE(BASS_ChannelPlay(hard, false));
    const std::vector<float> hard_sound = render(2000);
    ASSERT_TRUE(BASS_ChannelStop(hard));
    ASSERT_TRUE(BASS_ChannelPlay(ramped, false));
    const std::vector<float> ramped_sound = render(2000);
    // The first note starts at once without ramping and fades in over a few frames with it;
    // after that both are the same sound.
    for (size_t frame = 1; frame < 14; ++frame)
        EXPECT_LT(std::fabs(ramped_sound[2 * frame]), std::fabs(hard_sound[2 * frame])) << frame;
    for (size_t frame = 20; frame < 100; ++frame)
        EXPECT_EQ(ramped_sound[2 * frame], hard_sound[2 * frame]) << frame;
}

TEST_F(OfflineLayer, MasterVolumeScalesTheOutput) {
    const std::vector<uint8_t> bytes = clock_module();
    const HMUSIC first = load(bytes);
    const HMUSIC second = load(bytes);
    ASSERT_TRUE(BASS_ChannelPlay(first, false));
    const std::vector<float> full = render(8192);
    ASSERT_TRUE(BASS_ChannelStop(first));
    ASSERT_TRUE(BASS_SetVolume(50));
    ASSERT_TRUE(BASS_ChannelPlay(second, false));
    const std::vector<float> half = render(8192);
    ASSERT_GT(peak(full), 0.01f);
    for (size_t i = 0; i < full.size(); ++i)
        ASSERT_EQ(full[i] * 0.5f, half[i]) << "sample " << i;
    EXPECT_FALSE(BASS_SetVolume(101));
    EXPECT_FALSE(BASS_SetVolume(-1));
    EXPECT_FALSE(BASS_SetVolume(NAN));
}

std::vector<float> render_whole_session(const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(BASS_Init(AUDIO_DEVICE_NONE, rate, 0, nullptr, nullptr));
    const HMUSIC music = load(bytes);
    EXPECT_TRUE(BASS_ChannelPlay(music, false));
    std::vector<float> sound;
    for (int block = 0; block < 20; ++block) {
        const std::vector<float> part = render(1000 + 37 * uint32_t(block));
        sound.insert(sound.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(BASS_Free());
    return sound;
}

TEST(AudioLayer, OfflineRendersAreIdentical) {
    const std::vector<uint8_t> bytes = clock_module();
    const std::vector<float> first = render_whole_session(bytes);
    const std::vector<float> second = render_whole_session(bytes);
    ASSERT_EQ(first.size(), second.size());
    EXPECT_GT(peak(first), 0.01f);
    EXPECT_TRUE(first == second);
}

TEST(AudioDevice, InitFailsCleanlyWithoutADevice) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(BASS_Init(AUDIO_DEVICE_DEFAULT, rate, 0, nullptr, nullptr));
    EXPECT_FALSE(BASS_Free()) << "nothing was started";
    use_dummy_audio();
    ASSERT_TRUE(BASS_Init(AUDIO_DEVICE_DEFAULT, rate, 0, nullptr, nullptr));
    std::vector<float> out(2);
    EXPECT_FALSE(audio_render(out.data(), 1)) << "the device drives the mixer";
    EXPECT_TRUE(BASS_Free());
}

// On the device the reported position trails the decoder by what is still buffered: never ahead,
// and less than a row behind at 24 rows per second.
TEST(AudioDevice, ReportedPositionTrailsTheDecoderByLessThanARow) {
    use_dummy_audio();
    ASSERT_TRUE(BASS_Init(AUDIO_DEVICE_DEFAULT, rate, 0, nullptr, nullptr));
    const HMUSIC music = load(clock_module());
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    int samples = 0;
    int behind = 0;
    ASSERT_TRUE(wait_until([&] {
        const int decoded = rows_of(audio_decoder_position(music));
        const int heard = rows_of(position(music));
        const int decoded_after = rows_of(audio_decoder_position(music));
        EXPECT_LE(heard, decoded_after);
        EXPECT_GE(heard, decoded - 1);
        behind += heard < decoded;
        ++samples;
        return heard >= 12;
    }));
    EXPECT_GT(behind, 0) << "of " << samples << " read-outs, none trailed the decoder";
    EXPECT_TRUE(BASS_Free());
}

} // namespace
