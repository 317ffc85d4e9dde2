// The XM writer's files, read back and played by libopenmpt.
#include "xmwriter/xmwriter.h"

#include "support/test_support.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <random>
#include <sstream>
#include <stdexcept>

namespace {

std::unique_ptr<openmpt::module> open_module(const std::vector<uint8_t>& bytes) {
    static std::ostringstream log;
    return std::make_unique<openmpt::module>(bytes.data(), bytes.size(), log);
}

xm::sample square(bool sixteen_bit) {
    xm::sample s;
    s.sixteen_bit = sixteen_bit;
    for (int i = 0; i < 32; ++i)
        s.data.push_back(int16_t(i == 0 ? 0 : (i < 16 ? 1 : -1) * (sixteen_bit ? 10000 : 40)));
    s.loop = xm::loop_type::forward;
    s.loop_length = 32;
    return s;
}

xm::song one_pattern_song(uint16_t channels) {
    xm::song s;
    s.channels = channels;
    s.orders = {0};
    s.patterns.resize(1);
    s.instruments.push_back({"square", {square(false)}});
    return s;
}

// libopenmpt reports notes one octave higher than the file stores them, key-off as 255, and the
// file's volume column byte 0x10 + v as the volume command 1 with value v.
constexpr int openmpt_note_offset = 12;
constexpr int openmpt_key_off = 255;
constexpr int openmpt_volume_command = 1;

TEST(XmWriter, PatternCellsReadBackThroughTheDecoder) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 rng(seed);
    xm::song s = one_pattern_song(5);
    s.patterns.resize(3);
    s.orders = {2, 0, 1, 0};
    s.instruments.resize(3, s.instruments[0]);
    // Effects 1..A and C keep their parameter; libopenmpt numbers them one up.
    const uint8_t effects[] = {0x1, 0x2, 0x3, 0x4, 0xA, 0xC};
    for (xm::pattern& p : s.patterns)
        for (int row = 0; row < 64; ++row)
            for (int ch = 0; ch < 5; ++ch) {
                xm::cell& c = p.at(row, ch, 5);
                const uint32_t fields = rng() % 16; // which fields this cell has; 15: all
                if (fields & 1)
                    c.note = rng() % 8 == 0 ? xm::key_off : uint8_t(1 + rng() % 96);
                if (fields & 2)
                    c.instrument = uint8_t(1 + rng() % 3);
                if (fields & 4)
                    c.volume = uint8_t(0x10 + rng() % 65);
                if (fields & 8) {
                    c.effect = effects[rng() % 6];
                    c.param = uint8_t(1 + rng() % 0x3F);
                }
            }
    const auto m = open_module(xm::encode(s));
    ASSERT_EQ(5, m->get_num_channels());
    ASSERT_EQ(3, m->get_num_patterns());
    ASSERT_EQ(4, m->get_num_orders());
    ASSERT_EQ(3, m->get_num_instruments());
    for (int order = 0; order < 4; ++order)
        EXPECT_EQ(s.orders[size_t(order)], m->get_order_pattern(order));
    for (int pat = 0; pat < 3; ++pat) {
        ASSERT_EQ(64, m->get_pattern_num_rows(pat));
        for (int row = 0; row < 64; ++row)
            for (int ch = 0; ch < 5; ++ch) {
                const xm::cell& c = s.patterns[size_t(pat)].at(row, ch, 5);
                auto get = [&](int command) {
                    return int(m->get_pattern_row_channel_command(pat, row, ch, command));
                };
                const int note = c.note == xm::key_off ? openmpt_key_off
                                 : c.note              ? c.note + openmpt_note_offset
                                                       : 0;
                ASSERT_EQ(note, get(openmpt::module::command_note))
                    << "pattern " << pat << " row " << row << " channel " << ch << " seed " << seed;
                ASSERT_EQ(c.instrument, get(openmpt::module::command_instrument));
                ASSERT_EQ(c.volume ? openmpt_volume_command : 0,
                          get(openmpt::module::command_volumeffect));
                ASSERT_EQ(c.volume ? c.volume - 0x10 : 0, get(openmpt::module::command_volume));
                ASSERT_EQ(c.effect ? c.effect + 1 : 0, get(openmpt::module::command_effect));
                ASSERT_EQ(c.param, get(openmpt::module::command_parameter));
            }
    }
}

TEST(XmWriter, SpeedAndTempoSetTheRowRate) {
    xm::song s = one_pattern_song(1);
    s.speed = 3;
    s.bpm = 150; // 150 * 2 / 5 / 3 = 20 rows per second
    s.orders = {0, 0, 0};
    const auto m = open_module(xm::encode(s));
    EXPECT_EQ(3, m->get_current_speed());
    EXPECT_NEAR(3 * 64 / 20.0, m->get_duration_seconds(), 1e-6);
}

// A note at row 0 cut at row 8 and one at row 32 cut at row 40: sound exactly there.
TEST(XmWriter, NotesSoundWhereTheyAreAndNowhereElse) {
    for (bool sixteen_bit : {false, true}) {
        xm::song s = one_pattern_song(1);
        s.instruments[0].samples[0] = square(sixteen_bit);
        s.speed = 2;
        s.bpm = 125; // 25 rows per second: a row is exactly 1764 frames
        xm::pattern& p = s.patterns[0];
        p.at(0, 0, 1).note = xm::note_number(4, 0);
        p.at(0, 0, 1).instrument = 1;
        p.at(8, 0, 1).note = xm::key_off;
        p.at(32, 0, 1).note = xm::note_number(5, 0);
        p.at(32, 0, 1).instrument = 1;
        p.at(40, 0, 1).note = xm::key_off;
        const auto m = open_module(xm::encode(s));
        const size_t frames_per_row = 1764;
        std::vector<float> sound(2 * 64 * frames_per_row);
        ASSERT_EQ(64 * frames_per_row,
                  m->read_interleaved_stereo(44100, 64 * frames_per_row, sound.data()));
        for (size_t row = 0; row < 64; ++row) {
            float peak = 0.0f;
            for (size_t i = 2 * row * frames_per_row; i < 2 * (row + 1) * frames_per_row; ++i)
                peak = std::max(peak, std::fabs(sound[i]));
            const bool note_on = row < 8 || (row >= 32 && row < 40);
            const bool just_cut = row == 8 || row == 40;
            const char* width = sixteen_bit ? " 16-bit" : " 8-bit";
            if (note_on) {
                EXPECT_GT(peak, 0.02f) << "row " << row << width;
            } else if (!just_cut) {
                EXPECT_LT(peak, 1e-3f) << "row " << row << width;
            }
        }
    }
}

// Played at its own rate without interpolation, a sample comes out as the values it was given,
// scaled: the delta coding loses nothing, in either width.
TEST(XmWriter, SampleValuesSurviveDeltaCoding) {
    const uint32_t seed = test_support::test_seed();
    for (bool sixteen_bit : {false, true}) {
        std::mt19937 rng(seed);
        xm::sample smp;
        smp.sixteen_bit = sixteen_bit;
        for (int i = 0; i < 400; ++i)
            smp.data.push_back(sixteen_bit ? int16_t(rng()) : int16_t(int8_t(rng())));
        smp.data[0] = sixteen_bit ? 32767 : 127; // the extremes wrap in the deltas
        smp.data[1] = sixteen_bit ? -32768 : -128;
        smp.data[2] = 0;
        xm::song s = one_pattern_song(1);
        s.instruments[0].samples[0] = smp;
        s.patterns[0].at(0, 0, 1) = {xm::note_number(4, 0), 1, 0, 0, 0};
        const auto m = open_module(xm::encode(s));
        m->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 1);
        m->set_render_param(openmpt::module::RENDER_VOLUMERAMPING_STRENGTH, 0);
        std::vector<float> out(2 * 400);
        ASSERT_EQ(400u, m->read_interleaved_stereo(8363, 400, out.data()));
        const double scale = out[0] / smp.data[0];
        ASSERT_GT(scale, 0.0);
        for (size_t i = 0; i < 400; ++i)
            ASSERT_NEAR(smp.data[i] * scale, out[2 * i], 1e-6)
                << "value " << i << (sixteen_bit ? " 16-bit" : " 8-bit") << " seed " << seed;
    }
}

// Peak of each row of a one-channel song at 25 rows per second.
std::vector<float> row_peaks(const xm::song& s, int rows) {
    const auto m = open_module(xm::encode(s));
    const size_t frames_per_row = 1764;
    std::vector<float> sound(2 * size_t(rows) * frames_per_row);
    m->read_interleaved_stereo(44100, size_t(rows) * frames_per_row, sound.data());
    std::vector<float> peaks(size_t(rows), 0.0f);
    for (size_t i = 0; i < sound.size(); ++i)
        peaks[i / (2 * frames_per_row)] =
            std::max(peaks[i / (2 * frames_per_row)], std::fabs(sound[i]));
    return peaks;
}

// A volume envelope that rises from silence, holds at its sustain point until the key-off and
// then falls back to silence shapes the note; so does the fade-out without an envelope end.
TEST(XmWriter, EnvelopesAndFadeOutShapeTheNote) {
    xm::song s = one_pattern_song(1);
    s.speed = 2;
    s.bpm = 125; // 25 rows per second, a tick is 882 frames
    s.patterns[0].at(0, 0, 1) = {xm::note_number(4, 0), 1, 0, 0, 0};
    s.patterns[0].at(20, 0, 1).note = xm::key_off;
    xm::instrument& ins = s.instruments[0];
    ins.volume_envelope.points = {{0, 0}, {8, 64}, {10, 64}, {18, 0}};
    ins.volume_envelope.sustain = 2;
    std::vector<float> peaks = row_peaks(s, 32);
    EXPECT_LT(peaks[0], peaks[4]); // rising over the first four rows
    EXPECT_NEAR(peaks[6], peaks[19], 1e-3f) << "held at the sustain point";
    EXPECT_LT(peaks[23], 0.5f * peaks[19]);
    EXPECT_LT(peaks[26], 1e-3f) << "silent once the envelope ends after the key-off";

    ins.volume_envelope.points = {{0, 64}, {1, 64}};
    ins.volume_envelope.sustain = 1;
    ins.fadeout = 4096; // 8 ticks, 4 rows from full to silence
    peaks = row_peaks(s, 32);
    EXPECT_NEAR(peaks[2], peaks[19], 1e-3f);
    EXPECT_LT(peaks[22], 0.6f * peaks[19]);
    EXPECT_LT(peaks[25], 1e-3f);
}

TEST(XmWriter, SavedFileLoadsFromDisk) {
    test_support::TempDir dir;
    xm::song s = one_pattern_song(4);
    s.name = "a name longer than twenty characters";
    ASSERT_TRUE(xm::save(s, dir.file("song.xm")));
    const auto m = open_module(test_support::read_file(dir.file("song.xm")));
    EXPECT_EQ("a name longer than t", m->get_metadata("title"));
    EXPECT_FALSE(xm::save(s, dir.file("no/such/folder/song.xm")));
}

TEST(XmWriter, RefusesSongsItCannotWrite) {
    auto refused = [](auto change) {
        xm::song s = one_pattern_song(2);
        change(s);
        EXPECT_THROW(xm::encode(s), std::invalid_argument);
    };
    refused([](xm::song& s) { s.channels = 0; });
    refused([](xm::song& s) { s.channels = 33; });
    refused([](xm::song& s) { s.orders = {}; });
    refused([](xm::song& s) { s.orders = {1}; });
    refused([](xm::song& s) { s.restart = 1; });
    refused([](xm::song& s) { s.speed = 0; });
    refused([](xm::song& s) { s.bpm = 31; });
    refused([](xm::song& s) { s.patterns[0].cells.resize(5); });
    refused([](xm::song& s) { s.patterns[0].at(0, 0, 2).note = 98; });
    refused([](xm::song& s) { s.patterns[0].at(0, 0, 2).instrument = 2; });
    refused([](xm::song& s) { s.instruments[0].samples[0].data[3] = 128; });
    refused([](xm::song& s) { s.instruments[0].samples[0].loop_length = 33; });
    refused([](xm::song& s) { s.instruments[0].samples[0].volume = 65; });
    refused([](xm::song& s) { s.instruments[0].samples.resize(17); });
    refused([](xm::song& s) { s.instruments[0].volume_envelope.points.resize(13); });
    refused([](xm::song& s) { s.instruments[0].volume_envelope.points = {{0, 65}}; });
    refused([](xm::song& s) { s.instruments[0].volume_envelope.points = {{4, 0}, {4, 1}}; });
    refused([](xm::song& s) { s.instruments[0].panning_envelope.sustain = 0; });
    refused([](xm::song& s) {
        s.instruments[0].volume_envelope.points = {{0, 0}, {4, 1}};
        s.instruments[0].volume_envelope.loop_start = 1;
    });
    refused([](xm::song& s) { s.instruments[0].vibrato.depth = 16; });
    xm::pattern p;
    EXPECT_THROW(p.at(64, 0, 1), std::invalid_argument);
}

} // namespace
