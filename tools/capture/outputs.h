#pragma once
// Where the recorded frames go: a video through ffmpeg, numbered PNG files with the sound, one
// still, or a contact sheet. Each writes its files complete or not at all.
#include <cstdint>
#include <memory>
#include <string>

#include "media/image.h"
#include "options.h"

class capture_output {
  public:
    virtual ~capture_output() = default; // removes whatever was not finished

    // Frame `frame` of the run (counted from the demo's start) with its sound: `samples` stereo
    // frames, interleaved. False, with error() set, when it cannot be written.
    virtual bool add(uint64_t frame, const media::image& picture, const int16_t* sound,
                     uint32_t samples) = 0;
    // Completes the files; false, with error() set, when that fails.
    virtual bool finish() = 0;

    const std::string& error() const { return error_; }

  protected:
    bool fail(const std::string& message) {
        if (error_.empty())
            error_ = message;
        return false;
    }

  private:
    std::string error_;
};

// The output that `options` ask for.
std::unique_ptr<capture_output> make_output(const capture_options& options);
// The video output alone (video_output.cpp).
std::unique_ptr<capture_output> make_video_output(const capture_options& options);
