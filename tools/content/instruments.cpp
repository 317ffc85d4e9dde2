#include "content/instruments.h"

#include <algorithm>
#include <cmath>

#include "content/synth.h"

namespace content {

namespace {

constexpr double drum_rate = 44100.0;

std::vector<double> silence(double seconds) {
    return std::vector<double>(size_t(seconds * drum_rate));
}

// Ramps the last `seconds` down to zero so that a one-shot sound ends without a click.
void fade_tail(std::vector<double>& sound, double seconds) {
    const size_t n = std::min(sound.size(), size_t(seconds * drum_rate));
    for (size_t i = 0; i < n; ++i)
        sound[sound.size() - 1 - i] *= double(i) / double(n);
}

xm::instrument one_shot(const char* name, const std::vector<double>& sound, double peak = 0.98) {
    xm::sample s;
    s.name = name;
    s.sixteen_bit = true;
    s.data = to_pcm16(sound, peak);
    tune_for_rate(s, drum_rate);
    xm::instrument ins;
    ins.name = name;
    ins.samples = {s};
    return ins;
}

// A sine swept down from a click to a deep boom, slightly saturated for weight.
xm::instrument make_kick() {
    std::vector<double> sound = silence(0.5);
    noise_source noise(1);
    biquad click = biquad::lowpass(5000 / drum_rate, 0.7);
    double phase = 0;
    for (size_t i = 0; i < sound.size(); ++i) {
        const double t = double(i) / drum_rate;
        const double hz = 46 + 130 * std::exp(-t / 0.028) + 30 * std::exp(-t / 0.11);
        phase += 2 * pi * hz / drum_rate;
        const double body = std::sin(phase) * std::exp(-t / 0.30) * std::min(1.0, t / 0.0008);
        const double tick = click.run(noise.next()) * std::exp(-t / 0.0025) * 0.6;
        sound[i] = std::tanh(1.8 * (body + tick)) / std::tanh(1.8);
    }
    fade_tail(sound, 0.03);
    return one_shot("kick", sound);
}

// Two drum-head modes under a band of noise: the wires.
xm::instrument make_snare() {
    std::vector<double> sound = silence(0.42);
    noise_source noise(2);
    biquad high = biquad::highpass(1100 / drum_rate, 0.7);
    biquad low = biquad::lowpass(9000 / drum_rate, 0.7);
    double p1 = 0, p2 = 0;
    for (size_t i = 0; i < sound.size(); ++i) {
        const double t = double(i) / drum_rate;
        p1 += 2 * pi * (182 + 40 * std::exp(-t / 0.01)) / drum_rate;
        p2 += 2 * pi * 329 / drum_rate;
        const double body =
            0.8 * std::sin(p1) * std::exp(-t / 0.055) + 0.35 * std::sin(p2) * std::exp(-t / 0.03);
        const double wires = low.run(high.run(noise.next())) * std::exp(-t / 0.13);
        const double attack = std::min(1.0, t / 0.0006);
        sound[i] = std::tanh(1.4 * attack * (body + 1.3 * wires));
    }
    fade_tail(sound, 0.04);
    return one_shot("snare", sound);
}

// Six detuned square waves and noise, high-passed: a metallic hiss.
std::vector<double> metal(double seconds, double decay, double cutoff, uint64_t seed) {
    static const double partials[] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    std::vector<double> sound = silence(seconds);
    noise_source noise(seed);
    biquad h1 = biquad::highpass(cutoff / drum_rate, 0.8);
    biquad h2 = biquad::highpass(cutoff / drum_rate, 0.8);
    for (size_t i = 0; i < sound.size(); ++i) {
        const double t = double(i) / drum_rate;
        double squares = 0;
        for (double hz : partials)
            squares += std::fmod(t * hz * 1.7, 1.0) < 0.5 ? 1.0 : -1.0;
        const double raw = 0.12 * squares + 0.9 * noise.next();
        sound[i] = h2.run(h1.run(raw)) * std::exp(-t / decay) * std::min(1.0, t / 0.0005);
    }
    fade_tail(sound, std::min(0.02, seconds / 4));
    return sound;
}

xm::instrument make_crash() {
    std::vector<double> sound = metal(2.6, 0.75, 3500, 4);
    return one_shot("crash", sound);
}

// The crash played backwards: it swells over one bar and stops dead on the downbeat.
xm::instrument make_reverse_crash() {
    const double bar_seconds = 32 / rows_per_second;
    std::vector<double> sound = metal(bar_seconds, 0.5, 3000, 5);
    std::reverse(sound.begin(), sound.end());
    for (size_t i = 0; i < 200; ++i) // no click where it starts
        sound[i] *= double(i) / 200.0;
    return one_shot("reverse crash", sound);
}

// Tonal instruments are built from partials of a fundamental that repeats every `period`
// samples, tuned so that notes come out at their names.
xm::sample tonal_sample(const char* name, const std::vector<double>& sound, double period,
                        uint32_t loop_start, uint32_t loop_length) {
    xm::sample s;
    s.name = name;
    s.sixteen_bit = true;
    s.data = to_pcm16(sound);
    tune_for_period(s, period);
    if (loop_length > 0) {
        s.loop = xm::loop_type::forward;
        s.loop_start = loop_start;
        s.loop_length = loop_length;
    }
    return s;
}

xm::instrument tonal(const char* name, const xm::sample& s, std::vector<xm::envelope_point> env,
                     int sustain, uint16_t fadeout) {
    xm::instrument ins;
    ins.name = name;
    ins.samples = {s};
    ins.volume_envelope.points = std::move(env);
    ins.volume_envelope.sustain = sustain;
    ins.fadeout = fadeout;
    return ins;
}

// A saw with a sub-octave weight whose brightness closes over the first cycles (the pluck of the
// bass), then a loop of the last, dark cycle.
xm::instrument make_bass() {
    constexpr size_t period = 512, pluck_cycles = 48;
    constexpr double rate_at_d2 = 73.416 * period; // the sweep is timed for the bass's home note
    const std::vector<double> table = sine_table(period);
    std::vector<double> sound((pluck_cycles + 1) * period);
    for (size_t i = 0; i < sound.size(); ++i) {
        const double t = double(std::min(i, pluck_cycles * period)) / rate_at_d2;
        const double cutoff = 2.2 + 10.0 * std::exp(-t / 0.09);
        double v = 0;
        for (size_t h = 1; h <= 60; ++h) {
            const double weight =
                (h == 1 ? 1.6 : 1.0) / double(h) / (1.0 + std::pow(double(h) / cutoff, 4.0));
            v += weight * table[(h * i) % period];
        }
        sound[i] = std::tanh(1.2 * v);
    }
    const xm::sample s =
        tonal_sample("bass", sound, period, uint32_t(pluck_cycles * period), uint32_t(period));
    return tonal("bass", s, {{0, 64}, {24, 54}, {60, 46}, {66, 0}}, 2, 0);
}

// Sums detuned band-limited saws over a loop of `loop` samples: voice v makes cycles[v] whole
// cycles in it, so the loop is seamless and the beating between voices is the chorus.
std::vector<double> detuned_saws(size_t loop, const std::vector<int>& cycles, int partials,
                                 double brightness, double odd_only_mix, uint64_t seed) {
    const std::vector<double> table = sine_table(loop);
    noise_source phases(seed);
    std::vector<double> sound(loop, 0.0);
    for (int k : cycles)
        for (int h = 1; h <= partials; ++h) {
            const double saw = 1.0 / h;
            const double square = (h % 2) ? 1.0 / h : 0.0;
            const double weight = ((1 - odd_only_mix) * saw + odd_only_mix * square) /
                                  (1.0 + std::pow(h / brightness, 2.0));
            const size_t offset = size_t(phases.unit() * double(loop));
            const size_t step = size_t(h) * size_t(k);
            for (size_t i = 0; i < loop; ++i)
                sound[i] += weight * table[(step * i + offset) % loop];
        }
    return sound;
}

// Five saws spread over +-27 cents, soft: the chords.
xm::instrument make_pad() {
    constexpr size_t period = 256, loop = period * 128;
    const std::vector<double> sound =
        detuned_saws(loop, {126, 127, 128, 129, 130}, 28, 5.0, 0.0, 8);
    const xm::sample s = tonal_sample("pad", sound, period, 0, uint32_t(loop));
    return tonal("pad", s, {{0, 0}, {40, 64}, {90, 54}, {150, 0}}, 2, 0);
}

// Saw and square a few cents apart, brighter, with a gentle vibrato that sets in after the
// attack: the melody.
xm::instrument make_lead() {
    constexpr size_t period = 256, loop = period * 128;
    const std::vector<double> sound = detuned_saws(loop, {128, 129}, 15, 9.0, 0.45, 10);
    const xm::sample s = tonal_sample("lead", sound, period, 0, uint32_t(loop));
    xm::instrument ins = tonal("lead", s, {{0, 0}, {2, 64}, {30, 50}, {44, 0}}, 2, 0);
    ins.vibrato = {xm::vibrato_wave::sine, 64, 3, 9};
    return ins;
}

// Partials that die faster the higher they are: a plucked string for the arpeggios.
xm::instrument make_pluck() {
    constexpr size_t period = 256;
    constexpr double rate_at_d4 = 293.66 * period;
    const size_t length = size_t(0.5 * rate_at_d4);
    const std::vector<double> table = sine_table(period);
    std::vector<double> sound(length);
    for (size_t i = 0; i < length; ++i) {
        const double t = double(i) / rate_at_d4;
        double v = 0;
        for (size_t h = 1; h <= 24; ++h)
            v += std::exp(-t * (4.0 + 2.2 * double(h))) / std::pow(double(h), 0.9) *
                 table[(h * i) % period];
        sound[i] = v * std::min(1.0, t / 0.002);
    }
    for (size_t i = 0; i < 400; ++i)
        sound[length - 1 - i] *= double(i) / 400.0;
    return tonal("pluck", tonal_sample("pluck", sound, period, 0, 0), {}, -1, 0);
}

// Inharmonic partials with long decays: a glassy bell.
xm::instrument make_bell() {
    constexpr size_t period = 128;
    constexpr double rate_at_d5 = 587.33 * period;
    struct partial {
        double ratio, level, decay;
    };
    static const partial partials[] = {{1.0, 1.0, 1.5},   {2.0, 0.45, 0.9}, {2.76, 0.3, 0.6},
                                       {4.07, 0.2, 0.35}, {5.4, 0.12, 0.2}, {8.93, 0.06, 0.1}};
    const size_t length = size_t(2.4 * rate_at_d5);
    std::vector<double> sound(length);
    for (size_t i = 0; i < length; ++i) {
        const double t = double(i) / rate_at_d5;
        double v = 0;
        for (const partial& p : partials)
            v += p.level * std::exp(-t / p.decay) *
                 std::sin(2 * pi * p.ratio * double(i) / double(period));
        sound[i] = v * std::min(1.0, t / 0.001);
    }
    for (size_t i = 0; i < 1000; ++i)
        sound[length - 1 - i] *= double(i) / 1000.0;
    return tonal("bell", tonal_sample("bell", sound, period, 0, 0), {}, -1, 0);
}

} // namespace

std::vector<xm::instrument> make_instruments() {
    return {make_kick(),
            make_snare(),
            one_shot("closed hat", metal(0.12, 0.022, 7000, 3)),
            one_shot("open hat", metal(0.6, 0.2, 6500, 6)),
            make_crash(),
            make_reverse_crash(),
            make_bass(),
            make_pad(),
            make_pluck(),
            make_lead(),
            make_bell()};
}

} // namespace content
