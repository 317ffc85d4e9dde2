#pragma once
// The frame profiler: per label, one duration per measured frame. The driver measures the label
// "!total" around each frame's scene run and writes "profile.csv" with a summary at the end.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct ProfileTrace {
    // While a frame is measured: the timer reading at its start; afterwards: its duration (s).
    double start = 0.0;
    std::vector<double> samples; // milliseconds, in frame order

    ProfileTrace() { samples.reserve(16); }
};

// Traces by label, in byte-wise label order.
using ProfileTraces = std::map<std::string, ProfileTrace, std::less<>>;

class Profiler {
  public:
    static constexpr size_t reservedFrames = 2168;
    static constexpr const char* totalLabel = "!total";

    Profiler();

    // Starts measuring `label`. All bookkeeping (room for the coming sample in every trace, the
    // trace lookup or creation) happens before the clock is read, so none of it is measured.
    void begin(std::string_view label);
    // Ends the measurement: the clock is read first, then the duration is stored. Nothing happens
    // for a label that was never begun.
    void end(std::string_view label);

    const ProfileTraces& traces() const { return traces_; }

  private:
    ProfileTraces traces_;
};

// Statistics over a copy of the traces; the sorted copy is made on the first query.
class ProfileAnalyzer {
  public:
    ProfileAnalyzer(const ProfileTraces& traces, uint32_t frames);

    // Sum of the label's samples, added in ascending order; 0 when missing or empty.
    double total(std::string_view label);
    // total / number of samples; 0 when missing or empty.
    double average(std::string_view label);
    // The sample at index (n - 1) * p / 100 of the ascending samples (lower nearest rank), in
    // unsigned 32-bit arithmetic; 0 when missing or empty, or for p outside 0 to 100.
    double percentile(std::string_view label, int p);

    const ProfileTraces& traces() const { return traces_; }
    uint32_t frames() const { return frames_; }

  private:
    const std::vector<double>* sortedSamples(std::string_view label);

    ProfileTraces traces_;
    ProfileTraces sorted_;
    uint32_t frames_;
    bool isSorted_ = false;
};

// Writes "profile.csv" in the working directory (one row per frame, one column per label; a
// missing sample is written as 0) and prints the frame statistics of "!total" on standard output.
// When the file cannot be opened only the statistics are printed.
void dumpProfile(const Profiler& profiler, uint32_t frames);
