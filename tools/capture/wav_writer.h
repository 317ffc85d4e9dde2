#pragma once
// A 16-bit stereo WAV file written as the sound comes, its header completed at the end.
#include <cstdint>
#include <string>

#include "output_file.h"

class wav_writer {
  public:
    wav_writer(std::string path, uint32_t rate);

    // Appends `frames` interleaved stereo frames.
    bool add(const int16_t* samples, size_t frames);
    // Writes the lengths into the header; the file keeps its partial name.
    bool complete();
    // Completes the file and gives it its name.
    bool commit();

    const std::string& error() const { return error_.empty() ? file_.error() : error_; }
    const std::string& partial_path() const { return partial_; }

  private:
    output_file file_;
    std::string partial_;
    uint32_t rate_;
    bool started_ = false; // the header's place is written
    bool completed_ = false;
    uint64_t frames_ = 0;
    std::string error_;
};
