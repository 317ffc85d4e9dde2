#include "wav_writer.h"

#include <bit>

#include "media/wav.h"

namespace {

constexpr int CHANNELS = 2;
static_assert(std::endian::native == std::endian::little, "samples are written as they lie");

} // namespace

wav_writer::wav_writer(std::string path, uint32_t rate)
    : file_(std::move(path)), partial_(file_.partial_path()), rate_(rate) {}

bool wav_writer::add(const int16_t* samples, size_t frames) {
    if (frames > media::wav_max_frames_pcm16(CHANNELS) - frames_) {
        error_ = "the sound is too long for a WAV file: " + file_.path();
        return false;
    }
    if (!started_ && !file_.write(media::wav_header_pcm16(0, CHANNELS, int(rate_))))
        return false;
    started_ = true;
    frames_ += frames;
    return file_.write(samples, frames * CHANNELS * sizeof(int16_t));
}

bool wav_writer::complete() {
    if (!error_.empty())
        return false;
    if (completed_)
        return true;
    const std::vector<uint8_t> header = media::wav_header_pcm16(frames_, CHANNELS, int(rate_));
    const bool written = started_ ? file_.write_at(0, header) : file_.write(header);
    completed_ = written && file_.complete();
    return completed_;
}

bool wav_writer::commit() {
    return complete() && file_.commit();
}
