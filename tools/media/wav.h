#pragma once
// WAV files of 32-bit float samples, so that measurements see the sound exactly as it was mixed,
// peaks above full scale included.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace media {

// The file's bytes for `frames` frames of `channels` interleaved samples at `rate` Hz.
std::vector<uint8_t> encode_wav(const float* samples, size_t frames, int channels, int rate);

} // namespace media
