#include "frame_timing.h"

#include <cmath>

namespace {

// Times typed in decimal are rarely exact in binary: 2.3 s at 60 fps is frame 138, not 137.
constexpr double SLACK = 1e-6;

} // namespace

uint64_t frame_at(double seconds, uint32_t fps) {
    return uint64_t(std::floor(seconds * fps + SLACK));
}

uint64_t first_frame_from(double seconds, uint32_t fps) {
    return uint64_t(std::ceil(seconds * fps - SLACK));
}
