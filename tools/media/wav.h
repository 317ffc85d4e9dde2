#pragma once
// WAV files: of 32-bit float samples, so that measurements see the sound exactly as it was mixed,
// peaks above full scale included; and the 16-bit PCM files that players and encoders take.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace media {

// The file's bytes for `frames` frames of `channels` interleaved samples at `rate` Hz.
std::vector<uint8_t> encode_wav(const float* samples, size_t frames, int channels, int rate);

// The 44-byte header of a 16-bit PCM file of `frames` frames; the samples follow it, little-endian.
std::vector<uint8_t> wav_header_pcm16(size_t frames, int channels, int rate);
// The most frames of `channels` 16-bit samples whose file sizes fit the header's 32-bit fields.
size_t wav_max_frames_pcm16(int channels);

// A mixed sample (full scale at +-1) as a 16-bit one: rounded to the nearest step, clipped.
int16_t pcm16(float sample);

} // namespace media
