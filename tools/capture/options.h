#pragma once
// The capture program's command line: what to record (a video, numbered frames, one still or a
// contact sheet), and the frame rate, size and span of the recording.
#include <cstdint>
#include <optional>
#include <string>

enum class capture_kind { video, frames, still, sheet };

struct capture_options {
    capture_kind kind = capture_kind::video;
    std::string path; // the video file, the frame folder, the still or the sheet
    uint32_t fps = 60;
    uint32_t scale = 1; // every pixel becomes scale x scale pixels
    uint32_t crf = 18;  // H.264 quality: 0 lossless, 51 worst
    double from = 0;    // seconds
    std::optional<double> to;
    double still = 0; // --still: the time of the frame
    double every = 2; // --sheet: seconds between thumbnails
};

struct parsed_command {
    bool help = false; // --help: print the usage on standard output, exit 0
    std::string error; // not empty: print it and the usage on standard error, exit 2
    capture_options options;
};

parsed_command parse_command(int argc, const char* const* argv);

// The usage text, several lines ending in a newline.
const char* capture_usage();
