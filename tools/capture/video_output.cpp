// The video output: ffmpeg encodes the frames, fed raw through a pipe, into a temporary H.264
// file while the sound goes into a temporary WAV file; at the end a second ffmpeg run puts the two
// together with the sound in AAC. Two runs, because one ffmpeg reading two pipes can stall on one
// while this program waits to write the other.
#include <cstdio>
#include <string>
#include <vector>

#include "child_process.h"
#include "music/basscore.h"
#include "outputs.h"
#include "picture.h"
#include "wav_writer.h"

namespace {

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// ffmpeg's name for the container that the file name asks for.
std::string container_of(const std::string& path) {
    if (ends_with(path, ".mov"))
        return "mov";
    if (ends_with(path, ".mkv"))
        return "matroska";
    return "mp4";
}

const std::vector<std::string> QUIET = {"ffmpeg",    "-hide_banner", "-nostdin",
                                        "-loglevel", "error",        "-y"};

class video_output : public capture_output {
  public:
    explicit video_output(const capture_options& options)
        : path_(options.path), scale_(options.scale), fps_(options.fps), crf_(options.crf),
          video_partial_(path_ + ".video.partial"), sound_(path_ + ".sound.wav", MUSIC_OUTPUT_RATE),
          final_partial_(path_ + ".partial") {}

    ~video_output() override {
        encoder_.stop();
        std::remove(video_partial_.c_str());
        if (!done_)
            std::remove(final_partial_.c_str());
    }

    bool add(uint64_t, const media::image& picture, const int16_t* sound,
             uint32_t samples) override {
        if (!started_ && !start(picture))
            return false;
        const media::image* shown = &picture;
        if (scale_ > 1) {
            enlarge(picture, scale_, enlarged_);
            shown = &enlarged_;
        }
        if (!encoder_.write(shown->pixels.data(), shown->pixels.size() * 4)) {
            encoder_.finish();
            return fail(encoder_.error().empty() ? "ffmpeg stopped reading frames"
                                                 : encoder_.error());
        }
        return sound_.add(sound, samples) || fail(sound_.error());
    }

    bool finish() override {
        if (!started_)
            return fail("no frame to encode");
        if (!encoder_.finish())
            return fail(encoder_.error());
        if (!sound_.complete())
            return fail(sound_.error());
        child_process muxer;
        if (!muxer.start(mux_command(), false) || !muxer.finish())
            return fail(muxer.error());
        if (std::rename(final_partial_.c_str(), path_.c_str()) != 0)
            return fail("cannot rename the finished video to " + path_);
        done_ = true;
        return true;
    }

  private:
    bool start(const media::image& picture) {
        started_ = true;
        const std::string size = std::to_string(picture.width * int(scale_)) + "x" +
                                 std::to_string(picture.height * int(scale_));
        std::vector<std::string> command = QUIET;
        command.insert(command.end(),
                       {"-f", "rawvideo", "-pix_fmt", "bgr0", "-video_size", size, "-framerate",
                        std::to_string(fps_), "-i", "pipe:0",
                        // BT.709 colours, stated in the file, so that players show what was drawn
                        "-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p",
                        "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
                        "-color_range", "tv", "-c:v", "libx264", "-preset", "medium", "-crf",
                        std::to_string(crf_), "-f", "matroska", video_partial_});
        return encoder_.start(command, true) || fail(encoder_.error());
    }

    std::vector<std::string> mux_command() const {
        std::vector<std::string> command = QUIET;
        command.insert(command.end(), {"-f", "matroska", "-i", video_partial_, "-f", "wav", "-i",
                                       sound_.partial_path(), "-map", "0:v:0", "-map", "1:a:0",
                                       "-c:v", "copy", "-c:a", "aac", "-b:a", "192k"});
        const std::string container = container_of(path_);
        if (container != "matroska")
            command.insert(command.end(), {"-movflags", "+faststart"});
        command.insert(command.end(), {"-f", container, final_partial_});
        return command;
    }

    std::string path_;
    uint32_t scale_, fps_, crf_;
    std::string video_partial_;
    wav_writer sound_;
    std::string final_partial_;
    child_process encoder_;
    bool started_ = false, done_ = false;
    media::image enlarged_;
};

} // namespace

std::unique_ptr<capture_output> make_video_output(const capture_options& options) {
    return std::make_unique<video_output>(options);
}
