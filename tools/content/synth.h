#pragma once
// Small sound-design tools for the module's instruments: biquad filters, additive oscillators over
// whole cycles, and the conversion to 16-bit sample data tuned for the tracker.
#include <cstdint>
#include <vector>

#include "content/random.h"
#include "xmwriter/xmwriter.h"

namespace content {

constexpr double pi = 3.14159265358979323846;

// A second-order filter (the usual audio-cookbook forms); frequencies as fractions of the sample
// rate.
class biquad {
  public:
    static biquad lowpass(double frequency, double q);
    static biquad highpass(double frequency, double q);
    static biquad bandpass(double frequency, double q);
    double run(double x);

  private:
    // The common denominator of the forms, from their numerator before normalising.
    static biquad shape(double frequency, double q, double b0, double b1, double b2);

    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// sin(2 pi k / n) for k = 0 .. n-1: partials of a waveform whose loop is n samples long all have
// whole numbers of cycles in it, so they are looked up here exactly.
std::vector<double> sine_table(size_t n);

// Scales the sound so that its peak is `peak` of full scale and rounds it to 16 bits.
std::vector<int16_t> to_pcm16(const std::vector<double>& sound, double peak = 0.98);

// Relative note and finetune that make note C-4 play a sample whose fundamental repeats every
// `period` samples at 261.63 Hz, so every note sounds at its equal-tempered pitch (A-4 440 Hz).
void tune_for_period(xm::sample& s, double period);
// Relative note and finetune that make note C-4 play the sample at `rate` samples per second.
void tune_for_rate(xm::sample& s, double rate);

} // namespace content
