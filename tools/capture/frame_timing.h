#pragma once
// Frames and time in a fixed-step recording: frame n is shown from n / fps seconds on, and the
// sound of its 1 / fps seconds is a whole number of samples chosen so that the first n frames
// always hold exactly floor(n x rate / fps) samples: no drift, however long the recording.
#include <cstdint>

// Sound frames (stereo samples) of the first `frames` frames.
inline uint64_t samples_before(uint64_t frames, uint32_t fps, uint32_t rate) {
    return frames * rate / fps;
}

// Sound frames of frame n alone: floor(rate / fps) or one more.
inline uint32_t samples_of(uint64_t frame, uint32_t fps, uint32_t rate) {
    return uint32_t(samples_before(frame + 1, fps, rate) - samples_before(frame, fps, rate));
}

// The frame shown at `seconds`.
uint64_t frame_at(double seconds, uint32_t fps);

// The first frame shown at `seconds` or later: frames below it start before `seconds`.
uint64_t first_frame_from(double seconds, uint32_t fps);

// Readings of a counter running at `rate` counts per second, from the recording's start to the
// start of frame n: never short of n / fps seconds, less than one count beyond.
inline uint64_t counts_before(uint64_t frame, uint32_t fps, uint64_t rate) {
    return (frame * rate + fps - 1) / fps;
}
