#include "media/wav.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace media {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(v >> shift));
}

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void tag(std::vector<uint8_t>& out, const char (&name)[5]) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(name[i]));
}

// "RIFF", its size, "WAVE" and the "fmt " chunk's common fields: format code, channels, rate, bytes
// per second and per frame, bits per sample. `fmt_bytes` may count an extension that follows.
void riff_start(std::vector<uint8_t>& out, uint32_t riff_bytes, uint32_t fmt_bytes, uint16_t format,
                int channels, int rate, int sample_bytes) {
    tag(out, "RIFF");
    put32(out, riff_bytes); // everything after this field
    tag(out, "WAVE");
    tag(out, "fmt ");
    put32(out, fmt_bytes);
    put16(out, format);
    put16(out, uint16_t(channels));
    put32(out, uint32_t(rate));
    put32(out, uint32_t(rate) * uint32_t(channels * sample_bytes));
    put16(out, uint16_t(channels * sample_bytes));
    put16(out, uint16_t(8 * sample_bytes));
}

} // namespace

std::vector<uint8_t> encode_wav(const float* samples, size_t frames, int channels, int rate) {
    constexpr uint16_t ieee_float = 3;
    const uint32_t data_bytes = uint32_t(frames * size_t(channels) * sizeof(float));
    std::vector<uint8_t> out;
    out.reserve(58 + data_bytes);
    riff_start(out, 50 + data_bytes, 18, ieee_float, channels, rate, 4);
    put16(out, 0);    // no extension
    tag(out, "fact"); // formats other than integer PCM state their length in frames
    put32(out, 4);
    put32(out, uint32_t(frames));
    tag(out, "data");
    put32(out, data_bytes);
    for (size_t i = 0; i < frames * size_t(channels); ++i) {
        uint32_t bits;
        std::memcpy(&bits, &samples[i], 4);
        put32(out, bits);
    }
    return out;
}

std::vector<uint8_t> wav_header_pcm16(size_t frames, int channels, int rate) {
    constexpr uint16_t pcm = 1;
    const uint32_t data_bytes = uint32_t(frames * size_t(channels) * 2);
    std::vector<uint8_t> out;
    riff_start(out, 36 + data_bytes, 16, pcm, channels, rate, 2);
    tag(out, "data");
    put32(out, data_bytes);
    return out;
}

size_t wav_max_frames_pcm16(int channels) {
    return (std::numeric_limits<uint32_t>::max() - 36) / (size_t(channels) * 2);
}

int16_t pcm16(float sample) {
    const float scaled = std::nearbyint(sample * 32768.0f);
    if (!(scaled == scaled))
        return 0;
    if (scaled <= -32768.0f)
        return -32768;
    return scaled >= 32767.0f ? 32767 : int16_t(scaled);
}

} // namespace media
