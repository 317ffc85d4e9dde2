#include "content/synth.h"

#include <algorithm>
#include <cmath>

namespace content {

namespace {

constexpr double xm_c4_rate = 8363.0; // a sample of relative note 0 plays at this rate on C-4
constexpr double c4_hz = 261.6255653005986;

// Relative note and finetune (1/128 semitone) for playing C-4 at `rate`.
void tune(xm::sample& s, double rate) {
    const double semitones = 12.0 * std::log2(rate / xm_c4_rate);
    const int steps = int(std::lround(semitones * 128.0));
    int relative = int(std::floor(steps / 128.0));
    int fine = steps - relative * 128;
    if (fine >= 64) { // finetune is -128..127; keep it near zero
        fine -= 128;
        ++relative;
    }
    s.relative_note = int8_t(relative);
    s.finetune = int8_t(fine);
}

} // namespace

biquad biquad::shape(double frequency, double q, double b0, double b1, double b2) {
    const double w = 2 * pi * frequency, alpha = std::sin(w) / (2 * q), c = std::cos(w);
    const double a0 = 1 + alpha;
    biquad f;
    f.b0 = b0 / a0;
    f.b1 = b1 / a0;
    f.b2 = b2 / a0;
    f.a1 = -2 * c / a0;
    f.a2 = (1 - alpha) / a0;
    return f;
}

biquad biquad::lowpass(double frequency, double q) {
    const double c = std::cos(2 * pi * frequency);
    return shape(frequency, q, (1 - c) / 2, 1 - c, (1 - c) / 2);
}

biquad biquad::highpass(double frequency, double q) {
    const double c = std::cos(2 * pi * frequency);
    return shape(frequency, q, (1 + c) / 2, -(1 + c), (1 + c) / 2);
}

biquad biquad::bandpass(double frequency, double q) {
    const double alpha = std::sin(2 * pi * frequency) / (2 * q);
    return shape(frequency, q, alpha, 0, -alpha);
}

double biquad::run(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

std::vector<double> sine_table(size_t n) {
    std::vector<double> table(n);
    for (size_t k = 0; k < n; ++k)
        table[k] = std::sin(2 * pi * double(k) / double(n));
    return table;
}

std::vector<int16_t> to_pcm16(const std::vector<double>& sound, double peak) {
    double top = 0;
    for (double v : sound)
        top = std::max(top, std::fabs(v));
    const double scale = top > 0 ? peak * 32767.0 / top : 0.0;
    std::vector<int16_t> out(sound.size());
    for (size_t i = 0; i < sound.size(); ++i)
        out[i] = int16_t(std::lround(sound[i] * scale));
    return out;
}

void tune_for_period(xm::sample& s, double period) {
    tune(s, c4_hz * period);
}

void tune_for_rate(xm::sample& s, double rate) {
    tune(s, rate);
}

} // namespace content
