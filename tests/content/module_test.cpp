// The soundtrack: it loads and plays through the program's own audio layer, runs at the driver's
// time base, stays in tune, and mixes without clipping, gaps or a flat dynamic.
#include "content/instruments.h"
#include "content/score.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <sstream>

#include "platform/audio.h"

namespace {

constexpr int rate = 44100;

std::unique_ptr<openmpt::module> decode(const std::vector<uint8_t>& bytes) {
    static std::ostringstream log;
    return std::make_unique<openmpt::module>(bytes.data(), bytes.size(), log);
}

// The whole song as the program plays it, mixed offline by its audio layer.
std::vector<float> render_through_audio_layer(const std::vector<uint8_t>& bytes, double seconds) {
    EXPECT_TRUE(BASS_Init(AUDIO_DEVICE_NONE, rate, 0, nullptr, nullptr));
    const HMUSIC music =
        BASS_MusicLoad(true, bytes.data(), 0, uint32_t(bytes.size()), AUDIO_MUSIC_RAMPS, 0);
    EXPECT_NE(0u, music);
    EXPECT_TRUE(BASS_ChannelPlay(music, true));
    std::vector<float> out(2 * size_t(seconds * rate));
    EXPECT_TRUE(audio_render(out.data(), uint32_t(out.size() / 2)));
    BASS_Free();
    return out;
}

double rms_db(const std::vector<float>& s, double from, double to) {
    double sum = 0;
    const size_t a = 2 * size_t(from * rate), b = std::min(s.size(), 2 * size_t(to * rate));
    for (size_t i = a; i < b; ++i)
        sum += double(s[i]) * s[i];
    return 10 * std::log10(sum / double(b - a) + 1e-20);
}

// The frequency within 8 % of `expected` where a Hann-windowed spectrum of the sound peaks,
// scanned coarsely, then finely around the best: a note a semitone off peaks outside the scan.
double peak_near(const std::vector<float>& mono, double expected) {
    std::vector<double> windowed(mono.size());
    for (size_t i = 0; i < mono.size(); ++i)
        windowed[i] = mono[i] * (0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(mono.size())));
    auto power = [&](double hz) {
        double re = 0, im = 0;
        const double step = 2 * M_PI * hz / rate;
        for (size_t i = 0; i < windowed.size(); ++i) {
            re += windowed[i] * std::cos(step * double(i));
            im += windowed[i] * std::sin(step * double(i));
        }
        return re * re + im * im;
    };
    auto scan = [&](double from, double to, double step) {
        double best = from, best_power = -1;
        for (double hz = from; hz <= to; hz += step)
            if (const double p = power(hz); p > best_power) {
                best_power = p;
                best = hz;
            }
        return best;
    };
    const double coarse_step = expected * 0.002;
    const double coarse = scan(expected * 0.92, expected * 1.08, coarse_step);
    return scan(coarse - coarse_step, coarse + coarse_step, coarse_step / 20);
}

} // namespace

TEST(Module, RunsAtTheDriversTimeBase) {
    const xm::song song = content::make_song();
    const auto m = decode(xm::encode(song));
    const int rows = content::song_bars() * content::rows_per_bar;
    EXPECT_EQ(content::ticks_per_row, m->get_current_speed());
    ASSERT_EQ(rows / 64, m->get_num_orders());
    for (int order = 0; order < m->get_num_orders(); ++order)
        EXPECT_EQ(64, m->get_pattern_num_rows(m->get_order_pattern(order)));
    EXPECT_NEAR(rows / 24.0, m->get_duration_seconds(), 1e-3); // 24 rows a second
    EXPECT_GT(m->get_duration_seconds(), 100.0);
    EXPECT_LT(m->get_duration_seconds(), 130.0);
    const content::section& last = content::song_sections().back();
    EXPECT_EQ(content::song_bars(), last.first_bar + last.bars);
}

TEST(Module, RegeneratingGivesTheSameBytes) {
    EXPECT_TRUE(xm::encode(content::make_song()) == xm::encode(content::make_song()));
}

TEST(Module, PlaysThroughTheProgramsAudioLayerWithoutClippingOrGaps) {
    const std::vector<uint8_t> bytes = xm::encode(content::make_song());
    const double seconds = content::song_bars() * content::rows_per_bar / 24.0;
    const std::vector<float> sound = render_through_audio_layer(bytes, seconds);
    float peak = 0;
    for (float v : sound)
        peak = std::max(peak, std::fabs(v));
    EXPECT_LE(20 * std::log10(peak), -0.5) << "dBFS";
    for (int s = 0; s + 1 < int(seconds); ++s)
        EXPECT_GT(rms_db(sound, s, s + 1), -45.0) << "second " << s << " is all but silent";
    // The sections build and fall: compare the mean level of each with its neighbours.
    std::map<std::string, double> level;
    for (const content::section& sec : content::song_sections())
        level[sec.name] =
            rms_db(sound, sec.first_bar * 32 / 24.0, (sec.first_bar + sec.bars) * 32 / 24.0);
    EXPECT_LT(level["intro"] + 3, level["build"]);
    EXPECT_LT(level["build"], level["theme"]);
    EXPECT_LT(level["breakdown"] + 2, level["bridge"]);
    EXPECT_LT(level["theme"], level["climax"]);
    EXPECT_LT(level["outro"] + 2, level["climax"]);
}

// An A played on each tonal instrument sounds at its equal-tempered pitch.
TEST(Module, TonalInstrumentsAreInTune) {
    const std::vector<xm::instrument> instruments = content::make_instruments();
    struct probe {
        uint8_t instrument;
        int octave;
        double tolerance; // the pad's voices spread over +-27 cents: its peak is one of them
    };
    for (const probe p : {probe{content::bass, 2, 0.004}, probe{content::pad, 3, 0.016},
                          probe{content::pluck, 4, 0.004}, probe{content::lead, 4, 0.004},
                          probe{content::bell, 5, 0.004}}) {
        xm::song s;
        s.channels = 1;
        s.speed = content::ticks_per_row;
        s.bpm = 240;
        s.orders = {0};
        s.patterns.resize(1);
        s.patterns[0].at(0, 0, 1) = {xm::note_number(p.octave, 9), p.instrument, 0, 0, 0};
        s.instruments = instruments;
        const auto m = decode(xm::encode(s));
        std::vector<float> mono(rate / 2);
        m->read(rate, rate / 20, mono.data()); // past the attack
        m->read(rate, mono.size(), mono.data());
        const double expected = 440.0 * std::pow(2.0, p.octave - 4);
        EXPECT_NEAR(expected, peak_near(mono, expected), expected * p.tolerance)
            << "instrument " << int(p.instrument) << " octave " << p.octave;
    }
}
