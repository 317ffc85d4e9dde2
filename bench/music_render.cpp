// Music playback costs: the CPU time to render one second of a busy module offline, and how far the
// reported (audible) row trails the decoder's row on the device at the chosen buffer size.
#include "platform/audio.h"
#include "xmwriter/xmwriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t rate = 44100;

xm::sample waveform(int kind) {
    xm::sample s;
    s.sixteen_bit = true;
    uint32_t noise = 12345;
    for (int i = 0; i < 2048; ++i) {
        const double phase = (i % 64) / 64.0;
        double v = 0;
        if (kind == 0)
            v = std::sin(phase * 2 * M_PI);
        else if (kind == 1)
            v = 2 * phase - 1;
        else {
            noise = noise * 1103515245 + 12345;
            v = int16_t(noise >> 16) / 32768.0;
        }
        s.data.push_back(int16_t(v * 20000));
    }
    s.loop = xm::loop_type::forward;
    s.loop_length = 2048;
    return s;
}

// Eight channels with a note or an effect on most rows: busier than a typical soundtrack.
std::vector<uint8_t> busy_module() {
    xm::song s;
    s.channels = 8;
    s.speed = 3;
    s.bpm = 125;
    for (int kind = 0; kind < 3; ++kind)
        s.instruments.push_back({"wave", {waveform(kind)}});
    for (int p = 0; p < 4; ++p) {
        xm::pattern pat;
        for (int row = 0; row < 64; ++row)
            for (int ch = 0; ch < 8; ++ch) {
                xm::cell& c = pat.at(row, ch, 8);
                if ((row + ch) % 2 == 0) {
                    c.note = xm::note_number(2 + ch % 4, (row * 7 + ch * 5 + p) % 12);
                    c.instrument = uint8_t(1 + ch % 3);
                    c.volume = uint8_t(0x10 + 24 + (row % 4) * 8);
                } else {
                    c.effect = 0x4; // vibrato
                    c.param = 0x46;
                }
            }
        s.patterns.push_back(pat);
        s.orders.push_back(uint8_t(p));
    }
    return xm::encode(s);
}

HMUSIC load(const std::vector<uint8_t>& bytes) {
    return BASS_MusicLoad(true, bytes.data(), 0, uint32_t(bytes.size()),
                          AUDIO_MUSIC_LOOP | AUDIO_MUSIC_RAMPS, 0);
}

void BM_RenderOneSecond(benchmark::State& state) {
    if (!BASS_Init(AUDIO_DEVICE_NONE, rate, 0, nullptr, nullptr)) {
        state.SkipWithError("offline init failed");
        return;
    }
    const std::vector<uint8_t> bytes = busy_module();
    const HMUSIC music = load(bytes);
    BASS_ChannelPlay(music, false);
    std::vector<float> out(2 * rate);
    for (auto _ : state) {
        audio_render(out.data(), rate);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["audio_seconds_per_cpu_second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    BASS_Free();
}
BENCHMARK(BM_RenderOneSecond)->Unit(benchmark::kMillisecond);

int rows_of(uint64_t position) {
    return int(position & 0xFFFF) * 64 + int((position >> 16) & 0xFFFF);
}

// Plays a 24-rows-per-second module on SDL's dummy driver for two seconds and samples the decoder's
// and the reported row every half millisecond. The mean difference in rows is the lag; at 24 rows
// per second a row is 1000 / 24 ms.
void BM_ReportedRowLag(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    xm::song s;
    s.channels = 1;
    s.speed = 2;
    s.bpm = 120;
    s.orders = {0, 0, 0, 0};
    s.patterns.resize(1);
    const std::vector<uint8_t> bytes = xm::encode(s);
    double lag_rows = 0;
    int max_lag = 0;
    long samples = 0;
    for (auto _ : state) {
        if (!BASS_Init(AUDIO_DEVICE_DEFAULT, rate, 0, nullptr, nullptr)) {
            state.SkipWithError("no audio device");
            return;
        }
        const HMUSIC music = load(bytes);
        BASS_ChannelPlay(music, false);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < end) {
            const int heard = rows_of(BASS_ChannelGetPosition(music, AUDIO_POS_ORDER_ROW));
            const int decoded = rows_of(audio_decoder_position(music));
            lag_rows += decoded - heard;
            max_lag = std::max(max_lag, decoded - heard);
            ++samples;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        BASS_Free();
    }
    const double mean = samples ? lag_rows / double(samples) : 0;
    state.counters["lag_rows"] = mean;
    state.counters["lag_ms"] = mean * 1000.0 / 24.0;
    state.counters["max_lag_rows"] = max_lag;
    state.counters["buffer_ms"] = AUDIO_DEVICE_BUFFER_FRAMES * 1000.0 / rate;
}
BENCHMARK(BM_ReportedRowLag)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
