#pragma once
// Progress of a recording on standard error: on a terminal a bar redrawn in place with the frames
// done and their total, frames per second and the time left; otherwise one line per tenth done.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

class progress {
  public:
    progress(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

    // `total` frames to run, 0 when unknown.
    void start(uint64_t total);
    void update(uint64_t done);
    // Ends the bar's line, so that a message can follow.
    void close();
    // The closing line: frames, seconds, frames per second and the real-time factor at `fps`.
    void finish(uint64_t done, uint32_t fps);

  private:
    double seconds() const;
    std::string state(uint64_t done) const;

    std::FILE* out_;
    bool terminal_;
    uint64_t total_ = 0;
    std::chrono::steady_clock::time_point started_;
    double drawn_ = -1;   // seconds at the last redraw of the bar
    uint64_t tenths_ = 0; // tenths reported
    bool bar_shown_ = false;
};
